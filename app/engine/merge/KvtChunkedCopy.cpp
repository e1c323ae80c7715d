#include "KvtChunkedCopy.h"

#include "KvtMessages.h"

#include "KvtSourceKey.h"
#include "PLog.h"

#include <QtGlobal>

KvtChunkedCopy::KvtChunkedCopy(const QSqlDatabase &db, const KvtTableSql &table,
                               const QString &source, const QString &destination,
                               const QStringList &sourceColumns,
                               KvtChunkSql::EarlierDuplicates earlierDuplicates)
    : m_db(db)
    , m_table(table)
    , m_source(source)
    , m_sql(table, source, destination, sourceColumns)
    , m_destination(destination)
    , m_tableName(table.tableName())
    , m_columnsQuery(db)
    , m_firstId(db, m_sql.firstId())
    , m_idAfter(db, m_sql.idAfter())
    , m_chunkEnd(db, m_sql.chunkEnd())
    , m_signalSample(db, m_sql.signalSample())
    , m_probeIndex(db)
{
    m_sql.setEarlierDuplicates(earlierDuplicates);
}

KvtChunkedCopy::OpenResult KvtChunkedCopy::open(int chunkRows, qint64 chunkBytes)
{
    bool generated = false;
    if (!readIdGenerated(generated))
        return OpenResult::Failed;
    if (!generated)
        return OpenResult::NotUsable;
    if (!sizeChunks(chunkRows, chunkBytes) || !prepareCopy())
        return OpenResult::Failed;
    return findFrom(m_firstId, {}) ? OpenResult::Ready : OpenResult::Failed;
}

bool KvtChunkedCopy::copyNext(int &rows)
{
    QVariant to;
    m_copied = 0;
    if (!findChunkEnd(rows, to))
        return false;
    if (!copyRows(rows, to))
        return false;
    return findFrom(m_idAfter, {{QStringLiteral(":after"), to}});
}

bool KvtChunkedCopy::prepareCopy()
{
    QString destinationIndex;
    QString sourceIndex;
    const QStringList compared = m_table.comparedColumns();
    if (!m_probeIndex.find(m_destination, m_tableName, compared, destinationIndex)
        || !m_probeIndex.find(m_source, m_tableName, compared, sourceIndex)) {
        m_failed = m_probeIndex.failedQuery();
        return false;
    }
    m_sql.setProbeIndexes(destinationIndex, sourceIndex);
    m_rowsToCopy.reset(new KvtPreparedQuery(m_db, m_sql.rowsToCopy()));
    if (m_sql.canListRowsToLeave())
        m_rowsToLeave.reset(new KvtPreparedQuery(m_db, m_sql.rowsToLeave()));
    return true;
}

// The IDs of the chunk's rows to copy, then the rows: by their ID range when the chunk
// copies most of the rows it covers (insertStatement()), else by their IDs. Where the last
// chunk copied most of its rows, the server lists the rows to leave instead, and the range
// less those names the rows. The references are counted with the IDs, so only the rows
// inserted are looked at, and only once. A chunk whose COMMIT failed starts again from its
// IDs: meanwhile another writer may have inserted some of its rows.
bool KvtChunkedCopy::copyRows(int covered, const QVariant &to)
{
    for (int attempt = 1;; ++attempt) {
        const bool leaving = m_rowsToLeave && m_listRowsToLeave;
        KvtPreparedQuery &listing = leaving ? *m_rowsToLeave : *m_rowsToCopy;
        if (!run(listing, {{QStringLiteral(":from"), m_from}, {QStringLiteral(":to"), to}}))
            return false;
        QStringList ids;
        qint64 translated = 0;
        QVector<qlonglong> mismatched;
        QSqlQuery &rows = listing.query();
        const bool translating = m_sql.translating();
        while (rows.next()) {
            const qlonglong id = rows.value(0).toLongLong();
            ids << QString::number(id);
            if (translating) {
                translated += rows.value(1).toInt() != 0 ? 1 : 0;
                if (rows.value(2).toInt() != 0)
                    mismatched << id;
            }
        }
        rows.finish();
        const int copies = leaving ? covered - int(ids.size()) : int(ids.size());
        m_listRowsToLeave = 2 * copies > covered;
        if (copies == 0)
            return true;
        const QString insert = leaving ? m_sql.copyRange(m_from.toLongLong(), to.toLongLong(), ids)
                                       : insertStatement(ids, covered, to.toLongLong());
        if (m_journal) {
            bool commitFailed = false;
            if (!copyJournaled(insert, copies, commitFailed)) {
                if (!commitFailed || attempt >= commitAttempts)
                    return false;
                PLOG_WARN << m_destination << '.' << m_tableName << ": a chunk's COMMIT failed ("
                          << m_failed->lastError().text() << "), copied again";
                continue;
            }
        } else {
            m_insert.reset(new QSqlQuery(m_db));
            if (!m_insert->exec(insert)) {
                m_failed = m_insert.get();
                return false;
            }
            m_copied = copies;
        }
        m_translatedRows += translated;
        m_mismatchedRows += mismatched.size();
        for (int i = 0; i < mismatched.size() && m_firstMismatched.size() < m_firstMismatchedRows; ++i)
            m_firstMismatched << mismatched.at(i);
        return true;
    }
}

