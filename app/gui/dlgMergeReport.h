#ifndef DLGMERGEREPORT_H
#define DLGMERGEREPORT_H

#include "MergeReport.h"

#include <QDialog>
#include <QString>

class MergeReport;
class QStandardItemModel;

namespace Ui {
class dlgMergeReport;
}

// Shows the report of a merge: when it ran and how it ended, where its files are, and per
// source and table the counts (tvReport), which can be exported.
class dlgMergeReport : public QDialog
{
    Q_OBJECT

public:
    explicit dlgMergeReport(QWidget *parent = nullptr);
    ~dlgMergeReport() override;

    // The report and the base path of its files (empty when they could not be written).
    void showReport(const MergeReport &report, const QString &files);
    // No merge has run yet.
    void showNoReport();
    // How a run ended, translated.
    static QString runStatusText(MergeReport::RunStatus status);

private slots:
    void exportCsv();
    void exportExcel();

private:
    Ui::dlgMergeReport *m_ui;
    QStandardItemModel *m_model;
};

#endif // DLGMERGEREPORT_H
