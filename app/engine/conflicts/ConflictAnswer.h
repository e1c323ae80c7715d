#ifndef CONFLICTANSWER_H
#define CONFLICTANSWER_H

#include "MergeReport.h"
#include "global_vars.h"

// How the main window settles a conflicting reference record handed over by the merge
// worker, from the conflict's table and the operator's standing choice.
namespace ConflictAnswer {

enum class Step {
    AskOperator,        // show the comparison dialog; it wakes the worker itself
    ReplaceDestination, // the destination record takes the source values
    AddUnderNewKey,     // the source record is added under the next free key
    LeaveOut            // the destination keeps its record
};

// The device rule: a device record in conflict is always replaced, whatever the standing
// choice or the policy; the operator is never asked.
bool alwaysReplaced(kvtTableName table);
// Who decides a conflict of the table: the device rule, or `otherwise`.
MergeReport::DecidedBy decidedBy(kvtTableName table, MergeReport::DecidedBy otherwise);

// Device conflicts always replace the destination record. A zone under the standing
// choice "add as new" still goes to the operator, who must choose its part type; so
// does any value that is not a standing choice, so that no conflict is left unanswered.
Step stepFor(kvtTableName table, actionDiffRec standingChoice);

// True for adrSkip, adrReplace, adrAddNew and adrAsk.
bool isStandingChoice(int value);

} // namespace ConflictAnswer

#endif // CONFLICTANSWER_H
