#include "dlgMergeReport.h"
#include "ui_dlgMergeReport.h"

#include "MergeReport.h"
#include "MergeReportViews.h"

#include <QDir>
#include <QHeaderView>
#include <QLocale>
#include <QStandardItemModel>

dlgMergeReport::dlgMergeReport(QWidget *parent)
    : QDialog(parent)
    , m_ui(new Ui::dlgMergeReport)
    , m_model(new QStandardItemModel(this))
{
    m_ui->setupUi(this);
    m_ui->tvReport->setModel(m_model);
    m_ui->tvReport->verticalHeader()->hide();
    m_ui->tvReport->verticalHeader()->setDefaultSectionSize(m_ui->tvReport->fontMetrics().height() + 6);
    connect(m_ui->btnExportCsv, &QPushButton::clicked, this, &dlgMergeReport::exportCsv);
    connect(m_ui->btnExportExcel, &QPushButton::clicked, this, &dlgMergeReport::exportExcel);
    connect(m_ui->btnCloseReport, &QPushButton::clicked, this, &dlgMergeReport::reject);
    showNoReport();
}

dlgMergeReport::~dlgMergeReport()
{
    delete m_ui;
}

void dlgMergeReport::showReport(const MergeReport &report, const QString &files)
{
    MergeReportViews::fillReport(*m_model, report);
    m_ui->tvReport->resizeColumnsToContents();
    const QLocale locale;
    QString info = tr("Merge into %1, started %2, ended %3: %4.")
                       .arg(report.destination(), locale.toString(report.start(), QLocale::ShortFormat),
                            locale.toString(report.end(), QLocale::ShortFormat),
                            runStatusText(report.status()));
    for (const QString &error : report.errors())
        info += QLatin1Char('\n') + tr("Error: %1").arg(error);
    info += QLatin1Char('\n')
            + (files.isEmpty() ? tr("The report files could not be written (see the log).")
                               : tr("Files: %1.csv").arg(QDir::toNativeSeparators(files)));
    m_ui->lbReportInfo->setText(info);
    m_ui->btnExportCsv->setEnabled(true);
    m_ui->btnExportExcel->setEnabled(true);
}

QString dlgMergeReport::runStatusText(MergeReport::RunStatus status)
{
    switch (status) {
    case MergeReport::RunStatus::Done: return dlgMergeReport::tr("finished");
    case MergeReport::RunStatus::Stopped: return dlgMergeReport::tr("stopped");
    case MergeReport::RunStatus::Failed: return dlgMergeReport::tr("failed");
    case MergeReport::RunStatus::Running: return dlgMergeReport::tr("running");
    case MergeReport::RunStatus::Preview: return dlgMergeReport::tr("preview");
    }
    return QString();
}

void dlgMergeReport::showNoReport()
{
    m_model->clear();
    m_ui->lbReportInfo->setText(tr("No merge has run since the program started."));
    m_ui->btnExportCsv->setEnabled(false);
    m_ui->btnExportExcel->setEnabled(false);
}

void dlgMergeReport::exportCsv()
{
    MergeReportViews::exportToCsv(m_ui->tvReport, QStringLiteral("merge_report.csv"));
}

void dlgMergeReport::exportExcel()
{
    MergeReportViews::exportToExcel(m_ui->tvReport);
}
