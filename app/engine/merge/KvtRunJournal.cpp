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

KvtSqlStatus KvtRunJournal::start(const QSqlDatabase &db, const RunStart &run, Ids most)
{
    m_run = 0;
    if (!m_journal)
        return KvtSqlStatus();
    const KvtSqlStatus ids = chooseIds(db, most, run.setBasedMeasurements);
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

// RETURNING where the server has it; else consecutive IDs where the AUTO-INC lock is held
// for a whole INSERT ... SELECT (innodb_autoinc_lock_mode 0 or 1); else the per-row copy,
// which reads each row's own LAST_INSERT_ID().
KvtSqlStatus KvtRunJournal::chooseIds(const QSqlDatabase &db, Ids most, bool setBasedMeasurements)
{
    KvtServerVersion version;
    QString error;
    if (!KvtServerVersion::read(db, version, error))
        return KvtSqlStatus::own(error);
    Ids ids = most;
    if (ids == Ids::Returning && !version.hasInsertReturning())
        ids = Ids::Consecutive;
    if (ids == Ids::Consecutive) {
        QSqlQuery query(db);
        // MySQL 5.x and MariaDB without InnoDB's variable: the old default, 1.
        const int lockMode = query.exec(QStringLiteral("SELECT @@GLOBAL.innodb_autoinc_lock_mode")) && query.next()
                                 ? query.value(0).toInt()
                                 : 1;
        if (lockMode >= 2)
            ids = Ids::PerRow;
    }
    if (ids == Ids::PerRow && setBasedMeasurements)
        PLOG_INFO << "the server names no rows of a set-based copy (innodb_autoinc_lock_mode 2 and no "
                     "INSERT ... RETURNING): the measurement tables are copied per row while journaling";
    m_ids = ids;
    return KvtSqlStatus();
}

KvtSqlStatus KvtRunJournal::journalError() const
{
    return KvtSqlStatus::own(KvtMessages::journalNotWritten(m_journal->lastError()));
}

KvtSqlStatus KvtRunJournal::beforeRowInsert(QSqlDatabase &db, bool measurement)
{
    if (m_run == 0 || m_batchOpen || !measurement)
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
    if (!KvtTable::of(table).isReference()) {
        m_batch << qMakePair(rowId, prints.value(rowId));
        return m_batch.size() < batchRows ? KvtSqlStatus() : flush(db, table);
    }
    if (!m_journal->recordRows(m_run, table, {{rowId, prints.value(rowId)}}))
        return journalError();
    return KvtSqlStatus();
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
    if (!m_journal->recordRows(m_run, table, rows)) {
        db.rollback();
        return journalError();
    }
    if (!db.commit())
        return KvtSqlStatus::failure(db.lastError());
    return KvtSqlStatus();
}

KvtSqlStatus KvtRunJournal::keysInserted(const QSqlDatabase &db, const QString &destination, kvtTableName table,
                                         const QVector<qlonglong> &keys)
{
    if (m_run == 0 || keys.isEmpty())
        return KvtSqlStatus();
    QHash<qlonglong, QString> prints;
    QString error;
    if (!KvtRowFingerprint::read(db, destination, table, keys, prints, &error))
        return KvtSqlStatus::own(error);
    QVector<MergeJournal::Row> rows;
    rows.reserve(keys.size());
    for (const qlonglong key : keys)
        rows << MergeJournal::Row{key, prints.value(key)};
    if (!m_journal->recordRows(m_run, table, rows))
        return journalError();
    return KvtSqlStatus();
}
