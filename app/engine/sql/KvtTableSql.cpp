#include "KvtTableSql.h"

#include "KvtSql.h"
#include "PSqlIdentifier.h"

namespace {

// "`c1` <=> :parc1 AND `c2` <=> :parc2 ..."
QString nullSafeMatch(const QStringList &columns)
{
    return KvtSql::sameIn(columns, KvtSql::Row::described(QString()), KvtSql::Row::bound(KvtSql::testPrefix));
}

} // namespace

KvtTableSql::KvtTableSql(const KvtTable &table)
    : m_table(&table)
    , m_same(placeholders(KvtSql::testPrefix, ColumnRole::Same))
    , m_key(placeholders(KvtSql::testPrefix, ColumnRole::Key))
    , m_insert(placeholders(KvtSql::valuePrefix, ColumnRole::Copied))
{
}

KvtTableSql KvtTableSql::forTable(kvtTableName table, const QString &destination)
{
    KvtTableSql sql(KvtTable::of(table));
    sql.m_destinationTable = PSqlIdentifier::qualified(destination, sql.tableName());
    return sql;
}

QString KvtTableSql::sameRecordTest() const
{
    return QStringLiteral("SELECT COUNT(*) FROM ") + m_destinationTable + QStringLiteral(" WHERE ")
           + nullSafeMatch(comparedColumns());
}

QString KvtTableSql::keyTest() const
{
    return QStringLiteral("SELECT COUNT(*) FROM ") + m_destinationTable + QStringLiteral(" WHERE ")
           + nullSafeMatch({m_table->keyColumn()});
}

QString KvtTableSql::insert() const
{
    return KvtSql::insertValues(m_destinationTable, m_table->insertedColumns());
}

QString KvtTableSql::maxId() const
{
    return KvtSql::largestKey(m_destinationTable);
}

// The texts travel in the worker's conflict signal and keep its form: the columns and the
// table named as they are, the database quoted.
QString KvtTableSql::conflictSelect(const QString &database, const QString &key,
                                    const QStringList &copyColumns) const
{
    QStringList columns = m_table->columnNames();
    if (!copyColumns.isEmpty()) {
        const KvtSql::Row copy = KvtSql::Row::having(QString(), copyColumns);
        for (QString &column : columns)
            if (!copy.has(column))
                column = KvtSql::named(copy.value(column), column);
    }
    return QStringLiteral("SELECT ") + columns.join(QStringLiteral(", ")) + QStringLiteral(" FROM ")
           + PSqlIdentifier::quote(database) + QLatin1Char('.') + tableName() + QStringLiteral(" WHERE ")
           + m_table->keyColumn() + QLatin1Char('=') + key;
}

QString KvtTableSql::text(const Values &record, const QString &column) const
{
    return record.value(m_table->indexOf(column)).toString();
}

KvtPreparedQuery::Bindings KvtTableSql::sameRecordValues(const Values &record) const
{
    return bindings(m_same, record);
}

KvtPreparedQuery::Bindings KvtTableSql::keyValues(const Values &record) const
{
    return bindings(m_key, record);
}

KvtPreparedQuery::Bindings KvtTableSql::insertValues(const Values &record) const
{
    return bindings(m_insert, record);
}

KvtTableSql::Placeholders KvtTableSql::placeholders(const QString &prefix, ColumnRole role) const
{
    Placeholders result;
    for (int i = 0; i < m_table->columns.size(); ++i) {
        const KvtColumn &column = m_table->columns.at(i);
        if (column.has(role))
            result.append({prefix + column.name, i});
    }
    return result;
}

KvtPreparedQuery::Bindings KvtTableSql::bindings(const Placeholders &placeholders, const Values &record)
{
    KvtPreparedQuery::Bindings values;
    values.reserve(placeholders.size());
    for (const Placeholder &p : placeholders)
        values.append({p.name, record.value(p.column)});
    return values;
}
