#include "ConflictQuery.h"

#include "PLog.h"
#include "dbFunc.h"

#include <QSqlQuery>

bool execConflictQuery(QSqlQuery &query, const QString &statement, const QVariantMap &values,
                       PSqlErrors *sqlErrors)
{
    bool ok = query.prepare(statement);
    if (ok) {
        for (auto it = values.cbegin(); it != values.cend(); ++it)
            query.bindValue(it.key(), it.value());
        ok = query.exec();
    }
    if (ok)
        return false;
    if (!getLastErr(&query, sqlErrors))
        PLOG_ERROR << "statement failed without an error text: " << statement;
    return true;
}
