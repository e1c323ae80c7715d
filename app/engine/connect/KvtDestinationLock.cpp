#include "KvtDestinationLock.h"

#include "KvtPreparedQuery.h"
#include "PLog.h"

#include <QSqlError>

QString KvtDestinationLock::statement(const QString &function)
{
    return QStringLiteral("SELECT %1 FROM (SELECT :destination AS name) AS d").arg(function.arg(QStringLiteral(
        "CONCAT('kvtmerge:', MD5(IF(@@lower_case_table_names = 0, d.name, LOWER(d.name))))")));
}

KvtDestinationLock::KvtDestinationLock(const QSqlDatabase &db, const QString &destination)
    : m_db(db)
    , m_destination(destination)
{
}

// The server frees a named lock when it has ended the session, which it does after the
// client has closed the connection, and a merge started at once could still find the lock
// taken: the lock is released when its holder ends. After a lost connection the release
// fails, and the server frees the lock with the session.
KvtDestinationLock::~KvtDestinationLock()
{
    if (m_taken && !release())
        PLOG_WARN << "the lock of " << m_destination << " was not released: " << m_status.text();
}

KvtDestinationLock::Outcome KvtDestinationLock::take()
{
    KvtPreparedQuery lock(m_db, statement(QStringLiteral("GET_LOCK(%1, 0)")));
    m_status = lock.run({{QStringLiteral(":destination"), m_destination}});
    if (!m_status)
        return Outcome::Failed;
    m_taken = lock.query().next() && lock.query().value(0).toInt() == 1;
    return m_taken ? Outcome::Taken : Outcome::Busy;
}

bool KvtDestinationLock::release()
{
    KvtPreparedQuery release(m_db, statement(QStringLiteral("RELEASE_LOCK(%1)")));
    m_status = release.run({{QStringLiteral(":destination"), m_destination}});
    m_taken = false;
    return m_status.ok();
}
