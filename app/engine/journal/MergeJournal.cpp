#include "MergeJournal.h"

#include "KvtConnection.h"
#include "KvtPaths.h"
#include "KvtTables.h"

#include <QDir>
#include <QFileInfo>
#include <QMutexLocker>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>
#include <QVariant>

namespace {

const QString sqliteDriver = QStringLiteral("QSQLITE");

QString tableText(kvtTableName table)
{
    return KvtTable::of(table).name;
}

kvtTableName tableOf(const QString &name)
{
    const KvtTable *t = KvtTable::find(name);
    return t ? t->id : tnDefects;
}

QString timeText(const QDateTime &time)
{
    return time.toUTC().toString(Qt::ISODate);
}

QString currentUser()
{
    const QString user = qEnvironmentVariable("USER");
    return user.isEmpty() ? qEnvironmentVariable("LOGNAME") : user;
}

// The journal's format, one step per version (PRAGMA user_version): step k takes a file of
// version k - 1 to version k, in the transaction that sets the version. A file of a version
// newer than the last step was written by a newer program and is not opened. Files from
// before the versions (version 0) already hold step 1's tables; its statements leave them.
// A change of format is a new step at the end; a step once released never changes.
const QVector<QStringList> &migrations()
{
    static const QVector<QStringList> steps{
        // 1: runs, chunks of the set-based copy and entries.
        {
            QStringLiteral("CREATE TABLE IF NOT EXISTS runs (id INTEGER PRIMARY KEY AUTOINCREMENT, server TEXT NOT NULL,"
                           " destination TEXT NOT NULL, sources TEXT NOT NULL, started TEXT NOT NULL, ended TEXT,"
                           " status TEXT NOT NULL, keep_references INTEGER NOT NULL, copy_variant TEXT, report_file TEXT,"
                           " undo_status TEXT, user TEXT)"),
            QStringLiteral("CREATE INDEX IF NOT EXISTS runs_server ON runs (server, destination)"),
            QStringLiteral("CREATE TABLE IF NOT EXISTS chunks (id INTEGER PRIMARY KEY AUTOINCREMENT, run INTEGER NOT NULL,"
                           " tbl TEXT NOT NULL, max_before INTEGER NOT NULL, done INTEGER NOT NULL DEFAULT 0)"),
            QStringLiteral("CREATE INDEX IF NOT EXISTS chunks_run ON chunks (run)"),
            QStringLiteral("CREATE TABLE IF NOT EXISTS entries (id INTEGER PRIMARY KEY AUTOINCREMENT, run INTEGER NOT NULL,"
                           " tbl TEXT NOT NULL, kind INTEGER NOT NULL, ident INTEGER, fingerprint TEXT NOT NULL, before TEXT,"
                           " source TEXT, source_key TEXT, chunk INTEGER, undone INTEGER NOT NULL DEFAULT 0)"),
            QStringLiteral("CREATE INDEX IF NOT EXISTS entries_run ON entries (run, tbl)"),
            QStringLiteral("CREATE INDEX IF NOT EXISTS entries_ident ON entries (tbl, ident)"),
            QStringLiteral("CREATE INDEX IF NOT EXISTS entries_chunk ON entries (chunk)"),
        },
        // 2: the kind of fingerprint a run was journaled with (KvtRowFingerprint::Kind).
        {
            QStringLiteral("ALTER TABLE runs ADD COLUMN fingerprint_kind INTEGER NOT NULL DEFAULT 0"),
        },
        // 3: a replaced record's content before, one row per column whose value keeps its
        // own type (a column without a declared type keeps NULL, integer, real, text and
        // bytes apart). Earlier files kept it as JSON, which has no NULL in them: a NULL
        // text was written as "" and a NULL number as 0, and they are carried over so.
        // And each destination table's largest identifier when a run began: the rows up to
        // it are the state before the run.
        {
            QStringLiteral("CREATE TABLE IF NOT EXISTS replaced_values (entry INTEGER NOT NULL, name TEXT NOT NULL,"
                           " value, PRIMARY KEY (entry, name))"),
            QStringLiteral("INSERT INTO replaced_values (entry, name, value) SELECT e.id, j.key, j.value"
                           " FROM entries e, json_each(e.before) j WHERE e.before IS NOT NULL"),
            QStringLiteral("UPDATE entries SET before = NULL WHERE before IS NOT NULL"),
            QStringLiteral("CREATE TABLE IF NOT EXISTS run_tables (run INTEGER NOT NULL, tbl TEXT NOT NULL,"
                           " largest_id INTEGER NOT NULL, PRIMARY KEY (run, tbl))"),
        },
    };
    return steps;
}

} // namespace

