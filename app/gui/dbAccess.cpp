#include "dbAccess.h"

#include "PLog.h"
#include "PSqlDBAccess.h"

DBAccess *DBAccess::pInstance = nullptr;

DBAccess *DBAccess::instance()
{
    if (!pInstance)
        pInstance = new DBAccess;
    return pInstance;
}

DBAccess::DBAccess()
    : QWidget(nullptr)
    , sqlDBAccess(new PSqlDBAccess(this))
{
}

DBAccess::~DBAccess()
{
    delete sqlDBAccess;
}

int DBAccess::connectToDB(const QString &driver, const QString &dbName, const QString &host,
                          const QString &user, const QString &password, const QString &port)
{
    QString errMsg;
    const int code = sqlDBAccess->openDBConnection(db, errMsg, driver, dbName, host, user, password, port);
    if (code != 0)
        PLOG_ERROR << errMsg << " code: " << code;
    return code;
}

bool DBAccess::isOpen() const
{
    return db.isOpen();
}

void DBAccess::closeConnection()
{
    sqlDBAccess->closeDBConnection(db);
}

QSqlDatabase DBAccess::getSqlDatabase() const
{
    return db;
}
