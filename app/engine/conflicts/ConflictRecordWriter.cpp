#include "ConflictRecordWriter.h"

#include "KvtSql.h"
#include "KvtTables.h"
#include "PLog.h"
#include "PSqlIdentifier.h"

#include <QSqlQuery>
#include <QSqlRecord>
#include <QVariant>

namespace {

using KvtSql::valuePlaceholder;

// "`column`=:pcolumn"
QString assignment(const QString &column)
{
    return KvtSql::column(QString(), column) + QLatin1Char('=') + valuePlaceholder(column);
}

} // namespace

ConflictRecordWriter::ConflictRecordWriter(const QString &connectionName)
    : m_connectionName(connectionName)
{
}

QSqlDatabase ConflictRecordWriter::connection() const
{
    return QSqlDatabase::database(m_connectionName, false);
}

void ConflictRecordWriter::setConflict(kvtTableName table, const QString &destDB, const QString &srcQuery)
{
    const KvtTable &described = KvtTable::of(table);
    m_table = described.isReference() ? &described : nullptr;
    m_destDB = destDB;
    m_srcQuery = srcQuery;
}

KvtSqlStatus ConflictRecordWriter::readSource(QStringList &values) const
{
    bool found = false;
    return readSourceRecord(values, found);
}

KvtSqlStatus ConflictRecordWriter::readSourceRecord(QStringList &values, bool &found) const
{
    values.clear();
    found = false;
    KvtPreparedQuery query(connection(), m_srcQuery);
    const KvtSqlStatus status = query.run();
    if (!status) {
        PLOG_ERROR << "source record could not be read: " << m_srcQuery;
        return status;
    }
    QSqlQuery &rows = query.query();
    found = rows.next();
    if (!found) {
        PLOG_WARN << "source record no longer present: " << m_srcQuery;
        return status;
    }
    for (int i = 0; i < rows.record().count(); ++i)
        values.append(rows.value(i).toString());
    return status;
}

KvtSqlStatus ConflictRecordWriter::replaceDestinationRecord() const
{
    if (!m_table)
        return {};
    QStringList record;
    bool found = false;
    const KvtSqlStatus read = readSourceRecord(record, found);
    const QString key = record.value(m_table->indexOf(m_table->keyColumn()));
    if (!read || !found || key.isEmpty())
        return read;

    QStringList assignments;
    for (const QString &column : m_table->replacedColumns())
        assignments.append(assignment(column));
    KvtPreparedQuery::Bindings values = sourceValues(record, m_table->replacedColumns());
    values.append({valuePlaceholder(m_table->keyColumn()), key});
    return execBound(QLatin1String("UPDATE ") + destinationTable() + QLatin1String(" SET ")
                         + assignments.join(QLatin1String(", ")) + QLatin1String(" WHERE ")
                         + assignment(m_table->keyColumn()),
                     values);
}

KvtSqlStatus ConflictRecordWriter::addWithKey(int key) const
{
    if (!m_table || m_table->id == tnZones)
        return {};
    QStringList record;
    bool found = false;
    const KvtSqlStatus read = readSourceRecord(record, found);
    if (!read || !found)
        return read;

    KvtPreparedQuery::Bindings values = sourceValues(record, m_table->insertedColumns());
    values.append({valuePlaceholder(m_table->keyColumn()), key});
    if (m_table->idRule == IdRule::NextAfterMax) {
        KvtPreparedQuery maxId(connection(), KvtSql::largestKey(destinationTable()));
        const KvtSqlStatus status = maxId.run();
        if (!status)
            return status;
        const quint64 id = (maxId.query().next() ? maxId.query().value(0).toULongLong() : 0u) + 1u;
        values.append({valuePlaceholder(QStringLiteral("ID")), id});
    }
    return execBound(KvtSql::insertValues(destinationTable(), m_table->insertedColumns()), values);
}

KvtSqlStatus ConflictRecordWriter::addZone(const QString &detTypeZone, const QString &detTypeId,
                                           const QString &zoneId) const
{
    const KvtTable &zones = KvtTable::of(tnZones);
    QStringList record;
    bool found = false;
    const KvtSqlStatus read = readSourceRecord(record, found);
    if (!read || !found)
        return read;
    const QHash<QString, QString> zone{{QStringLiteral("DetTypeZone"), detTypeZone},
                                       {QStringLiteral("ID"), zoneId},
                                       {QStringLiteral("DetTypeId"), detTypeId},
                                       {QStringLiteral("Name"), record.value(zones.indexOf(QStringLiteral("Name")))}};
    KvtPreparedQuery::Bindings values;
    for (const QString &column : zones.columnNames())
        values.append({valuePlaceholder(column), zone.value(column)});
    return execBound(KvtSql::insertValues(PSqlIdentifier::qualified(m_destDB, zones.name), zones.columnNames()),
                     values);
}

KvtSqlStatus ConflictRecordWriter::execBound(const QString &statement,
                                             const KvtPreparedQuery::Bindings &values) const
{
    KvtPreparedQuery query(connection(), statement);
    return query.run(values);
}

QString ConflictRecordWriter::destinationTable() const
{
    return PSqlIdentifier::qualified(m_destDB, m_table->name);
}

// The source texts of the columns, keyed by their placeholders. A NULL column reads as a
// null text and is written back as NULL.
KvtPreparedQuery::Bindings ConflictRecordWriter::sourceValues(const QStringList &record,
                                                              const QStringList &columns) const
{
    KvtPreparedQuery::Bindings values;
    for (const QString &column : columns)
        values.append({valuePlaceholder(column), record.value(m_table->indexOf(column))});
    return values;
}
