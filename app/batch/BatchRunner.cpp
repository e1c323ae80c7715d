#include "BatchRunner.h"

#include "AlignedTable.h"
#include "BatchReport.h"
#include "KvtConnection.h"
#include "KvtSqlStatus.h"
#include "MergeReportWriter.h"
#include "PLog.h"

#include <QDir>

#include <QSqlDatabase>
#include <QTextStream>

namespace {

MergeReport::RunStatus runStatusOf(BatchExit status)
{
    switch (status) {
    case BatchExit::Merged: return MergeReport::RunStatus::Done;
    case BatchExit::Conflict:
    case BatchExit::Interrupted: return MergeReport::RunStatus::Stopped;
    case BatchExit::Usage:
    case BatchExit::Failed:
    case BatchExit::PartlyUndone: break;
    }
    return MergeReport::RunStatus::Failed;
}

} // namespace

BatchRunner::BatchRunner(const BatchOptions &options, QTextStream &out, QTextStream &err,
                         BatchProgress::Style progressStyle, QObject *parent)
    : QObject(parent)
    , m_options(options)
    , m_out(out)
    , m_err(err)
    , m_progress(err, options.quiet ? BatchProgress::Style::Silent : progressStyle)
    , m_conflicts(options.onConflict)
    , m_journal(options.journalFile)
{
    const auto queued = Qt::QueuedConnection;
    connect(&m_merger, &KvtMerger::sendCurrentDB, this,
            [this](const QString &db) { m_currentSource = db; }, queued);
    connect(&m_merger, &KvtMerger::setStatusText, this, &BatchRunner::stepStarted, queued);
    connect(&m_merger, &KvtMerger::sendProgressBarMaxValue, this,
            [this](int rows) { m_progress.stepSize(rows); }, queued);
    connect(&m_merger, &KvtMerger::sendProgressBarCurrentValue, this,
            [this](int rows) { m_progress.rowsHandled(rows); }, queued);
    connect(&m_merger, &KvtMerger::sqlErr, this, &BatchRunner::onSqlError, queued);
    connect(&m_merger, &KvtMerger::conflictHandedOver, this, &BatchRunner::onConflict, queued);
    connect(&m_merger, &QThread::finished, &m_loop, &QEventLoop::quit, queued);
    connect(&m_preview, &QThread::finished, &m_loop, &QEventLoop::quit, queued);
}

BatchRunner::~BatchRunner()
{
    m_merger.wait();
}

BatchExit BatchRunner::run()
{
    QStringList skipped;
    const QStringList sources = m_options.sourcesToMerge(&skipped);
    reportSkippedSources(skipped);
    if (!connectToServer())
        return m_status;
    PLOG_INFO << (m_options.dryRun ? "batch dry run (preview) into" : "batch merge into")
              << m_options.destination << "of" << sources.join(QLatin1String(", "))
              << ", on conflict:" << conflictPolicyName(m_options.onConflict)
              << (m_options.keepReferences ? ", keeping references consistent" : "");

    MergeReport report;
    if (m_options.dryRun)
        runPreview(report);
    else
        runMerge();
    m_progress.finish();
    if (m_interrupted)
        m_status = BatchExit::Interrupted;
    if (!m_options.dryRun)
        report = finishedReport();

    printSummary(report);
    writeReport(report);
    PLOG_INFO << "batch merge ended with status" << int(m_status);
    return m_status;
}

void BatchRunner::runMerge()
{
    m_merger.setStopFlag(false);
    m_merger.setKeepReferences(m_options.keepReferences);
    ConflictHandOver::passStandingChoice(m_merger, m_conflicts);
    m_merger.setJournal(&m_journal);
    m_merger.setCurrentDataBaseDestination(m_options.destination);
    // The named list: the worker skips the same names itself.
    m_merger.setDBList(m_options.sources);
    m_merger.start();
    m_merger.setPriority(QThread::LowestPriority);
    m_loop.exec();
    m_merger.wait();
}

// The preview reads with SELECTs only; its conflicts are what a merge would meet, which
// a dry run reports without settling.
void BatchRunner::runPreview(MergeReport &report)
{
    m_preview.setDestination(m_options.destination);
    m_preview.setSources(m_options.sources);
    m_preview.start();
    m_loop.exec();
    m_preview.wait();
    report = m_preview.report();
    if (report.status() == MergeReport::RunStatus::Failed)
        for (const QString &error : report.errors())
            fail(BatchExit::Failed, error);
}

