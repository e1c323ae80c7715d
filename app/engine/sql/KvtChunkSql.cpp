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
    const QString flags = translating() ? QStringLiteral(", %1, %2").arg(m_translation.translated, m_translation.mismatched)
                                        : QString();
    if (m_earlierDuplicates == EarlierDuplicates::Window)
        return QStringLiteral("SELECT n.* FROM (") + numberedChunk(flags)
               + QStringLiteral(") n WHERE n.kvt_nth = 1 ORDER BY n.ID");
    // The destination first: a row present there needs no look for an earlier one.
    return QStringLiteral("SELECT s.ID") + flags + QStringLiteral(" FROM ") + m_source + QStringLiteral(" s")
           + m_translation.joins + destinationJoin() + QStringLiteral(" WHERE s.ID >= :from AND s.ID <= :to AND ")
           + notInDestination() + QStringLiteral(" AND NOT EXISTS (") + earlierDuplicateProbe()
           + QStringLiteral(") ORDER BY s.ID");
}

// The chunk's rows numbered among the equal ones as numberedChunk() numbers them, but the
// present ones with them: those and the ones numbered after the first are left. Equal
// rows are all present or all absent, so the present ones change no absent row's number.
// A present row joins each equal destination row, hence the DISTINCT. Numbering the
// present rows costs a sort that rowsToCopy() spares: this one is for a chunk expected to
// copy most of its rows.
QString KvtChunkSql::rowsToLeave() const
{
    Q_ASSERT(canListRowsToLeave());
    return QStringLiteral("SELECT DISTINCT n.ID FROM (SELECT s.ID, d.ID AS kvt_present, ") + rowNumber()
           + QStringLiteral(" FROM ") + m_source + QStringLiteral(" s") + destinationJoin()
           + QStringLiteral(" WHERE s.ID >= :from AND s.ID <= :to) n WHERE n.kvt_present IS NOT NULL OR n.kvt_nth > 1 ORDER BY n.ID");
}

QString KvtChunkSql::copyRows(const QStringList &ids) const
{
    return copyWhere(QStringLiteral("s.ID IN (") + ids.join(QLatin1Char(',')) + QLatin1Char(')'));
}

QString KvtChunkSql::copyRange(qlonglong from, qlonglong to, const QStringList &except) const
{
    QString range = QStringLiteral("s.ID BETWEEN %1 AND %2").arg(from).arg(to);
    if (!except.isEmpty())
        range += QStringLiteral(" AND s.ID NOT IN (") + except.join(QLatin1Char(',')) + QLatin1Char(')');
    return copyWhere(range);
}

QString KvtChunkSql::copyWhere(const QString &condition) const
{
    QStringList values;
    for (const QString &name : m_table.copiedColumns())
        values << sourceValue(name);
    return KvtSql::insertInto(m_destination, m_table.copiedColumns()) + QStringLiteral(" SELECT ")
           + values.join(QStringLiteral(", ")) + QStringLiteral(" FROM ") + m_source
           + QStringLiteral(" s") + m_translation.joins + QStringLiteral(" WHERE ") + condition
           + QStringLiteral(" ORDER BY s.ID");
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

// The rows of the chunk not present in the destination, each numbered among the equal
// ones by ID (kvt_nth, last column). Rows equal to a present one are present as well, so
// numbering only the others finds the same first rows, and spares the server ordering
// rows that go nowhere. A column the source lacks is NULL in every row, so it takes no
// part. The window sees the rows after the WHERE, so a present row is not numbered.
QString KvtChunkSql::numberedChunk(const QString &flags) const
{
    return QStringLiteral("SELECT s.ID") + flags + QStringLiteral(", ") + rowNumber() + QStringLiteral(" FROM ")
           + m_source + QStringLiteral(" s") + m_translation.joins + destinationJoin()
           + QStringLiteral(" WHERE s.ID >= :from AND s.ID <= :to AND ") + notInDestination();
}

// The number of the source row s among the equal rows of the chunk, by ID (kvt_nth).
QString KvtChunkSql::rowNumber() const
{
    QStringList partition;
    const KvtSql::Row s = KvtSql::Row::having(QStringLiteral("s"), m_sourceColumns);
    for (const QString &name : s.present(m_table.comparedColumns()))
        partition << s.value(name);
    const QString partitionBy = partition.isEmpty()
                                    ? QString()
                                    : QStringLiteral("PARTITION BY ") + partition.join(QStringLiteral(", "))
                                          + QLatin1Char(' ');
    return QStringLiteral("ROW_NUMBER() OVER (") + partitionBy + QStringLiteral("ORDER BY s.ID) AS kvt_nth");
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

// The destination's rows equal to the source row s, joined to it: the rows to copy are
// those that find none (notInDestination()). An anti-join costs the server about half of
// a NOT EXISTS, whose subquery runs once a row, into an empty destination as well.
QString KvtChunkSql::destinationJoin() const
{
    QStringList tests;
    for (const QString &name : m_table.comparedColumns())
        tests << KvtSql::same(KvtSql::column(QStringLiteral("d"), name), sourceValue(name));
    return QStringLiteral(" LEFT JOIN ") + m_destination + QStringLiteral(" d") + KvtSql::indexHint(m_destinationIndex)
           + QStringLiteral(" ON ") + tests.join(QStringLiteral(" AND "));
}

// A stored row's ID is never NULL (the copy needs an AUTO_INCREMENT ID): NULL only where
// destinationJoin() found no equal row.
QString KvtChunkSql::notInDestination()
{
    return QStringLiteral("d.ID IS NULL");
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
