// Throughput of the merge worker, without the GUI, against a set-based copy on the server.
//
// Builds a source database with the demo generator (sql/kvt_demo_data.sql), puts part of
// its records into two destinations beforehand, merges the source into the first with
// KvtMerger (start to finished()), copies it into the second with one
// INSERT ... SELECT ... WHERE NOT EXISTS (... <=> ...) per table, and prints rows per
// second per table, the ratio of the two times and the peak memory of this process.
//
//   kvtmerge_bench [--defects N] [--graphics N] [--graphic-bytes N] [--refs N]
//                  [--preloaded PCT] [--env FILE] [--keep]
//
// Without --env the benchmark starts a private server of its own (scripts/mariadb-server.sh)
// in a temporary folder and stops it at the end.

#include "KvtMerger.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QMutex>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTextStream>

#include <cstdio>
#include <cstdlib>

namespace {

const QString srcDb = QStringLiteral("kvtbench_src");
const QString engineDb = QStringLiteral("kvtbench_engine");
const QString baselineDb = QStringLiteral("kvtbench_baseline");
const QStringList tables{"defects", "graphics", "defectref", "dettypes", "device",
                         "factory", "results",  "humans",    "zones"};

struct Options {
    int defects = 100000;
    int graphics = 10000;
    int graphicBytes = 4096;
    int refs = 1000;
    int preloadedPct = 20;
    QString envFile;
    bool keep = false;
};

struct Server {
    QString host;
    int port = 0;
    QString user;
    QString password;
};

QTextStream &out()
{
    static QTextStream stream(stdout);
    return stream;
}

[[noreturn]] void fail(const QString &text)
{
    out() << "error: " << text << Qt::endl;
    std::exit(1);
}

void exec(const QString &statement)
{
    QSqlQuery query;
    if (!query.exec(statement))
        fail(query.lastError().text() + QStringLiteral(" in: ") + statement.left(300));
}

qlonglong scalar(const QString &statement)
{
    QSqlQuery query;
    if (!query.exec(statement) || !query.next())
        fail(query.lastError().text() + QStringLiteral(" in: ") + statement.left(300));
    return query.value(0).toLongLong();
}

QString scriptPath()
{
    return QStringLiteral(KVT_SOURCE_DIR "/scripts/mariadb-server.sh");
}

QString runServerScript(const QString &command, const QString &dir)
{
    QProcess process;
    process.start(QStringLiteral("bash"), {scriptPath(), command, dir});
    if (!process.waitForFinished(120000) || process.exitCode() != 0)
        fail(QStringLiteral("mariadb-server.sh %1 failed: %2")
                 .arg(command, QString::fromLocal8Bit(process.readAllStandardError())));
    return QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed();
}

Server readEnvFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        fail(QStringLiteral("cannot read ") + path);
    Server server;
    while (!file.atEnd()) {
        QString line = QString::fromLocal8Bit(file.readLine()).trimmed();
        if (line.startsWith(QLatin1String("export ")))
            line = line.mid(7);
        const int eq = line.indexOf(QLatin1Char('='));
        if (eq < 0)
            continue;
        const QString name = line.left(eq);
        const QString value = line.mid(eq + 1);
        if (name == QLatin1String("KVT_TEST_DB_HOST"))
            server.host = value;
        else if (name == QLatin1String("KVT_TEST_DB_PORT"))
            server.port = value.toInt();
        else if (name == QLatin1String("KVT_TEST_DB_USER"))
            server.user = value;
        else if (name == QLatin1String("KVT_TEST_DB_PASSWORD"))
            server.password = value;
    }
    return server;
}

void openDefaultConnection(const Server &server)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QMYSQL"));
    db.setHostName(server.host);
    db.setPort(server.port);
    db.setUserName(server.user);
    db.setPassword(server.password);
    db.setDatabaseName(QStringLiteral("mysql"));
    if (!db.open())
        fail(db.lastError().text());
    exec(QStringLiteral("SET NAMES utf8mb4"));
}

QStringList statementsOfFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        fail(QStringLiteral("cannot read ") + path);
    QStringList statements;
    QString current;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine());
        const QString trimmed = line.trimmed();
        if (trimmed.isEmpty() || trimmed.startsWith(QLatin1String("--")))
            continue;
        current += line;
        if (trimmed.endsWith(QLatin1Char(';'))) {
            statements << current;
            current.clear();
        }
    }
    return statements;
}

