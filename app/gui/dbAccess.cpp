#include "dbAccess.h"

#include "PLog.h"
#include "PSqlDBAccess.h"

#include <QMessageBox>

DBAccess *DBAccess::pInstance = nullptr;

DBAccess *DBAccess::instance()
{
    if (!pInstance)
        pInstance = new DBAccess;
    return pInstance;
}

DBAccess::DBAccess()
    : QWidget(nullptr)
    , m_sqlDBAccess(new PSqlDBAccess(this))
{
}

DBAccess::~DBAccess()
{
    delete m_sqlDBAccess;
}

int DBAccess::connectToDB(const QString &driver, const QString &dbName, const QString &host,
                          const QString &user, const QString &password, const QString &port)
{
    QString errMsg;
    m_sqlDBAccess->setExtraConnectOptions(m_security.connectOptions());
    const int code = m_sqlDBAccess->openDBConnection(db, errMsg, driver, dbName, host, user, password, port);
    if (code != 0) {
        PLOG_ERROR << errMsg << " code: " << code;
        return code;
    }
    return keepOnlyIfEncryptedAsAsked() ? 0 : ConnectionSecurity::notEncryptedCode;
}

// The driver goes on in plain text when the server hides TLS; the program does not:
// false after such a connection has been closed and reported.
bool DBAccess::keepOnlyIfEncryptedAsAsked()
{
    QString problem;
    if (ConnectionSecurity::isEncryptedAsAsked(db, &problem))
        return true;
    closeConnection();
    const QString code = QString::number(ConnectionSecurity::notEncryptedCode);
    PLOG_ERROR << problem << " code: " << code;
    QMessageBox::critical(this, QObject::tr("Error"), problem + QLatin1Char('\n') + QObject::tr("Code: ") + code,
                          QMessageBox::Ok);
    return false;
}

bool DBAccess::isOpen() const
{
    return db.isOpen();
}

void DBAccess::closeConnection()
{
    m_sqlDBAccess->closeDBConnection(db);
}

QSqlDatabase DBAccess::getSqlDatabase() const
{
    return db;
}

void DBAccess::setSecurity(const ConnectionSecurity &security)
{
    m_security = security;
}

ConnectionSecurity DBAccess::security() const
{
    return m_security;
}

QString DBAccess::cipher() const
{
    return db.isOpen() ? ConnectionSecurity::sessionCipher(db) : QString();
}
