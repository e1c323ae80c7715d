#ifndef CONFLICTTABLE_H
#define CONFLICTTABLE_H

#include "global_vars.h"

#include <QString>
#include <QStringList>

// How a conflicting record of one reference table is shown and written: the columns of
// the worker's conflict SELECT texts, the key a replacement keeps, the columns it takes
// from the source, and the column that receives the key an operator chooses for an
// added record.
struct ConflictTable
{
    kvtTableName table;
    QString name;                 // the table's name constant
    QStringList columns;          // in the order of the conflict SELECT texts
    QString keyColumn;            // identifies the destination record a replacement overwrites
    QStringList replacedColumns;  // what a replacement takes from the source record
    QString newKeyColumn;         // receives the chosen key when the record is added
    QStringList insertedColumns;  // written when the record is added under a new key
    bool generatesId;             // an added record gets the destination's largest ID plus 1

    // The seven reference tables; null for defects, graphics and unknown values.
    static const ConflictTable *find(kvtTableName table);
    // The table of this name constant; null when it is not a reference table.
    static const ConflictTable *find(const QString &tableName);
    // The column that identifies records of the named table in the destination:
    // Cod for factory, TabNo for humans, ID for every other table.
    static QString newKeyColumnOf(const QString &tableName);

    // Position of the column in the conflict SELECT texts; -1 when absent.
    int columnIndex(const QString &column) const { return columns.indexOf(column); }
};

#endif // CONFLICTTABLE_H
