#ifndef KVTTABLESQL_H
#define KVTTABLESQL_H

#include "global_vars.h"

#include <QString>
#include <QStringList>

// The statements that merge one table into a destination database: the test for a record
// that is already there, the key test and the insert, and for a reference table the
// SELECT texts that show a conflicting record. Every comparison is NULL-safe (<=>), so a
// NULL in a source value finds the same NULL in the destination.
class KvtTableSql
{
public:
    // The statements of one of the nine merged tables, writing into `destination`.
    static KvtTableSql forTable(kvtTableName table, const QString &destination);

    kvtTableName table() const { return m_table; }
    // The table's name (its constant of CONST.h).
    QString tableName() const { return m_tableName; }
    // False for defects and graphics, which have no key and never conflict.
    bool hasKey() const { return !m_keyCondition.isEmpty(); }

    // Measurement tables (empty for the others): the columns in which two records must
    // agree, NULL-safely, to be the same record, and every column an insert writes besides
    // the generated ID, in the order of the row handlers' values.
    QStringList comparedColumns() const;
    QStringList copiedColumns() const;

    // "SELECT COUNT(*)" of destination records equal in all compared columns.
    QString sameRecordTest() const;
    // "SELECT COUNT(*)" of destination records with the source record's key.
    QString keyTest() const;
    QString insert() const;
    // "SELECT MAX(ID)" of the destination (the new ID of a person is that plus one).
    QString maxId() const;
    // The SELECT that shows the record with this key in the database. The key is
    // appended as a number: callers check it with KvtSqlName::isInteger first.
    QString conflictSelect(const QString &database, const QString &key) const;

private:
    KvtTableSql() = default;

    kvtTableName m_table = tnDefects;
    QString m_tableName;
    QString m_destinationTable;
    QString m_sameCondition;
    QString m_keyCondition;
    QString m_insertColumns;
    QString m_conflictColumns;
    QString m_conflictWhere;
};

#endif // KVTTABLESQL_H
