// The TLS choices of a connection: their checks, the driver options and settings they
// become, and connections with them to the test server's TLS accounts, the merge
// worker's own connection included.
#include "ConnectionSecurity.h"
#include "EngineTestData.h"
#include "KvtConnection.h"
#include "LoopbackProxy.h"
#include "MergeHarness.h"
#include "MergePreview.h"
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
    void workerConnectionKeepsTheOptions();
    void hiddenTlsIsRefused();
    void everyCallersConnection_data();
    void everyCallersConnection();
    void connectionWithoutWindow_data();
    void connectionWithoutWindow();
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
    QTest::newRow("CA missing") << tlsWith(file("nothing.pem")) << "Cannot read the CA certificate file";
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

    KvtConnectionSettings settings;
    settings.host = s.host;
    settings.port = s.port;
    settings.user = t.x509User;
    settings.password = s.password;
    settings.security = tlsWith(t.caFile, t.certFile, t.keyFile);
    QVERIFY(openKvtConnection(settings));

    MergeHarness harness;
    QVERIFY(harness.run(destination, {source}));
    QVERIFY2(harness.errorTexts.isEmpty(), qPrintable(harness.errorTexts.join('\n')));
    QVERIFY(harness.events.contains("done:" + source));
    QCOMPARE(EngineTestData::count(destination, "defects"), defects);

    TestDatabase::openDefault();
    TestDatabase::dropDatabase(source);
    TestDatabase::dropDatabase(destination);
}

// A man in the middle hides the server's TLS from the worker's connection too: the
// driver goes on in plain text, the worker does not.
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
    // The worker's own connection stops the merge before anything is read.
    MergeHarness harness;
    QVERIFY(harness.run(TestDatabase::uniqueName("nodest"), {TestDatabase::uniqueName("nosrc")}));
    QCOMPARE(harness.events, (QStringList{"sqlErr:2026", "err"}));
    QVERIFY(harness.errorTexts.value(0).startsWith("The server did not encrypt the connection"));
    db = QSqlDatabase();
    TestDatabase::closeAll();
}

// Each connection of the program is made by the one connection unit and checked alike:
// the window's, and the worker's and the preview's copies of it.
void tst_ConnectionSecurity::everyCallersConnection_data()
{
    QTest::addColumn<QString>("caller");
    QTest::addColumn<bool>("useTls");
    QTest::addColumn<bool>("hideTls");
    if (!SecurityFixture::requireTls())
        return;
    for (const char *caller : {"window", "copy", "worker", "preview"}) {
        QTest::addRow("%s, plain", caller) << caller << false << false;
        QTest::addRow("%s, TLS", caller) << caller << true << false;
        QTest::addRow("%s, TLS hidden on the way", caller) << caller << true << true;
    }
}

void tst_ConnectionSecurity::everyCallersConnection()
{
    QFETCH(QString, caller);
    QFETCH(bool, useTls);
    QFETCH(bool, hideTls);
    const TestDatabase::Server s = TestDatabase::server();
    const QString source = TestDatabase::uniqueName("callsrc");
    const QString destination = TestDatabase::uniqueName("calldst");
    TestDatabase::openDefault();
    QCOMPARE(TestDatabase::createKvtDatabase(source), QString());
    QCOMPARE(TestDatabase::createKvtDatabase(destination), QString());
    TestDatabase::closeAll();

    LoopbackProxy proxy(quint16(s.port), true);
    const QString port = QString::number(hideTls ? proxy.start() : s.port);
    KvtConnectionSettings settings;
    settings.security = useTls ? tlsWith(SecurityFixture::tls().caFile) : ConnectionSecurity();
    PSqlDBAccess access;
    QSqlDatabase db;
    QString errMsg;
    const auto openDefault = [&](const QString &extraOptions) {
        access.setExtraConnectOptions(extraOptions);
        return access.openDBConnection(db, errMsg, "QMYSQL", QString(), s.host, s.user, s.password, port) == 0;
    };
    KvtSqlStatus status;
    QString cipher;
    if (caller == "window") {
        status = openKvtDefaultConnection(settings, openDefault);
        if (status)
            cipher = ConnectionSecurity::sessionCipher(db);
    } else {
        // The window's own check is left out, so that its copies meet the hidden TLS.
        QVERIFY(openDefault(settings.security.connectOptions()));
    }
    if (caller == "copy") {
        status = openKvtConnectionLike("copy");
        if (status)
            cipher = ConnectionSecurity::sessionCipher(QSqlDatabase::database("copy"));
        closeKvtConnection("copy");
    } else if (caller == "worker") {
        MergeHarness harness;
        QVERIFY(harness.run(destination, {source}));
        status = harness.errorTexts.isEmpty()
                     ? KvtSqlStatus()
                     : KvtSqlStatus::failure(harness.errorTexts.first(), harness.events.value(0).mid(7));
    } else if (caller == "preview") {
        MergePreview preview;
        preview.setDestination(destination);
        preview.setSources({source});
        preview.run();
        status = preview.report().errors().isEmpty() ? KvtSqlStatus()
                                                     : KvtSqlStatus::failure(preview.report().errors().first());
    }
    QCOMPARE(status.ok(), !hideTls);
    if (hideTls)
        QVERIFY2(status.text().startsWith("The server did not encrypt the connection"), qPrintable(status.text()));
    if (caller == "worker" && hideTls)
        QCOMPARE(status.code(), QString::number(ConnectionSecurity::notEncryptedCode));
    if (caller == "window" || caller == "copy")
        QCOMPARE(cipher.isEmpty(), !status.ok() || !useTls);
    // Whether the session is encrypted is not asked of the server: a relay could answer.
    if (hideTls)
        QVERIFY2(!proxy.traffic().contains("Ssl_cipher"), proxy.traffic().right(400).constData());
    db = QSqlDatabase();
    TestDatabase::closeAll();
    TestDatabase::openDefault();
    TestDatabase::dropDatabase(source);
    TestDatabase::dropDatabase(destination);
}

