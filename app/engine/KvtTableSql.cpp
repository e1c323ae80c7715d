#include "KvtTableSql.h"

#include "CONST.h"
#include "KvtSqlName.h"

#include <QStringList>
#include <QVector>

#include <iterator>

namespace {

const char *const idShortNameSame = " WHERE ID <=> :parID "
                                    "AND Short <=> :parShort "
                                    "AND Name <=> :parName ";
const char *const idKey = " WHERE ID <=> :parID ";
const char *const idShortNameInsert = " (ID, Short, Name) "
                                      "VALUES (:pID, :pShort, :pName)";

// A measurement table's compared columns with the parameter each one is tested against;
// the parameter is named after the column, except for the operator (":parHuman").
struct ComparedColumn {
    const char *column;
    const char *parameter;
};

const ComparedColumn defectsCompared[] = {
    {"MyId", "MyId"},           {"Date", "Date"},         {"Time", "Time"},
    {"DefectoscopistID", "Human"}, {"VagNo", "VagNo"},    {"DetTypeId", "DetTypeId"},
    {"DetNo", "DetNo"},         {"ZavNo", "ZavNo"},       {"ProdYear", "ProdYear"},
    {"DetParameter", "DetParameter"}, {"DefectNo", "DefectNo"}, {"ZoneID", "ZoneID"},
    {"Result", "Result"},       {"DefectID", "DefectID"}, {"DefectSize", "DefectSize"},
    {"Amplitude", "Amplitude"}, {"Device", "Device"}};

const ComparedColumn graphicsCompared[] = {
    {"Date", "Date"},         {"Time", "Time"},   {"DefectoscopistID", "Human"},
    {"VagNo", "VagNo"},       {"DetNo", "DetNo"}, {"ZavNo", "ZavNo"},
    {"ProdYear", "ProdYear"}, {"DetParameter", "DetParameter"}, {"DetTypeId", "DetTypeId"},
    {"Device", "Device"},     {"Graphic", "Graphic"}, {"DataId", "DataId"}};

// Every column an insert writes besides the generated ID, in the order of the values the
// row handlers take.
const char *const defectsCopied[] = {
    "MyId",     "Date",       "DefectoscopistID", "VagNo",    "DetTypeId", "DetNo",   "DetParameter",
    "DefectNo", "ZavNo",      "ProdYear",         "Time",     "ZoneID",    "Result",  "DefectID",
    "DefectSize", "Amplitude", "Printed",         "CRC32",    "Device",    "Errors"};

const char *const graphicsCopied[] = {
    "VagNo",    "DetNo",     "ZavNo",        "ProdYear",  "Date",    "DefectoscopistID", "DetTypeId",
    "Time",     "DataType",  "FieldType",    "GradientType", "CountType", "CRC32",       "Graphic",
    "Device",   "Picture",   "DetParameter", "DataId",    "Synced",  "Errors"};

template <typename Item, std::size_t N>
QVector<Item> listOf(const Item (&items)[N])
{
    return QVector<Item>(std::begin(items), std::end(items));
}

QVector<ComparedColumn> measurementCompared(kvtTableName table)
{
    return table == tnDefects ? listOf(defectsCompared) : listOf(graphicsCompared);
}

QStringList measurementCopied(kvtTableName table)
{
    QStringList columns;
    for (const char *column : table == tnDefects ? listOf(defectsCopied) : listOf(graphicsCopied))
        columns << QLatin1String(column);
    return columns;
}

QString measurementSameCondition(kvtTableName table)
{
    QStringList tests;
    for (const ComparedColumn &c : measurementCompared(table))
        tests << QStringLiteral("%1 <=> :par%2").arg(QLatin1String(c.column), QLatin1String(c.parameter));
    return QStringLiteral(" WHERE ") + tests.join(QStringLiteral(" AND "));
}

// " (ID, columns...) VALUES (:pID, :pcolumn...)": :pID is never bound, so the
// destination generates the ID.
QString measurementInsertColumns(kvtTableName table)
{
    const QStringList columns = measurementCopied(table);
    QStringList parameters;
    for (const QString &column : columns)
        parameters << QStringLiteral(":p") + column;
    return QStringLiteral(" (ID, ") + columns.join(QStringLiteral(", ")) + QStringLiteral(") VALUES (:pID, ")
           + parameters.join(QStringLiteral(", ")) + QLatin1Char(')');
}

} // namespace

KvtTableSql KvtTableSql::forTable(kvtTableName table, const QString &destination)
{
    KvtTableSql sql;
    sql.m_table = table;
    switch (table) {
    case tnDefects:
    case tnGraphics:
        sql.m_tableName = table == tnDefects ? tbDEFECTS : tbGRAPHICS;
        sql.m_sameCondition = measurementSameCondition(table);
        sql.m_insertColumns = measurementInsertColumns(table);
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

QStringList KvtTableSql::comparedColumns() const
{
    QStringList columns;
    if (!hasKey())
        for (const ComparedColumn &c : measurementCompared(m_table))
            columns << QLatin1String(c.column);
    return columns;
}

QStringList KvtTableSql::copiedColumns() const
{
    return hasKey() ? QStringList() : measurementCopied(m_table);
}
