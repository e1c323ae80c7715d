#include "IsolatedHome.h"

#include "PAutoRun.h"
#include "PRunKeyStore.h"
#include "PXdgAutostartStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

// Run-key store in memory, to test the registration rules on their own.
class MemoryRunKeyStore : public PRunKeyStore
{
public:
    QString value(const QString &name) const override { return values.value(name); }
    bool setValue(const QString &name, const QString &command) override
    {
        ++writes;
        if (failWrites)
            return false;
        values.insert(name, command);
        return true;
    }
    bool remove(const QString &name) override
    {
        ++removals;
        values.remove(name);
        return true;
    }

    QMap<QString, QString> values;
    int writes = 0;
    int removals = 0;
    bool failWrites = false;
};

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

bool writeAll(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

} // namespace

class tst_AutoRun : public QObject
{
    Q_OBJECT
public:
    explicit tst_AutoRun(const QString &configHome)
        : m_configHome(configHome)
    {
    }

private slots:
    void init();

    // The rules, against a store in memory.
    void runCommandIsTheQuotedExecutablePath();
    void registerDetectRemove();
    void registeredCommandMustMatchExactly_data();
    void registeredCommandMustMatchExactly();
    void registeringReplacesAnOtherCommand();
    void withoutApplicationNameNothingIsTouched();
    void failedWriteIsNotReportedAsRegistered();

    // The XDG autostart folder.
    void defaultFolderFollowsXdgConfigHome();
    void entryFileContent();
    void commandRoundTrip_data();
    void commandRoundTrip();
    void everyNameStaysInsideTheFolder();
    void handWrittenEntries_data();
    void handWrittenEntries();
    void removeDeletesTheEntry();
    void unwritableFolderReportsFailure();

    // Both together, as an application uses them.
    void autoRunInTheUsersAutostartFolder();
    void desktopStartsAProgramWhosePathNeedsQuoting();

private:
    QString m_configHome;
    QScopedPointer<QTemporaryDir> m_dir;
};

void tst_AutoRun::init()
{
    m_dir.reset(new QTemporaryDir);
    QVERIFY(m_dir->isValid());
}

void tst_AutoRun::runCommandIsTheQuotedExecutablePath()
{
    const QString path = QCoreApplication::applicationFilePath();
    QVERIFY(QFileInfo(path).isAbsolute());
    QCOMPARE(PAutoRun::runCommand(), QLatin1Char('"') + path + QLatin1Char('"'));
}

void tst_AutoRun::registerDetectRemove()
{
    auto store = std::make_shared<MemoryRunKeyStore>();
    store->values.insert(QStringLiteral("otherApp"), QStringLiteral("\"/usr/bin/other\""));
    PAutoRun autoRun(store);
    autoRun.setApplicationName(QStringLiteral("kvtTool"));
    QCOMPARE(autoRun.isInAutoRun(), false);

    autoRun.setAutoRunState(true);
    QCOMPARE(store->values.value(QStringLiteral("kvtTool")), PAutoRun::runCommand());
    QCOMPARE(autoRun.isInAutoRun(), true);

    autoRun.setAutoRunState(false);
    QVERIFY(!store->values.contains(QStringLiteral("kvtTool")));
    QCOMPARE(autoRun.isInAutoRun(), false);

    autoRun.setAutoRunState(false); // removing an absent registration is harmless
    QCOMPARE(autoRun.isInAutoRun(), false);
    QCOMPARE(store->values.value(QStringLiteral("otherApp")), QStringLiteral("\"/usr/bin/other\""));
}

void tst_AutoRun::registeredCommandMustMatchExactly_data()
{
    const QString path = QCoreApplication::applicationFilePath();
    QTest::addColumn<QString>("stored");
    QTest::addColumn<bool>("registered");
    QTest::newRow("exact") << QLatin1Char('"') + path + QLatin1Char('"') << true;
    QTest::newRow("no quotes") << path << false;
    QTest::newRow("single quotes") << QLatin1Char('\'') + path + QLatin1Char('\'') << false;
    QTest::newRow("opening quote only") << QLatin1Char('"') + path << false;
    QTest::newRow("other path") << QStringLiteral("\"/opt/other/copy/%1\"").arg(QFileInfo(path).fileName())
                                << false;
    QTest::newRow("other letter case") << QLatin1Char('"') + path.toUpper() + QLatin1Char('"') << false;
    QTest::newRow("trailing space") << QLatin1Char('"') + path + QStringLiteral("\" ") << false;
    QTest::newRow("with an argument") << QLatin1Char('"') + path + QStringLiteral("\" --minimized") << false;
    QTest::newRow("empty") << QString() << false;
}

