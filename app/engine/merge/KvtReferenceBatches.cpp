// The set-based path of the reference tables: decisions on the server, batch by batch in
// source primary-key order, the insertable records of a batch in one statement, the
// first conflict of a batch through the per-row path. Statements in KvtReferenceBatchSql.
//
// A batch ends at its first conflict. Once the conflict is settled (the destination may
// have changed under the records after it: a replaced or added record can make a later
// one present, or take its key), the next batch decides the records after it afresh. So
// every record meets the destination exactly as the per-row path would show it.
#include "KvtMerger.h"

#include "KvtReferenceBatchSql.h"
#include "KvtRowFingerprint.h"
#include "KvtSourceKey.h"
#include "KvtSqlName.h"
#include "KvtTableStatements.h"
#include "MergeJournal.h"
#include "PLog.h"

#include <QSet>
#include <QSqlError>
#include <QSqlDriver>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>

struct KvtMerger::ReferenceBatch
{
    QString after;                                // order key of the last record decided
    int rows = 0;                                 // records decided
    QStringList inserted;                         // order keys of the records to insert
    QVector<KvtTableSql::Values> insertedRecords;
    QSet<QString> keys;                           // their keys
    // Present records: in the destination, or equal to one inserted in the batch. For
    // people the destination ID holding the TabNo (0: the one inserted in the batch).
    QVector<KvtTableSql::Values> presentRecords;
    QVector<qlonglong> presentIds;
    QHash<QString, qlonglong> idByKey;            // ID the destination gave, by key
    bool conflict = false;
    KvtTableSql::Values conflictRecord;
};

bool KvtMerger::mergeReferencesOnServer(int &errCode)
{
    const KvtTableSql &sql = m_statements->sql();
    // An empty source table is left to the per-row read, which finds nothing to merge and
    // so touches no destination table (one may be missing).
    if (m_referenceMerge != ReferenceMerge::SetBased || !sql.hasKey() || m_sourceKey->pageColumn().isEmpty()
        || counts().rows == 0)
        return false;
    if (mappingReferences() && sql.table() == tnZones && m_referenceMap->anyMoved(tnDetTypes)) {
        PLOG_DEBUG << "zones of " << currentSourceDB << " merged per row: a part type has a new key";
        return false;
    }
    PLOG_INFO << tr(sql.description().processMessage);
    const KvtReferenceBatchSql statements(sql.table(), currentSourceDB, m_sourceKey->columns(),
                                          currentDestinationDB, m_sourceKey->pageColumn());
    QString after;
    int handled = 0;
    for (;;) {
        if (m_stopFlag) {
            errCode = stepStopped;
            return true;
        }
        QSqlQuery decisions(m_db);
        decisions.setForwardOnly(true);
        ReferenceBatch batch;
        if (!decisions.exec(statements.decisions(after, m_chunkRows))) {
            getSqlErr(&decisions);
            errCode = stepSourceError;
            return true;
        }
        if (!walkDecisions(decisions, batch)) {
            reportError(tr("Table %1.%2: its primary key %3 is not an integer: \"%4\"")
                            .arg(currentSourceDB, sql.tableName(), m_sourceKey->pageColumn(), batch.after),
                        QStringLiteral("0"));
            errCode = stepSourceError;
            return true;
        }
        decisions.finish();
        if (!insertBatch(statements, batch)) {
            errCode = stepRowError;
            return true;
        }
        handled += batch.rows;
        emit sendProgressBarCurrentValue(handled);
        if (batch.conflict) {
            if (!mergeRecord(batch.conflictRecord)) {
                errCode = stepRowError;
                return true;
            }
        } else if (batch.rows < m_chunkRows) {
            return true;
        }
        after = batch.after;
    }
}

