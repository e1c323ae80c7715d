#include "MergeConflict.h"

#include "KvtTables.h"

#include <QSqlQuery>
#include <QSqlRecord>

QVariant ConflictRecord::value(const QString &column) const
{
    const int i = columns.indexOf(column);
    return i < 0 ? QVariant() : values.value(i);
}

QString MergeConflict::tableName() const
{
    return KvtTable::of(table).name;
}

QString MergeConflict::where() const
{
    return where(sourceDB, table, key);
}

QString MergeConflict::where(const QString &sourceDB, kvtTableName table, const QString &key)
{
    return QStringLiteral("%1.%2, key %3").arg(sourceDB, KvtTable::of(table).name, key);
}

namespace {

KvtSqlStatus readRecord(const QSqlDatabase &db, const QString &select, ConflictRecord &record)
{
    record = ConflictRecord();
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.exec(select))
        return KvtSqlStatus::failureOf(query);
    if (!query.next())
        return {};
    const QSqlRecord row = query.record();
    for (int i = 0; i < row.count(); ++i) {
        record.columns << row.fieldName(i);
        record.values << row.value(i);
    }
    return {};
}

} // namespace

KvtSqlStatus MergeConflict::readRecords(const QSqlDatabase &db)
{
    const KvtSqlStatus status = readRecord(db, sourceSelect, source);
    return status ? readRecord(db, destinationSelect, destination) : status;
}

void MergeConflict::registerMetaType()
{
    qRegisterMetaType<MergeConflict>("MergeConflict");
}
