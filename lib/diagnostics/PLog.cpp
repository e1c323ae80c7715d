#include "PLog.h"

#include "PLocal8Bit.h"

#include <QCoreApplication>
#include <QDate>
#include <QDateTime>
#include <QMutex>
#include <QMutexLocker>
#include <QSaveFile>

#include <cstdio>
#include <exception>

namespace {

const char *const levelLabels[] = {
    "TRACE MSG: ",
    "DEBUG MSG: ",
    "INFO  MSG: ",
    "WARN  MSG: ",
    "ERROR MSG: ",
    "FATAL MSG: ",
};

} // namespace

class PLoggerPrivate
{
public:
    QMutex mutex;
    int level = PLogger::InfoLevel;
};

PLogger *PLogger::instance = nullptr;
const char *const PLogger::timestampFormat = "yyyy-MM-dd :: hh:mm:ss";

PLogger *PLogger::ensureInstance()
{
    if (!instance)
        instance = new PLogger;
    return instance;
}

bool PLogger::isEnabled(LogLevel level)
{
    return ensureInstance()->loggingLevel() <= level;
}

PLogger::PLogger()
    : d(new PLoggerPrivate)
{
}

PLogger::~PLogger()
{
    m_file.close();
    delete d;
}

void PLogger::addDestination(const QString &fileName)
{
    QMutexLocker locker(&d->mutex);
    m_file.close();
    m_file.setFileName(fileName);
    // Always appending (O_APPEND), which also creates a missing file: the window and a
    // batch run may write the same day's file at once, and every line must land at its end.
    // Lines are written in the program's 8-bit encoding (kvtmerge: Windows-1251).
    m_file.open(QIODevice::Append | QIODevice::Text);
}

bool PLogger::hasDestination() const
{
    return m_file.isOpen();
}

QString PLogger::destination() const
{
    return m_file.fileName();
}

void PLogger::setLoggingLevel(LogLevel level)
{
    d->level = level;
}

PLogger::LogLevel PLogger::loggingLevel() const
{
    return static_cast<LogLevel>(d->level);
}

QString PLogger::generateLogFileName() const
{
    return QStringLiteral("log_") + QCoreApplication::applicationName() + QLatin1Char('_')
           + QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(".txt");
}

void PLogger::write(const QString &line)
{
    if (!m_file.isOpen()) {
        // No usable log file (not set yet, or it could not be opened): the line goes to
        // standard error rather than nowhere.
        std::fprintf(stderr, "%s\n", PLocal8Bit::encode(line).constData());
        std::fflush(stderr);
        return;
    }
    m_file.write(PLocal8Bit::encode(line + QLatin1Char('\n')));
    m_file.flush();
}

PLogger::PHelper::PHelper(LogLevel level)
    : m_level(level)
    , m_debug(&m_buffer)
{
}

PLogger::PHelper::~PHelper()
{
    try {
        writeToLog();
    } catch (const std::exception &) {
        Q_ASSERT(!"exception in logger helper destructor");
    }
}

void PLogger::PHelper::writeToLog()
{
    int level = m_level;
    if (level < TraceLevel || level > FatalLevel) {
        Q_ASSERT(!"bad log level");
        level = FatalLevel;
    }
    const QString line = QStringLiteral("%1 %2 %3")
                             .arg(QLatin1String(levelLabels[level]), 5, QLatin1Char(' '))
                             .arg(QDateTime::currentDateTime().toString(QLatin1String(timestampFormat)),
                                  0, QLatin1Char(' '))
                             .arg(m_buffer, 0, QLatin1Char(' '));
    PLogger *logger = PLogger::ensureInstance();
    QMutexLocker locker(&logger->d->mutex);
    logger->write(line);
}

// A dump may hold anything the program handled, so only its owner may read it. The
// new content goes to a private temporary file that replaces the old one, which is
// never rewritten in place (a file left by an older version may be readable by all).
void PDebug::writeStrToFile(const QString &text, const QString &fileName)
{
    QSaveFile file(fileName);
    const bool done = file.open(QIODevice::WriteOnly)
        && file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner)
        && file.write(PLocal8Bit::encode(text)) >= 0 && file.commit();
    if (!done)
        PLOG_WARN << "Cannot write the dump" << fileName << file.errorString();
}
