#include "ZoneNumbering.h"

#include "CONST.h"
#include "ConflictQuery.h"
#include "PSqlIdentifier.h"

#include <QSqlQuery>
#include <QVariant>

ZoneNumbering::ZoneNumbering(PSqlErrors *sqlErrors)
    : sqlErrors(sqlErrors)
{
}

bool ZoneNumbering::partTypes(QStringList &abbreviations) const
{
    QSqlQuery query;
    if (execConflictQuery(query, QLatin1String("SELECT ID, Short FROM ")
                                     + PSqlIdentifier::qualified(srcDB, tbDETTYPES), {}, sqlErrors))
        return true;
    abbreviations.clear();
    while (query.next())
        abbreviations.append(query.value(1).toString());
    return false;
}

bool ZoneNumbering::partTypeId(const QString &abbreviation, QString &id) const
{
    QSqlQuery query;
    if (execConflictQuery(query, QLatin1String("SELECT ID FROM ") + PSqlIdentifier::qualified(srcDB, tbDETTYPES)
                                     + QLatin1String(" WHERE Short=:parShort"),
                          {{QStringLiteral(":parShort"), abbreviation}}, sqlErrors))
        return true;
    id = query.next() ? query.value(0).toString() : QString();
    return false;
}

bool ZoneNumbering::nextZoneNumber(const QString &partTypeId, quint32 &number) const
{
    QSqlQuery query;
    if (execConflictQuery(query, QLatin1String("SELECT MAX(ID) FROM ") + PSqlIdentifier::qualified(srcDB, tbZONES)
                                     + QLatin1String(" WHERE DetTypeId=:parDetTypeId"),
                          {{QStringLiteral(":parDetTypeId"), partTypeId}}, sqlErrors))
        return true;
    // MAX over no rows is NULL, which reads as 0: the first zone gets number 1.
    number = (query.next() ? query.value(0).toUInt() : 0u) + 1u;
    return false;
}

bool ZoneNumbering::keyIsUsed(quint32 key, bool &used) const
{
    QSqlQuery query;
    if (execConflictQuery(query, QLatin1String("SELECT COUNT(*) FROM ") + PSqlIdentifier::qualified(destDB, zonesTable)
                                     + QLatin1String(" WHERE DetTypeZone=:parDetTypeZone"),
                          {{QStringLiteral(":parDetTypeZone"), QString::number(key)}}, sqlErrors))
        return true;
    used = query.next() && query.value(0).toInt() != 0;
    return false;
}
