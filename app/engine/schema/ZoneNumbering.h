#ifndef ZONENUMBERING_H
#define ZONENUMBERING_H

#include "KvtSqlStatus.h"

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

// Numbers a zone that is added to a part type. A zone's key DetTypeZone is the part type's
// ID times 100 plus the zone's own number; the part types and zone numbers come from the
// source database, the key is checked against the destination's zones table.
// Every query reports its failure as a result. Runs on the named connection (Qt's
// default connection unless told otherwise).
class ZoneNumbering
{
public:
    explicit ZoneNumbering(const QString &connectionName = QLatin1String(QSqlDatabase::defaultConnection));

    void setSrcDB(const QString &db) { m_srcDB = db; }
    void setDestDB(const QString &db) { m_destDB = db; }
    // The destination table the keys are checked in ("zones").
    void setZonesTable(const QString &table) { m_zonesTable = table; }

    // Abbreviations (Short) of the source's part types, in the server's order.
    KvtSqlStatus partTypes(QStringList &abbreviations) const;
    // The ID of the first source part type with this abbreviation; empty when none has it.
    KvtSqlStatus partTypeId(const QString &abbreviation, QString &id) const;
    // The largest zone number of the part type in the source plus 1; 1 without zones.
    KvtSqlStatus nextZoneNumber(const QString &partTypeId, quint32 &number) const;
    // The same in another database (a batch run numbers by the destination's zones).
    KvtSqlStatus nextZoneNumberIn(const QString &db, const QString &partTypeId, quint32 &number) const;
    // Whether the destination already has a zone with this key.
    KvtSqlStatus keyIsUsed(quint32 key, bool &used) const;

    static quint32 zoneKey(quint32 partTypeId, quint32 zoneNumber) { return zoneNumber + 100u * partTypeId; }

private:
    QSqlDatabase connection() const;

    QString m_connectionName;
    QString m_srcDB;
    QString m_destDB;
    QString m_zonesTable;
};

#endif // ZONENUMBERING_H
