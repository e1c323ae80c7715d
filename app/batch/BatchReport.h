#ifndef BATCHREPORT_H
#define BATCHREPORT_H

#include <QString>

class MergeReport;

// Where a batch run leaves its report. Without --report the three files go where the
// window puts them (the log folder's reports/, under a new name each time). With
// --report FILE, FILE holds the tables and the conflicts and run files sit beside it as
// <base>_conflicts.csv and <base>_run.csv, <base> being FILE without its last suffix;
// files of those names are replaced, so a script finds its report in one place.
// Returns the tables file written, or an empty text with the reason in `error`.
QString writeBatchReport(const MergeReport &report, const QString &tablesFile, QString &error);

#endif // BATCHREPORT_H
