#ifndef KVTRUNREPORT_H
#define KVTRUNREPORT_H

#include "KvtReferenceSql.h"
#include "KvtMergeRun.h"
#include "MergeReport.h"
#include "global_vars.h"

#include <QCoreApplication>
#include <QHash>
#include <QMutex>
#include <QPair>
#include <QString>

// The report step of a merge run: the counts of the references of inserted measurement
// rows (readable from any thread while the run goes on), the rows named in the log, the
// check of references after a source's plain merge, and the run's end status.
class KvtRunReport
{
    Q_DECLARE_TR_FUNCTIONS(KvtMerger)

public:
    struct Counts
    {
        qint64 translated = 0;
        qint64 mismatched = 0;
    };

    // Before a run: no counts.
    void reset();
    // Counts of the run; zero for a table not (yet) merged. Any thread.
    Counts referenceCounts(const QString &source, kvtTableName table) const;
    // Adds a measurement table's counts, warns of mismatched rows and tells the owner.
    void addReferenceCounts(KvtMergeRun &run, kvtTableName table, qint64 translated, qint64 mismatched);

    // Names a mismatched row in the log: at most loggedRows per kind and table.
    void startTableLog() { m_logged.clear(); }
    void logMismatch(const KvtMergeRun &run, kvtTableName table, const QString &row, const QString &column,
                     const QString &value, KvtReferenceSql::Mismatch kind);

    // The plain merge: the rows each measurement step inserted (IDs the destination gave
    // after the step's start) are checked once the source's reference tables are merged.
    void startSource() { m_inserted.clear(); }
    bool insertedBefore(KvtMergeRun &run, kvtTableName table);
    bool insertedAfter(KvtMergeRun &run, kvtTableName table);
    KvtStepResult checkReferences(KvtMergeRun &run);

    // Copies the counts into the report and finishes it with the end status.
    void finish(MergeReport &report, const QVector<int> &sources, const QStringList &names) const;
    // Failed after an error, stopped when a merged table did not run to its end.
    static MergeReport::RunStatus endStatus(const MergeReport &report);

    static constexpr int loggedRows = 5;

private:
    bool lastId(KvtMergeRun &run, kvtTableName table, qulonglong &last);

    QHash<QString, Counts> m_counts; // by "<source>/<table number>"
    mutable QMutex m_mutex;
    QHash<int, int> m_logged;        // mismatches logged per kind in the current table
    // The measurement rows the plain merge inserted, per table: IDs after .first up to .second.
    QHash<int, QPair<qulonglong, qulonglong>> m_inserted;
};

#endif // KVTRUNREPORT_H
