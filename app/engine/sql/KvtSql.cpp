#include "KvtSql.h"

#include "KvtSourceKey.h"
#include "KvtTables.h"
#include "PSqlIdentifier.h"
#include "PSqlNull.h"

#include <QSqlQuery>
#include <QSqlRecord>

namespace KvtSql {

const QString testPrefix = QStringLiteral(":par");
const QString valuePrefix = QStringLiteral(":p");

QString literal(const QVariant &value)
{
    if (PSqlNull::isNull(value))
        return QStringLiteral("NULL");
    switch (value.userType()) {
    case QMetaType::Bool:
        return value.toBool() ? QStringLiteral("1") : QStringLiteral("0");
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
        return value.toString();
    case QMetaType::Double:
        return QString::number(value.toDouble(), 'g', 17);
    case QMetaType::QByteArray:
        return QStringLiteral("X'%1'").arg(QString::fromLatin1(value.toByteArray().toHex()));
    default:
        return QStringLiteral("_utf8mb4 X'%1'").arg(QString::fromLatin1(value.toString().toUtf8().toHex()));
    }
}

Row Row::described(const QString &alias)
{
    Row row;
    row.m_alias = alias;
    return row;
}

Row Row::having(const QString &alias, const QStringList &columns)
{
    Row row;
    row.m_alias = alias;
    row.m_all = false;
    for (const QString &name : columns)
        row.m_columns << name.toLower();
    return row;
}

Row Row::bound(const QString &prefix)
{
    Row row;
    row.m_prefix = prefix;
    return row;
}

bool Row::has(const QString &name) const
{
    return m_all || m_columns.contains(name.toLower());
}

QString Row::value(const QString &name) const
{
    if (!has(name))
        return QStringLiteral("NULL");
    return m_prefix.isEmpty() ? column(m_alias, name) : m_prefix + name;
}

QStringList Row::present(const QStringList &columns) const
{
    QStringList found;
    for (const QString &name : columns)
        if (has(name))
            found << name;
    return found;
}

QString column(const QString &alias, const QString &name)
{
    const QString quoted = PSqlIdentifier::quote(name);
    return alias.isEmpty() ? quoted : alias + QLatin1Char('.') + quoted;
}

QString same(const QString &a, const QString &b)
{
    return a + QStringLiteral(" <=> ") + b;
}

QString sameIn(const QStringList &columns, const Row &a, const Row &b)
{
    QStringList tests;
    for (const QString &name : columns)
        tests << same(a.value(name), b.value(name));
    return tests.isEmpty() ? QStringLiteral("TRUE") : tests.join(QStringLiteral(" AND "));
}

QString named(const QString &expression, const QString &name)
{
    return expression + QStringLiteral(" AS ") + PSqlIdentifier::quote(name);
}

QVector<int> positions(const QSqlRecord &result, const QStringList &names)
{
    QVector<int> at;
    at.reserve(names.size());
    for (const QString &name : names)
        at << result.indexOf(name);
    return at;
}

QString indexHint(const QString &index)
{
    return index.isEmpty() ? QString()
                           : QStringLiteral(" FORCE INDEX (") + PSqlIdentifier::quote(index) + QLatin1Char(')');
}

QString insertInto(const QString &table, const QStringList &columns)
{
    QStringList quoted;
    for (const QString &name : columns)
        quoted << PSqlIdentifier::quote(name);
    return QStringLiteral("INSERT INTO ") + table + QStringLiteral(" (") + quoted.join(QStringLiteral(", "))
           + QLatin1Char(')');
}

QString insertValues(const QString &table, const QStringList &columns)
{
    QStringList values;
    for (const QString &name : columns)
        values << valuePlaceholder(name);
    return insertInto(table, columns) + QStringLiteral(" VALUES (") + values.join(QStringLiteral(", "))
           + QLatin1Char(')');
}

QString largestKey(const QString &table, const QString &name)
{
    return QStringLiteral("SELECT COALESCE(MAX(") + PSqlIdentifier::quote(name) + QStringLiteral("), 0) FROM ")
           + table;
}

QString testPlaceholder(const QString &name)
{
    return testPrefix + name;
}

QString valuePlaceholder(const QString &name)
{
    return valuePrefix + name;
}

KvtSqlStatus readColumns(const QSqlDatabase &db, const QString &database, Columns &columns)
{
    columns.clear();
    QSqlQuery query(db);
    for (const KvtTable &table : KvtTable::all()) {
        QVector<KvtSourceKey::Column> found;
        if (!KvtSourceKey::readColumns(query, database, table.name, found))
            return KvtSqlStatus::failureOf(query);
        QStringList &names = columns[table.id];
        for (const KvtSourceKey::Column &c : qAsConst(found))
            names << c.name;
    }
    return {};
}

Row rowOf(const Columns &columns, kvtTableName table, const QString &alias)
{
    const auto found = columns.constFind(table);
    return found == columns.constEnd() ? Row::described(alias) : Row::having(alias, *found);
}

} // namespace KvtSql