MergeJournal::MergeJournal(const QString &file)
    : m_file(file.isEmpty() ? KvtPaths::journalFile() : file)
    , m_prefix(QStringLiteral("kvt-journal-%1-").arg(reinterpret_cast<quintptr>(this), 0, 16))
{
}

MergeJournal::~MergeJournal()
{
    QMutexLocker locker(&m_mutex);
    for (const QString &name : qAsConst(m_connections)) {
        QSqlDatabase::database(name, false).close();
        QSqlDatabase::removeDatabase(name);
    }
}

QString MergeJournal::serverOf(const QSqlDatabase &db)
{
    return kvtServerName(db);
}

QString MergeJournal::lastError() const
{
    QMutexLocker locker(&m_mutex);
    return m_lastError;
}

bool MergeJournal::fail(const QString &text)
{
    QMutexLocker locker(&m_mutex);
    m_lastError = text;
    return false;
}

// One connection per thread: Qt's connections belong to the thread that opened them.
QSqlDatabase MergeJournal::connection()
{
    const QString name = m_prefix + QString::number(reinterpret_cast<quintptr>(QThread::currentThread()), 16);
    if (QSqlDatabase::contains(name))
        return QSqlDatabase::database(name, false);
    QSqlDatabase db = QSqlDatabase::addDatabase(sqliteDriver, name);
    db.setDatabaseName(m_file);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(busyTimeoutMs));
    {
        QMutexLocker locker(&m_mutex);
        m_connections << name;
    }
    if (db.open()) {
        QSqlQuery pragma(db);
        pragma.exec(QStringLiteral("PRAGMA journal_mode=DELETE"));
        pragma.exec(QStringLiteral("PRAGMA foreign_keys=ON"));
    }
    return db;
}

void MergeJournal::releaseConnection()
{
    const QString name = m_prefix + QString::number(reinterpret_cast<quintptr>(QThread::currentThread()), 16);
    if (!QSqlDatabase::contains(name))
        return;
    QSqlDatabase::database(name, false).close();
    QSqlDatabase::removeDatabase(name);
    QMutexLocker locker(&m_mutex);
    m_connections.removeAll(name);
}

bool MergeJournal::open()
{
    if (!QSqlDatabase::isDriverAvailable(sqliteDriver))
        return fail(QStringLiteral("Qt's SQLite driver (QSQLITE) is not installed"));
    if (!QDir().mkpath(QFileInfo(m_file).absolutePath()))
        return fail(QStringLiteral("Cannot create the folder of %1").arg(m_file));
    const QSqlDatabase db = connection();
    if (!db.isOpen())
        return fail(QStringLiteral("%1: %2").arg(m_file, db.lastError().text()));
    return migrate();
}

int MergeJournal::formatVersion()
{
    return int(migrations().size());
}

// Each step runs in an immediate transaction that reads the version again: of two programs
// opening an old file at once, the second finds it migrated.
bool MergeJournal::migrate()
{
    QSqlDatabase db = connection();
    QSqlQuery query(db);
    const auto failed = [&](const QSqlQuery &q) {
        const QString error = q.lastError().text();
        query.exec(QStringLiteral("ROLLBACK"));
        return fail(QStringLiteral("%1: %2").arg(m_file, error));
    };
    const auto version = [&](int &v) {
        if (!query.exec(QStringLiteral("PRAGMA user_version")) || !query.next())
            return false;
        v = query.value(0).toInt();
        query.finish();
        return true;
    };
    int current = 0;
    if (!version(current))
        return failed(query);
    while (current < formatVersion()) {
        if (!query.exec(QStringLiteral("BEGIN IMMEDIATE")))
            return failed(query);
        if (!version(current))
            return failed(query);
        if (current >= formatVersion()) {
            query.exec(QStringLiteral("ROLLBACK"));
            break;
        }
        for (const QString &statement : migrations().at(current))
            if (!query.exec(statement))
                return failed(query);
        if (!query.exec(QStringLiteral("PRAGMA user_version = %1").arg(current + 1))
            || !query.exec(QStringLiteral("COMMIT")))
            return failed(query);
        ++current;
    }
    if (current > formatVersion())
        return fail(QStringLiteral("%1 was written by a newer kvtmerge (journal format %2; this one reads up to %3)")
                        .arg(m_file)
                        .arg(current)
                        .arg(formatVersion()));
    return true;
}