// Walks the decisions in source order as the per-row path would meet the records, with
// the batch's inserts counted in; stops at the first conflict. False when an order key is
// not an integer.
bool KvtMerger::walkDecisions(QSqlQuery &decisions, ReferenceBatch &batch)
{
    const KvtTable &table = m_statements->sql().description();
    const int width = table.columns.size();
    const int keyAt = table.indexOf(table.keyColumn());
    const KvtReferenceBatchSql::DecisionColumns at = KvtReferenceBatchSql::decisionColumns(decisions.record());
    while (decisions.next()) {
        KvtTableSql::Values record;
        record.reserve(width);
        for (int i = 0; i < width; ++i) {
            const QVariant value = decisions.value(i);
            record << QVariant(value.isNull() ? QString() : value.toString());
        }
        batch.after = decisions.value(at.order).toString();
        if (!KvtSqlName::isInteger(batch.after))
            return false;
        ++batch.rows;
        const QString key = record.at(keyAt).toString();
        const bool inDestination = decisions.value(at.present).toInt() != 0;
        const bool keyInBatch = batch.keys.contains(key);
        if (inDestination || (keyInBatch && decisions.value(at.earlierDiffers).toInt() == 0)) {
            ++counts().present;
            batch.presentRecords << record;
            batch.presentIds << (inDestination && table.id == tnHumans ? decisions.value(at.person).toLongLong() : 0);
            continue;
        }
        if (keyInBatch || decisions.value(at.keyTaken).toInt() != 0) {
            batch.conflict = true;
            batch.conflictRecord = record;
            return true;
        }
        batch.keys.insert(key);
        batch.inserted << batch.after;
        batch.insertedRecords << record;
    }
    return true;
}

bool KvtMerger::insertBatch(const KvtReferenceBatchSql &sql, ReferenceBatch &batch)
{
    if (!batch.inserted.isEmpty()) {
        // With a journal the records are journaled before their insert commits: a run
        // killed in between leaves journaled records the server rolled back (the undo
        // finds them gone), never records the journal does not know.
        const bool journaling = m_journal && m_journalRun != 0;
        if (journaling && !m_db.transaction()) {
            reportError(m_db.lastError().text(), m_db.lastError().nativeErrorCode());
            return false;
        }
        QVector<qlonglong> keys;
        if (!insertBatchRecords(sql, batch, keys) || !referencesInserted(m_statements->sql().table(), keys)) {
            if (journaling)
                m_db.rollback();
            return false;
        }
        if (journaling && !m_db.commit()) {
            reportError(m_db.lastError().text(), m_db.lastError().nativeErrorCode());
            m_db.rollback();
            return false;
        }
    }
    mapBatch(batch);
    return true;
}

// The INSERT of a batch's insertable records; keys: their identifiers in the destination.
bool KvtMerger::insertBatchRecords(const KvtReferenceBatchSql &sql, ReferenceBatch &batch, QVector<qlonglong> &keys)
{
    const bool returning = m_insertReturning && sql.destinationNumbers();
    const KvtTable &table = m_statements->sql().description();
    const QStringList rows = sql.valuesList() ? valueRows(batch.insertedRecords) : batch.inserted;
    QSqlQuery insert(m_db);
    if (!insert.exec(sql.insert(rows, returning, m_copyVariant == CopyVariant::WindowFunctions))) {
        getSqlErr(&insert);
        return false;
    }
    const int keyAt = table.indexOf(table.keyColumn());
    keys.reserve(batch.insertedRecords.size());
    if (sql.destinationNumbers() && !readInsertedIds(sql, batch, insert))
        return false;
    for (const KvtTableSql::Values &record : qAsConst(batch.insertedRecords)) {
        const QString key = record.at(keyAt).toString();
        if (!sql.destinationNumbers()) {
            keys << key.toLongLong();
        } else if (batch.idByKey.contains(key)) {
            keys << batch.idByKey.value(key);
        } else {
            reportError(tr("Table %1.%2: the record with %3 %4 was inserted but is not in the destination")
                            .arg(currentDestinationDB, table.name, table.keyColumn(), key),
                        QStringLiteral("0"));
            return false;
        }
    }
    return true;
}

// "(v1, v2, ...)" per record: its Copied columns as SQL literals.
QStringList KvtMerger::valueRows(const QVector<KvtTableSql::Values> &records) const
{
    const KvtTable &table = m_statements->sql().description();
    QVector<int> columns;
    for (const QString &column : table.columnsWith(ColumnRole::Copied))
        columns << table.indexOf(column);
    QStringList rows;
    rows.reserve(records.size());
    for (const KvtTableSql::Values &record : records) {
        QStringList values;
        for (const int at : qAsConst(columns))
            values << literal(record.at(at));
        rows << QLatin1Char('(') + values.join(QStringLiteral(", ")) + QLatin1Char(')');
    }
    return rows;
}

