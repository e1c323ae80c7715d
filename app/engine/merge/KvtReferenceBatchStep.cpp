#include "KvtReferenceBatchStep.h"

#include "KvtKeyMapStep.h"
#include "KvtReferenceBatchSql.h"
#include "KvtRowMerge.h"
#include "KvtRunJournal.h"
#include "KvtSourceKey.h"
#include "KvtSql.h"
#include "KvtSqlName.h"
#include "PLog.h"
#include "PSqlNull.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

// An empty source table is left to the per-row read, which finds nothing to merge and so
// touches no destination table (one may be missing).
bool KvtReferenceBatchStep::applies() const
{
    const KvtTableSql &sql = m_run.sql();
    if (!m_run.options.setBasedReferences || !sql.hasKey() || m_run.sourceKey().pageColumn().isEmpty()
        || m_run.counts().rows == 0)
        return false;
    if (m_keyMap && sql.table() == tnZones && m_keyMap->map().anyMoved(tnDetTypes)) {
        PLOG_DEBUG << "zones of " << m_run.source << " merged per row: a part type has a new key";
        return false;
    }
    return true;
}

KvtStepResult KvtReferenceBatchStep::merge()
{
    const KvtTableSql &sql = m_run.sql();
    PLOG_INFO << tr(sql.description().processMessage);
    const KvtReferenceBatchSql statements(sql.table(), m_run.source, m_run.sourceKey().columns(), m_run.destination,
                                          m_run.sourceKey().pageColumn());
    QString after;
    int handled = 0;
    int limit = m_run.options.chunkRows;
    for (;;) {
        if (m_run.stopped())
            return KvtStepResult::Stopped;
        QSqlQuery decisions(m_run.db);
        decisions.setForwardOnly(true);
        Batch batch;
        batch.from = after;
        if (!decisions.exec(statements.decisions(after, limit))) {
            m_run.failQuery(decisions);
            return KvtStepResult::SourceError;
        }
        if (!walkDecisions(decisions, batch)) {
            m_run.fail(KvtSqlStatus::own(tr("Table %1.%2: its primary key %3 is not an integer: \"%4\"")
                                             .arg(m_run.source, sql.tableName(), m_run.sourceKey().pageColumn(),
                                                  batch.after)));
            return KvtStepResult::SourceError;
        }
        decisions.finish();
        if (!insertBatch(statements, batch))
            return KvtStepResult::RowError;
        handled += batch.rows;
        m_run.events.progress(handled);
        if (!settleConflicts(batch))
            return KvtStepResult::RowError;
        if (!batch.conflict && batch.rows < limit)
            return KvtStepResult::Done;
        limit = nextLimit(limit, batch);
        after = batch.after;
    }
}

// The server decides every record of a batch, also those after its first conflict, which
// the next batch decides again. Where conflicts are frequent a batch is therefore sized
// by the distance to the last conflict (twice it, at least minimumBatch records), and it
// grows again, up to the chunk size, while batches end without one: the records decided
// twice stay about as many as the records merged.
int KvtReferenceBatchStep::nextLimit(int limit, const Batch &batch) const
{
    constexpr int minimumBatch = 64;
    const int most = m_run.options.chunkRows;
    if (batch.conflict)
        return qBound(qMin(minimumBatch, most), 2 * batch.rows, most);
    return qMin(most, 2 * limit);
}

// The batch's conflicts go the per-row way, in source order: those it passed, then the
// one it stopped at. A passed conflict's key is still held by a record of other content,
// as the batch's listing found it, so it needs no second look: the batch inserted only
// free keys, and a passed conflict settled before it wrote nothing (left out) or replaced
// the record of its own key, which is another one where the key is the source's primary
// key.
bool KvtReferenceBatchStep::settleConflicts(const Batch &batch)
{
    const KvtTable &table = m_run.sql().description();
    m_rows.setKeysKnownTaken(m_run.events.conflictStep(table.id) == ConflictAnswer::Step::LeaveOut
                             || table.keyColumn().compare(m_run.sourceKey().pageColumn(), Qt::CaseInsensitive) == 0);
    bool merged = true;
    for (int i = 0; merged && i < batch.perRow.size(); ++i) {
        if (m_keyMap)
            m_keyMap->setUnseenRecords(batch.insertedIds.mid(batch.perRowAt.at(i)));
        merged = m_rows.mergeRecord(batch.perRow.at(i));
    }
    m_rows.setKeysKnownTaken(false);
    if (m_keyMap)
        m_keyMap->setUnseenRecords({});
    if (merged && batch.conflict)
        merged = m_rows.mergeRecord(batch.conflictRecord);
    const bool flushed = m_rows.flushJournal();
    return merged && flushed;
}

