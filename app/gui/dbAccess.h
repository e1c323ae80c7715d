#ifndef DBACCESS_H
#define DBACCESS_H

#include "ConnectionSecurity.h"

#include <QSqlDatabase>
#include <QString>
#include <QWidget>

class PSqlDBAccess;

// Holds the program's one database connection, Qt's default connection: every
// statement that names no connection runs on it. The widget is never shown; it only
// owns the connection helper and parents its error boxes. GUI thread only.
class DBAccess : public QWidget
{
    Q_OBJECT
public:
    // The one DBAccess, created on first use and never deleted.
    static DBAccess *instance();

    // Opens (or replaces) the connection through the engine's openKvtDefaultConnection,
    // with the TLS options of security(); 0 on success, else the error code, which is
    // also logged. The error box has then been shown. A connection that fails the
    // engine's checks is closed again (not encrypted although TLS is on:
    // ConnectionSecurity::notEncryptedCode).
    int connectToDB(const QString &driver, const QString &dbName, const QString &host,
                    const QString &user, const QString &password, const QString &port);
    bool isOpen() const;
    void closeConnection();
    QSqlDatabase getSqlDatabase() const;

    // The TLS choices of the next connectToDB.
    void setSecurity(const ConnectionSecurity &security);
    ConnectionSecurity security() const;
    // The cipher of the open connection; empty when it is not encrypted.
    QString cipher() const;

private:
    DBAccess();
    ~DBAccess() override;

    static DBAccess *pInstance;

    QSqlDatabase db;
    PSqlDBAccess *m_sqlDBAccess;
    ConnectionSecurity m_security;
};

#endif // DBACCESS_H
