#include "MergePreview.h"

#include "KvtConnection.h"
#include "KvtPreparedQuery.h"
#include "KvtProbeIndex.h"
#include "KvtSourceKey.h"
#include "KvtSql.h"
#include "KvtTables.h"
#include "MergeCheck.h"
#include "PSqlNull.h"

#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

namespace {

QVariantList recordOf(const QSqlQuery &query, const QVector<int> &columns)
{
    QVariantList values;
    for (const int at : columns)
        values << query.value(at);
    return values;
}

// The position of a named result column.
int positionOf(const QSqlQuery &query, const QString &name)
{
    return KvtSql::positions(query.record(), {name}).first();
}

QString keyText(const QVariant &key)
{
    return PSqlNull::isNull(key) ? QStringLiteral("NULL") : key.toString();
}

} // namespace

MergePreview::MergePreview(QObject *parent)
    : QThread(parent)
    , m_connectionName(QStringLiteral("MergePreview-%1").arg(reinterpret_cast<quintptr>(this), 0, 16))
{
}

MergePreview::~MergePreview()
{
    if (isRunning()) {
        requestStop();
        wait();
    }
}

void MergePreview::requestStop()
{
    m_stop = true;
    const qulonglong id = m_connectionId;
    if (id == 0 || !isRunning())
        return;
    // The statement running on the preview's connection ends at once instead of at its end.
    QSqlDatabase db = QSqlDatabase::database(QLatin1String(QSqlDatabase::defaultConnection), false);
    if (db.isOpen() && db.driver()->thread() == QThread::currentThread())
        QSqlQuery(db).exec(QStringLiteral("KILL QUERY %1").arg(id));
}

void MergePreview::run()
{
    m_conflicts.clear();
    m_copies.clear();
    m_tablesDone = 0;
    m_report = MergeReport(m_destination, m_sources);
    const QVector<int> merged = MergeReport::mergedSources(m_destination, m_sources);
    bool ok = openConnection();
    for (int i = 0; ok && i < merged.size(); ++i)
        ok = previewSource(merged.at(i), merged.mid(0, i));
    closeConnection();
    m_report.finish(!m_report.errors().isEmpty() ? MergeReport::RunStatus::Failed
                    : m_stop                     ? MergeReport::RunStatus::Stopped
                                                 : MergeReport::RunStatus::Preview);
}

bool MergePreview::openConnection()
{
    const KvtSqlStatus status = openKvtConnectionLike(m_connectionName);
    m_db = QSqlDatabase::database(m_connectionName, false);
    m_report.setServer(kvtServerName(m_db));
    if (!status)
        return fail(status.error());
    QSqlQuery id(m_db);
    if (!id.exec(QStringLiteral("SELECT CONNECTION_ID()")) || !id.next())
        return fail(id.lastError());
    m_connectionId = id.value(0).toULongLong();
    // The same check as the merge's, so that the dry run refuses what the merge would.
    QStringList sources;
    for (const int position : MergeReport::mergedSources(m_destination, m_sources))
        sources << m_sources.at(position);
    const KvtSqlStatus ready = MergeCheck::run(m_db, m_destination, sources).status();
    if (!ready)
        return fail(ready.error());
    return !m_stop;
}

void MergePreview::closeConnection()
{
    m_connectionId = 0;
    m_db = QSqlDatabase();
    closeKvtConnection(m_connectionName);
}

bool MergePreview::fail(const QSqlError &error)
{
    if (!m_stop) {
        m_report.addError(error.text());
    }
    return false;
}

bool MergePreview::previewSource(int position, const QVector<int> &earlier)
{
    const QString source = m_sources.at(position);
    const int total = MergeReport::mergedSources(m_destination, m_sources).size()
                      * MergeReport::tableOrder().size();
    for (const kvtTableName table : MergeReport::tableOrder()) {
        if (m_stop)
            return false;
        KvtPreviewSql::Copy sourceCopy;
        KvtPreviewSql::Copy destination;
        bool ordered = false;
        bool unused = false;
        if (!copyOf(source, table, sourceCopy, ordered) || !copyOf(m_destination, table, destination, unused))
            return false;
        QVector<KvtPreviewSql::Copy> earlierCopies;
        for (const int e : earlier) {
            KvtPreviewSql::Copy copy;
            if (!copyOf(m_sources.at(e), table, copy, unused))
                return false;
            earlierCopies << copy;
        }
        const KvtPreviewSql sql(table, sourceCopy, destination, earlierCopies, ordered);
        const bool done = KvtTable::of(table).isReference() ? previewReference(position, table, sql, earlier)
                                                            : previewMeasurement(position, table, sql);
        if (!done)
            return false;
        m_report.table(position, table).status = MergeReport::TableStatus::Preview;
        emit progressed(++m_tablesDone, total);
    }
    return true;
}

