#include "PSingleRun.h"

#include "PLog.h"

#include <QMessageBox>

PSingleRun::PSingleRun() = default;

bool PSingleRun::isRunningNow(const QString &key)
{
    if (m_marker.isAttached())
        m_marker.detach();
    m_marker.setKey(key);
    removeOrphanedSegment();
    if (m_marker.create(segmentSize, QSharedMemory::ReadWrite))
        return false;
    PLOG_WARN << "Instance marker" << key << "not created:" << m_marker.errorString();
    tellUser(key);
    return true;
}

// A segment outlives a process that was killed. Attaching and detaching again removes
// a segment that no live process holds, so a start after a crash is not refused; one
// that a running instance holds stays.
void PSingleRun::removeOrphanedSegment()
{
    if (m_marker.attach(QSharedMemory::ReadOnly))
        m_marker.detach();
}

void PSingleRun::tellUser(const QString &key)
{
    QMessageBox::information(nullptr, QStringLiteral("Warning"),
                             key + QStringLiteral(" is already running."), QMessageBox::Ok,
                             QMessageBox::NoButton);
}
