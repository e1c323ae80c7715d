#include "KvtTableSql.h"

#include "CONST.h"
#include "KvtSqlName.h"

namespace {

const char *const idShortNameSame = " WHERE ID <=> :parID "
                                    "AND Short <=> :parShort "
                                    "AND Name <=> :parName ";
const char *const idKey = " WHERE ID <=> :parID ";
const char *const idShortNameInsert = " (ID, Short, Name) "
                                      "VALUES (:pID, :pShort, :pName)";

} // namespace

KvtTableSql KvtTableSql::forTable(kvtTableName table, const QString &destination)
{
    KvtTableSql sql;
    sql.m_table = table;
    switch (table) {
    case tnDefects:
        sql.m_tableName = tbDEFECTS;
        sql.m_sameCondition = QStringLiteral(
            " WHERE MyId <=> :parMyId "
            "AND Date <=> :parDate "
            "AND Time <=> :parTime "
            "AND DefectoscopistID <=> :parHuman "
            "AND VagNo <=> :parVagNo "
            "AND DetTypeId <=> :parDetTypeId "
            "AND DetNo <=> :parDetNo "
            "AND ZavNo <=> :parZavNo "
            "AND ProdYear <=> :parProdYear "
            "AND DetParameter <=> :parDetParameter "
            "AND DefectNo <=> :parDefectNo "
            "AND ZoneID <=> :parZoneID "
            "AND Result <=> :parResult "
            "AND DefectID <=> :parDefectID "
            "AND DefectSize <=> :parDefectSize "
            "AND Amplitude <=> :parAmplitude "
            "AND Device <=> :parDevice");
        sql.m_insertColumns = QStringLiteral(
            " (ID, MyId, Date, DefectoscopistID, VagNo, DetTypeId, "
            "DetNo, DetParameter, DefectNo, ZavNo, ProdYear, Time, ZoneID, Result, "
            "DefectID, DefectSize, Amplitude, Printed, CRC32, Device, Errors) "
            "VALUES (:pID, :pMyId, :pDate, :pDefectoscopistID, :pVagNo, :pDetTypeId, :pDetNo, "
            ":pDetParameter, :pDefectNo, :pZavNo, :pProdYear, :pTime, :pZoneID, :pResult, "
            ":pDefectID, :pDefectSize, :pAmplitude, :pPrinted, :pCRC32, :pDevice, :pErrors)");
        break;
    case tnGraphics:
        sql.m_tableName = tbGRAPHICS;
        sql.m_sameCondition = QStringLiteral(
            " WHERE Date <=> :parDate "
            "AND Time <=> :parTime "
            "AND DefectoscopistID <=> :parHuman "
            "AND VagNo <=> :parVagNo "
            "AND DetNo <=> :parDetNo "
            "AND ZavNo <=> :parZavNo "
            "AND ProdYear <=> :parProdYear "
            "AND DetParameter <=> :parDetParameter "
            "AND DetTypeId <=> :parDetTypeId "
            "AND Device <=> :parDevice "
            "AND Graphic <=> :parGraphic "
            "AND DataId <=> :parDataId");
        sql.m_insertColumns = QStringLiteral(
            " (ID, VagNo, DetNo, ZavNo, ProdYear, Date, DefectoscopistID, DetTypeId, Time, "
            "DataType, FieldType, GradientType, CountType, CRC32, Graphic, Device, Picture, "
            "DetParameter, DataId, Synced, Errors) "
            "VALUES (:pID, :pVagNo, :pDetNo, :pZavNo, :pProdYear, :pDate, :pDefectoscopistID, "
            ":pDetTypeId, :pTime, "
            ":pDataType, :pFieldType, :pGradientType, :pCountType, :pCRC32, :pGraphic, :pDevice, "
            ":pPicture, "
            ":pDetParameter, :pDataId, :pSynced, :pErrors)");
        break;
    case tnDefectRef:
    case tnDetTypes:
    case tnResults:
        sql.m_tableName = table == tnDefectRef ? tbDEFECTREF
                          : table == tnDetTypes ? tbDETTYPES
                                                : tbRESULT;
        sql.m_sameCondition = QLatin1String(idShortNameSame);
        sql.m_keyCondition = QLatin1String(idKey);
        sql.m_insertColumns = QLatin1String(idShortNameInsert);
        sql.m_conflictColumns = QStringLiteral("SELECT ID, Short, Name FROM ");
        sql.m_conflictWhere = QStringLiteral(" WHERE ID=");
        break;
    case tnDevice:
        sql.m_tableName = tbDEVICE;
        sql.m_sameCondition = QStringLiteral(" WHERE ID <=> :parID "
                                             "AND Name <=> :parName ");
        sql.m_keyCondition = QLatin1String(idKey);
        sql.m_insertColumns = QStringLiteral(" (ID, Name) "
                                             "VALUES (:pID, :pName)");
        sql.m_conflictColumns = QStringLiteral("SELECT ID, Name FROM ");
        sql.m_conflictWhere = QStringLiteral(" WHERE ID=");
        break;
    case tnFactory:
        sql.m_tableName = tbFACTORY;
        sql.m_sameCondition = QStringLiteral(" WHERE "
                                             " Cod <=> :parCod "
                                             "AND Short <=> :parShort "
                                             "AND Name <=> :parName ");
        sql.m_keyCondition = QStringLiteral(" WHERE Cod <=> :parCod ");
        sql.m_insertColumns = QStringLiteral(" (Cod, Short, Name) "
                                             "VALUES (:pCod, :pShort, :pName)");
        sql.m_conflictColumns = QStringLiteral("SELECT ID, Cod, Short, Name FROM ");
        sql.m_conflictWhere = QStringLiteral(" WHERE Cod=");
        break;
    case tnHumans:
        sql.m_tableName = tbHUMAN;
        sql.m_sameCondition = QStringLiteral(" WHERE "
                                             " Famname <=> :parFamname "
                                             "AND FstName <=> :parFstName "
                                             "AND SecName <=> :parSecName "
                                             "AND FullName <=> :parFullName "
                                             "AND TabNo <=> :parTabNo ");
        sql.m_keyCondition = QStringLiteral(" WHERE TabNo <=> :parTabNo");
        sql.m_insertColumns = QStringLiteral(
            " ( ID, Famname, FstName, SecName, FullName, TabNo ) "
            "VALUES (:pID, :pFamname, :pFstName, :pSecName, :pFullName, :pTabNo)");
        sql.m_conflictColumns = QStringLiteral("SELECT ID, Famname, FstName, SecName, FullName, TabNo FROM ");
        sql.m_conflictWhere = QStringLiteral(" WHERE TabNo=");
        break;
    case tnZones:
        sql.m_tableName = tbZONES;
        sql.m_sameCondition = QStringLiteral(" WHERE DetTypeZone <=> :parDetTypeZone "
                                             "AND ID <=> :parID "
                                             "AND DetTypeId <=> :parDetTypeId "
                                             "AND Name <=> :parName ");
        sql.m_keyCondition = QStringLiteral(" WHERE DetTypeZone <=> :parDetTypeZone ");
        sql.m_insertColumns = QStringLiteral(
            " (DetTypeZone, ID, DetTypeId, Name) "
            "VALUES (:pDetTypeZone, :pID, :pDetTypeId, :pName)");
        sql.m_conflictColumns = QStringLiteral("SELECT DetTypeZone, ID, DetTypeId, Name FROM ");
        sql.m_conflictWhere = QStringLiteral(" WHERE DetTypeZone=");
        break;
    }
    sql.m_destinationTable = KvtSqlName::table(destination, sql.m_tableName);
    return sql;
}

QString KvtTableSql::sameRecordTest() const
{
    return QStringLiteral("SELECT COUNT(*) FROM ") + m_destinationTable + m_sameCondition;
}

QString KvtTableSql::keyTest() const
{
    return QStringLiteral("SELECT COUNT(*) FROM ") + m_destinationTable + m_keyCondition;
}

QString KvtTableSql::insert() const
{
    return QStringLiteral("INSERT INTO ") + m_destinationTable + m_insertColumns;
}

QString KvtTableSql::maxId() const
{
    return QStringLiteral("SELECT MAX(ID) FROM ") + m_destinationTable;
}

QString KvtTableSql::conflictSelect(const QString &database, const QString &key) const
{
    return m_conflictColumns + KvtSqlName::table(database, m_tableName) + m_conflictWhere + key;
}
