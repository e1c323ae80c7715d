#include "KvtPreviewSql.h"

#include "KvtReferenceSql.h"
#include "KvtTables.h"
#include "PSqlIdentifier.h"

namespace {

const QString sourceAlias = QStringLiteral("s");
const QString probeAlias = QStringLiteral("d");

// A source lacking every compared column has one class: all its rows read as NULLs.
QString groupBy(const QStringList &columns)
{
    return QStringLiteral(" GROUP BY ")
           + (columns.isEmpty() ? QStringLiteral("NULL") : columns.join(QStringLiteral(", ")));
}

QString anyOf(const QStringList &tests)
{
    return QLatin1Char('(') + tests.join(QStringLiteral(" OR ")) + QLatin1Char(')');
}

} // namespace

const QString KvtPreviewSql::rowsName = QStringLiteral("kvt_rows");
const QString KvtPreviewSql::insertedName = QStringLiteral("kvt_inserted");
const QString KvtPreviewSql::mismatchedName = QStringLiteral("kvt_mismatched");
const QString KvtPreviewSql::presentName = QStringLiteral("kvt_present");
const QString KvtPreviewSql::takenName = QStringLiteral("kvt_taken");
const QString KvtPreviewSql::originName = QStringLiteral("kvt_origin");

KvtPreviewSql::KvtPreviewSql(kvtTableName table, const Copy &source, const Copy &destination,
                             const QVector<Copy> &earlier, bool ordered)
    : m_table(table)
    , m_tableName(KvtTable::of(table).name)
    , m_source(source)
    , m_destination(destination)
    , m_earlier(earlier)
    , m_ordered(ordered)
{
    for (Copy *copy : {&m_source, &m_destination})
        for (QString &column : copy->columns)
            column = column.toLower();
    for (Copy &copy : m_earlier)
        for (QString &column : copy.columns)
            column = column.toLower();
}

QStringList KvtPreviewSql::comparedColumns(kvtTableName table)
{
    return KvtTable::of(table).columnsWith(ColumnRole::Same);
}

QString KvtPreviewSql::keyColumn(kvtTableName table)
{
    return KvtTable::of(table).keyColumn();
}

QStringList KvtPreviewSql::recordColumns(kvtTableName table)
{
    const KvtTable &t = KvtTable::of(table);
    return t.isReference() ? t.columnNames() : QStringList();
}

QString KvtPreviewSql::table(const Copy &copy) const
{
    return PSqlIdentifier::qualified(copy.database, m_tableName);
}

KvtSql::Row KvtPreviewSql::row(const QString &alias, const Copy &copy)
{
    return KvtSql::Row::having(alias, copy.columns);
}

QString KvtPreviewSql::value(const QString &alias, const QString &column, const Copy &copy)
{
    return row(alias, copy).value(column);
}

// The row of `copy` under probeAlias equals the source row.
QString KvtPreviewSql::sameRow(const QString &alias, const Copy &copy) const
{
    return KvtSql::sameIn(comparedColumns(m_table), row(alias, copy), row(sourceAlias, m_source));
}

QString KvtPreviewSql::probe(const Copy &copy, const QString &condition) const
{
    return QStringLiteral("EXISTS (SELECT 1 FROM ") + table(copy) + QLatin1Char(' ') + probeAlias
           + KvtSql::indexHint(copy.probeIndex) + QStringLiteral(" WHERE ") + condition + QLatin1Char(')');
}

QString KvtPreviewSql::taken(const QString &alias, const Copy &copy) const
{
    return KvtSql::sameIn({keyColumn(m_table)}, row(alias, copy), row(sourceAlias, m_source));
}

// An equal row in the destination or an earlier source.
QString KvtPreviewSql::notInDestination() const
{
    QStringList tests{probe(m_destination, sameRow(probeAlias, m_destination))};
    for (const Copy &copy : m_earlier)
        tests << probe(copy, sameRow(probeAlias, copy));
    if (m_ordered)
        tests << probe(m_source, probeAlias + QStringLiteral(".ID < s.ID AND ")
                                     + sameRow(probeAlias, m_source));
    return QStringLiteral("NOT ") + anyOf(tests);
}

