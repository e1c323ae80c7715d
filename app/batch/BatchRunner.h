#ifndef BATCHRUNNER_H
#define BATCHRUNNER_H

#include "BatchConflicts.h"
#include "BatchOptions.h"
#include "BatchProgress.h"
#include "KvtMerger.h"
#include "global_vars.h"

#include <QEventLoop>
#include <QObject>
#include <QString>

class QTextStream;

// One merge without a window: connects, runs the merge worker over the sources, settles
// each conflict by the run's policy, and tells the outcome by its exit status. Progress
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
    void onConflict(kvtTableName table, const QString &srcQuery, const QString &destQuery);
    void onSqlError(const QString &text, const QString &code);
    void fail(BatchExit status, const QString &message);
    void stopWorker();
    void stepStarted(const QString &step);
    void printSummary();

    const BatchOptions m_options;
    QTextStream &m_out;
    QTextStream &m_err;
    BatchProgress m_progress;
    BatchConflicts m_conflicts;
    KvtMerger m_merger;
    QEventLoop m_loop;
    QString m_currentSource;
    BatchExit m_status = BatchExit::Merged;
    bool m_interrupted = false;
    // One row per table step begun: source, table, rows, status (the last step's status
    // is known only at the end).
    QList<QStringList> m_steps;
};

#endif // BATCHRUNNER_H