void tst_AutoRun::registeredCommandMustMatchExactly()
{
    QFETCH(QString, stored);
    QFETCH(bool, registered);
    auto store = std::make_shared<MemoryRunKeyStore>();
    store->values.insert(QStringLiteral("kvtTool"), stored);
    PAutoRun autoRun(store);
    autoRun.setApplicationName(QStringLiteral("kvtTool"));
    QCOMPARE(autoRun.isInAutoRun(), registered);
    QCOMPARE(store->writes + store->removals, 0);
}

void tst_AutoRun::registeringReplacesAnOtherCommand()
{
    auto store = std::make_shared<MemoryRunKeyStore>();
    store->values.insert(QStringLiteral("kvtTool"), QStringLiteral("/old/place/kvtTool"));
    PAutoRun autoRun(store);
    autoRun.setApplicationName(QStringLiteral("kvtTool"));
    autoRun.setAutoRunState(true);
    QCOMPARE(store->values.value(QStringLiteral("kvtTool")), PAutoRun::runCommand());
    QCOMPARE(store->values.size(), 1);
}

void tst_AutoRun::withoutApplicationNameNothingIsTouched()
{
    auto store = std::make_shared<MemoryRunKeyStore>();
    store->values.insert(QString(), PAutoRun::runCommand());
    PAutoRun autoRun(store);
    QCOMPARE(autoRun.applicationName(), QString());

    QCOMPARE(autoRun.isInAutoRun(), false);
    autoRun.setAutoRunState(true);
    autoRun.setAutoRunState(false);
    QCOMPARE(store->writes, 0);
    QCOMPARE(store->removals, 0);
    QCOMPARE(store->values.size(), 1);
}

void tst_AutoRun::failedWriteIsNotReportedAsRegistered()
{
    auto store = std::make_shared<MemoryRunKeyStore>();
    store->failWrites = true;
    PAutoRun autoRun(store);
    autoRun.setApplicationName(QStringLiteral("kvtTool"));
    autoRun.setAutoRunState(true);
    QCOMPARE(store->writes, 1);
    QCOMPARE(autoRun.isInAutoRun(), false);
}

void tst_AutoRun::defaultFolderFollowsXdgConfigHome()
{
    QCOMPARE(PXdgAutostartStore::defaultDirectory(), m_configHome + QStringLiteral("/autostart"));
    QCOMPARE(PXdgAutostartStore().directory(), m_configHome + QStringLiteral("/autostart"));
}

void tst_AutoRun::entryFileContent()
{
    const QString folder = m_dir->filePath(QStringLiteral("not/yet/there"));
    PXdgAutostartStore store(folder);
    QVERIFY(store.setValue(QStringLiteral("kvtTool"), QStringLiteral("\"/usr/bin/kvt tool\"")));

    QCOMPARE(store.entryFilePath(QStringLiteral("kvtTool")), folder + QStringLiteral("/kvtTool.desktop"));
    QCOMPARE(readAll(folder + QStringLiteral("/kvtTool.desktop")),
             QByteArray("[Desktop Entry]\nType=Application\nName=kvtTool\nExec=\"/usr/bin/kvt tool\"\n"));
}

void tst_AutoRun::commandRoundTrip_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QByteArray>("execLine");
    QTest::newRow("plain") << "\"/usr/bin/kvt\"" << QByteArray("Exec=\"/usr/bin/kvt\"");
    // A path in quotes is one Exec argument: '"', '`', '$' and '\\' get a backslash and
    // '%' is doubled; then the string rules double every backslash.
    QTest::newRow("backslashes") << R"("C:\Program Files\kvt.exe")"
                                 << QByteArray(R"(Exec="C:\\\\Program Files\\\\kvt.exe")");
    QTest::newRow("every reserved character") << R"("/opt/a b/%$`"\kvt")"
                                              << QByteArray(R"(Exec="/opt/a b/%%\\$\\`\\"\\\\kvt")");
    QTest::newRow("line break") << "\"/a\nb\"" << QByteArray("Exec=\"/a\\nb\"");
    QTest::newRow("tab and return") << "\"/a\tb\rc\"" << QByteArray("Exec=\"/a\\tb\\rc\"");
    QTest::newRow("leading space") << " \"/x\"" << QByteArray("Exec=\\s\"/x\"");
    QTest::newRow("cyrillic") << "\"/home/пользователь/kvt\""
                              << QStringLiteral("Exec=\"/home/пользователь/kvt\"").toUtf8();
    QTest::newRow("escape-like text") << R"("/a\sb")" << QByteArray(R"(Exec="/a\\\\sb")");
    QTest::newRow("not one path") << R"("/a" "b")" << QByteArray(R"(Exec="/a\\" \\"b")");
}

