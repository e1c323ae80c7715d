#include "KvtRowMerge.h"

#include "KvtKeyMapStep.h"
#include "KvtRunJournal.h"
#include "KvtSourceKey.h"
#include "KvtSourceReader.h"
#include "KvtSql.h"
#include "KvtTableStatements.h"
#include "PLog.h"

KvtStepResult KvtRowMerge::readSourceTable()
{
    const KvtTable &table = m_run.sql().description();
    PLOG_INFO << tr(table.processMessage);
    KvtSourceReader reader(m_run.db);
    if (!reader.open(m_run.source, table.name, m_run.sourceKey().pageColumn())) {
        m_run.failQuery(*reader.query());
        return KvtStepResult::SourceError;
    }
    reader.locate(table.columnNames());
    const KvtStepResult result = mergeRecords(reader);
    return flushJournal() || result != KvtStepResult::Done ? result : KvtStepResult::RowError;
}

KvtStepResult KvtRowMerge::mergeRecords(KvtSourceReader &reader)
{
    int counter = 0;
    while (reader.next()) {
        m_run.events.progress(counter);
        if (m_run.stopped())
            return KvtStepResult::Stopped;
        if (!mergeRecord(recordOf(reader)))
            return KvtStepResult::RowError;
        ++counter;
    }
    if (reader.failed()) {
        m_run.failQuery(*reader.query());
        return KvtStepResult::SourceError;
    }
    return KvtStepResult::Done;
}

KvtRowMerge::Values KvtRowMerge::recordOf(const KvtSourceReader &row) const
{
    const QVector<KvtColumn> &columns = m_run.sql().description().columns;
    Values record;
    record.reserve(columns.size());
    for (int i = 0; i < columns.size(); ++i)
        record << (columns.at(i).binary ? QVariant(row.bytes(i)) : QVariant(row.text(i)));
    return record;
}

bool KvtRowMerge::mergeRecord(const Values &record)
{
    return m_keyMap ? m_keyMap->mergeRecord(record) : mergePlain(record);
}

bool KvtRowMerge::mergePlain(const Values &record)
{
    const KvtTableSql &sql = m_run.sql();
    if (!sql.hasKey()) {
        int count = 0;
        if (!countMatches(m_run.statements().sameRecordTest, sql.sameRecordValues(record), count))
            return false;
        if (count >= 1) {
            ++m_run.counts().present;
            return true;
        }
        return insertRecord(record);
    }
    switch (lookUp(sql.sameRecordValues(record), sql.keyValues(record))) {
    case ReferenceState::Failed:
        return false;
    case ReferenceState::Present:
        return true;
    case ReferenceState::KeyFree:
        return insertRecord(record);
    case ReferenceState::KeyTaken:
        break;
    }
    const KvtTable &table = sql.description();
    return handOver(table.keyColumn(), record.value(table.indexOf(table.keyColumn())).toString(), QString());
}

// The settler writes on a connection of its own: the rows journaled so far commit first.
// The step is read once, here: a standing choice changed meanwhile applies from the next
// conflict on.
bool KvtRowMerge::handOver(const QString &keyColumn, const QString &key, const QString &sourceSelect,
                           bool *leftOut)
{
    const bool standingLeaveOut =
        m_run.events.conflictStep(m_run.sql().table()) == ConflictAnswer::Step::LeaveOut;
    if (leftOut)
        *leftOut = standingLeaveOut;
    if (standingLeaveOut)
        return m_run.events.conflictLeftOut(keyColumn, key);
    return flushJournal() && m_run.events.conflict(keyColumn, key, sourceSelect);
}

// The identifier follows the table's rule: copied, left to the destination's counter, or
// the destination's largest ID plus 1.
bool KvtRowMerge::insertRecord(const Values &record)
{
    const KvtTableSql &sql = m_run.sql();
    Bindings values = sql.insertValues(record);
    if (sql.description().idRule == IdRule::NextAfterMax) {
        qlonglong id = 0;
        if (!nextId(id))
            return false;
        values.append({KvtSql::valuePlaceholder(QStringLiteral("ID")), id});
    }
    return execInsert(m_run.statements().insert, values);
}

bool KvtRowMerge::nextId(qlonglong &id)
{
    int maxId = 0;
    if (!countMatches(m_run.statements().maxId, {}, maxId))
        return false;
    id = maxId + 1;
    return true;
}

bool KvtRowMerge::execInsert(KvtPreparedQuery &query, const Bindings &values)
{
    const KvtTableSql &sql = m_run.sql();
    KvtSqlStatus status = m_journal.beforeRowInsert(m_run.db);
    if (!status)
        return m_run.fail(status);
    if (!query.exec(values))
        return m_run.failQuery(query.query());
    ++m_run.counts().inserted;
    status = m_journal.rowInserted(m_run.db, m_run.destination, sql.table(), query, values);
    return status || m_run.fail(status);
}

bool KvtRowMerge::flushJournal()
{
    const KvtSqlStatus status = m_journal.flush(m_run.db, m_run.sql().table());
    return status || m_run.fail(status);
}

bool KvtRowMerge::countMatches(KvtPreparedQuery &query, const Bindings &values, int &count)
{
    if (!query.exec(values))
        return m_run.failQuery(query.query());
    count = query.firstInt();
    return true;
}

KvtRowMerge::ReferenceState KvtRowMerge::lookUp(const Bindings &sameRecord, const Bindings &key)
{
    if (m_keysKnownTaken)
        return ReferenceState::KeyTaken;
    int count = 0;
    if (!countMatches(m_run.statements().sameRecordTest, sameRecord, count))
        return ReferenceState::Failed;
    if (count >= 1) {
        ++m_run.counts().present;
        return ReferenceState::Present;
    }
    if (!countMatches(m_run.statements().keyTest, key, count))
        return ReferenceState::Failed;
    return count < 1 ? ReferenceState::KeyFree : ReferenceState::KeyTaken;
}
