#ifndef KVTMERGERUN_H
#define KVTMERGERUN_H

#include "ConflictAnswer.h"
#include "KvtSqlStatus.h"
#include "MergeReport.h"
#include "global_vars.h"

#include <QSqlDatabase>
#include <QString>

#include <atomic>
#include <memory>

class KvtSourceKey;
class KvtTableSql;
class KvtTableStatements;
class QSqlQuery;

// How a step of a merge ended; anything but Done ends the run.
enum class KvtStepResult { Done, SourceError, RowError, Stopped };

// What a merge session tells its owner: the worker thread emits it as its signals, a test
// of one step records it.
class KvtMergeEvents
{
public:
    virtual ~KvtMergeEvents() = default;
    virtual void sourceStarted(const QString &source) = 0;
    virtual void sourceFinished(const QString &source) = 0;
    virtual void stepStarted(const QString &status) = 0;
    virtual void progressMaximum(int rows) = 0;
    virtual void progress(int rows) = 0;
    // An error ends the run: the owner logs and reports it and sets the stop flag.
    virtual void failed(const KvtSqlStatus &error) = 0;
    virtual void referenceCountsAdded(const QString &source, kvtTableName table, qint64 translated,
                                   qint64 mismatched) = 0;
    // A reference record whose key another record holds. The owner hands it to whoever
    // settles it and returns once it is settled or the run is stopped; false when it
    // could not be handed over (reported). sourceSelect: the source record as it is to be
    // written, when that is not the source's own record.
    virtual bool conflict(const QString &keyColumn, const QString &key, const QString &sourceSelect) = 0;
    // A conflict that conflictStep() leaves out: nothing is written, so nobody need be
    // asked, and the owner only records it. By default it is handed over like any other.
    virtual bool conflictLeftOut(const QString &keyColumn, const QString &key)
    {
        return conflict(keyColumn, key, QString());
    }
    // What, as things stand, every conflict of the table gets without asking anybody (a
    // standing choice, the device rule); AskOperator: somebody is asked. A step may go on
    // past a conflict whose settling touches no other record and hand it over after the
    // records behind it.
    virtual ConflictAnswer::Step conflictStep(kvtTableName table) const
    {
        Q_UNUSED(table)
        return ConflictAnswer::Step::AskOperator;
    }
};

// How the steps merge (KvtMerger's settings, taken when the run starts).
struct KvtMergeOptions
{
    bool setBasedMeasurements = true;
    bool setBasedReferences = true;
    bool windowFunctions = true;  // where every compared column allows them
    bool insertReturning = true;  // INSERT ... RETURNING for the destination's new numbers
    bool keepReferences = false;
    int chunkRows = 5000;
    qint64 chunkBytes = 32 * 1024 * 1024;
};

// What the steps of one run share: the worker's connection, the databases, the table step
// in hand and the report. The session owns it; each step holds a reference.
class KvtMergeRun
{
public:
    KvtMergeRun(const QSqlDatabase &db, const QString &destination, MergeReport &report, KvtMergeEvents &events,
                const std::atomic<bool> &stop, const KvtMergeOptions &options);
    ~KvtMergeRun();

    QSqlDatabase db;
    const QString destination;
    QString source;
    int sourcePosition = 0; // of the source in the report
    KvtMergeOptions options;
    MergeReport &report;
    KvtMergeEvents &events;

    bool stopped() const { return m_stop; }

    // The table step in hand: its statements and the source table's key; set by the
    // session for the step.
    void startTable(const KvtTableSql &sql);
    void endTable();
    bool inTable() const { return m_statements != nullptr; }
    KvtTableStatements &statements() { return *m_statements; }
    const KvtTableSql &sql() const;
    KvtSourceKey &sourceKey() { return *m_sourceKey; }
    void setSourceKey(std::unique_ptr<KvtSourceKey> key);
    // The report's counts of the table step in hand.
    MergeReport::TableCounts &counts();

    // Reports the error (the run ends). Both return false, for `return run.fail(...)`.
    bool fail(const KvtSqlStatus &error);
    bool failQuery(const QSqlQuery &query);

private:
    const std::atomic<bool> &m_stop;
    std::unique_ptr<KvtTableStatements> m_statements;
    std::unique_ptr<KvtSourceKey> m_sourceKey;
};

#endif // KVTMERGERUN_H
