#ifndef BATCHRUNNER_H
#define BATCHRUNNER_H

#include "BatchConflicts.h"
#include "BatchOptions.h"
#include "BatchProgress.h"
#include "KvtMerger.h"
#include "MergeJournal.h"
#include "MergePreview.h"
#include "MergeReport.h"
#include "global_vars.h"

#include <QEventLoop>
#include <QObject>
#include <QString>

class QTextStream;

// One merge without a window: connects, runs the merge worker over the sources, settles
// each conflict by the run's policy, and tells the outcome by its exit status. A dry run
// runs the preview instead and writes nothing into the destination. Progress
// goes to `err` (unless silent), the summary to `out`, every failure to `err` and the log.
// Runs on the thread of the application object, whose event loop it spins.
class BatchRunner : public QObject
{
    Q_OBJECT
public:
    BatchRunner(const BatchOptions &options, QTextStream &out, QTextStream &err,
                BatchProgress::Style progressStyle, QObject *parent = nullptr);
    ~BatchRunner() override;

    BatchExit run();

public slots:
    // Stops the worker at its next step (a stop button, SIGINT or SIGTERM); rows
    // already merged stay. The run then ends with BatchExit::Interrupted.
    void interrupt();

private:
    bool connectToServer();
    void reportSkippedSources(const QStringList &skipped);
    // Settles a conflict by the policy (ConflictHandOver); reports what stops the run.
    void onConflict(const MergeConflict &conflict);
    void onSqlError(const QString &text, const QString &code);
    void fail(BatchExit status, const QString &message);
    void stopWorker();
    void stepStarted(const QString &step);
    void runMerge();
    void runPreview(MergeReport &report);
    MergeReport finishedReport() const;
    void printSummary(const MergeReport &report);
    void writeReport(const MergeReport &report);

    const BatchOptions m_options;
    QTextStream &m_out;
    QTextStream &m_err;
    BatchProgress m_progress;
    BatchConflicts m_conflicts;
    MergeJournal m_journal; // declared before the worker, which writes into it
    KvtMerger m_merger;
    MergePreview m_preview;
    QEventLoop m_loop;
    QString m_currentSource;
    BatchExit m_status = BatchExit::Merged;
    bool m_interrupted = false;
    QString m_firstError;
};

#endif // BATCHRUNNER_H
