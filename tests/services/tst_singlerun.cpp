#include "IsolatedHome.h"

#include "ModalAnswerer.h"
#include "PSingleRun.h"

#include <QAbstractButton>
#include <QFileInfo>
#include <QMap>
#include <QMessageBox>
#include <QProcess>
#include <QRegularExpression>
#include <QSharedMemory>
#include <QTemporaryDir>
#include <QTest>

#include <pwd.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <unistd.h>

namespace {

// Generous bound for a helper process to start and answer; only guards against a hang.
const int processTimeoutMs = 60000;

// The helper program as another user can start it: it, the library it loads and the leak
// checker's suppressions (named in LSAN_OPTIONS), copied into a folder that user may enter
// and read. The build and source trees may lie where that user cannot (a clone in /root);
// the copy goes with the test program. Returns the program; env gets the copies' paths.
QString helperForOtherUsers(QProcessEnvironment &env)
{
    static QTemporaryDir folder;
    static QString program;
    const QFile::Permissions readAndRun = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                          | QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther
                                          | QFile::ExeOther;
    const auto copy = [&](const QString &from) {
        const QString to = folder.filePath(QFileInfo(from).fileName());
        return (QFile::exists(to) || QFile::copy(from, to)) && QFile::setPermissions(to, readAndRun);
    };
    if (program.isEmpty() && folder.isValid() && QFile::setPermissions(folder.path(), readAndRun)
        && copy(QStringLiteral(SINGLERUN_HELPER)) && copy(QStringLiteral(PELMORA0_SONAME_FILE)))
        program = folder.filePath(QFileInfo(QStringLiteral(SINGLERUN_HELPER)).fileName());
    env.insert(QStringLiteral("LD_LIBRARY_PATH"), folder.path());
    static const QRegularExpression suppressions(QStringLiteral("suppressions=([^:]+)"));
    QString leakOptions = env.value(QStringLiteral("LSAN_OPTIONS"));
    const QRegularExpressionMatch named = suppressions.match(leakOptions);
    if (named.hasMatch() && copy(named.captured(1))) {
        leakOptions.replace(named.capturedStart(1), named.capturedLength(1),
                            folder.filePath(QFileInfo(named.captured(1)).fileName()));
        env.insert(QStringLiteral("LSAN_OPTIONS"), leakOptions);
    }
    return program;
}

// A helper process and the report it printed.
class Helper
{
public:
    // As another user (asUser > 0) the helper starts through setpriv, which becomes it.
    Helper(const QString &key, const char *mode, uid_t asUser = 0)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        m_process.setProcessChannelMode(QProcess::SeparateChannels);
        QStringList arguments{key, QString::fromLatin1(mode)};
        QString program = QStringLiteral(SINGLERUN_HELPER);
        if (asUser > 0) {
            program = helperForOtherUsers(env);
            env.insert(QStringLiteral("HOME"), QStringLiteral("/nonexistent"));
            env.remove(QStringLiteral("XDG_CONFIG_HOME"));
            env.remove(QStringLiteral("XDG_RUNTIME_DIR"));
            arguments = QStringList{QStringLiteral("--reuid=%1").arg(asUser),
                                    QStringLiteral("--regid=%1").arg(asUser),
                                    QStringLiteral("--clear-groups"), program} + arguments;
            program = QStringLiteral("setpriv");
        }
        m_process.setProcessEnvironment(env);
        m_process.start(program, arguments);
    }
    ~Helper()
    {
        if (m_process.state() != QProcess::NotRunning && !finish()) {
            m_process.kill();
            m_process.waitForFinished(processTimeoutMs);
        }
    }

