// Opening the default connection and reading SQL errors, against the test server.
#include "ModalAnswerer.h"
#include "PSqlDBAccess.h"
#include "PSqlErrors.h"
#include "TestDatabase.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlQueryModel>
#include <QSqlTableModel>
#include <QTest>
#include <QTextCodec>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

class tst_PSqlDBAccess : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void opensDefaultConnection();
    void refusedLogin();
    void unreachableAddress();
    void driverNotLoadable();
    void portText_data();
    void portText();
    void successfulQueryShowsNothing();
    void everySourceOfErrors();
    void textRoundTrip_data();
    void textRoundTrip();
    void serverGoneBetweenTwoOperations();

private:
    int open(QSqlDatabase &db, QString &errMsg, const QString &password, const QString &port);
    static int unusedPort();

    PSqlDBAccess access;
};

void tst_PSqlDBAccess::initTestCase()
{
    if (!TestDatabase::requireServer())
        return;
}

void tst_PSqlDBAccess::cleanup()
{
    TestDatabase::closeAll();
}

int tst_PSqlDBAccess::open(QSqlDatabase &db, QString &errMsg, const QString &password, const QString &port)
{
    const TestDatabase::Server s = TestDatabase::server();
    return access.openDBConnection(db, errMsg, "QMYSQL", "mysql", s.host, s.user, password, port);
}

// A loopback port nobody listens on: taken from the system, then released.
int tst_PSqlDBAccess::unusedPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    ::bind(fd, reinterpret_cast<sockaddr *>(&address), length);
    ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

void tst_PSqlDBAccess::opensDefaultConnection()
{
    QSqlDatabase db;
    QString errMsg = "untouched";
    const TestDatabase::Server s = TestDatabase::server();
    QCOMPARE(open(db, errMsg, s.password, QString::number(s.port)), 0);
    QCOMPARE(errMsg, QString("untouched"));
    QVERIFY(db.isOpen());
    QCOMPARE(db.connectionName(), QString(QSqlDatabase::defaultConnection));
    QVERIFY(QSqlDatabase::database().isOpen());

    // Connecting again replaces the default connection; closing closes it.
    QSqlDatabase again;
    QCOMPARE(open(again, errMsg, s.password, QString::number(s.port)), 0);
    QVERIFY(QSqlDatabase::database().isOpen());
    access.closeDBConnection(again);
    QVERIFY(!again.isOpen());
    QVERIFY(!QSqlDatabase::database(QSqlDatabase::defaultConnection, false).isOpen());
}

void tst_PSqlDBAccess::refusedLogin()
{
    ModalAnswerer answerer;
    answerer.clickButton(QMessageBox::Ok);
    QSqlDatabase db;
    QString errMsg;
    const TestDatabase::Server s = TestDatabase::server();
    QCOMPARE(open(db, errMsg, "wrong password", QString::number(s.port)), 1045);
    QVERIFY(errMsg.contains("Access denied"));
    QCOMPARE(answerer.titles(), QStringList{"Error"});
    QCOMPARE(answerer.lastText(), errMsg + "\nCode: 1045");
    QVERIFY(!db.isOpen());
}

void tst_PSqlDBAccess::unreachableAddress()
{
    ModalAnswerer answerer;
    answerer.clickButton(QMessageBox::Ok);
    QSqlDatabase db;
    QString errMsg;
    const TestDatabase::Server s = TestDatabase::server();
    const int code = open(db, errMsg, s.password, QString::number(unusedPort()));
    QVERIFY2(code > 2000 && code < 3000, qPrintable(QString::number(code)));
    QVERIFY(db.connectOptions().contains("MYSQL_OPT_CONNECT_TIMEOUT="));
    QCOMPARE(answerer.titles(), QStringList{"Error"});
    QCOMPARE(answerer.lastText(), errMsg + "\nCode: " + QString::number(code));
}

void tst_PSqlDBAccess::driverNotLoadable()
{
    ModalAnswerer answerer;
    answerer.clickButton(QMessageBox::Ok);
    QSqlDatabase db;
    QString errMsg;
    QCOMPARE(access.openDBConnection(db, errMsg, "QNOSUCHDRIVER", "mysql", "127.0.0.1", "u", "p", ""), -1);
    QVERIFY(!errMsg.isEmpty());
    QCOMPARE(answerer.answered(), 1);
    QCOMPARE(answerer.lastText(), errMsg + "\nCode: -1");
}

void tst_PSqlDBAccess::portText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("port");
    QTest::newRow("number") << "3307" << 3307;
    QTest::newRow("empty") << "" << 3306;
    QTest::newRow("not a number") << "33o6" << 3306;
    QTest::newRow("fraction") << "3307.5" << 3306;
    QTest::newRow("out of range") << "70000" << 3306;
}

// The port is read before the connection is tried; every attempt here is refused
// or fails to log in, and its box is answered.
void tst_PSqlDBAccess::portText()
{
    QFETCH(QString, text);
    QFETCH(int, port);
    ModalAnswerer answerer;
    answerer.clickButton(QMessageBox::Ok);
    QSqlDatabase db;
    QString errMsg;
    QVERIFY(open(db, errMsg, "wrong password", text) != 0);
    QCOMPARE(db.port(), port);
    QCOMPARE(answerer.answered(), 1);
}

void tst_PSqlDBAccess::successfulQueryShowsNothing()
{
    TestDatabase::openDefault();
    PSqlErrors errors;
    ModalAnswerer answerer;
    QSqlQuery query;
    QVERIFY(query.exec("SELECT 1"));
    QString errMsg = "kept";
    QCOMPARE(errors.getLastSqlQueryError(query, errMsg), 0);
    QCOMPARE(errors.getLastSqlQueryError(&query, errMsg), 0);
    QSqlQueryModel model;
    model.setQuery("SELECT 1");
    QCOMPARE(errors.getLastSqlQueryError(&model, errMsg), 0);
    QCOMPARE(errMsg, QString("kept"));
    QTest::qWait(50);
    QCOMPARE(answerer.answered(), 0);
}

