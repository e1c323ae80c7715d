// The TLS choices of a connection: their checks, the driver options and settings they
// become, and connections with them to the test server's TLS accounts, the merge
// worker's own connection included.
#include "ConnectionSecurity.h"
#include "EngineTestData.h"
#include "LoopbackProxy.h"
#include "MergeHarness.h"
#include "ModalAnswerer.h"
#include "PSqlDBAccess.h"
#include "SecurityFixture.h"
#include "TestDatabase.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

Q_DECLARE_METATYPE(ConnectionSecurity)

namespace {

ConnectionSecurity tlsWith(const QString &ca, const QString &cert = QString(), const QString &key = QString())
{
    ConnectionSecurity security;
    security.useTls = true;
    security.caFile = ca;
    security.certFile = cert;
    security.keyFile = key;
    return security;
}

} // namespace

class tst_ConnectionSecurity : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void usableChoices_data();
    void usableChoices();
    void driverOptions();
    void settingsRoundTrip();
    void connectToTlsAccounts_data();
    void connectToTlsAccounts();
    void workerConnectionKeepsTheOptions();
    void hiddenTlsIsRefused();
    void sniffedSession_data();
    void sniffedSession();
    void cleanupTestCase();

private:
    QString file(const QString &relative);

    QTemporaryDir m_dir;
};

void tst_ConnectionSecurity::initTestCase()
{
    QVERIFY(m_dir.isValid());
    for (const char *name : {"ca.pem", "client.pem", "client-key.pem", "semi;colon/ca.pem",
                                "two  blanks/ca.pem"}) {
        QVERIFY(QDir().mkpath(QFileInfo(m_dir.filePath(name)).path()));
        QFile f(m_dir.filePath(name));
        QVERIFY(f.open(QIODevice::WriteOnly));
    }
}

QString tst_ConnectionSecurity::file(const QString &relative)
{
    return m_dir.filePath(relative);
}

void tst_ConnectionSecurity::usableChoices_data()
{
    QTest::addColumn<ConnectionSecurity>("security");
    QTest::addColumn<QString>("problem"); // start of the problem text; empty: usable

    ConnectionSecurity off;
    off.caFile = QStringLiteral("/no/such/ca.pem"); // kept, but not looked at while off
    QTest::newRow("off") << off << "";
    QTest::newRow("CA only") << tlsWith(file("ca.pem")) << "";
    QTest::newRow("with client certificate")
        << tlsWith(file("ca.pem"), file("client.pem"), file("client-key.pem")) << "";
    QTest::newRow("no CA") << tlsWith(QString()) << "Choose the CA certificate file";
    QTest::newRow("certificate without key")
        << tlsWith(file("ca.pem"), file("client.pem")) << "A client certificate needs its key";
    QTest::newRow("key without certificate")
        << tlsWith(file("ca.pem"), QString(), file("client-key.pem")) << "A client certificate needs its key";
    QTest::newRow("CA missing") << tlsWith(file("nothing.pem")) << "Cannot read the CA certificate file";
    QTest::newRow("CA is a folder") << tlsWith(m_dir.path()) << "Cannot read the CA certificate file";
    QTest::newRow("key missing")
        << tlsWith(file("ca.pem"), file("client.pem"), file("gone.pem")) << "Cannot read the client key file";
    QTest::newRow("semicolon in a path") << tlsWith(file("semi;colon/ca.pem"))
                                         << "The database driver cannot take the path";
    QTest::newRow("blanks the driver collapses") << tlsWith(file("two  blanks/ca.pem"))
                                                 << "The database driver cannot take the path";
}

void tst_ConnectionSecurity::usableChoices()
{
    QFETCH(ConnectionSecurity, security);
    QFETCH(QString, problem);
    QString text = QStringLiteral("not cleared");
    QCOMPARE(security.isUsable(&text), problem.isEmpty());
    QVERIFY2(problem.isEmpty() ? text.isEmpty() : text.startsWith(problem), qPrintable(text));
}

void tst_ConnectionSecurity::driverOptions()
{
    QCOMPARE(ConnectionSecurity().connectOptions(), QString());
    QCOMPARE(ConnectionSecurity().addedTo(QStringLiteral("MYSQL_OPT_CONNECT_TIMEOUT=5")),
             QStringLiteral("MYSQL_OPT_CONNECT_TIMEOUT=5"));

    QVERIFY(QDir::setCurrent(m_dir.path()));
    const ConnectionSecurity relative = tlsWith(QStringLiteral("ca.pem"));
    QCOMPARE(relative.connectOptions(), "SSL_CA=" + file("ca.pem"));
    QCOMPARE(relative.addedTo(QString()), "SSL_CA=" + file("ca.pem"));
    const ConnectionSecurity client = tlsWith(file("ca.pem"), file("client.pem"), file("client-key.pem"));
    QCOMPARE(client.addedTo(QStringLiteral("MYSQL_OPT_CONNECT_TIMEOUT=5")),
             "MYSQL_OPT_CONNECT_TIMEOUT=5;SSL_CA=" + file("ca.pem") + ";SSL_CERT=" + file("client.pem")
                 + ";SSL_KEY=" + file("client-key.pem"));
}