void createKvtDatabase(const QString &name)
{
    exec(QStringLiteral("DROP DATABASE IF EXISTS ") + name);
    exec(QStringLiteral("CREATE DATABASE ") + name + QStringLiteral(" CHARACTER SET utf8mb4"));
    exec(QStringLiteral("USE ") + name);
    for (const QString &statement : statementsOfFile(QStringLiteral(KVT_SOURCE_DIR "/sql/kvt_schema.sql")))
        exec(statement);
}

void fillSource(const Options &o)
{
    createKvtDatabase(srcDb);
    exec(QStringLiteral("SET @demo_no = 1, @demo_defects = %1, @demo_graphics = %2, "
                        "@demo_graphic_bytes = %3, @demo_refs = %4, @demo_overlap_pct = 0")
             .arg(o.defects)
             .arg(o.graphics)
             .arg(o.graphicBytes)
             .arg(o.refs));
    for (const QString &statement : statementsOfFile(QStringLiteral(KVT_SOURCE_DIR "/sql/kvt_demo_data.sql")))
        exec(statement);
}

QString keyOf(const QString &table)
{
    if (table == QLatin1String("factory"))
        return QStringLiteral("Cod");
    if (table == QLatin1String("humans"))
        return QStringLiteral("TabNo");
    if (table == QLatin1String("zones"))
        return QStringLiteral("DetTypeZone");
    return QStringLiteral("ID");
}

// A destination that already holds about pct percent of the source's records (zones by
// part type, since zone numbers within a part type are small).
void preloadDestination(const QString &db, int pct)
{
    createKvtDatabase(db);
    for (const QString &table : tables) {
        const QString column = table == QLatin1String("zones") ? QStringLiteral("DetTypeId") : keyOf(table);
        exec(QStringLiteral("INSERT INTO %1.%2 SELECT * FROM %3.%2 WHERE MOD(%4, 100) < %5")
                 .arg(db, table, srcDb, column)
                 .arg(pct));
    }
}

// Compared columns (NULL-safe) and inserted columns of each table, as the worker uses them.
struct BaselineSql {
    QStringList compared;
    QStringList inserted;
};

BaselineSql baselineSqlOf(const QString &table)
{
    if (table == QLatin1String("defects"))
        return {{"MyId", "Date", "Time", "DefectoscopistID", "VagNo", "DetTypeId", "DetNo", "ZavNo",
                 "ProdYear", "DetParameter", "DefectNo", "ZoneID", "Result", "DefectID",
                 "DefectSize", "Amplitude", "Device"},
                {"MyId", "Date", "DefectoscopistID", "VagNo", "DetTypeId", "DetNo", "DetParameter",
                 "DefectNo", "ZavNo", "ProdYear", "Time", "ZoneID", "Result", "DefectID",
                 "DefectSize", "Amplitude", "Printed", "CRC32", "Device", "Errors"}};
    if (table == QLatin1String("graphics"))
        return {{"Date", "Time", "DefectoscopistID", "VagNo", "DetNo", "ZavNo", "ProdYear",
                 "DetParameter", "DetTypeId", "Device", "Graphic", "DataId"},
                {"VagNo", "DetNo", "ZavNo", "ProdYear", "Date", "DefectoscopistID", "DetTypeId",
                 "Time", "DataType", "FieldType", "GradientType", "CountType", "CRC32", "Graphic",
                 "Device", "Picture", "DetParameter", "DataId", "Synced", "Errors"}};
    if (table == QLatin1String("device"))
        return {{"ID", "Name"}, {"ID", "Name"}};
    if (table == QLatin1String("factory"))
        return {{"Cod", "Short", "Name"}, {"Cod", "Short", "Name"}};
    if (table == QLatin1String("humans"))
        return {{"Famname", "FstName", "SecName", "FullName", "TabNo"},
                {"Famname", "FstName", "SecName", "FullName", "TabNo"}};
    if (table == QLatin1String("zones"))
        return {{"DetTypeZone", "ID", "DetTypeId", "Name"}, {"DetTypeZone", "ID", "DetTypeId", "Name"}};
    return {{"ID", "Short", "Name"}, {"ID", "Short", "Name"}};
}

