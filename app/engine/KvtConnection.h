#ifndef KVTCONNECTION_H
#define KVTCONNECTION_H

#include <QString>

// Where and as whom to connect.
struct KvtConnectionSettings
{
    QString host;
    int port = 3306;
    QString user;
    QString password;
    QString database = QStringLiteral("mysql");
    // Further options of Qt's MySQL driver, ';'-separated (for example TLS:
    // "SSL_CA=/path/ca.pem"); the connect timeout is always added.
    QString connectOptions;
};

// The outcome of an attempt: the driver's error text and number when it failed.
struct KvtConnectResult
{
    bool ok = false;
    QString errorText;
    QString errorCode;
};

// Opens Qt's default connection (replacing an open one) to a MySQL/MariaDB server and
// switches it to utf8mb4. Shows nothing: a failure, a refused login included, comes back
// in the result, so a caller without a window can report it.
KvtConnectResult openDefaultConnection(const KvtConnectionSettings &settings);

#endif // KVTCONNECTION_H
