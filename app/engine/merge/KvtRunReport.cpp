#include "KvtRunReport.h"

#include "KvtPreparedQuery.h"
#include "KvtRelations.h"
#include "KvtSql.h"
#include "KvtTableSql.h"
#include "KvtTables.h"
#include "PLog.h"
#include "PSqlIdentifier.h"

#include <QMutexLocker>
#include <QSqlQuery>
#include <QSqlRecord>

namespace {

QString countsKey(const QString &source, kvtTableName table)
{
    return source + QLatin1Char('/') + QString::number(int(table));
}

} // namespace

void KvtRunReport::reset()
{
    QMutexLocker locker(&m_mutex);
    m_counts.clear();
}

KvtRunReport::Counts KvtRunReport::referenceCounts(const QString &source, kvtTableName table) const
{
    QMutexLocker locker(&m_mutex);
    return m_counts.value(countsKey(source, table));
}

void KvtRunReport::addReferenceCounts(KvtMergeRun &run, kvtTableName table, qint64 translated, qint64 mismatched)
{
    {
        QMutexLocker locker(&m_mutex);
        Counts &counts = m_counts[countsKey(run.source, table)];
        counts.translated += translated;
        counts.mismatched += mismatched;
    }
    if (mismatched > 0)
        PLOG_WARN << tr("%1.%2: %3 rows inserted whose references name a record of other content or none")
                         .arg(run.source, KvtTable::of(table).name)
                         .arg(mismatched);
    run.events.referenceCountsAdded(run.source, table, translated, mismatched);
}

void KvtRunReport::logMismatch(const KvtMergeRun &run, kvtTableName table, const QString &row,
                               const QString &column, const QString &value, KvtReferenceSql::Mismatch kind)
{
    int &logged = m_logged[int(kind)];
    if (logged++ >= loggedRows)
        return;
    const QString &name = KvtTable::of(table).name;
    if (column.isEmpty())
        PLOG_WARN << run.source << '.' << name << ", " << row << ": "
                  << tr("a reference names a record of other content or none");
    else
        PLOG_WARN << run.source << '.' << name << ", " << row << ": " << column << ' ' << value << ' '
                  << KvtReferenceSql::describe(kind);
}

bool KvtRunReport::lastId(KvtMergeRun &run, kvtTableName table, qulonglong &last)
{
    QSqlQuery query(run.db);
    if (!query.exec(KvtSql::largestKey(PSqlIdentifier::qualified(run.destination, KvtTable::of(table).name))))
        return run.failQuery(query);
    last = query.next() ? query.value(0).toULongLong() : 0;
    return true;
}

bool KvtRunReport::insertedBefore(KvtMergeRun &run, kvtTableName table)
{
    qulonglong before = 0;
    if (!lastId(run, table, before))
        return false;
    m_inserted.insert(table, qMakePair(before, before));
    return true;
}

bool KvtRunReport::insertedAfter(KvtMergeRun &run, kvtTableName table)
{
    qulonglong after = 0;
    if (!m_inserted.contains(table) || !lastId(run, table, after))
        return false;
    m_inserted[table].second = after;
    return true;
}

// Rows another session inserts into the same table meanwhile are checked with them.
KvtStepResult KvtRunReport::checkReferences(KvtMergeRun &run)
{
    KvtSql::Columns sourceTables; // read once a table has rows to check
    for (const kvtTableName table : {tnDefects, tnGraphics}) {
        const auto it = m_inserted.constFind(table);
        if (it == m_inserted.constEnd() || it->second <= it->first) // nothing inserted
            continue;
        if (sourceTables.isEmpty()) {
            const KvtSqlStatus read = KvtSql::readColumns(run.db, run.source, sourceTables);
            if (!read) {
                run.fail(read);
                return KvtStepResult::RowError;
            }
        }
        const KvtTableSql sql = KvtTableSql::forTable(table, run.destination);
        const QVector<KvtRelation> relations = KvtRelations::among(sql.copiedColumns());
        const KvtPreparedQuery::Bindings range{{QStringLiteral(":after"), it->first},
                                               {QStringLiteral(":last"), it->second}};
        KvtPreparedQuery count(run.db, KvtReferenceSql::countInserted(relations, run.source, sourceTables, run.destination,
                                                                      sql.tableName()));
        if (!count.exec(range)) {
            run.failQuery(count.query());
            return KvtStepResult::RowError;
        }
        const int mismatched = count.firstInt();
        m_logged.clear();
        if (mismatched > 0) {
            KvtPreparedQuery rows(run.db, KvtReferenceSql::insertedRows(relations, run.source, sourceTables, run.destination,
                                                                       sql.tableName()));
            KvtPreparedQuery::Bindings values = range;
            values.append({QStringLiteral(":rows"), 10 * loggedRows});
            if (!rows.exec(values)) {
                run.failQuery(rows.query());
                return KvtStepResult::RowError;
            }
            QSqlQuery &q = rows.query();
            QStringList names{QStringLiteral("ID")};
            for (const KvtRelation &r : relations)
                names << r.column;
            const QVector<int> at = KvtSql::positions(q.record(), names);
            while (q.next())
                for (int i = 0; i < relations.size(); ++i)
                    if (const int kind = q.value(at.at(i + 1)).toInt())
                        logMismatch(run, table, tr("destination ID %1").arg(q.value(at.first()).toString()),
                                    relations.at(i).column, QString(), KvtReferenceSql::Mismatch(kind));
        }
        addReferenceCounts(run, table, 0, mismatched);
    }
    m_inserted.clear();
    return KvtStepResult::Done;
}

void KvtRunReport::finish(MergeReport &report, const QVector<int> &sources, const QStringList &names) const
{
    for (const int position : sources)
        for (const kvtTableName table : {tnDefects, tnGraphics}) {
            const Counts references = referenceCounts(names.at(position), table);
            report.table(position, table).referencesTranslated = references.translated;
            report.table(position, table).referencesMismatched = references.mismatched;
        }
    report.finish(endStatus(report));
}

MergeReport::RunStatus KvtRunReport::endStatus(const MergeReport &report)
{
    if (!report.errors().isEmpty())
        return MergeReport::RunStatus::Failed;
    for (const MergeReport::Source &source : report.sources())
        for (const MergeReport::TableCounts &t : source.tables)
            if (!source.skipped && t.status != MergeReport::TableStatus::Done)
                return MergeReport::RunStatus::Stopped;
    return MergeReport::RunStatus::Done;
}
