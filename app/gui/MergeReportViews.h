#ifndef MERGEREPORTVIEWS_H
#define MERGEREPORTVIEWS_H

#include "MergePreview.h"
#include "MergeReport.h"

#include <QCoreApplication>
#include <QVector>

class QStandardItemModel;
class QTableView;

// The tables the preview and the report dialogs show, filled from the engine's results.
class MergeReportViews
{
    Q_DECLARE_TR_FUNCTIONS(MergeReportViews)

public:
    // One row per merged source and table that the preview reached: Source, Table, Rows,
    // To insert, Present, Conflicts, Misattributed (rows to insert whose references would
    // name a record of other content or none without keeping references consistent).
    static void fillPreview(QStandardItemModel &model, const MergeReport &preview);
    // The misattributed rows of all tables and sources.
    static qint64 misattributedRows(const MergeReport &preview);
    // One row per conflict: Source, Table, Key, the source record, the record it meets and
    // the database that holds it.
    static void fillConflicts(QStandardItemModel &model, const QVector<MergePreview::Conflict> &conflicts);
    // One row per named source and table: the counts of the report's main file and the status.
    static void fillReport(QStandardItemModel &model, const MergeReport &report);

    // "column=value, ..." with NULL for a NULL value.
    static QString recordText(const QStringList &columns, const QVariantList &values);
    static QString statusText(MergeReport::TableStatus status);

    // Exports a view's table to a CSV file the operator chooses (starting in the documents
    // folder), with the library's CSV defaults; false when cancelled or not written.
    static bool exportToCsv(QTableView *view, const QString &suggestedName);
    // Exports a view's table to a new spreadsheet workbook.
    static void exportToExcel(QTableView *view);
};

#endif // MERGEREPORTVIEWS_H
