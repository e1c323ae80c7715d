#include "dlgUndoMerge.h"
#include "ui_dlgUndoMerge.h"

#include "KvtTables.h"
#include "dlgMergeReport.h"

#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QLocale>
#include <QMessageBox>
#include <QSqlDatabase>

#include <algorithm>

namespace {

// The journal keeps a run's status (MergeReport::statusText) and its undo status
// (MergeUndo) in English; the list shows them translated.
QString statusShown(const QString &status)
{
    for (const auto run : {MergeReport::RunStatus::Running, MergeReport::RunStatus::Done,
                           MergeReport::RunStatus::Stopped, MergeReport::RunStatus::Failed})
        if (status == MergeReport::statusText(run))
            return dlgMergeReport::runStatusText(run);
    static const char *const undone[] = {QT_TRANSLATE_NOOP("dlgUndoMerge", "undone"),
                                         QT_TRANSLATE_NOOP("dlgUndoMerge", "partly undone")};
    for (const char *text : undone)
        if (status == QLatin1String(text))
            return dlgUndoMerge::tr(text);
    return status;
}

QString leftText(const MergeUndo::TablePlan &table)
{
    int changed = 0, later = 0, depended = 0;
    for (const MergeUndo::Left &l : table.left) {
        changed += l.reason == MergeUndo::Reason::ChangedSince;
        later += l.reason == MergeUndo::Reason::TouchedLater;
        depended += l.reason == MergeUndo::Reason::DependedOn;
    }
    QStringList parts;
    if (changed > 0)
        parts << dlgUndoMerge::tr("%n changed since", nullptr, changed);
    if (later > 0)
        parts << dlgUndoMerge::tr("%n touched by a later run", nullptr, later);
    if (depended > 0)
        parts << dlgUndoMerge::tr("%n depended on by other rows", nullptr, depended);
    return parts.join(QStringLiteral(", "));
}

QString runsText(const QVector<qlonglong> &runs)
{
    QStringList ids;
    for (const qlonglong r : runs)
        ids << QString::number(r);
    return ids.join(QStringLiteral(", "));
}

} // namespace

dlgUndoMerge::dlgUndoMerge(QWidget *parent)
    : QDialog(parent)
    , m_ui(new Ui::dlgUndoMerge)
{
    m_ui->setupUi(this);
    createNecessaryObjects();
    initWidgets();
    initSlotSignal();
}

dlgUndoMerge::~dlgUndoMerge()
{
    delete m_ui;
}

void dlgUndoMerge::createNecessaryObjects()
{
    m_ui->tvRuns->setColumnCount(6);
    m_ui->tvPlan->setColumnCount(5);
}

void dlgUndoMerge::initWidgets()
{
    m_ui->tvRuns->setHorizontalHeaderLabels(
        {tr("Run"), tr("Started"), tr("Status"), tr("Destination"), tr("Sources"), tr("Undone")});
    m_ui->tvPlan->setHorizontalHeaderLabels(
        {tr("Table"), tr("Delete"), tr("Restore"), tr("Leave"), tr("Why left")});
    m_ui->dateForget->setDate(QDate::currentDate().addMonths(-3));
    for (QTableWidget *view : {m_ui->tvRuns, m_ui->tvPlan}) {
        view->verticalHeader()->hide();
        view->horizontalHeader()->setStretchLastSection(true);
    }
}

void dlgUndoMerge::initSlotSignal()
{
    connect(m_ui->tvRuns, &QTableWidget::itemSelectionChanged, this, &dlgUndoMerge::showPlan);
    connect(m_ui->btnUndo, &QPushButton::clicked, this, &dlgUndoMerge::undoSelectedRun);
    connect(m_ui->btnForget, &QPushButton::clicked, this, &dlgUndoMerge::forgetOldRuns);
    connect(m_ui->btnClose, &QPushButton::clicked, this, &dlgUndoMerge::reject);
}