QString baselineStatement(const QString &table)
{
    const BaselineSql sql = baselineSqlOf(table);
    QStringList conditions;
    for (const QString &column : sql.compared)
        conditions << QStringLiteral("d.`%1` <=> s.`%1`").arg(column);
    QStringList columns;
    QStringList values;
    for (const QString &column : sql.inserted) {
        columns << QLatin1Char('`') + column + QLatin1Char('`');
        values << QStringLiteral("s.`") + column + QLatin1Char('`');
    }
    if (table == QLatin1String("humans")) {
        // New people are numbered after the destination's largest ID.
        columns.prepend(QStringLiteral("ID"));
        values.prepend(QStringLiteral("@maxId + ROW_NUMBER() OVER (ORDER BY s.ID)"));
    }
    return QStringLiteral("INSERT INTO %1.%2 (%3) SELECT %4 FROM %5.%2 s "
                          "WHERE NOT EXISTS (SELECT 1 FROM %1.%2 d WHERE %6)")
        .arg(baselineDb, table, columns.join(QStringLiteral(", ")),
             values.join(QStringLiteral(", ")), srcDb, conditions.join(QStringLiteral(" AND ")));
}

long peakResidentKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly | QIODevice::Text))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}

// Runs the worker as the main window does and returns the seconds each table step took.
QVector<double> runEngine(int *conflicts, QString *error)
{
    KvtMerger merger;
    QElapsedTimer clock;
    QVector<qint64> stepStarts;
    qint64 end = 0;
    QMutex lock;
    // Direct connections: timestamps are taken on the worker thread, when it happens.
    QObject::connect(&merger, &KvtMerger::setStatusText, &merger, [&](const QString &) {
        QMutexLocker locker(&lock);
        stepStarts << clock.nsecsElapsed();
    }, Qt::DirectConnection);
    QObject::connect(&merger, &QThread::finished, &merger, [&]() {
        QMutexLocker locker(&lock);
        end = clock.nsecsElapsed();
    }, Qt::DirectConnection);
    // The main window's receivers, queued like there.
    QObject gui;
    int progress = 0;
    QObject::connect(&merger, &KvtMerger::sendProgressBarCurrentValue, &gui,
                     [&](int value) { progress = value; }, Qt::QueuedConnection);
    QObject::connect(&merger, &KvtMerger::sqlErr, &gui,
                     [&](const QString &text, const QString &) { *error = text; }, Qt::QueuedConnection);
    QObject::connect(&merger, &KvtMerger::differentRecordsInTbs, &gui, [&]() {
        ++*conflicts;
        merger.resumeThread();
    }, Qt::QueuedConnection);
    QEventLoop loop;
    QObject::connect(&merger, &QThread::finished, &loop, &QEventLoop::quit, Qt::QueuedConnection);

    merger.setStopFlag(false);
    merger.setCurrentDataBaseDestination(engineDb);
    merger.setDBList({srcDb});
    clock.start();
    merger.start();
    merger.setPriority(QThread::LowestPriority);
    loop.exec();
    merger.wait();

    QVector<double> seconds;
    for (int i = 0; i < stepStarts.size(); ++i) {
        const qint64 stepEnd = i + 1 < stepStarts.size() ? stepStarts.at(i + 1) : end;
        seconds << (stepEnd - stepStarts.at(i)) / 1e9;
    }
    return seconds;
}

