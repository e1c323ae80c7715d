#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

// Runs the interface-language step of start-up through the probe program (I18N_PROBE),
// copied into a fresh program folder per case (a folder install, or <prefix>/bin of a
// prefix install), because the system locale is fixed for the life of a process. The fixture i18nfixture_ru.qm (I18N_FIXTURE_DIR) serves as
// the Russian file: it translates the QObject text "Hello" to "Привет".
class tst_AppLocale : public QObject
{
    Q_OBJECT

private slots:
    void interfaceLanguage_data();
    void interfaceLanguage();

private:
    struct ProbeResult
    {
        bool ran = false;
        bool installed = false;
        QString hello;
        QStringList languages; // "<name>=<file name>"
        QString log;
    };
    static ProbeResult runProbe(const QString &programDir, const QString &locale);
};

using Files = QMap<QString, QString>;

namespace {

const QString fixtureRussian = QStringLiteral(I18N_FIXTURE_DIR "/i18nfixture_ru.qm");
const QString fixtureGerman = QStringLiteral(I18N_FIXTURE_DIR "/i18nfixture_de.qm");
const QString notAQmFile = QStringLiteral("-");

// Puts the files (name -> source file, or notAQmFile for a file of text) into the
// program's translations folder.
bool placeTranslations(const QString &folder, const Files &files)
{
    if (files.isEmpty())
        return true;
    if (!QDir().mkpath(folder))
        return false;
    for (auto it = files.cbegin(); it != files.cend(); ++it) {
        const QString target = folder + QLatin1Char('/') + it.key();
        if (it.value() == notAQmFile) {
            QFile file(target);
            if (!file.open(QIODevice::WriteOnly) || file.write("not a translation\n") < 0)
                return false;
        } else if (!QFile::copy(it.value(), target)) {
            return false;
        }
    }
    return true;
}

} // namespace

tst_AppLocale::ProbeResult tst_AppLocale::runProbe(const QString &programDir, const QString &locale)
{
    ProbeResult result;
    const QString probe = programDir + QStringLiteral("/probe");
    if (!QFile::copy(QStringLiteral(I18N_PROBE), probe))
        return result;

    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LC_ALL"), locale);
    env.insert(QStringLiteral("LANG"), locale);
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(probe, QStringList());
    if (!process.waitForFinished(-1) || process.exitStatus() != QProcess::NormalExit
        || process.exitCode() != 0)
        return result;

    result.ran = true;
    const QStringList lines = QString::fromUtf8(process.readAllStandardOutput()).split(QLatin1Char('\n'));
    for (const QString &line : lines) {
        if (line.startsWith(QLatin1String("installed=")))
            result.installed = line.endsWith(QLatin1Char('1'));
        else if (line.startsWith(QLatin1String("hello=")))
            result.hello = line.mid(6);
        else if (line.startsWith(QLatin1String("language=")))
            result.languages << line.mid(9);
    }
    QFile log(programDir + QStringLiteral("/probe-log.txt"));
    if (log.open(QIODevice::ReadOnly | QIODevice::Text))
        result.log = QString::fromLocal8Bit(log.readAll());
    return result;
}

