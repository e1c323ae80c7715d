#ifndef CONFLICTRECORDWRITER_H
#define CONFLICTRECORDWRITER_H

#include "KvtPreparedQuery.h"
#include "global_vars.h"

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

struct KvtTable;

// Writes the outcome of one conflict into the destination database: the source record
// either overwrites the destination record of the same key or is added under a new key.
// The source record is read afresh with the worker's SELECT text each time. Every value
// is bound, and tables are named as quoted identifiers, so names holding quotes,
// backslashes or semicolons are stored exactly.
// Each operation returns its failure as a result and shows nothing; after a failed read
// nothing is written. Runs on the named connection while the worker waits.
class ConflictRecordWriter
{
public:
    explicit ConflictRecordWriter(const QString &connectionName = QLatin1String(QSqlDatabase::defaultConnection));

    // The conflict in hand: its table, the destination database and the SELECT text that
    // reads the source record.
    void setConflict(kvtTableName table, const QString &destDB, const QString &srcQuery);

    // The source record's columns as texts, in the SELECT's order; empty when the
    // record is no longer there.
    KvtSqlStatus readSource(QStringList &values) const;
    // The destination record with the source record's key takes the source's other
    // columns (for zones also ID and DetTypeId). Nothing happens for a record without key
    // (a person without TabNo) or one that is no longer in the source.
    KvtSqlStatus replaceDestinationRecord() const;
    // Adds the source record under `key` (Cod for factory, TabNo for humans, ID otherwise);
    // a person also gets the destination's largest ID plus 1. Not for zones.
    KvtSqlStatus addWithKey(int key) const;
    // Adds the source zone under the given key, part type and zone number.
    KvtSqlStatus addZone(const QString &detTypeZone, const QString &detTypeId, const QString &zoneId) const;

private:
    KvtSqlStatus readSourceRecord(QStringList &values, bool &found) const;
    KvtSqlStatus execBound(const QString &statement, const KvtPreparedQuery::Bindings &values) const;
    QString destinationTable() const;
    KvtPreparedQuery::Bindings sourceValues(const QStringList &record, const QStringList &columns) const;
    QSqlDatabase connection() const;

    QString m_connectionName;
    const KvtTable *m_table = nullptr; // null unless a reference table
    QString m_destDB;
    QString m_srcQuery;
};

#endif // CONFLICTRECORDWRITER_H
