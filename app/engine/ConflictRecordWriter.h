#ifndef CONFLICTRECORDWRITER_H
#define CONFLICTRECORDWRITER_H

#include "global_vars.h"

#include <QString>
#include <QStringList>

class PSqlErrors;
class PSqlService;
struct ConflictTable;

// Writes the outcome of one conflict into the destination database: the source record
// either overwrites the destination record of the same key or is added under a new key.
// The source record is read afresh with the worker's SELECT text each time. Every value
// is bound, and tables are named as quoted identifiers, so names holding quotes,
// backslashes or semicolons are stored exactly.
// Each operation returns true when it failed; the error has then been shown (through
// sqlErrors, or the SQL service's own box) and logged. After a failed read nothing is
// written. Default connection, GUI thread, while the worker waits.
class ConflictRecordWriter
{
public:
    ConflictRecordWriter(PSqlService *sqlService, PSqlErrors *sqlErrors);

    // The conflict in hand: its table, the destination database and the SELECT text that
    // reads the source record.
    void setConflict(kvtTableName table, const QString &destDB, const QString &srcQuery);

    // The source record's columns as texts, in the SELECT's order; empty when the
    // record is no longer there.
    bool readSource(QStringList &values) const;
    // The destination record with the source record's key takes the source's other
    // columns (for zones also ID and DetTypeId). Nothing happens for a record without key
    // (a person without TabNo) or one that is no longer in the source.
    bool replaceDestinationRecord() const;
    // Adds the source record under `key` (Cod for factory, TabNo for humans, ID otherwise);
    // a person also gets the destination's largest ID plus 1. Not for zones.
    bool addWithKey(int key) const;
    // Adds the source zone under the given key, part type and zone number.
    bool addZone(const QString &detTypeZone, const QString &detTypeId, const QString &zoneId) const;

private:
    bool readSourceRecord(QStringList &values, bool &found) const;
    bool execBound(const QString &statement, const QVariantMap &values) const;
    QString destinationTable() const;
    QVariantMap sourceValues(const QStringList &record, const QStringList &columns) const;

    PSqlService *sqlService;
    PSqlErrors *sqlErrors;
    const ConflictTable *conflictTable = nullptr;
    QString destDB;
    QString srcQuery;
};

#endif // CONFLICTRECORDWRITER_H
