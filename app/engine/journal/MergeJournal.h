#ifndef MERGEJOURNAL_H
#define MERGEJOURNAL_H

#include "KvtRowFingerprint.h"
#include "global_vars.h"

#include <QDateTime>
#include <QHash>
#include <QMutex>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <QVector>

#include <functional>

// The merge journal: an SQLite file (KvtPaths::journalFile() by default) that records what
// each merge wrote into its destination, so that the merge can be undone (MergeUndo). It
// needs no privilege on the server and no table in the KVT databases.
//
// A run belongs to one destination database on one server, named by host and port as the
// connection was given ("db.example:3306"): the same server reached under another name
// is another server to the journal. Per run it keeps the start, end, status, sources,
// mode and report file; per row the merge inserted, its table, identifier
// (KvtRowFingerprint) and fingerprint; per replaced reference record its content before
// and its fingerprint after; per record added under a new key, the same plus the source
// record it stands for.
//
// Every write is journaled before the destination's transaction that makes it commits:
// the rows of a chunk or batch (recordChunk, recordRows) and each conflict write
// (recordReplaced, recordAddedNewKey), one SQLite commit each. A run killed at any moment
// leaves a journal that names everything it wrote, and perhaps a write that never
// committed, which the undo finds gone. A COMMIT that fails after its journal entry
// (a Galera certification failure) is marked so (chunkCommitFailed, entryCommitFailed).
//
// A chunk is one record: its identifiers as runs and its fingerprints packed
// (JournalPacking); entries() hands its rows out one by one, each named by a negative
// entry number (chunkRowEntry). Files written before that keep one record per row, and
// their set-based chunks an intent before the chunk (the destination's largest ID and
// the fingerprints of the rows to come): a run of theirs killed in between left an open
// chunk, whose rows the undo finds by fingerprint (openChunks).
//
// Several users may share one file. It is kept in SQLite's rollback-journal mode (not
// WAL, which needs shared memory and fails on network file systems), every write is one
// short transaction, and a writer waits up to busyTimeoutMs for another's lock.
//
// Usable from any thread: each thread gets its own SQLite connection (releaseConnection()
// on a thread that is about to end).
class QSqlQuery;

class MergeJournal
{
public:
    enum class Kind { Intended = 0, Inserted = 1, Replaced = 2, AddedNewKey = 3 };

    static constexpr int busyTimeoutMs = 15000;

    struct Run
    {
        qlonglong id = 0;
        QString server;
        QString destination;
        QStringList sources;
        QDateTime started;
        QDateTime ended;
        QString status;      // "running" until the end; then done, stopped, failed
        bool keepReferences = false;
        QString copyVariant;
        QString reportFile;
        QString undoStatus;  // empty, "undone" or "partly undone"
        QString user;
        KvtRowFingerprint::Kind fingerprintKind = KvtRowFingerprint::Kind::Md5OfMd5s;
    };

    struct Row
    {
        qlonglong id = 0;
        QString fingerprint;
    };

    struct Entry
    {
        qlonglong entry = 0;
        qlonglong run = 0;
        kvtTableName table = tnDefects;
        Kind kind = Kind::Inserted;
        qlonglong id = 0;
        QString fingerprint;
        QVariantMap before;  // Replaced: the columns as they were, with their types and NULLs
        QString source;      // AddedNewKey: the source database and its record's key
        QString sourceKey;
        qlonglong chunk = 0;
    };

    struct Chunk
    {
        qlonglong chunk = 0;
        kvtTableName table = tnDefects;
        qlonglong maxBefore = 0;
        QStringList fingerprints; // of the rows the chunk was to insert
    };

    explicit MergeJournal(const QString &file = QString());
    ~MergeJournal();
    MergeJournal(const MergeJournal &) = delete;
    MergeJournal &operator=(const MergeJournal &) = delete;

    // "host:port" of a connection as it was given: how the journal names a server.
    static QString serverOf(const QSqlDatabase &db);

    QString file() const { return m_file; }
    // Creates the file and its tables when missing and brings an older file to the current
    // format (formatVersion()); false with lastError() otherwise.
    bool open();
    static int formatVersion();
    QString lastError() const;

    // ---- runs
    bool startRun(const QString &server, const QString &destination, const QStringList &sources,
                  bool keepReferences, const QString &copyVariant, qlonglong &run,
                  KvtRowFingerprint::Kind fingerprintKind = KvtRowFingerprint::newest);
    bool finishRun(qlonglong run, const QString &status);
    bool setReportFile(qlonglong run, const QString &file);
    bool setUndoStatus(qlonglong run, const QString &status);
    // The runs of a server, newest first; of one destination when it is given.
    bool runs(const QString &server, QVector<Run> &runs, const QString &destination = QString());
    // False (and lastError() empty) for an unknown run.
    bool run(qlonglong id, Run &run);

