#ifndef KVTREFERENCEBATCHSTEP_H
#define KVTREFERENCEBATCHSTEP_H

#include "KvtMergeRun.h"
#include "KvtReferenceMap.h"
#include "KvtTableSql.h"

#include <QCoreApplication>
#include <QHash>
#include <QSet>
#include <QStringList>
#include <QVector>

class KvtKeyMapStep;
class KvtReferenceBatchSql;
class KvtRowMerge;
class KvtRunJournal;
class QSqlQuery;

// The set-based step of a reference table: decisions on the server, batch by batch in
// source primary-key order, the insertable records of a batch in one statement, the
// first conflict of a batch through the per-row step. Statements in KvtReferenceBatchSql.
//
// A batch ends at its first conflict. Once the conflict is settled (the destination may
// have changed under the records after it: a replaced or added record can make a later
// one present, or take its key), the next batch decides the records after it afresh. So
// every record meets the destination exactly as the per-row path would show it. After a
// conflict the next batch is sized by the distance to it (nextLimit()). A conflict settled
// without asking that touches no other record is passed instead (conflictsPassable()).
class KvtReferenceBatchStep
{
    Q_DECLARE_TR_FUNCTIONS(KvtMerger)

public:
    // keyMap: keeping references, where present and inserted records are mapped (or none).
    KvtReferenceBatchStep(KvtMergeRun &run, KvtRowMerge &rows, KvtRunJournal &journal, KvtKeyMapStep *keyMap)
        : m_run(run), m_rows(rows), m_journal(journal), m_keyMap(keyMap)
    {
    }

    // Whether the table step in hand goes this way: a reference table with an integer
    // primary key and records, set-based merging asked for, and keeping references not
    // the zones of a source whose part types moved.
    bool applies() const;
    KvtStepResult merge();

    struct Batch
    {
        QString from;  // order key the batch starts after (empty: the first)
        QString after; // order key of the last record decided
        QString placed; // order key of the last record present or inserted
        int rows = 0;  // records decided
        QStringList inserted; // order keys of the records to insert
        QVector<KvtTableSql::Values> insertedRecords;
        QSet<QString> keys; // their keys
        QHash<QString, qlonglong> idByKey; // ID the destination gave, by key
        QHash<qlonglong, QString> fingerprintById; // as the insert handed them back (or none)
        // The inserted records as the key map names them (a zone by part type and number,
        // any other record by its destination ID), in order.
        QVector<KvtReferenceMap::Id> insertedIds;
        bool conflict = false;
        KvtTableSql::Values conflictRecord;
        // Conflicts passed (conflictsPassable()), decided the per-row way after the
        // batch's insert, and how many inserted records came before each.
        QVector<KvtTableSql::Values> perRow;
        QVector<int> perRowAt;
    };

private:
    bool conflictsPassable() const;
    bool walkDecisions(QSqlQuery &decisions, Batch &batch);
    bool settleConflicts(const Batch &batch);
    int nextLimit(int limit, const Batch &batch) const;
    bool insertBatch(const KvtReferenceBatchSql &sql, Batch &batch);
    bool insertBatchRecords(const KvtReferenceBatchSql &sql, Batch &batch, QVector<qlonglong> &keys);
    bool readInserted(const KvtReferenceBatchSql &sql, Batch &batch, QSqlQuery &insert, bool fingerprints);
    bool mapBatch(const KvtReferenceBatchSql &sql, const Batch &batch);
    QVector<KvtReferenceMap::Id> mapIds(const Batch &batch, const QVector<qlonglong> &keys) const;
    QStringList valueRows(const QVector<KvtTableSql::Values> &records) const;
    bool referencesInserted(kvtTableName table, const QVector<qlonglong> &destinationKeys, const Batch &batch);

    KvtMergeRun &m_run;
    KvtRowMerge &m_rows;
    KvtRunJournal &m_journal;
    KvtKeyMapStep *m_keyMap;
};

#endif // KVTREFERENCEBATCHSTEP_H
