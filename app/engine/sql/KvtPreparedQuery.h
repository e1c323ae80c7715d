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
//
// A statement on the server's catalogue (information_schema) is sent with its values
// written in as literals instead (Mode::Inline): it runs once per table step, so preparing
// gains nothing, and the server then keeps no prepared statement on its catalogue.
class KvtPreparedQuery
{
public:
    using Bindings = QVector<QPair<QString, QVariant>>;
    enum class Mode { Prepared, Inline };

    KvtPreparedQuery(const QSqlDatabase &db, const QString &text, Mode mode = Mode::Prepared);

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
    // The text with each placeholder replaced by its value as a literal that no SQL mode
    // reads otherwise (KvtSql::literal; a placeholder inside quoted text is not told
    // apart: Inline texts have none).
    QString inlined(const Bindings &values) const;

    QString m_text;
    QSqlQuery m_query;
    Mode m_mode;
    bool m_prepared = false;
};

#endif // KVTPREPAREDQUERY_H
