#ifndef KVTMEASUREMENTSTEP_H
#define KVTMEASUREMENTSTEP_H

#include "KvtMergeRun.h"

#include <QCoreApplication>

#include <optional>

class KvtKeyMapStep;
class KvtRowMerge;
class KvtRunJournal;
class KvtRunReport;

// The measurement copy step (defects, graphics): on the server chunk by chunk
// (KvtChunkedCopy) where the source's ID and the journal allow it, else per row. Both
// read the source in ID order when its ID allows it, so that they keep the same one of
// several equal rows and insert the copies in the same order.
class KvtMeasurementStep
{
    Q_DECLARE_TR_FUNCTIONS(KvtMerger)

public:
    // keyMap: keeping references, the rows are written translated (or none).
    KvtMeasurementStep(KvtMergeRun &run, KvtRowMerge &rows, KvtRunJournal &journal, KvtRunReport &report,
                       KvtKeyMapStep *keyMap)
        : m_run(run), m_rows(rows), m_journal(journal), m_report(report), m_keyMap(keyMap)
    {
    }

    KvtStepResult merge();

private:
    // Nothing when the destination cannot take the set-based copy.
    std::optional<KvtStepResult> copyOnServer();
    KvtStepResult copyPerRow();

    KvtMergeRun &m_run;
    KvtRowMerge &m_rows;
    KvtRunJournal &m_journal;
    KvtRunReport &m_report;
    KvtKeyMapStep *m_keyMap;
};

#endif // KVTMEASUREMENTSTEP_H
