#include "dlgMergePreview.h"
#include "ui_dlgMergePreview.h"

#include "MergePreview.h"
#include "MergeReportViews.h"

#include <QHeaderView>
#include <QtGlobal>

#include <climits>
#include <QStandardItemModel>

dlgMergePreview::dlgMergePreview(QWidget *parent)
    : QDialog(parent)
    , m_ui(new Ui::dlgMergePreview)
    , m_tables(new QStandardItemModel(this))
    , m_conflicts(new QStandardItemModel(this))
{
    m_ui->setupUi(this);
    m_ui->tvPreview->setModel(m_tables);
    m_ui->tvConflicts->setModel(m_conflicts);
    for (QTableView *view : {m_ui->tvPreview, m_ui->tvConflicts}) {
        view->verticalHeader()->hide();
        view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + 6);
    }
    m_ui->tvConflicts->horizontalHeader()->setStretchLastSection(true);
    connect(m_ui->btnCancelPreview, &QPushButton::clicked, this, &dlgMergePreview::cancelPreview);
    connect(m_ui->btnExportCsv, &QPushButton::clicked, this, &dlgMergePreview::exportCsv);
    connect(m_ui->btnExportExcel, &QPushButton::clicked, this, &dlgMergePreview::exportExcel);
    connect(m_ui->btnMergeFromPreview, &QPushButton::clicked, this, &dlgMergePreview::mergeFromPreview);
    connect(m_ui->btnClosePreview, &QPushButton::clicked, this, &dlgMergePreview::reject);
    m_ui->lbMisattributed->hide();
    setComputing(false);
}

dlgMergePreview::~dlgMergePreview()
{
    stopPreview();
    delete m_ui;
}

void dlgMergePreview::startPreview(const QString &destination, const QStringList &sources)
{
    stopPreview();
    m_tables->removeRows(0, m_tables->rowCount());
    m_conflicts->removeRows(0, m_conflicts->rowCount());
    m_preview.reset(new MergePreview);
    m_preview->setDestination(destination);
    m_preview->setSources(sources);
    connect(m_preview.get(), &MergePreview::progressed, this, &dlgMergePreview::showProgress);
    connect(m_preview.get(), &QThread::finished, this, &dlgMergePreview::showResults);
    m_ui->pbPreview->setRange(0, 0);
    m_ui->lbPreviewStatus->setText(tr("Computing the preview…"));
    m_ui->lbMisattributed->hide();
    setComputing(true);
    m_preview->start(QThread::LowestPriority);
}

bool dlgMergePreview::isComputing() const
{
    return m_preview && m_preview->isRunning();
}

void dlgMergePreview::cancelPreview()
{
    if (!isComputing())
        return;
    m_ui->lbPreviewStatus->setText(tr("Cancelling the preview…"));
    m_ui->btnCancelPreview->setEnabled(false);
    m_preview->requestStop();
}

void dlgMergePreview::reject()
{
    stopPreview();
    QDialog::reject();
}

void dlgMergePreview::stopPreview()
{
    if (!m_preview)
        return;
    m_preview->disconnect(this);
    m_preview->requestStop();
    m_preview->wait();
    setComputing(false);
}

void dlgMergePreview::showProgress(int done, int total)
{
    m_ui->pbPreview->setRange(0, total);
    m_ui->pbPreview->setValue(done);
}

void dlgMergePreview::showResults()
{
    m_preview->wait();
    setComputing(false);
    const MergeReport &report = m_preview->report();
    MergeReportViews::fillPreview(*m_tables, report);
    MergeReportViews::fillConflicts(*m_conflicts, m_preview->conflicts());
    m_ui->tvPreview->resizeColumnsToContents();
    m_ui->tvConflicts->resizeColumnsToContents();
    showMisattributed(MergeReportViews::misattributedRows(report));
    switch (report.status()) {
    case MergeReport::RunStatus::Stopped:
        m_ui->lbPreviewStatus->setText(tr("The preview was cancelled; the tables shown were computed before."));
        break;
    case MergeReport::RunStatus::Failed:
        m_ui->lbPreviewStatus->setText(tr("The preview failed: %1").arg(report.errors().join(QLatin1Char('\n'))));
        break;
    default:
        m_ui->lbPreviewStatus->setText(tr("Preview complete: %n conflict(s).", nullptr,
                                          m_preview->conflicts().size()));
        break;
    }
    emit previewEnded();
}

// Rows a plain merge would attribute to another person, part type, zone, result, defect
// reference or device than in their source.
void dlgMergePreview::showMisattributed(qint64 rows)
{
    m_ui->lbMisattributed->setVisible(rows > 0);
    m_ui->lbMisattributed->setText(
        tr("Warning: %n row(s) to insert name a person, part type, zone, result, defect reference or "
           "device that the destination holds with other content or not at all. Switch on "
           "\"Keep references consistent\" in the \"Merge\" menu to write them with the destination's "
           "identifiers.",
           nullptr, int(qMin<qint64>(rows, INT_MAX))));
}

void dlgMergePreview::setComputing(bool computing)
{
    m_ui->pbPreview->setVisible(computing);
    m_ui->btnCancelPreview->setVisible(computing);
    m_ui->btnCancelPreview->setEnabled(computing);
    m_ui->btnExportCsv->setEnabled(!computing);
    m_ui->btnExportExcel->setEnabled(!computing);
    m_ui->btnMergeFromPreview->setEnabled(!computing);
}

QTableView *dlgMergePreview::visibleView() const
{
    return m_ui->tabPreview->currentWidget() == m_ui->tabConflicts ? m_ui->tvConflicts
                                                                   : m_ui->tvPreview;
}

void dlgMergePreview::exportCsv()
{
    const bool conflicts = visibleView() == m_ui->tvConflicts;
    MergeReportViews::exportToCsv(visibleView(), conflicts ? QStringLiteral("merge_preview_conflicts.csv")
                                                           : QStringLiteral("merge_preview.csv"));
}

void dlgMergePreview::exportExcel()
{
    MergeReportViews::exportToExcel(visibleView());
}

void dlgMergePreview::mergeFromPreview()
{
    accept();
    emit mergeRequested();
}
