#include "BatchConflicts.h"

#include "KvtTables.h"
#include "ZoneNumbering.h"

#include <QObject>

BatchConflicts::BatchConflicts(ConflictPolicy policy)
    : m_policy(policy)
{
}

BatchConflicts::Outcome BatchConflicts::settle(kvtTableName table, const QString &sourceDB,
                                               const QString &destinationDB, const QString &sourceQuery)
{
    m_resolver.setConflict(table, sourceDB, destinationDB, sourceQuery);
    m_newKey.clear();
    m_message.clear();
    m_decision = MergeReport::Decision::LeftOut;
    m_decidedBy = table == tnDevice ? MergeReport::DecidedBy::DeviceRule : MergeReport::DecidedBy::Policy;
    const ConflictPolicy policy = table == tnDevice ? ConflictPolicy::Replace : m_policy;
    switch (policy) {
    case ConflictPolicy::AskFail:
        return Outcome::Unsettled;
    case ConflictPolicy::Leave:
        return Outcome::Settled;
    case ConflictPolicy::Replace: {
        const KvtSqlStatus status = m_resolver.replaceDestinationRecord();
        if (!status)
            return failed(status);
        m_decision = MergeReport::Decision::Replaced;
        return Outcome::Settled;
    }
    case ConflictPolicy::NewKey:
        return table == tnZones ? addZoneUnderNewNumber() : addUnderNewKey();
    }
    return Outcome::Unsettled;
}

BatchConflicts::Outcome BatchConflicts::addUnderNewKey()
{
    quint64 key = 0;
    const KvtSqlStatus proposed = m_resolver.proposedKey(key);
    if (!proposed)
        return failed(proposed);
    switch (m_resolver.addUnderNewKey()) {
    case ConflictResolver::AddOutcome::Added:
        m_decision = MergeReport::Decision::AddedNewKey;
        m_newKey = QString::number(key);
        return Outcome::Settled;
    case ConflictResolver::AddOutcome::NoKeyLeft:
        m_message = QStringLiteral("no key left in %1.%2 for a record added under a new key")
                        .arg(m_resolver.destinationDB(), m_resolver.tableName());
        return Outcome::Failed;
    case ConflictResolver::AddOutcome::Failed:
        break;
    }
    return failed(m_resolver.lastError());
}

// A zone keeps its part type and takes the next zone number of that part type in the
// destination; its key follows from both.
BatchConflicts::Outcome BatchConflicts::addZoneUnderNewNumber()
{
    QStringList record;
    KvtSqlStatus status = m_resolver.readSource(record);
    if (!status)
        return failed(status);
    if (record.isEmpty())
        return Outcome::Settled; // the source record has gone: nothing to add
    const KvtTable &zones = KvtTable::of(tnZones);
    const QString partType = record.value(zones.indexOf(QStringLiteral("DetTypeId")));
    ZoneNumbering numbering;
    quint32 number = 0;
    status = numbering.nextZoneNumberIn(m_resolver.destinationDB(), partType, number);
    if (!status)
        return failed(status);
    if (number > lastZoneNumber) {
        m_message = QStringLiteral("no zone number left for part type %1 in %2: its zones are "
                                "numbered up to %3")
                        .arg(partType, m_resolver.destinationDB(), QString::number(lastZoneNumber));
        return Outcome::Failed;
    }
    const QString key = QString::number(ZoneNumbering::zoneKey(partType.toUInt(), number));
    status = m_resolver.addZone(key, partType, QString::number(number));
    if (!status)
        return failed(status);
    m_decision = MergeReport::Decision::AddedNewKey;
    m_newKey = key;
    return Outcome::Settled;
}

BatchConflicts::Outcome BatchConflicts::failed(const KvtSqlStatus &status)
{
    m_message = status.describe();
    return Outcome::Failed;
}
