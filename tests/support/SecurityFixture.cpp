#include "SecurityFixture.h"

#include "TestDatabase.h"

#include <QTest>

namespace SecurityFixture {

namespace {

const char *const hosts[] = {"127.0.0.1", "localhost"};

QString account(const QString &user, const char *host)
{
    return QStringLiteral("'%1'@'%2'").arg(user, QLatin1String(host));
}

QString database(const QString &name)
{
    QString inner = name;
    inner.replace(QLatin1Char('`'), QLatin1String("``"));
    return QLatin1Char('`') + inner + QStringLiteral("`.*");
}

} // namespace

Tls tls()
{
    Tls t;
    t.user = qEnvironmentVariable("KVT_TEST_DB_TLS_USER");
    t.x509User = qEnvironmentVariable("KVT_TEST_DB_X509_USER");
    t.password = TestDatabase::server().password;
    t.caFile = qEnvironmentVariable("KVT_TEST_DB_SSL_CA");
    t.certFile = qEnvironmentVariable("KVT_TEST_DB_SSL_CERT");
    t.keyFile = qEnvironmentVariable("KVT_TEST_DB_SSL_KEY");
    t.otherCaFile = qEnvironmentVariable("KVT_TEST_DB_SSL_OTHER_CA");
    return t;
}

bool requireTls()
{
    if (!TestDatabase::requireServer())
        return false;
    if (!tls().user.isEmpty() && !tls().caFile.isEmpty())
        return true;
    if (qEnvironmentVariableIntValue("KVT_REQUIRE_DB") == 1) {
        QTest::qFail("the test server has no TLS set-up (KVT_TEST_DB_TLS_USER)", __FILE__, __LINE__);
        return false;
    }
    QTest::qSkip("the test server has no TLS set-up (KVT_TEST_DB_TLS_USER)", __FILE__, __LINE__);
    return false;
}

QString createLimitedUser(const QString &user, const QString &password, const QStringList &sources,
                          const QString &destination, Grants grants, const QString &connectionName)
{
    QString destinationRights = QStringLiteral("SELECT, INSERT, UPDATE");
    if (grants.testFlag(Grant::KeepReferences))
        destinationRights += QStringLiteral(", CREATE TEMPORARY TABLES");
    if (grants.testFlag(Grant::Undo))
        destinationRights += QStringLiteral(", DELETE");
    QStringList statements;
    for (const char *host : hosts) {
        statements << QStringLiteral("DROP USER IF EXISTS ") + account(user, host)
                   << QStringLiteral("CREATE USER %1 IDENTIFIED BY '%2'").arg(account(user, host), password)
                   << QStringLiteral("GRANT %1 ON %2 TO %3")
                          .arg(destinationRights, database(destination), account(user, host));
        for (const QString &source : sources)
            statements << QStringLiteral("GRANT SELECT ON %1 TO %2").arg(database(source), account(user, host));
    }
    return TestDatabase::exec(statements, connectionName);
}

void dropUser(const QString &user, const QString &connectionName)
{
    for (const char *host : hosts)
        TestDatabase::exec(QStringLiteral("DROP USER IF EXISTS ") + account(user, host), connectionName);
}

} // namespace SecurityFixture
