#ifndef MERGECONFLICT_H
#define MERGECONFLICT_H

#include "KvtSqlStatus.h"
#include "MergeJournal.h"
#include "global_vars.h"

#include <QMetaType>
#include <QString>
#include <QStringList>
#include <QVariantList>

class QSqlDatabase;

// One record of a conflict as values: its described columns and their values, a NULL
// kept as a null QVariant.
struct ConflictRecord
{
    QStringList columns;
    QVariantList values;

    bool isEmpty() const { return columns.isEmpty(); }
    // The column's value; an invalid QVariant for a column the record lacks.
    QVariant value(const QString &column) const;
};

// A conflicting reference record as the worker hands it over: the source record's key is
// taken in the destination by a record of other content. It carries everything a settler
// needs, so that no caller reads a key or a database back out of SQL text; the two
// SELECT texts stay for the comparison dialog, which loads its grids with them.
// Travels in queued signals (registerMetaType()).
struct MergeConflict
{
    kvtTableName table = tnDefects;
    QString keyColumn; // Cod for factory, TabNo for humans, DetTypeZone for zones, else ID
    QString key;
    QString sourceDB;
    QString destinationDB;
    ConflictRecord source;      // as it is to be written (a zone under a translated part type)
    ConflictRecord destination; // the destination's record of the same key
    QString sourceSelect;       // the texts of KvtMerger::differentRecordsInTbs
    QString destinationSelect;
    // The run the worker journals into; its journal is null without one. Whoever writes
    // the outcome journals it there (ConflictResolver).
    MergeJournal::RunInProgress journalRun;

    // The table's name, e.g. "humans".
    QString tableName() const;
    // "<source>.<table>, key <key>", for messages and the log.
    QString where() const;
    static QString where(const QString &sourceDB, kvtTableName table, const QString &key);
    // Reads both records with the two SELECT texts on `db` (the worker's connection).
    KvtSqlStatus readRecords(const QSqlDatabase &db);

    static void registerMetaType();
};

Q_DECLARE_METATYPE(MergeConflict)

#endif // MERGECONFLICT_H
