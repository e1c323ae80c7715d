#ifndef PSQLQUERYCONDITION_H
#define PSQLQUERYCONDITION_H

#include "pelmora0_global.h"

#include <QString>

// The text of an optional condition for a view's query, and whether it is to be applied.
class PELMORA0_EXPORT PSqlQueryCondition
{
public:
    PSqlQueryCondition();

    void setQueryCondition(QString condition);
    void setSelectionState(bool state);
    bool isSelectionTurnsOn();
    // The condition; with withDateLimit, followed on a new line by a clause that keeps
    // the defects of the last 180 days. The stored condition is not changed.
    QString returnQueryCondition(bool withDateLimit);

private:
    QString queryCondition;
    bool selectionTurnsOn;
};

#endif // PSQLQUERYCONDITION_H
