#include "KvtSourceKey.h"

#include "KvtChunkSql.h"
#include "PSqlIdentifier.h"

#include <QHash>
#include <QSqlError>
#include <QSqlField>
#include <QSqlRecord>
#include <QVariant>

namespace {

bool isIntegerType(const QString &dataType)
{
    static const QStringList types{QStringLiteral("tinyint"), QStringLiteral("smallint"),
                                   QStringLiteral("mediumint"), QStringLiteral("int"),
                                   QStringLiteral("bigint")};
    return types.contains(dataType.toLower());
}

// The name of a column type the client library reports (its enum_field_types numbers, part
// of the protocol), as information_schema.COLUMNS.DATA_TYPE would give it.
QString typeName(int code)
{
    switch (code) {
    case 0: case 246: return QStringLiteral("decimal");
    case 1: return QStringLiteral("tinyint");
    case 2: return QStringLiteral("smallint");
    case 3: return QStringLiteral("int");
    case 4: return QStringLiteral("float");
    case 5: return QStringLiteral("double");
    case 7: return QStringLiteral("timestamp");
    case 8: return QStringLiteral("bigint");
    case 9: return QStringLiteral("mediumint");
    case 10: case 14: return QStringLiteral("date");
    case 11: return QStringLiteral("time");
    case 12: return QStringLiteral("datetime");
    case 13: return QStringLiteral("year");
    case 15: case 253: return QStringLiteral("varchar");
    case 16: return QStringLiteral("bit");
    case 245: return QStringLiteral("json");
    case 247: return QStringLiteral("enum");
    case 248: return QStringLiteral("set");
    case 249: case 250: case 251: case 252: return QStringLiteral("blob");
    case 254: return QStringLiteral("char");
    case 255: return QStringLiteral("geometry");
    }
    return QStringLiteral("unknown");
}

// The server's "no such table".
const QLatin1String noSuchTable("1146");

KvtPreparedQuery::Bindings tableBindings(const QString &database, const QString &table)
{
    return {{QStringLiteral(":schema"), database}, {QStringLiteral(":table"), table}};
}

} // namespace

KvtSourceKey::KvtSourceKey(const QSqlDatabase &db)
    : m_columnsQuery(db)
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

bool KvtSourceKey::readColumns(QSqlQuery &query, const QString &database, const QString &table,
                               QVector<Column> &columns)
{
    columns.clear();
    if (!query.exec(QStringLiteral("SELECT * FROM ") + PSqlIdentifier::qualified(database, table)
                    + QStringLiteral(" LIMIT 0")))
        return query.lastError().nativeErrorCode() == noSuchTable;
    const QSqlRecord record = query.record();
    for (int i = 0; i < record.count(); ++i) {
        const QSqlField field = record.field(i);
        columns << Column{field.name(), typeName(field.typeID()), field.requiredStatus() == QSqlField::Required,
                          field.isAutoValue()};
    }
    query.finish();
    return true;
}

bool KvtSourceKey::readColumns(const QString &database, const QString &table)
{
    QVector<Column> columns;
    if (!readColumns(m_columnsQuery, database, table, columns)) {
        m_failed = &m_columnsQuery;
        return false;
    }
    for (const Column &column : qAsConst(columns)) {
        m_columns << column.name;
        m_types.insert(column.name.toLower(), column.type);
        if (column.notNull)
            m_notNull.insert(column.name.toLower());
    }
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
