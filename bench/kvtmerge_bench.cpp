// Throughput of the merge worker (and, with --window, of the merge through the main
// window) against a set-based copy on the server, and the time of the merge preview
// against the merge it foresees.
//
// By default the worker runs as the window and the batch mode run it: with a merge journal
// (in a temporary folder), on data whose measurement rows name catalogue records of other
// content in the destination, plain and keeping references consistent. The destination
// holds at least half of the source's reference records (--preloaded, if more), one in a
// hundred of them with other content (a name changed); the merge leaves their conflicts
// out, as a standing choice would. --resolving gives data whose references all resolve (catalogues
// as --preloaded says, unchanged). --no-journal leaves the journal out; otherwise the plain
// set-based worker also runs without it once more, into a destination of its own, and the
// journal's cost is printed as the ratio of the two. --counter-step N makes the server's
// counters step by N (auto_increment_increment, as a Galera node does; a private server
// only). --read-back names a chunk's rows by reading them back in the chunk's transaction
// even where the server has INSERT ... RETURNING.
//
// Builds a source database with the demo generator (sql/kvt_demo_data.sql), puts part of
// its records (--preloaded, default none) into three destinations beforehand, and merges
// the source into them three ways: with KvtMerger copying the measurement tables per row
// (the reference), with KvtMerger copying them set-based in chunks (the default), and with
// one INSERT ... SELECT ... WHERE NOT EXISTS (... <=> ...) per table; for defects and graphics
// also by one statement that, as the worker, copies a row equal to an earlier one of the
// source only once (the first statement copies it each time). Then the same merge
// again into the now full destinations. Prints rows per second per table and way, the
// ratios, the peak resident memory (VmHWM) of each worker run, and whether the per-row and
// the set-based destinations hold the same rows in the same order (the IDs are the
// destination's to give and may differ).
//
// --reference-heavy stands for a field database with large catalogues: 2,000 keys per
// reference table (about 7,920 zones), 20,000 defects, no graphics, half of the records
// already in the destination (the options given after it still count).
//
//   kvtmerge_bench [--reference-heavy] [--defects N] [--graphics N] [--graphic-bytes N] [--refs N]
//                  [--preloaded PCT] [--chunk-rows N] [--chunk-bytes N] [--no-per-row]
//                  [--plain-only] [--resolving] [--no-journal] [--read-back] [--counter-step N]
//                  [--cluster] [--env FILE] [--keep]
//
// Unless --plain-only, the set-based worker also runs in the mode "Keep references
// consistent" into a destination of its own, and its speed is printed against the plain
// one and against the set-based statements.
//
// A quick run: --defects 20000 --graphics 2000 --no-per-row. The cases: the
// defaults (100,000 defects, 10,000 graphics of 4 KB, into an empty and then a full
// destination), --reference-heavy, and either with --counter-step 3.
//
// --window also merges through the main window as the operator does (the window made,
// connected, the fields filled, "Merge databases" pressed, until it is idle again; the
// window's own journal; conflicts left out by a standing choice), plain and, unless
// --plain-only, keeping references, each into a destination of its own; the time counts
// from the window's creation and is printed against the set-based statements. It runs
// offscreen, with the settings and the journal in a temporary home.
//
// Without --env the benchmark starts a private server of its own (scripts/mariadb-server.sh),
// or with --cluster a private three-node Galera cluster (scripts/galera-cluster.sh), in a
// temporary folder and stops it at the end; the merge then goes through node 1. --env
// names the env file of a running server (or, with --cluster, of a running cluster).

#include "KvtMerger.h"
#include "WindowMerge.h"
#include "MergeJournal.h"
#include "MergePreview.h"
#include "PLog.h"

#include <QApplication>
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

#include <algorithm>
#include <memory>
#include <cstdio>
#include <cstdlib>

