// The program's shared connection and its SQL error check.
#include "ModalAnswerer.h"
#include "PLog.h"
#include "PSqlErrors.h"
#include "PSqlService.h"
#include "TestDatabase.h"
#include "dbAccess.h"
#include "dbFunc.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlQueryModel>
#include <QSqlTableModel>
#include <QTemporaryDir>
#include <QTest>

class tst_DBAccess : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void singleton();
    void opensDefaultConnection();
    void refusedLoginIsLogged();
    void databaseList();
    void databaseListUnreadable();
    void lastErrWithoutError();
    void lastErrClosesConnection_data();
    void lastErrClosesConnection();

private:
    int connect(const QString &password);
    QString log() const;

    QTemporaryDir m_dir;
    QString m_logFile;
};

void tst_DBAccess::initTestCase()
{
    m_logFile = m_dir.filePath("test.log");
    PLogger::ensureInstance()->addDestination(m_logFile);
    PLogger::instance->setLoggingLevel(PLogger::TraceLevel);
    if (!TestDatabase::requireServer())
        return;
}

void tst_DBAccess::init()
{
    QFile::remove(m_logFile);
    PLogger::instance->addDestination(m_logFile);
}

int tst_DBAccess::connect(const QString &password)
{
    const TestDatabase::Server s = TestDatabase::server();
    return DBAccess::instance()->connectToDB("QMYSQL", "mysql", s.host, s.user, password,
                                             QString::number(s.port));
}

QString tst_DBAccess::log() const
{
    QFile file(m_logFile);
    return file.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(file.readAll()) : QString();
}

void tst_DBAccess::singleton()
{
    DBAccess *first = DBAccess::instance();
    QVERIFY(first);
    QCOMPARE(DBAccess::instance(), first);
    QVERIFY(!first->isVisible());
}

void tst_DBAccess::opensDefaultConnection()
{
    ModalAnswerer answerer;
    QCOMPARE(connect(TestDatabase::server().password), 0);
    QVERIFY(DBAccess::instance()->isOpen());
    QCOMPARE(DBAccess::instance()->getSqlDatabase().connectionName(),
             QString(QSqlDatabase::defaultConnection));
    // Statements that name no connection run on it.
    QSqlQuery query;
    QVERIFY(query.exec("SELECT DATABASE()"));
    QVERIFY(query.next());
    QCOMPARE(query.value(0).toString(), QString("mysql"));

    DBAccess::instance()->closeConnection();
    QVERIFY(!DBAccess::instance()->isOpen());
    QCOMPARE(answerer.answered(), 0);
}

void tst_DBAccess::refusedLoginIsLogged()
{
    ModalAnswerer answerer;
    answerer.clickButton(QMessageBox::Ok);
    QCOMPARE(connect("wrong password"), 1045);
    QVERIFY(!DBAccess::instance()->isOpen());
    QCOMPARE(answerer.answered(), 1);
    QVERIFY(answerer.lastText().endsWith("\nCode: 1045"));
    const QString text = log();
    QVERIFY2(text.contains("ERROR") && text.contains("Access denied") && text.contains(" code: ")
                 && text.contains("1045"),
             qPrintable(text));
}

void tst_DBAccess::databaseList()
{
    QCOMPARE(connect(TestDatabase::server().password), 0);
    PSqlService service;
    QStringList list;
    QVERIFY(getDBList(list, &service));
    QVERIFY(list.contains("mysql"));
    QVERIFY(!getDBList(list, nullptr));
}

void tst_DBAccess::databaseListUnreadable()
{
    QCOMPARE(connect(TestDatabase::server().password), 0);
    DBAccess::instance()->closeConnection();
    PSqlService service;
    ModalAnswerer answerer;
    answerer.clickButton(QMessageBox::Ok);
    QStringList list{"old"};
    QVERIFY(!getDBList(list, &service));
    QVERIFY(list.isEmpty());
    QCOMPARE(answerer.answered(), 1);
    QVERIFY(log().contains("ERROR"));
}

void tst_DBAccess::lastErrWithoutError()
{
    QCOMPARE(connect(TestDatabase::server().password), 0);
    PSqlErrors errors;
    ModalAnswerer answerer;
    QSqlQuery query;
    QVERIFY(query.exec("SELECT 1"));
    QVERIFY(!getLastErr(&query, &errors));
    QSqlQueryModel model;
    model.setQuery("SELECT 1");
    QVERIFY(!getLastErr(&model, &errors));
    QVERIFY(DBAccess::instance()->isOpen());
    QTest::qWait(50);
    QCOMPARE(answerer.answered(), 0);
}

void tst_DBAccess::lastErrClosesConnection_data()
{
    QTest::addColumn<QString>("source");
    QTest::newRow("query") << "query";
    QTest::newRow("query model") << "query model";
    QTest::newRow("table model") << "table model";
}

void tst_DBAccess::lastErrClosesConnection()
{
    QFETCH(QString, source);
    QCOMPARE(connect(TestDatabase::server().password), 0);
    PSqlErrors errors;
    ModalAnswerer answerer;
    answerer.clickButton(QMessageBox::Ok);
    const QString bad = "SELECT * FROM mysql.no_such_table_here";

    bool failed = false;
    QSqlQuery query;
    QSqlQueryModel queryModel;
    QSqlTableModel tableModel;
    if (source == "query") {
        query.exec(bad);
        failed = getLastErr(&query, &errors);
    } else if (source == "query model") {
        queryModel.setQuery(bad);
        failed = getLastErr(&queryModel, &errors);
    } else {
        tableModel.setTable("mysql.no_such_table_here");
        tableModel.select();
        failed = getLastErr(&tableModel, &errors);
    }
    QVERIFY(failed);
    QVERIFY(!DBAccess::instance()->isOpen());
    QVERIFY(!QSqlDatabase::database(QSqlDatabase::defaultConnection, false).isOpen());
    QCOMPARE(answerer.titles(), QStringList{"Error"});
    QVERIFY(log().contains(" code: "));
}

QTEST_MAIN(tst_DBAccess)
#include "tst_dbaccess.moc"
