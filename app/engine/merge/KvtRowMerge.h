#ifndef KVTROWMERGE_H
#define KVTROWMERGE_H

#include "KvtMergeRun.h"
#include "KvtPreparedQuery.h"
#include "KvtTableSql.h"

#include <QCoreApplication>

class KvtKeyMapStep;
class KvtRunJournal;
class KvtSourceReader;

// The per-row step: reads the source table of the step in hand in primary-key order and
// merges one record at a time. A measurement record is appended unless an equal one is
// there. A reference record is left out when the destination holds the same record,
// inserted when its key is free, and otherwise handed over as a conflict. Keeping
// references, records go through the key map step first.
class KvtRowMerge
{
    Q_DECLARE_TR_FUNCTIONS(KvtMerger)

public:
    using Bindings = KvtPreparedQuery::Bindings;
    using Values = KvtTableSql::Values;

    // Where a source reference record stands against the destination.
    enum class ReferenceState { Failed, Present, KeyFree, KeyTaken };

    KvtRowMerge(KvtMergeRun &run, KvtRunJournal &journal) : m_run(run), m_journal(journal) {}
    // Keeping references: records are merged through it (none by default).
    void setKeyMap(KvtKeyMapStep *keyMap) { m_keyMap = keyMap; }

    KvtStepResult readSourceTable();

    // Each true on success; false when a statement failed (reported) or a conflict could
    // not be handed over.
    bool mergeRecord(const Values &record);
    // The record as it is, past the key map.
    bool mergePlain(const Values &record);
    bool insertRecord(const Values &record);
    bool execInsert(KvtPreparedQuery &query, const Bindings &values);
    ReferenceState lookUp(const Bindings &sameRecord, const Bindings &key);
    // While set, lookUp() answers KeyTaken without asking the server: the caller knows
    // that the records it merges have their keys held by records of other content.
    void setKeysKnownTaken(bool known) { m_keysKnownTaken = known; }
    // The destination's largest ID plus 1, for a table that numbers its records.
    bool nextId(qlonglong &id);
    // Commits the journaled rows of the per-row path.
    bool flushJournal();
    // A conflict to the settler, once the rows inserted so far have committed; one that the
    // standing choice leaves out is only recorded, and *leftOut (when given) says so.
    bool handOver(const QString &keyColumn, const QString &key, const QString &sourceSelect,
                  bool *leftOut = nullptr);

private:
    KvtStepResult mergeRecords(KvtSourceReader &reader);
    bool countMatches(KvtPreparedQuery &query, const Bindings &values, int &count);
    Values recordOf(const KvtSourceReader &row) const;

    KvtMergeRun &m_run;
    KvtRunJournal &m_journal;
    KvtKeyMapStep *m_keyMap = nullptr;
    bool m_keysKnownTaken = false;
};

#endif // KVTROWMERGE_H
