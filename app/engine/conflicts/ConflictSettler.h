#ifndef CONFLICTSETTLER_H
#define CONFLICTSETTLER_H

#include "MergeConflict.h"
#include "MergeReport.h"

#include <QMetaObject>
#include <QString>

class KvtMerger;
class QObject;

// What became of a conflict, and how the worker's wait on it ends.
struct ConflictSettlement
{
    enum class Outcome {
        Settled,    // the decision is recorded in the report, the worker resumes
        Unrecorded, // the worker resumes; nothing is recorded (the settler did it, or an error stopped the run)
        Deferred,   // the settler ends the wait later itself, through ConflictHandOver::finish()
        Stop        // nothing was settled: the run stops (which ends the wait too)
    };
    Outcome outcome = Outcome::Unrecorded;
    MergeReport::Decision decision = MergeReport::Decision::LeftOut;
    MergeReport::DecidedBy decidedBy = MergeReport::DecidedBy::Policy;
    QString newKey; // the key of a record added under a new key

    static ConflictSettlement settled(MergeReport::Decision decision, MergeReport::DecidedBy decidedBy,
                                      const QString &newKey = QString());
    static ConflictSettlement of(Outcome outcome);
};

// Decides a conflict handed over by the worker and writes its outcome (replace, add under
// a new key, leave out), on the thread that receives the conflict. The window implements
// it with its dialogs and standing choice, the batch mode with its --on-conflict policy.
// The device rule is not the settler's: ConflictAnswer::stepFor() applies it.
class ConflictSettler
{
public:
    virtual ~ConflictSettler() = default;
    virtual ConflictSettlement settle(const MergeConflict &conflict) = 0;
    // The choice that settles conflicts without asking (adrAsk: none). ConflictHandOver
    // passes it on to the worker, which may then finish a batch past conflicts that are
    // left out anyway and hand them over after it.
    virtual actionDiffRec standingChoice() const { return adrAsk; }
    // Who, in the report, decided what the standing choice settles.
    virtual MergeReport::DecidedBy standingDecider() const { return MergeReport::DecidedBy::StandingChoice; }
};

// The one place that ends the worker's wait on a conflict, exactly once: the worker
// (KvtMerger::conflictHandedOver) waits on waitMutex/resumeCondition until resumeThread()
// or requestStop(). A conflict that arrives while the run is being stopped is left out
// without asking the settler.
namespace ConflictHandOver {

// Answers each conflict of `merger` with `settler` on the thread of `context` (queued),
// and tells the merger the settler's standing choice, now and after each answer.
QMetaObject::Connection connect(KvtMerger &merger, ConflictSettler &settler, QObject *context);
// Settles one conflict and ends the wait as the settlement says; returns the settlement.
ConflictSettlement answer(KvtMerger &merger, ConflictSettler &settler, const MergeConflict &conflict);
// Ends the wait as the settlement says (Deferred: does nothing).
void finish(KvtMerger &merger, const ConflictSettlement &settlement);
// Tells the merger the settler's standing choice and who stands behind it.
void passStandingChoice(KvtMerger &merger, const ConflictSettler &settler);

} // namespace ConflictHandOver

#endif // CONFLICTSETTLER_H