void tst_AutoRun::commandRoundTrip()
{
    QFETCH(QString, command);
    QFETCH(QByteArray, execLine);
    PXdgAutostartStore store(m_dir->path());
    QVERIFY(store.setValue(QStringLiteral("app"), command));
    QCOMPARE(store.value(QStringLiteral("app")), command);
    const QList<QByteArray> lines = readAll(store.entryFilePath(QStringLiteral("app"))).split('\n');
    QVERIFY2(lines.contains(execLine), readAll(store.entryFilePath(QStringLiteral("app"))).constData());
}

void tst_AutoRun::everyNameStaysInsideTheFolder()
{
    const QString folder = m_dir->filePath(QStringLiteral("autostart"));
    PXdgAutostartStore store(folder);
    const QStringList names = {QStringLiteral("../escape"), QStringLiteral("a/b"),
                               QStringLiteral("a%2Fb"), QStringLiteral("line\nbreak"),
                               QStringLiteral(".."), QStringLiteral("Программа")};
    for (const QString &name : names) {
        QVERIFY2(store.setValue(name, QLatin1Char('"') + name + QLatin1Char('"')), qPrintable(name));
        QCOMPARE(QFileInfo(store.entryFilePath(name)).absolutePath(), folder);
    }
    for (const QString &name : names)
        QCOMPARE(store.value(name), QLatin1Char('"') + name + QLatin1Char('"'));
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden).size(), names.size());
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             QStringList{QStringLiteral("autostart")});
}

void tst_AutoRun::handWrittenEntries_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("command");
    QTest::newRow("spaces around equals")
        << QByteArray("[Desktop Entry]\nType = Application\nExec =  \"/usr/bin/kvt\"\n") << "\"/usr/bin/kvt\"";
    QTest::newRow("comments and blank lines")
        << QByteArray("# made by hand\n\n[Desktop Entry]\n# Exec=wrong\nExec=\"/x\"\n") << "\"/x\"";
    QTest::newRow("windows line ends")
        << QByteArray("[Desktop Entry]\r\nExec=\"/x\"\r\n") << "\"/x\"";
    QTest::newRow("exec of another group")
        << QByteArray("[Desktop Entry]\nName=x\n[Desktop Action quit]\nExec=\"/x\"\n") << "";
    QTest::newRow("localised key is not the key")
        << QByteArray("[Desktop Entry]\nExec[ru]=\"/x\"\n") << "";
    QTest::newRow("hidden by the desktop")
        << QByteArray("[Desktop Entry]\nExec=\"/x\"\nHidden=true\n") << "";
    QTest::newRow("not hidden")
        << QByteArray("[Desktop Entry]\nExec=\"/x\"\nHidden=false\n") << "\"/x\"";
    QTest::newRow("quoted by another writer")
        << QByteArray(R"([Desktop Entry]
Exec="/opt/100%% \\$ \\\\ sure"
)") << R"("/opt/100% $ \ sure")";
    QTest::newRow("field code is no path")
        << QByteArray("[Desktop Entry]\nExec=\"/x %f\"\n") << "\"/x %f\"";
    QTest::newRow("unescaped quote inside")
        << QByteArray("[Desktop Entry]\nExec=\"/x\" \"/y\"\n") << "\"/x\" \"/y\"";
    QTest::newRow("no exec") << QByteArray("[Desktop Entry]\nName=x\n") << "";
    QTest::newRow("empty file") << QByteArray() << "";
}

void tst_AutoRun::handWrittenEntries()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, command);
    PXdgAutostartStore store(m_dir->path());
    QVERIFY(writeAll(store.entryFilePath(QStringLiteral("app")), content));
    QCOMPARE(store.value(QStringLiteral("app")), command);

    // Registering again replaces the whole entry, whatever it held.
    QVERIFY(store.setValue(QStringLiteral("app"), QStringLiteral("\"/new\"")));
    QCOMPARE(store.value(QStringLiteral("app")), QStringLiteral("\"/new\""));
}

