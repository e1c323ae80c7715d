#include "PSingleRun.h"

#include "PLog.h"

#include <QFile>
#include <QMessageBox>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <unistd.h>
#endif

PSingleRun::PSingleRun() = default;

bool PSingleRun::isRunningNow(const QString &key)
{
    if (m_marker.isAttached())
        m_marker.detach();
    m_marker.setKey(userKey(key));
    removeOrphanedSegment();
    if (m_marker.create(segmentSize, QSharedMemory::ReadWrite))
        return false;
    if (m_marker.error() == QSharedMemory::AlreadyExists && heldByAnotherUser()) {
        PLOG_WARN << "Instance marker" << m_marker.key()
                  << "was made by another user; it is not an instance of ours";
        return false;
    }
    PLOG_WARN << "Instance marker" << m_marker.key() << "not created:" << m_marker.errorString();
    tellUser(key);
    return true;
}

QString PSingleRun::userKey(const QString &key)
{
#ifdef Q_OS_UNIX
    const QString user = QString::number(geteuid());
#else
    const QString user = qEnvironmentVariable("USERDOMAIN") + QLatin1Char('\\')
        + qEnvironmentVariable("USERNAME");
#endif
    return key + QLatin1String("@user:") + user;
}

// A segment outlives a process that was killed. Attaching and detaching again removes
// a segment that no live process holds, so a start after a crash is not refused; one
// that a running instance holds stays.
void PSingleRun::removeOrphanedSegment()
{
    if (m_marker.attach(QSharedMemory::ReadOnly))
        m_marker.detach();
}

// Whether the segment under our name belongs to someone else: one we may not even
// look at, or one whose owner is another user. Only a user's own instances count.
bool PSingleRun::heldByAnotherUser() const
{
#ifdef Q_OS_UNIX
    // QSharedMemory names its System V segment after this file, with project id 'Q'.
    const key_t ipcKey = ftok(QFile::encodeName(m_marker.nativeKey()).constData(), 'Q');
    const int id = ipcKey == -1 ? -1 : shmget(ipcKey, 0, 0);
    if (id == -1)
        return false;
    shmid_ds status{};
    if (shmctl(id, IPC_STAT, &status) == -1)
        return errno == EACCES;
    return status.shm_perm.uid != geteuid();
#else
    return false;
#endif
}

void PSingleRun::tellUser(const QString &key)
{
    QMessageBox::information(nullptr, QStringLiteral("Warning"),
                             key + QStringLiteral(" is already running."), QMessageBox::Ok,
                             QMessageBox::NoButton);
}
