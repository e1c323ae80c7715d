#ifndef MERGEREPORTWRITER_H
#define MERGEREPORTWRITER_H

#include "MergeReport.h"

#include <QList>
#include <QString>
#include <QStringList>

// Writes a MergeReport as three files into a folder (created when missing), UTF-8 without
// a byte-order mark, fields separated by ";", each file with a header row:
//   <base>.csv            source;table;rows;inserted;present;conflicts;replaced;
//                         added_new_key;left_out;references_translated;
//                         references_mismatched;status   (nine rows per named source)
//   <base>_conflicts.csv  source;table;key;decision;decided_by;new_key
//   <base>_run.csv        key;value: start, end, status, mode, copy_variant, server,
//                         destination, sources, one error row per error
// The base name is merge_<yyyy-MM-dd_HH-mm-ss> of the report's start, with _2, _3 ...
// added when a file of that name exists. A field holding ";", a double quote or a line
// break is quoted, its double quotes doubled.
class MergeReportWriter
{
public:
    struct Result {
        bool ok = false;
        QString basePath; // folder/base, without ".csv"
        QString error;
    };

    static Result write(const MergeReport &report, const QString &folder);

    // The three files' contents.
    // The tables file's rows, its header first (also the batch mode's summary).
    static QList<QStringList> tablesRows(const MergeReport &report);
    static QString tablesText(const MergeReport &report);
    static QString conflictsText(const MergeReport &report);
    static QString runText(const MergeReport &report);
};

#endif // MERGEREPORTWRITER_H
