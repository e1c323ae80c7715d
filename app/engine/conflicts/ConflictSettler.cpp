#include "ConflictSettler.h"

#include "KvtMerger.h"

#include <QObject>

ConflictSettlement ConflictSettlement::settled(MergeReport::Decision decision, MergeReport::DecidedBy decidedBy,
                                               const QString &newKey)
{
    ConflictSettlement settlement;
    settlement.outcome = Outcome::Settled;
    settlement.decision = decision;
    settlement.decidedBy = decidedBy;
    settlement.newKey = newKey;
    return settlement;
}

ConflictSettlement ConflictSettlement::of(Outcome outcome)
{
    ConflictSettlement settlement;
    settlement.outcome = outcome;
    return settlement;
}

namespace ConflictHandOver {

QMetaObject::Connection connect(KvtMerger &merger, ConflictSettler &settler, QObject *context)
{
    KvtMerger *worker = &merger;
    ConflictSettler *answering = &settler;
    passStandingChoice(merger, settler);
    return QObject::connect(
        worker, &KvtMerger::conflictHandedOver, context,
        [worker, answering](const MergeConflict &conflict) { answer(*worker, *answering, conflict); },
        Qt::QueuedConnection);
}

ConflictSettlement answer(KvtMerger &merger, ConflictSettler &settler, const MergeConflict &conflict)
{
    const ConflictSettlement settlement = merger.stopFlag()
                                              ? ConflictSettlement::of(ConflictSettlement::Outcome::Unrecorded)
                                              : settler.settle(conflict);
    passStandingChoice(merger, settler); // before the worker resumes
    finish(merger, settlement);
    return settlement;
}

void finish(KvtMerger &merger, const ConflictSettlement &settlement)
{
    switch (settlement.outcome) {
    case ConflictSettlement::Outcome::Settled:
        merger.settleConflict(settlement.decision, settlement.decidedBy, settlement.newKey);
        merger.resumeThread();
        return;
    case ConflictSettlement::Outcome::Unrecorded:
        merger.resumeThread();
        return;
    case ConflictSettlement::Outcome::Deferred:
        return;
    case ConflictSettlement::Outcome::Stop:
        merger.requestStop();
        return;
    }
}

void passStandingChoice(KvtMerger &merger, const ConflictSettler &settler)
{
    merger.setStandingChoice(settler.standingChoice(), settler.standingDecider());
}

} // namespace ConflictHandOver
