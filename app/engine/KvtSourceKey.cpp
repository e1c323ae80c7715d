#include "KvtSourceKey.h"

#include "KvtChunkSql.h"

#include <QHash>
#include <QVariant>

namespace {

bool isIntegerType(const QString &dataType)
{
    static const QStringList types{QStringLiteral("tinyint"), QStringLiteral("smallint"),
                                   QStringLiteral("mediumint"), QStringLiteral("int"),
                                   QStringLiteral("bigint")};
    return types.contains(dataType.toLower());
}

KvtPreparedQuery::Bindings tableBindings(const QString &database, const QString &table)
{
    return {{QStringLiteral(":schema"), database}, {QStringLiteral(":table"), table}};
}

} // namespace

KvtSourceKey::KvtSourceKey(const QSqlDatabase &db)
    : m_columnsQuery(db, KvtChunkSql::tableColumns())
    , m_indexQuery(db, KvtChunkSql::indexColumns())
{
}

bool KvtSourceKey::read(const QString &database, const QString &table)
{
    m_columns.clear();
    m_usable = false;
    bool integerId = false;
    bool unique = false;
    if (!readColumns(database, table, integerId))
        return false;
    if (integerId && !readUniqueness(database, table, unique))
        return false;
    m_usable = integerId && unique;
    return true;
}

bool KvtSourceKey::readColumns(const QString &database, const QString &table, bool &integerId)
{
    if (!m_columnsQuery.exec(tableBindings(database, table))) {
        m_failed = &m_columnsQuery.query();
        return false;
    }
    QSqlQuery &rows = m_columnsQuery.query();
    while (rows.next()) {
        const QString name = rows.value(0).toString();
        m_columns << name;
        if (name.compare(QLatin1String("ID"), Qt::CaseInsensitive) == 0)
            integerId = isIntegerType(rows.value(1).toString())
                        && rows.value(2).toString() == QLatin1String("NO");
    }
    rows.finish();
    return true;
}

// A unique index made of ID alone.
bool KvtSourceKey::readUniqueness(const QString &database, const QString &table, bool &unique)
{
    if (!m_indexQuery.exec(tableBindings(database, table))) {
        m_failed = &m_indexQuery.query();
        return false;
    }
    QHash<QString, bool> onlyId; // per unique index: no column but ID so far
    QSqlQuery &rows = m_indexQuery.query();
    while (rows.next()) {
        if (rows.value(2).toInt() != 0)
            continue;
        const QString index = rows.value(0).toString();
        const bool isId = rows.value(1).toString().compare(QLatin1String("ID"), Qt::CaseInsensitive) == 0;
        onlyId.insert(index, onlyId.value(index, true) && isId);
    }
    rows.finish();
    unique = onlyId.values().contains(true);
    return true;
}