QString KvtMerger::literal(const QVariant &value) const
{
    QSqlField field(QString(), QVariant::String);
    field.setValue(value);
    return m_db.driver()->formatValue(field);
}

// The IDs the destination gave: from the insert's RETURNING, or read back by key (the
// keys were free, and the merge inserted them).
bool KvtMerger::readInsertedIds(const KvtReferenceBatchSql &sql, ReferenceBatch &batch, QSqlQuery &insert)
{
    QSqlQuery readBack(m_db);
    QSqlQuery *ids = &insert;
    if (!m_insertReturning) {
        const KvtTable &table = m_statements->sql().description();
        const int keyAt = table.indexOf(table.keyColumn());
        QStringList literals;
        for (const KvtTableSql::Values &record : qAsConst(batch.insertedRecords))
            literals << literal(record.at(keyAt));
        if (!readBack.exec(sql.insertedIds(literals))) {
            getSqlErr(&readBack);
            return false;
        }
        ids = &readBack;
    }
    const QPair<int, int> at = sql.idAndKeyColumns(ids->record());
    while (ids->next())
        batch.idByKey.insert(ids->value(at.second).toString(), ids->value(at.first).toLongLong());
    return true;
}

// Keeping references consistent: present and inserted records enter the key map as the
// per-row path enters them.
void KvtMerger::mapBatch(const ReferenceBatch &batch)
{
    if (!mappingReferences())
        return;
    const KvtTable &table = m_statements->sql().description();
    const auto textOf = [&](const KvtTableSql::Values &record, const char *column) {
        return m_statements->sql().text(record, QLatin1String(column));
    };
    const auto add = [&](const KvtTableSql::Values &record, qlonglong personId) {
        switch (table.id) {
        case tnFactory:
        case tnDefects:
        case tnGraphics:
            return;
        case tnHumans: {
            const qlonglong id = personId > 0 ? personId : batch.idByKey.value(textOf(record, "TabNo"));
            m_referenceMap->add(tnHumans, RefId{0, textOf(record, "ID").toLongLong()}, RefId{0, id});
            return;
        }
        case tnZones: {
            const RefId zone{textOf(record, "DetTypeId").toLongLong(), textOf(record, "ID").toLongLong()};
            m_referenceMap->add(tnZones, zone, zone);
            return;
        }
        case tnDefectRef:
        case tnDetTypes:
        case tnDevice:
        case tnResults: {
            const RefId id{0, textOf(record, "ID").toLongLong()};
            m_referenceMap->add(table.id, id, id);
            return;
        }
        }
    };
    for (int i = 0; i < batch.presentRecords.size(); ++i)
        add(batch.presentRecords.at(i), batch.presentIds.at(i));
    for (const KvtTableSql::Values &record : batch.insertedRecords)
        add(record, 0);
}

// Every set-based insert of a reference table ends here, with the keys the destination
// holds the new records under: counted, journaled with their fingerprints, and named in
// the debug log.
bool KvtMerger::referencesInserted(kvtTableName table, const QVector<qlonglong> &destinationKeys)
{
    if (destinationKeys.isEmpty())
        return true;
    counts().inserted += destinationKeys.size();
    PLOG_DEBUG << currentSourceDB << " -> " << currentDestinationDB << '.' << KvtTable::of(table).name << ": "
               << destinationKeys.size() << " records inserted, keys " << destinationKeys.first() << " to "
               << destinationKeys.last();
    if (!m_journal || m_journalRun == 0)
        return true;
    QHash<qlonglong, QString> prints;
    QString error;
    if (!KvtRowFingerprint::read(m_db, currentDestinationDB, table, destinationKeys, prints, &error)) {
        reportError(error, QStringLiteral("0"));
        return false;
    }
    QVector<MergeJournal::Row> rows;
    rows.reserve(destinationKeys.size());
    for (const qlonglong key : destinationKeys)
        rows << MergeJournal::Row{key, prints.value(key)};
    if (!m_journal->recordRows(m_journalRun, table, rows)) {
        reportError(tr("The merge journal cannot be written: %1").arg(m_journal->lastError()), QStringLiteral("0"));
        return false;
    }
    return true;
}
