#ifndef KVTPREPAREDQUERY_H
#define KVTPREPAREDQUERY_H

#include "KvtSqlStatus.h"

#include <QPair>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariant>
#include <QVector>

// The one way the engine runs a statement with values: prepared once, on first use, and
// executed again with new values as often as needed (for instance for every row of a
// table step). Preparing late means a statement on a missing table fails when the first
// row needs it, not when the step starts. Values are bound by placeholder name.
class KvtPreparedQuery
{
public:
    using Bindings = QVector<QPair<QString, QVariant>>;

    KvtPreparedQuery(const QSqlDatabase &db, const QString &text);

    // Binds the values (a null value binds SQL NULL) and executes the statement,
    // preparing it first if needed. False on failure; query() then holds the error.
    bool exec(const Bindings &values = Bindings());
    // Column 0 of the first result row as an int, 0 when it is NULL or there is no row;
    // releases the result.
    int firstInt();
    // Success, or the error of the last exec().
    KvtSqlStatus status() const;
    // exec() once, as a status.
    KvtSqlStatus run(const Bindings &values = Bindings());

    QSqlQuery &query() { return m_query; }
    QString text() const { return m_text; }

private:
    QString m_text;
    QSqlQuery m_query;
    bool m_prepared = false;
};

#endif // KVTPREPAREDQUERY_H