    // Forgets the runs of a server that started before `before`, with everything they
    // wrote (they can no longer be undone), and gives the file's free space back.
    bool forgetRuns(const QString &server, const QDateTime &before, int &forgotten);
    // Each destination table's largest identifier when the run began (by table name):
    // the rows up to it are the state before the run.
    bool recordLargestIds(qlonglong run, const QHash<QString, qlonglong> &largest);
    // Empty for a run that recorded none (journaled by an earlier version).
    bool largestIds(qlonglong run, QHash<QString, qlonglong> &largest);

    // ---- what a run wrote
    // Rows inserted by one write (a batch of the per-row path, a set-based insert into a
    // reference table): one record, as recordChunk. chunk: its number, for chunkCommitFailed.
    bool recordRows(qlonglong run, kvtTableName table, const QVector<Row> &rows, qlonglong *chunk = nullptr);
    // entry: its number, for entryCommitFailed.
    bool recordReplaced(qlonglong run, kvtTableName table, qlonglong id, const QVariantMap &before,
                        const QString &fingerprintAfter, qlonglong *entry = nullptr);
    bool recordAddedNewKey(qlonglong run, kvtTableName table, qlonglong id, const QString &fingerprint,
                           const QString &source, const QString &sourceKey, qlonglong *entry = nullptr);
    bool entryCommitFailed(qlonglong entry);
    // A chunk of the set-based copy, written inside the chunk's destination transaction
    // before its COMMIT: the rows the server named for it. When the COMMIT then fails
    // (a Galera certification failure), chunkCommitFailed() marks the chunk so; a retry is
    // journaled as a chunk of its own.
    bool recordChunk(qlonglong run, kvtTableName table, const QVector<Row> &rows, qlonglong &chunk);
    bool chunkCommitFailed(qlonglong chunk);

    // Entries of a run not undone yet (Inserted, Replaced, AddedNewKey), in the order they
    // were written; a row of a chunk is an entry of its own (Entry::chunk its chunk).
    bool entries(qlonglong run, QVector<Entry> &entries);
    // How the rows of a chunk are numbered among the entries (markUndone takes them).
    static qlonglong chunkRowEntry(qlonglong chunk, int position);
    bool openChunks(qlonglong run, QVector<Chunk> &chunks);
    // Identifiers of the table journaled by runs of the same server and destination
    // other than `run` and not undone; laterOnly: only runs after it.
    bool idsOfOtherRuns(qlonglong run, kvtTableName table, bool laterOnly, QHash<qlonglong, qlonglong> &runOfId);
    bool markUndone(const QVector<qlonglong> &entries);
    bool closeChunks(const QVector<qlonglong> &chunks);

    // The destination records an earlier run (not undone) added under a new key for this
    // source record (source database and key): the records a rerun may take as present.
    bool addedUnderNewKey(const QString &server, const QString &destination, kvtTableName table,
                          const QString &source, const QString &sourceKey, QVector<qlonglong> &ids);

    // A run in progress, as the worker hands it to whoever journals into it on another
    // thread (the conflict writer): the journal, the run's RUN_ID and its destination.
    struct RunInProgress
    {
        MergeJournal *journal = nullptr;
        qlonglong id = 0;
        QString destination;
    };

    // Closes this thread's connection; call on a thread that is about to end.
    void releaseConnection();

private:
    QSqlDatabase connection();
    bool fail(const QString &text);
    bool exec(const QString &statement, const QVariantList &values = {}, qlonglong *insertedId = nullptr);
    bool migrate();
    bool begin(QSqlDatabase &db);
    static bool execEach(QSqlQuery &query, const QString &statement, const QVector<QVariantList> &rows);
    bool end(QSqlDatabase &db, const QSqlQuery &query, bool ok);
    bool failed(const QString &error);
    bool storeChunkRows(QSqlQuery &query, qlonglong run, kvtTableName table, const QVector<Row> &rows,
                        qlonglong &chunk);
    struct ChunkRow
    {
        qlonglong chunk = 0;
        qlonglong run = 0;
        qlonglong afterEntry = 0; // the largest entry written before the chunk
        kvtTableName table = tnDefects;
        int position = 0;
        qlonglong id = 0;
        QString fingerprint;
    };
    using ChunkRows = std::function<void(const ChunkRow &)>;
    bool eachChunkRow(QSqlQuery &query, bool fingerprints, const ChunkRows &row);

    QString m_file;
    QString m_prefix;
    mutable QMutex m_mutex;
    QString m_lastError;
    QStringList m_connections;
};

#endif // MERGEJOURNAL_H