void tst_AutoRun::removeDeletesTheEntry()
{
    PXdgAutostartStore store(m_dir->path());
    QVERIFY(store.setValue(QStringLiteral("app"), QStringLiteral("\"/x\"")));
    QVERIFY(store.setValue(QStringLiteral("other"), QStringLiteral("\"/y\"")));
    QVERIFY(store.remove(QStringLiteral("app")));
    QVERIFY(!QFile::exists(store.entryFilePath(QStringLiteral("app"))));
    QCOMPARE(store.value(QStringLiteral("app")), QString());
    QCOMPARE(store.value(QStringLiteral("other")), QStringLiteral("\"/y\""));
    QVERIFY(store.remove(QStringLiteral("app")));
    QVERIFY(store.remove(QStringLiteral("never registered")));
}

void tst_AutoRun::unwritableFolderReportsFailure()
{
    const QString blocker = m_dir->filePath(QStringLiteral("autostart"));
    QVERIFY(writeAll(blocker, "a file where the folder should be"));
    PXdgAutostartStore store(blocker);
    QVERIFY(!store.setValue(QStringLiteral("app"), QStringLiteral("\"/x\"")));
    QCOMPARE(store.value(QStringLiteral("app")), QString());
    QCOMPARE(readAll(blocker), QByteArray("a file where the folder should be"));
}

void tst_AutoRun::autoRunInTheUsersAutostartFolder()
{
    const QString entry = m_configHome + QStringLiteral("/autostart/kvtTool.desktop");
    const QString path = QCoreApplication::applicationFilePath();
    PAutoRun autoRun;
    autoRun.setApplicationName(QStringLiteral("kvtTool"));
    QCOMPARE(autoRun.isInAutoRun(), false);

    autoRun.setAutoRunState(true);
    QVERIFY(readAll(entry).split('\n').contains("Exec=\"" + path.toUtf8() + '"'));
    QCOMPARE(autoRun.isInAutoRun(), true);
    QCOMPARE(PAutoRun().isInAutoRun(), false); // no name, no answer

    QVERIFY(writeAll(entry, "[Desktop Entry]\nExec=" + path.toUtf8() + '\n'));
    QCOMPARE(autoRun.isInAutoRun(), false);
    QVERIFY(writeAll(entry, "[Desktop Entry]\nExec=\"/usr/local/bin/kvtTool\"\n"));
    QCOMPARE(autoRun.isInAutoRun(), false);

    autoRun.setAutoRunState(true);
    QCOMPARE(autoRun.isInAutoRun(), true);
    autoRun.setAutoRunState(false);
    QVERIFY(!QFile::exists(entry));
    QCOMPARE(autoRun.isInAutoRun(), false);
}

// A copy of the helper in a folder whose name holds every character the Exec rules
// reserve registers itself; a shell, whose double quotes follow the same rules, then
// starts the program named by the Exec line, as a desktop would.
void tst_AutoRun::desktopStartsAProgramWhosePathNeedsQuoting()
{
    const QString folder = m_dir->filePath(QStringLiteral(R"(a b%$`"\c)"));
    QVERIFY(QDir().mkpath(folder));
    const QString program = folder + QStringLiteral("/autorun_helper");
    QVERIFY(QFile::copy(QStringLiteral(AUTORUN_HELPER), program));

    QProcess registering;
    registering.start(program, {QStringLiteral("register")});
    QVERIFY(registering.waitForFinished(60000));
    QCOMPARE(registering.readAllStandardOutput(), QByteArray("registered=true\n"));

    const QByteArray tail = R"(/a b%%\\$\\`\\"\\\\c/autorun_helper")";
    QByteArray execLine;
    for (const QByteArray &line : readAll(m_configHome + QStringLiteral("/autostart/kvtRoundTrip.desktop")).split('\n')) {
        if (line.startsWith("Exec="))
            execLine = line;
    }
    QCOMPARE(execLine, "Exec=\"" + m_dir->path().toUtf8() + tail);

    QString exec = QString::fromUtf8(execLine.mid(5));
    exec.replace(QStringLiteral("\\\\"), QStringLiteral("\\")).replace(QStringLiteral("%%"), QStringLiteral("%"));
    QProcess desktop;
    desktop.start(QStringLiteral("sh"), {QStringLiteral("-c"), exec + QStringLiteral(" path")});
    QVERIFY(desktop.waitForFinished(60000));
    QCOMPARE(QString::fromUtf8(desktop.readAllStandardOutput()), QStringLiteral("path=") + program + QLatin1Char('\n'));
}

SERVICES_TEST_MAIN(tst_AutoRun)
#include "tst_autorun.moc"