bool MergeJournal::exec(const QString &statement, const QVariantList &values)
{
    QSqlQuery query(connection());
    if (!query.prepare(statement))
        return fail(QStringLiteral("%1: %2").arg(m_file, query.lastError().text()));
    for (const QVariant &v : values)
        query.addBindValue(v);
    if (!query.exec())
        return fail(QStringLiteral("%1: %2").arg(m_file, query.lastError().text()));
    return true;
}

// ---------------------------------------------------------------- runs

bool MergeJournal::startRun(const QString &server, const QString &destination, const QStringList &sources,
                            bool keepReferences, const QString &copyVariant, qlonglong &run,
                            KvtRowFingerprint::Kind fingerprintKind)
{
    QSqlQuery query(connection());
    query.prepare(QStringLiteral("INSERT INTO runs (server, destination, sources, started, status,"
                                 " keep_references, copy_variant, user, fingerprint_kind)"
                                 " VALUES (?, ?, ?, ?, 'running', ?, ?, ?, ?)"));
    query.addBindValue(server);
    query.addBindValue(destination);
    query.addBindValue(sources.join(QLatin1Char('\n')));
    query.addBindValue(timeText(QDateTime::currentDateTime()));
    query.addBindValue(keepReferences ? 1 : 0);
    query.addBindValue(copyVariant);
    query.addBindValue(currentUser());
    query.addBindValue(int(fingerprintKind));
    if (!query.exec())
        return fail(QStringLiteral("%1: %2").arg(m_file, query.lastError().text()));
    run = query.lastInsertId().toLongLong();
    return true;
}

bool MergeJournal::finishRun(qlonglong run, const QString &status)
{
    return exec(QStringLiteral("UPDATE runs SET ended = ?, status = ? WHERE id = ?"),
                {timeText(QDateTime::currentDateTime()), status, run});
}

bool MergeJournal::setReportFile(qlonglong run, const QString &file)
{
    return exec(QStringLiteral("UPDATE runs SET report_file = ? WHERE id = ?"), {file, run});
}

bool MergeJournal::setUndoStatus(qlonglong run, const QString &status)
{
    return exec(QStringLiteral("UPDATE runs SET undo_status = ? WHERE id = ?"), {status, run});
}

namespace {

const QString runColumns = QStringLiteral(
    "id, server, destination, sources, started, ended, status, keep_references, copy_variant, report_file,"
    " undo_status, user, fingerprint_kind");

MergeJournal::Run runOf(const QSqlQuery &q)
{
    MergeJournal::Run r;
    r.id = q.value(0).toLongLong();
    r.server = q.value(1).toString();
    r.destination = q.value(2).toString();
    r.sources = q.value(3).toString().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    r.started = QDateTime::fromString(q.value(4).toString(), Qt::ISODate);
    r.ended = QDateTime::fromString(q.value(5).toString(), Qt::ISODate);
    r.status = q.value(6).toString();
    r.keepReferences = q.value(7).toInt() != 0;
    r.copyVariant = q.value(8).toString();
    r.reportFile = q.value(9).toString();
    r.undoStatus = q.value(10).toString();
    r.user = q.value(11).toString();
    r.fingerprintKind = KvtRowFingerprint::Kind(q.value(12).toInt());
    return r;
}

} // namespace

bool MergeJournal::runs(const QString &server, QVector<Run> &runs, const QString &destination)
{
    runs.clear();
    QSqlQuery query(connection());
    query.prepare(QStringLiteral("SELECT ") + runColumns
                  + QStringLiteral(" FROM runs WHERE server = ? AND (? = '' OR destination = ?) ORDER BY id DESC"));
    const QString wanted = destination.isNull() ? QStringLiteral("") : destination;
    query.addBindValue(server);
    query.addBindValue(wanted);
    query.addBindValue(wanted);
    if (!query.exec())
        return fail(QStringLiteral("%1: %2").arg(m_file, query.lastError().text()));
    while (query.next())
        runs << runOf(query);
    return true;
}

bool MergeJournal::run(qlonglong id, Run &run)
{
    QSqlQuery query(connection());
    query.prepare(QStringLiteral("SELECT ") + runColumns + QStringLiteral(" FROM runs WHERE id = ?"));
    query.addBindValue(id);
    if (!query.exec())
        return fail(QStringLiteral("%1: %2").arg(m_file, query.lastError().text()));
    if (!query.next()) {
        fail(QString());
        return false;
    }
    run = runOf(query);
    return true;
}

