#include "dbFunc.h"

#include "PLog.h"
#include "PSqlErrors.h"
#include "PSqlService.h"
#include "dbAccess.h"
#include "KvtSqlStatus.h"

#include <QSqlQuery>
#include <QSqlQueryModel>
#include <QSqlTableModel>

namespace {

template <typename Source>
bool reportLastError(Source source, PSqlErrors *sqlErrors, bool closeConnection = true)
{
    if (!sqlErrors) {
        PLOG_ERROR << "SQL error check without an error object";
        return false;
    }
    QString errMsg;
    const int code = sqlErrors->getLastSqlQueryError(source, errMsg);
    if (code == 0)
        return false;
    PLOG_ERROR << errMsg << " code: " << code;
    if (closeConnection)
        DBAccess::instance()->closeConnection();
    return true;
}

} // namespace

bool getDBList(QStringList &list, PSqlService *sqlService)
{
    if (!sqlService) {
        PLOG_ERROR << "database list asked for without an SQL service";
        return false;
    }
    QString errMsg;
    sqlService->getDatabaseList(list, errMsg);
    if (!errMsg.isEmpty()) {
        PLOG_ERROR << errMsg;
        return false;
    }
    return true;
}

bool getLastErr(QSqlQuery *query, PSqlErrors *sqlErrors)
{
    return reportLastError(query, sqlErrors);
}

bool getLastErr(QSqlQueryModel *model, PSqlErrors *sqlErrors)
{
    return reportLastError(model, sqlErrors);
}

bool getLastErr(QSqlTableModel *model, PSqlErrors *sqlErrors)
{
    return reportLastError(model, sqlErrors);
}

bool getLastErr(const KvtSqlStatus &status, PSqlErrors *sqlErrors)
{
    return !status.ok() && reportLastError(status.error(), sqlErrors);
}

void showSqlFailure(const KvtSqlStatus &status, PSqlErrors *sqlErrors)
{
    if (!status.ok())
        reportLastError(status.error(), sqlErrors, false);
}
