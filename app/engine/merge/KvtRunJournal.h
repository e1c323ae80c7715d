#ifndef KVTRUNJOURNAL_H
#define KVTRUNJOURNAL_H

#include "KvtPreparedQuery.h"
#include "KvtSqlStatus.h"
#include "MergeReport.h"
#include "global_vars.h"

#include <QPair>
#include <QSqlDatabase>
#include <QStringList>
#include <QVector>

class MergeJournal;

// The journal step of a merge run: starts the run in the merge journal, records what the
// run inserts and finishes the run. Without a journal every call succeeds and records
// nothing.
class KvtRunJournal
{
public:
    // How the set-based copy names the rows it inserted (KvtChunkedCopy::InsertedIds):
    // by RETURNING where the server has it, else read back in the chunk's transaction.
    enum class Ids { Returning, ReadBack };

    explicit KvtRunJournal(MergeJournal *journal) : m_journal(journal) {}

    struct RunStart
    {
        QString server;
        QString destination;
        QStringList sources;
        bool keepReferences = false;
        QString copyVariant;
    };
    // Chooses the ids (no further than `most`) and starts the run; the error is the
    // journal's or the server's.
    KvtSqlStatus start(const QSqlDatabase &db, const RunStart &run, Ids most);
    // Ends the run with the report's status and lets the journal's connection go.
    void finish(MergeReport::RunStatus status);

    bool journaling() const { return m_run != 0; }
    MergeJournal *journal() const { return m_journal; }
    qlonglong run() const { return m_run; }
    Ids ids() const { return m_ids; }

    // The per-row path. A row's insert opens a destination transaction of up to
    // batchRows rows, which commits once they are journaled (flush()): before a conflict
    // is handed over, at the end of a table and after a record merged alone.
    KvtSqlStatus beforeRowInsert(QSqlDatabase &db);
    // The row the per-row path just inserted: its identifier (generated, bound or
    // numbered) and its fingerprint as the server holds it.
    KvtSqlStatus rowInserted(QSqlDatabase &db, const QString &destination, kvtTableName table,
                             KvtPreparedQuery &insert, const KvtPreparedQuery::Bindings &values);
    KvtSqlStatus flush(QSqlDatabase &db, kvtTableName table);
    // Records one set-based statement inserted into a reference table, by their keys,
    // inside the destination transaction that commit() ends. Their fingerprints are read
    // unless `fingerprints` holds one for every key (as the insert handed them back).
    KvtSqlStatus keysInserted(const QSqlDatabase &db, const QString &destination, kvtTableName table,
                              const QVector<qlonglong> &keys,
                              const QHash<qlonglong, QString> &fingerprints = {});
    // Commits the destination's transaction whose rows are journaled; when the COMMIT
    // fails (a Galera certification failure), their journal records are marked so.
    KvtSqlStatus commit(QSqlDatabase &db);

    static constexpr int batchRows = 500;

private:
    KvtSqlStatus chooseIds(const QSqlDatabase &db, Ids most);
    KvtSqlStatus journalError() const;

    MergeJournal *m_journal;
    qlonglong m_run = 0;
    Ids m_ids = Ids::Returning;
    QVector<QPair<qlonglong, QString>> m_batch;
    bool m_batchOpen = false;
    QVector<qlonglong> m_uncommitted; // journal records of the open destination transaction
};

#endif // KVTRUNJOURNAL_H