    // Reads report lines until the result line; false when none comes.
    bool waitForResult()
    {
        if (!m_process.waitForStarted(processTimeoutMs))
            return false;
        while (!m_report.contains(QStringLiteral("result"))) {
            if (!m_process.canReadLine() && !m_process.waitForReadyRead(processTimeoutMs))
                return false;
            while (m_process.canReadLine()) {
                const QString line = QString::fromUtf8(m_process.readLine()).chopped(1);
                const int equals = line.indexOf(QLatin1Char('='));
                m_report.insert(line.left(equals), line.mid(equals + 1));
            }
        }
        return true;
    }
    QString item(const QString &name) const { return m_report.value(name); }

    // Lets the helper end normally (a holding one is told to); its marker goes with it.
    bool finish()
    {
        m_process.closeWriteChannel();
        return m_process.waitForFinished(processTimeoutMs)
            && m_process.exitStatus() == QProcess::NormalExit && m_process.exitCode() == 0;
    }
    // Ends the helper the hard way, as a crash would: nothing of it runs any more.
    bool killHard()
    {
        m_process.kill();
        return m_process.waitForFinished(processTimeoutMs)
            && m_process.exitStatus() == QProcess::CrashExit;
    }
    QString errors() { return QString::fromLocal8Bit(m_process.readAllStandardError()); }

private:
    QProcess m_process;
    QMap<QString, QString> m_report;
};

QStringList &usedKeys()
{
    static QStringList keys;
    return keys;
}

QString uniqueKey(const char *test)
{
    const QString key = QStringLiteral("pelmoraSingleRunTest-%1-%2").arg(getpid()).arg(QString::fromLatin1(test));
    usedKeys() << key;
    return key;
}

// The user nobody, whom the two-user cases run their second user as; 0 when the test
// cannot start a process as another user.
uid_t otherUser()
{
    const passwd *entry = getpwnam("nobody");
    return geteuid() == 0 && entry && entry->pw_uid != 0 ? entry->pw_uid : 0;
}

// Number of processes attached to the key's segment of the user (this process's user
// by default); -1 when there is no segment.
int attachedProcesses(const QString &key, const QString &userKey = QString())
{
    QSharedMemory naming;
    naming.setKey(userKey.isEmpty() ? PSingleRun::userKey(key) : userKey);
    const key_t ipcKey = ftok(QFile::encodeName(naming.nativeKey()).constData(), 'Q');
    if (ipcKey == -1)
        return -1;
    const int id = shmget(ipcKey, 0, 0);
    shmid_ds status{};
    if (id == -1 || shmctl(id, IPC_STAT, &status) == -1)
        return -1;
    return int(status.shm_nattch);
}

} // namespace

class tst_SingleRun : public QObject
{
    Q_OBJECT
public:
    explicit tst_SingleRun(const QString &) {}

private slots:
    void firstInstanceIsAloneAndSilent();
    void secondHolderInTheSameProcessIsRefused();
    void askingAgainKeepsTheKey();
    void differentKeysDoNotMeet();
    void secondProcessIsRefusedUntilTheFirstEnds();
    void startAfterAKilledFirstProcessIsAllowed();
    void twoUsersEachRunOne();
    void anotherUsersSegmentUnderOurNameIsNoInstance();
    void cleanupTestCase();
};

void tst_SingleRun::firstInstanceIsAloneAndSilent()
{
    const QString key = uniqueKey("first");
    ModalAnswerer answerer;
    {
        PSingleRun singleRun;
        QCOMPARE(singleRun.isRunningNow(key), false);
        QCOMPARE(attachedProcesses(key), 1);
    }
    QCOMPARE(answerer.answered(), 0);
    QCOMPARE(attachedProcesses(key), -1);
}

