// The main window's security: the connection security dialog, logins to the test
// server's TLS accounts, a merge by an account with only the documented grants, and no
// password in anything the program wrote.
#include "ConnectionSecurity.h"
#include "LoopbackProxy.h"
#include "PLog.h"
#include "ModalAnswerer.h"
#include "SecurityFixture.h"
#include "ShellTestSupport.h"
#include "TestDatabase.h"
#include "WidgetCreation.h"
#include "auxFunc.h"
#include "dbAccess.h"
#include "mainwin.h"

#include <QAction>
#include <QCheckBox>
#include <QCompleter>
#include <QDialogButtonBox>
#include <QDirIterator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QState>
#include <QTemporaryDir>
#include <QTest>

using namespace ShellTest;

Q_DECLARE_METATYPE(ConnectionSecurity)

namespace {

const int mergeTimeoutMs = 120000;

QString statusOf(MainWin &window)
{
    return child<QLabel>(&window, "lbStatus")->text();
}

ConnectionSecurity tlsWith(const QString &ca, const QString &cert = QString(), const QString &key = QString())
{
    ConnectionSecurity security;
    security.useTls = true;
    security.caFile = ca;
    security.certFile = cert;
    security.keyFile = key;
    return security;
}

// Clicks "Merge databases" once the button's state machine runs and waits for the end.
bool runMerge(MainWin &window)
{
    auto *start = window.findChild<QState *>(QStringLiteral("btnStartMerge"));
    if (!start || !QTest::qWaitFor([&] { return start->active(); }))
        return false;
    QSignalSpy finished(&window, &MainWin::mergeFinished);
    child<QPushButton>(&window, "btnMerge")->click();
    return finished.wait(mergeTimeoutMs);
}

QStringList completions(MainWin &window)
{
    QCompleter *completer = child<QLineEdit>(&window, "edToTable")->completer();
    QStringList names;
    for (int row = 0; completer && row < completer->model()->rowCount(); ++row)
        names << completer->model()->index(row, 0).data().toString();
    return names;
}

} // namespace

class tst_Security : public QObject
{
    Q_OBJECT
public:
    explicit tst_Security(const QString &home)
        : m_home(home)
    {
    }

private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();
    void securityDialogFromTheMenu();
    void tlsLogin_data();
    void tlsLogin();
    void leastPrivilegeMergeLeavesNoSecret();

private:

    QString m_home;
    bool m_server = false;
    QStringList m_created;
};

void tst_Security::initTestCase()
{
    initAppResources();
    setLogger(m_home);
    m_server = TestDatabase::configured();
    if (m_server)
        QVERIFY(openFixture());
}

void tst_Security::init()
{
    DBAccess::instance()->setSecurity(ConnectionSecurity());
    QSettings().remove(QStringLiteral("connectionSecurity"));
}

void tst_Security::cleanupTestCase()
{
    if (m_server)
        drop(m_created);
}

// The dialog from the "Connection" menu: OK only for usable choices, which are then
// kept for the next start and used by the next connection; Cancel keeps the old ones.
void tst_Security::securityDialogFromTheMenu()
{
    const QString ca = m_home + QStringLiteral("/ca.pem");
    QFile caFile(ca);
    QVERIFY(caFile.open(QIODevice::WriteOnly));
    caFile.close();

    MainWin window;
    auto *action = window.findChild<QAction *>(QStringLiteral("actionConnectionSecurity"));
    QVERIFY(action);
    QCOMPARE(action->text(), QStringLiteral("Connection security…"));
    ModalAnswerer answerer;
    bool okWithoutCa = true;
    QString problemWithoutCa;
    QString checks;
    answerer.handle([&](QWidget *dialog) {
        QPushButton *ok = child<QDialogButtonBox>(dialog, "buttonBox")->button(QDialogButtonBox::Ok);
        child<QCheckBox>(dialog, "chkbxUseTls")->setChecked(true);
        okWithoutCa = ok->isEnabled();
        problemWithoutCa = child<QLabel>(dialog, "lbProblem")->text();
        checks = child<QLabel>(dialog, "lbChecks")->text();
        child<QLineEdit>(dialog, "edCaFile")->setText(ca);
        QVERIFY(ok->isEnabled());
        ok->click();
    });
    action->trigger();
    QCOMPARE(answerer.titles(), QStringList{"Connection security"});
    QVERIFY(!okWithoutCa);
    QVERIFY2(problemWithoutCa.startsWith("Choose the CA certificate file"), qPrintable(problemWithoutCa));
    QVERIFY(checks.contains("signed by this CA"));
    QVERIFY(checks.contains("Not checked: whether that certificate was made out for the host name"));
    QCOMPARE(DBAccess::instance()->security(), tlsWith(ca));
    QCOMPARE(ConnectionSecurity::load(QSettings()), tlsWith(ca));

    // Shown again with the kept choices; a change then cancelled is dropped.
    QString shownCa;
    answerer.handle([&](QWidget *dialog) {
        shownCa = child<QLineEdit>(dialog, "edCaFile")->text();
        child<QCheckBox>(dialog, "chkbxUseTls")->setChecked(false);
        child<QDialogButtonBox>(dialog, "buttonBox")->button(QDialogButtonBox::Cancel)->click();
    });
    action->trigger();
    QCOMPARE(shownCa, ca);
    QCOMPARE(DBAccess::instance()->security(), tlsWith(ca));
    QCOMPARE(ConnectionSecurity::load(QSettings()), tlsWith(ca));
}

