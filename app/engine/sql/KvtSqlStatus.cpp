#include "KvtSqlStatus.h"

#include <QCoreApplication>
#include <QSqlDriver>
#include <QSqlQuery>

KvtSqlStatus KvtSqlStatus::failure(const QSqlError &error)
{
    KvtSqlStatus status;
    status.m_ok = false;
    status.m_error = error.isValid() ? error
                                     : QSqlError(error.driverText(), error.databaseText(),
                                                 QSqlError::UnknownError, error.nativeErrorCode());
    return status;
}

KvtSqlStatus KvtSqlStatus::failure(const QString &text, const QString &code)
{
    return failure(QSqlError(QString(), text, QSqlError::UnknownError, code));
}

KvtSqlStatus KvtSqlStatus::failureOf(const QSqlQuery &query)
{
    const QSqlError error = query.lastError();
    if (error.isValid())
        return failure(error);
    if (!query.driver() || !query.driver()->isOpen() || query.driver()->isOpenError())
        return failure(QSqlError(QString(), QCoreApplication::translate("QObject", "Database not open"),
                                 QSqlError::ConnectionError));
    return failure(error);
}

KvtSqlStatus KvtSqlStatus::own(const QString &text)
{
    return failure(text, ownCode());
}

QString KvtSqlStatus::ownCode()
{
    return QStringLiteral("0");
}

QString KvtSqlStatus::describe(const QString &text, const QString &code)
{
    return code.isEmpty() || code == ownCode() ? text : QStringLiteral("%1 (code %2)").arg(text, code);
}
