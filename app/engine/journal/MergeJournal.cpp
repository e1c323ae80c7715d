#include "MergeJournal.h"

#include "JournalPacking.h"
#include "KvtConnection.h"
#include "KvtPaths.h"
#include "KvtTables.h"
#include "PSqlNull.h"

#include <QDir>
#include <QFileInfo>
#include <QMap>
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
        // 4: the rows of one write in one record of chunks: identifiers as runs, fingerprints
        //    packed (JournalPacking), the rows undone since as a bitmap, the record placed
        //    among the entries by after_entry (the largest entry written before it). A COMMIT
        //    that failed after its journal entry marks the chunk or the entry.
        {
            QStringLiteral("ALTER TABLE chunks ADD COLUMN row_count INTEGER NOT NULL DEFAULT 0"),
            QStringLiteral("ALTER TABLE chunks ADD COLUMN ids BLOB"),
            QStringLiteral("ALTER TABLE chunks ADD COLUMN fingerprints BLOB"),
            QStringLiteral("ALTER TABLE chunks ADD COLUMN undone BLOB"),
            QStringLiteral("ALTER TABLE chunks ADD COLUMN after_entry INTEGER"),
            QStringLiteral("ALTER TABLE chunks ADD COLUMN commit_failed INTEGER NOT NULL DEFAULT 0"),
            QStringLiteral("ALTER TABLE entries ADD COLUMN commit_failed INTEGER NOT NULL DEFAULT 0"),
            QStringLiteral("CREATE INDEX IF NOT EXISTS chunks_tbl ON chunks (tbl, run)"),
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
        return failed(db.lastError().text());
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
    const auto rollBack = [&](const QSqlQuery &q) {
        const QString error = q.lastError().text();
        query.exec(QStringLiteral("ROLLBACK"));
        return failed(error);
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
        return rollBack(query);
    while (current < formatVersion()) {
        if (!query.exec(QStringLiteral("BEGIN IMMEDIATE")))
            return rollBack(query);
        if (!version(current))
            return rollBack(query);
        if (current >= formatVersion()) {
            query.exec(QStringLiteral("ROLLBACK"));
            break;
        }
        for (const QString &statement : migrations().at(current))
            if (!query.exec(statement))
                return rollBack(query);
        if (!query.exec(QStringLiteral("PRAGMA user_version = %1").arg(current + 1))
            || !query.exec(QStringLiteral("COMMIT")))
            return rollBack(query);
        ++current;
    }
    if (current > formatVersion())
        return fail(QStringLiteral("%1 was written by a newer kvtmerge (journal format %2; this one reads up to %3)")
                        .arg(m_file)
                        .arg(current)
                        .arg(formatVersion()));
    return true;
}

bool MergeJournal::exec(const QString &statement, const QVariantList &values, qlonglong *insertedId)
{
    QSqlQuery query(connection());
    if (!query.prepare(statement))
        return failed(query.lastError().text());
    for (const QVariant &v : values)
        query.addBindValue(PSqlNull::bindable(v));
    if (!query.exec())
        return failed(query.lastError().text());
    if (insertedId)
        *insertedId = query.lastInsertId().toLongLong();
    return true;
}

bool MergeJournal::failed(const QString &error)
{
    return fail(QStringLiteral("%1: %2").arg(m_file, error));
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
        return failed(query.lastError().text());
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
        return failed(query.lastError().text());
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
        return failed(query.lastError().text());
    if (!query.next()) {
        fail(QString());
        return false;
    }
    run = runOf(query);
    return true;
}

// One transaction drops the runs and what they wrote (and what runs forgotten earlier
// still wrote on); VACUUM then gives the freed pages back to the file system.
bool MergeJournal::forgetRuns(const QString &server, const QDateTime &before, int &forgotten)
{
    forgotten = 0;
    QSqlDatabase db = connection();
    if (!begin(db))
        return false;
    const QString old = QStringLiteral("SELECT id FROM runs WHERE server = ? AND started < ?");
    const QVariantList values{server, timeText(before)};
    QSqlQuery query(db);
    bool ok = execEach(query, QStringLiteral("DELETE FROM entries WHERE run IN (%1)").arg(old), {values})
              && execEach(query, QStringLiteral("DELETE FROM chunks WHERE run IN (%1)").arg(old), {values})
              && execEach(query, QStringLiteral("DELETE FROM runs WHERE server = ? AND started < ?"), {values});
    forgotten = ok ? query.numRowsAffected() : 0;
    ok = ok && query.exec(QStringLiteral("DELETE FROM entries WHERE run NOT IN (SELECT id FROM runs)"))
         && query.exec(QStringLiteral("DELETE FROM chunks WHERE run NOT IN (SELECT id FROM runs)"));
    if (!end(db, query, ok))
        return false;
    query.finish();
    return forgotten == 0 || query.exec(QStringLiteral("VACUUM")) || failed(query.lastError().text());
}

// ---------------------------------------------------------------- entries

bool MergeJournal::begin(QSqlDatabase &db)
{
    return db.transaction() || failed(db.lastError().text());
}

// Runs the statement once per row of values; false at the first failure (query holds it).
bool MergeJournal::execEach(QSqlQuery &query, const QString &statement, const QVector<QVariantList> &rows)
{
    if (!query.prepare(statement))
        return false;
    for (const QVariantList &values : rows) {
        for (const QVariant &value : values)
            query.addBindValue(PSqlNull::bindable(value));
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
        return failed(error);
    }
    return db.commit() || failed(db.lastError().text());
}

bool MergeJournal::recordRows(qlonglong run, kvtTableName table, const QVector<Row> &rows, qlonglong *chunk)
{
    qlonglong written = 0;
    const bool ok = rows.isEmpty() || recordChunk(run, table, rows, written);
    if (chunk)
        *chunk = written;
    return ok;
}

bool MergeJournal::recordReplaced(qlonglong run, kvtTableName table, qlonglong id, const QVariantMap &before,
                                  const QString &fingerprintAfter, qlonglong *entry)
{
    QSqlDatabase db = connection();
    if (!begin(db))
        return false;
    QSqlQuery query(db);
    bool ok = execEach(query, QStringLiteral("INSERT INTO entries (run, tbl, kind, ident, fingerprint) VALUES (?, ?, ?, ?, ?)"),
                       {{run, tableText(table), int(Kind::Replaced), id, fingerprintAfter}});
    const qlonglong written = query.lastInsertId().toLongLong();
    if (entry)
        *entry = written;
    QVector<QVariantList> values;
    for (auto it = before.constBegin(); it != before.constEnd(); ++it)
        values << QVariantList{written, it.key(), it.value()};
    return end(db, query,
               ok && execEach(query, QStringLiteral("INSERT INTO replaced_values (entry, name, value) VALUES (?, ?, ?)"),
                              values));
}

bool MergeJournal::recordAddedNewKey(qlonglong run, kvtTableName table, qlonglong id, const QString &fingerprint,
                                     const QString &source, const QString &sourceKey, qlonglong *entry)
{
    return exec(QStringLiteral("INSERT INTO entries (run, tbl, kind, ident, fingerprint, source, source_key)"
                               " VALUES (?, ?, ?, ?, ?, ?, ?)"),
                {run, tableText(table), int(Kind::AddedNewKey), id, fingerprint, source, sourceKey}, entry);
}

bool MergeJournal::entryCommitFailed(qlonglong entry)
{
    return exec(QStringLiteral("UPDATE entries SET commit_failed = 1 WHERE id = ?"), {entry});
}

namespace {

// Rows of one chunk record at most: a row's entry number holds its position below it.
constexpr qlonglong chunkRowSpan = qlonglong(1) << 24;

// The columns eachChunkRow() reads, in its order.
const QString chunkRowColumns = QStringLiteral("c.id, c.run, c.ids, c.fingerprints, c.undone, c.after_entry, c.tbl");
const QString afterLastEntry = QStringLiteral("(SELECT IFNULL(MAX(id), 0) FROM entries)");

QVector<qlonglong> idsOfRows(const QVector<MergeJournal::Row> &rows)
{
    QVector<qlonglong> ids;
    ids.reserve(rows.size());
    for (const MergeJournal::Row &row : rows)
        ids << row.id;
    return ids;
}

QStringList fingerprintsOf(const QVector<MergeJournal::Row> &rows)
{
    QStringList prints;
    prints.reserve(rows.size());
    for (const MergeJournal::Row &row : rows)
        prints << row.fingerprint;
    return prints;
}

} // namespace

qlonglong MergeJournal::chunkRowEntry(qlonglong chunk, int position)
{
    return -(chunk * chunkRowSpan + position);
}

// The chunk's rows in one record, within the caller's transaction.
bool MergeJournal::storeChunkRows(QSqlQuery &query, qlonglong run, kvtTableName table, const QVector<Row> &rows,
                                  qlonglong &chunk)
{
    if (rows.size() >= chunkRowSpan) {
        fail(QStringLiteral("%1: %2 rows are too many for one journal record").arg(m_file).arg(rows.size()));
        return false;
    }
    const bool ok = execEach(query,
                             QStringLiteral("INSERT INTO chunks (run, tbl, max_before, done, row_count, ids, fingerprints,"
                                            " after_entry) VALUES (?, ?, 0, 1, ?, ?, ?, %1)")
                                 .arg(afterLastEntry),
                             {{run, tableText(table), rows.size(), JournalPacking::packIds(idsOfRows(rows)),
                               JournalPacking::packFingerprints(fingerprintsOf(rows))}});
    chunk = query.lastInsertId().toLongLong();
    return ok;
}

bool MergeJournal::recordChunk(qlonglong run, kvtTableName table, const QVector<Row> &rows, qlonglong &chunk)
{
    QSqlDatabase db = connection();
    if (!begin(db))
        return false;
    QSqlQuery query(db);
    if (!storeChunkRows(query, run, table, rows, chunk)) {
        db.rollback();
        return query.lastError().isValid() ? failed(query.lastError().text()) : false;
    }
    return end(db, query, true);
}

// Rows of files of the earlier format carry the chunk in their entries.
bool MergeJournal::chunkCommitFailed(qlonglong chunk)
{
    return exec(QStringLiteral("UPDATE chunks SET commit_failed = 1 WHERE id = ?"), {chunk})
           && exec(QStringLiteral("UPDATE entries SET undone = 1 WHERE chunk = ?"), {chunk});
}

// Runs the query (chunkRowColumns) and hands out the rows of its chunks that are not
// undone, in the chunks' order; fingerprints: whether to unpack them.
bool MergeJournal::eachChunkRow(QSqlQuery &query, bool fingerprints, const ChunkRows &row)
{
    if (!query.exec())
        return failed(query.lastError().text());
    while (query.next()) {
        const qlonglong chunk = query.value(0).toLongLong();
        QVector<qlonglong> ids;
        QStringList prints;
        if (!JournalPacking::unpackIds(query.value(2).toByteArray(), ids)
            || (fingerprints && !JournalPacking::unpackFingerprints(query.value(3).toByteArray(), prints))
            || (fingerprints && prints.size() != ids.size()))
            return fail(QStringLiteral("%1: chunk %2 cannot be read").arg(m_file).arg(chunk));
        const QByteArray undone = query.value(4).toByteArray();
        ChunkRow r;
        r.chunk = chunk;
        r.run = query.value(1).toLongLong();
        r.afterEntry = query.value(5).toLongLong();
        r.table = tableOf(query.value(6).toString());
        for (int i = 0; i < ids.size(); ++i) {
            if (JournalPacking::isSet(undone, i))
                continue;
            r.position = i;
            r.id = ids.at(i);
            if (fingerprints)
                r.fingerprint = prints.at(i);
            row(r);
        }
    }
    return true;
}

bool MergeJournal::entries(qlonglong run, QVector<Entry> &entries)
{
    entries.clear();
    QVector<Entry> written;
    QVector<qlonglong> after; // by chunk row: the largest entry written before its chunk
    QSqlQuery chunks(connection());
    chunks.prepare(QStringLiteral("SELECT ") + chunkRowColumns
                   + QStringLiteral(" FROM chunks c WHERE c.run = ? AND c.ids IS NOT NULL AND c.commit_failed = 0"
                                    " ORDER BY c.after_entry, c.id"));
    chunks.addBindValue(run);
    const bool read = eachChunkRow(chunks, true, [&](const ChunkRow &r) {
        Entry e;
        e.entry = chunkRowEntry(r.chunk, r.position);
        e.run = run;
        e.table = r.table;
        e.id = r.id;
        e.fingerprint = r.fingerprint;
        e.chunk = r.chunk;
        written << e;
        after << r.afterEntry;
    });
    if (!read)
        return false;
    QSqlQuery query(connection());
    query.prepare(QStringLiteral("SELECT id, tbl, kind, ident, fingerprint, source, source_key, chunk"
                                 " FROM entries WHERE run = ? AND kind <> ? AND undone = 0 AND commit_failed = 0"
                                 " ORDER BY id"));
    query.addBindValue(run);
    query.addBindValue(int(Kind::Intended));
    if (!query.exec())
        return failed(query.lastError().text());
    int next = 0; // the next chunk row to hand out
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
        for (; next < written.size() && after.at(next) < e.entry; ++next)
            entries << written.at(next);
        entries << e;
    }
    entries += written.mid(next);
    QHash<qlonglong, QVariantMap> before;
    QSqlQuery values(connection());
    values.prepare(QStringLiteral("SELECT v.entry, v.name, v.value FROM replaced_values v JOIN entries e ON e.id = v.entry"
                                  " WHERE e.run = ? AND e.undone = 0"));
    values.addBindValue(run);
    if (!values.exec())
        return failed(values.lastError().text());
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
        return failed(query.lastError().text());
    while (query.next())
        largest.insert(query.value(0).toString(), query.value(1).toLongLong());
    return true;
}

