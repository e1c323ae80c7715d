#include "PXdgAutostartStore.h"

#include "PDesktopEntry.h"
#include "PLog.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

namespace {
const QString execKey = QStringLiteral("Exec");
const QString hiddenKey = QStringLiteral("Hidden");
}

PXdgAutostartStore::PXdgAutostartStore()
    : m_directory(defaultDirectory())
{
}

PXdgAutostartStore::PXdgAutostartStore(const QString &directory)
    : m_directory(directory)
{
}

QString PXdgAutostartStore::defaultDirectory()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QLatin1String("/autostart");
}

QString PXdgAutostartStore::directory() const
{
    return m_directory;
}

QString PXdgAutostartStore::entryFilePath(const QString &name) const
{
    return m_directory + QLatin1Char('/') + fileBaseName(name) + QLatin1String(".desktop");
}

QString PXdgAutostartStore::value(const QString &name) const
{
    PDesktopEntry entry;
    if (!entry.load(entryFilePath(name)))
        return QString();
    if (entry.value(hiddenKey).trimmed() == QLatin1String("true"))
        return QString();
    return commandOfExec(entry.value(execKey));
}

bool PXdgAutostartStore::setValue(const QString &name, const QString &command)
{
    if (!QDir().mkpath(m_directory)) {
        PLOG_WARN << "Cannot create the autostart folder" << m_directory;
        return false;
    }
    PDesktopEntry entry;
    entry.setValue(QStringLiteral("Type"), QStringLiteral("Application"));
    entry.setValue(QStringLiteral("Name"), name);
    entry.setValue(execKey, execOfCommand(command));
    if (entry.save(entryFilePath(name)))
        return true;
    PLOG_WARN << "Cannot write the autostart entry" << entryFilePath(name);
    return false;
}

bool PXdgAutostartStore::remove(const QString &name)
{
    QFile file(entryFilePath(name));
    if (!file.exists() || file.remove())
        return true;
    PLOG_WARN << "Cannot remove the autostart entry" << file.fileName() << file.errorString();
    return false;
}

// A command in double quotes is one program path (the form PAutoRun registers): it
// becomes one quoted Exec argument, so that every character of the path reaches the
// desktop as it is. Other commands are taken as Exec values already.
QString PXdgAutostartStore::execOfCommand(const QString &command)
{
    if (command.size() < 2 || !command.startsWith(QLatin1Char('"')) || !command.endsWith(QLatin1Char('"')))
        return command;
    return PDesktopEntry::quoteExecArgument(command.mid(1, command.size() - 2));
}

QString PXdgAutostartStore::commandOfExec(const QString &exec)
{
    QString program;
    if (!PDesktopEntry::unquoteExecArgument(exec, &program))
        return exec;
    return QLatin1Char('"') + program + QLatin1Char('"');
}

QString PXdgAutostartStore::fileBaseName(const QString &name)
{
    QString base;
    for (const QChar c : name) {
        if (c == QLatin1Char('%') || c == QLatin1Char('/') || c.unicode() < 0x20)
            base += QLatin1Char('%') + QString::number(c.unicode(), 16).toUpper().rightJustified(2, QLatin1Char('0'));
        else
            base += c;
    }
    return base;
}
