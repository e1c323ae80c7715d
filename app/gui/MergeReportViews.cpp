#include "MergeReportViews.h"

#include "KvtTables.h"
#include "PExcelExport.h"
#include "PExportTableToCSV.h"
#include "PSqlNull.h"

#include <QDir>
#include <QFileDialog>
#include <QStandardItemModel>
#include <QStandardPaths>
#include <QTableView>

namespace {

QString tableName(kvtTableName table)
{
    return KvtTable::of(table).name;
}

QStandardItem *numberItem(qint64 value)
{
    auto *item = new QStandardItem;
    item->setData(value, Qt::DisplayRole);
    item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return item;
}

QStandardItem *textItem(const QString &text)
{
    return new QStandardItem(text);
}

void reset(QStandardItemModel &model, const QStringList &headers)
{
    model.clear();
    model.setHorizontalHeaderLabels(headers);
}

} // namespace

void MergeReportViews::fillPreview(QStandardItemModel &model, const MergeReport &preview)
{
    reset(model, {tr("Source"), tr("Table"), tr("Rows"), tr("To insert"), tr("Present"),
                  tr("Conflicts"), tr("Misattributed")});
    for (const MergeReport::Source &source : preview.sources())
        for (const MergeReport::TableCounts &t : source.tables)
            if (t.status == MergeReport::TableStatus::Preview)
                model.appendRow({textItem(source.name), textItem(tableName(t.table)),
                                 numberItem(t.rows), numberItem(t.inserted), numberItem(t.present),
                                 numberItem(t.conflicts), numberItem(t.referencesMismatched)});
}

qint64 MergeReportViews::misattributedRows(const MergeReport &report)
{
    qint64 rows = 0;
    for (const MergeReport::Source &source : report.sources())
        for (const MergeReport::TableCounts &t : source.tables)
            rows += t.referencesMismatched;
    return rows;
}

void MergeReportViews::fillConflicts(QStandardItemModel &model, const QVector<MergePreview::Conflict> &conflicts)
{
    reset(model, {tr("Source"), tr("Table"), tr("Key"), tr("Source record"),
                  tr("Record it meets"), tr("Found in")});
    for (const MergePreview::Conflict &c : conflicts)
        model.appendRow({textItem(c.source), textItem(tableName(c.table)), textItem(c.key),
                         textItem(recordText(c.columns, c.sourceRecord)),
                         textItem(recordText(c.columns, c.destinationRecord)),
                         textItem(c.destinationOrigin)});
}

void MergeReportViews::fillReport(QStandardItemModel &model, const MergeReport &report)
{
    reset(model, {tr("Source"), tr("Table"), tr("Rows"), tr("Inserted"), tr("Present"),
                  tr("Conflicts"), tr("Replaced"), tr("Added under a new key"), tr("Left out"),
                  tr("References translated"), tr("References mismatched"), tr("Status")});
    for (const MergeReport::Source &source : report.sources())
        for (const MergeReport::TableCounts &t : source.tables)
            model.appendRow({textItem(source.name), textItem(tableName(t.table)),
                             numberItem(t.rows), numberItem(t.inserted), numberItem(t.present),
                             numberItem(t.conflicts), numberItem(t.replaced),
                             numberItem(t.addedNewKey), numberItem(t.leftOut),
                             numberItem(t.referencesTranslated), numberItem(t.referencesMismatched),
                             textItem(statusText(t.status))});
}

QString MergeReportViews::recordText(const QStringList &columns, const QVariantList &values)
{
    QStringList parts;
    for (int i = 0; i < columns.size() && i < values.size(); ++i)
        parts << columns.at(i) + QLatin1Char('=')
                     + (PSqlNull::isNull(values.at(i)) ? QStringLiteral("NULL") : values.at(i).toString());
    return parts.join(QStringLiteral(", "));
}

QString MergeReportViews::statusText(MergeReport::TableStatus status)
{
    switch (status) {
    case MergeReport::TableStatus::NotReached: return tr("not reached");
    case MergeReport::TableStatus::Running: return tr("running");
    case MergeReport::TableStatus::Done: return tr("done");
    case MergeReport::TableStatus::Stopped: return tr("stopped");
    case MergeReport::TableStatus::Failed: return tr("failed");
    case MergeReport::TableStatus::Skipped: return tr("skipped");
    case MergeReport::TableStatus::Preview: return tr("preview");
    }
    return QString();
}

bool MergeReportViews::exportToCsv(QTableView *view, const QString &suggestedName)
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    const QString path = QFileDialog::getSaveFileName(
        view->window(), tr("Export to CSV"), QDir(folder).filePath(suggestedName),
        tr("CSV files (*.csv)"));
    if (path.isEmpty())
        return false;
    PExportTableToCSV exporter(view, path);
    return exporter.exportToCSV();
}

void MergeReportViews::exportToExcel(QTableView *view)
{
    QVector<QString> headers;
    const QAbstractItemModel *model = view->model();
    for (int c = 0; c < model->columnCount(); ++c)
        headers << model->headerData(c, Qt::Horizontal).toString();
    PExcelExport excel;
    excel.setTableView(view);
    excel.exportTableHeader(headers);
    excel.exportTableData();
    excel.createBorder();
}
