#include "KvtReferenceSql.h"

#include "KvtReferenceMap.h"
#include "KvtSqlName.h"
#include "PSqlIdentifier.h"
#include "KvtTables.h"

#include <QCoreApplication>

namespace KvtReferenceSql {

namespace {

using KvtSql::column;

QString targetTable(const QString &database, kvtTableName target)
{
    return PSqlIdentifier::qualified(database, KvtTable::of(target).name);
}

// The record the row `d` names, in `database`, aliased `alias`.
QString namedRecord(const KvtRelation &r, const QString &database, const QString &alias)
{
    return QStringLiteral("SELECT 1 FROM ") + targetTable(database, r.target) + QLatin1Char(' ') + alias
           + QStringLiteral(" WHERE ")
           + KvtRelations::names(r.target, alias, column(QStringLiteral("d"), QStringLiteral("DetTypeId")),
                                 column(QStringLiteral("d"), r.column));
}

// The source's record s and the destination's x have the same content.
QString sameContentOf(const KvtRelation &r, const KvtSql::Columns &sourceTables)
{
    return sameContent(r.target, KvtSql::rowOf(sourceTables, r.target, QStringLiteral("s")),
                       KvtSql::Row::described(QStringLiteral("x")));
}

// Mismatch number of one relation of the row `d`.
QString mismatchOf(const KvtRelation &r, const QString &source, const KvtSql::Columns &sourceTables,
                   const QString &destination)
{
    const QString value = column(QStringLiteral("d"), r.column);
    const QString sameRecord = QStringLiteral("SELECT 1 FROM ") + targetTable(source, r.target) + QStringLiteral(" s JOIN ")
                               + targetTable(destination, r.target) + QStringLiteral(" x ON ")
                               + sameContentOf(r, sourceTables)
                               + QStringLiteral(" WHERE ")
                               + KvtRelations::names(r.target, QStringLiteral("s"),
                                                     column(QStringLiteral("d"), QStringLiteral("DetTypeId")), value)
                               + QStringLiteral(" AND ")
                               + KvtRelations::names(r.target, QStringLiteral("x"),
                                                     column(QStringLiteral("d"), QStringLiteral("DetTypeId")), value);
    return QStringLiteral("CASE WHEN %1 IS NULL OR EXISTS (%2) THEN 0 WHEN NOT EXISTS (%3) THEN 1 "
                          "WHEN NOT EXISTS (%4) THEN 2 ELSE 3 END")
        .arg(value, sameRecord, namedRecord(r, source, QStringLiteral("s")),
             namedRecord(r, destination, QStringLiteral("x")));
}

QString mismatchTest(const KvtRelation &r, const QString &source, const KvtSql::Columns &sourceTables,
                     const QString &destination)
{
    const QString value = column(QStringLiteral("d"), r.column);
    return QStringLiteral("(%1 IS NOT NULL AND NOT EXISTS (SELECT 1 FROM %2 s JOIN %3 x ON %4 WHERE %5 AND %6))")
        .arg(value, targetTable(source, r.target), targetTable(destination, r.target),
             sameContentOf(r, sourceTables),
             KvtRelations::names(r.target, QStringLiteral("s"),
                                 column(QStringLiteral("d"), QStringLiteral("DetTypeId")), value),
             KvtRelations::names(r.target, QStringLiteral("x"),
                                 column(QStringLiteral("d"), QStringLiteral("DetTypeId")), value));
}

QString insertedRange(const QString &destination, const QString &table)
{
    return QStringLiteral(" FROM ") + PSqlIdentifier::qualified(destination, table)
           + QStringLiteral(" d WHERE d.ID > :after AND d.ID <= :last AND (");
}

} // namespace

QString sameContent(kvtTableName target, const KvtSql::Row &a, const KvtSql::Row &b)
{
    return KvtSql::sameIn(KvtRelations::content(target), a, b);
}

QString describe(Mismatch kind)
{
    switch (kind) {
    case Mismatch::MissingInSource:
        return QCoreApplication::translate("KvtMerger", "names no record of its own source");
    case Mismatch::MissingInDestination:
        return QCoreApplication::translate("KvtMerger", "names a record missing in the destination");
    case Mismatch::OtherContent:
        return QCoreApplication::translate("KvtMerger", "names a record of other content in the destination");
    case Mismatch::None:
        break;
    }
    return QString();
}

QString createMap(const QString &map, const QString &engine)
{
    return QStringLiteral("CREATE TEMPORARY TABLE ") + map
           + QStringLiteral(" (src_part BIGINT NOT NULL, src_id BIGINT NOT NULL, "
                            "dst_part BIGINT NOT NULL, dst_id BIGINT NOT NULL, "
                            "same TINYINT NOT NULL DEFAULT 0, PRIMARY KEY (src_part, src_id))")
           + (engine.isEmpty() ? QString() : QStringLiteral(" ENGINE=") + engine);
}

QString mapEntry(const MapEntry &entry)
{
    return QStringList{KvtSql::named(entry.sourcePart, QStringLiteral("src_part")),
                       KvtSql::named(entry.sourceId, QStringLiteral("src_id")),
                       KvtSql::named(entry.destinationPart, QStringLiteral("dst_part")),
                       KvtSql::named(entry.destinationId, QStringLiteral("dst_id"))}
        .join(QStringLiteral(", "));
}

namespace {

// A later entry of a source identifier replaces the earlier one, as the merge's later
// decision on the record does.
QString intoMap(const QString &map, const QString &rows)
{
    return QStringLiteral("INSERT INTO ") + map + QStringLiteral(" (src_part, src_id, dst_part, dst_id) ") + rows
           + QStringLiteral(" ON DUPLICATE KEY UPDATE dst_part = VALUES(dst_part), dst_id = VALUES(dst_id)");
}

} // namespace

QString addSelected(const QString &map, const QString &select)
{
    return intoMap(map, QStringLiteral("SELECT e.src_part, e.src_id, e.dst_part, e.dst_id FROM (") + select
                            + QStringLiteral(") e"));
}

QString addValues(const QString &map, const QStringList &rows)
{
    return intoMap(map, QStringLiteral("VALUES ") + rows.join(QLatin1Char(',')));
}

QString readMap(const QString &map)
{
    return QStringLiteral("SELECT src_part, src_id, dst_part, dst_id, same FROM ") + map;
}

// An entry names the same thing when both records exist and their content agrees.
QString markSame(kvtTableName target, const QString &map, const QString &source, const KvtSql::Columns &sourceTables,
                 const QString &destination)
{
    return QStringLiteral("UPDATE ") + map + QStringLiteral(" m SET m.same = 1 WHERE EXISTS (SELECT 1 FROM ")
           + targetTable(source, target) + QStringLiteral(" s JOIN ") + targetTable(destination, target)
           + QStringLiteral(" d ON ")
           + sameContent(target, KvtSql::rowOf(sourceTables, target, QStringLiteral("s")),
                         KvtSql::Row::described(QStringLiteral("d")))
           + QStringLiteral(" WHERE ")
           + KvtRelations::names(target, QStringLiteral("s"), QStringLiteral("m.src_part"), QStringLiteral("m.src_id"))
           + QStringLiteral(" AND ")
           + KvtRelations::names(target, QStringLiteral("d"), QStringLiteral("m.dst_part"), QStringLiteral("m.dst_id"))
           + QLatin1Char(')');
}

Translation translation(const KvtReferenceMap &map, const QVector<KvtRelation> &relations, const QString &alias)
{
    Translation t;
    QStringList translated;
    QStringList mismatched;
    QString partType; // the translated DetTypeId, which a zone must belong to
    for (int i = 0; i < relations.size(); ++i) {
        const KvtRelation &r = relations.at(i);
        const QString m = QStringLiteral("r%1").arg(i);
        const QString value = column(alias, r.column);
        const QString part = r.withinPartType ? column(alias, QStringLiteral("DetTypeId")) : QStringLiteral("0");
        t.joins += QStringLiteral(" LEFT JOIN %1 %2 ON %2.src_part = %3 AND %2.src_id = %4")
                       .arg(map.serverTable(r.target), m, part, value);
        const QString result = QStringLiteral("COALESCE(%1.dst_id, %2)").arg(m, value);
        t.values.insert(r.column.toLower(), result);
        if (r.target == tnDetTypes)
            partType = result;
        translated << QStringLiteral("(%1.dst_id IS NOT NULL AND %1.dst_id <> %2)").arg(m, value);
        QString wrong = QStringLiteral("%1.src_id IS NULL OR %1.same = 0").arg(m);
        if (r.withinPartType && !partType.isEmpty())
            wrong += QStringLiteral(" OR NOT ") + KvtSql::same(m + QStringLiteral(".dst_part"), partType);
        mismatched << QStringLiteral("(%1 IS NOT NULL AND (%2))").arg(value, wrong);
    }
    t.translated = translated.isEmpty() ? QStringLiteral("0") : QLatin1Char('(') + translated.join(QStringLiteral(" OR ")) + QLatin1Char(')');
    t.mismatched = mismatched.isEmpty() ? QStringLiteral("0") : QLatin1Char('(') + mismatched.join(QStringLiteral(" OR ")) + QLatin1Char(')');
    return t;
}

QString countInserted(const QVector<KvtRelation> &relations, const QString &source,
                      const KvtSql::Columns &sourceTables, const QString &destination, const QString &table)
{
    QStringList tests;
    for (const KvtRelation &r : relations)
        tests << mismatchTest(r, source, sourceTables, destination);
    if (tests.isEmpty())
        tests << QStringLiteral("FALSE");
    return QStringLiteral("SELECT COUNT(*)") + insertedRange(destination, table)
           + tests.join(QStringLiteral(" OR ")) + QLatin1Char(')');
}

QString insertedRows(const QVector<KvtRelation> &relations, const QString &source,
                     const KvtSql::Columns &sourceTables, const QString &destination, const QString &table)
{
    QStringList kinds{KvtSql::named(QStringLiteral("d.ID"), QStringLiteral("ID"))};
    QStringList tests;
    for (const KvtRelation &r : relations) {
        kinds << KvtSql::named(mismatchOf(r, source, sourceTables, destination), r.column);
        tests << mismatchTest(r, source, sourceTables, destination);
    }
    if (tests.isEmpty())
        tests << QStringLiteral("FALSE");
    return QStringLiteral("SELECT ") + kinds.join(QStringLiteral(", ")) + insertedRange(destination, table)
           + tests.join(QStringLiteral(" OR ")) + QStringLiteral(") ORDER BY d.ID LIMIT :rows");
}

} // namespace KvtReferenceSql
