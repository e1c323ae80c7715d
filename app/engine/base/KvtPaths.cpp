#include "KvtPaths.h"

#include "PLog.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace KvtPaths {

namespace {

// Where a prefix install keeps what a folder install keeps beside the program.
const QString prefixShippedFiles = QStringLiteral("../share/kvtmerge");

} // namespace

Install installOf(const QString &programFolder)
{
    return QFileInfo(QDir::cleanPath(programFolder)).fileName() == QLatin1String("bin") ? Install::Prefix
                                                                                          : Install::Folder;
}

QString applicationName()
{
    return QStringLiteral("kvtMergeDB");
}

void setApplicationNames()
{
    QCoreApplication::setOrganizationName(applicationName());
    QCoreApplication::setApplicationName(applicationName());
}

QString settingsFile()
{
    return QSettings().fileName();
}

// Not AppDataLocation: with the organisation's name set that would name the application
// twice (~/.local/share/kvtMergeDB/kvtMergeDB).
QString dataFolder()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)).filePath(applicationName());
}

QString logFolder(const QString &programFolder)
{
    if (installOf(programFolder) == Install::Prefix)
        return fallbackLogFolder();
    return QDir(programFolder).filePath(QStringLiteral("log"));
}

QString fallbackLogFolder()
{
    return QDir(dataFolder()).filePath(QStringLiteral("log"));
}

QString reportsFolder()
{
    const PLogger *logger = PLogger::instance;
    const QString log = logger && logger->hasDestination() ? QFileInfo(logger->destination()).absolutePath()
                                                           : fallbackLogFolder();
    return QDir(log).filePath(QStringLiteral("reports"));
}

QString journalFile()
{
    return QDir(dataFolder()).filePath(QStringLiteral("journal.sqlite"));
}

QString shippedFilesFolder(const QString &programFolder)
{
    if (installOf(programFolder) == Install::Prefix)
        return QDir::cleanPath(QDir(programFolder).filePath(prefixShippedFiles));
    return programFolder;
}

QString translationsFolder(const QString &programFolder)
{
    const QString below = installOf(programFolder) == Install::Prefix ? QStringLiteral("translations")
                                                                        : QStringLiteral("share/translations");
    return QDir(shippedFilesFolder(programFolder)).filePath(below);
}

} // namespace KvtPaths
