#include "KvtRunJournal.h"

#include "DestinationState.h"
#include "KvtMessages.h"
#include "KvtRowFingerprint.h"
#include "KvtServerVersion.h"
#include "KvtSql.h"
#include "KvtTables.h"
#include "MergeJournal.h"
#include "PLog.h"

#include <QSqlError>
#include <QSqlQuery>

#include <algorithm>

KvtSqlStatus KvtRunJournal::start(const QSqlDatabase &db, const RunStart &run, Ids most)
{
    m_run = 0;
    if (!m_journal)
        return KvtSqlStatus();
    const KvtSqlStatus ids = chooseIds(db, most);
    if (!ids)
        return ids;
    if (!m_journal->open()
        || !m_journal->startRun(run.server, run.destination, run.sources, run.keepReferences, run.copyVariant, m_run))
        return journalError();
    // Before the first write: the state before the run, for its undo.
    QHash<QString, qlonglong> largest;
    QString error;
    if (!DestinationState::largestIds(db, run.destination, largest, &error))
        return KvtSqlStatus::own(error);
    if (!m_journal->recordLargestIds(m_run, largest))
        return journalError();
    PLOG_INFO << "merge journal " << m_journal->file() << ": run " << m_run;
    return KvtSqlStatus();
}

void KvtRunJournal::finish(MergeReport::RunStatus status)
{
    if (!m_journal)
        return;
    if (m_run != 0 && !m_journal->finishRun(m_run, MergeReport::statusText(status)))
        PLOG_ERROR << "merge journal: " << m_journal->lastError();
    m_journal->releaseConnection();
}

KvtSqlStatus KvtRunJournal::chooseIds(const QSqlDatabase &db, Ids most)
{
    KvtServerVersion version;
    QString error;
    if (!KvtServerVersion::read(db, version, error))
        return KvtSqlStatus::own(error);
    m_ids = most == Ids::Returning && version.hasInsertReturning() ? Ids::Returning : Ids::ReadBack;
    return KvtSqlStatus();
}

KvtSqlStatus KvtRunJournal::journalError() const
{
    return KvtSqlStatus::own(KvtMessages::journalNotWritten(m_journal->lastError()));
}

KvtSqlStatus KvtRunJournal::beforeRowInsert(QSqlDatabase &db)
{
    if (m_run == 0 || m_batchOpen)
        return KvtSqlStatus();
    if (!db.transaction())
        return KvtSqlStatus::failure(db.lastError());
    m_batchOpen = true;
    return KvtSqlStatus();
}

KvtSqlStatus KvtRunJournal::rowInserted(QSqlDatabase &db, const QString &destination, kvtTableName table,
                                        KvtPreparedQuery &insert, const KvtPreparedQuery::Bindings &values)
{
    if (m_run == 0)
        return KvtSqlStatus();
    const QString placeholder = KvtSql::valuePlaceholder(KvtRowFingerprint::identifierColumn(table));
    QVariant id;
    if (KvtTable::of(table).idRule == IdRule::Generated)
        id = insert.query().lastInsertId();
    for (const auto &value : values)
        if (value.first == placeholder)
            id = value.second;
    QHash<qlonglong, QString> prints;
    QString error;
    const qlonglong rowId = id.toLongLong();
    if (!KvtRowFingerprint::read(db, destination, table, {rowId}, prints, &error))
        return KvtSqlStatus::own(error);
    m_batch << qMakePair(rowId, prints.value(rowId));
    return m_batch.size() < batchRows ? KvtSqlStatus() : flush(db, table);
}

// The rows are journaled before the destination's transaction commits: a run killed in
// between leaves journaled rows the server rolled back (the undo finds them gone), never
// rows it does not know. One SQLite commit per batch instead of per row.
KvtSqlStatus KvtRunJournal::flush(QSqlDatabase &db, kvtTableName table)
{
    if (!m_batchOpen)
        return KvtSqlStatus();
    m_batchOpen = false;
    QVector<MergeJournal::Row> rows;
    rows.reserve(m_batch.size());
    for (const auto &row : qAsConst(m_batch))
        rows << MergeJournal::Row{row.first, row.second};
    m_batch.clear();
    qlonglong chunk = 0;
    if (!m_journal->recordRows(m_run, table, rows, &chunk)) {
        db.rollback();
        return journalError();
    }
    m_uncommitted << chunk;
    return commit(db);
}

KvtSqlStatus KvtRunJournal::keysInserted(const QSqlDatabase &db, const QString &destination, kvtTableName table,
                                         const QVector<qlonglong> &keys,
                                         const QHash<qlonglong, QString> &fingerprints)
{
    if (m_run == 0 || keys.isEmpty())
        return KvtSqlStatus();
    QHash<qlonglong, QString> prints = fingerprints;
    QString error;
    const bool handed = prints.size() == keys.size()
                        && std::all_of(keys.cbegin(), keys.cend(), [&](qlonglong key) { return prints.contains(key); });
    if (!handed && !KvtRowFingerprint::read(db, destination, table, keys, prints, &error))
        return KvtSqlStatus::own(error);
    QVector<MergeJournal::Row> rows;
    rows.reserve(keys.size());
    for (const qlonglong key : keys)
        rows << MergeJournal::Row{key, prints.value(key)};
    qlonglong chunk = 0;
    if (!m_journal->recordRows(m_run, table, rows, &chunk))
        return journalError();
    m_uncommitted << chunk;
    return KvtSqlStatus();
}

KvtSqlStatus KvtRunJournal::commit(QSqlDatabase &db)
{
    const QVector<qlonglong> written = m_uncommitted;
    m_uncommitted.clear();
    if (db.commit())
        return KvtSqlStatus();
    const KvtSqlStatus failed = KvtSqlStatus::failure(db.lastError());
    db.rollback();
    for (const qlonglong chunk : written)
        if (chunk != 0 && !m_journal->chunkCommitFailed(chunk))
            PLOG_ERROR << "merge journal: " << m_journal->lastError();
    return failed;
}