namespace {

const QString srcDb = QStringLiteral("kvtbench_src");
const QString perRowDb = QStringLiteral("kvtbench_rows");
const QString fastDb = QStringLiteral("kvtbench_fast");
const QString baselineDb = QStringLiteral("kvtbench_baseline");
const QString sameOutcomeDb = QStringLiteral("kvtbench_same");
const QString refsDb = QStringLiteral("kvtbench_refs");
const QString noJournalDb = QStringLiteral("kvtbench_nojournal");
const QString windowDb = QStringLiteral("kvtbench_window");
const QString windowRefsDb = QStringLiteral("kvtbench_window_refs");
const QStringList tables{"defects", "graphics", "defectref", "dettypes", "device",
                         "factory", "results",  "humans",    "zones"};

struct Server {
    QString host;
    int port = 0;
    QString user;
    QString password;
};
struct Options {
    int defects = 100000;
    int graphics = 10000;
    int graphicBytes = 4096;
    int refs = 1000;
    int preloadedPct = 0;
    int chunkRows = KvtMerger::defaultChunkRows;
    qint64 chunkBytes = KvtMerger::defaultChunkBytes;
    bool perRow = true;
    bool keepReferences = true;
    bool resolving = false;
    bool journal = true;
    bool readBack = false;
    int counterStep = 1;
    bool cluster = false;
    QString envFile;
    bool keep = false;
    bool window = false;
    Server server; // the one the benchmark merges on
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

QString scriptPath(bool cluster)
{
    return cluster ? QStringLiteral(KVT_SOURCE_DIR "/scripts/galera-cluster.sh")
                   : QStringLiteral(KVT_SOURCE_DIR "/scripts/mariadb-server.sh");
}

QString runServerScript(bool cluster, const QString &command, const QString &dir)
{
    QProcess process;
    process.start(QStringLiteral("bash"), {scriptPath(cluster), command, dir});
    if (!process.waitForFinished(300000) || process.exitCode() != 0)
        fail(QStringLiteral("%1 %2 failed: %3")
                 .arg(scriptPath(cluster), command, QString::fromLocal8Bit(process.readAllStandardError())));
    return QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed();
}

// The server of a server's env file, or node 1 of a cluster's.
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
        else if (name == QLatin1String("KVT_CLUSTER_NODE1_PORT"))
            server.port = value.toInt();
        else if (name == QLatin1String("KVT_CLUSTER_USER"))
            server.user = value;
        else if (name == QLatin1String("KVT_CLUSTER_PASSWORD"))
            server.password = value;
    }
    if (server.host.isEmpty())
        server.host = QStringLiteral("127.0.0.1");
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

// The column of a reference table whose change gives a record other content.
QString contentOf(const QString &table)
{
    return table == QLatin1String("humans") ? QStringLiteral("Famname") : QStringLiteral("Name");
}

// A destination that already holds about pct percent of the source's records (zones by
// part type, since zone numbers within a part type are small). Unless the references are
// to resolve, it holds at least half of the reference records, one in a hundred of them
// with other content: the source's rows naming those name records of other content.
void preloadDestination(const Options &o, const QString &db)
{
    createKvtDatabase(db);
    for (int i = 0; i < tables.size(); ++i) {
        const QString &table = tables.at(i);
        const bool reference = i >= 2;
        const QString column = table == QLatin1String("zones") ? QStringLiteral("DetTypeId") : keyOf(table);
        const int pct = reference && !o.resolving ? qMax(o.preloadedPct, 50) : o.preloadedPct;
        exec(QStringLiteral("INSERT INTO %1.%2 SELECT * FROM %3.%2 WHERE MOD(%4, 100) < %5")
                 .arg(db, table, srcDb, column)
                 .arg(pct));
        if (reference && !o.resolving)
            exec(QStringLiteral("UPDATE %1.%2 SET %3 = CONCAT(COALESCE(%3, ''), ' *') WHERE MOD(%4, 100) = 7")
                     .arg(db, table, contentOf(table), keyOf(table)));
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

// Column names quoted, each after prefix (a row's alias and a point, or nothing).
QStringList quoted(const QStringList &names, const QString &prefix)
{
    QStringList out;
    for (const QString &name : names)
        out << prefix + QLatin1Char('`') + name + QLatin1Char('`');
    return out;
}

QString baselineStatement(const QString &table)
{
    const BaselineSql sql = baselineSqlOf(table);
    QStringList conditions;
    for (const QString &column : sql.compared)
        conditions << QStringLiteral("d.`%1` <=> s.`%1`").arg(column);
    QStringList columns = quoted(sql.inserted, QString());
    QStringList values = quoted(sql.inserted, QStringLiteral("s."));
    if (table == QLatin1String("humans")) {
        // New people are numbered after the destination's largest ID.
        columns.prepend(QStringLiteral("ID"));
        values.prepend(QStringLiteral("@maxId + ROW_NUMBER() OVER (ORDER BY s.ID)"));
    }
    // A reference record whose key the destination holds with other content is left out,
    // as the worker's conflicts are.
    const bool reference = tables.indexOf(table) >= 2;
    return QStringLiteral("INSERT %7INTO %1.%2 (%3) SELECT %4 FROM %5.%2 s "
                          "WHERE NOT EXISTS (SELECT 1 FROM %1.%2 d WHERE %6)")
        .arg(baselineDb, table, columns.join(QStringLiteral(", ")),
             values.join(QStringLiteral(", ")), srcDb, conditions.join(QStringLiteral(" AND ")),
             reference ? QStringLiteral("IGNORE ") : QString());
}

// The single statement for a measurement table that leaves the source's own equal rows
// out as the worker does: a row equal to an earlier one of the source is not copied (the
// baseline copies it again). For defects the earlier rows are numbered by ROW_NUMBER() over
// the whole source, the fastest form measured; graphics compare a signal, which a window
// partitions by its first max_sort_length bytes only, so there a probe finds them.
QString sameOutcomeStatement(const QString &table)
{
    const BaselineSql sql = baselineSqlOf(table);
    QStringList inDestination;
    QStringList earlier;
    QStringList partition;
    for (const QString &column : sql.compared) {
        inDestination << QStringLiteral("d.`%1` <=> s.`%1`").arg(column);
        earlier << QStringLiteral("e.`%1` <=> s.`%1`").arg(column);
        partition << QStringLiteral("t.`%1`").arg(column);
    }
    const QStringList columns = quoted(sql.inserted, QString());
    const QStringList values = quoted(sql.inserted, QStringLiteral("s."));
    const bool numbered = table == QLatin1String("defects");
    const QString from =
        numbered ? QStringLiteral("(SELECT t.*, ROW_NUMBER() OVER (PARTITION BY %1 ORDER BY t.ID) AS kvt_nth FROM %2.%3 t) s "
                                  "WHERE s.kvt_nth = 1")
                       .arg(partition.join(QStringLiteral(", ")), srcDb, table)
                 : QStringLiteral("%1.%2 s WHERE NOT EXISTS (SELECT 1 FROM %1.%2 e WHERE e.ID < s.ID AND %3)")
                       .arg(srcDb, table, earlier.join(QStringLiteral(" AND ")));
    return QStringLiteral("INSERT INTO %1.%2 (%3) SELECT %4 FROM %5 AND NOT EXISTS (SELECT 1 FROM %1.%2 d WHERE %6) "
                          "ORDER BY s.ID")
        .arg(sameOutcomeDb, table, columns.join(QStringLiteral(", ")), values.join(QStringLiteral(", ")), from,
             inDestination.join(QStringLiteral(" AND ")));
}

// A size of /proc/self/status in kB: "VmHWM:" (peak resident) or "VmRSS:" (resident now).
long statusKb(const QByteArray &field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly | QIODevice::Text))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(field.size()).trimmed().split(' ').value(0).toLong();
    return -1;
}

// Starts the peak (VmHWM) afresh at the current resident size; false where Linux does not
// allow it, and then the peak covers everything before as well.
bool resetPeak()
{
    QFile clearRefs(QStringLiteral("/proc/self/clear_refs"));
    return clearRefs.open(QIODevice::WriteOnly) && clearRefs.write("5") == 1;
}

struct EngineRun {
    QVector<double> seconds; // per table step
    long startKb = -1;       // resident at the start (memory kept from earlier runs)
    long peakKb = -1;
};

// Runs the worker as the main window does and returns the seconds each table step took
// and the peak resident memory of the process during the run.
EngineRun runEngine(const Options &o, KvtMerger::MeasurementCopy copy, const QString &destination,
                    MergeJournal *journal, bool keepReferences = false)
{
    KvtMerger merger;
    merger.setJournal(journal);
    if (o.readBack)
        merger.setJournalIds(KvtMerger::JournalIds::ReadBack);
    merger.setMeasurementCopy(copy);
    // The per-row run is the reference for the reference tables too.
    merger.setReferenceMerge(copy == KvtMerger::MeasurementCopy::PerRow ? KvtMerger::ReferenceMerge::PerRow
                                                                         : KvtMerger::ReferenceMerge::SetBased);
    merger.setKeepReferences(keepReferences);
    merger.setChunkSize(o.chunkRows, o.chunkBytes);
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
    QString error;
    QObject::connect(&merger, &KvtMerger::sendProgressBarCurrentValue, &gui,
                     [&](int value) { progress = value; }, Qt::QueuedConnection);
    QObject::connect(&merger, &KvtMerger::sqlErr, &gui,
                     [&](const QString &text, const QString &) { error = text; }, Qt::QueuedConnection);
    // A conflict is left out, as a standing choice of the operator would.
    merger.setStandingChoice(adrSkip);
    QObject::connect(&merger, &KvtMerger::differentRecordsInTbs, &gui, [&]() {
        merger.settleConflict(MergeReport::Decision::LeftOut, MergeReport::DecidedBy::StandingChoice);
        merger.resumeThread();
    }, Qt::QueuedConnection);
    QEventLoop loop;
    QObject::connect(&merger, &QThread::finished, &loop, &QEventLoop::quit, Qt::QueuedConnection);

    EngineRun run;
    resetPeak();
    run.startKb = statusKb("VmRSS:");
    merger.setStopFlag(false);
    merger.setCurrentDataBaseDestination(destination);
    merger.setDBList({srcDb});
    clock.start();
    merger.start();
    merger.setPriority(QThread::LowestPriority);
    loop.exec();
    merger.wait();

    run.peakKb = statusKb("VmHWM:");
    if (!error.isEmpty())
        fail(QStringLiteral("merge into %1 failed: %2").arg(destination, error));
    if (stepStarts.size() != tables.size())
        fail(QStringLiteral("the merge ran %1 table steps").arg(stepStarts.size()));
    for (int i = 0; i < stepStarts.size(); ++i) {
        const qint64 stepEnd = i + 1 < stepStarts.size() ? stepStarts.at(i + 1) : end;
        run.seconds << (stepEnd - stepStarts.at(i)) / 1e9;
    }
    // The mode runs the two measurement steps last: back to the order of `tables`.
    if (keepReferences)
        std::rotate(run.seconds.begin(), run.seconds.end() - 2, run.seconds.end());
    return run;
}

struct PreviewRun {
    double seconds = 0;
    QVector<qlonglong> toInsert; // per table
};

// The preview of the source into the destination, on the calling thread.
PreviewRun runPreview(const QString &destination)
{
    MergePreview preview;
    preview.setDestination(destination);
    preview.setSources({srcDb});
    QElapsedTimer clock;
    clock.start();
    preview.run();
    PreviewRun run;
    run.seconds = clock.nsecsElapsed() / 1e9;
    if (preview.report().status() != MergeReport::RunStatus::Preview)
        fail(QStringLiteral("preview of %1 failed: %2").arg(destination, preview.report().errors().join(' ')));
    for (const kvtTableName table : MergeReport::tableOrder())
        run.toInsert << preview.report().table(0, table).inserted;
    return run;
}

// The whole merge through the main window, start-up included, in seconds.
double runWindow(const Options &o, const QString &destination, bool keepReferences)
{
    WindowMerge merge;
    merge.host = o.server.host;
    merge.port = o.server.port;
    merge.user = o.server.user;
    merge.password = o.server.password;
    merge.sources = QStringList{srcDb};
    merge.destination = destination;
    merge.keepReferences = keepReferences;
    qint64 ms = 0;
    QString error;
    if (!merge.run(ms, error))
        fail(QStringLiteral("merge through the window into %1: %2").arg(destination, error));
    return ms / 1000.0;
}

QVector<double> runBaseline()
{
    QVector<double> seconds;
    exec(QStringLiteral("SET @maxId = (SELECT COALESCE(MAX(ID), 0) FROM %1.humans)").arg(baselineDb));
    for (const QString &table : tables) {
        QElapsedTimer timer;
        timer.start();
        exec(baselineStatement(table));
        seconds << timer.nsecsElapsed() / 1e9;
    }
    return seconds;
}

// defects and graphics by sameOutcomeStatement().
QVector<double> runSameOutcome()
{
    QVector<double> seconds;
    for (const QString &table : {QStringLiteral("defects"), QStringLiteral("graphics")}) {
        QElapsedTimer timer;
        timer.start();
        exec(sameOutcomeStatement(table));
        seconds << timer.nsecsElapsed() / 1e9;
    }
    return seconds;
}

// Puts every run on the same footing: the server has finished the background work of the
// previous run (the purge of the undo history its inserts left), and the pages the run
// reads, the source's and its destination's, are in the buffer pool. Otherwise whichever
// run comes first after the per-row one pays for reading them from disk.
void settleServer(const QString &destination)
{
    exec(QStringLiteral("SET GLOBAL innodb_max_purge_lag_wait = 0"));
    for (const QString &db : {srcDb, destination})
        for (const QString &table : {QStringLiteral("defects"), QStringLiteral("graphics")})
            exec(QStringLiteral("CHECKSUM TABLE %1.%2").arg(db, table));
}

QVector<qlonglong> rowCounts(const QString &db)
{
    QVector<qlonglong> counts;
    for (const QString &table : tables)
        counts << scalar(QStringLiteral("SELECT COUNT(*) FROM %1.%2").arg(db, table));
    return counts;
}

// Rows, and a checksum of their contents and their order (all columns but the ID, the
// rows numbered in ID order).
QString contents(const QString &db, const QString &table)
{
    const BaselineSql sql = baselineSqlOf(table);
    QStringList values{QStringLiteral("ROW_NUMBER() OVER (ORDER BY ID)")};
    for (const QString &column : sql.inserted)
        values << QStringLiteral("COALESCE(HEX(`%1`), 'NULL')").arg(column);
    QSqlQuery query;
    if (!query.exec(QStringLiteral("SELECT COUNT(*), SUM(c) FROM (SELECT CRC32(CONCAT_WS('|', %1)) c FROM %2.%3) x")
                        .arg(values.join(QStringLiteral(", ")), db, table))
        || !query.next())
        fail(query.lastError().text());
    return query.value(0).toString() + QLatin1Char('/') + query.value(1).toString();
}

QString rate(qlonglong rows, double seconds)
{
    return seconds > 0 ? QString::number(rows / seconds, 'f', 0) : QStringLiteral("-");
}

QString ratio(double numerator, double denominator)
{
    return denominator > 0 && numerator > 0 ? QString::number(numerator / denominator, 'f', 2)
                                            : QStringLiteral("-");
}

// One pass: the three ways into their destinations, and the figures per table.
void runPass(const Options &o, const QString &title, const QVector<qlonglong> &sourceRows, MergeJournal *journal)
{
    const QVector<qlonglong> before = rowCounts(fastDb);
    EngineRun perRow;
    if (o.perRow) {
        settleServer(perRowDb);
        perRow = runEngine(o, KvtMerger::MeasurementCopy::PerRow, perRowDb, journal);
    }
    settleServer(fastDb);
    const PreviewRun preview = runPreview(fastDb);
    settleServer(fastDb);
    const EngineRun fast = runEngine(o, KvtMerger::MeasurementCopy::SetBased, fastDb, journal);
    EngineRun bare; // without the journal
    if (journal) {
        settleServer(noJournalDb);
        bare = runEngine(o, KvtMerger::MeasurementCopy::SetBased, noJournalDb, nullptr);
    }
    EngineRun refs;
    if (o.keepReferences) {
        settleServer(refsDb);
        refs = runEngine(o, KvtMerger::MeasurementCopy::SetBased, refsDb, journal, true);
    }
    double window = 0;
    double windowRefs = 0;
    if (o.window) {
        settleServer(windowDb);
        window = runWindow(o, windowDb, false);
        if (o.keepReferences) {
            settleServer(windowRefsDb);
            windowRefs = runWindow(o, windowRefsDb, true);
        }
    }
    settleServer(baselineDb);
    const QVector<double> baseline = runBaseline();
    settleServer(sameOutcomeDb);
    const QVector<double> sameOutcome = runSameOutcome();
    const QVector<qlonglong> after = rowCounts(fastDb);
    const QVector<qlonglong> baselineAfter = rowCounts(baselineDb);
    const QVector<qlonglong> sameOutcomeAfter = rowCounts(sameOutcomeDb);

    out() << Qt::endl << title << Qt::endl;
    out() << QStringLiteral("%1 %2 %3 | %4 %5 | %6 %7 | %8 %9 | %10 %11")
                 .arg("table", -10).arg("src rows", 8).arg("inserted", 8)
                 .arg("per-row s", 9).arg("rows/s", 7).arg("fast s", 7).arg("rows/s", 8)
                 .arg("set s", 7).arg("rows/s", 8).arg("fast/set", 8).arg("fast/per-row", 12)
          << (o.keepReferences ? QStringLiteral(" | keeping s keeping/set") : QString()) << Qt::endl;
    for (int i = 0; i < tables.size(); ++i) {
        const double r = perRow.seconds.value(i);
        const double f = fast.seconds.at(i);
        const double b = baseline.at(i);
        const qlonglong rows = sourceRows.at(i);
        out() << QStringLiteral("%1 %2 %3 | %4 %5 | %6 %7 | %8 %9 | %10 %11")
                     .arg(tables.at(i), -10).arg(rows, 8).arg(after.at(i) - before.at(i), 8)
                     .arg(o.perRow ? QString::number(r, 'f', 3) : QStringLiteral("-"), 9)
                     .arg(o.perRow ? rate(rows, r) : QStringLiteral("-"), 7)
                     .arg(f, 7, 'f', 3).arg(rate(rows, f), 8)
                     .arg(b, 7, 'f', 3).arg(rate(rows, b), 8)
                     .arg(ratio(b, f), 8).arg(ratio(r, f), 12);
        if (o.keepReferences)
            out() << QStringLiteral(" | %1 %2").arg(refs.seconds.at(i), 9, 'f', 3).arg(ratio(b, refs.seconds.at(i)), 12);
        out() << Qt::endl;
        if (baselineAfter.at(i) != after.at(i))
            out() << "  note: " << tables.at(i) << ": the set-based statement leaves "
                  << baselineAfter.at(i) << " rows, the worker " << after.at(i)
                  << " (it copies equal rows of one source more than once)" << Qt::endl;
    }
    out() << "one statement leaving a source's own equal rows out, as the worker does: defects "
          << QString::number(sameOutcome.at(0), 'f', 3) << " s (the worker " << ratio(sameOutcome.at(0), fast.seconds.at(0))
          << " of it), graphics " << QString::number(sameOutcome.at(1), 'f', 3) << " s ("
          << ratio(sameOutcome.at(1), fast.seconds.at(1)) << "); the worker's rows: "
          << (sameOutcomeAfter.mid(0, 2) == after.mid(0, 2) ? "yes" : "NO") << Qt::endl;
    double merged = 0;
    for (const double seconds : fast.seconds)
        merged += seconds;
    // The seven reference tables together, and all nine, against the set-based statements.
    double referencePerRow = 0;
    double referenceFast = 0;
    double referenceSet = 0;
    double referenceRows = 0;
    double allSet = 0;
    for (int i = 0; i < tables.size(); ++i) {
        allSet += baseline.at(i);
        if (i >= 2) {
            referenceFast += fast.seconds.at(i);
            referenceSet += baseline.at(i);
            referenceRows += sourceRows.at(i);
            if (o.perRow)
                referencePerRow += perRow.seconds.at(i);
        }
    }
    out() << "reference tables: " << rate(qlonglong(referenceRows), referenceFast) << " rows/s, "
          << ratio(referenceSet, referenceFast) << " of the set-based statements";
    if (o.perRow)
        out() << ", per row " << rate(qlonglong(referenceRows), referencePerRow) << " rows/s";
    out() << "; whole merge " << ratio(allSet, merged) << " of the set-based statements" << Qt::endl;
    if (o.window) {
        out() << "through the window (start-up included): " << QString::number(window, 'f', 3) << " s, "
              << ratio(allSet, window) << " of the set-based statements";
        if (o.keepReferences)
            out() << "; keeping references " << QString::number(windowRefs, 'f', 3) << " s, "
                  << ratio(allSet, windowRefs);
        out() << Qt::endl;
    }
    bool foreseen = true;
    for (int i = 0; i < tables.size(); ++i)
        foreseen = foreseen && preview.toInsert.at(i) == after.at(i) - before.at(i);
    out() << "preview " << QString::number(preview.seconds, 'f', 3) << " s, set-based merge "
          << QString::number(merged, 'f', 3) << " s: preview/merge " << ratio(preview.seconds, merged)
          << "; rows to insert as the merge inserted them: " << (foreseen ? "yes" : "NO") << Qt::endl;
    const auto memory = [](const EngineRun &run) {
        return QStringLiteral("%1 MB (%2 MB resident at its start)")
            .arg(run.peakKb / 1024.0, 0, 'f', 1)
            .arg(run.startKb / 1024.0, 0, 'f', 1);
    };
    out() << "peak resident memory (VmHWM) of the worker run: ";
    if (o.perRow)
        out() << "per row " << memory(perRow) << ", ";
    out() << "set-based " << memory(fast);
    if (o.keepReferences)
        out() << ", keeping references " << memory(refs);
    out() << Qt::endl;
    if (journal) {
        double without = 0;
        for (const double seconds : bare.seconds)
            without += seconds;
        out() << "the journal's cost (time without it / with it, set-based, plain): defects "
              << ratio(bare.seconds.at(0), fast.seconds.at(0)) << ", graphics "
              << ratio(bare.seconds.at(1), fast.seconds.at(1)) << ", whole merge " << ratio(without, merged)
              << "; without the journal against the set-based statements: defects "
              << ratio(baseline.at(0), bare.seconds.at(0)) << ", graphics " << ratio(baseline.at(1), bare.seconds.at(1))
              << ", whole merge " << ratio(allSet, without) << Qt::endl;
    }
    if (o.keepReferences) {
        double kept = 0;
        for (int i = 0; i < tables.size(); ++i)
            kept += refs.seconds.at(i);
        out() << "keeping references consistent (set-based): defects " << rate(sourceRows.at(0), refs.seconds.at(0))
              << " rows/s (" << ratio(baseline.at(0), refs.seconds.at(0)) << " of the set-based statement, "
              << ratio(fast.seconds.at(0), refs.seconds.at(0)) << " of plain), graphics "
              << rate(sourceRows.at(1), refs.seconds.at(1)) << " rows/s (" << ratio(baseline.at(1), refs.seconds.at(1))
              << ", " << ratio(fast.seconds.at(1), refs.seconds.at(1)) << "), whole merge "
              << ratio(allSet, kept) << " of the set-based statements, " << ratio(merged, kept) << " of plain"
              << Qt::endl;
    }
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
    const QCommandLineOption preloaded("preloaded", "Percent already in the destination.", "PCT", "0");
    const QCommandLineOption chunkRows("chunk-rows", "Rows of one set-based chunk.", "N",
                                       QString::number(KvtMerger::defaultChunkRows));
    const QCommandLineOption chunkBytes("chunk-bytes", "Signal bytes of one set-based chunk.", "N",
                                        QString::number(KvtMerger::defaultChunkBytes));
    const QCommandLineOption noPerRow("no-per-row", "Leave out the per-row worker run.");
    const QCommandLineOption plainOnly("plain-only", "Leave out the worker run keeping references consistent.");
    const QCommandLineOption resolving("resolving", "Data whose references all resolve in the destination.");
    const QCommandLineOption noJournal("no-journal", "Run the worker without a merge journal.");
    const QCommandLineOption readBack("read-back", "Name a chunk's rows by reading them back, not by RETURNING.");
    const QCommandLineOption counterStep("counter-step", "auto_increment_increment of the server (a private one).",
                                         "N", "1");
    const QCommandLineOption cluster("cluster", "Merge into a three-node Galera cluster, through node 1.");
    const QCommandLineOption env("env", "Use the server of this env file instead of a private one.", "FILE");
    const QCommandLineOption keep("keep", "Keep the benchmark databases.");
    const QCommandLineOption window("window", "Also merge through the main window, as the operator does.");
    const QCommandLineOption heavy("reference-heavy", "2,000 keys per reference table, 20,000 defects, half present.");
    parser.addOptions({heavy, defects, graphics, bytes, refs, preloaded, chunkRows, chunkBytes, noPerRow, plainOnly,
                       resolving, noJournal, readBack, counterStep, cluster, env, keep, window});
    parser.process(app);
    Options o;
    const bool referenceHeavy = parser.isSet(heavy);
    const auto valueOf = [&](const QCommandLineOption &option, const QString &heavyValue) {
        return referenceHeavy && !parser.isSet(option) ? heavyValue : parser.value(option);
    };
    o.defects = valueOf(defects, QStringLiteral("20000")).toInt();
    o.graphics = valueOf(graphics, QStringLiteral("0")).toInt();
    o.graphicBytes = parser.value(bytes).toInt();
    o.refs = qMax(1, valueOf(refs, QStringLiteral("2000")).toInt());
    o.preloadedPct = qBound(0, valueOf(preloaded, QStringLiteral("50")).toInt(), 100);
    o.chunkRows = qMax(1, parser.value(chunkRows).toInt());
    o.chunkBytes = qMax<qint64>(1, parser.value(chunkBytes).toLongLong());
    o.perRow = !parser.isSet(noPerRow);
    o.keepReferences = !parser.isSet(plainOnly);
    o.resolving = parser.isSet(resolving);
    o.journal = !parser.isSet(noJournal);
    o.readBack = parser.isSet(readBack);
    o.counterStep = qMax(1, parser.value(counterStep).toInt());
    o.cluster = parser.isSet(cluster);
    o.envFile = parser.value(env);
    o.keep = parser.isSet(keep);
    o.window = parser.isSet(window);
    return o;
}

} // namespace