void tst_Security::tlsLogin_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<ConnectionSecurity>("security");
    QTest::addColumn<bool>("hideTls"); // through a relay that hides the server's TLS
    QTest::addColumn<QString>("box"); // start of the box text; empty: no box
    QTest::addColumn<QString>("status");

    if (!SecurityFixture::requireTls())
        return;
    const SecurityFixture::Tls t = SecurityFixture::tls();
    QTest::newRow("TLS account with TLS")
        << t.user << tlsWith(t.caFile) << false << "" << "connection is success, encrypted (TLS";
    QTest::newRow("TLS account without TLS")
        << t.user << ConnectionSecurity() << false << "Access denied for user '" + t.user + "'"
        << "";
    QTest::newRow("wrong CA") << t.user << tlsWith(t.otherCaFile) << false
                              << "TLS/SSL error: self-signed certificate in certificate chain" << "";
    QTest::newRow("CA file gone") << t.user << tlsWith(t.caFile + ".gone") << false
                                  << "Cannot read the CA certificate file" << "TLS settings cannot be used";
    QTest::newRow("TLS hidden on the way") << TestDatabase::server().user << tlsWith(t.caFile) << true
                                           << "The server did not encrypt the connection" << "";
}

// The TLS account connects and merges with TLS, and every refusal is a clear box with
// the connection left closed.
void tst_Security::tlsLogin()
{
    QFETCH(QString, user);
    QFETCH(ConnectionSecurity, security);
    QFETCH(bool, hideTls);
    QFETCH(QString, box);
    QFETCH(QString, status);

    LoopbackProxy proxy(quint16(TestDatabase::server().port), true);
    const quint16 port = hideTls ? proxy.start() : quint16(TestDatabase::server().port);
    QVERIFY(port != 0);
    MainWin window;
    DBAccess::instance()->setSecurity(security);
    ModalAnswerer answerer;
    if (!box.isEmpty())
        answerer.clickButton(QMessageBox::Ok);
    child<QLineEdit>(&window, "edHost")->setText(TestDatabase::server().host);
    child<QLineEdit>(&window, "edPort")->setText(QString::number(port));
    child<QLineEdit>(&window, "edUser")->setText(user);
    child<QLineEdit>(&window, "edPassword")->setText(TestDatabase::server().password);
    child<QPushButton>(&window, "btnConnect")->click();
    QVERIFY2(status.isEmpty() ? statusOf(window).isEmpty() : statusOf(window).startsWith(status),
             qPrintable(statusOf(window)));
    QCOMPARE(answerer.answered(), box.isEmpty() ? 0 : 1);
    QCOMPARE(DBAccess::instance()->isOpen(), box.isEmpty());
    if (!box.isEmpty()) {
        QCOMPARE(answerer.lastTitle(), QStringLiteral("Error"));
        QVERIFY2(answerer.lastText().startsWith(box), qPrintable(answerer.lastText()));
        return;
    }

    const QString source = newKvt(QStringLiteral("secTlsSrc"), m_created);
    const QString destination = newKvt(QStringLiteral("secTlsDest"), m_created);
    QCOMPARE(fillSmall(source, 1), QString());
    setFields(window, {source}, destination);
    QVERIFY(runMerge(window));
    QCOMPARE(answerer.answered(), 0);
    QCOMPARE(statusOf(window), QStringLiteral("Merger completed"));
    QCOMPARE(count(destination, QStringLiteral("defects")), 2);
    QVERIFY(!DBAccess::instance()->cipher().isEmpty());
}