void dlgUndoMerge::showRuns(MergeJournal *journal, const QString &server)
{
    m_journal = journal;
    m_server = server;
    m_ui->lblJournal->setText(journal ? QDir::toNativeSeparators(journal->file()) : QString());
    fillRuns();
}

void dlgUndoMerge::forgetJournal()
{
    m_journal = nullptr;
    m_hasPlan = false;
    m_runs.clear();
    m_ui->tvRuns->setRowCount(0);
    m_ui->tvPlan->setRowCount(0);
    m_ui->btnUndo->setEnabled(false);
    hide();
}

void dlgUndoMerge::fillRuns()
{
    m_runs.clear();
    m_hasPlan = false;
    m_ui->tvRuns->setRowCount(0);
    m_ui->tvPlan->setRowCount(0);
    m_ui->btnUndo->setEnabled(false);
    if (!m_journal || !m_journal->open() || !m_journal->runs(m_server, m_runs)) {
        m_ui->lblPlan->setText(tr("The merge journal cannot be read: %1")
                                   .arg(m_journal ? m_journal->lastError() : QString()));
        return;
    }
    m_ui->lblPlan->setText(m_runs.isEmpty() ? tr("No merge into a database of %1 is journaled.").arg(m_server)
                                            : tr("Select a merge to see what an undo would do."));
    const QLocale locale;
    m_ui->tvRuns->setRowCount(m_runs.size());
    for (int row = 0; row < m_runs.size(); ++row) {
        const MergeJournal::Run &run = m_runs.at(row);
        const QStringList values{QString::number(run.id),
                                 locale.toString(run.started.toLocalTime(), QLocale::ShortFormat),
                                 statusShown(run.status),
                                 run.destination,
                                 run.sources.join(QStringLiteral(", ")),
                                 statusShown(run.undoStatus)};
        for (int column = 0; column < values.size(); ++column)
            m_ui->tvRuns->setItem(row, column, new QTableWidgetItem(values.at(column)));
    }
    m_ui->tvRuns->resizeColumnsToContents();
}

qlonglong dlgUndoMerge::selectedRun() const
{
    const QList<QTableWidgetItem *> items = m_ui->tvRuns->selectedItems();
    const int row = items.isEmpty() ? -1 : items.first()->row();
    return row >= 0 && row < m_runs.size() ? m_runs.at(row).id : 0;
}

void dlgUndoMerge::showPlan()
{
    m_hasPlan = false;
    m_ui->tvPlan->setRowCount(0);
    m_ui->btnUndo->setEnabled(false);
    const qlonglong run = selectedRun();
    if (run == 0 || !m_journal)
        return;
    MergeUndo undo(*m_journal, QSqlDatabase::database());
    if (!undo.plan(run, m_plan)) {
        m_ui->lblPlan->setText(tr("The undo cannot be planned: %1").arg(undo.error()));
        return;
    }
    m_hasPlan = true;
    fillPlan();
}

void dlgUndoMerge::fillPlan()
{
    QVector<qlonglong> later;
    m_ui->tvPlan->setRowCount(m_plan.tables.size());
    for (int row = 0; row < m_plan.tables.size(); ++row) {
        const MergeUndo::TablePlan &t = m_plan.tables.at(row);
        QString why = leftText(t);
        if (!t.laterRuns.isEmpty()) {
            why += (why.isEmpty() ? QString() : QStringLiteral("; "))
                   + tr("later runs %1 touched this table").arg(runsText(t.laterRuns));
            later += t.laterRuns;
        }
        const QStringList values{KvtTable::of(t.table).name, QString::number(t.deletes.size()),
                                 QString::number(t.restores.size()), QString::number(t.left.size()), why};
        for (int column = 0; column < values.size(); ++column)
            m_ui->tvPlan->setItem(row, column, new QTableWidgetItem(values.at(column)));
    }
    m_ui->tvPlan->resizeColumnsToContents();
    QString text = tr("Run %1 into %2: an undo deletes %3 rows, restores %4 records and leaves %5.")
                       .arg(m_plan.run.id)
                       .arg(m_plan.run.destination)
                       .arg(m_plan.deletes())
                       .arg(m_plan.restores())
                       .arg(m_plan.left());
    if (!later.isEmpty())
        text += QLatin1Char(' ')
                + tr("Later runs touched some of its tables: only the rows they did not touch are undone. "
                     "Undo the latest run first to take this one back whole.");
    m_ui->lblPlan->setText(text);
    m_ui->btnUndo->setEnabled(m_plan.deletes() + m_plan.restores() > 0);
}

