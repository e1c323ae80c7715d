#ifndef KVTCONNECTION_H
#define KVTCONNECTION_H

#include "ConnectionSecurity.h"
#include "KvtSqlStatus.h"
#include "PSqlDBAccess.h"

#include <QSqlDatabase>
#include <QString>

#include <functional>

class KvtServerVersion;

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

// Every connection of the program to the server is made here: the window's (through
// Pelmora0's PSqlDBAccess::openDBConnection), a batch run's, the worker's and the
// preview's. Each gets the same treatment once it is open: it carries every Unicode text
// (utf8mb4), it is closed again when TLS is on but the session is not encrypted
// (ConnectionSecurity::isEncryptedAsAsked), and a server too old for the merge is refused
// (KvtServerVersion). Nothing is shown: a failure comes back as a result whose text is
// the driver's or one of the checks', with the server's error number as its code where
// there is one.

// Opens a connection for code without a window. A MySQL connection gets the connect
// time-out of the connection panel. An earlier connection of the same name is replaced.
// The connection belongs to the calling thread.
KvtSqlStatus openKvtConnection(const KvtConnectionSettings &settings,
                               const QString &connectionName = QLatin1String(QSqlDatabase::defaultConnection));

// Opens connectionName for the calling thread to the server, with the account and the
// connect options of the open connection `original` (the window's or the batch run's),
// reading numbers at full precision: the worker's and the preview's own connection.
// version, if given, receives the server's version.
KvtSqlStatus openKvtConnectionLike(const QString &connectionName, KvtServerVersion *version = nullptr,
                                   const QString &original = QLatin1String(QSqlDatabase::defaultConnection));

// The window's connection, Qt's default one. opener opens it from the settings with
// extraOptions as the driver's added connect options, the way the window does (with its
// error box); false when it could not. The checks above follow; a connection that fails
// them is closed again. A failure of opener itself comes back with an empty text: it has
// been reported already.
using KvtDefaultOpener = std::function<bool(const QString &extraOptions)>;
KvtSqlStatus openKvtDefaultConnection(const KvtConnectionSettings &settings, const KvtDefaultOpener &opener);

// Closes and forgets the named connection; nothing happens for an unknown name.
void closeKvtConnection(const QString &connectionName = QLatin1String(QSqlDatabase::defaultConnection));

// The server as the journal and the report name it: "host:port" as the connection was
// given them.
QString kvtServerName(const QSqlDatabase &db);

#endif // KVTCONNECTION_H
