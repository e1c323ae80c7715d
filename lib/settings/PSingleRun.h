#ifndef PSINGLERUN_H
#define PSINGLERUN_H

#include "pelmora0_global.h"

#include <QSharedMemory>
#include <QString>

// Tells an application at start whether another instance with the same key runs.
// The marker is a named shared-memory segment held for the life of this object, so
// keep the object alive as long as the application runs.
//
// The marker belongs to the user: its name joins the key and the user's identity
// (userKey), so that two users each run one instance, and a segment under that name
// that another user made (a squatter) does not count as an instance.
class PELMORA0_EXPORT PSingleRun
{
public:
    PSingleRun();
    PSingleRun(const PSingleRun &) = delete;
    PSingleRun &operator=(const PSingleRun &) = delete;

    // False when this instance now holds the key. True, after telling the user, when
    // another live instance of this user holds it (or the marker cannot be created).
    bool isRunningNow(const QString &key);

    // The name of the marker of key for the user running this process.
    static QString userKey(const QString &key);

    static constexpr int segmentSize = 512;

private:
    void removeOrphanedSegment();
    bool heldByAnotherUser() const;
    static void tellUser(const QString &key);

    QSharedMemory m_marker;
};

#endif // PSINGLERUN_H
