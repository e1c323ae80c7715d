#ifndef DBFUNC_H
#define DBFUNC_H

#include <QStringList>

class KvtSqlStatus;
class PSqlErrors;
class PSqlService;
class QSqlQuery;
class QSqlQueryModel;
class QSqlTableModel;

// SQL helpers of the merge program around its one shared connection.

// Fills list with the server's database names; false (and a log line) when they
// cannot be read.
bool getDBList(QStringList &list, PSqlService *sqlService);

// True when the query or model holds an error: the error has then been shown, logged,
// and the shared connection closed, so the program stays disconnected until the
// operator connects again.
bool getLastErr(QSqlQuery *query, PSqlErrors *sqlErrors);
bool getLastErr(QSqlQueryModel *model, PSqlErrors *sqlErrors);
bool getLastErr(QSqlTableModel *model, PSqlErrors *sqlErrors);
// The same for the failure of an engine statement.
bool getLastErr(const KvtSqlStatus &status, PSqlErrors *sqlErrors);
// Shows and logs a failed engine statement but keeps the connection (a key that could not
// be proposed); nothing for a success.
void showSqlFailure(const KvtSqlStatus &status, PSqlErrors *sqlErrors);

#endif // DBFUNC_H
