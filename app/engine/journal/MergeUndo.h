#ifndef MERGEUNDO_H
#define MERGEUNDO_H

#include "KvtRelations.h"
#include "KvtRowFingerprint.h"
#include "MergeJournal.h"
#include "global_vars.h"

#include <QHash>
#include <QSet>
#include <QSqlDatabase>
#include <QString>
#include <QVariantMap>
#include <QVector>

// Takes back a journaled merge run (MergeJournal) in its destination database: first a
// plan, shown to the operator, then its execution.
//
// A row the run inserted (or added under a new key) is deleted, and a record it replaced
// gets its content back, only while it is exactly as the run left it (its fingerprint).
// Left alone, and listed with the reason:
//   - a row changed since the run (or gone: nothing to do, counted apart);
//   - a row a later run of the same destination touched (only the latest run that touched
//     a table undoes it whole; an older one undoes what the later ones did not touch);
//   - a reference record that rows not taken back name (every column of the destination
//     that names a record, KvtRelations::namingColumns): rows that came after the run began
//     (their identifier above the table's largest when it began, or journaled by this run
//     and left, or by a later run). Rows of the state before named the record before the
//     run too, so deleting it restores that state. A row of the state before edited after
//     the run to name the record is not seen.
// Rows of a chunk the run was killed in (journaled as an intent only) are found by their
// fingerprints among the rows after the destination's largest ID of the time, leaving out
// rows any run journaled.
//
// The execution takes the destination's lock (KvtDestinationLock) and does nothing while
// a merge or another undo into the destination holds it (Result::busy).
//
// Tables are undone measurement tables first, then zones, then the other reference
// tables (order()), each in one transaction on the destination connection; each statement
// checks the fingerprint (and the dependants) again, so a change made between the plan
// and the execution is left and listed too. The result goes to the log and to an undo
// report (undo_<RUN_ID>_<yyyy-MM-dd_HH-mm-ss>.csv: table;identifier;outcome;reason).
//
//     MergeUndo undo(journal, db);
//     MergeUndo::Plan plan;
//     if (undo.plan(runId, plan)) { const MergeUndo::Result r = undo.execute(plan); }
class MergeUndo
{
public:
    enum class Reason { ChangedSince, TouchedLater, DependedOn, Gone };

    struct Item
    {
        QVector<qlonglong> entries; // journal entries it takes back; none: a row of an open chunk
        qlonglong id = 0;
        QString fingerprint;
        QVariantMap before;  // a restore: the content to put back
    };
    struct Left
    {
        kvtTableName table = tnDefects;
        qlonglong id = 0;
        Reason reason = Reason::ChangedSince;
        qlonglong laterRun = 0; // TouchedLater
    };
    struct TablePlan
    {
        kvtTableName table = tnDefects;
        QVector<Item> deletes;
        QVector<Item> restores;
        QVector<Left> left;
        QVector<qlonglong> gone;      // journal entries of rows no longer there
        QVector<qlonglong> laterRuns; // later runs that touched the table, oldest first
    };
    struct Plan
    {
        MergeJournal::Run run;
        QVector<TablePlan> tables; // in order()
        QVector<qlonglong> openChunks;
        // By table: rows that came since the run began although their identifier is not
        // above the table's largest of the time (a zone's DetTypeZone). They hold records
        // back at the execution too.
        QHash<QString, QSet<qlonglong>> heldIds;
        int deletes() const;
        int restores() const;
        int left() const;
    };
    struct Result
    {
        bool ok = false;       // every table's transaction went through
        bool complete = false; // and nothing was left
        bool busy = false;     // refused: a merge or an undo into the destination runs
        int deleted = 0;
        int restored = 0;
        QVector<Left> left;
        QString reportFile;
        QString error;
    };

    MergeUndo(MergeJournal &journal, const QSqlDatabase &db);

    // defects, graphics, zones, humans, results, factory, device, dettypes, defectref.
    static const QVector<kvtTableName> &order();
    static QString reasonText(Reason reason);

    // False for an unknown run (error() empty) or a failure (error()).
    bool plan(qlonglong run, Plan &plan);
    Result execute(const Plan &plan, const QString &reportFolder = QString());
    QString error() const { return m_error; }

private:
    bool planTable(const Plan &plan, kvtTableName table, const QVector<MergeJournal::Entry> &entries,
                   const QVector<MergeJournal::Chunk> &chunks, TablePlan &tp);
    bool openChunkRows(kvtTableName table, const MergeJournal::Chunk &chunk, const QSet<qlonglong> &journaled,
                       QVector<Item> &rows);
    // A table whose rows name a record, and the condition (row `m`) under which a row
    // names it and holds it back.
    struct Dependant
    {
        QString table;
        QString identifier;
        QString condition;
    };
    bool readState(qlonglong run);
    QVector<Dependant> dependantsOf(kvtTableName target, const QString &t = QStringLiteral("t")) const;
    bool dependedOn(kvtTableName table, qlonglong id, bool &depended);
    bool executeTable(const TablePlan &tp, Result &result, QVector<qlonglong> &undone, QStringList &lines);
    bool fail(const QString &text);
    QString table(kvtTableName table) const;

    MergeJournal &m_journal;
    QSqlDatabase m_db;
    QString m_destination;
    KvtRowFingerprint::Kind m_kind = KvtRowFingerprint::newest; // the run's
    QVector<KvtNamingColumn> m_naming;       // the destination's columns that name records
    QHash<QString, qlonglong> m_largest;     // by table: its largest identifier at the run's start
    QHash<QString, QSet<qlonglong>> m_deleting; // by table: rows the plan deletes
    QHash<QString, QSet<qlonglong>> m_heldIds;  // Plan::heldIds
    QString m_error;
};

#endif // MERGEUNDO_H
