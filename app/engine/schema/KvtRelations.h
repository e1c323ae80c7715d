#ifndef KVTRELATIONS_H
#define KVTRELATIONS_H

#include "global_vars.h"

#include <QString>
#include <QStringList>
#include <QVector>

// Which reference record a measurement row names, as the description of the measurement
// columns says (KvtTables). Every statement that checks or translates references is built
// from it.
//
//   defects/graphics.DefectoscopistID -> humans.ID
//   defects/graphics.DetTypeId        -> dettypes.ID
//   defects.Result                    -> results.ID
//   defects.DefectID                  -> defectref.ID
//   defects/graphics.Device           -> device.ID
//   defects.ZoneID                    -> zones (DetTypeId = the row's DetTypeId, ID = ZoneID),
//                                        whose DetTypeZone is 100 * DetTypeId + ZoneID
//   zones.DetTypeId                   -> dettypes.ID (a zone belongs to a part type)
//
// A NULL value names nothing and is neither checked nor translated.
struct KvtRelation
{
    QString column;        // the measurement column
    kvtTableName target;   // the reference table it names
    // ZoneID: the zone is found by the row's part type (DetTypeId) and this number.
    bool withinPartType = false;
};

// A column of a KVT database that names a reference record, with the table that holds it
// and the column that identifies that table's rows.
struct KvtNamingColumn
{
    QString table;
    QString identifier; // DetTypeZone for zones, else ID
    QString column;
    kvtTableName target;
    bool withinPartType = false;
};

namespace KvtRelations {

// The six relations of the measurement tables, as their columns describe them (KvtTables),
// in a fixed order.
const QVector<KvtRelation> &all();
// The relations whose column is among `columns` (a measurement table's copied columns).
// ZoneID comes with its part type only.
QVector<KvtRelation> among(const QStringList &columns);

// Every column of a KVT database that names a reference record, as the tables describe
// them (KvtTables): the measurement tables' (all()), zones.DetTypeId, and those of the
// tables the merge does not copy (KvtOtherTable).
const QVector<KvtNamingColumn> &namingColumns();

// The reference tables a measurement row can name, in the order their maps are kept.
const QVector<kvtTableName> &targets();

// A reference record's content: what must be equal in the source and the destination for
// a row to name the same thing in both. The record's same-columns (KvtTables) without the
// columns that identify it (so a person is compared by names and TabNo, a zone by its
// name). KvtReferenceSql::sameContent compares it.
QStringList content(kvtTableName target);
// The identifier a measurement row names: ID, and for a zone its part type and ID.
QStringList identifier(kvtTableName target);
// "<alias>.ID = <id>" or, for zones, "<alias>.DetTypeId = <part> AND <alias>.ID = <id>".
QString names(kvtTableName target, const QString &alias, const QString &part, const QString &id);

} // namespace KvtRelations

#endif // KVTRELATIONS_H