// An intent is packed in its chunk's record, or (files of the earlier format) one entry
// per row.
bool MergeJournal::openChunks(qlonglong run, QVector<Chunk> &chunks)
{
    chunks.clear();
    QSqlQuery query(connection());
    query.prepare(QStringLiteral("SELECT id, tbl, max_before, fingerprints FROM chunks WHERE run = ? AND done = 0"
                                 " ORDER BY id"));
    query.addBindValue(run);
    if (!query.exec())
        return failed(query.lastError().text());
    while (query.next()) {
        Chunk c{query.value(0).toLongLong(), tableOf(query.value(1).toString()), query.value(2).toLongLong(), {}};
        if (!JournalPacking::unpackFingerprints(query.value(3).toByteArray(), c.fingerprints))
            return fail(QStringLiteral("%1: chunk %2 cannot be read").arg(m_file).arg(c.chunk));
        chunks << c;
    }
    QSqlQuery prints(connection());
    prints.prepare(QStringLiteral("SELECT fingerprint FROM entries WHERE chunk = ? AND kind = ?"));
    for (Chunk &c : chunks) {
        prints.addBindValue(c.chunk);
        prints.addBindValue(int(Kind::Intended));
        if (!prints.exec())
            return failed(prints.lastError().text());
        while (prints.next())
            c.fingerprints << prints.value(0).toString();
    }
    return true;
}

