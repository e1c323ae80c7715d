#include "KvtConnection.h"

#include "KvtServerVersion.h"
#include "PMySqlCharset.h"

namespace {

bool isMySql(const QString &driver)
{
    return driver.startsWith(QLatin1String("QMYSQL")) || driver == QLatin1String("QMARIADB");
}

} // namespace

KvtSqlStatus openKvtConnection(const KvtConnectionSettings &settings, const QString &connectionName)
{
    closeKvtConnection(connectionName);
    QString tlsProblem;
    if (!settings.security.isUsable(&tlsProblem))
        return KvtSqlStatus::failure(tlsProblem);
    const bool mySql = isMySql(settings.driver);
    if (mySql)
        PMySqlCharset::registerDriverCodec();
    QSqlDatabase db = QSqlDatabase::addDatabase(settings.driver, connectionName);
    if (!db.isValid())
        return KvtSqlStatus::failure(db.lastError());
    db.setHostName(settings.host);
    db.setPort(settings.port);
    db.setUserName(settings.user);
    db.setPassword(settings.password);
    db.setDatabaseName(settings.database);
    if (mySql)
        db.setConnectOptions(settings.security.addedTo(
            QStringLiteral("MYSQL_OPT_CONNECT_TIMEOUT=%1").arg(PSqlDBAccess::connectTimeoutSeconds)));
    if (!db.open())
        return KvtSqlStatus::failure(db.lastError());
    QSqlError error;
    if (mySql && !PMySqlCharset::switchToUtf8mb4(db, &error))
        return KvtSqlStatus::failure(error);
    QString notEncrypted;
    if (!ConnectionSecurity::isEncryptedAsAsked(db, &notEncrypted)) {
        db.close();
        return KvtSqlStatus::failure(notEncrypted, QString::number(ConnectionSecurity::notEncryptedCode));
    }
    // A server too old for the merge is refused here, before anything is read from it.
    KvtServerVersion version;
    QString versionError;
    if (mySql && !KvtServerVersion::read(db, version, versionError)) {
        db.close();
        return KvtSqlStatus::failure(versionError);
    }
    if (mySql && !version.isSupported()) {
        db.close();
        return KvtSqlStatus::failure(version.tooOldMessage());
    }
    return {};
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
