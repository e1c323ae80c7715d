#include "auxFunc.h"

#include "KvtPaths.h"
#include "PLog.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTextCodec>

class tst_Startup : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void codecForLocale();
    void fullVersion();
    void programPaths();
    void installLayout_data();
    void installLayout();
    void prefixInstallNeverLogsBesideTheProgram();
    void createsLogFolderAndWritesBanner();
    void appendsToTheDaysFile();
    void defaultFolderIsTheProgramFolder();
    void fallbackWhenProgramFolderUnusable();
    void neitherFolderUsable();
    void programFileFromAnyFolder_data();
    void programFileFromAnyFolder();

private:
    static QStringList lines(const QString &file);
    static QString logName();
    static void checkBanner(const QStringList &banner);

    QTemporaryDir m_home;
};

void tst_Startup::initTestCase()
{
    QVERIFY(m_home.isValid());
    // The per-user folders land in this test's own folder.
    qputenv("XDG_DATA_HOME", QFile::encodeName(m_home.filePath(QStringLiteral("data"))));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_home.filePath(QStringLiteral("config"))));
    KvtPaths::setApplicationNames();
    setCodecForApp();
}

QStringList tst_Startup::lines(const QString &file)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    return QString::fromLocal8Bit(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QString tst_Startup::logName()
{
    return QStringLiteral("log_kvtMergeDB_") + QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"))
           + QStringLiteral(".txt");
}

void tst_Startup::checkBanner(const QStringList &banner)
{
    QCOMPARE(banner.size(), 3);
    const QString stamp = QStringLiteral(" \\d{4}-\\d\\d-\\d\\d :: \\d\\d:\\d\\d:\\d\\d ");
    const QStringList expected = {
        QStringLiteral("\\*\\*\\*\\*\\*\\*\\*\\*\\*\\*\\*\\*\\* "),
        QStringLiteral("KVT-I Merge Tool  \"Version: 0\\.2\\.0\\.121004\"  started "),
        QRegularExpression::escape(QStringLiteral("Built with Qt %1 running on %2 ")
                                       .arg(QStringLiteral(QT_VERSION_STR), QString::fromLatin1(qVersion()))),
    };
    for (int i = 0; i < 3; ++i) {
        const QRegularExpression pattern(QStringLiteral("^INFO  MSG: ") + stamp + expected.at(i) + QLatin1Char('$'));
        QVERIFY2(pattern.match(banner.at(i)).hasMatch(), qPrintable(banner.at(i)));
    }
}

void tst_Startup::codecForLocale()
{
    QVERIFY(QTextCodec::codecForLocale());
    QCOMPARE(QTextCodec::codecForLocale()->name(), QByteArray("windows-1251"));
}

void tst_Startup::fullVersion()
{
    QCOMPARE(applicationFullVersion(), QStringLiteral("Version: 0.2.0.121004"));
}

void tst_Startup::createsLogFolderAndWritesBanner()
{
    QTemporaryDir program;
    QVERIFY(!QFileInfo::exists(program.filePath(QStringLiteral("log"))));
    setLogger(program.path());
    QVERIFY(QFileInfo(program.filePath(QStringLiteral("log"))).isDir());
    const QString file = program.filePath(QStringLiteral("log/") + logName());
    QCOMPARE(PLogger::instance->destination(), file);
    QVERIFY(PLogger::instance->hasDestination());
    QCOMPARE(PLogger::instance->loggingLevel(), PLogger::TraceLevel);

    startLogInfo();
    checkBanner(lines(file));
}

void tst_Startup::appendsToTheDaysFile()
{
    QTemporaryDir program;
    QVERIFY(QDir(program.path()).mkdir(QStringLiteral("log")));
    const QString file = program.filePath(QStringLiteral("log/") + logName());
    {
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Text));
        f.write("an earlier start of the day\n");
    }
    setLogger(program.path());
    startLogInfo();
    QStringList written = lines(file);
    QCOMPARE(written.size(), 4);
    QCOMPARE(written.takeFirst(), QStringLiteral("an earlier start of the day"));
    checkBanner(written);

    // A second start the same day appends again.
    setLogger(program.path());
    startLogInfo();
    QCOMPARE(lines(file).size(), 7);
}

void tst_Startup::defaultFolderIsTheProgramFolder()
{
    // The folder is left in the build tree: another run of this program (the suite without
    // a server runs beside the suite) may be opening its log there at this very moment.
    const QString folder = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("log"));
    setLogger();
    QCOMPARE(PLogger::instance->destination(), QDir(folder).filePath(logName()));
    QVERIFY(PLogger::instance->hasDestination());
    PLogger::instance->addDestination(m_home.filePath(QStringLiteral("parked.txt")));
}