QString KvtPreviewSql::sourceValue(const QString &column) const
{
    return value(sourceAlias, column, m_source);
}

QString KvtPreviewSql::presentInDestination() const
{
    return probe(m_destination, sameRow(probeAlias, m_destination));
}

QString KvtPreviewSql::keyTakenInDestination() const
{
    return probe(m_destination, taken(probeAlias, m_destination));
}

QString KvtPreviewSql::earlierOfKeyDiffers(const QString &range) const
{
    return probe(m_source, range + QStringLiteral(" AND ") + taken(probeAlias, m_source) + QStringLiteral(" AND NOT (")
                               + sameRow(probeAlias, m_source) + QLatin1Char(')'));
}

// The counts over the rows to insert (v not NULL), v telling whether a reference of the row
// names another record (1) or not (0). The LIMIT keeps the server from merging the derived
// table into the outer one, which would work v out once per aggregate.
QString KvtPreviewSql::measurementCounts() const
{
    const QString inserted = QStringLiteral("CASE WHEN ") + notInDestination() + QStringLiteral(" THEN ")
                             + referenceMismatched() + QStringLiteral(" END");
    if (m_ordered)
        return QStringLiteral("SELECT ") + KvtSql::named(QStringLiteral("COUNT(*)"), rowsName) + QStringLiteral(", ")
               + KvtSql::named(QStringLiteral("COUNT(v)"), insertedName) + QStringLiteral(", ")
               + KvtSql::named(QStringLiteral("COALESCE(SUM(v), 0)"), mismatchedName) + QStringLiteral(" FROM (SELECT ")
               + inserted
               + QStringLiteral(" AS v FROM ") + table(m_source) + QLatin1Char(' ') + sourceAlias
               + QStringLiteral(" LIMIT 18446744073709551615) c");
    // Without an order, equal source rows are told apart by grouping them: one class, one
    // copy. The rows of a class name the same records.
    QStringList groups;
    for (const QString &column : comparedColumns(m_table))
        if (m_source.columns.contains(column.toLower()))
            groups << value(sourceAlias, column, m_source);
    return QStringLiteral("SELECT ")
           + KvtSql::named(QStringLiteral("(SELECT COUNT(*) FROM ") + table(m_source) + QLatin1Char(')'), rowsName)
           + QStringLiteral(", ") + KvtSql::named(QStringLiteral("COUNT(*)"), insertedName) + QStringLiteral(", ")
           + KvtSql::named(QStringLiteral("COALESCE(SUM(v), 0)"), mismatchedName)
           + QStringLiteral(" FROM (SELECT MAX(") + referenceMismatched()
           + QStringLiteral(") AS v FROM ") + table(m_source) + QLatin1Char(' ') + sourceAlias
           + QStringLiteral(" WHERE ") + notInDestination() + groupBy(groups) + QStringLiteral(") g");
}

// 1 when a reference of the source row names, after a plain merge, a record of other
// content than in the source, or none; else 0.
QString KvtPreviewSql::referenceMismatched() const
{
    QStringList columns;
    for (const QString &column : KvtTable::of(m_table).columnsWith(ColumnRole::Copied))
        if (m_source.columns.contains(column.toLower()))
            columns << column;
    QStringList tests;
    for (const KvtRelation &r : KvtRelations::among(columns))
        tests << QStringLiteral("(%1 IS NOT NULL AND NOT EXISTS (%2))")
                     .arg(value(sourceAlias, r.column, m_source), namedRecordMatches(r));
    return tests.isEmpty() ? QStringLiteral("0")
                           : QStringLiteral("CASE WHEN ") + anyOf(tests) + QStringLiteral(" THEN 1 ELSE 0 END");
}

