#ifndef CONFLICTRESOLVER_H
#define CONFLICTRESOLVER_H

#include "ConflictRecordWriter.h"
#include "DestinationKeys.h"
#include "KvtSqlStatus.h"
#include "MergeConflict.h"
#include "MergeJournal.h"
#include "global_vars.h"

#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <functional>

// Settles a conflicting reference record the merge worker handed over, without a window:
// the rules that decide whether the operator must be asked, the key proposed for a record
// added under a new key, and the statements that write the outcome (ConflictRecordWriter).
// The main window applies standing choices through it, the comparison dialog the
// operator's choice. Failures come back as results; showing them is the caller's business.
//
//     resolver.setConflict(conflict); // the worker's MergeConflict
//     if (!ConflictResolver::needsOperator(table, choice)) resolver.replaceDestinationRecord();
class ConflictResolver
{
public:
    // Why adding under the next free key did not add anything.
    enum class AddOutcome {
        Added,     // added (or nothing to add: the source record has gone)
        Failed,    // a statement failed; lastError() tells why
        NoKeyLeft  // the next free key lies beyond the key column's range
    };

    explicit ConflictResolver(const QString &connectionName = QLatin1String(QSqlDatabase::defaultConnection));

    // Whether a conflict of this table under this standing choice must be shown to the
    // operator: adrAsk for every table but device, and adrAddNew for zones, whose part
    // type only the operator can choose.
    static bool needsOperator(kvtTableName table, actionDiffRec standingChoice);

    // The conflict in hand, with the run its writes are journaled into.
    void setConflict(const MergeConflict &conflict);
    // The same from the comparison dialog's parameters, journaled into no run until
    // setJournalRun().
    void setConflict(kvtTableName table, const QString &srcDB, const QString &destDB, const QString &srcQuery);
    void setJournalRun(const MergeJournal::RunInProgress &run) { m_run = run; }
    kvtTableName table() const { return m_table; }
    QString sourceDB() const { return m_srcDB; }
    QString destinationDB() const { return m_destDB; }
    // The conflict's table name; empty before the first conflict.
    QString tableName() const;

    // See ConflictRecordWriter. With the run of a merge into the same destination
    // (the conflict's journalRun), the three writes are journaled: the replaced
    // record's content before and fingerprint after, the added record's identifier,
    // fingerprint and source record.
    KvtSqlStatus readSource(QStringList &values) const { return m_writer.readSource(values); }
    KvtSqlStatus replaceDestinationRecord() const;
    KvtSqlStatus addWithKey(int key) const;
    KvtSqlStatus addZone(const QString &detTypeZone, const QString &detTypeId, const QString &zoneId) const;

    // The key proposed for the conflict's record: the next free key of its table in the
    // destination.
    KvtSqlStatus proposedKey(quint64 &key) const;
    // Whether a proposed key fits the key columns (int): past the largest key there is
    // no free key left.
    static bool keyFits(quint64 key);
    // The standing choice "add under a new key": the record is added under the proposed
    // key. Zones are never added this way (needsOperator).
    AddOutcome addUnderNewKey();
    KvtSqlStatus lastError() const { return m_lastError; }

private:
    // The journaling around a write; each true when nothing was to be journaled.
    bool journalActive() const;
    KvtSqlStatus readDestination(const QString &keyValue, qlonglong &id, QVariantMap &content) const;
    KvtSqlStatus journalAdded(const QString &keyColumn, const QString &keyValue, const QString &sourceKey,
                              qlonglong &entry) const;
    KvtSqlStatus journaledWrite(const std::function<KvtSqlStatus()> &write,
                                const std::function<KvtSqlStatus(qlonglong &)> &journal) const;
    QString sourceKey() const;

    QString m_connectionName;
    ConflictRecordWriter m_writer;
    DestinationKeys m_keys;
    kvtTableName m_table = tnDefects;
    QString m_srcDB;
    QString m_destDB;
    KvtSqlStatus m_lastError;
    MergeJournal::RunInProgress m_run;
};

#endif // CONFLICTRESOLVER_H
