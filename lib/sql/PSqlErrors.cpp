#include "PSqlErrors.h"

#include "PLog.h"

#include <QMessageBox>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlQueryModel>
#include <QSqlTableModel>
#include <QWidget>

PSqlErrors::PSqlErrors(QObject *parent)
    : QObject(parent)
    , parentWidget(parent && parent->isWidgetType() ? static_cast<QWidget *>(parent) : nullptr)
{
}

int PSqlErrors::getLastSqlQueryError(QSqlQuery &q, QString &errMsg) const
{
    return report(errorOf(q), errMsg);
}

int PSqlErrors::getLastSqlQueryError(QSqlQuery *q, QString &errMsg) const
{
    if (!q) {
        PLOG_WARN << "SQL error check without a query";
        return 0;
    }
    return report(errorOf(*q), errMsg);
}

int PSqlErrors::getLastSqlQueryError(QSqlDatabase &db, QString &errMsg) const
{
    return report(db.lastError(), errMsg);
}

int PSqlErrors::getLastSqlQueryError(QSqlTableModel *model, QString &errMsg) const
{
    return getLastSqlQueryError(static_cast<QSqlQueryModel *>(model), errMsg);
}

int PSqlErrors::getLastSqlQueryError(QSqlQueryModel *model, QString &errMsg) const
{
    if (!model) {
        PLOG_WARN << "SQL error check without a model";
        return 0;
    }
    const QSqlError error = model->lastError();
    return report(error.isValid() ? error : errorOf(model->query()), errMsg);
}

int PSqlErrors::getLastSqlQueryError(const QSqlError &error, QString &errMsg) const
{
    return report(error, errMsg);
}

// A statement sent to a connection that is not open fails without any error being
// recorded (Qt only warns on the console). It must not pass for a success.
QSqlError PSqlErrors::errorOf(const QSqlQuery &q)
{
    const QSqlError error = q.lastError();
    if (error.isValid() || q.isActive() || q.lastQuery().isEmpty())
        return error;
    if (q.driver() && q.driver()->isOpen() && !q.driver()->isOpenError())
        return error;
    return QSqlError(QString(), QObject::tr("Database not open"), QSqlError::ConnectionError);
}

int PSqlErrors::report(const QSqlError &error, QString &errMsg) const
{
    if (!error.isValid())
        return 0;
    const int number = errorNumber(error);
    const QString numberText = QString::number(number, 10);
    errMsg = error.text();
    showError(errMsg, numberText);
    return numberText.toInt(nullptr, 10);
}

// The driver's native code is the server's error number for MySQL. An error without a
// usable number still has to read as an error, so it never comes out as 0.
int PSqlErrors::errorNumber(const QSqlError &error)
{
    bool ok = false;
    const int number = error.nativeErrorCode().toInt(&ok, 10);
    return ok && number != 0 ? number : noErrorNumber;
}

void PSqlErrors::showError(const QString &errText, const QString &code) const
{
    const QString text = errText + QLatin1Char('\n') + QObject::tr("Code: ") + code;
    QMessageBox::critical(parentWidget, QObject::tr("Error"), text, QMessageBox::Ok);
}
