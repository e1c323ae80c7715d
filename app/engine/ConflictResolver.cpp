#include "ConflictResolver.h"

#include "KvtTables.h"

#include <limits>

ConflictResolver::ConflictResolver(const QString &connectionName)
    : m_writer(connectionName)
    , m_keys(connectionName)
{
}

bool ConflictResolver::needsOperator(kvtTableName table, actionDiffRec standingChoice)
{
    if (table == tnDevice)
        return false;
    return standingChoice == adrAsk || (standingChoice == adrAddNew && table == tnZones);
}

void ConflictResolver::setConflict(kvtTableName table, const QString &srcDB, const QString &destDB,
                                   const QString &srcQuery)
{
    m_table = table;
    m_srcDB = srcDB;
    m_destDB = destDB;
    m_lastError = KvtSqlStatus();
    m_writer.setConflict(table, destDB, srcQuery);
}

QString ConflictResolver::tableName() const
{
    const KvtTable &table = KvtTable::of(m_table);
    return table.isReference() ? table.name : QString();
}

KvtSqlStatus ConflictResolver::proposedKey(quint64 &key) const
{
    return m_keys.nextFreeKey(m_destDB, tableName(), key);
}

bool ConflictResolver::keyFits(quint64 key)
{
    return key <= quint64(std::numeric_limits<int>::max());
}

ConflictResolver::AddOutcome ConflictResolver::addUnderNewKey()
{
    if (m_table == tnZones)
        return AddOutcome::Added;
    quint64 key = 0;
    m_lastError = proposedKey(key);
    if (!m_lastError)
        return AddOutcome::Failed;
    if (!keyFits(key))
        return AddOutcome::NoKeyLeft;
    m_lastError = addWithKey(int(key));
    return m_lastError ? AddOutcome::Added : AddOutcome::Failed;
}