// Whether a conflict of the table in hand is settled without asking and touches no record
// but the one of its key: left out (nothing written), or replaced where the key is the
// record's only unique column (not a person or a factory, whose number the destination
// gives). Keeping references it is mapped as the per-row path maps it: the records the
// batch inserted after it are hidden from its search for an equal record under another
// key (settleConflicts()), and its entry, written after the batch's, replaces the one the
// batch gave its key. A zone is written as it is there: the batch runs only while no part
// type has a new key (applies()).
bool KvtReferenceBatchStep::conflictsPassable() const
{
    const KvtTable &table = m_run.sql().description();
    switch (m_run.events.conflictStep(table.id)) {
    case ConflictAnswer::Step::LeaveOut:
        return true;
    case ConflictAnswer::Step::ReplaceDestination:
        return table.idRule == IdRule::FromSource;
    case ConflictAnswer::Step::AskOperator:
    case ConflictAnswer::Step::AddUnderNewKey:
        break;
    }
    return false;
}

// Walks the decisions in source order as the per-row path would meet the records, with
// the batch's inserts counted in; stops at the first conflict, unless conflictsPassable():
// then the walk goes on and the conflict goes the per-row way after the batch's insert.
// The records behind it are decided as they would be after it: its settling touches no
// other key, and a later record with its key differs from it or from the record that
// holds the key, so it is a conflict too and follows it. False when an order key is not
// an integer.
bool KvtReferenceBatchStep::walkDecisions(QSqlQuery &decisions, Batch &batch)
{
    const bool passConflicts = conflictsPassable();
    const KvtTable &table = m_run.sql().description();
    const int width = table.columns.size();
    const int keyAt = table.indexOf(table.keyColumn());
    const KvtReferenceBatchSql::DecisionColumns at = KvtReferenceBatchSql::decisionColumns(decisions.record());
    while (decisions.next()) {
        KvtTableSql::Values record;
        record.reserve(width);
        for (int i = 0; i < width; ++i) {
            const QVariant value = decisions.value(i);
            record << (value.isNull() ? PSqlNull::typed() : QVariant(value.toString()));
        }
        batch.after = decisions.value(at.order).toString();
        if (!KvtSqlName::isInteger(batch.after))
            return false;
        ++batch.rows;
        const QString key = record.at(keyAt).toString();
        const bool inDestination = decisions.value(at.present).toInt() != 0;
        const bool keyInBatch = batch.keys.contains(key);
        if (inDestination || (keyInBatch && decisions.value(at.earlierDiffers).toInt() == 0)) {
            ++m_run.counts().present;
            batch.placed = batch.after;
            continue;
        }
        if (keyInBatch || decisions.value(at.keyTaken).toInt() != 0) {
            if (passConflicts) {
                batch.perRow << record;
                batch.perRowAt << int(batch.insertedRecords.size());
                continue;
            }
            batch.conflict = true;
            batch.conflictRecord = record;
            return true;
        }
        batch.keys.insert(key);
        batch.placed = batch.after;
        batch.inserted << batch.after;
        batch.insertedRecords << record;
    }
    return true;
}

bool KvtReferenceBatchStep::insertBatch(const KvtReferenceBatchSql &sql, Batch &batch)
{
    if (!batch.inserted.isEmpty()) {
        // With a journal the records are journaled before their insert commits: a run
        // killed in between leaves journaled records the server rolled back (the undo
        // finds them gone), never records the journal does not know.
        const bool journaling = m_journal.journaling();
        if (journaling && !m_run.db.transaction())
            return m_run.fail(KvtSqlStatus::failure(m_run.db.lastError()));
        QVector<qlonglong> keys;
        if (!insertBatchRecords(sql, batch, keys) || !referencesInserted(m_run.sql().table(), keys, batch)) {
            if (journaling)
                m_run.db.rollback();
            return false;
        }
        if (journaling) {
            const KvtSqlStatus committed = m_journal.commit(m_run.db);
            if (!committed)
                return m_run.fail(committed);
        }
        batch.insertedIds = mapIds(batch, keys);
    }
    return mapBatch(sql, batch);
}

QVector<KvtReferenceMap::Id> KvtReferenceBatchStep::mapIds(const Batch &batch, const QVector<qlonglong> &keys) const
{
    QVector<KvtReferenceMap::Id> ids;
    ids.reserve(keys.size());
    const KvtTable &table = m_run.sql().description();
    if (table.id != tnZones) {
        for (const qlonglong key : keys)
            ids << KvtReferenceMap::Id{0, key};
        return ids;
    }
    const int partAt = table.indexOf(QStringLiteral("DetTypeId"));
    const int numberAt = table.indexOf(QStringLiteral("ID"));
    for (const KvtTableSql::Values &record : batch.insertedRecords)
        ids << KvtReferenceMap::Id{record.at(partAt).toLongLong(), record.at(numberAt).toLongLong()};
    return ids;
}

