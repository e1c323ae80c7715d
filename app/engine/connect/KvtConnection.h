#ifndef KVTCONNECTION_H
#define KVTCONNECTION_H

#include "ConnectionSecurity.h"
#include "KvtSqlStatus.h"
#include "PSqlDBAccess.h"

#include <QSqlDatabase>
#include <QString>

// Where and how to connect to the server that holds the KVT databases.
struct KvtConnectionSettings
{
    QString driver = QStringLiteral("QMYSQL");
    QString host = QStringLiteral("127.0.0.1");
    int port = PSqlDBAccess::defaultPort;
    QString user;
    QString password;
    // The database the connection opens; none by default: every statement names its
    // databases itself, and an account with only the grants of a merge has no rights on
    // "mysql".
    QString database;
    // TLS; a connection that is not encrypted although TLS is on fails.
    ConnectionSecurity security;
};

// Opens a connection for code without a window: nothing is shown, the failure comes back
// as a result. A MySQL connection gets the connect time-out of the connection panel and
// carries every Unicode text (utf8mb4). An earlier connection of the same name is
// replaced. The connection belongs to the calling thread.
KvtSqlStatus openKvtConnection(const KvtConnectionSettings &settings,
                               const QString &connectionName = QLatin1String(QSqlDatabase::defaultConnection));

// Closes and forgets the named connection; nothing happens for an unknown name.
void closeKvtConnection(const QString &connectionName = QLatin1String(QSqlDatabase::defaultConnection));

#endif // KVTCONNECTION_H
