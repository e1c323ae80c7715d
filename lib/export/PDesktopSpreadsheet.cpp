#include "PDesktopSpreadsheet.h"

#include "PLog.h"

#include <QDateTime>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QUrl>

bool PDesktopSpreadsheet::open(const QString &filePath)
{
    const Opener &current = opener();
    const bool opened = current ? current(filePath)
                                : QDesktopServices::openUrl(QUrl::fromLocalFile(filePath));
    if (!opened)
        PLOG_WARN << "The desktop could not open the file" << filePath;
    return opened;
}

void PDesktopSpreadsheet::setOpener(const Opener &opener)
{
    PDesktopSpreadsheet::opener() = opener;
}

QString PDesktopSpreadsheet::outputDirectory()
{
    if (!configuredDirectory().isEmpty())
        return configuredDirectory();
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return documents.isEmpty() ? QDir::tempPath() : documents;
}

void PDesktopSpreadsheet::setOutputDirectory(const QString &directory)
{
    configuredDirectory() = directory;
}

QString PDesktopSpreadsheet::newWorkbookPath()
{
    const QDir directory(outputDirectory());
    if (!directory.exists() && !QDir().mkpath(directory.path()))
        PLOG_WARN << "Cannot create the workbook folder" << directory.path();
    const QString stem = QStringLiteral("workbook-")
        + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString path = directory.filePath(stem + QStringLiteral(".xlsx"));
    for (int n = 2; QFileInfo::exists(path); ++n)
        path = directory.filePath(QStringLiteral("%1-%2.xlsx").arg(stem).arg(n));
    return path;
}

PDesktopSpreadsheet::Opener &PDesktopSpreadsheet::opener()
{
    static Opener current;
    return current;
}

QString &PDesktopSpreadsheet::configuredDirectory()
{
    static QString directory;
    return directory;
}
