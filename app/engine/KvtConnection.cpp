#include "KvtConnection.h"

#include "CONST.h"
#include "PMySqlCharset.h"
#include "PSqlDBAccess.h"

#include <QSqlDatabase>
#include <QSqlError>

namespace {

KvtConnectResult failure(const QSqlError &error)
{
    KvtConnectResult result;
    result.errorText = error.text().trimmed();
    if (result.errorText.isEmpty())
        result.errorText = QStringLiteral("cannot open a database connection");
    result.errorCode = error.nativeErrorCode();
    return result;
}

} // namespace

KvtConnectResult openDefaultConnection(const KvtConnectionSettings &settings)
{
    const QString name = QLatin1String(QSqlDatabase::defaultConnection);
    if (QSqlDatabase::contains(name))
        QSqlDatabase::removeDatabase(name);
    PMySqlCharset::registerDriverCodec();
    QSqlDatabase db = QSqlDatabase::addDatabase(SQLDRIVER, name);
    db.setHostName(settings.host);
    db.setPort(settings.port);
    db.setUserName(settings.user);
    db.setPassword(settings.password);
    db.setDatabaseName(settings.database);
    QString options = QStringLiteral("MYSQL_OPT_CONNECT_TIMEOUT=%1").arg(PSqlDBAccess::connectTimeoutSeconds);
    if (!settings.connectOptions.isEmpty())
        options += QLatin1Char(';') + settings.connectOptions;
    db.setConnectOptions(options);
    if (!db.open())
        return failure(db.lastError());
    QSqlError charsetError;
    if (!PMySqlCharset::switchToUtf8mb4(db, &charsetError)) {
        const KvtConnectResult result = failure(charsetError);
        db.close();
        return result;
    }
    KvtConnectResult result;
    result.ok = true;
    return result;
}
