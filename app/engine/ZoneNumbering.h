#ifndef ZONENUMBERING_H
#define ZONENUMBERING_H

#include <QString>
#include <QStringList>

class PSqlErrors;

// Numbers a zone that is added to a part type. A zone's key DetTypeZone is the part type's
// ID times 100 plus the zone's own number; the part types and zone numbers come from the
// source database, the key is checked against the destination's zones table.
// Every query returns true when it failed; the error has then been shown, logged and the
// shared connection closed. Default connection, GUI thread.
class ZoneNumbering
{
public:
    explicit ZoneNumbering(PSqlErrors *sqlErrors);

    void setSrcDB(const QString &db) { srcDB = db; }
    void setDestDB(const QString &db) { destDB = db; }
    // The destination table the keys are checked in ("zones").
    void setZonesTable(const QString &table) { zonesTable = table; }

    // Abbreviations (Short) of the source's part types, in the server's order.
    bool partTypes(QStringList &abbreviations) const;
    // The ID of the first source part type with this abbreviation; empty when none has it.
    bool partTypeId(const QString &abbreviation, QString &id) const;
    // The largest zone number of the part type in the source plus 1; 1 without zones.
    bool nextZoneNumber(const QString &partTypeId, quint32 &number) const;
    // Whether the destination already has a zone with this key.
    bool keyIsUsed(quint32 key, bool &used) const;

    static quint32 zoneKey(quint32 partTypeId, quint32 zoneNumber) { return zoneNumber + 100u * partTypeId; }

private:
    PSqlErrors *sqlErrors;
    QString srcDB;
    QString destDB;
    QString zonesTable;
};

#endif // ZONENUMBERING_H