// An account with exactly the grants of a merge connects after a mistyped password,
// merges two sources whose reference records conflict with the destination (added
// under new keys, then replaced), and neither password is left in any file the program
// wrote, in a box or in the status line.
void tst_Security::leastPrivilegeMergeLeavesNoSecret()
{
    if (!TestDatabase::requireServer())
        return;
    const QString user = QStringLiteral("kvt_least");
    const QString password = QStringLiteral("Pw-least-7Qz§");
    const QString mistyped = QStringLiteral("Pw-typo-3Kx§");
    const QString src1 = newKvt(QStringLiteral("secLeastSrc"), m_created);
    const QString src2 = newKvt(QStringLiteral("secLeastSrc"), m_created);
    const QString dest = newKvt(QStringLiteral("secLeastDest"), m_created);
    QCOMPARE(fillSmall(src1, 1), QString());
    QCOMPARE(fillSmall(src2, 2), QString());
    QCOMPARE(execAll({"INSERT INTO " + q(dest) + ".results (ID, Short, Name) VALUES (1, 'OK', 'Other')"}), QString());
    QCOMPARE(SecurityFixture::createLimitedUser(user, password, {src1, src2}, dest, SecurityFixture::Grant::Merge,
                                                fixtureConnection()),
             QString());
    // TLS choices kept in the settings (TLS off), so that the scan covers a settings file.
    {
        ConnectionSecurity kept = tlsWith(m_home + "/ca.pem");
        kept.useTls = false;
        QSettings settings;
        kept.save(settings);
    }

    MainWin window;
    ModalAnswerer answerer;
    answerer.clickButton(QMessageBox::Ok);
    connectPanel(&window, mistyped, user);
    QCOMPARE(answerer.titles(), QStringList{"Error"});
    QVERIFY2(answerer.lastText().endsWith("\nCode: 1045"), qPrintable(answerer.lastText()));
    const QStringList texts{answerer.lastText(), statusOf(window)};

    connectPanel(&window, password, user);
    QCOMPARE(answerer.texts(), QStringList{texts.first()});
    QCOMPARE(statusOf(window), QStringLiteral("connection is success"));
    QVERIFY(completions(window).contains(dest));
    QVERIFY(!completions(window).contains("mysql"));

    setFields(window, {src1, src2}, dest);
    window.setActionForDiffRecords(adrAddNew);
    QVERIFY(runMerge(window));
    QCOMPARE(statusOf(window), QStringLiteral("Merger completed"));
    const QStringList added = rows("SELECT ID, Name FROM " + q(dest) + ".results ORDER BY ID");
    QCOMPARE(added.value(0), QStringLiteral("1|Other"));
    QVERIFY2(added.size() > 1 && added.last().endsWith("|Passed"), qPrintable(added.join(' ')));
    window.setActionForDiffRecords(adrReplace);
    QVERIFY(runMerge(window));
    QCOMPARE(statusOf(window), QStringLiteral("Merger completed"));
    QCOMPARE(rows("SELECT ID, Name FROM " + q(dest) + ".results WHERE ID = 1"), QStringList{"1|Passed"});
    QCOMPARE(count(dest, QStringLiteral("defects")), 4);
    QCOMPARE(answerer.answered(), 1);
    SecurityFixture::dropUser(user, fixtureConnection());

    // Every file below the program's home: settings, log, cache.
    QStringList scanned;
    QDirIterator files(m_home, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        QFile file(files.next());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray content = file.readAll();
        for (const QString &secret : {password, mistyped}) {
            QVERIFY2(!content.contains(secret.toUtf8()) && !content.contains(secret.toLocal8Bit()),
                     qPrintable(file.fileName()));
        }
        scanned << QFileInfo(file).fileName();
    }
    QVERIFY2(scanned.contains(QFileInfo(PLogger::ensureInstance()->destination()).fileName()), qPrintable(scanned.join(' ')));
    QVERIFY2(scanned.contains("kvtMergeDB.conf"), qPrintable(scanned.join(' ')));
    for (const QString &text : texts + QStringList{statusOf(window)}) {
        QVERIFY(!text.contains(password));
        QVERIFY(!text.contains(mistyped));
    }
}

int main(int argc, char *argv[])
{
    // Settings, cache and log of the program stay in a folder of the test's own.
    QTemporaryDir home;
    if (!home.isValid())
        return 2;
    qputenv("HOME", home.path().toLocal8Bit());
    for (const char *variable : {"XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME"})
        qunsetenv(variable);
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("kvtMergeDB"));
    QCoreApplication::setApplicationName(QStringLiteral("kvtMergeDB"));
    tst_Security test(home.path());
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_security.moc"
