#include "KvtRelations.h"

#include "KvtSqlName.h"
#include "PSqlIdentifier.h"

namespace KvtRelations {

namespace {

QString column(const QString &alias, const QString &name)
{
    return alias + QLatin1Char('.') + PSqlIdentifier::quote(name);
}

} // namespace

const QVector<KvtRelation> &all()
{
    static const QVector<KvtRelation> relations{
        {QStringLiteral("DefectoscopistID"), tnHumans, false},
        {QStringLiteral("DetTypeId"), tnDetTypes, false},
        {QStringLiteral("Result"), tnResults, false},
        {QStringLiteral("DefectID"), tnDefectRef, false},
        {QStringLiteral("Device"), tnDevice, false},
        {QStringLiteral("ZoneID"), tnZones, true}};
    return relations;
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
    switch (target) {
    case tnDefectRef:
    case tnDetTypes:
    case tnResults:
        return {QStringLiteral("Short"), QStringLiteral("Name")};
    case tnDevice:
    case tnZones:
        return {QStringLiteral("Name")};
    case tnHumans:
        return {QStringLiteral("Famname"), QStringLiteral("FstName"), QStringLiteral("SecName"),
                QStringLiteral("FullName"), QStringLiteral("TabNo")};
    case tnFactory:
        return {QStringLiteral("Cod"), QStringLiteral("Short"), QStringLiteral("Name")};
    case tnDefects:
    case tnGraphics:
        break;
    }
    return {};
}

QStringList identifier(kvtTableName target)
{
    if (target == tnZones)
        return {QStringLiteral("DetTypeId"), QStringLiteral("ID")};
    return {QStringLiteral("ID")};
}

QString sameContent(kvtTableName target, const QString &a, const QString &b)
{
    QStringList tests;
    for (const QString &name : content(target))
        tests << column(a, name) + QStringLiteral(" <=> ") + column(b, name);
    return tests.join(QStringLiteral(" AND "));
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
