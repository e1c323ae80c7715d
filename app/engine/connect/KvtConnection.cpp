#include "KvtConnection.h"

#include "KvtServerVersion.h"
#include "PMySqlCharset.h"

#include <QCoreApplication>
#include <QSqlDriver>

namespace {

bool isMySql(const QString &driver)
{
    return driver.startsWith(QLatin1String("QMYSQL")) || driver == QLatin1String("QMARIADB");
}

KvtSqlStatus openFailure(const QSqlError &error)
{
    if (!error.text().trimmed().isEmpty())
        return KvtSqlStatus::failure(error);
    return KvtSqlStatus::failure(
        QCoreApplication::translate("KvtConnection", "Cannot open a database connection"),
        error.nativeErrorCode());
}

// What every open connection goes through before it is handed out; a connection that
// fails here is closed again.
KvtSqlStatus checkOpened(QSqlDatabase &db, KvtServerVersion *version)
{
    if (!isMySql(db.driverName()))
        return {};
    KvtSqlStatus status;
    QSqlError charsetError;
    KvtServerVersion read;
    QString problem;
    if (!PMySqlCharset::switchToUtf8mb4(db, &charsetError))
        status = KvtSqlStatus::failure(charsetError);
    else if (!ConnectionSecurity::isEncryptedAsAsked(db, &problem))
        status = KvtSqlStatus::failure(problem, QString::number(ConnectionSecurity::notEncryptedCode));
    // A server too old for the merge is refused here, before anything is read from it.
    else if (!KvtServerVersion::read(db, read, problem))
        status = KvtSqlStatus::failure(problem);
    else if (!read.isSupported())
        status = KvtSqlStatus::failure(read.tooOldMessage());
    if (!status) {
        db.close();
        return status;
    }
    if (version)
        *version = read;
    return {};
}

KvtSqlStatus open(QSqlDatabase db, KvtServerVersion *version)
{
    if (!db.isValid())
        return KvtSqlStatus::failure(db.lastError());
    if (isMySql(db.driverName()))
        PMySqlCharset::registerDriverCodec();
    if (!db.open())
        return openFailure(db.lastError());
    return checkOpened(db, version);
}

} // namespace

KvtSqlStatus openKvtConnection(const KvtConnectionSettings &settings, const QString &connectionName)
{
    closeKvtConnection(connectionName);
    QString tlsProblem;
    if (!settings.security.isUsable(&tlsProblem))
        return KvtSqlStatus::failure(tlsProblem);
    QSqlDatabase db = QSqlDatabase::addDatabase(settings.driver, connectionName);
    db.setHostName(settings.host);
    db.setPort(settings.port);
    db.setUserName(settings.user);
    db.setPassword(settings.password);
    db.setDatabaseName(settings.database);
    if (isMySql(settings.driver))
        db.setConnectOptions(settings.security.addedTo(
            QStringLiteral("MYSQL_OPT_CONNECT_TIMEOUT=%1").arg(PSqlDBAccess::connectTimeoutSeconds)));
    return open(db, nullptr);
}

KvtSqlStatus openKvtConnectionLike(const QString &connectionName, KvtServerVersion *version,
                                   const QString &original)
{
    closeKvtConnection(connectionName);
    QSqlDatabase db = QSqlDatabase::cloneDatabase(original, connectionName);
    db.setNumericalPrecisionPolicy(QSql::HighPrecision);
    return open(db, version);
}

KvtSqlStatus openKvtDefaultConnection(const KvtConnectionSettings &settings, const KvtDefaultOpener &opener)
{
    QString tlsProblem;
    if (!settings.security.isUsable(&tlsProblem))
        return KvtSqlStatus::failure(tlsProblem);
    if (!opener(settings.security.connectOptions()))
        return KvtSqlStatus::failure(QString());
    QSqlDatabase db = QSqlDatabase::database(QLatin1String(QSqlDatabase::defaultConnection), false);
    return checkOpened(db, nullptr);
}

void closeKvtConnection(const QString &connectionName)
{
    if (!QSqlDatabase::contains(connectionName))
        return;
    {
        QSqlDatabase db = QSqlDatabase::database(connectionName, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(connectionName);
}

QString kvtServerName(const QSqlDatabase &db)
{
    return db.hostName() + QLatin1Char(':') + QString::number(db.port());
}