void tst_AppLocale::interfaceLanguage_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<Files>("files");
    QTest::addColumn<bool>("installed");
    QTest::addColumn<QString>("hello");
    QTest::addColumn<bool>("warned");
    QTest::addColumn<QStringList>("languages");
    QTest::addColumn<bool>("prefixInstall");

    const Files russian{{QStringLiteral("kvtMergeDB_ru.qm"), fixtureRussian}};
    const QString ru = QStringLiteral("Russian=kvtMergeDB_ru.qm");

    QTest::newRow("russian locale, russian file")
        << "ru_RU.UTF-8" << russian << true << "Привет" << false << QStringList{ru} << false;
    QTest::newRow("german locale, russian file")
        << "de_DE.UTF-8" << russian << true << "Привет" << false << QStringList{ru} << false;
    QTest::newRow("C locale, russian file")
        << "C" << russian << true << "Привет" << false << QStringList{ru} << false;
    QTest::newRow("russian locale, no folder")
        << "ru_RU.UTF-8" << Files() << false << "Hello" << true << QStringList() << false;
    QTest::newRow("upper-case file name is not the russian file")
        << "ru_RU.UTF-8" << Files{{QStringLiteral("kvtMergeDB_RU.qm"), fixtureRussian}}
        << false << "Hello" << true << QStringList() << false;
    QTest::newRow("english locale keeps english")
        << "en_US.UTF-8" << russian << false << "Hello" << false << QStringList{ru} << false;
    QTest::newRow("british english, no folder")
        << "en_GB.UTF-8" << Files() << false << "Hello" << false << QStringList() << false;
    QTest::newRow("unreadable russian file")
        << "ru_RU.UTF-8" << Files{{QStringLiteral("kvtMergeDB_ru.qm"), notAQmFile}}
        << true << "Hello" << false << QStringList{ru} << false;
    QTest::newRow("russian and german files, others ignored")
        << "ru_RU.UTF-8"
        << Files{{QStringLiteral("kvtMergeDB_ru.qm"), fixtureRussian},
                 {QStringLiteral("kvtMergeDB_de.qm"), fixtureGerman},
                 {QStringLiteral("kvtMergeDB.qm"), fixtureGerman},
                 {QStringLiteral("kvtMergeDB_xx.qm"), fixtureGerman},
                 {QStringLiteral("kvtMergeDB_sv.txt"), fixtureGerman}}
        << true << "Привет" << false
        << QStringList{QStringLiteral("German=kvtMergeDB_de.qm"), ru} << false;

    // Installed in <prefix>/bin: the translations are in <prefix>/share/kvtmerge.
    QTest::newRow("prefix install, russian locale")
        << "ru_RU.UTF-8" << russian << true << "Привет" << false << QStringList{ru} << true;
    QTest::newRow("prefix install, english locale")
        << "en_US.UTF-8" << russian << false << "Hello" << false << QStringList{ru} << true;
    QTest::newRow("prefix install, no folder")
        << "ru_RU.UTF-8" << Files() << false << "Hello" << true << QStringList() << true;
}

void tst_AppLocale::interfaceLanguage()
{
    QFETCH(QString, locale);
    QFETCH(Files, files);
    QFETCH(bool, installed);
    QFETCH(QString, hello);
    QFETCH(bool, warned);
    QFETCH(QStringList, languages);
    QFETCH(bool, prefixInstall);

    // Inside the build tree rather than the system's temporary folder, which may
    // forbid running programs.
    QTemporaryDir programDir(QCoreApplication::applicationDirPath() + QStringLiteral("/program-XXXXXX"));
    QVERIFY(programDir.isValid());
    const QString program = programDir.path() + (prefixInstall ? QStringLiteral("/usr/bin") : QString());
    const QString folder = programDir.path()
                           + (prefixInstall ? QStringLiteral("/usr/share/kvtmerge/translations")
                                            : QStringLiteral("/share/translations"));
    QVERIFY(QDir().mkpath(program));
    QVERIFY(placeTranslations(folder, files));
    // A prefix install never reads the folder a folder install would.
    if (prefixInstall)
        QVERIFY(placeTranslations(program + QStringLiteral("/share/translations"),
                                  {{QStringLiteral("kvtMergeDB_de.qm"), fixtureGerman}}));

    const ProbeResult result = runProbe(program, locale);
    QVERIFY(result.ran);
    QCOMPARE(result.installed, installed);
    QCOMPARE(result.hello, hello);

    QStringList expectedLanguages;
    for (const QString &entry : languages)
        expectedLanguages << entry.section(QLatin1Char('='), 0, 0) + QLatin1Char('=') + folder
                                 + QLatin1Char('/') + entry.section(QLatin1Char('='), 1);
    QCOMPARE(result.languages, expectedLanguages);

    const QString warning = QStringLiteral("\"Translation language file: \" \"%1/kvtMergeDB_ru.qm\" \" not found\"")
                                .arg(folder);
    const bool hasWarning = result.log.contains(warning)
                            && result.log.contains(QLatin1String("WARN  MSG: "));
    // The file that was installed is named in the log, for whoever wonders which one.
    const bool namesInstalled = result.log.contains(
        QStringLiteral("\"Translation language file: \" \"%1/kvtMergeDB_ru.qm\" \" installed\"").arg(folder));
    if (hasWarning != warned || namesInstalled != installed)
        qWarning().noquote() << "log:" << result.log;
    QCOMPARE(hasWarning, warned);
    QCOMPARE(namesInstalled, installed);
}

QTEST_GUILESS_MAIN(tst_AppLocale)

#include "tst_appLocale.moc"
