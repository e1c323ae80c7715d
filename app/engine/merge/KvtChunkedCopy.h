#ifndef KVTCHUNKEDCOPY_H
#define KVTCHUNKEDCOPY_H

#include "KvtChunkSql.h"
#include "KvtSqlStatus.h"
#include "KvtPreparedQuery.h"
#include "KvtProbeIndex.h"
#include "MergeJournal.h"

#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

#include <memory>

// Copies a measurement table from a source database into the destination on the server,
// chunk by chunk in source ID order (statements in KvtChunkSql). No row passes through
// the client, only the IDs of one chunk's rows to copy. Each chunk is inserted by one
// statement: it is copied whole or, on failure, not at all; earlier chunks stay. Journaled,
// the chunk is a transaction of its own that commits after its rows are in the journal. The probes for equal rows are held to the index that serves them
// best (KvtProbeIndex) in the destination and the source.
//
//     KvtChunkedCopy copy(db, KvtTableSql::forTable(tnDefects, dest), source, dest, columns);
//     if (copy.open(rows, bytes) == KvtChunkedCopy::OpenResult::Ready)
//         while (!copy.atEnd()) copy.copyNext(handled);
class KvtChunkedCopy
{
public:
    // How the rows a chunk inserted are named to the journal (KvtChunkSql::returning()):
    // by the INSERT's RETURNING (MariaDB 10.5), or read back inside the chunk's transaction.
    // Either gives the exact IDs, whatever the counter's step and whoever else inserts.
    enum class InsertedIds { Returning, ReadBack };

    enum class OpenResult {
        Ready,     // chunks can be copied
        NotUsable, // the destination does not generate the IDs
        Failed     // a statement failed; failedQuery() holds the error
    };

    // sourceColumns: the source table's columns; its ID must be usable (KvtSourceKey).
    KvtChunkedCopy(const QSqlDatabase &db, const KvtTableSql &table, const QString &source,
                   const QString &destination, const QStringList &sourceColumns,
                   KvtChunkSql::EarlierDuplicates earlierDuplicates = KvtChunkSql::EarlierDuplicates::Probe);

    // A chunk holds at most chunkRows rows and, for a table with signals, about
    // chunkBytes of them (at least one row), judged by the first rows of the source.
    OpenResult open(int chunkRows, qint64 chunkBytes);
    bool atEnd() const { return m_from.isNull(); }
    // Copies the next chunk; rows is the number of source rows it covered.
    bool copyNext(int &rows);
    int chunkRows() const { return m_chunkRows; }
    // Rows the last chunk copied (the others of it were already there).
    int copiedRows() const { return m_copied; }

    // Keeping references consistent: set before open().
    void setTranslation(const KvtReferenceSql::Translation &translation) { m_sql.setTranslation(translation); }
    // Rows copied so far with translated references, and of them those naming no record
    // of the same content; the source IDs of the first of the latter (at most
    // firstMismatchedRows, set before the first chunk).
    qint64 translatedRows() const { return m_translatedRows; }
    qint64 mismatchedRows() const { return m_mismatchedRows; }
    const QVector<qlonglong> &firstMismatched() const { return m_firstMismatched; }
    void setFirstMismatchedRows(int rows) { m_firstMismatchedRows = rows; }

    // Journal each chunk (set before open()): its rows, before the chunk's COMMIT. A chunk
    // whose COMMIT fails (a Galera certification failure) is marked so in the journal and
    // copied again, at most commitAttempts times.
    static constexpr int commitAttempts = 3;
    void setJournal(MergeJournal *journal, qlonglong run, InsertedIds how);

    // Why open() or copyNext() failed: the failed statement's error, or the journal's.
    KvtSqlStatus error() const;

private:
    bool run(KvtPreparedQuery &query, const KvtPreparedQuery::Bindings &values = {});
    bool readIdGenerated(bool &generated);
    bool sizeChunks(int chunkRows, qint64 chunkBytes);
    bool findChunkEnd(int &rows, QVariant &to);
    bool findFrom(KvtPreparedQuery &query, const KvtPreparedQuery::Bindings &values);
    bool prepareCopy();
    bool copyRows(int covered, const QVariant &to);
    QString insertStatement(const QStringList &ids, int covered, qlonglong to) const;
    bool copyJournaled(const QString &insert, int copies, bool &commitFailed);
    bool insertReturning(const QString &insert, QVector<MergeJournal::Row> &rows);
    bool insertReadBack(const QString &insert, QVector<MergeJournal::Row> &rows);
    bool execOwn(const QString &statement);
    void rollback();
    bool journalFailed();

    QSqlDatabase m_db;
    KvtTableSql m_table;
    QString m_source;
    KvtChunkSql m_sql;
    QString m_destination;
    QString m_tableName;
    QSqlQuery m_columnsQuery; // the destination table's columns
    KvtPreparedQuery m_firstId;
    KvtPreparedQuery m_idAfter;
    KvtPreparedQuery m_chunkEnd;
    KvtPreparedQuery m_signalSample;
    KvtProbeIndex m_probeIndex;
    std::unique_ptr<KvtPreparedQuery> m_rowsToCopy; // made by open(), with the probes' indexes
    std::unique_ptr<KvtPreparedQuery> m_rowsToLeave; // where the server can list them
    bool m_listRowsToLeave = true; // the last chunk copied most of its rows
    std::unique_ptr<QSqlQuery> m_insert;              // the last chunk's INSERT
    QSqlQuery *m_failed = nullptr;
    MergeJournal *m_journal = nullptr;
    qlonglong m_run = 0;
    InsertedIds m_insertedIds = InsertedIds::Returning;
    std::unique_ptr<QSqlQuery> m_ownQuery; // the chunk's transaction and read-back
    QString m_journalError;
    QVariant m_from;
    int m_chunkRows = 1;
    int m_copied = 0;
    qint64 m_translatedRows = 0;
    qint64 m_mismatchedRows = 0;
    QVector<qlonglong> m_firstMismatched;
    int m_firstMismatchedRows = 0;
};

#endif // KVTCHUNKEDCOPY_H
