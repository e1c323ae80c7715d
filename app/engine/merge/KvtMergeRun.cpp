#include "KvtMergeRun.h"

#include "KvtSourceKey.h"
#include "KvtTableStatements.h"

#include <QSqlError>
#include <QSqlQuery>

KvtMergeRun::KvtMergeRun(const QSqlDatabase &db, const QString &destination, MergeReport &report,
                         KvtMergeEvents &events, const std::atomic<bool> &stop, const KvtMergeOptions &options)
    : db(db)
    , destination(destination)
    , options(options)
    , report(report)
    , events(events)
    , m_stop(stop)
{
}

KvtMergeRun::~KvtMergeRun() = default;

void KvtMergeRun::startTable(const KvtTableSql &sql)
{
    m_statements.reset(new KvtTableStatements(db, sql));
}

void KvtMergeRun::endTable()
{
    m_statements.reset();
    m_sourceKey.reset();
}

const KvtTableSql &KvtMergeRun::sql() const
{
    return m_statements->sql();
}

void KvtMergeRun::setSourceKey(std::unique_ptr<KvtSourceKey> key)
{
    m_sourceKey = std::move(key);
}

MergeReport::TableCounts &KvtMergeRun::counts()
{
    return report.table(sourcePosition, sql().table());
}

bool KvtMergeRun::fail(const KvtSqlStatus &error)
{
    events.failed(error);
    return false;
}

bool KvtMergeRun::failQuery(const QSqlQuery &query)
{
    return fail(KvtSqlStatus::failure(query.lastError()));
}
