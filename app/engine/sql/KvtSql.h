#ifndef KVTSQL_H
#define KVTSQL_H

#include "KvtSqlStatus.h"
#include "global_vars.h"

#include <QHash>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

class QSqlRecord;

// The words every statement of the merge is built from, each written here once: a column
// of a row, "a column the table lacks reads as NULL", the NULL-safe comparison, the index
// hint, the INSERT with quoted columns, the largest key and the placeholders. The
// per-row, set-based, batch, preview, key-map, conflict and undo statements use them.
namespace KvtSql {

// One row as a statement names it: under an alias (empty: the columns unqualified), from a
// copy of a table that has some columns only (a source of an older version) or every
// described one. A column the copy lacks reads as NULL.
class Row
{
public:
    // Every column is there (the destination, which the merge writes into).
    static Row described(const QString &alias);
    // Only `columns` are there (any letter case).
    static Row having(const QString &alias, const QStringList &columns);
    // Values bound as placeholders, prefix plus column (a record read on the client).
    static Row bound(const QString &prefix);

    QString alias() const { return m_alias; }
    bool has(const QString &column) const;
    // "alias.`column`", ":prefixcolumn" or NULL.
    QString value(const QString &column) const;
    // Of `columns` those the copy has, in their order.
    QStringList present(const QStringList &columns) const;

private:
    QString m_alias;
    QString m_prefix;
    bool m_all = true;
    QStringList m_columns; // lower case
};

// "alias.`name`" ("`name`" without an alias).
QString column(const QString &alias, const QString &name);
// "a <=> b": equal, a NULL equal to a NULL.
QString same(const QString &a, const QString &b);
// The rows agree, NULL-safely, in every column ("TRUE" for none).
QString sameIn(const QStringList &columns, const Row &a, const Row &b);
// "expression AS `name`": a result column to be read by name.
QString named(const QString &expression, const QString &name);
// The positions of these result columns in a result, found by name (-1: not there).
QVector<int> positions(const QSqlRecord &result, const QStringList &names);
// " FORCE INDEX (`index`)"; empty for no index.
QString indexHint(const QString &index);

// A value written into a statement as a literal that reads the same under every SQL mode
// of the server (NO_BACKSLASH_ESCAPES, ANSI_QUOTES): NULL, a number as digits, bytes as
// X'…', anything else as text in hexadecimal with its character set (_utf8mb4 X'…').
// For statements that cannot bind (a value list of many rows, a catalogue look-up).
QString literal(const QVariant &value);

// "INSERT INTO table (`c1`, `c2`, ...)"; a VALUES list or a SELECT follows.
QString insertInto(const QString &table, const QStringList &columns);
// "INSERT INTO table (`c1`, ...) VALUES (:pc1, ...)".
QString insertValues(const QString &table, const QStringList &columns);
// "SELECT COALESCE(MAX(`column`), 0) FROM table": the next key is that plus one.
QString largestKey(const QString &table, const QString &column = QStringLiteral("ID"));

// The placeholders of a record's values: ":par" plus the column in a test, ":p" plus the
// column in a write.
QString testPlaceholder(const QString &column);
QString valuePlaceholder(const QString &column);
extern const QString testPrefix;
extern const QString valuePrefix;

// The columns each merged table has in a database (none for a table it lacks).
using Columns = QHash<kvtTableName, QStringList>;
KvtSqlStatus readColumns(const QSqlDatabase &db, const QString &database, Columns &columns);
// The copy of a table in a database whose columns were read: having() them, or
// described() when they were not read.
Row rowOf(const Columns &columns, kvtTableName table, const QString &alias);

} // namespace KvtSql

#endif // KVTSQL_H
