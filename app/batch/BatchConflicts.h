#ifndef BATCHCONFLICTS_H
#define BATCHCONFLICTS_H

#include "BatchOptions.h"
#include "ConflictResolver.h"
#include "ConflictSettler.h"
#include "MergeReport.h"
#include "global_vars.h"

#include <QString>

// Settles the conflicts of a batch run by its --on-conflict policy, through the engine's
// conflict resolver, as the window's standing choices do (ConflictAnswer::stepFor, which
// also applies the device rule). What the window would ask an operator about, a batch run
// cannot settle: under ask-fail it stops at the first conflict.
class BatchConflicts : public ConflictSettler
{
public:
    enum class Outcome {
        Settled,   // written (or left out) as the policy says
        Unsettled, // ask-fail: nobody to ask
        Failed     // a statement failed, or no key or zone number is left; see message()
    };
    explicit BatchConflicts(ConflictPolicy policy);

    // Settled: written (or left out); anything else stops the run (outcome() says why).
    ConflictSettlement settle(const MergeConflict &conflict) override;
    actionDiffRec standingChoice() const override;
    MergeReport::DecidedBy standingDecider() const override { return MergeReport::DecidedBy::Policy; }

    Outcome outcome() const { return m_outcome; }
    // How the last settled conflict was settled, and by what rule.
    MergeReport::Decision decision() const { return m_decision; }
    MergeReport::DecidedBy decidedBy() const { return m_decidedBy; }
    // The key the record was added under (AddedNewKey).
    QString newKey() const { return m_newKey; }
    // Why the last conflict was not settled.
    QString message() const { return m_message; }

    // The largest zone number (ID) a part type can have: DetTypeZone is 100 x part type + ID.
    static constexpr quint32 lastZoneNumber = 99;

private:
    Outcome settleAs(const MergeConflict &conflict);
    Outcome addUnderNewKey();
    Outcome addZoneUnderNewNumber(const MergeConflict &conflict);
    Outcome failed(const KvtSqlStatus &status);

    ConflictPolicy m_policy;
    ConflictResolver m_resolver;
    Outcome m_outcome = Outcome::Settled;
    MergeReport::Decision m_decision = MergeReport::Decision::LeftOut;
    MergeReport::DecidedBy m_decidedBy = MergeReport::DecidedBy::Policy;
    QString m_newKey;
    QString m_message;
};

#endif // BATCHCONFLICTS_H
