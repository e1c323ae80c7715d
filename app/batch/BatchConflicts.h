#ifndef BATCHCONFLICTS_H
#define BATCHCONFLICTS_H

#include "BatchOptions.h"
#include "ConflictResolver.h"
#include "MergeReport.h"
#include "global_vars.h"

#include <QString>

// Settles the conflicts of a batch run by its --on-conflict policy, through the engine's
// conflict resolver, as the window's standing choices do. What the window would ask an
// operator about, a batch run cannot settle: under ask-fail it stops at the first
// conflict. A device conflict is always replaced.
class BatchConflicts
{
public:
    enum class Outcome {
        Settled,   // written (or left out) as the policy says
        Unsettled, // ask-fail: nobody to ask
        Failed     // a statement failed, or no key or zone number is left; see message()
    };
    explicit BatchConflicts(ConflictPolicy policy);

    Outcome settle(kvtTableName table, const QString &sourceDB, const QString &destinationDB,
                   const QString &sourceQuery);

    // The conflict's table name.
    QString tableName() const { return m_resolver.tableName(); }
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
    Outcome addUnderNewKey();
    Outcome addZoneUnderNewNumber();
    Outcome failed(const KvtSqlStatus &status);

    ConflictPolicy m_policy;
    ConflictResolver m_resolver;
    MergeReport::Decision m_decision = MergeReport::Decision::LeftOut;
    MergeReport::DecidedBy m_decidedBy = MergeReport::DecidedBy::Policy;
    QString m_newKey;
    QString m_message;
};

#endif // BATCHCONFLICTS_H