void dlgUndoMerge::undoSelectedRun()
{
    if (!m_hasPlan || !m_journal)
        return;
    const QMessageBox::StandardButton answer = QMessageBox::question(
        this, tr("Undo a merge"),
        tr("Delete %1 rows and restore %2 records in %3 (run %4)?")
            .arg(m_plan.deletes())
            .arg(m_plan.restores())
            .arg(m_plan.run.destination)
            .arg(m_plan.run.id),
        QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
    if (answer != QMessageBox::Yes)
        return;
    MergeUndo undo(*m_journal, QSqlDatabase::database());
    const MergeUndo::Result result = undo.execute(m_plan);
    if (result.busy) {
        QMessageBox::warning(this, tr("Undo a merge"), result.error);
        return;
    }
    const qlonglong run = m_plan.run.id;
    QString text = tr("%1 rows deleted, %2 records restored.").arg(result.deleted).arg(result.restored);
    if (!result.left.isEmpty())
        text += QLatin1Char('\n') + tr("%n rows left alone (changed since, touched later or depended on).", nullptr,
                                       result.left.size());
    if (!result.reportFile.isEmpty())
        text += QLatin1Char('\n') + tr("Undo report: %1").arg(QDir::toNativeSeparators(result.reportFile));
    if (!result.error.isEmpty())
        QMessageBox::critical(this, tr("Undo a merge"), text + QLatin1Char('\n') + tr("Error: %1").arg(result.error));
    else if (result.complete)
        QMessageBox::information(this, tr("Undo a merge"), text);
    else
        QMessageBox::warning(this, tr("Undo a merge"), text);
    emit undone(run, result.complete);
    fillRuns();
}

void dlgUndoMerge::forgetOldRuns()
{
    if (!m_journal)
        return;
    const QDate day = m_ui->dateForget->date();
    const QDateTime before(day, QTime(0, 0));
    const int old = int(std::count_if(m_runs.cbegin(), m_runs.cend(),
                                      [&](const MergeJournal::Run &run) { return run.started < before; }));
    const QString title = tr("Forget merge runs");
    const QString dayText = QLocale().toString(day, QLocale::ShortFormat);
    if (old == 0) {
        QMessageBox::information(this, title, tr("No run on %1 started before %2.").arg(m_server, dayText));
        return;
    }
    const QMessageBox::StandardButton answer = QMessageBox::question(
        this, title,
        tr("Forget the %n runs on %1 that started before %2? They can no longer be undone.", nullptr, old)
            .arg(m_server, dayText),
        QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
    if (answer != QMessageBox::Yes)
        return;
    const qint64 size = QFileInfo(m_journal->file()).size();
    int forgotten = 0;
    if (!m_journal->forgetRuns(m_server, before, forgotten))
        QMessageBox::critical(this, title, tr("The merge journal cannot be written: %1").arg(m_journal->lastError()));
    else
        QMessageBox::information(this, title,
                                 tr("%n runs forgotten. The journal file now takes %1 KiB (%2 KiB before).", nullptr,
                                    forgotten)
                                     .arg(QFileInfo(m_journal->file()).size() / 1024)
                                     .arg(size / 1024));
    fillRuns();
}
