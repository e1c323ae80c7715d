#include "KvtPaths.h"

#include "CONST.h"
#include "PLog.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace KvtPaths {

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

QString translationsFolder(const QString &programFolder)
{
    return programFolder + translationDir;
}

} // namespace KvtPaths