// ---------------------------------------------------------------- entries

namespace {

// An entry of a run: an intended row (identifier NULL), or a row with its identifier.
const QString insertRow =
    QStringLiteral("INSERT INTO entries (run, tbl, kind, ident, fingerprint, chunk) VALUES (?, ?, ?, ?, ?, ?)");

} // namespace

// The values of insertRow for rows of one kind; chunk 0: none.
QVector<QVariantList> MergeJournal::entryValues(qlonglong run, kvtTableName table, Kind kind,
                                                const QVector<Row> &rows, qlonglong chunk)
{
    const QVariant nullId(QVariant::LongLong);
    QVector<QVariantList> values;
    values.reserve(rows.size());
    for (const Row &row : rows)
        values << QVariantList{run, tableText(table), int(kind),
                               kind == Kind::Intended ? nullId : QVariant(row.id), row.fingerprint,
                               chunk == 0 ? nullId : QVariant(chunk)};
    return values;
}

bool MergeJournal::begin(QSqlDatabase &db)
{
    return db.transaction() || fail(QStringLiteral("%1: %2").arg(m_file, db.lastError().text()));
}

// Runs the statement once per row of values; false at the first failure (query holds it).
bool MergeJournal::execEach(QSqlQuery &query, const QString &statement, const QVector<QVariantList> &rows)
{
    if (!query.prepare(statement))
        return false;
    for (const QVariantList &values : rows) {
        for (const QVariant &value : values)
            query.addBindValue(value);
        if (!query.exec())
            return false;
    }
    return true;
}

// Commits the transaction begun by begin() when everything went, else rolls it back: a
// journal write is whole or not there.
bool MergeJournal::end(QSqlDatabase &db, const QSqlQuery &query, bool ok)
{
    if (!ok) {
        const QString error = query.lastError().text();
        db.rollback();
        return fail(QStringLiteral("%1: %2").arg(m_file, error));
    }
    return db.commit() || fail(QStringLiteral("%1: %2").arg(m_file, db.lastError().text()));
}

bool MergeJournal::recordRows(qlonglong run, kvtTableName table, const QVector<Row> &rows, Kind kind)
{
    QSqlDatabase db = connection();
    if (!begin(db))
        return false;
    QSqlQuery query(db);
    return end(db, query, execEach(query, insertRow, entryValues(run, table, kind, rows, 0)));
}

bool MergeJournal::recordReplaced(qlonglong run, kvtTableName table, qlonglong id, const QVariantMap &before,
                                  const QString &fingerprintAfter)
{
    QSqlDatabase db = connection();
    if (!begin(db))
        return false;
    QSqlQuery query(db);
    bool ok = execEach(query, QStringLiteral("INSERT INTO entries (run, tbl, kind, ident, fingerprint) VALUES (?, ?, ?, ?, ?)"),
                       {{run, tableText(table), int(Kind::Replaced), id, fingerprintAfter}});
    const qlonglong entry = query.lastInsertId().toLongLong();
    QVector<QVariantList> values;
    for (auto it = before.constBegin(); it != before.constEnd(); ++it)
        values << QVariantList{entry, it.key(), it.value()};
    return end(db, query,
               ok && execEach(query, QStringLiteral("INSERT INTO replaced_values (entry, name, value) VALUES (?, ?, ?)"),
                              values));
}

bool MergeJournal::recordAddedNewKey(qlonglong run, kvtTableName table, qlonglong id, const QString &fingerprint,
                                     const QString &source, const QString &sourceKey)
{
    return exec(QStringLiteral("INSERT INTO entries (run, tbl, kind, ident, fingerprint, source, source_key)"
                               " VALUES (?, ?, ?, ?, ?, ?, ?)"),
                {run, tableText(table), int(Kind::AddedNewKey), id, fingerprint, source, sourceKey});
}

bool MergeJournal::beginChunk(qlonglong run, kvtTableName table, qlonglong maxBefore,
                              const QStringList &fingerprints, qlonglong &chunk)
{
    QSqlDatabase db = connection();
    if (!begin(db))
        return false;
    QSqlQuery query(db);
    bool ok = execEach(query, QStringLiteral("INSERT INTO chunks (run, tbl, max_before) VALUES (?, ?, ?)"),
                       {{run, tableText(table), maxBefore}});
    chunk = query.lastInsertId().toLongLong();
    QVector<Row> intended;
    intended.reserve(fingerprints.size());
    for (const QString &fingerprint : fingerprints)
        intended << Row{0, fingerprint};
    return end(db, query, ok && execEach(query, insertRow, entryValues(run, table, Kind::Intended, intended, chunk)));
}

