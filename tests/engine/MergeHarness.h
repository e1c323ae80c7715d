#ifndef MERGEHARNESS_H
#define MERGEHARNESS_H

#include "ConflictSettler.h"
#include "KvtMerger.h"
#include "global_vars.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>

// Drives a KvtMerger the way the main window does: its signals arrive queued on the
// test's (GUI) thread, where they are recorded, and conflicts are answered there through
// the engine's ConflictHandOver, as the window and the batch mode answer them.
class MergeHarness : public QObject, private ConflictSettler
{
    Q_OBJECT
public:
    struct Conflict {
        kvtTableName table;
        QString sourceQuery;
        QString destinationQuery;
        bool workerWaiting; // the worker was paused when the conflict arrived
        MergeConflict value;
    };
    // Settles a conflict on the GUI thread. Returns true when the harness is to resume
    // the worker right away, false when the handler arranges the resume itself.
    using ConflictHandler = std::function<bool(const Conflict &)>;

    explicit MergeHarness(QObject *parent = nullptr);
    ~MergeHarness() override;

    KvtMerger &merger() { return m_merger; }
    void setConflictHandler(const ConflictHandler &handler) { m_conflictHandler = handler; }
    // The standing choice the handler stands for (the worker is told, as by the window).
    void setStandingChoice(actionDiffRec choice) { m_standingChoice = choice; }
    // Called on the GUI thread for each progress value.
    void setProgressHook(const std::function<void(int)> &hook) { m_progressHook = hook; }

    // Starts a merge as the main window does and waits until the thread has ended.
    bool run(const QString &destination, const QStringList &sources, int timeoutMs = 180000);

    // "db:<name>", "status:<text>", "max:<rows>", "done:<name>", "sqlErr:<code>", "err",
    // "conflict:<table number>", in the order the signals arrived.
    QStringList events;
    QStringList errorTexts;
    QList<Conflict> conflicts;
    // Progress values of each table step, one entry per sendProgressBarMaxValue.
    QVector<QVector<int>> progress;

signals:
    void runFinished();

private:
    void onConflict(const MergeConflict &conflict);
    ConflictSettlement settle(const MergeConflict &conflict) override;
    actionDiffRec standingChoice() const override { return m_standingChoice; }
    void onProgress(int value);

    KvtMerger m_merger;
    ConflictHandler m_conflictHandler;
    actionDiffRec m_standingChoice = adrAsk;
    std::function<void(int)> m_progressHook;
};

// The events of one source database that merges without a conflict or an error.
QStringList cleanDatabaseEvents(const QString &name, const QVector<int> &rowsPerTable);

#endif // MERGEHARNESS_H