bool MergePreview::copyOf(const QString &database, kvtTableName table, KvtPreviewSql::Copy &copy,
                          bool &ordered)
{
    const QString tableName = KvtTable::of(table).name;
    const QString cacheKey = database + QLatin1Char('\n') + tableName;
    auto cached = m_copies.constFind(cacheKey);
    if (cached == m_copies.constEnd()) {
        CopyInfo info;
        info.copy.database = database;
        KvtSourceKey key(m_db);
        if (!key.read(database, tableName))
            return fail(key.failedQuery()->lastError());
        info.copy.columns = key.columns();
        info.ordered = key.usable();
        if (!KvtTable::of(table).isReference()) {
            KvtProbeIndex index(m_db);
            if (!index.find(database, tableName, KvtPreviewSql::comparedColumns(table),
                            info.copy.probeIndex))
                return fail(index.failedQuery()->lastError());
            // The reference tables its rows name, which an older source may have with
            // fewer columns.
            for (const kvtTableName target : KvtRelations::targets()) {
                KvtPreviewSql::Copy named;
                bool unused = false;
                if (!copyOf(database, target, named, unused))
                    return false;
                info.copy.tables.insert(target, named.columns);
            }
        }
        cached = m_copies.insert(cacheKey, info);
    }
    copy = cached->copy;
    ordered = cached->ordered;
    return true;
}

bool MergePreview::previewMeasurement(int position, kvtTableName table, const KvtPreviewSql &sql)
{
    KvtPreparedQuery counts(m_db, sql.measurementCounts());
    if (!counts.exec())
        return fail(counts.query().lastError());
    QSqlQuery &query = counts.query();
    MergeReport::TableCounts &t = m_report.table(position, table);
    if (query.next()) {
        t.rows = query.value(positionOf(query, KvtPreviewSql::rowsName)).toLongLong();
        t.inserted = query.value(positionOf(query, KvtPreviewSql::insertedName)).toLongLong();
        t.present = t.rows - t.inserted;
        t.referencesMismatched = query.value(positionOf(query, KvtPreviewSql::mismatchedName)).toLongLong();
    }
    query.finish();
    return true;
}

// Walks the classes of equal source rows in key order. The first class of a key that is
// free is inserted; every other class of that key conflicts with it.
bool MergePreview::previewReference(int position, kvtTableName table, const KvtPreviewSql &sql,
                                    const QVector<int> &earlier)
{
    KvtPreparedQuery classes(m_db, sql.referenceClasses());
    if (!classes.exec())
        return fail(classes.query().lastError());
    const QStringList columns = KvtPreviewSql::recordColumns(table);
    const int keyAt = columns.indexOf(KvtPreviewSql::keyColumn(table));
    QSqlQuery &query = classes.query();
    const QVector<int> recordAt = KvtSql::positions(query.record(), columns);
    const int rowsAt = positionOf(query, KvtPreviewSql::rowsName);
    const int presentAt = positionOf(query, KvtPreviewSql::presentName);
    const int takenAt = positionOf(query, KvtPreviewSql::takenName);
    QHash<QString, QVariantList> insertedByKey;
    QVector<Conflict> takenHere;      // by an earlier class of this source
    QVector<Conflict> takenElsewhere; // by the destination or an earlier source
    MergeReport::TableCounts &t = m_report.table(position, table);
    while (query.next()) {
        const qint64 rows = query.value(rowsAt).toLongLong();
        const bool present = query.value(presentAt).toInt() != 0;
        const bool taken = query.value(takenAt).toInt() != 0;
        const QVariant key = query.value(recordAt.at(keyAt));
        t.rows += rows;
        t.present += present ? rows : rows - 1;
        if (present)
            continue;
        const auto first = insertedByKey.constFind(keyText(key));
        if (!taken && first == insertedByKey.constEnd()) {
            ++t.inserted;
            insertedByKey.insert(keyText(key), recordOf(query, recordAt));
            continue;
        }
        ++t.conflicts;
        Conflict conflict{m_sources.at(position), table, PSqlNull::isNull(key) ? QString() : key.toString(),
                          columns, recordOf(query, recordAt), {}, {}};
        if (taken) {
            takenElsewhere << conflict;
        } else {
            conflict.destinationRecord = *first;
            conflict.destinationOrigin = conflict.source;
            takenHere << conflict;
        }
    }
    query.finish();
    if (!findTakenRecords(sql, earlier, keyAt, takenElsewhere))
        return false;
    m_conflicts += takenHere + takenElsewhere;
    return true;
}

// The records the conflicts meet in the destination or an earlier source.
bool MergePreview::findTakenRecords(const KvtPreviewSql &sql, const QVector<int> &earlier,
                                    int keyAt, QVector<Conflict> &conflicts)
{
    KvtPreparedQuery record(m_db, sql.takenRecord());
    for (Conflict &c : conflicts) {
        if (m_stop)
            return false;
        KvtPreparedQuery::Bindings keys;
        for (int k = 0; k < sql.takenRecordKeys(); ++k)
            keys << qMakePair(QStringLiteral(":key") + QString::number(k), c.sourceRecord.value(keyAt));
        if (!record.exec(keys))
            return fail(record.query().lastError());
        QSqlQuery &row = record.query();
        if (row.next()) {
            const int origin = row.value(positionOf(row, KvtPreviewSql::originName)).toInt();
            c.destinationOrigin = origin == 0 ? m_destination : m_sources.at(earlier.value(origin - 1));
            c.destinationRecord = recordOf(row, KvtSql::positions(row.record(), c.columns));
        }
        row.finish();
    }
    return true;
}