bool BatchRunner::connectToServer()
{
    QString error;
    if (openBatchConnection(m_options, error))
        return true;
    fail(BatchExit::Failed, error);
    return false;
}

void BatchRunner::reportSkippedSources(const QStringList &skipped)
{
    for (const QString &name : skipped) {
        const QString text = name == m_options.destination
                                 ? QStringLiteral("source %1 skipped: it is the destination").arg(name)
                                 : QStringLiteral("source %1 skipped: it is named more than once").arg(name);
        PLOG_WARN << text;
        m_err << "kvtmerge: " << text << '\n';
    }
    m_err.flush();
}

void BatchRunner::interrupt()
{
    if (m_interrupted)
        return;
    m_interrupted = true;
    PLOG_WARN << "batch merge interrupted: stopping at the next step";
    stopWorker();
}

void BatchRunner::stopWorker()
{
    if (m_options.dryRun)
        m_preview.requestStop();
    else
        m_merger.requestStop();
}

void BatchRunner::onSqlError(const QString &text, const QString &code)
{
    fail(BatchExit::Failed, KvtSqlStatus::describe(text, code));
}

void BatchRunner::onConflict(const MergeConflict &conflict)
{
    const ConflictSettlement settlement = ConflictHandOver::answer(m_merger, m_conflicts, conflict);
    if (settlement.outcome == ConflictSettlement::Outcome::Unrecorded)
        return; // the run is ending: the record is left out
    switch (m_conflicts.outcome()) {
    case BatchConflicts::Outcome::Settled:
        PLOG_INFO << "conflict in" << conflict.where()
                  << "settled:" << MergeReport::decisionText(m_conflicts.decision()) << m_conflicts.newKey();
        return;
    case BatchConflicts::Outcome::Unsettled:
        fail(BatchExit::Conflict, QStringLiteral("conflict in %1: the destination holds another record; stopped "
                                     "(--on-conflict leave, replace or new-key settle conflicts)")
                                      .arg(conflict.where()));
        return;
    case BatchConflicts::Outcome::Failed:
        fail(BatchExit::Failed,
             QStringLiteral("conflict in %1 not settled: %2").arg(conflict.where(), m_conflicts.message()));
        return;
    }
}

// The first failure decides the status; later ones are still reported.
void BatchRunner::fail(BatchExit status, const QString &message)
{
    if (m_status == BatchExit::Merged) {
        m_status = status;
        m_firstError = message;
    }
    PLOG_ERROR << message;
    m_progress.finish();
    m_err << "kvtmerge: " << message << '\n';
    m_err.flush();
}

void BatchRunner::stepStarted(const QString &step)
{
    m_progress.stepStarted(m_currentSource, step);
}

// The worker's report, with what only this run knows: a conflict it could not settle
// stopped the worker, which the report must tell as a failure (or, under ask-fail, a stop).
MergeReport BatchRunner::finishedReport() const
{
    MergeReport report = m_merger.report();
    const MergeReport::RunStatus status = runStatusOf(m_status);
    if (m_status != BatchExit::Merged && report.status() != status) {
        if (status == MergeReport::RunStatus::Failed && !report.errors().contains(m_firstError))
            report.addError(m_firstError);
        report.finish(status, report.end().isValid() ? report.end() : QDateTime::currentDateTime());
    }
    return report;
}

void BatchRunner::printSummary(const MergeReport &report)
{
    m_out << alignedTable(MergeReportWriter::tablesRows(report));
    m_out.flush();
}

void BatchRunner::writeReport(const MergeReport &report)
{
    QString error;
    const QString file = writeBatchReport(report, m_options.reportFile, error);
    if (file.isEmpty()) {
        PLOG_ERROR << "merge report not written:" << error;
        m_err << "kvtmerge: " << QStringLiteral("report not written: %1").arg(error) << '\n';
    } else {
        PLOG_INFO << "merge report:" << QDir::toNativeSeparators(file);
        if (m_merger.journalRun() != 0 && !m_journal.setReportFile(m_merger.journalRun(), file))
            PLOG_ERROR << "merge journal:" << m_journal.lastError();
        if (!m_options.quiet)
            m_err << QStringLiteral("report: %1").arg(QDir::toNativeSeparators(file)) << '\n';
    }
    m_err.flush();
}
