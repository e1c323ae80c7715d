#ifndef KVTMERGESESSION_H
#define KVTMERGESESSION_H

#include "KvtDestinationLock.h"
#include "KvtMergeRun.h"
#include "KvtRowMerge.h"
#include "KvtRunJournal.h"
#include "global_vars.h"

#include <QCoreApplication>
#include <QStringList>
#include <QVector>

#include <memory>

class KvtKeyMapStep;
class KvtMeasurementStep;
class KvtReferenceBatchStep;
class KvtRunReport;

// One merge run on an open connection: the destination's lock, the journal, and for each
// source the nine table steps. It owns the steps:
//   KvtMeasurementStep    defects and graphics, on the server or per row
//   KvtReferenceBatchStep the reference tables, set-based
//   KvtRowMerge           one record at a time (and every conflict)
//   KvtKeyMapStep         keeping references: the key map
//   KvtRunJournal         the merge journal
//   KvtRunReport          the counts of references and the check after a plain merge
// KvtMerger runs it on its thread; a test may run it, or one step, on its own.
class KvtMergeSession
{
    Q_DECLARE_TR_FUNCTIONS(KvtMerger)

public:
    KvtMergeSession(const QSqlDatabase &db, const QString &destination, MergeReport &report, KvtRunReport &counts,
                    KvtRunJournal &journal, KvtMergeEvents &events, const std::atomic<bool> &stop,
                    const KvtMergeOptions &options);
    ~KvtMergeSession();

    KvtMergeRun &run() { return m_run; }
    KvtRowMerge &rows() { return m_rows; }

    // Takes the destination's lock and starts the journal's run; false after a reported error.
    bool start(const QStringList &sources, const QString &copyVariant, KvtRunJournal::Ids journalIds);
    // The nine steps of the source at `position` of `names`; true when all ran to their end.
    bool mergeSource(const QString &name, int position);
    KvtStepResult mergeTable(kvtTableName table);
    // The rows of a source table, told as the progress's maximum.
    struct SourceRows
    {
        KvtStepResult result = KvtStepResult::Done;
        int rows = 0;
    };
    SourceRows countSourceRows(const QString &table);
    // Reads the step's source table: set-based where it applies, else per row.
    KvtStepResult readSourceTable();

    // The order of the table steps: keeping references the seven reference steps come
    // first, so that the map is complete before the first measurement row is written.
    static QVector<kvtTableName> stepOrder(bool keepReferences);

private:
    bool lockDestination();

    KvtMergeRun m_run;
    KvtDestinationLock m_lock;
    KvtRunJournal &m_journal;
    KvtRunReport &m_report;
    KvtRowMerge m_rows;
    std::unique_ptr<KvtKeyMapStep> m_keyMap;
    std::unique_ptr<KvtReferenceBatchStep> m_batches;
    std::unique_ptr<KvtMeasurementStep> m_measurements;
};

#endif // KVTMERGESESSION_H