Options parseOptions(const QCoreApplication &app)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Merge worker throughput against a set-based copy"));
    parser.addHelpOption();
    const QCommandLineOption defects("defects", "Rows of defects.", "N", "100000");
    const QCommandLineOption graphics("graphics", "Rows of graphics.", "N", "10000");
    const QCommandLineOption bytes("graphic-bytes", "Bytes of one signal.", "N", "4096");
    const QCommandLineOption refs("refs", "Keys per reference table.", "N", "1000");
    const QCommandLineOption preloaded("preloaded", "Percent already in the destination.", "PCT", "20");
    const QCommandLineOption env("env", "Use the server of this env file instead of a private one.", "FILE");
    const QCommandLineOption keep("keep", "Keep the benchmark databases.");
    parser.addOptions({defects, graphics, bytes, refs, preloaded, env, keep});
    parser.process(app);
    Options o;
    o.defects = parser.value(defects).toInt();
    o.graphics = parser.value(graphics).toInt();
    o.graphicBytes = parser.value(bytes).toInt();
    o.refs = qMax(1, parser.value(refs).toInt());
    o.preloadedPct = qBound(0, parser.value(preloaded).toInt(), 100);
    o.envFile = parser.value(env);
    o.keep = parser.isSet(keep);
    return o;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const Options o = parseOptions(app);

    QTemporaryDir serverDir;
    const bool ownServer = o.envFile.isEmpty();
    const QString envFile = ownServer ? runServerScript(QStringLiteral("start"), serverDir.path()) : o.envFile;
    openDefaultConnection(readEnvFile(envFile));

    QElapsedTimer setup;
    setup.start();
    fillSource(o);
    preloadDestination(engineDb, o.preloadedPct);
    preloadDestination(baselineDb, o.preloadedPct);
    out() << "source: " << o.defects << " defects, " << o.graphics << " graphics of "
          << o.graphicBytes << " bytes, " << o.refs << " keys per reference table; "
          << o.preloadedPct << "% already in the destination (set up in "
          << setup.elapsed() / 1000.0 << " s)" << Qt::endl;

    QVector<qlonglong> sourceRows;
    QVector<qlonglong> before;
    for (const QString &table : tables) {
        sourceRows << scalar(QStringLiteral("SELECT COUNT(*) FROM %1.%2").arg(srcDb, table));
        before << scalar(QStringLiteral("SELECT COUNT(*) FROM %1.%2").arg(engineDb, table));
    }

    const long memoryBefore = peakResidentKb();
    int conflicts = 0;
    QString error;
    const QVector<double> engineSeconds = runEngine(&conflicts, &error);
    const long memoryAfter = peakResidentKb();
    if (!error.isEmpty())
        fail(QStringLiteral("merge failed: ") + error);
    if (engineSeconds.size() != tables.size())
        fail(QStringLiteral("the merge ran %1 table steps").arg(engineSeconds.size()));

    QVector<double> baselineSeconds;
    exec(QStringLiteral("SET @maxId = (SELECT COALESCE(MAX(ID), 0) FROM %1.humans)").arg(baselineDb));
    for (const QString &table : tables) {
        QElapsedTimer timer;
        timer.start();
        exec(baselineStatement(table));
        baselineSeconds << timer.nsecsElapsed() / 1e9;
    }

    out() << QStringLiteral("%1 %2 %3 %4 %5 %6 %7 %8")
                 .arg("table", -10).arg("src rows", 9).arg("inserted", 9).arg("engine s", 9)
                 .arg("rows/s", 9).arg("set s", 8).arg("rows/s", 10).arg("engine/set", 10)
          << Qt::endl;
    double engineTotal = 0;
    double baselineTotal = 0;
    qlonglong rowsTotal = 0;
    for (int i = 0; i < tables.size(); ++i) {
        const QString &table = tables.at(i);
        const qlonglong inserted =
            scalar(QStringLiteral("SELECT COUNT(*) FROM %1.%2").arg(engineDb, table)) - before.at(i);
        const qlonglong baselineInserted =
            scalar(QStringLiteral("SELECT COUNT(*) FROM %1.%2").arg(baselineDb, table)) - before.at(i);
        if (inserted != baselineInserted)
            out() << "warning: " << table << ": the worker inserted " << inserted
                  << " rows, the set-based copy " << baselineInserted << Qt::endl;
        const double e = engineSeconds.at(i);
        const double b = baselineSeconds.at(i);
        engineTotal += e;
        baselineTotal += b;
        rowsTotal += sourceRows.at(i);
        out() << QStringLiteral("%1 %2 %3 %4 %5 %6 %7 %8")
                     .arg(table, -10)
                     .arg(sourceRows.at(i), 9)
                     .arg(inserted, 9)
                     .arg(e, 9, 'f', 3)
                     .arg(e > 0 ? sourceRows.at(i) / e : 0, 9, 'f', 0)
                     .arg(b, 8, 'f', 3)
                     .arg(b > 0 ? sourceRows.at(i) / b : 0, 10, 'f', 0)
                     .arg(b > 0 ? e / b : 0, 10, 'f', 1)
              << Qt::endl;
    }
    out() << QStringLiteral("%1 %2 %3 %4 %5 %6 %7 %8")
                 .arg("all", -10).arg(rowsTotal, 9).arg("", 9).arg(engineTotal, 9, 'f', 3)
                 .arg(rowsTotal / engineTotal, 9, 'f', 0).arg(baselineTotal, 8, 'f', 3)
                 .arg(rowsTotal / baselineTotal, 10, 'f', 0).arg(engineTotal / baselineTotal, 10, 'f', 1)
          << Qt::endl;
    out() << "conflicts handed over: " << conflicts << Qt::endl;
    out() << "peak resident memory (VmHWM): " << memoryBefore << " kB before the merge, "
          << memoryAfter << " kB after it" << Qt::endl;

    if (!o.keep)
        for (const QString &db : {srcDb, engineDb, baselineDb})
            exec(QStringLiteral("DROP DATABASE IF EXISTS ") + db);
    QSqlDatabase::database().close();
    if (ownServer)
        runServerScript(QStringLiteral("stop"), serverDir.path());
    return 0;
}
