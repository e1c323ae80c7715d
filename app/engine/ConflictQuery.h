#ifndef CONFLICTQUERY_H
#define CONFLICTQUERY_H

#include <QString>
#include <QVariantMap>

class PSqlErrors;
class QSqlQuery;

// Runs a statement of the conflict dialogs on the default connection: prepares it, binds
// every value by placeholder name (":pName" -> value) and executes it. Returns true when
// it failed; the error has then been shown through sqlErrors, logged, and the shared
// connection closed (getLastErr).
bool execConflictQuery(QSqlQuery &query, const QString &statement, const QVariantMap &values,
                       PSqlErrors *sqlErrors);

#endif // CONFLICTQUERY_H
