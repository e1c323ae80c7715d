#include "PSqlDBAccess.h"

#include "PLog.h"
#include "PMySqlCharset.h"
#include "PSqlErrors.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

namespace {

// Older names under which Qt registers a driver a second time. QMARIADB is not one of
// them: it is a driver name of its own and stays in the list.
const char *const olderDriverAliases[] = {"QMYSQL3", "QOCI8", "QODBC3", "QPSQL7", "QTDS7"};
const char *const mySqlDriver = "QMYSQL";
const char *const mariaDbDriver = "QMARIADB";

} // namespace

PSqlDBAccess::PSqlDBAccess(QObject *parent)
    : sqlErrors(new PSqlErrors(parent))
{
}

PSqlDBAccess::~PSqlDBAccess()
{
    delete sqlErrors.data();
}

QStringList PSqlDBAccess::getDriverList()
{
    QStringList drivers = QSqlDatabase::drivers();
    for (const char *alias : olderDriverAliases)
        drivers.removeAll(QLatin1String(alias));
    return drivers;
}

int PSqlDBAccess::openDBConnection(QSqlDatabase &db, QString &errMsg, const QString &driver,
                                   const QString &dbName, const QString &host,
                                   const QString &user, const QString &password,
                                   const QString &port)
{
    // Let go of the old handle, then of the old connection, before the new one comes. The
    // old connection is closed first: a query or model may still hold it, and removing it
    // alone would leave it open on the server.
    db = QSqlDatabase();
    const QString name = QLatin1String(QSqlDatabase::defaultConnection);
    if (QSqlDatabase::contains(name)) {
        QSqlDatabase::database(name, false).close();
        QSqlDatabase::removeDatabase(name);
    }
    db = QSqlDatabase::addDatabase(driver, name);
    db.setDatabaseName(dbName);
    db.setHostName(host);
    db.setUserName(user);
    db.setPassword(password);
    db.setPort(portFromText(port));
    if (isMySqlDriver(driver))
        prepareMySqlConnection(db);

    if (!db.open())
        return sqlErrors->getLastSqlQueryError(db, errMsg);
    if (isMySqlDriver(driver))
        switchToUtf8mb4(db);
    return 0;
}

void PSqlDBAccess::closeDBConnection(QSqlDatabase &db)
{
    db.close();
}

void PSqlDBAccess::setExtraConnectOptions(const QString &options)
{
    m_extraConnectOptions = options;
}

QString PSqlDBAccess::extraConnectOptions() const
{
    return m_extraConnectOptions;
}

int PSqlDBAccess::portFromText(const QString &port)
{
    bool ok = false;
    const int number = port.toInt(&ok, 10);
    return ok && number > 0 && number <= 65535 ? number : defaultPort;
}

bool PSqlDBAccess::isMySqlDriver(const QString &driver)
{
    return driver.startsWith(QLatin1String(mySqlDriver)) || driver == QLatin1String(mariaDbDriver);
}

// Qt's MySQL driver always connects with CLIENT_MULTI_STATEMENTS (and rejects the flag
// as an option name), so a script of several statements runs in one call. What it
// lacks is a bound on the wait for an address where nothing answers.
void PSqlDBAccess::prepareMySqlConnection(QSqlDatabase &db) const
{
    PMySqlCharset::registerDriverCodec();
    QString options = QStringLiteral("MYSQL_OPT_CONNECT_TIMEOUT=%1").arg(connectTimeoutSeconds);
    if (!m_extraConnectOptions.isEmpty())
        options += QLatin1Char(';') + m_extraConnectOptions;
    db.setConnectOptions(options);
}

// The driver talks utf8mb3 to the server, which refuses four-byte characters.
void PSqlDBAccess::switchToUtf8mb4(QSqlDatabase &db)
{
    QSqlError error;
    if (!PMySqlCharset::switchToUtf8mb4(db, &error))
        PLOG_WARN << "cannot switch the connection to utf8mb4:" << error.text();
}
