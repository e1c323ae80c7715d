#ifndef ENGINETESTDATA_H
#define ENGINETESTDATA_H

#include "MergeUndo.h"

#include <QString>
#include <QStringList>

// Test databases for the merge engine, on the default connection.
namespace EngineTestData {

// Fills a KVT database with the demo generator's data (sql/kvt_demo_data.sql) as the
// given demo database number. Returns the first error text, empty on success.
QString fillDemo(const QString &database, int number, int defects, int graphics, int refs,
                 int graphicBytes = 256);
// Rows of a query, each row's values joined by '|', NULL written as "NULL".
QStringList rows(const QString &query);
// `name`
QString q(const QString &name);
// CHECKSUM TABLE of the nine merged tables and of the tables the merge does not copy.
QStringList checksums(const QString &database);
// Plans and executes the undo of a run on the default connection, its report into
// reportFolder; an unknown run fails with the error "unknown run".
MergeUndo::Result undoRun(MergeJournal &journal, qlonglong run, const QString &reportFolder,
                          MergeUndo::Plan *planOut = nullptr);
// Number of rows of database.table.
int count(const QString &database, const QString &table);
// Number of rows of one table that have a record equal in all columns (NULL-safe, dates
// and numbers compared byte for byte in the server's text form) in the other.
int matchingRows(const QString &db1, const QString &db2, const QString &table,
                 const QStringList &columns);
// The columns of a merged table that the merge copies (all but a generated ID).
QStringList copiedColumns(const QString &table);

} // namespace EngineTestData

#endif // ENGINETESTDATA_H