// The source's record the row names, when the record the destination will hold under its
// identifier has the same content.
QString KvtPreviewSql::namedRecordMatches(const KvtRelation &r) const
{
    const QString id = value(sourceAlias, r.column, m_source);
    const QString part = value(sourceAlias, QStringLiteral("DetTypeId"), m_source);
    const auto target = [&](const QString &database) {
        return PSqlIdentifier::qualified(database, KvtTable::of(r.target).name);
    };
    QVector<const Copy *> holders{&m_destination};
    if (KvtTable::of(r.target).idRule == IdRule::FromSource)
        for (const Copy &copy : m_earlier)
            holders << &copy;
    const KvtSql::Row a = KvtSql::rowOf(m_source.tables, r.target, QStringLiteral("a"));
    QString match = QStringLiteral("CASE");
    for (const Copy *holder : qAsConst(holders)) {
        const QString named = QStringLiteral("SELECT 1 FROM ") + target(holder->database)
                              + QStringLiteral(" x WHERE ") + KvtRelations::names(r.target, QStringLiteral("x"), part, id);
        const KvtSql::Row x = KvtSql::rowOf(holder->tables, r.target, QStringLiteral("x"));
        match += QStringLiteral(" WHEN EXISTS (%1) THEN EXISTS (%1 AND %2)")
                     .arg(named, KvtReferenceSql::sameContent(r.target, a, x));
    }
    match += KvtTable::of(r.target).idRule == IdRule::FromSource ? QStringLiteral(" ELSE 1 END")
                                                                 : QStringLiteral(" ELSE 0 END");
    return QStringLiteral("SELECT 1 FROM ") + target(m_source.database) + QStringLiteral(" a WHERE ")
           + KvtRelations::names(r.target, QStringLiteral("a"), part, id) + QStringLiteral(" AND ") + match;
}

QString KvtPreviewSql::referenceClasses() const
{
    const QStringList compared = comparedColumns(m_table);
    QStringList columns;
    for (const QString &column : recordColumns(m_table)) {
        const QString v = value(sourceAlias, column, m_source);
        columns << KvtSql::named(compared.contains(column) ? v : QStringLiteral("MIN(") + v + QLatin1Char(')'), column);
    }
    QStringList same{presentInDestination()};
    QStringList keys{keyTakenInDestination()};
    for (const Copy &copy : m_earlier) {
        same << probe(copy, sameRow(probeAlias, copy));
        keys << probe(copy, taken(probeAlias, copy));
    }
    QStringList groups;
    for (const QString &column : compared)
        if (m_source.columns.contains(column.toLower()))
            groups << value(sourceAlias, column, m_source);
    return QStringLiteral("SELECT ") + columns.join(QStringLiteral(", "))
           + QStringLiteral(", ") + KvtSql::named(QStringLiteral("COUNT(*)"), rowsName) + QStringLiteral(", ")
           + KvtSql::named(anyOf(same), presentName) + QStringLiteral(", ") + KvtSql::named(anyOf(keys), takenName)
           + QStringLiteral(" FROM ") + table(m_source) + QLatin1Char(' ') + sourceAlias
           + groupBy(groups) + QStringLiteral(" ORDER BY ") + value(sourceAlias, keyColumn(m_table), m_source);
}

QString KvtPreviewSql::takenRecord() const
{
    QVector<Copy> copies{m_destination};
    copies += m_earlier;
    const QString key = keyColumn(m_table);
    QStringList parts;
    for (int i = 0; i < copies.size(); ++i) {
        QStringList columns{KvtSql::named(QString::number(i), originName)};
        for (const QString &column : recordColumns(m_table))
            columns << KvtSql::named(value(probeAlias, column, copies.at(i)), column);
        parts << QStringLiteral("(SELECT ") + columns.join(QStringLiteral(", "))
                     + QStringLiteral(" FROM ") + table(copies.at(i)) + QLatin1Char(' ') + probeAlias
                     + QStringLiteral(" WHERE ")
                     + KvtSql::same(value(probeAlias, key, copies.at(i)), QStringLiteral(":key") + QString::number(i))
                     + QStringLiteral(" LIMIT 1)");
    }
    return parts.join(QStringLiteral(" UNION ALL ")) + QStringLiteral(" ORDER BY 1 LIMIT 1");
}