bool MergeJournal::idsOfOtherRuns(qlonglong run, kvtTableName table, bool laterOnly,
                                  QHash<qlonglong, qlonglong> &runOfId)
{
    runOfId.clear();
    const QString otherRuns = QStringLiteral(
        " JOIN runs r ON r.id = %1.run JOIN runs mine ON mine.id = ? WHERE %1.tbl = ? AND %1.commit_failed = 0"
        " AND %1.run <> mine.id AND r.server = mine.server AND r.destination = mine.destination"
        " AND (? = 0 OR %1.run > mine.id)");
    QSqlQuery query(connection());
    query.prepare(QStringLiteral("SELECT e.ident, e.run FROM entries e") + otherRuns.arg(QStringLiteral("e"))
                  + QStringLiteral(" AND e.kind <> ? AND e.undone = 0"));
    query.addBindValue(run);
    query.addBindValue(tableText(table));
    query.addBindValue(laterOnly ? 1 : 0);
    query.addBindValue(int(Kind::Intended));
    if (!query.exec())
        return failed(query.lastError().text());
    while (query.next())
        runOfId.insert(query.value(0).toLongLong(), query.value(1).toLongLong());
    QSqlQuery chunks(connection());
    chunks.prepare(QStringLiteral("SELECT ") + chunkRowColumns + QStringLiteral(" FROM chunks c")
                   + otherRuns.arg(QStringLiteral("c")) + QStringLiteral(" AND c.ids IS NOT NULL"));
    chunks.addBindValue(run);
    chunks.addBindValue(tableText(table));
    chunks.addBindValue(laterOnly ? 1 : 0);
    return eachChunkRow(chunks, false, [&](const ChunkRow &r) { runOfId.insert(r.id, r.run); });
}

