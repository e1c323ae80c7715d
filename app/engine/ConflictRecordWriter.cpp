#include "ConflictRecordWriter.h"

#include "ConflictQuery.h"
#include "ConflictTable.h"
#include "PLog.h"
#include "PSqlIdentifier.h"
#include "PSqlService.h"
#include "dbFunc.h"

#include <QSqlQuery>
#include <QSqlRecord>
#include <QVariant>

namespace {

QString placeholder(const QString &column)
{
    return QLatin1String(":p") + column;
}

} // namespace

ConflictRecordWriter::ConflictRecordWriter(PSqlService *sqlService, PSqlErrors *sqlErrors)
    : sqlService(sqlService)
    , sqlErrors(sqlErrors)
{
}

void ConflictRecordWriter::setConflict(kvtTableName table, const QString &destDB, const QString &srcQuery)
{
    conflictTable = ConflictTable::find(table);
    this->destDB = destDB;
    this->srcQuery = srcQuery;
}

bool ConflictRecordWriter::readSource(QStringList &values) const
{
    bool found = false;
    return readSourceRecord(values, found);
}

bool ConflictRecordWriter::readSourceRecord(QStringList &values, bool &found) const
{
    QSqlQuery query;
    if (!query.exec(srcQuery)) {
        if (!getLastErr(&query, sqlErrors))
            PLOG_ERROR << "source record could not be read: " << srcQuery;
        return true;
    }
    values.clear();
    found = query.next();
    if (!found) {
        PLOG_WARN << "source record no longer present: " << srcQuery;
        return false;
    }
    for (int i = 0; i < query.record().count(); ++i)
        values.append(query.value(i).toString());
    return false;
}

bool ConflictRecordWriter::replaceDestinationRecord() const
{
    if (!conflictTable)
        return false;
    QStringList record;
    bool found = false;
    if (readSourceRecord(record, found))
        return true;
    const QString key = record.value(conflictTable->columnIndex(conflictTable->keyColumn));
    if (!found || key.isEmpty())
        return false;

    QStringList assignments;
    for (const QString &column : conflictTable->replacedColumns)
        assignments.append(column + QLatin1Char('=') + placeholder(column));
    QVariantMap values = sourceValues(record, conflictTable->replacedColumns);
    values.insert(placeholder(conflictTable->keyColumn), key);
    return execBound(QLatin1String("UPDATE ") + destinationTable() + QLatin1String(" SET ")
                         + assignments.join(QLatin1String(", ")) + QLatin1String(" WHERE ")
                         + conflictTable->keyColumn + QLatin1Char('=')
                         + placeholder(conflictTable->keyColumn),
                     values);
}

bool ConflictRecordWriter::addWithKey(int key) const
{
    if (!conflictTable || conflictTable->table == tnZones)
        return false;
    QStringList record;
    bool found = false;
    if (readSourceRecord(record, found))
        return true;
    if (!found)
        return false;

    QVariantMap values = sourceValues(record, conflictTable->insertedColumns);
    values.insert(placeholder(conflictTable->newKeyColumn), key);
    if (conflictTable->generatesId) {
        QString errMsg;
        const quint64 id = sqlService->generateDataBaseId(destinationTable(), errMsg);
        if (!errMsg.isEmpty())
            return true;
        values.insert(placeholder(QStringLiteral("ID")), id);
    }
    QStringList placeholders;
    for (const QString &column : conflictTable->insertedColumns)
        placeholders.append(placeholder(column));
    return execBound(QLatin1String("INSERT INTO ") + destinationTable() + QLatin1String(" (")
                         + conflictTable->insertedColumns.join(QLatin1String(", "))
                         + QLatin1String(") VALUES (") + placeholders.join(QLatin1String(", "))
                         + QLatin1Char(')'),
                     values);
}

bool ConflictRecordWriter::addZone(const QString &detTypeZone, const QString &detTypeId,
                                   const QString &zoneId) const
{
    const ConflictTable *zones = ConflictTable::find(tnZones);
    QStringList record;
    bool found = false;
    if (readSourceRecord(record, found))
        return true;
    if (!found)
        return false;
    return execBound(QLatin1String("INSERT INTO ") + PSqlIdentifier::qualified(destDB, zones->name)
                         + QLatin1String(" (DetTypeZone, ID, DetTypeId, Name)"
                                         " VALUES (:pDetTypeZone, :pID, :pDetTypeId, :pName)"),
                     {{QStringLiteral(":pDetTypeZone"), detTypeZone},
                      {QStringLiteral(":pID"), zoneId},
                      {QStringLiteral(":pDetTypeId"), detTypeId},
                      {QStringLiteral(":pName"), record.value(zones->columnIndex(QStringLiteral("Name")))}});
}

bool ConflictRecordWriter::execBound(const QString &statement, const QVariantMap &values) const
{
    QSqlQuery query;
    return execConflictQuery(query, statement, values, sqlErrors);
}

QString ConflictRecordWriter::destinationTable() const
{
    return PSqlIdentifier::qualified(destDB, conflictTable->name);
}

// The source texts of the columns, keyed by their placeholders. A NULL column reads as a
// null text and is written back as NULL.
QVariantMap ConflictRecordWriter::sourceValues(const QStringList &record, const QStringList &columns) const
{
    QVariantMap values;
    for (const QString &column : columns)
        values.insert(placeholder(column), record.value(conflictTable->columnIndex(column)));
    return values;
}
