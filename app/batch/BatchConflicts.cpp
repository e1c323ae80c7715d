#include "BatchConflicts.h"

#include "ConflictAnswer.h"
#include "ZoneNumbering.h"

#include <QObject>

BatchConflicts::BatchConflicts(ConflictPolicy policy)
    : m_policy(policy)
{
}

namespace {

// The standing choice of the window that the policy stands for.
actionDiffRec standingChoiceOf(ConflictPolicy policy)
{
    switch (policy) {
    case ConflictPolicy::AskFail: return adrAsk;
    case ConflictPolicy::Leave: return adrSkip;
    case ConflictPolicy::Replace: return adrReplace;
    case ConflictPolicy::NewKey: return adrAddNew;
    }
    return adrAsk;
}

} // namespace

actionDiffRec BatchConflicts::standingChoice() const
{
    return standingChoiceOf(m_policy);
}

ConflictSettlement BatchConflicts::settle(const MergeConflict &conflict)
{
    m_resolver.setConflict(conflict);
    m_newKey.clear();
    m_message.clear();
    m_decision = MergeReport::Decision::LeftOut;
    m_decidedBy = ConflictAnswer::decidedBy(conflict.table, MergeReport::DecidedBy::Policy);
    m_outcome = settleAs(conflict);
    return m_outcome == Outcome::Settled ? ConflictSettlement::settled(m_decision, m_decidedBy, m_newKey)
                                         : ConflictSettlement::of(ConflictSettlement::Outcome::Stop);
}

BatchConflicts::Outcome BatchConflicts::settleAs(const MergeConflict &conflict)
{
    switch (ConflictAnswer::stepFor(conflict.table, standingChoiceOf(m_policy))) {
    case ConflictAnswer::Step::AskOperator:
        // A zone under new-key keeps its part type: no operator needed to choose one.
        if (conflict.table == tnZones && m_policy == ConflictPolicy::NewKey)
            return addZoneUnderNewNumber(conflict);
        return Outcome::Unsettled;
    case ConflictAnswer::Step::LeaveOut:
        return Outcome::Settled;
    case ConflictAnswer::Step::ReplaceDestination: {
        const KvtSqlStatus status = m_resolver.replaceDestinationRecord();
        if (!status)
            return failed(status);
        m_decision = MergeReport::Decision::Replaced;
        return Outcome::Settled;
    }
    case ConflictAnswer::Step::AddUnderNewKey:
        return addUnderNewKey();
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
BatchConflicts::Outcome BatchConflicts::addZoneUnderNewNumber(const MergeConflict &conflict)
{
    if (conflict.source.isEmpty())
        return Outcome::Settled; // the source record has gone: nothing to add
    const QString partType = conflict.source.value(QStringLiteral("DetTypeId")).toString();
    ZoneNumbering numbering;
    quint32 number = 0;
    KvtSqlStatus status = numbering.nextZoneNumberIn(m_resolver.destinationDB(), partType, number);
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
