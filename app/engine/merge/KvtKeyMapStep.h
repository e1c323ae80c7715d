#ifndef KVTKEYMAPSTEP_H
#define KVTKEYMAPSTEP_H

#include "KvtMergeRun.h"
#include "KvtPreparedQuery.h"
#include "KvtReferenceMap.h"
#include "KvtReferenceSql.h"
#include "KvtRelations.h"
#include "KvtRunReport.h"
#include "KvtTableSql.h"

#include <QCoreApplication>
#include <QPair>
#include <QVector>

class KvtRowMerge;
class KvtRunJournal;

// The key map step of the mode "Keep references consistent": every decision on a source's
// reference record enters the map (present, inserted, replaced, added under a new key,
// left out), and the measurement rows merged per row are written translated through it
// and counted. The set-based paths add to the map and join its stored tables themselves.
class KvtKeyMapStep
{
    Q_DECLARE_TR_FUNCTIONS(KvtMerger)

public:
    using Bindings = KvtPreparedQuery::Bindings;
    using Values = KvtTableSql::Values;
    using RefId = KvtReferenceMap::Id;

    KvtKeyMapStep(KvtMergeRun &run, KvtRowMerge &rows, KvtRunJournal &journal, KvtRunReport &report);

    KvtReferenceMap &map() { return m_map; }
    // A new source: an empty map.
    void startSource();
    // After the last reference step the map goes to the server.
    KvtStepResult endStep(kvtTableName table);

    // A measurement table merged per row: its relations, and the counts of its rows.
    bool startRows();
    void endRows();

    // One record of the step in hand; true on success, as KvtRowMerge::mergeRecord().
    bool mergeRecord(const Values &record);
    // Destination records of the table in hand that the next mergeRecord() is not to see:
    // a reference batch inserted them after it in source order, so the per-row path would
    // not have met them yet (KvtReferenceBatchStep). Named as the map names them: a zone
    // by part type and number, any other record by its ID. Empty: it sees every record.
    void setUnseenRecords(const QVector<RefId> &ids) { m_unseen = ids; }

private:
    enum class Placed { Failed, Mapped, KeyTaken };
    Placed place(kvtTableName table, RefId source, RefId written, const Bindings &sameRecord, const Bindings &key,
                 const Bindings &insert);
    bool mapTo(kvtTableName table, RefId source, const QString &condition, const Bindings &values);
    bool settleTakenKey(kvtTableName table, RefId source, const Bindings &content, bool sameKeyRule,
                        const QString &keyColumn, const QString &key, const QString &sourceSelect = QString(),
                        qint64 partType = 0);
    bool simpleReference(kvtTableName table, const QString &fID, const Bindings &content, const Values &record);
    bool human(const QString &fID, const Bindings &content, const QString &fTabNo);
    bool zone(const QString &fDetTypeZone, const QString &fID, const QString &fDetTypeId, const QString &fName);
    bool measurementRow(const Values &record);
    Values translatedRecord(const Values &record);
    void countRow(const Values &values);
    void dropUnseen(QVector<RefId> &ids) const;

    KvtMergeRun &m_run;
    KvtRowMerge &m_rows;
    KvtRunJournal &m_journal;
    KvtRunReport &m_report;
    KvtReferenceMap m_map;
    // The measurement table merged per row: its relations and their positions among the
    // copied columns, its counts, and what the row in hand did.
    QVector<KvtRelation> m_relations;
    QVector<int> m_positions;
    KvtRunReport::Counts m_counts;
    bool m_rowTranslated = false;
    QVector<QPair<int, KvtReferenceSql::Mismatch>> m_rowMismatches;
    QVector<RefId> m_unseen;
};

#endif // KVTKEYMAPSTEP_H
