#include "PSqlQueryCondition.h"

PSqlQueryCondition::PSqlQueryCondition()
    : queryCondition(QLatin1String(""))
    , selectionTurnsOn(false)
{
}

void PSqlQueryCondition::setQueryCondition(QString condition)
{
    queryCondition = condition;
}

void PSqlQueryCondition::setSelectionState(bool state)
{
    selectionTurnsOn = state;
}

bool PSqlQueryCondition::isSelectionTurnsOn()
{
    return selectionTurnsOn;
}

QString PSqlQueryCondition::returnQueryCondition(bool withDateLimit)
{
    if (!withDateLimit)
        return queryCondition;
    return queryCondition + QLatin1Char('\n')
           + QLatin1String("WHERE DATE_SUB(CURDATE(),INTERVAL 180 DAY) <= defects.Date");
}