void tst_ConnectionSecurity::settingsRoundTrip()
{
    const QString path = file("settings.ini");
    {
        QSettings settings(path, QSettings::IniFormat);
        QCOMPARE(ConnectionSecurity::load(settings), ConnectionSecurity());
        tlsWith(file("ca.pem"), file("client.pem"), file("client-key.pem")).save(settings);
    }
    QSettings settings(path, QSettings::IniFormat);
    QCOMPARE(ConnectionSecurity::load(settings), tlsWith(file("ca.pem"), file("client.pem"), file("client-key.pem")));
    QCOMPARE(settings.childGroups(), QStringList{"connectionSecurity"});
}

// Opened the way the program opens its connection, through PSqlDBAccess.
void tst_ConnectionSecurity::connectToTlsAccounts_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<ConnectionSecurity>("security");
    QTest::addColumn<int>("code");     // 0: opens
    QTest::addColumn<bool>("encrypted");
    QTest::addColumn<QString>("error"); // part of the error text

    if (!SecurityFixture::requireTls())
        return;
    const SecurityFixture::Tls t = SecurityFixture::tls();
    const QString plainUser = TestDatabase::server().user;
    QTest::newRow("TLS account with TLS") << t.user << tlsWith(t.caFile) << 0 << true << "";
    QTest::newRow("TLS account without TLS") << t.user << ConnectionSecurity() << 1045 << false
                                             << "Access denied";
    QTest::newRow("CA that did not sign the server's certificate")
        << t.user << tlsWith(t.otherCaFile) << 2026 << false << "certificate";
    QTest::newRow("certificate account without certificate")
        << t.x509User << tlsWith(t.caFile) << 1045 << false << "Access denied";
    QTest::newRow("certificate account with certificate")
        << t.x509User << tlsWith(t.caFile, t.certFile, t.keyFile) << 0 << true << "";
    QTest::newRow("plain account stays plain") << plainUser << ConnectionSecurity() << 0 << false << "";
    QTest::newRow("plain account with TLS") << plainUser << tlsWith(t.caFile) << 0 << true << "";
}

void tst_ConnectionSecurity::connectToTlsAccounts()
{
    QFETCH(QString, user);
    QFETCH(ConnectionSecurity, security);
    QFETCH(int, code);
    QFETCH(bool, encrypted);
    QFETCH(QString, error);
    const TestDatabase::Server s = TestDatabase::server();
    ModalAnswerer answerer;
    if (code != 0)
        answerer.clickButton(QMessageBox::Ok);

    PSqlDBAccess access;
    access.setExtraConnectOptions(security.connectOptions());
    QSqlDatabase db;
    QString errMsg;
    QCOMPARE(access.openDBConnection(db, errMsg, "QMYSQL", "mysql", s.host, user, s.password,
                                     QString::number(s.port)),
             code);
    QVERIFY2(errMsg.contains(error), qPrintable(errMsg));
    QCOMPARE(answerer.answered(), code == 0 ? 0 : 1);
    QCOMPARE(!ConnectionSecurity::sessionCipher(db).isEmpty(), encrypted);
    if (code == 0)
        QVERIFY(ConnectionSecurity::isEncryptedAsAsked(db));
    QVERIFY(db.connectOptions().startsWith("MYSQL_OPT_CONNECT_TIMEOUT="));
    db = QSqlDatabase();
    TestDatabase::closeAll();
}