// The intent is replaced by the rows in one transaction: a chunk is either open (intent
// only) or closed (rows only).
bool MergeJournal::endChunk(qlonglong run, qlonglong chunk, kvtTableName table, const QVector<Row> &rows)
{
    QSqlDatabase db = connection();
    if (!begin(db))
        return false;
    QSqlQuery query(db);
    const bool ok = query.exec(QStringLiteral("DELETE FROM entries WHERE chunk = %1 AND kind = %2")
                                   .arg(chunk)
                                   .arg(int(Kind::Intended)))
                    && query.exec(QStringLiteral("UPDATE chunks SET done = 1 WHERE id = %1").arg(chunk))
                    && execEach(query, insertRow, entryValues(run, table, Kind::Inserted, rows, chunk));
    return end(db, query, ok);
}

bool MergeJournal::recordChunk(qlonglong run, kvtTableName table, const QVector<Row> &rows, qlonglong &chunk)
{
    QSqlDatabase db = connection();
    if (!begin(db))
        return false;
    QSqlQuery query(db);
    bool ok = execEach(query, QStringLiteral("INSERT INTO chunks (run, tbl, max_before, done) VALUES (?, ?, 0, 1)"),
                       {{run, tableText(table)}});
    chunk = query.lastInsertId().toLongLong();
    return end(db, query, ok && execEach(query, insertRow, entryValues(run, table, Kind::Inserted, rows, chunk)));
}

bool MergeJournal::chunkCommitFailed(qlonglong chunk)
{
    return exec(QStringLiteral("UPDATE entries SET undone = 1 WHERE chunk = ?"), {chunk});
}

bool MergeJournal::entries(qlonglong run, QVector<Entry> &entries)
{
    entries.clear();
    QSqlQuery query(connection());
    query.prepare(QStringLiteral("SELECT id, tbl, kind, ident, fingerprint, source, source_key, chunk"
                                 " FROM entries WHERE run = ? AND kind <> ? AND undone = 0 ORDER BY id"));
    query.addBindValue(run);
    query.addBindValue(int(Kind::Intended));
    if (!query.exec())
        return fail(QStringLiteral("%1: %2").arg(m_file, query.lastError().text()));
    while (query.next()) {
        Entry e;
        e.entry = query.value(0).toLongLong();
        e.run = run;
        e.table = tableOf(query.value(1).toString());
        e.kind = Kind(query.value(2).toInt());
        e.id = query.value(3).toLongLong();
        e.fingerprint = query.value(4).toString();
        e.source = query.value(5).toString();
        e.sourceKey = query.value(6).toString();
        e.chunk = query.value(7).toLongLong();
        entries << e;
    }
    QHash<qlonglong, QVariantMap> before;
    QSqlQuery values(connection());
    values.prepare(QStringLiteral("SELECT v.entry, v.name, v.value FROM replaced_values v JOIN entries e ON e.id = v.entry"
                                  " WHERE e.run = ? AND e.undone = 0"));
    values.addBindValue(run);
    if (!values.exec())
        return fail(QStringLiteral("%1: %2").arg(m_file, values.lastError().text()));
    while (values.next())
        before[values.value(0).toLongLong()].insert(values.value(1).toString(), values.value(2));
    for (Entry &e : entries)
        e.before = before.value(e.entry);
    return true;
}

bool MergeJournal::recordLargestIds(qlonglong run, const QHash<QString, qlonglong> &largest)
{
    QSqlDatabase db = connection();
    if (!begin(db))
        return false;
    QVector<QVariantList> values;
    for (auto it = largest.constBegin(); it != largest.constEnd(); ++it)
        values << QVariantList{run, it.key(), it.value()};
    QSqlQuery query(db);
    return end(db, query,
               execEach(query, QStringLiteral("INSERT INTO run_tables (run, tbl, largest_id) VALUES (?, ?, ?)"), values));
}

