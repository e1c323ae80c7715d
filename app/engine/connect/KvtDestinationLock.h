#ifndef KVTDESTINATIONLOCK_H
#define KVTDESTINATIONLOCK_H

#include "KvtSqlStatus.h"

#include <QSqlDatabase>
#include <QString>

// The server's named lock of one destination database, which keeps its merges and undos
// apart: two merges into one destination at the same time could each find a row missing
// and both insert it, and an undo beside a merge would delete records the merge finds
// present and names. Whoever writes into a destination takes it first, on the connection
// it writes with, and does nothing when another holds it. The server frees it when the
// connection ends; a run's status in the journal stays "running" after a kill, so the
// lock, not the status, tells whether a run is still going.
//
// Named after the destination as the server compares database names: on a server with
// lower_case_table_names "KVT" and "kvt" are one database and one lock. The lock is the
// server's own: on a Galera cluster it holds for merges and undos through the same node.
class KvtDestinationLock
{
public:
    enum class Outcome { Taken, Busy, Failed };

    KvtDestinationLock(const QSqlDatabase &db, const QString &destination);
    // Releases the lock when it was taken.
    ~KvtDestinationLock();
    KvtDestinationLock(const KvtDestinationLock &) = delete;
    KvtDestinationLock &operator=(const KvtDestinationLock &) = delete;

    // Takes the lock without waiting; Failed with status() when the statement failed.
    Outcome take();
    bool taken() const { return m_taken; }
    KvtSqlStatus status() const { return m_status; }

    // The statement that applies `function` (GET_LOCK(%1, 0), RELEASE_LOCK(%1),
    // IS_FREE_LOCK(%1)) to the lock of the bound :destination.
    static QString statement(const QString &function);

private:
    bool release();

    QSqlDatabase m_db;
    QString m_destination;
    bool m_taken = false;
    KvtSqlStatus m_status;
};

#endif // KVTDESTINATIONLOCK_H