// The chunk covers `covered` source rows, from m_from to `to`. Where those are every ID of
// the range (as a counter leaves them), the rows not copied are the range's IDs missing
// from ids, and when they are few the range names the rows.
QString KvtChunkedCopy::insertStatement(const QStringList &ids, int covered, qlonglong to) const
{
    const qlonglong from = m_from.toLongLong();
    if (to - from + 1 != covered || ids.size() < covered - covered / 4)
        return m_sql.copyRows(ids);
    QStringList except;
    qlonglong next = from;
    for (const QString &id : ids) {
        const qlonglong copied = id.toLongLong();
        for (; next < copied; ++next)
            except << QString::number(next);
        next = copied + 1;
    }
    for (; next <= to; ++next)
        except << QString::number(next);
    return m_sql.copyRange(from, to, except);
}

bool KvtChunkedCopy::run(KvtPreparedQuery &query, const KvtPreparedQuery::Bindings &values)
{
    if (query.exec(values))
        return true;
    m_failed = &query.query();
    return false;
}

// Copies get their IDs from the destination, as single inserts do; a destination whose ID
// is not generated cannot take them.
bool KvtChunkedCopy::readIdGenerated(bool &generated)
{
    QVector<KvtSourceKey::Column> columns;
    if (!KvtSourceKey::readColumns(m_columnsQuery, m_destination, m_tableName, columns)) {
        m_failed = &m_columnsQuery;
        return false;
    }
    generated = false;
    for (const KvtSourceKey::Column &column : qAsConst(columns))
        if (column.name.compare(QLatin1String("ID"), Qt::CaseInsensitive) == 0)
            generated = column.autoIncrement;
    return true;
}

bool KvtChunkedCopy::sizeChunks(int chunkRows, qint64 chunkBytes)
{
    m_chunkRows = qMax(1, chunkRows);
    if (m_signalSample.text().isEmpty())
        return true;
    if (!run(m_signalSample))
        return false;
    QSqlQuery &query = m_signalSample.query();
    // An average is a DECIMAL, read as text under the connection's high precision.
    const qint64 signalBytes = query.next() ? qint64(query.value(0).toDouble()) : 0;
    query.finish();
    if (signalBytes > 0)
        m_chunkRows = int(qBound(qint64(1), chunkBytes / signalBytes, qint64(m_chunkRows)));
    return true;
}

bool KvtChunkedCopy::findChunkEnd(int &rows, QVariant &to)
{
    if (!run(m_chunkEnd, {{QStringLiteral(":from"), m_from},
                          {QStringLiteral(":rows"), m_chunkRows}}))
        return false;
    QSqlQuery &query = m_chunkEnd.query();
    const bool found = query.next();
    rows = found ? query.value(0).toInt() : 0;
    to = found ? query.value(1) : QVariant();
    query.finish();
    return true;
}

