#ifndef WINDOWMERGE_H
#define WINDOWMERGE_H

#include "global_vars.h"

#include <QString>
#include <QStringList>

// A merge as the operator runs it: the main window is made, the connection panel filled
// and "Connect" pressed, the fields filled and "Merge databases" pressed, and the merge
// counts until the window is idle again. Conflicts are settled by a standing choice made
// before the start, as an operator does who answers the first one "for the rest of the
// merge". Needs a QApplication.
struct WindowMerge
{
    QString host;
    int port = 3306;
    QString user;
    QString password;
    QStringList sources;
    QString destination;
    bool keepReferences = false;
    actionDiffRec standingChoice = adrSkip;
    int timeoutMs = 3600 * 1000;

    // True when the merge ran to its end; elapsedMs counts from the window's creation.
    bool run(qint64 &elapsedMs, QString &error) const;
};

#endif // WINDOWMERGE_H
