#include "KvtReferenceBatchSql.h"

#include "KvtReferenceSql.h"
#include "KvtRowFingerprint.h"
#include "KvtSql.h"
#include "PSqlIdentifier.h"

#include <QSqlRecord>

namespace {

using KvtSql::named;

// The names of the decisions' facts.
const QString presentName = QStringLiteral("kvt_present");
const QString keyTakenName = QStringLiteral("kvt_key_taken");
const QString earlierDiffersName = QStringLiteral("kvt_earlier_differs");
const QString orderName = QStringLiteral("kvt_order");

KvtPreviewSql::Copy copyOf(const QString &database, const QStringList &columns)
{
    return {database, columns, QString(), {}};
}

const QString fingerprintName = QStringLiteral("kvt_fingerprint");

QString returningClause(const KvtTable &table, KvtReferenceBatchSql::Returning returning)
{
    using Returning = KvtReferenceBatchSql::Returning;
    switch (returning) {
    case Returning::Nothing:
        break;
    case Returning::Ids:
        return QStringLiteral(" RETURNING ID, ") + PSqlIdentifier::quote(table.keyColumn());
    case Returning::IdsAndFingerprints: {
        const QString id = KvtRowFingerprint::identifierColumn(table.id);
        QStringList values{PSqlIdentifier::quote(id)};
        if (table.keyColumn() != id)
            values << PSqlIdentifier::quote(table.keyColumn());
        values << named(KvtRowFingerprint::of(table.id, QString()), fingerprintName);
        return QStringLiteral(" RETURNING ") + values.join(QStringLiteral(", "));
    }
    }
    return QString();
}

} // namespace

KvtReferenceBatchSql::KvtReferenceBatchSql(kvtTableName table, const QString &source,
                                           const QStringList &sourceColumns, const QString &destination,
                                           const QString &order)
    : m_table(KvtTable::of(table))
    , m_source(source)
    , m_destination(destination)
    , m_orderColumn(order)
    , m_order(PSqlIdentifier::quote(order))
    // The destination's columns are the described ones: the merge writes into them.
    , m_probes(table, copyOf(source, sourceColumns), copyOf(destination, KvtTable::of(table).columnNames()), {},
               true)
{
}

QString KvtReferenceBatchSql::sourceTable() const
{
    return PSqlIdentifier::qualified(m_source, m_table.name);
}

QString KvtReferenceBatchSql::destinationTable() const
{
    return PSqlIdentifier::qualified(m_destination, m_table.name);
}

QString KvtReferenceBatchSql::inList(const QStringList &keys) const
{
    return QStringLiteral("s.") + m_order + QStringLiteral(" IN (") + keys.join(QStringLiteral(", "))
           + QLatin1Char(')');
}

QString KvtReferenceBatchSql::decisions(const QString &after, int rows) const
{
    QStringList columns;
    for (const QString &column : m_table.columnNames())
        columns << m_probes.sourceValue(column);
    QString range = QStringLiteral("d.") + m_order + QStringLiteral(" < s.") + m_order;
    QString where;
    if (!after.isEmpty()) {
        range += QStringLiteral(" AND d.") + m_order + QStringLiteral(" > ") + after;
        where = QStringLiteral(" WHERE ") + orderRange(after);
    }
    // Keyed by the order column itself, no two source records share a key.
    const bool keyIsOrder = m_table.keyColumn().compare(m_orderColumn, Qt::CaseInsensitive) == 0;
    columns << named(m_probes.presentInDestination(), presentName)
            << named(m_probes.keyTakenInDestination(), keyTakenName)
            << named(keyIsOrder ? QStringLiteral("0") : m_probes.earlierOfKeyDiffers(range), earlierDiffersName)
            << named(QStringLiteral("s.") + m_order, orderName);
    return QStringLiteral("SELECT ") + columns.join(QStringLiteral(", ")) + QStringLiteral(" FROM ") + sourceTable()
           + QStringLiteral(" s") + where + QStringLiteral(" ORDER BY s.") + m_order + QStringLiteral(" LIMIT ")
           + QString::number(rows);
}

KvtReferenceBatchSql::DecisionColumns KvtReferenceBatchSql::decisionColumns(const QSqlRecord &result)
{
    DecisionColumns at;
    at.present = result.indexOf(presentName);
    at.keyTaken = result.indexOf(keyTakenName);
    at.earlierDiffers = result.indexOf(earlierDiffersName);
    at.order = result.indexOf(orderName);
    return at;
}