// With the organisation's name set as well, each per-user folder names the program once.
void tst_Startup::programPaths()
{
    QCOMPARE(QCoreApplication::organizationName(), QStringLiteral("kvtMergeDB"));
    QCOMPARE(KvtPaths::settingsFile(), m_home.filePath(QStringLiteral("config/kvtMergeDB/kvtMergeDB.conf")));
    QCOMPARE(KvtPaths::fallbackLogFolder(), m_home.filePath(QStringLiteral("data/kvtMergeDB/log")));
    QCOMPARE(KvtPaths::journalFile(), m_home.filePath(QStringLiteral("data/kvtMergeDB/journal.sqlite")));
    QCOMPARE(KvtPaths::logFolder(QStringLiteral("/opt/kvtmerge")), QStringLiteral("/opt/kvtmerge/log"));
}

void tst_Startup::installLayout_data()
{
    QTest::addColumn<QString>("programFolder");
    QTest::addColumn<bool>("prefix");
    QTest::addColumn<QString>("shipped");
    QTest::addColumn<QString>("translations");
    QTest::addColumn<QString>("log"); // empty: the per-user folder

    QTest::newRow("Debian package: /usr/bin")
        << "/usr/bin" << true << "/usr/share/kvtmerge" << "/usr/share/kvtmerge/translations" << QString();
    QTest::newRow("local prefix, trailing slash")
        << "/usr/local/bin/" << true << "/usr/local/share/kvtmerge" << "/usr/local/share/kvtmerge/translations"
        << QString();
    QTest::newRow("unpacked package")
        << "/tmp/unpacked/usr/bin" << true << "/tmp/unpacked/usr/share/kvtmerge"
        << "/tmp/unpacked/usr/share/kvtmerge/translations" << QString();
    QTest::newRow("folder install")
        << "/opt/kvtmerge" << false << "/opt/kvtmerge" << "/opt/kvtmerge/share/translations" << "/opt/kvtmerge/log";
    QTest::newRow("build tree")
        << "/work/build/kvtmerge" << false << "/work/build/kvtmerge" << "/work/build/kvtmerge/share/translations"
        << "/work/build/kvtmerge/log";
    QTest::newRow("folder install inside a bin folder")
        << "/usr/bin/kvtmerge" << false << "/usr/bin/kvtmerge" << "/usr/bin/kvtmerge/share/translations"
        << "/usr/bin/kvtmerge/log";
    QTest::newRow("a name that only ends in bin")
        << "/opt/kvtbin" << false << "/opt/kvtbin" << "/opt/kvtbin/share/translations" << "/opt/kvtbin/log";
}

// One rule for both layouts: where the shipped files, the translations and the log are.
void tst_Startup::installLayout()
{
    QFETCH(QString, programFolder);
    QFETCH(bool, prefix);
    QFETCH(QString, shipped);
    QFETCH(QString, translations);
    QFETCH(QString, log);
    QCOMPARE(KvtPaths::installOf(programFolder) == KvtPaths::Install::Prefix, prefix);
    QCOMPARE(KvtPaths::shippedFilesFolder(programFolder), shipped);
    QCOMPARE(KvtPaths::translationsFolder(programFolder), translations);
    QCOMPARE(KvtPaths::logFolder(programFolder),
             log.isEmpty() ? m_home.filePath(QStringLiteral("data/kvtMergeDB/log")) : log);
}

// Installed in a prefix, the program logs into the per-user folder even where it could
// write beside itself (as root into /usr/bin), and that is no failure worth a warning.
void tst_Startup::prefixInstallNeverLogsBesideTheProgram()
{
    QTemporaryDir prefix;
    const QString bin = prefix.filePath(QStringLiteral("bin"));
    QVERIFY(QDir().mkpath(bin));
    // A per-user folder of its own, so that the day's file holds this start only.
    const QByteArray saved = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", QFile::encodeName(prefix.filePath(QStringLiteral("data"))));
    setLogger(bin);
    qputenv("XDG_DATA_HOME", saved);

    const QString file = prefix.filePath(QStringLiteral("data/kvtMergeDB/log/") + logName());
    QCOMPARE(PLogger::instance->destination(), file);
    QVERIFY(PLogger::instance->hasDestination());
    QCOMPARE(QDir(bin).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());

    startLogInfo();
    checkBanner(lines(file)); // no warn line before the banner
}