// Every kind of source reports the same server error the same way.
void tst_PSqlDBAccess::everySourceOfErrors()
{
    TestDatabase::openDefault();
    PSqlErrors errors;
    ModalAnswerer answerer;
    for (int i = 0; i < 4; ++i)
        answerer.clickButton(QMessageBox::Ok);

    QSqlQuery query;
    QVERIFY(!query.exec("SELECT * FROM mysql.no_such_table_here"));
    QSqlQueryModel queryModel;
    queryModel.setQuery("SELECT * FROM mysql.no_such_table_here");
    QSqlTableModel tableModel;
    tableModel.setTable("no_such_table_here");
    QVERIFY(!tableModel.select());

    QStringList messages;
    QString errMsg;
    QCOMPARE(errors.getLastSqlQueryError(query, errMsg), 1146);
    messages << errMsg;
    QCOMPARE(errors.getLastSqlQueryError(&query, errMsg), 1146);
    messages << errMsg;
    QCOMPARE(errors.getLastSqlQueryError(&queryModel, errMsg), 1146);
    messages << errMsg;
    QVERIFY(errors.getLastSqlQueryError(&tableModel, errMsg) != 0);
    messages << errMsg;

    QCOMPARE(answerer.answered(), 4);
    for (int i = 0; i < 4; ++i) {
        QVERIFY(!messages.at(i).isEmpty());
        QCOMPARE(answerer.titles().at(i), QString("Error"));
        QVERIFY(answerer.texts().at(i).startsWith(messages.at(i) + "\nCode: "));
    }
    QVERIFY(messages.at(0).contains("doesn't exist"));

    QSqlQuery *none = nullptr;
    QCOMPARE(errors.getLastSqlQueryError(none, errMsg), 0);
}

void tst_PSqlDBAccess::textRoundTrip_data()
{
    QTest::addColumn<QByteArray>("localeCodec");
    QTest::addColumn<QString>("text");
    // The program makes Windows-1251 its locale codec; the driver must not fall back to
    // it. "И" is 0xD0 0x98 in UTF-8, and 0x98 has no character in Windows-1251.
    QTest::newRow("utf-8 locale, four-byte") << QByteArray("UTF-8") << QString::fromUtf8("Ж😀");
    QTest::newRow("windows-1251 locale, Cyrillic")
        << QByteArray("Windows-1251") << QString::fromUtf8("Иван Ёжиков, щука");
    QTest::newRow("windows-1251 locale, four-byte")
        << QByteArray("Windows-1251") << QString::fromUtf8("Ж😀");
}

void tst_PSqlDBAccess::textRoundTrip()
{
    QFETCH(QByteArray, localeCodec);
    QFETCH(QString, text);
    QTextCodec *const previous = QTextCodec::codecForLocale();
    QTextCodec::setCodecForLocale(QTextCodec::codecForName(localeCodec));
    QSqlDatabase db;
    QString errMsg;
    const TestDatabase::Server s = TestDatabase::server();
    const int opened = open(db, errMsg, s.password, QString::number(s.port));
    const QString name = TestDatabase::uniqueName("sqlutf");
    const QString created = TestDatabase::exec({
        "CREATE DATABASE " + name + " CHARACTER SET utf8mb4",
        "CREATE TABLE " + name + ".t (Name VARCHAR(40)) CHARACTER SET utf8mb4",
    });
    QSqlQuery insert;
    insert.prepare("INSERT INTO " + name + ".t VALUES (:pName)");
    insert.bindValue(":pName", text);
    const bool inserted = insert.exec();
    const QVariant back = TestDatabase::scalar("SELECT Name FROM " + name + ".t");
    const QVariant found = TestDatabase::scalar("SELECT COUNT(*) FROM " + name
                                                + ".t WHERE Name = '" + text + "'");
    TestDatabase::dropDatabase(name);
    QTextCodec::setCodecForLocale(previous);
    QCOMPARE(opened, 0);
    QCOMPARE(created, QString());
    QVERIFY2(inserted, qPrintable(insert.lastError().text()));
    QCOMPARE(back.toString(), text);
    QCOMPARE(found.toInt(), 1);
}

// The connection dies under the program (server restart, idle kill): the next
// statement shows one box, and connecting again brings the program back.
void tst_PSqlDBAccess::serverGoneBetweenTwoOperations()
{
    QSqlDatabase db;
    QString errMsg;
    const TestDatabase::Server s = TestDatabase::server();
    QCOMPARE(open(db, errMsg, s.password, QString::number(s.port)), 0);
    const QVariant id = TestDatabase::scalar("SELECT CONNECTION_ID()");
    TestDatabase::open("killer");
    QCOMPARE(TestDatabase::exec("KILL " + id.toString(), "killer"), QString());

    PSqlErrors errors;
    ModalAnswerer answerer;
    answerer.clickButton(QMessageBox::Ok);
    QSqlQuery query;
    QVERIFY(!query.exec("SELECT 1"));
    const int code = errors.getLastSqlQueryError(query, errMsg);
    QVERIFY2(code == 2006 || code == 2013, qPrintable(QString::number(code)));
    QCOMPARE(answerer.answered(), 1);

    QCOMPARE(open(db, errMsg, s.password, QString::number(s.port)), 0);
    QCOMPARE(TestDatabase::scalar("SELECT 2").toInt(), 2);
    QCOMPARE(answerer.answered(), 1);
}

QTEST_MAIN(tst_PSqlDBAccess)
#include "tst_psqldbaccess.moc"
