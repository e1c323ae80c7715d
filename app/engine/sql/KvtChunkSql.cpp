#include "KvtChunkSql.h"

#include "KvtRowFingerprint.h"
#include "KvtSql.h"
#include "PSqlIdentifier.h"

namespace {

const QString signalColumn = QStringLiteral("Graphic");

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

bool KvtChunkSql::isFixedSizeType(const QString &dataType)
{
    static const QStringList types{
        QStringLiteral("tinyint"), QStringLiteral("smallint"), QStringLiteral("mediumint"),
        QStringLiteral("int"),     QStringLiteral("bigint"),   QStringLiteral("decimal"),
        QStringLiteral("double"),  QStringLiteral("float"),    QStringLiteral("date"),
        QStringLiteral("time"),    QStringLiteral("datetime"), QStringLiteral("timestamp"),
        QStringLiteral("year")};
    return types.contains(dataType.toLower());
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

QString KvtChunkSql::rowsToCopy() const
{
    const bool window = m_earlierDuplicates == EarlierDuplicates::Window;
    const QString rows = window ? QStringLiteral("(") + numberedChunk() + QStringLiteral(") s") + m_translation.joins
                                      + QStringLiteral(" WHERE s.kvt_nth = 1")
                                : m_source + QStringLiteral(" s") + m_translation.joins
                                      + QStringLiteral(" WHERE s.ID >= :from AND s.ID <= :to AND NOT EXISTS (")
                                      + earlierDuplicateProbe() + QLatin1Char(')');
    const QString flags = translating() ? QStringLiteral(", %1, %2").arg(m_translation.translated, m_translation.mismatched)
                                        : QString();
    return QStringLiteral("SELECT s.ID") + flags + QStringLiteral(" FROM ") + rows + QStringLiteral(" AND NOT EXISTS (")
           + destinationProbe() + QStringLiteral(") ORDER BY s.ID");
}

QString KvtChunkSql::copyRows(const QStringList &ids) const
{
    QStringList values;
    for (const QString &name : m_table.copiedColumns())
        values << sourceValue(name);
    return KvtSql::insertInto(m_destination, m_table.copiedColumns()) + QStringLiteral(" SELECT ")
           + values.join(QStringLiteral(", ")) + QStringLiteral(" FROM ") + m_source
           + QStringLiteral(" s") + m_translation.joins + QStringLiteral(" WHERE s.ID IN (") + ids.join(QLatin1Char(','))
           + QStringLiteral(") ORDER BY s.ID");
}

QString KvtChunkSql::returning() const
{
    return QStringLiteral(" RETURNING ID, ") + KvtRowFingerprint::of(m_table.table(), QString());
}

QStringList KvtChunkSql::snapshotTransaction()
{
    return {QStringLiteral("SET TRANSACTION ISOLATION LEVEL REPEATABLE READ"),
            QStringLiteral("START TRANSACTION WITH CONSISTENT SNAPSHOT")};
}

QString KvtChunkSql::destinationMaxId() const
{
    return KvtSql::largestKey(m_destination);
}

QString KvtChunkSql::insertedAfter(qlonglong maxBefore) const
{
    return QStringLiteral("SELECT t.ID, ") + KvtRowFingerprint::of(m_table.table(), QStringLiteral("t"))
           + QStringLiteral(" FROM ") + m_destination + QStringLiteral(" t WHERE t.ID > ")
           + QString::number(maxBefore) + QStringLiteral(" ORDER BY t.ID");
}

// The rows of the chunk, each numbered among the equal ones by ID (kvt_nth). A column
// the source lacks is NULL in every row, so it takes no part.
QString KvtChunkSql::numberedChunk() const
{
    QStringList partition;
    const KvtSql::Row w = KvtSql::Row::having(QStringLiteral("w"), m_sourceColumns);
    for (const QString &name : w.present(m_table.comparedColumns()))
        partition << w.value(name);
    const QString partitionBy = partition.isEmpty()
                                    ? QString()
                                    : QStringLiteral("PARTITION BY ") + partition.join(QStringLiteral(", "))
                                          + QLatin1Char(' ');
    return QStringLiteral("SELECT w.*, ROW_NUMBER() OVER (") + partitionBy
           + QStringLiteral("ORDER BY w.ID) AS kvt_nth FROM ") + m_source
           + QStringLiteral(" w WHERE w.ID >= :from AND w.ID <= :to");
}

// The value of a column of the source row s, NULL when the source lacks it; translated
// when its references are.
QString KvtChunkSql::sourceValue(const QString &name) const
{
    const KvtSql::Row s = KvtSql::Row::having(QStringLiteral("s"), m_sourceColumns);
    if (s.has(name)) {
        const auto translated = m_translation.values.constFind(name.toLower());
        if (translated != m_translation.values.constEnd())
            return *translated;
    }
    return s.value(name);
}

QString KvtChunkSql::destinationProbe() const
{
    QStringList tests;
    for (const QString &name : m_table.comparedColumns())
        tests << KvtSql::same(KvtSql::column(QStringLiteral("d"), name), sourceValue(name));
    return QStringLiteral("SELECT 1 FROM ") + m_destination + QStringLiteral(" d")
           + KvtSql::indexHint(m_destinationIndex) + QStringLiteral(" WHERE ")
           + tests.join(QStringLiteral(" AND "));
}

// An equal source row earlier in the same chunk. A column the source lacks is NULL in
// both rows, so it takes no part.
QString KvtChunkSql::earlierDuplicateProbe() const
{
    const KvtSql::Row e = KvtSql::Row::having(QStringLiteral("e"), m_sourceColumns);
    const KvtSql::Row s = KvtSql::Row::having(QStringLiteral("s"), m_sourceColumns);
    QStringList tests{QStringLiteral("e.ID >= :from"), QStringLiteral("e.ID < s.ID")};
    const QStringList present = e.present(m_table.comparedColumns());
    if (!present.isEmpty())
        tests << KvtSql::sameIn(present, e, s);
    return QStringLiteral("SELECT 1 FROM ") + m_source + QStringLiteral(" e")
           + KvtSql::indexHint(m_sourceIndex) + QStringLiteral(" WHERE ")
           + tests.join(QStringLiteral(" AND "));
}
