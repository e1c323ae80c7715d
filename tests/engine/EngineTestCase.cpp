#include "EngineTestCase.h"

#include "TestDatabase.h"

#include <QtTest>

void EngineTestCase::initTestCase()
{
    m_server = TestDatabase::requireServer();
    if (m_server)
        QVERIFY(TestDatabase::openDefault().isOpen());
}

void EngineTestCase::init()
{
    if (!m_server)
        QSKIP("no server");
}

void EngineTestCase::cleanup()
{
    for (const QString &db : qAsConst(m_databases))
        TestDatabase::dropDatabase(db);
    m_databases.clear();
}

void EngineTestCase::cleanupTestCase()
{
    TestDatabase::closeAll();
}

void EngineTestCase::create(const QStringList &databases)
{
    for (const QString &db : databases) {
        m_databases << db;
        const QString error = TestDatabase::createKvtDatabase(db);
        QVERIFY2(error.isEmpty(), qPrintable(error));
    }
    exec({QStringLiteral("USE mysql")});
}

QString EngineTestCase::createDatabase(const QString &prefix)
{
    const QString db = TestDatabase::uniqueName(prefix);
    m_databases << db;
    return TestDatabase::createKvtDatabase(db).isEmpty() ? db : QString();
}

void EngineTestCase::exec(const QStringList &statements)
{
    const QString error = TestDatabase::exec(statements);
    QVERIFY2(error.isEmpty(), qPrintable(error));
}
