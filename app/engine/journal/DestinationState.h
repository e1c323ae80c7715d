#ifndef DESTINATIONSTATE_H
#define DESTINATIONSTATE_H

#include "KvtRelations.h"

#include <QHash>
#include <QSqlDatabase>
#include <QString>
#include <QVector>

// What a destination database holds of the tables whose rows name reference records, and
// how far those tables reached when a run began. The schema keeps no times: a merge run
// records each such table's largest identifier when it begins (MergeJournal), and the undo
// takes the rows up to it as the state before the run. A row of the state before still
// names what it named before the run, so only rows after it can hold back a record the
// run brought.
namespace DestinationState {

// The columns of KvtRelations::namingColumns() that the destination has (a table the
// merge does not copy may be missing, or lack the column).
bool namingColumns(const QSqlDatabase &db, const QString &destination, QVector<KvtNamingColumn> &columns,
                   QString *error);
// The largest identifier (0 when empty) of each table holding such a column, by name.
bool largestIds(const QSqlDatabase &db, const QString &destination, QHash<QString, qlonglong> &largest,
                QString *error);

} // namespace DestinationState

#endif // DESTINATIONSTATE_H