QPair<int, int> KvtReferenceBatchSql::idAndKeyColumns(const QSqlRecord &result) const
{
    return qMakePair(result.indexOf(QStringLiteral("ID")), result.indexOf(m_table.keyColumn()));
}

KvtReferenceBatchSql::FingerprintColumns KvtReferenceBatchSql::fingerprintColumns(const QSqlRecord &result) const
{
    return {result.indexOf(KvtRowFingerprint::identifierColumn(m_table.id)), result.indexOf(fingerprintName)};
}

QString KvtReferenceBatchSql::insert(const QStringList &keys, Returning returning, bool windowFunctions) const
{
    if (returning == Returning::Ids && !destinationNumbers())
        returning = Returning::Nothing;
    const QStringList copied = m_table.columnsWith(ColumnRole::Copied);
    QStringList names = copied;
    QStringList values;
    switch (m_table.idRule) {
    case IdRule::Generated:
        // The rows are the caller's literals (keys: one "(v1, v2, ...)" per record).
        return KvtSql::insertInto(destinationTable(), names) + QStringLiteral(" VALUES ")
               + keys.join(QStringLiteral(", ")) + returningClause(m_table, returning);
    case IdRule::NextAfterMax: {
        names = m_table.insertedColumns();
        const QString place = windowFunctions
                                  ? QStringLiteral("ROW_NUMBER() OVER (ORDER BY s.") + m_order + QLatin1Char(')')
                                  : QStringLiteral("(SELECT COUNT(*) FROM ") + sourceTable() + QStringLiteral(" e WHERE e.")
                                        + m_order + QStringLiteral(" <= s.") + m_order + QStringLiteral(" AND e.")
                                        + m_order + QStringLiteral(" IN (") + keys.join(QStringLiteral(", "))
                                        + QStringLiteral("))");
        values << QLatin1Char('(') + KvtSql::largestKey(destinationTable()) + QStringLiteral(") + ") + place;
        break;
    }
    case IdRule::FromSource:
        break;
    }
    for (const QString &column : copied)
        values << m_probes.sourceValue(column);
    return KvtSql::insertInto(destinationTable(), names) + QStringLiteral(" SELECT ") + values.join(QStringLiteral(", ")) + QStringLiteral(" FROM ") + sourceTable()
           + QStringLiteral(" s WHERE ") + inList(keys) + QStringLiteral(" ORDER BY s.") + m_order
           + returningClause(m_table, returning);
}

QString KvtReferenceBatchSql::insertedIds(const QStringList &keyLiterals) const
{
    const QString key = PSqlIdentifier::quote(m_table.keyColumn());
    return QStringLiteral("SELECT ID, ") + key + QStringLiteral(" FROM ") + destinationTable() + QStringLiteral(" WHERE ")
           + key + QStringLiteral(" IN (") + keyLiterals.join(QStringLiteral(", ")) + QLatin1Char(')');
}

QString KvtReferenceBatchSql::orderRange(const QString &after) const
{
    return QStringLiteral("s.") + m_order + QStringLiteral(" > ") + after;
}

// The smallest destination ID holding the TabNo.
QString KvtReferenceBatchSql::personOf(const QString &tabNo) const
{
    return QStringLiteral("(SELECT MIN(h.ID) FROM ") + destinationTable() + QStringLiteral(" h WHERE ")
           + KvtSql::same(QStringLiteral("h.TabNo"), tabNo) + QLatin1Char(')');
}

// An identifier the source leaves NULL is 0, as the per-row path reads it.
QString KvtReferenceBatchSql::mapped(const QString &after, const QString &last) const
{
    const auto orZero = [](const QString &value) { return QStringLiteral("COALESCE(") + value + QStringLiteral(", 0)"); };
    const QString id = orZero(m_probes.sourceValue(QStringLiteral("ID")));
    KvtReferenceSql::MapEntry entry{QStringLiteral("0"), id, QStringLiteral("0"), id};
    if (m_table.id == tnZones)
        entry.sourcePart = entry.destinationPart = orZero(m_probes.sourceValue(QStringLiteral("DetTypeId")));
    else if (m_table.id == tnHumans)
        entry.destinationId = orZero(personOf(m_probes.sourceValue(QStringLiteral("TabNo"))));
    QString where = QStringLiteral("s.") + m_order + QStringLiteral(" <= ") + last;
    if (!after.isEmpty())
        where += QStringLiteral(" AND ") + orderRange(after);
    return QStringLiteral("SELECT ") + KvtReferenceSql::mapEntry(entry) + QStringLiteral(" FROM ") + sourceTable()
           + QStringLiteral(" s WHERE ") + where;
}
