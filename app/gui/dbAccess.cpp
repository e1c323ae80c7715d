#include "dbAccess.h"

#include "KvtConnection.h"
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
    KvtConnectionSettings settings;
    settings.driver = driver;
    settings.database = dbName;
    settings.host = host;
    settings.user = user;
    settings.password = password;
    settings.security = m_security;
    int openCode = 0;
    QString errMsg;
    const KvtSqlStatus status = openKvtDefaultConnection(settings, [&](const QString &extraOptions) {
        m_sqlDBAccess->setExtraConnectOptions(extraOptions);
        openCode = m_sqlDBAccess->openDBConnection(db, errMsg, driver, dbName, host, user, password, port);
        return openCode == 0;
    });
    if (openCode != 0) {
        PLOG_ERROR << errMsg << " code: " << openCode;
        return openCode;
    }
    if (status)
        return 0;
    // Opened, but refused by a check: not encrypted although TLS is on, or a server too old.
    closeConnection();
    PLOG_ERROR << status.text() << " code: " << status.code();
    QMessageBox::critical(this, QObject::tr("Error"),
                          status.text() + QLatin1Char('\n') + QObject::tr("Code: ") + status.code(), QMessageBox::Ok);
    const int code = status.code().toInt();
    return code != 0 ? code : -1;
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
