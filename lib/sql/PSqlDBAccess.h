#ifndef PSQLDBACCESS_H
#define PSQLDBACCESS_H

#include "pelmora0_global.h"

#include <QPointer>
#include <QString>
#include <QStringList>

class PSqlErrors;
class QObject;
class QSqlDatabase;

// The Qt SQL drivers worth offering to an operator, and the process's default
// database connection opened from the usual connection fields.
class PELMORA0_EXPORT PSqlDBAccess
{
public:
    explicit PSqlDBAccess(QObject *parent = nullptr);
    ~PSqlDBAccess();
    PSqlDBAccess(const PSqlDBAccess &) = delete;
    PSqlDBAccess &operator=(const PSqlDBAccess &) = delete;

    // Qt's drivers in Qt's order, each listed once under its current name.
    QStringList getDriverList();

    // Opens Qt's default connection (replacing an existing one) and hands it back in db.
    // A port text that is not a port number selects 3306. Returns 0 on success,
    // otherwise the error number; the error box has then been shown and errMsg holds
    // the driver's text.
    int openDBConnection(QSqlDatabase &db, QString &errMsg, const QString &driver,
                         const QString &dbName, const QString &host, const QString &user,
                         const QString &password, const QString &port);
    void closeDBConnection(QSqlDatabase &db);

    // Driver connect options that the next openDBConnection adds to its own (the
    // connect timeout), for example "SSL_CA=/path/ca.pem" for TLS. Empty: none.
    void setExtraConnectOptions(const QString &options);
    QString extraConnectOptions() const;

    static constexpr int defaultPort = 3306;
    // Seconds to wait for a server before the connection attempt fails.
    static constexpr int connectTimeoutSeconds = 5;

private:
    static int portFromText(const QString &port);
    static bool isMySqlDriver(const QString &driver);
    void prepareMySqlConnection(QSqlDatabase &db) const;
    static void switchToUtf8mb4(QSqlDatabase &db);

    // Deleted with its QObject parent too; the guard keeps the destructor from
    // deleting it a second time when the parent went first.
    QPointer<PSqlErrors> sqlErrors;
    QString m_extraConnectOptions;
};

#endif // PSQLDBACCESS_H
