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
    : m_columnsQuery(db, KvtChunkSql::tableColumns(), KvtPreparedQuery::Mode::Inline)
    , m_indexQuery(db, KvtChunkSql::indexColumns(), KvtPreparedQuery::Mode::Inline)
{
}

bool KvtSourceKey::read(const QString &database, const QString &table)
{
    m_columns.clear();
    m_types.clear();
    m_notNull.clear();
    m_usable = false;
    m_pageColumn.clear();
    bool uniqueId = false;
    QStringList primaryKey;
    if (!readColumns(database, table) || !readIndexes(database, table, uniqueId, primaryKey))
        return false;
    const QString id = QStringLiteral("ID");
    m_usable = uniqueId && isIntegerNotNull(id);
    if (m_usable)
        m_pageColumn = id;
    else if (primaryKey.size() == 1 && isIntegerNotNull(primaryKey.first()))
        m_pageColumn = primaryKey.first();
    return true;
}

bool KvtSourceKey::isIntegerNotNull(const QString &column) const
{
    return isIntegerType(dataType(column)) && m_notNull.contains(column.toLower());
}

bool KvtSourceKey::readColumns(const QString &database, const QString &table)
{
    if (!m_columnsQuery.exec(tableBindings(database, table))) {
        m_failed = &m_columnsQuery.query();
        return false;
    }
    QSqlQuery &rows = m_columnsQuery.query();
    while (rows.next()) {
        const QString name = rows.value(0).toString();
        m_columns << name;
        m_types.insert(name.toLower(), rows.value(1).toString().toLower());
        if (rows.value(2).toString() == QLatin1String("NO"))
            m_notNull.insert(name.toLower());
    }
    rows.finish();
    return true;
}

// uniqueId: a unique index made of ID alone. primaryKey: the primary key's columns.
bool KvtSourceKey::readIndexes(const QString &database, const QString &table, bool &uniqueId,
                               QStringList &primaryKey)
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
        const QString column = rows.value(1).toString();
        if (index == QLatin1String("PRIMARY"))
            primaryKey << column;
        const bool isId = column.compare(QLatin1String("ID"), Qt::CaseInsensitive) == 0;
        onlyId.insert(index, onlyId.value(index, true) && isId);
    }
    rows.finish();
    uniqueId = onlyId.values().contains(true);
    return true;
}