// The certificate account refuses any connection without the client certificate, so
// a merge that ends well proves that the worker's own connection kept every option.
void tst_ConnectionSecurity::workerConnectionKeepsTheOptions()
{
    if (!SecurityFixture::requireTls())
        return;
    const SecurityFixture::Tls t = SecurityFixture::tls();
    const TestDatabase::Server s = TestDatabase::server();
    const QString source = TestDatabase::uniqueName("tlssrc");
    const QString destination = TestDatabase::uniqueName("tlsdst");
    TestDatabase::openDefault();
    QCOMPARE(TestDatabase::createKvtDatabase(source), QString());
    QCOMPARE(TestDatabase::createKvtDatabase(destination), QString());
    QCOMPARE(EngineTestData::fillDemo(source, 1, 40, 5, 4), QString());
    const int defects = EngineTestData::count(source, "defects");

    PSqlDBAccess access;
    access.setExtraConnectOptions(tlsWith(t.caFile, t.certFile, t.keyFile).connectOptions());
    QSqlDatabase db;
    QString errMsg;
    QCOMPARE(access.openDBConnection(db, errMsg, "QMYSQL", "mysql", s.host, t.x509User, s.password,
                                     QString::number(s.port)),
             0);
    {
        // A clone, as the worker makes its connection.
        QSqlDatabase clone = QSqlDatabase::cloneDatabase(QLatin1String(QSqlDatabase::defaultConnection), "probe");
        QVERIFY(clone.open());
        QVERIFY(!ConnectionSecurity::sessionCipher(clone).isEmpty());
    }
    QSqlDatabase::removeDatabase("probe");

    MergeHarness harness;
    QVERIFY(harness.run(destination, {source}));
    QVERIFY2(harness.errorTexts.isEmpty(), qPrintable(harness.errorTexts.join('\n')));
    QVERIFY(harness.events.contains("done:" + source));
    QCOMPARE(EngineTestData::count(destination, "defects"), defects);

    db = QSqlDatabase();
    TestDatabase::openDefault();
    TestDatabase::dropDatabase(source);
    TestDatabase::dropDatabase(destination);
}

// A man in the middle hides the server's TLS: the driver goes on in plain text, the
// program must not.
void tst_ConnectionSecurity::hiddenTlsIsRefused()
{
    if (!SecurityFixture::requireTls())
        return;
    const SecurityFixture::Tls t = SecurityFixture::tls();
    const TestDatabase::Server s = TestDatabase::server();
    LoopbackProxy proxy(quint16(s.port), true);
    const quint16 port = proxy.start();
    QVERIFY(port != 0);

    PSqlDBAccess access;
    access.setExtraConnectOptions(tlsWith(t.caFile).connectOptions());
    QSqlDatabase db;
    QString errMsg;
    QCOMPARE(access.openDBConnection(db, errMsg, "QMYSQL", "mysql", s.host, s.user, s.password,
                                     QString::number(port)),
             0);
    QCOMPARE(ConnectionSecurity::sessionCipher(db), QString());
    QString problem;
    QVERIFY(!ConnectionSecurity::isEncryptedAsAsked(db, &problem));
    QVERIFY2(problem.startsWith("The server did not encrypt the connection"), qPrintable(problem));

    // The worker's own connection stops the merge before anything is read.
    MergeHarness harness;
    QVERIFY(harness.run(TestDatabase::uniqueName("nodest"), {TestDatabase::uniqueName("nosrc")}));
    QCOMPARE(harness.events, (QStringList{"sqlErr:2026", "err"}));
    QCOMPARE(harness.errorTexts, QStringList{problem});
    db = QSqlDatabase();
    TestDatabase::closeAll();
}

// What a sniffer on the loopback sees of a row read over the connection.
void tst_ConnectionSecurity::sniffedSession_data()
{
    QTest::addColumn<bool>("useTls");
    QTest::newRow("plain: the row can be read") << false;
    QTest::newRow("TLS: it cannot") << true;
}

void tst_ConnectionSecurity::sniffedSession()
{
    if (!SecurityFixture::requireTls())
        return;
    QFETCH(bool, useTls);
    const TestDatabase::Server s = TestDatabase::server();
    LoopbackProxy proxy(quint16(s.port), false);
    const quint16 port = proxy.start();
    QVERIFY(port != 0);
    const QString rowText = QStringLiteral("Axle 7f3a, crack in zone Neck");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QMYSQL", "sniffed");
        db.setHostName(s.host);
        db.setPort(port);
        db.setUserName(s.user);
        db.setPassword(s.password);
        db.setConnectOptions(useTls ? tlsWith(SecurityFixture::tls().caFile).connectOptions() : QString());
        QVERIFY(db.open());
        QSqlQuery query(db);
        QVERIFY(query.exec("SELECT CONCAT('Axle 7f3a', ', crack in zone Neck')") && query.next());
        QCOMPARE(query.value(0).toString(), rowText);
    }
    QSqlDatabase::removeDatabase("sniffed");
    QVERIFY(!proxy.traffic().isEmpty());
    QCOMPARE(proxy.traffic().contains(rowText.toUtf8()), !useTls);
}

void tst_ConnectionSecurity::cleanupTestCase()
{
    TestDatabase::closeAll();
}

QTEST_MAIN(tst_ConnectionSecurity)
#include "tst_connectionsecurity.moc"