// The first ID of the next chunk; a NULL (no row left) ends the copy.
bool KvtChunkedCopy::findFrom(KvtPreparedQuery &query, const KvtPreparedQuery::Bindings &values)
{
    if (!run(query, values))
        return false;
    m_from = query.query().next() ? query.query().value(0) : QVariant();
    if (m_from.isNull())
        m_from = QVariant();
    query.query().finish();
    return true;
}

void KvtChunkedCopy::setJournal(MergeJournal *journal, qlonglong run, InsertedIds how)
{
    m_journal = journal;
    m_run = run;
    m_insertedIds = how;
}

bool KvtChunkedCopy::journalFailed()
{
    m_failed = nullptr;
    m_journalError = m_journal->lastError();
    return false;
}

bool KvtChunkedCopy::execOwn(const QString &statement)
{
    if (m_ownQuery->exec(statement))
        return true;
    m_failed = m_ownQuery.get();
    return false;
}

// After a failure, whose error stays the one reported.
void KvtChunkedCopy::rollback()
{
    QSqlQuery(m_db).exec(QStringLiteral("ROLLBACK"));
}

// The chunk's rows are in the journal before its COMMIT: a run killed in between leaves
// journaled rows the server rolled back (the undo finds them absent), never rows the
// journal does not know. One journal write per chunk.
bool KvtChunkedCopy::copyJournaled(const QString &insert, int copies, bool &commitFailed)
{
    commitFailed = false;
    m_ownQuery.reset(new QSqlQuery(m_db));
    m_insert.reset(new QSqlQuery(m_db));
    QVector<MergeJournal::Row> rows;
    rows.reserve(copies);
    const bool inserted = m_insertedIds == InsertedIds::Returning ? insertReturning(insert, rows)
                                                                  : insertReadBack(insert, rows);
    if (inserted && rows.size() != copies) {
        rollback();
        m_failed = nullptr;
        m_journalError = QStringLiteral("%1.%2: %3 rows inserted, %4 named by the server")
                             .arg(m_destination, m_tableName)
                             .arg(copies)
                             .arg(rows.size());
        return false;
    }
    if (!inserted) {
        rollback();
        return false;
    }
    qlonglong chunk = 0;
    if (!m_journal->recordChunk(m_run, m_table.table(), rows, chunk)) {
        rollback();
        return journalFailed();
    }
    if (!execOwn(QStringLiteral("COMMIT"))) {
        rollback();
        if (!m_journal->chunkCommitFailed(chunk))
            return journalFailed();
        commitFailed = true;
        return false;
    }
    m_copied = int(rows.size());
    return true;
}

// One statement: the server gives each inserted row's ID and fingerprint. Sent unprepared,
// the only way Qt's driver hands over the rows of an INSERT.
bool KvtChunkedCopy::insertReturning(const QString &insert, QVector<MergeJournal::Row> &rows)
{
    if (!execOwn(QStringLiteral("START TRANSACTION")))
        return false;
    if (!m_insert->exec(insert + m_sql.returning())) {
        m_failed = m_insert.get();
        return false;
    }
    while (m_insert->next())
        rows << MergeJournal::Row{m_insert->value(0).toLongLong(), m_insert->value(1).toString()};
    return true;
}

bool KvtChunkedCopy::insertReadBack(const QString &insert, QVector<MergeJournal::Row> &rows)
{
    for (const QString &statement : KvtChunkSql::snapshotTransaction())
        if (!execOwn(statement))
            return false;
    if (!execOwn(m_sql.destinationMaxId()) || !m_ownQuery->next()) {
        m_failed = m_ownQuery.get();
        return false;
    }
    const qlonglong maxBefore = m_ownQuery->value(0).toLongLong();
    if (!m_insert->exec(insert)) {
        m_failed = m_insert.get();
        return false;
    }
    if (!execOwn(m_sql.insertedAfter(maxBefore)))
        return false;
    while (m_ownQuery->next())
        rows << MergeJournal::Row{m_ownQuery->value(0).toLongLong(), m_ownQuery->value(1).toString()};
    return true;
}

KvtSqlStatus KvtChunkedCopy::error() const
{
    if (m_failed)
        return KvtSqlStatus::failure(m_failed->lastError());
    return KvtSqlStatus::own(KvtMessages::journalNotWritten(m_journalError));
}
