#include "KvtRelations.h"

#include "KvtRowFingerprint.h"
#include "KvtSql.h"
#include "KvtTables.h"

namespace KvtRelations {

namespace {

using KvtSql::column;

} // namespace

// From the description of the measurement tables (KvtTables), in the order of their columns.
const QVector<KvtRelation> &all()
{
    static const QVector<KvtRelation> relations = [] {
        QVector<KvtRelation> found;
        for (const kvtTableName table : {tnDefects, tnGraphics})
            for (const KvtColumn &c : KvtTable::of(table).columns) {
                bool known = false;
                for (const KvtRelation &r : qAsConst(found))
                    known = known || r.column == c.name;
                if (c.refers.any && !known)
                    found << KvtRelation{c.name, c.refers.target, c.refers.withinPartType};
            }
        return found;
    }();
    return relations;
}

const QVector<KvtNamingColumn> &namingColumns()
{
    static const QVector<KvtNamingColumn> found = [] {
        QVector<KvtNamingColumn> columns;
        for (const KvtTable &t : KvtTable::all())
            for (const KvtColumn &c : t.columns)
                if (c.refers.any)
                    columns << KvtNamingColumn{t.name, KvtRowFingerprint::identifierColumn(t.id), c.name,
                                               c.refers.target, c.refers.withinPartType};
        for (const KvtOtherTable &t : KvtOtherTable::all())
            for (const KvtColumn &c : t.columns)
                if (c.refers.any)
                    columns << KvtNamingColumn{t.name, QStringLiteral("ID"), c.name, c.refers.target,
                                               c.refers.withinPartType};
        return columns;
    }();
    return found;
}

QVector<KvtRelation> among(const QStringList &columns)
{
    QVector<KvtRelation> found;
    for (const KvtRelation &r : all())
        if (columns.contains(r.column, Qt::CaseInsensitive)
            && (!r.withinPartType || columns.contains(QStringLiteral("DetTypeId"), Qt::CaseInsensitive)))
            found << r;
    return found;
}

const QVector<kvtTableName> &targets()
{
    static const QVector<kvtTableName> tables{tnDefectRef, tnDetTypes, tnDevice, tnResults, tnHumans, tnZones};
    return tables;
}

QStringList content(kvtTableName target)
{
    const KvtTable &table = KvtTable::of(target);
    if (!table.isReference())
        return {};
    QStringList columns = table.columnsWith(ColumnRole::Same);
    QStringList identifying = identifier(target);
    identifying << KvtRowFingerprint::identifierColumn(target);
    for (const QString &name : qAsConst(identifying))
        columns.removeAll(name);
    return columns;
}

QStringList identifier(kvtTableName target)
{
    if (target == tnZones)
        return {QStringLiteral("DetTypeId"), QStringLiteral("ID")};
    return {QStringLiteral("ID")};
}

QString names(kvtTableName target, const QString &alias, const QString &part, const QString &id)
{
    const QString idTest = column(alias, QStringLiteral("ID")) + QStringLiteral(" = ") + id;
    if (target != tnZones)
        return idTest;
    return column(alias, QStringLiteral("DetTypeId")) + QStringLiteral(" = ") + part + QStringLiteral(" AND ")
           + idTest;
}

} // namespace KvtRelations
