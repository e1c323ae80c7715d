#include "ConflictAnswer.h"

#include "ConflictResolver.h"

namespace ConflictAnswer {

bool alwaysReplaced(kvtTableName table)
{
    return table == tnDevice;
}

MergeReport::DecidedBy decidedBy(kvtTableName table, MergeReport::DecidedBy otherwise)
{
    return alwaysReplaced(table) ? MergeReport::DecidedBy::DeviceRule : otherwise;
}

Step stepFor(kvtTableName table, actionDiffRec standingChoice)
{
    if (alwaysReplaced(table))
        return Step::ReplaceDestination;
    if (ConflictResolver::needsOperator(table, standingChoice))
        return Step::AskOperator;
    switch (standingChoice) {
    case adrSkip:
        return Step::LeaveOut;
    case adrReplace:
        return Step::ReplaceDestination;
    case adrAddNew:
        return Step::AddUnderNewKey;
    case adrAsk:
        break;
    }
    return Step::AskOperator;
}

bool isStandingChoice(int value)
{
    return value == adrSkip || value == adrReplace || value == adrAddNew || value == adrAsk;
}

} // namespace ConflictAnswer
