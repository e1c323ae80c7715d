#include "KvtChunkSql.h"

#include "PSqlIdentifier.h"

namespace {

const QString signalColumn = QStringLiteral("Graphic");

QString column(const QString &alias, const QString &name)
{
    return alias + QLatin1Char('.') + PSqlIdentifier::quote(name);
}

} // namespace

KvtChunkSql::KvtChunkSql(const KvtTableSql &table, const QString &source,
                         const QString &destination, const QStringList &sourceColumns)
    : m_table(table)
    , m_source(PSqlIdentifier::qualified(source, table.tableName()))
    , m_destination(PSqlIdentifier::qualified(destination, table.tableName()))
{
    for (const QString &name : sourceColumns)
        m_sourceColumns << name.toLower();
}

QString KvtChunkSql::tableColumns()
{
    return QStringLiteral("SELECT COLUMN_NAME, DATA_TYPE, IS_NULLABLE FROM information_schema.COLUMNS "
                          "WHERE TABLE_SCHEMA = :schema AND TABLE_NAME = :table");
}

QString KvtChunkSql::idCounter()
{
    return QStringLiteral("SELECT AUTO_INCREMENT, @@auto_increment_increment "
                          "FROM information_schema.TABLES "
                          "WHERE TABLE_SCHEMA = :schema AND TABLE_NAME = :table");
}

QString KvtChunkSql::indexColumns()
{
    return QStringLiteral("SELECT INDEX_NAME, COLUMN_NAME, NON_UNIQUE FROM information_schema.STATISTICS "
                          "WHERE TABLE_SCHEMA = :schema AND TABLE_NAME = :table "
                          "ORDER BY INDEX_NAME, SEQ_IN_INDEX");
}

void KvtChunkSql::setProbeIndexes(const QString &destinationIndex, const QString &sourceIndex)
{
    m_destinationIndex = destinationIndex;
    m_sourceIndex = sourceIndex;
}

QString KvtChunkSql::indexHint(const QString &index)
{
    return index.isEmpty() ? QString()
                           : QStringLiteral(" FORCE INDEX (") + PSqlIdentifier::quote(index) + QLatin1Char(')');
}

QString KvtChunkSql::firstId() const
{
    return QStringLiteral("SELECT MIN(ID) FROM ") + m_source;
}

QString KvtChunkSql::idAfter() const
{
    return firstId() + QStringLiteral(" WHERE ID > :after");
}

QString KvtChunkSql::chunkEnd() const
{
    return QStringLiteral("SELECT COUNT(*), MAX(ID) FROM (SELECT ID FROM ") + m_source
           + QStringLiteral(" WHERE ID >= :from ORDER BY ID LIMIT :rows) c");
}

QString KvtChunkSql::signalSample() const
{
    if (!m_table.copiedColumns().contains(signalColumn)
        || !m_sourceColumns.contains(signalColumn.toLower()))
        return QString();
    return QStringLiteral("SELECT AVG(LENGTH(%1)) FROM (SELECT %1 FROM %2 ORDER BY ID LIMIT 64) c")
        .arg(PSqlIdentifier::quote(signalColumn), m_source);
}

QString KvtChunkSql::copyChunk() const
{
    QStringList columns{QStringLiteral("ID")};
    QStringList values{QStringLiteral(":nextId + ROW_NUMBER() OVER (ORDER BY s.ID) - 1")};
    for (const QString &name : m_table.copiedColumns()) {
        columns << PSqlIdentifier::quote(name);
        values << sourceValue(QStringLiteral("s"), name);
    }
    return QStringLiteral("INSERT INTO ") + m_destination + QStringLiteral(" (")
           + columns.join(QStringLiteral(", ")) + QStringLiteral(") SELECT ")
           + values.join(QStringLiteral(", ")) + QStringLiteral(" FROM ") + m_source
           + QStringLiteral(" s WHERE s.ID >= :from AND s.ID <= :to AND NOT EXISTS (")
           + destinationProbe() + QStringLiteral(") AND NOT EXISTS (") + earlierDuplicateProbe()
           + QStringLiteral(") ORDER BY s.ID");
}

// The value of a source column, NULL when the source lacks it.
QString KvtChunkSql::sourceValue(const QString &alias, const QString &name) const
{
    return m_sourceColumns.contains(name.toLower()) ? column(alias, name) : QStringLiteral("NULL");
}

QString KvtChunkSql::destinationProbe() const
{
    QStringList tests;
    for (const QString &name : m_table.comparedColumns())
        tests << column(QStringLiteral("d"), name) + QStringLiteral(" <=> ")
                     + sourceValue(QStringLiteral("s"), name);
    return QStringLiteral("SELECT 1 FROM ") + m_destination + QStringLiteral(" d")
           + indexHint(m_destinationIndex) + QStringLiteral(" WHERE ")
           + tests.join(QStringLiteral(" AND "));
}

// An equal source row earlier in the same chunk. A column the source lacks is NULL in
// both rows, so it takes no part.
QString KvtChunkSql::earlierDuplicateProbe() const
{
    QStringList tests{QStringLiteral("e.ID >= :from"), QStringLiteral("e.ID < s.ID")};
    for (const QString &name : m_table.comparedColumns())
        if (m_sourceColumns.contains(name.toLower()))
            tests << column(QStringLiteral("e"), name) + QStringLiteral(" <=> ")
                         + column(QStringLiteral("s"), name);
    return QStringLiteral("SELECT 1 FROM ") + m_source + QStringLiteral(" e")
           + indexHint(m_sourceIndex) + QStringLiteral(" WHERE ")
           + tests.join(QStringLiteral(" AND "));
}
