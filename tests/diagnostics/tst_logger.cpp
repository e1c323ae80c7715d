#include "PLog.h"
#include "ProgramEncoding.h"

#include <QCoreApplication>
#include <QDate>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <cstdio>
#include <functional>
#include <unistd.h>

class tst_Logger : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void lineFormat_data();
    void lineFormat();
    void levelFilter();
    void disabledStatementEvaluatesNothing();
    void appendsToExistingFile();
    void generatedFileName();
    void twoThreadsWriteWholeLines();
    void beforeDestinationGoesToStandardError();
    void debugDumpTruncates();
    void programEncoding_data();
    void programEncoding();

private:
    QStringList lines() const;
    // What write() wrote to standard error.
    QByteArray writtenToStandardError(const std::function<void()> &write);

    QTemporaryDir m_dir;
    QString m_file;
};

void tst_Logger::init()
{
    static int n = 0;
    m_file = m_dir.filePath(QStringLiteral("log_%1.txt").arg(++n));
    PLogger::ensureInstance()->addDestination(m_file);
    PLogger::instance->setLoggingLevel(PLogger::TraceLevel);
}

QStringList tst_Logger::lines() const
{
    QFile f(m_file);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    return QString::fromLocal8Bit(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

void tst_Logger::lineFormat_data()
{
    QTest::addColumn<int>("level");
    QTest::addColumn<QString>("label");
    QTest::newRow("trace") << 0 << "TRACE MSG: ";
    QTest::newRow("debug") << 1 << "DEBUG MSG: ";
    QTest::newRow("info") << 2 << "INFO  MSG: ";
    QTest::newRow("warn") << 3 << "WARN  MSG: ";
    QTest::newRow("error") << 4 << "ERROR MSG: ";
    QTest::newRow("fatal") << 5 << "FATAL MSG: ";
}

void tst_Logger::lineFormat()
{
    QFETCH(int, level);
    QFETCH(QString, label);
    PLOG_STATEMENT(static_cast<PLogger::LogLevel>(level))
        << "plain" << QStringLiteral("quoted") << 42;
    const QStringList written = lines();
    QCOMPARE(written.size(), 1);
    // label, a separator, "yyyy-MM-dd :: hh:mm:ss", a separator, then every item followed by one space
    const QRegularExpression pattern(QRegularExpression::escape(label)
                                     + QStringLiteral(" \\d{4}-\\d\\d-\\d\\d :: \\d\\d:\\d\\d:\\d\\d ")
                                     + QStringLiteral("plain \"quoted\" 42 $"));
    QVERIFY2(pattern.match(written.first()).hasMatch(), qPrintable(written.first()));
}

void tst_Logger::levelFilter()
{
    PLogger::instance->setLoggingLevel(PLogger::WarnLevel);
    PLOG_INFO << "not written";
    PLOG_WARN << "written";
    PLOG_FATAL << "also written";
    const QStringList written = lines();
    QCOMPARE(written.size(), 2);
    QVERIFY(written.at(0).startsWith(QLatin1String("WARN  MSG: ")));
    QVERIFY(written.at(1).startsWith(QLatin1String("FATAL MSG: ")));
}

void tst_Logger::disabledStatementEvaluatesNothing()
{
    int evaluated = 0;
    auto count = [&evaluated] { return ++evaluated; };
    PLogger::instance->setLoggingLevel(PLogger::ErrorLevel);
    PLOG_DEBUG << count();
    QCOMPARE(evaluated, 0);
    PLOG_ERROR << count();
    QCOMPARE(evaluated, 1);
    // Inside an unbraced if/else the statement keeps its meaning.
    if (evaluated == 1)
        PLOG_ERROR << "branch";
    else
        QFAIL("else bound to the logging statement");
    QCOMPARE(lines().size(), 2);
}

void tst_Logger::appendsToExistingFile()
{
    PLOG_INFO << "first start";
    PLogger::instance->addDestination(m_file); // the next start of the same day
    PLOG_INFO << "second start";
    const QStringList written = lines();
    QCOMPARE(written.size(), 2);
    QVERIFY(written.at(0).endsWith(QLatin1String("first start ")));
    QVERIFY(written.at(1).endsWith(QLatin1String("second start ")));
}

void tst_Logger::generatedFileName()
{
    QCoreApplication::setApplicationName(QStringLiteral("kvtMergeDB"));
    QCOMPARE(PLogger::instance->generateLogFileName(),
             QStringLiteral("log_kvtMergeDB_%1.txt")
                 .arg(QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"))));
}

namespace {
class LoggingThread : public QThread
{
public:
    explicit LoggingThread(const QString &tag) : m_tag(tag) {}
    void run() override
    {
        for (int i = 0; i < 500; ++i)
            PLOG_INFO << m_tag.toLatin1().constData() << i << QStringLiteral("payload-payload-payload");
    }

private:
    QString m_tag;
};
} // namespace

void tst_Logger::twoThreadsWriteWholeLines()
{
    LoggingThread a(QStringLiteral("A")), b(QStringLiteral("B"));
    a.start();
    b.start();
    QVERIFY(a.wait(30000));
    QVERIFY(b.wait(30000));
    const QStringList written = lines();
    QCOMPARE(written.size(), 1000);
    const QRegularExpression whole(QStringLiteral(
        "^INFO  MSG:  \\S+ :: \\S+ [AB] \\d+ \"payload-payload-payload\" $"));
    int fromA = 0;
    for (const QString &line : written) {
        QVERIFY2(whole.match(line).hasMatch(), qPrintable(line));
        fromA += line.contains(QLatin1String(" A ")) ? 1 : 0;
    }
    QCOMPARE(fromA, 500);
}

void tst_Logger::beforeDestinationGoesToStandardError()
{
    // A logger without a file must not lose its lines silently.
    bool destination = true;
    const QByteArray written = writtenToStandardError([&destination] {
        PLogger fresh;
        fresh.write(QStringLiteral("no destination yet"));
        destination = fresh.hasDestination();
    });
    QVERIFY(!destination);
    QCOMPARE(written, QByteArray("no destination yet\n"));
}

QByteArray tst_Logger::writtenToStandardError(const std::function<void()> &write)
{
    static int n = 0;
    const QString errFile = m_dir.filePath(QStringLiteral("stderr-%1.txt").arg(++n));
    std::fflush(stderr);
    const int saved = dup(fileno(stderr));
    if (!std::freopen(qPrintable(errFile), "w", stderr))
        return QByteArray("<stderr not redirected>");
    write();
    std::fflush(stderr);
    dup2(saved, fileno(stderr));
    close(saved);
    QFile f(errFile);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void tst_Logger::debugDumpTruncates()
{
    const QString file = m_dir.filePath(QStringLiteral("dump.sql"));
    PDebug dump;
    dump.writeStrToFile(QStringLiteral("SELECT 1; SELECT 2;"), file);
    dump.writeStrToFile(QStringLiteral("SELECT 3;"), file);
    QFile f(file);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("SELECT 3;"));
}

// The log, its stand-in on standard error and the dumps are written in the program's 8-bit
// encoding (kvtmerge: Windows-1251, set at start-up), under Qt 6 as under Qt 5.
void tst_Logger::programEncoding_data()
{
    ProgramEncoding::addRows();
}

void tst_Logger::programEncoding()
{
    QFETCH(QByteArray, codec);
    QFETCH(QByteArray, bytes);
    const ProgramEncoding::Scope scope(codec);
    const QString &text = ProgramEncoding::text;

    PLOG_INFO << text;
    QFile log(m_file);
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QByteArray written = log.readAll();
    QVERIFY2(written.endsWith(" \"" + bytes + "\" \n"), written.toHex(' ').constData());

    const QString dumpFile = m_dir.filePath(QStringLiteral("dump-%1.txt").arg(QString::fromLatin1(codec)));
    PDebug().writeStrToFile(text, dumpFile);
    QFile dump(dumpFile);
    QVERIFY(dump.open(QIODevice::ReadOnly));
    QCOMPARE(dump.readAll(), bytes);

    QCOMPARE(writtenToStandardError([&text] { PLogger().write(text); }), bytes + '\n');
}

QTEST_GUILESS_MAIN(tst_Logger)
#include "tst_logger.moc"
