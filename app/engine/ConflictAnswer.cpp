#include "ConflictAnswer.h"

#include "dlgDiffRecordsCompare.h"

namespace ConflictAnswer {

Step stepFor(kvtTableName table, actionDiffRec standingChoice)
{
    if (table == tnDevice)
        return ReplaceDestination;
    if (dlgDiffRecordsCompare::needsOperator(table, standingChoice))
        return AskOperator;
    switch (standingChoice) {
    case adrSkip:
        return LeaveOut;
    case adrReplace:
        return ReplaceDestination;
    case adrAddNew:
        return AddUnderNewKey;
    case adrAsk:
        break;
    }
    return AskOperator;
}

bool isStandingChoice(int value)
{
    return value == adrSkip || value == adrReplace || value == adrAddNew || value == adrAsk;
}

} // namespace ConflictAnswer
