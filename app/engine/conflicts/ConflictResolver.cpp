#include "ConflictResolver.h"

#include "ConflictAnswer.h"
#include "KvtRowFingerprint.h"
#include "KvtTables.h"
#include "MergeJournal.h"
#include "PLog.h"
#include "PSqlIdentifier.h"


#include <QSqlDatabase>

#include <limits>

ConflictResolver::ConflictResolver(const QString &connectionName)
    : m_connectionName(connectionName)
    , m_writer(connectionName)
    , m_keys(connectionName)
{
}

bool ConflictResolver::needsOperator(kvtTableName table, actionDiffRec standingChoice)
{
    if (ConflictAnswer::alwaysReplaced(table))
        return false;
    return standingChoice == adrAsk || (standingChoice == adrAddNew && table == tnZones);
}

void ConflictResolver::setConflict(kvtTableName table, const QString &srcDB, const QString &destDB,
                                   const QString &srcQuery)
{
    m_table = table;
    m_srcDB = srcDB;
    m_destDB = destDB;
    m_lastError = KvtSqlStatus();
    m_run = MergeJournal::RunInProgress();
    m_writer.setConflict(table, destDB, srcQuery);
}

void ConflictResolver::setConflict(const MergeConflict &conflict)
{
    setConflict(conflict.table, conflict.sourceDB, conflict.destinationDB, conflict.sourceSelect);
    m_run = conflict.journalRun;
}

QString ConflictResolver::tableName() const
{
    const KvtTable &table = KvtTable::of(m_table);
    return table.isReference() ? table.name : QString();
}

KvtSqlStatus ConflictResolver::proposedKey(quint64 &key) const
{
    return m_keys.nextFreeKey(m_destDB, tableName(), key);
}

bool ConflictResolver::keyFits(quint64 key)
{
    return key <= quint64(std::numeric_limits<int>::max());
}

ConflictResolver::AddOutcome ConflictResolver::addUnderNewKey()
{
    if (m_table == tnZones)
        return AddOutcome::Added;
    quint64 key = 0;
    m_lastError = proposedKey(key);
    if (!m_lastError)
        return AddOutcome::Failed;
    if (!keyFits(key))
        return AddOutcome::NoKeyLeft;
    m_lastError = addWithKey(int(key));
    return m_lastError ? AddOutcome::Added : AddOutcome::Failed;
}

// ---------------------------------------------------------------- journaling

bool ConflictResolver::journalActive() const
{
    return m_run.journal && m_run.id != 0 && m_run.destination == m_destDB && KvtTable::of(m_table).isReference();
}

QString ConflictResolver::sourceKey() const
{
    QStringList record;
    if (!m_writer.readSource(record))
        return QString();
    const KvtTable &table = KvtTable::of(m_table);
    return record.value(table.indexOf(table.keyColumn()));
}

// The destination record with the key: its identifier and its described columns.
KvtSqlStatus ConflictResolver::readDestination(const QString &keyValue, qlonglong &id, QVariantMap &content) const
{
    const KvtTable &table = KvtTable::of(m_table);
    QStringList columns;
    for (const QString &c : table.columnNames())
        columns << PSqlIdentifier::quote(c);
    KvtPreparedQuery query(QSqlDatabase::database(m_connectionName, false),
                           QStringLiteral("SELECT %1, %2 FROM %3 WHERE %4 = :key")
                               .arg(PSqlIdentifier::quote(KvtRowFingerprint::identifierColumn(m_table)),
                                    columns.join(QStringLiteral(", ")),
                                    PSqlIdentifier::qualified(m_destDB, table.name),
                                    PSqlIdentifier::quote(table.keyColumn())));
    const KvtSqlStatus status = query.run({{QStringLiteral(":key"), keyValue}});
    if (!status || !query.query().next())
        return status;
    id = query.query().value(0).toLongLong();
    for (int i = 0; i < table.columns.size(); ++i)
        content.insert(table.columns.at(i).name, query.query().value(i + 1));
    return status;
}