void tst_Startup::fallbackWhenProgramFolderUnusable()
{
    // A FILE named "log" in the program's folder: the log folder cannot be made there
    // (permission bits would not stop root).
    QTemporaryDir program;
    {
        QFile blocker(program.filePath(QStringLiteral("log")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
    }
    setLogger(program.path());

    const QString folder = m_home.filePath(QStringLiteral("data/kvtMergeDB/log"));
    const QString file = QDir(folder).filePath(logName());
    QCOMPARE(PLogger::instance->destination(), file);
    QVERIFY(PLogger::instance->hasDestination());
    QVERIFY(QFileInfo(program.filePath(QStringLiteral("log"))).isFile());
    QCOMPARE(KvtPaths::reportsFolder(), QDir(folder).filePath(QStringLiteral("reports")));

    startLogInfo();
    QStringList written = lines(file);
    QCOMPARE(written.size(), 4);
    const QString warn = written.takeFirst();
    QVERIFY2(warn.startsWith(QStringLiteral("WARN  MSG: ")), qPrintable(warn));
    QVERIFY2(warn.contains(program.filePath(QStringLiteral("log"))), qPrintable(warn));
    QVERIFY2(warn.contains(file), qPrintable(warn));
    checkBanner(written);
}

void tst_Startup::neitherFolderUsable()
{
    QTemporaryDir program;
    {
        QFile blocker(program.filePath(QStringLiteral("log")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        QFile dataBlocker(program.filePath(QStringLiteral("data")));
        QVERIFY(dataBlocker.open(QIODevice::WriteOnly));
    }
    const QByteArray saved = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", QFile::encodeName(program.filePath(QStringLiteral("data"))));
    setLogger(program.path());
    qputenv("XDG_DATA_HOME", saved);
    // No file: the logger writes to standard error instead (the logger's fallback), and the
    // start-up still goes on.
    QVERIFY(!PLogger::instance->hasDestination());
    QCOMPARE(PLogger::instance->loggingLevel(), PLogger::TraceLevel);
    startLogInfo();
}

void tst_Startup::programFileFromAnyFolder_data()
{
    QTest::addColumn<bool>("inWorkingDir");
    QTest::addColumn<bool>("inProgramDir");
    QTest::addColumn<bool>("fromWorkingDir");
    QTest::addColumn<bool>("prefixInstall");
    QTest::newRow("both: the working directory's") << true << true << true << false;
    QTest::newRow("program folder only (started through a link)") << false << true << false << false;
    QTest::newRow("neither: named in the program folder") << false << false << false << false;
    QTest::newRow("prefix install: share/kvtmerge of the prefix") << false << true << false << true;
    QTest::newRow("prefix install: the working directory's first") << true << true << true << true;
    QTest::newRow("prefix install, neither: named in share/kvtmerge") << false << false << false << true;
}

// A program started from any folder finds its icon among its shipped files: beside itself
// in a folder install, in <prefix>/share/kvtmerge when installed in <prefix>/bin.
void tst_Startup::programFileFromAnyFolder()
{
    QFETCH(bool, inWorkingDir);
    QFETCH(bool, inProgramDir);
    QFETCH(bool, fromWorkingDir);
    QFETCH(bool, prefixInstall);
    QTemporaryDir working;
    QTemporaryDir program;
    const QString programFolder = prefixInstall ? program.filePath(QStringLiteral("bin")) : program.path();
    const QString shipped = prefixInstall ? program.filePath(QStringLiteral("share/kvtmerge")) : program.path();
    QVERIFY(QDir().mkpath(programFolder));
    const QString file = QStringLiteral("res/appIcon.ico");
    for (const auto &[wanted, dir] : {std::pair<bool, QString>{inWorkingDir, working.path()},
                                      std::pair<bool, QString>{inProgramDir, shipped}}) {
        if (!wanted)
            continue;
        QVERIFY(QDir().mkpath(QDir(dir).filePath(QStringLiteral("res"))));
        QFile icon(QDir(dir).filePath(file));
        QVERIFY(icon.open(QIODevice::WriteOnly));
    }
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(working.path()));
    const QString found = programFile(file, programFolder);
    QDir::setCurrent(previous);
    QCOMPARE(found, fromWorkingDir ? file : QDir(shipped).filePath(file));
}

QTEST_GUILESS_MAIN(tst_Startup)
#include "tst_startup.moc"