// The window needs a QApplication, made before the options are read; offscreen, and with
// its settings and journal in a home of its own.
std::unique_ptr<QCoreApplication> makeApplication(int &argc, char *argv[], QTemporaryDir &home)
{
    for (int i = 1; i < argc; ++i)
        if (qstrcmp(argv[i], "--window") == 0) {
            if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
                qputenv("QT_QPA_PLATFORM", "offscreen");
            qputenv("XDG_DATA_HOME", home.filePath(QStringLiteral("data")).toLocal8Bit());
            qputenv("XDG_CONFIG_HOME", home.filePath(QStringLiteral("config")).toLocal8Bit());
            return std::unique_ptr<QCoreApplication>(new QApplication(argc, argv));
        }
    return std::unique_ptr<QCoreApplication>(new QCoreApplication(argc, argv));
}

int main(int argc, char *argv[])
{
    QTemporaryDir home;
    const std::unique_ptr<QCoreApplication> app = makeApplication(argc, argv, home);
    Options o = parseOptions(*app);
    // The worker's progress lines would go to standard error among the figures.
    PLogger::ensureInstance()->setLoggingLevel(PLogger::WarnLevel);

    QTemporaryDir serverDir;
    const bool ownServer = o.envFile.isEmpty();
    const QString envFile = ownServer ? runServerScript(o.cluster, QStringLiteral("start"), serverDir.path())
                                      : o.envFile;
    o.server = readEnvFile(envFile);
    openDefaultConnection(o.server);
    if (o.counterStep > 1) {
        if (!ownServer)
            fail(QStringLiteral("--counter-step changes the server's counters for everybody: only on a private server"));
        // The worker's own connections are new sessions and take the global values.
        for (const QString &scope : {QStringLiteral("GLOBAL"), QStringLiteral("SESSION")})
            exec(QStringLiteral("SET %1 auto_increment_increment = %2, auto_increment_offset = 2")
                     .arg(scope)
                     .arg(o.counterStep));
    }
    QTemporaryDir journalDir;
    std::unique_ptr<MergeJournal> journal;
    if (o.journal)
        journal.reset(new MergeJournal(journalDir.filePath(QStringLiteral("journal.sqlite"))));

    QElapsedTimer setup;
    setup.start();
    fillSource(o);
    QStringList destinations{perRowDb, fastDb, baselineDb, sameOutcomeDb, refsDb, noJournalDb};
    if (o.window)
        destinations << windowDb << windowRefsDb;
    for (const QString &db : qAsConst(destinations))
        preloadDestination(o, db);
    out() << (o.cluster ? "three-node Galera cluster, through node 1; " : "") << "source: " << o.defects << " defects, " << o.graphics << " graphics of "
          << o.graphicBytes << " bytes, " << o.refs << " keys per reference table; "
          << o.preloadedPct << "% already in the destination; chunks of " << o.chunkRows
          << " rows / " << o.chunkBytes << " signal bytes (set up in " << setup.elapsed() / 1000.0
          << " s)" << Qt::endl;
    out() << (o.journal ? "with a merge journal" : "without a merge journal")
          << (o.readBack ? " (rows read back)" : "") << "; "
          << (o.resolving ? "every reference resolves" : "rows name records of other content in the destination")
          << "; counters step by " << o.counterStep << Qt::endl;
    const QVector<qlonglong> sourceRows = rowCounts(srcDb);

    runPass(o, o.preloadedPct == 0 ? QStringLiteral("Into an empty destination")
                                   : QStringLiteral("Into a destination holding %1% of the source").arg(o.preloadedPct),
            sourceRows, journal.get());
    runPass(o, QStringLiteral("The same merge again: into a full destination"), sourceRows, journal.get());

    if (o.perRow) {
        bool same = true;
        for (const QString &table : {QStringLiteral("defects"), QStringLiteral("graphics")})
            same = same && contents(perRowDb, table) == contents(fastDb, table);
        out() << Qt::endl << "per-row and set-based destinations hold the same defects and graphics "
              << "in the same ID order: " << (same ? "yes" : "NO") << Qt::endl;
    }

    if (!o.keep)
        for (const QString &db : QStringList{srcDb} + destinations)
            exec(QStringLiteral("DROP DATABASE IF EXISTS ") + db);
    QSqlDatabase::database().close();
    if (ownServer)
        runServerScript(o.cluster, QStringLiteral("stop"), serverDir.path());
    return 0;
}
