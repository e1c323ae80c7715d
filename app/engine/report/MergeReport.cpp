#include "MergeReport.h"

#include "KvtTables.h"

#include <QSet>

const QVector<kvtTableName> &MergeReport::tableOrder()
{
    static const QVector<kvtTableName> order = [] {
        QVector<kvtTableName> tables;
        for (const KvtTable &table : KvtTable::all())
            tables << table.id;
        return tables;
    }();
    return order;
}

QVector<int> MergeReport::mergedSources(const QString &destination, const QStringList &sources)
{
    QVector<int> merged;
    QSet<QString> seen;
    for (int i = 0; i < sources.size(); ++i) {
        const QString &name = sources.at(i);
        if (name == destination || seen.contains(name))
            continue;
        seen.insert(name);
        merged << i;
    }
    return merged;
}

MergeReport::MergeReport(const QString &destination, const QStringList &sources, bool preview)
    : m_destination(destination)
    , m_status(preview ? RunStatus::Preview : RunStatus::Running)
    , m_start(QDateTime::currentDateTime())
{
    const QVector<int> merged = mergedSources(destination, sources);
    for (int i = 0; i < sources.size(); ++i) {
        Source source;
        source.name = sources.at(i);
        source.skipped = !merged.contains(i);
        for (const kvtTableName table : tableOrder()) {
            TableCounts counts;
            counts.table = table;
            counts.status = source.skipped ? TableStatus::Skipped
                            : preview      ? TableStatus::Preview
                                           : TableStatus::NotReached;
            source.tables << counts;
        }
        m_sources << source;
    }
}

QStringList MergeReport::sourceNames() const
{
    QStringList names;
    for (const Source &source : m_sources)
        names << source.name;
    return names;
}

MergeReport::TableCounts &MergeReport::table(int source, kvtTableName table)
{
    Q_ASSERT(source >= 0 && source < m_sources.size());
    return m_sources[source].tables[tableOrder().indexOf(table)];
}

const MergeReport::TableCounts &MergeReport::table(int source, kvtTableName table) const
{
    Q_ASSERT(source >= 0 && source < m_sources.size());
    return m_sources.at(source).tables.at(tableOrder().indexOf(table));
}

void MergeReport::addConflict(int source, const Conflict &conflict)
{
    TableCounts &counts = table(source, conflict.table);
    switch (conflict.decision) {
    case Decision::Replaced: ++counts.replaced; break;
    case Decision::AddedNewKey: ++counts.addedNewKey; break;
    case Decision::LeftOut: ++counts.leftOut; break;
    }
    m_conflicts << conflict;
}

void MergeReport::addError(const QString &text)
{
    m_errors << text;
}

void MergeReport::finish(RunStatus status, const QDateTime &end)
{
    m_status = status;
    m_end = end;
    const TableStatus running = status == RunStatus::Failed    ? TableStatus::Failed
                                : status == RunStatus::Stopped ? TableStatus::Stopped
                                                               : TableStatus::Done;
    for (Source &source : m_sources)
        for (TableCounts &counts : source.tables)
            if (counts.status == TableStatus::Running)
                counts.status = running;
}

QString MergeReport::statusText(RunStatus status)
{
    switch (status) {
    case RunStatus::Running: return QStringLiteral("running");
    case RunStatus::Done: return QStringLiteral("done");
    case RunStatus::Stopped: return QStringLiteral("stopped");
    case RunStatus::Failed: return QStringLiteral("failed");
    case RunStatus::Preview: return QStringLiteral("preview");
    }
    return QString();
}

QString MergeReport::statusText(TableStatus status)
{
    switch (status) {
    case TableStatus::NotReached: return QStringLiteral("not_reached");
    case TableStatus::Running: return QStringLiteral("running");
    case TableStatus::Done: return QStringLiteral("done");
    case TableStatus::Stopped: return QStringLiteral("stopped");
    case TableStatus::Failed: return QStringLiteral("failed");
    case TableStatus::Skipped: return QStringLiteral("skipped");
    case TableStatus::Preview: return QStringLiteral("preview");
    }
    return QString();
}

QString MergeReport::decisionText(Decision decision)
{
    switch (decision) {
    case Decision::Replaced: return QStringLiteral("replaced");
    case Decision::AddedNewKey: return QStringLiteral("added_new_key");
    case Decision::LeftOut: return QStringLiteral("left_out");
    }
    return QString();
}

QString MergeReport::decidedByText(DecidedBy decidedBy)
{
    switch (decidedBy) {
    case DecidedBy::Operator: return QStringLiteral("operator");
    case DecidedBy::StandingChoice: return QStringLiteral("standing_choice");
    case DecidedBy::Policy: return QStringLiteral("policy");
    case DecidedBy::DeviceRule: return QStringLiteral("device_rule");
    }
    return QString();
}

QString MergeReport::modeText(Mode mode)
{
    return mode == Mode::KeepReferences ? QStringLiteral("keep_references")
                                        : QStringLiteral("plain");
}