// The engine's connection (the worker's default connection, batch runs) with the
// test server's TLS accounts; no rights beyond the merge's own grants needed.
void tst_ConnectionSecurity::connectionWithoutWindow_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<ConnectionSecurity>("security");
    QTest::addColumn<bool>("hideTls");
    QTest::addColumn<QString>("code");  // empty: opens
    QTest::addColumn<QString>("error"); // start of the error text

    if (!SecurityFixture::requireTls())
        return;
    const SecurityFixture::Tls t = SecurityFixture::tls();
    QTest::newRow("certificate account") << t.x509User << tlsWith(t.caFile, t.certFile, t.keyFile) << false
                                         << "" << "";
    QTest::newRow("TLS account without TLS") << t.user << ConnectionSecurity() << false << "1045"
                                             << "Access denied";
    QTest::newRow("TLS hidden on the way") << TestDatabase::server().user << tlsWith(t.caFile) << true << "2026"
                                           << "The server did not encrypt the connection";
    QTest::newRow("CA that did not sign the server's certificate")
        << t.user << tlsWith(t.otherCaFile) << false << "2026" << "TLS/SSL error: self-signed certificate";
    QTest::newRow("certificate account without certificate") << t.x509User << tlsWith(t.caFile) << false
                                                              << "1045" << "Access denied";
    QTest::newRow("TLS without CA") << t.user << tlsWith(QString()) << false << ""
                                    << "Choose the CA certificate file";
    QTest::newRow("account with the merge's grants only") << "kvt_batch_least" << ConnectionSecurity() << false
                                                           << "" << "";
}

void tst_ConnectionSecurity::connectionWithoutWindow()
{
    QFETCH(QString, user);
    QFETCH(ConnectionSecurity, security);
    QFETCH(bool, hideTls);
    QFETCH(QString, code);
    QFETCH(QString, error);
    const TestDatabase::Server s = TestDatabase::server();
    const bool limited = user == "kvt_batch_least";
    if (limited) {
        TestDatabase::openDefault();
        QCOMPARE(SecurityFixture::createLimitedUser(user, s.password, {"kvt_no_such_source"}, "kvt_no_such_dest",
                                                    SecurityFixture::Grant::Merge),
                 QString());
    }
    LoopbackProxy proxy(quint16(s.port), true);
    KvtConnectionSettings settings;
    settings.host = s.host;
    settings.port = hideTls ? proxy.start() : s.port;
    settings.user = user;
    settings.password = s.password;
    settings.security = security;
    const KvtSqlStatus status = openKvtConnection(settings, "withoutWindow");
    QCOMPARE(status.ok(), error.isEmpty());
    QCOMPARE(status.code(), code);
    QVERIFY2(error.isEmpty() || status.text().startsWith(error), qPrintable(status.text()));
    if (status)
        QCOMPARE(!ConnectionSecurity::sessionCipher(QSqlDatabase::database("withoutWindow")).isEmpty(), security.useTls);
    closeKvtConnection("withoutWindow");
    if (hideTls)
        QVERIFY(!proxy.traffic().contains("Ssl_cipher"));
    if (limited)
        SecurityFixture::dropUser(user);
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

QTEST_GUILESS_MAIN(tst_ConnectionSecurity)
#include "tst_connectionsecurity.moc"