bool MergeJournal::largestIds(qlonglong run, QHash<QString, qlonglong> &largest)
{
    largest.clear();
    QSqlQuery query(connection());
    query.prepare(QStringLiteral("SELECT tbl, largest_id FROM run_tables WHERE run = ?"));
    query.addBindValue(run);
    if (!query.exec())
        return fail(QStringLiteral("%1: %2").arg(m_file, query.lastError().text()));
    while (query.next())
        largest.insert(query.value(0).toString(), query.value(1).toLongLong());
    return true;
}

bool MergeJournal::openChunks(qlonglong run, QVector<Chunk> &chunks)
{
    chunks.clear();
    QSqlQuery query(connection());
    query.prepare(QStringLiteral("SELECT id, tbl, max_before FROM chunks WHERE run = ? AND done = 0 ORDER BY id"));
    query.addBindValue(run);
    if (!query.exec())
        return fail(QStringLiteral("%1: %2").arg(m_file, query.lastError().text()));
    while (query.next())
        chunks << Chunk{query.value(0).toLongLong(), tableOf(query.value(1).toString()),
                        query.value(2).toLongLong(), {}};
    QSqlQuery prints(connection());
    prints.prepare(QStringLiteral("SELECT fingerprint FROM entries WHERE chunk = ? AND kind = ?"));
    for (Chunk &c : chunks) {
        prints.addBindValue(c.chunk);
        prints.addBindValue(int(Kind::Intended));
        if (!prints.exec())
            return fail(QStringLiteral("%1: %2").arg(m_file, prints.lastError().text()));
        while (prints.next())
            c.fingerprints << prints.value(0).toString();
    }
    return true;
}

bool MergeJournal::idsOfOtherRuns(qlonglong run, kvtTableName table, bool laterOnly,
                                  QHash<qlonglong, qlonglong> &runOfId)
{
    runOfId.clear();
    QSqlQuery query(connection());
    query.prepare(QStringLiteral(
        "SELECT e.ident, e.run FROM entries e JOIN runs r ON r.id = e.run JOIN runs mine ON mine.id = ?"
        " WHERE e.tbl = ? AND e.kind <> ? AND e.undone = 0 AND e.run <> mine.id"
        " AND r.server = mine.server AND r.destination = mine.destination AND (? = 0 OR e.run > mine.id)"));
    query.addBindValue(run);
    query.addBindValue(tableText(table));
    query.addBindValue(int(Kind::Intended));
    query.addBindValue(laterOnly ? 1 : 0);
    if (!query.exec())
        return fail(QStringLiteral("%1: %2").arg(m_file, query.lastError().text()));
    while (query.next())
        runOfId.insert(query.value(0).toLongLong(), query.value(1).toLongLong());
    return true;
}

bool MergeJournal::markUndone(const QVector<qlonglong> &entries)
{
    QSqlDatabase db = connection();
    if (!begin(db))
        return false;
    QVector<QVariantList> values;
    values.reserve(entries.size());
    for (const qlonglong e : entries)
        values << QVariantList{e};
    QSqlQuery query(db);
    return end(db, query, execEach(query, QStringLiteral("UPDATE entries SET undone = 1 WHERE id = ?"), values));
}

bool MergeJournal::closeChunks(const QVector<qlonglong> &chunks)
{
    for (const qlonglong c : chunks)
        if (!exec(QStringLiteral("UPDATE chunks SET done = 1 WHERE id = ?"), {c})
            || !exec(QStringLiteral("DELETE FROM entries WHERE chunk = ? AND kind = ?"), {c, int(Kind::Intended)}))
            return false;
    return true;
}

bool MergeJournal::addedUnderNewKey(const QString &server, const QString &destination, kvtTableName table,
                                    const QString &source, const QString &sourceKey, QVector<qlonglong> &ids)
{
    ids.clear();
    QSqlQuery query(connection());
    query.prepare(QStringLiteral("SELECT e.ident FROM entries e JOIN runs r ON r.id = e.run"
                                 " WHERE r.server = ? AND r.destination = ? AND e.tbl = ? AND e.kind = ?"
                                 " AND e.source = ? AND e.source_key = ? AND e.undone = 0 ORDER BY e.id DESC"));
    query.addBindValue(server);
    query.addBindValue(destination);
    query.addBindValue(tableText(table));
    query.addBindValue(int(Kind::AddedNewKey));
    query.addBindValue(source);
    query.addBindValue(sourceKey);
    if (!query.exec())
        return fail(QStringLiteral("%1: %2").arg(m_file, query.lastError().text()));
    while (query.next())
        ids << query.value(0).toLongLong();
    return true;
}
