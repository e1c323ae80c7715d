#ifndef PLOG_H
#define PLOG_H

#include "pelmora0_global.h"

#include <QDebug>
#include <QFile>
#include <QString>

class PLoggerPrivate;

// Process-wide logger appending timestamped, levelled lines to one text file.
// Log through the statement macros below, e.g.
//     PLOG_INFO << "connected to" << host;
// A statement below the current level evaluates none of its streamed values.
class PELMORA0_EXPORT PLogger
{
public:
    enum LogLevel {
        TraceLevel = 0,
        DebugLevel = 1,
        InfoLevel = 2,
        WarnLevel = 3,
        ErrorLevel = 4,
        FatalLevel = 5
    };

    // One log statement: collects the streamed values and writes the line when it ends.
    class PELMORA0_EXPORT PHelper
    {
    public:
        explicit PHelper(LogLevel level);
        ~PHelper();
        PHelper(const PHelper &) = delete;
        PHelper &operator=(const PHelper &) = delete;

        QDebug &debug() { return m_debug; }

    private:
        void writeToLog();

        LogLevel m_level;
        QString m_buffer;
        QDebug m_debug;
    };

    // The one logger; null until first use. Never deleted.
    static PLogger *instance;
    // Returns instance, creating it first if it is null.
    static PLogger *ensureInstance();
    // True when a statement at that level would be written.
    static bool isEnabled(LogLevel level);

    PLogger();
    ~PLogger();
    PLogger(const PLogger &) = delete;
    PLogger &operator=(const PLogger &) = delete;

    void addDestination(const QString &fileName);
    bool hasDestination() const;
    QString destination() const;
    void setLoggingLevel(LogLevel level);
    LogLevel loggingLevel() const;
    QString generateLogFileName() const;

    // Writes one line and flushes it. Callers hold the logger's lock (see PHelper).
    void write(const QString &line);

    // The timestamp format of every line.
    static const char *const timestampFormat;

private:
    friend class PHelper;
    PLoggerPrivate *d;
    QFile m_file;
};

// Dumps a text into a file, replacing what the file held. The file is readable by its
// owner only; a failure is logged.
class PELMORA0_EXPORT PDebug
{
public:
    PDebug() = default;
    void writeStrToFile(const QString &text, const QString &fileName);
};

#define PLOG_STATEMENT(level) \
    for (bool pLogOnce_ = PLogger::isEnabled(level); pLogOnce_; pLogOnce_ = false) \
        PLogger::PHelper(level).debug()

#define PLOG_TRACE PLOG_STATEMENT(PLogger::TraceLevel)
#define PLOG_DEBUG PLOG_STATEMENT(PLogger::DebugLevel)
#define PLOG_INFO PLOG_STATEMENT(PLogger::InfoLevel)
#define PLOG_WARN PLOG_STATEMENT(PLogger::WarnLevel)
#define PLOG_ERROR PLOG_STATEMENT(PLogger::ErrorLevel)
#define PLOG_FATAL PLOG_STATEMENT(PLogger::FatalLevel)

#endif // PLOG_H
