#ifndef PSINGLERUN_H
#define PSINGLERUN_H

#include "pelmora0_global.h"

#include <QSharedMemory>
#include <QString>

// Tells an application at start whether another instance with the same key runs.
// The marker is a named shared-memory segment held for the life of this object, so
// keep the object alive as long as the application runs.
class PELMORA0_EXPORT PSingleRun
{
public:
    PSingleRun();
    PSingleRun(const PSingleRun &) = delete;
    PSingleRun &operator=(const PSingleRun &) = delete;

    // False when this instance now holds the key. True, after telling the user, when
    // another live instance holds it (or the marker cannot be created).
    bool isRunningNow(const QString &key);

    static constexpr int segmentSize = 512;

private:
    void removeOrphanedSegment();
    static void tellUser(const QString &key);

    QSharedMemory m_marker;
};

#endif // PSINGLERUN_H