// The write and its journal entry in one destination transaction that commits only once
// the entry is in the journal; a COMMIT that fails then marks the entry so.
KvtSqlStatus ConflictResolver::journaledWrite(const std::function<KvtSqlStatus()> &write,
                                              const std::function<KvtSqlStatus(qlonglong &)> &journal) const
{
    QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
    if (!db.transaction())
        return KvtSqlStatus::failure(db.lastError());
    qlonglong entry = 0;
    KvtSqlStatus status = write();
    if (status)
        status = journal(entry);
    if (!status) {
        db.rollback();
        return status;
    }
    if (db.commit())
        return status;
    status = KvtSqlStatus::failure(db.lastError());
    db.rollback();
    if (entry != 0 && !m_run.journal->entryCommitFailed(entry))
        PLOG_ERROR << "merge journal: " << m_run.journal->lastError();
    return status;
}

KvtSqlStatus ConflictResolver::replaceDestinationRecord() const
{
    if (!journalActive())
        return m_writer.replaceDestinationRecord();
    const QString key = sourceKey();
    qlonglong id = 0;
    QVariantMap before;
    const KvtSqlStatus status = key.isEmpty() ? KvtSqlStatus() : readDestination(key, id, before);
    if (!status)
        return status;
    if (before.isEmpty())
        return m_writer.replaceDestinationRecord();
    return journaledWrite([this] { return m_writer.replaceDestinationRecord(); },
                          [&](qlonglong &entry) {
                              QHash<qlonglong, QString> after;
                              QString error;
                              if (!KvtRowFingerprint::read(QSqlDatabase::database(m_connectionName, false), m_destDB,
                                                           m_table, {id}, after, &error))
                                  return KvtSqlStatus::failure(error);
                              if (!m_run.journal->recordReplaced(m_run.id, m_table, id, before, after.value(id),
                                                                 &entry))
                                  return KvtSqlStatus::failure(m_run.journal->lastError());
                              return KvtSqlStatus();
                          });
}

KvtSqlStatus ConflictResolver::journalAdded(const QString &keyColumn, const QString &keyValue,
                                            const QString &sourceKey, qlonglong &entry) const
{
    const KvtTable &table = KvtTable::of(m_table);
    qlonglong id = keyValue.toLongLong();
    if (keyColumn != KvtRowFingerprint::identifierColumn(m_table)) {
        QVariantMap content;
        const KvtSqlStatus status = readDestination(keyValue, id, content);
        if (!status)
            return status;
    }
    QHash<qlonglong, QString> fingerprints;
    QString error;
    if (!KvtRowFingerprint::read(QSqlDatabase::database(m_connectionName, false), m_destDB, m_table, {id},
                                 fingerprints, &error))
        return KvtSqlStatus::failure(error);
    if (!fingerprints.contains(id))
        return {};
    if (!m_run.journal->recordAddedNewKey(m_run.id, m_table, id, fingerprints.value(id), m_srcDB, sourceKey, &entry))
        return KvtSqlStatus::failure(m_run.journal->lastError());
    PLOG_DEBUG << "journaled " << table.name << " " << id << " added under a new key";
    return {};
}

KvtSqlStatus ConflictResolver::addWithKey(int key) const
{
    const QString source = journalActive() ? sourceKey() : QString();
    if (source.isEmpty())
        return m_writer.addWithKey(key);
    return journaledWrite([&] { return m_writer.addWithKey(key); },
                          [&](qlonglong &entry) {
                              return journalAdded(KvtTable::of(m_table).keyColumn(), QString::number(key), source,
                                                  entry);
                          });
}

KvtSqlStatus ConflictResolver::addZone(const QString &detTypeZone, const QString &detTypeId,
                                       const QString &zoneId) const
{
    const QString source = journalActive() ? sourceKey() : QString();
    if (source.isEmpty())
        return m_writer.addZone(detTypeZone, detTypeId, zoneId);
    return journaledWrite([&] { return m_writer.addZone(detTypeZone, detTypeId, zoneId); },
                          [&](qlonglong &entry) {
                              return journalAdded(QStringLiteral("DetTypeZone"), detTypeZone, source, entry);
                          });
}
