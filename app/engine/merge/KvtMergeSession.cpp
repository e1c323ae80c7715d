#include "KvtMergeSession.h"

#include "KvtKeyMapStep.h"
#include "KvtMeasurementStep.h"
#include "KvtMessages.h"
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
    , m_lock(db, destination)
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

KvtMergeSession::~KvtMergeSession() = default;

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

// A merge stops before it writes when another merge or an undo into the destination
// runs (KvtDestinationLock).
bool KvtMergeSession::lockDestination()
{
    switch (m_lock.take()) {
    case KvtDestinationLock::Outcome::Taken: return true;
    case KvtDestinationLock::Outcome::Busy: return m_run.fail(KvtSqlStatus::own(KvtMessages::destinationBusy(m_run.destination)));
    case KvtDestinationLock::Outcome::Failed: break;
    }
    return m_run.fail(m_lock.status());
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
