#include "ConflictTable.h"

#include "CONST.h"

#include <QVector>

namespace {

const QString colID = QStringLiteral("ID");

QVector<ConflictTable> makeTables()
{
    const QStringList shortName{QStringLiteral("Short"), QStringLiteral("Name")};
    const QStringList idShortName = QStringList{colID} + shortName;
    const QStringList names{QStringLiteral("Famname"), QStringLiteral("FstName"),
                            QStringLiteral("SecName"), QStringLiteral("FullName")};
    const QString tabNo = QStringLiteral("TabNo");
    const QString cod = QStringLiteral("Cod");
    const QString zoneKey = QStringLiteral("DetTypeZone");
    const QStringList zoneColumns{zoneKey, colID, QStringLiteral("DetTypeId"), QStringLiteral("Name")};

    return {
        {tnDefectRef, tbDEFECTREF, idShortName, colID, shortName, colID, idShortName, false},
        {tnDetTypes, tbDETTYPES, idShortName, colID, shortName, colID, idShortName, false},
        {tnResults, tbRESULT, idShortName, colID, shortName, colID, idShortName, false},
        {tnDevice, tbDEVICE, {colID, QStringLiteral("Name")}, colID, {QStringLiteral("Name")},
         colID, {colID, QStringLiteral("Name")}, false},
        {tnFactory, tbFACTORY, QStringList{colID, cod} + shortName, cod, shortName, cod,
         QStringList{cod} + shortName, false},
        {tnHumans, tbHUMAN, QStringList{colID} + names + QStringList{tabNo}, tabNo, names, tabNo,
         QStringList{colID} + names + QStringList{tabNo}, true},
        {tnZones, tbZONES, zoneColumns, zoneKey, zoneColumns.mid(1), colID, zoneColumns, false},
    };
}

const QVector<ConflictTable> &tables()
{
    static const QVector<ConflictTable> all = makeTables();
    return all;
}

} // namespace

const ConflictTable *ConflictTable::find(kvtTableName table)
{
    for (const ConflictTable &t : tables()) {
        if (t.table == table)
            return &t;
    }
    return nullptr;
}

const ConflictTable *ConflictTable::find(const QString &tableName)
{
    for (const ConflictTable &t : tables()) {
        if (t.name == tableName)
            return &t;
    }
    return nullptr;
}

QString ConflictTable::newKeyColumnOf(const QString &tableName)
{
    const ConflictTable *t = find(tableName);
    return t ? t->newKeyColumn : colID;
}
