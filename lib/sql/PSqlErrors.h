#ifndef PSQLERRORS_H
#define PSQLERRORS_H

#include "pelmora0_global.h"

#include <QObject>
#include <QString>

class QSqlDatabase;
class QSqlError;
class QSqlQuery;
class QSqlQueryModel;
class QSqlTableModel;
class QWidget;

// Turns the last error of a query, a model or a connection into an error text and an
// error number, and shows it to the operator in a critical box titled "Error".
// Every valid error is shown at the moment it is fetched: call these only to report.
class PELMORA0_EXPORT PSqlErrors : public QObject
{
    Q_OBJECT
public:
    explicit PSqlErrors(QObject *parent = nullptr);

    // Number that stands for an error whose driver gives no usable number.
    static constexpr int noErrorNumber = -1;

public slots:
    // Each returns 0 when there is no error (errMsg is then left as it was); otherwise
    // shows the box, puts the driver's text into errMsg and returns the error number
    // (-1 when the driver reports none).
    int getLastSqlQueryError(QSqlQuery &q, QString &errMsg) const;
    int getLastSqlQueryError(QSqlQuery *q, QString &errMsg) const;
    int getLastSqlQueryError(QSqlDatabase &db, QString &errMsg) const;
    int getLastSqlQueryError(QSqlTableModel *model, QString &errMsg) const;
    int getLastSqlQueryError(QSqlQueryModel *model, QString &errMsg) const;
    // An error handed over by code that does not show errors itself.
    int getLastSqlQueryError(const QSqlError &error, QString &errMsg) const;

private slots:
    void showError(const QString &errText, const QString &code) const;

private:
    int report(const QSqlError &error, QString &errMsg) const;
    static int errorNumber(const QSqlError &error);
    static QSqlError errorOf(const QSqlQuery &q);

    QWidget *parentWidget;
};

#endif // PSQLERRORS_H
