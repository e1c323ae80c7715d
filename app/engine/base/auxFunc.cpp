#include "auxFunc.h"

#include "CONST.h"
#include "KvtPaths.h"
#include "PLog.h"
#include "PSingleton.h"
#include "PTranslationLanguage.h"
#include "version.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QObject>
#include <QTextCodec>

void initApplication()
{
    KvtPaths::setApplicationNames();
    setCodecForApp();
    setLogger();
    startLogInfo();
    setApplicationLocale();
}

void setCodecForApp()
{
    if (QTextCodec *codec = QTextCodec::codecForName("CP1251"))
        QTextCodec::setCodecForLocale(codec);
}

namespace {

// Creates `folder` if it is missing (one level) and points the logger at `fileName`
// inside it; true when the log file is open.
bool openLogIn(PLogger *logger, const QString &folder, const QString &fileName)
{
    QDir dir(folder);
    if (!dir.exists())
        QDir().mkpath(folder);
    logger->addDestination(dir.filePath(fileName));
    return logger->hasDestination();
}

} // namespace

void setLogger()
{
    setLogger(QCoreApplication::applicationDirPath());
}

void setLogger(const QString &baseFolder)
{
    PLogger *logger = PLogger::ensureInstance();
    const QString fileName = logger->generateLogFileName();
    const QString primary = KvtPaths::logFolder(baseFolder);
    const QString perUser = KvtPaths::fallbackLogFolder();

    bool opened = openLogIn(logger, primary, fileName);
    QString fallback;
    if (!opened && primary != perUser) {
        fallback = perUser;
        opened = openLogIn(logger, fallback, fileName);
    }
    logger->setLoggingLevel(PLogger::TraceLevel);

    // Never silently nowhere: say where the log went instead (into the fallback file,
    // or to standard error when no file could be opened).
    if (!opened) {
        PLOG_WARN << "log folder" << QDir::toNativeSeparators(primary)
                  << "is not writable and no fallback folder could be used; logging to standard error";
    } else if (!fallback.isEmpty()) {
        PLOG_WARN << "log folder" << QDir::toNativeSeparators(primary) << "is not writable; logging to"
                  << QDir::toNativeSeparators(logger->destination());
    }
}

void startLogInfo()
{
    PLOG_INFO << "*************";
    PLOG_INFO << "KVT-I Merge Tool " << applicationFullVersion() << " started";
    PLOG_INFO << "Built with Qt" << QT_VERSION_STR << "running on" << qVersion();
}

QString programFile(const QString &relativePath, const QString &programFolder)
{
    if (QFileInfo::exists(relativePath))
        return relativePath;
    const QString folder = programFolder.isEmpty() ? QCoreApplication::applicationDirPath() : programFolder;
    return QDir(KvtPaths::shippedFilesFolder(folder)).filePath(relativePath);
}

QString applicationFullVersion()
{
    return QObject::tr("Version: ") + kvtVersionNumbers();
}

namespace {

bool systemLanguageIsEnglish()
{
    return QLocale::system().language() == QLocale::English;
}

// Loads and installs the Russian translation when its file is in the folder.
void installRussianTranslation(PTranslationLanguage *loader, const QString &folder)
{
    const QString russianFile = folder + QLatin1Char('/') + QCoreApplication::applicationName()
                                + QLatin1Char('_') + langPrefixRUSSIAN + QStringLiteral(".qm");
    if (!QFile::exists(russianFile)) {
        PLOG_WARN << QObject::tr("Translation language file: ") << russianFile
                  << QObject::tr(" not found");
        return;
    }
    loader->setLocaleFromFile(russianFile);
    QCoreApplication::installTranslator(loader->getTranslator());
    PLOG_INFO << QObject::tr("Translation language file: ") << russianFile << QObject::tr(" installed");
}

// Records every *.qm file of the folder under the language of its name's suffix;
// files without a known suffix are left out.
void recordTranslations(PTranslationLanguage *loader, const QString &folder)
{
    const QDir dir(QDir::toNativeSeparators(folder));
    const QFileInfoList files = dir.entryInfoList({QStringLiteral("*.qm")}, QDir::Files);
    for (const QFileInfo &file : files)
        loader->addTranslation(loader->findAndLoadEquivalenceLang(file.baseName()),
                               file.absoluteFilePath());
}

} // namespace

void setApplicationLocale()
{
    const QString folder = KvtPaths::translationsFolder(QCoreApplication::applicationDirPath());
    PTranslationLanguage *loader = PSingleton<PTranslationLanguage>::instance();
    loader->setAppName(QCoreApplication::applicationName());
    loader->setTranslationsFolder(folder);
    if (systemLanguageIsEnglish())
        loader->setEngLocale();
    else
        installRussianTranslation(loader, folder);
    recordTranslations(loader, folder);
}