void tst_SingleRun::secondHolderInTheSameProcessIsRefused()
{
    const QString key = uniqueKey("sameProcess");
    QMessageBox::StandardButtons buttons;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    ModalAnswerer answerer;
    answerer.handle([&](QWidget *modal) {
        auto *box = qobject_cast<QMessageBox *>(modal);
        QVERIFY(box);
        buttons = box->standardButtons();
        icon = box->icon();
        box->button(QMessageBox::Ok)->click();
    });

    auto first = std::make_unique<PSingleRun>();
    QCOMPARE(first->isRunningNow(key), false);
    QCOMPARE(PSingleRun().isRunningNow(key), true);
    QCOMPARE(answerer.titles(), QStringList{QStringLiteral("Warning")});
    QCOMPARE(answerer.texts(), QStringList{key + QStringLiteral(" is already running.")});
    QCOMPARE(buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QCOMPARE(icon, QMessageBox::Information);
    QCOMPARE(attachedProcesses(key), 1); // the refused check left the holder's marker alone

    first.reset();
    QCOMPARE(PSingleRun().isRunningNow(key), false);
    QCOMPARE(answerer.answered(), 1);
}

void tst_SingleRun::askingAgainKeepsTheKey()
{
    const QString key = uniqueKey("again");
    ModalAnswerer answerer;
    answerer.clickButton(QMessageBox::Ok);
    PSingleRun singleRun;
    QCOMPARE(singleRun.isRunningNow(key), false);
    QCOMPARE(singleRun.isRunningNow(key), false);
    QCOMPARE(answerer.answered(), 0);
    QCOMPARE(PSingleRun().isRunningNow(key), true);
    QCOMPARE(answerer.answered(), 1);
}

void tst_SingleRun::differentKeysDoNotMeet()
{
    ModalAnswerer answerer;
    PSingleRun first;
    PSingleRun second;
    QCOMPARE(first.isRunningNow(uniqueKey("keyA")), false);
    QCOMPARE(second.isRunningNow(uniqueKey("keyB")), false);
    QCOMPARE(answerer.answered(), 0);
}

void tst_SingleRun::secondProcessIsRefusedUntilTheFirstEnds()
{
    const QString key = uniqueKey("twoProcesses");
    Helper first(key, "hold");
    QVERIFY2(first.waitForResult(), qPrintable(first.errors()));
    QCOMPARE(first.item(QStringLiteral("result")), QStringLiteral("alone"));
    QCOMPARE(first.item(QStringLiteral("title")), QString());

    Helper second(key, "check");
    QVERIFY2(second.waitForResult(), qPrintable(second.errors()));
    QCOMPARE(second.item(QStringLiteral("result")), QStringLiteral("running"));
    QCOMPARE(second.item(QStringLiteral("title")), QStringLiteral("Warning"));
    QCOMPARE(second.item(QStringLiteral("text")), key + QStringLiteral(" is already running."));
    QCOMPARE(second.item(QStringLiteral("buttons")), QString::number(int(QMessageBox::Ok)));
    QVERIFY(second.finish());

    QVERIFY2(first.finish(), qPrintable(first.errors()));
    QCOMPARE(attachedProcesses(key), -1);
    Helper third(key, "check");
    QVERIFY2(third.waitForResult(), qPrintable(third.errors()));
    QCOMPARE(third.item(QStringLiteral("result")), QStringLiteral("alone"));
    QCOMPARE(third.item(QStringLiteral("title")), QString());
    QVERIFY(third.finish());
    QCOMPARE(attachedProcesses(key), -1);
}

void tst_SingleRun::startAfterAKilledFirstProcessIsAllowed()
{
    const QString key = uniqueKey("killed");
    Helper crashed(key, "hold");
    QVERIFY2(crashed.waitForResult(), qPrintable(crashed.errors()));
    QCOMPARE(crashed.item(QStringLiteral("result")), QStringLiteral("alone"));
    QVERIFY(crashed.killHard());
    QCOMPARE(attachedProcesses(key), 0); // the marker outlived its process

    Helper restarted(key, "hold");
    QVERIFY2(restarted.waitForResult(), qPrintable(restarted.errors()));
    QCOMPARE(restarted.item(QStringLiteral("result")), QStringLiteral("alone"));
    QCOMPARE(restarted.item(QStringLiteral("title")), QString());
    QCOMPARE(attachedProcesses(key), 1);

    // The restarted instance is protected like any other.
    Helper another(key, "check");
    QVERIFY2(another.waitForResult(), qPrintable(another.errors()));
    QCOMPARE(another.item(QStringLiteral("result")), QStringLiteral("running"));
    QCOMPARE(another.item(QStringLiteral("text")), key + QStringLiteral(" is already running."));
    QVERIFY(another.finish());
    QVERIFY(restarted.finish());
    QCOMPARE(attachedProcesses(key), -1);
}

// Root and nobody each hold their marker of the same key; each is protected from a
// second start of its own, and a killed instance of one never blocks the other.
void tst_SingleRun::twoUsersEachRunOne()
{
    const uid_t nobody = otherUser();
    if (nobody == 0)
        QSKIP("needs root to start a second process as the user nobody");
    const QString key = uniqueKey("twoUsers");
    Helper mine(key, "hold");
    QVERIFY2(mine.waitForResult(), qPrintable(mine.errors()));
    QCOMPARE(mine.item(QStringLiteral("result")), QStringLiteral("alone"));

    Helper theirs(key, "hold", nobody);
    QVERIFY2(theirs.waitForResult(), qPrintable(theirs.errors()));
    QCOMPARE(theirs.item(QStringLiteral("result")), QStringLiteral("alone"));
    QCOMPARE(theirs.item(QStringLiteral("title")), QString());
    Helper theirSecond(key, "check", nobody);
    QVERIFY2(theirSecond.waitForResult(), qPrintable(theirSecond.errors()));
    QCOMPARE(theirSecond.item(QStringLiteral("result")), QStringLiteral("running"));
    QCOMPARE(theirSecond.item(QStringLiteral("text")), key + QStringLiteral(" is already running."));
    QVERIFY(theirSecond.finish());

    // Both killed as a crash would; each user starts again, in either order.
    QVERIFY(mine.killHard());
    QVERIFY(theirs.killHard());
    Helper theirRestart(key, "hold", nobody);
    QVERIFY2(theirRestart.waitForResult(), qPrintable(theirRestart.errors()));
    QCOMPARE(theirRestart.item(QStringLiteral("result")), QStringLiteral("alone"));
    Helper myRestart(key, "check");
    QVERIFY2(myRestart.waitForResult(), qPrintable(myRestart.errors()));
    QCOMPARE(myRestart.item(QStringLiteral("result")), QStringLiteral("alone"));
    QVERIFY(myRestart.finish());
    QVERIFY(theirRestart.finish());
}

// Another user made a segment under the name of our marker before we started: it is
// no instance of ours and must not lock us out.
void tst_SingleRun::anotherUsersSegmentUnderOurNameIsNoInstance()
{
    const uid_t nobody = otherUser();
    if (nobody == 0)
        QSKIP("needs root to start a second process as the user nobody");
    const QString key = uniqueKey("squatted");
    Helper squatter(PSingleRun::userKey(key), "occupy", nobody);
    QVERIFY2(squatter.waitForResult(), qPrintable(squatter.errors()));
    QCOMPARE(squatter.item(QStringLiteral("result")), QStringLiteral("occupied"));
    QCOMPARE(attachedProcesses(key), 1);

    ModalAnswerer answerer;
    answerer.clickButton(QMessageBox::Ok);
    PSingleRun singleRun;
    QCOMPARE(singleRun.isRunningNow(key), false);
    QCOMPARE(answerer.answered(), 0);
    QVERIFY(squatter.finish());
}

// A failed test may leave a killed helper's marker behind; leave the system clean.
void tst_SingleRun::cleanupTestCase()
{
    for (const QString &key : qAsConst(usedKeys())) {
        QSharedMemory leftover(PSingleRun::userKey(key));
        if (leftover.attach())
            leftover.detach();
    }
}

SERVICES_TEST_MAIN(tst_SingleRun)
#include "tst_singlerun.moc"
