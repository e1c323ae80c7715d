#include "KvtMergeSession.h"

#include "KvtKeyMapStep.h"
#include "KvtMeasurementStep.h"
#include "KvtPreparedQuery.h"
#include "KvtReferenceBatchStep.h"
#include "KvtRunReport.h"
#include "KvtSourceKey.h"
#include "KvtTables.h"
#include "PLog.h"
#include "PSqlIdentifier.h"

#include <QSqlError>
#include <QSqlQuery>

#include <algorithm>

KvtMergeSession::KvtMergeSession(const QSqlDatabase &db, const QString &destination, MergeReport &report,
                                 KvtRunReport &counts, KvtRunJournal &journal, KvtMergeEvents &events,
                                 const std::atomic<bool> &stop, const KvtMergeOptions &options)
    : m_run(db, destination, report, events, stop, options)
    , m_journal(journal)
    , m_report(counts)
    , m_rows(m_run, journal)
{
    if (options.keepReferences) {
        m_keyMap.reset(new KvtKeyMapStep(m_run, m_rows, journal, counts));
        m_rows.setKeyMap(m_keyMap.get());
    }
    m_batches.reset(new KvtReferenceBatchStep(m_run, m_rows, journal, m_keyMap.get()));
    m_measurements.reset(new KvtMeasurementStep(m_run, m_rows, journal, counts, m_keyMap.get()));
}

// The server frees a named lock when it has ended the session, which it does after the
// client has closed the connection, and a merge started at once could still find the lock
// taken: the session releases it when it ends. After a lost connection the release fails,
// and the server frees the lock with the session.
KvtMergeSession::~KvtMergeSession()
{
    if (!m_locked)
        return;
    KvtPreparedQuery release(m_run.db, QStringLiteral("DO RELEASE_LOCK(%1)").arg(lockName()));
    if (!release.exec({{QStringLiteral(":destination"), m_run.destination}}))
        PLOG_WARN << "the lock of " << m_run.destination << " was not released: "
                  << release.query().lastError().text();
}

QString KvtMergeSession::lockName()
{
    return QStringLiteral("CONCAT('kvtmerge:', MD5(:destination))");
}

bool KvtMergeSession::start(const QStringList &sources, const QString &copyVariant, KvtRunJournal::Ids journalIds)
{
    if (!lockDestination())
        return false;
    const KvtRunJournal::RunStart runStart{m_run.report.server(), m_run.destination, sources,
                                           m_run.options.keepReferences, copyVariant};
    const KvtSqlStatus status = m_journal.start(m_run.db, runStart, journalIds);
    if (!status && !m_run.stopped())
        m_run.fail(status);
    return status.ok();
}

// Two merges into one destination at the same time could each find a row missing and
// both insert it. The worker's connection takes a named lock of the destination (the
// server frees it when the connection closes), and a second merge stops before it writes.
// The lock is the server's own: on a cluster it does not reach a merge through another node.
bool KvtMergeSession::lockDestination()
{
    KvtPreparedQuery lock(m_run.db, QStringLiteral("SELECT GET_LOCK(%1, 0)").arg(lockName()));
    if (!lock.exec({{QStringLiteral(":destination"), m_run.destination}}))
        return m_run.failQuery(lock.query());
    m_locked = lock.query().next() && lock.query().value(0).toInt() == 1;
    if (m_locked)
        return true;
    return m_run.fail(KvtSqlStatus::own(tr("Another merge into %1 is running on this server. This merge is not "
                                           "started; start it again when the other has ended.")
                                            .arg(m_run.destination)));
}

QVector<kvtTableName> KvtMergeSession::stepOrder(bool keepReferences)
{
    QVector<kvtTableName> order{tnDefects, tnGraphics, tnDefectRef, tnDetTypes, tnDevice,
                                tnFactory, tnResults,  tnHumans,    tnZones};
    if (keepReferences)
        std::rotate(order.begin(), order.begin() + 2, order.end());
    return order;
}

bool KvtMergeSession::mergeSource(const QString &name, int position)
{
    m_run.source = name;
    m_run.sourcePosition = position;
    m_run.events.sourceStarted(name);
    m_report.startSource();
    if (m_keyMap)
        m_keyMap->startSource();
    for (const kvtTableName table : stepOrder(m_run.options.keepReferences)) {
        const QString step = name + QLatin1Char('.') + KvtTable::of(table).name;
        m_run.events.stepStarted(m_keyMap ? tr("%1 (keeping references consistent)").arg(step) : step);
        KvtStepResult result = mergeTable(table);
        if (result == KvtStepResult::Done && !m_run.stopped() && m_keyMap)
            result = m_keyMap->endStep(table);
        if (result != KvtStepResult::Done || m_run.stopped())
            return false;
    }
    if (!m_keyMap && m_report.checkReferences(m_run) != KvtStepResult::Done)
        return false;
    if (m_run.stopped())
        return false;
    m_run.events.sourceFinished(name);
    return true;
}

KvtStepResult KvtMergeSession::mergeTable(kvtTableName table)
{
    if (m_run.stopped())
        return KvtStepResult::Stopped;
    const KvtTableSql sql = KvtTableSql::forTable(table, m_run.destination);
    MergeReport::TableCounts &counts = m_run.report.table(m_run.sourcePosition, table);
    counts.status = MergeReport::TableStatus::Running;
    const SourceRows rows = countSourceRows(sql.tableName());
    counts.rows = rows.rows;
    if (rows.result != KvtStepResult::Done)
        return rows.result;
    std::unique_ptr<KvtSourceKey> key(new KvtSourceKey(m_run.db));
    if (!key->read(m_run.source, sql.tableName())) {
        m_run.failQuery(*key->failedQuery());
        return KvtStepResult::SourceError;
    }
    if (key->pageColumn().isEmpty())
        PLOG_INFO << "table " << m_run.source << "." << sql.tableName()
                  << " has no integer key without ties: it is read whole";
    m_run.setSourceKey(std::move(key));
    m_run.startTable(sql);
    const KvtStepResult result = KvtTable::of(table).isReference() ? readSourceTable() : m_measurements->merge();
    m_run.endTable();
    if (result == KvtStepResult::Done)
        counts.status = MergeReport::TableStatus::Done;
    return result;
}

// A source table that cannot be counted reads as one row, so that the report does not
// take the failed step for an empty one.
KvtMergeSession::SourceRows KvtMergeSession::countSourceRows(const QString &table)
{
    if (m_run.stopped())
        return {KvtStepResult::Stopped, 0};
    QSqlQuery query(m_run.db);
    if (!query.exec(QStringLiteral("SELECT COUNT(*) FROM ") + PSqlIdentifier::qualified(m_run.source, table)
                    + QLatin1Char(';'))) {
        m_run.failQuery(query);
        return {KvtStepResult::SourceError, 1};
    }
    const int rows = query.next() ? query.value(0).toInt() : 0;
    m_run.events.progressMaximum(rows);
    return {KvtStepResult::Done, rows};
}

KvtStepResult KvtMergeSession::readSourceTable()
{
    if (m_run.inTable() && m_batches->applies())
        return m_batches->merge();
    return m_rows.readSourceTable();
}