// The INSERT of a batch's insertable records; keys: their identifiers in the destination.
bool KvtReferenceBatchStep::insertBatchRecords(const KvtReferenceBatchSql &sql, Batch &batch,
                                               QVector<qlonglong> &keys)
{
    using Returning = KvtReferenceBatchSql::Returning;
    const bool returning = m_run.options.insertReturning;
    const bool fingerprints = returning && m_journal.journaling();
    const KvtTable &table = m_run.sql().description();
    const QStringList rows = sql.valuesList() ? valueRows(batch.insertedRecords) : batch.inserted;
    QSqlQuery insert(m_run.db);
    insert.setForwardOnly(true);
    if (!insert.exec(sql.insert(rows,
                                fingerprints ? Returning::IdsAndFingerprints
                                             : returning ? Returning::Ids : Returning::Nothing,
                                m_run.options.windowFunctions)))
        return m_run.failQuery(insert);
    const int keyAt = table.indexOf(table.keyColumn());
    keys.reserve(batch.insertedRecords.size());
    if (!readInserted(sql, batch, insert, fingerprints))
        return false;
    for (const KvtTableSql::Values &record : qAsConst(batch.insertedRecords)) {
        const QString key = record.at(keyAt).toString();
        if (!sql.destinationNumbers())
            keys << key.toLongLong();
        else if (batch.idByKey.contains(key))
            keys << batch.idByKey.value(key);
        else
            return m_run.fail(KvtSqlStatus::own(
                tr("Table %1.%2: the record with %3 %4 was inserted but is not in the destination")
                    .arg(m_run.destination, table.name, table.keyColumn(), key)));
    }
    return true;
}

// "(v1, v2, ...)" per record: its Copied columns as SQL literals.
QStringList KvtReferenceBatchStep::valueRows(const QVector<KvtTableSql::Values> &records) const
{
    const KvtTable &table = m_run.sql().description();
    QVector<int> columns;
    for (const QString &column : table.columnsWith(ColumnRole::Copied))
        columns << table.indexOf(column);
    QStringList rows;
    rows.reserve(records.size());
    for (const KvtTableSql::Values &record : records) {
        QStringList values;
        for (const int at : qAsConst(columns))
            values << KvtSql::literal(record.at(at));
        rows << QLatin1Char('(') + values.join(QStringLiteral(", ")) + QLatin1Char(')');
    }
    return rows;
}

// What the insert handed back (RETURNING): the IDs the destination gave, and with
// `fingerprints` every record's fingerprint for the journal. Without RETURNING the IDs are
// read back by key (the keys were free, and the merge inserted them), and the journal
// reads the fingerprints itself.
bool KvtReferenceBatchStep::readInserted(const KvtReferenceBatchSql &sql, Batch &batch, QSqlQuery &insert,
                                         bool fingerprints)
{
    QSqlQuery readBack(m_run.db);
    QSqlQuery *ids = &insert;
    if (!m_run.options.insertReturning) {
        if (!sql.destinationNumbers())
            return true;
        const KvtTable &table = m_run.sql().description();
        const int keyAt = table.indexOf(table.keyColumn());
        QStringList literals;
        for (const KvtTableSql::Values &record : qAsConst(batch.insertedRecords))
            literals << KvtSql::literal(record.at(keyAt));
        if (!readBack.exec(sql.insertedIds(literals)))
            return m_run.failQuery(readBack);
        ids = &readBack;
    }
    const QPair<int, int> at = sql.idAndKeyColumns(ids->record());
    const KvtReferenceBatchSql::FingerprintColumns printAt = sql.fingerprintColumns(ids->record());
    while (ids->next()) {
        if (sql.destinationNumbers())
            batch.idByKey.insert(ids->value(at.second).toString(), ids->value(at.first).toLongLong());
        if (fingerprints)
            batch.fingerprintById.insert(ids->value(printAt.id).toLongLong(), ids->value(printAt.fingerprint).toString());
    }
    return true;
}

// Keeping references consistent: the batch's present and inserted records, the records
// before its conflict, enter the key map in one statement on the server.
bool KvtReferenceBatchStep::mapBatch(const KvtReferenceBatchSql &sql, const Batch &batch)
{
    const kvtTableName table = m_run.sql().table();
    if (!m_keyMap || batch.placed.isEmpty() || !KvtRelations::targets().contains(table))
        return true;
    const KvtSqlStatus status = m_keyMap->map().addSelected(table, sql.mapped(batch.from, batch.placed));
    return status || m_run.fail(status);
}

// Every set-based insert of a reference table ends here, with the keys the destination
// holds the new records under: counted, journaled with their fingerprints, and named in
// the debug log.
bool KvtReferenceBatchStep::referencesInserted(kvtTableName table, const QVector<qlonglong> &destinationKeys,
                                               const Batch &batch)
{
    if (destinationKeys.isEmpty())
        return true;
    m_run.counts().inserted += destinationKeys.size();
    PLOG_DEBUG << m_run.source << " -> " << m_run.destination << '.' << KvtTable::of(table).name << ": "
               << destinationKeys.size() << " records inserted, keys " << destinationKeys.first() << " to "
               << destinationKeys.last();
    const KvtSqlStatus status =
        m_journal.keysInserted(m_run.db, m_run.destination, table, destinationKeys, batch.fingerprintById);
    return status || m_run.fail(status);
}
