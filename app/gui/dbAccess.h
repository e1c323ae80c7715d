#ifndef DBACCESS_H
#define DBACCESS_H

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

    // Opens (or replaces) the connection; 0 on success, else the error code, which
    // is also logged. The error box has then been shown.
    int connectToDB(const QString &driver, const QString &dbName, const QString &host,
                    const QString &user, const QString &password, const QString &port);
    bool isOpen() const;
    void closeConnection();
    QSqlDatabase getSqlDatabase() const;

private:
    DBAccess();
    ~DBAccess() override;

    static DBAccess *pInstance;

    QSqlDatabase db;
    PSqlDBAccess *sqlDBAccess;
};

#endif // DBACCESS_H
