#ifndef KVTTABLESQL_H
#define KVTTABLESQL_H

#include "KvtPreparedQuery.h"
#include "KvtTables.h"
#include "global_vars.h"

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

// The statements that merge one table into a destination database, built from its
// description (KvtTables): the test for a record that is already there, the key test and
// the insert, and for a reference table the SELECT texts that show a conflicting record.
// Every comparison is NULL-safe (KvtSql::same), so a NULL in a source value finds the same
// NULL in the destination. Placeholders follow KvtSql's rule.
class KvtTableSql
{
public:
    using Values = QVector<QVariant>;

    // The statements of one of the nine merged tables, writing into `destination`.
    static KvtTableSql forTable(kvtTableName table, const QString &destination);

    const KvtTable &description() const { return *m_table; }
    kvtTableName table() const { return m_table->id; }
    QString tableName() const { return m_table->name; }
    // False for defects and graphics, which have no key and never conflict.
    bool hasKey() const { return m_table->isReference(); }

    // The columns in which two records must agree, NULL-safely, to be the same record,
    // and every column an insert copies from the source.
    QStringList comparedColumns() const { return m_table->columnsWith(ColumnRole::Same); }
    QStringList copiedColumns() const { return m_table->columnsWith(ColumnRole::Copied); }

    // "SELECT COUNT(*)" of destination records equal in all compared columns.
    QString sameRecordTest() const;
    // "SELECT COUNT(*)" of destination records with the source record's key.
    QString keyTest() const;
    // Inserts the inserted columns (KvtTable::insertedColumns); a generated ID is left
    // to the destination.
    QString insert() const;
    // The destination's largest ID, 0 for none (the new ID of a person is that plus one).
    QString maxId() const;
    // The SELECT that shows the record with this key in the database. The key is
    // appended as a number: callers check it with KvtSqlName::isInteger first.
    // copyColumns: the columns the database's copy of the table has, when it may lack some
    // (a source of an older version); a column it lacks reads as NULL.
    QString conflictSelect(const QString &database, const QString &key,
                           const QStringList &copyColumns = QStringList()) const;

    // The text of a column of a record in the order of the description's columns (null
    // for a NULL value or a column not described).
    QString text(const Values &record, const QString &column) const;

    // Bindings of the three statements for a source record whose values are in the
    // order of the description's columns. An ID the merge numbers (IdRule::NextAfterMax)
    // is bound by the caller.
    KvtPreparedQuery::Bindings sameRecordValues(const Values &record) const;
    KvtPreparedQuery::Bindings keyValues(const Values &record) const;
    KvtPreparedQuery::Bindings insertValues(const Values &record) const;

private:
    // A placeholder and the position of its value in a record; made once per table step,
    // as the bindings are made for every row.
    struct Placeholder
    {
        QString name;
        int column;
    };
    using Placeholders = QVector<Placeholder>;

    explicit KvtTableSql(const KvtTable &table);
    Placeholders placeholders(const QString &prefix, ColumnRole role) const;
    static KvtPreparedQuery::Bindings bindings(const Placeholders &placeholders, const Values &record);

    const KvtTable *m_table;
    QString m_destinationTable;
    Placeholders m_same;
    Placeholders m_key;
    Placeholders m_insert;
};

#endif // KVTTABLESQL_H
