#include "ZoneNumbering.h"

#include "CONST.h"
#include "KvtPreparedQuery.h"
#include "KvtSql.h"
#include "PSqlIdentifier.h"

#include <QVariant>

ZoneNumbering::ZoneNumbering(const QString &connectionName)
    : m_connectionName(connectionName)
{
}

QSqlDatabase ZoneNumbering::connection() const
{
    return QSqlDatabase::database(m_connectionName, false);
}

KvtSqlStatus ZoneNumbering::partTypes(QStringList &abbreviations) const
{
    KvtPreparedQuery query(connection(), QLatin1String("SELECT ID, Short FROM ")
                                             + PSqlIdentifier::qualified(m_srcDB, tbDETTYPES));
    const KvtSqlStatus status = query.run();
    abbreviations.clear();
    while (status && query.query().next())
        abbreviations.append(query.query().value(1).toString());
    return status;
}

KvtSqlStatus ZoneNumbering::partTypeId(const QString &abbreviation, QString &id) const
{
    KvtPreparedQuery query(connection(), QLatin1String("SELECT ID FROM ")
                                             + PSqlIdentifier::qualified(m_srcDB, tbDETTYPES)
                                             + QLatin1String(" WHERE Short=:parShort"));
    const KvtSqlStatus status = query.run({{QStringLiteral(":parShort"), abbreviation}});
    id = status && query.query().next() ? query.query().value(0).toString() : QString();
    return status;
}

KvtSqlStatus ZoneNumbering::nextZoneNumber(const QString &partTypeId, quint32 &number) const
{
    return nextZoneNumberIn(m_srcDB, partTypeId, number);
}

KvtSqlStatus ZoneNumbering::nextZoneNumberIn(const QString &db, const QString &partTypeId,
                                             quint32 &number) const
{
    const QString partType = QStringLiteral("DetTypeId");
    KvtPreparedQuery query(connection(), KvtSql::largestKey(PSqlIdentifier::qualified(db, tbZONES))
                                             + QLatin1String(" WHERE ") + KvtSql::column(QString(), partType)
                                             + QLatin1Char('=') + KvtSql::testPlaceholder(partType));
    const KvtSqlStatus status = query.run({{KvtSql::testPlaceholder(partType), partTypeId}});
    // No zone yet: the first gets number 1.
    number = (status && query.query().next() ? query.query().value(0).toUInt() : 0u) + 1u;
    return status;
}

KvtSqlStatus ZoneNumbering::keyIsUsed(quint32 key, bool &used) const
{
    KvtPreparedQuery query(connection(), QLatin1String("SELECT COUNT(*) FROM ")
                                             + PSqlIdentifier::qualified(m_destDB, m_zonesTable)
                                             + QLatin1String(" WHERE DetTypeZone=:parDetTypeZone"));
    const KvtSqlStatus status = query.run({{QStringLiteral(":parDetTypeZone"), QString::number(key)}});
    used = !status || query.firstInt() != 0;
    return status;
}