// Entries by their number; rows of a chunk (negative numbers) in the chunk's bitmap.
bool MergeJournal::markUndone(const QVector<qlonglong> &entries)
{
    QSqlDatabase db = connection();
    if (!begin(db))
        return false;
    QVector<QVariantList> values;
    QMap<qlonglong, QVector<int>> chunkRows;
    for (const qlonglong e : entries) {
        if (e > 0)
            values << QVariantList{e};
        else
            chunkRows[-e / chunkRowSpan] << int(-e % chunkRowSpan);
    }
    QSqlQuery query(db);
    bool ok = execEach(query, QStringLiteral("UPDATE entries SET undone = 1 WHERE id = ?"), values);
    QSqlQuery bits(db);
    ok = ok && bits.prepare(QStringLiteral("SELECT undone FROM chunks WHERE id = ?"));
    for (auto it = chunkRows.constBegin(); ok && it != chunkRows.constEnd(); ++it) {
        bits.addBindValue(it.key());
        ok = bits.exec();
        QByteArray undone = ok && bits.next() ? bits.value(0).toByteArray() : QByteArray();
        bits.finish();
        for (const int position : it.value())
            JournalPacking::set(undone, position);
        ok = ok && execEach(query, QStringLiteral("UPDATE chunks SET undone = ? WHERE id = ?"), {{undone, it.key()}});
    }
    if (!ok && !query.lastError().isValid()) {
        const QString error = bits.lastError().text();
        db.rollback();
        return failed(error);
    }
    return end(db, query, ok);
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
                                 " AND e.source = ? AND e.source_key = ? AND e.undone = 0 AND e.commit_failed = 0"
                                 " ORDER BY e.id DESC"));
    query.addBindValue(server);
    query.addBindValue(destination);
    query.addBindValue(tableText(table));
    query.addBindValue(int(Kind::AddedNewKey));
    query.addBindValue(source);
    query.addBindValue(sourceKey);
    if (!query.exec())
        return failed(query.lastError().text());
    while (query.next())
        ids << query.value(0).toLongLong();
    return true;
}
