#include "KvtChunkedCopy.h"

#include <QtGlobal>

KvtChunkedCopy::KvtChunkedCopy(const QSqlDatabase &db, const KvtTableSql &table,
                               const QString &source, const QString &destination,
                               const QStringList &sourceColumns)
    : m_db(db)
    , m_table(table)
    , m_source(source)
    , m_sql(table, source, destination, sourceColumns)
    , m_destination(destination)
    , m_tableName(table.tableName())
    , m_counter(db, KvtChunkSql::idCounter())
    , m_firstId(db, m_sql.firstId())
    , m_idAfter(db, m_sql.idAfter())
    , m_chunkEnd(db, m_sql.chunkEnd())
    , m_signalSample(db, m_sql.signalSample())
    , m_probeIndex(db)
{
}

KvtChunkedCopy::OpenResult KvtChunkedCopy::open(int chunkRows, qint64 chunkBytes)
{
    bool counting = false;
    if (!readNextId(counting))
        return OpenResult::Failed;
    if (!counting)
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
    if (!run(*m_copy, {{QStringLiteral(":from"), m_from},
                       {QStringLiteral(":to"), to},
                       {QStringLiteral(":nextId"), m_nextId}}))
        return false;
    // Explicit IDs move the destination's counter past the last of them, as single
    // inserts would have.
    m_copied = qMax(0, m_copy->query().numRowsAffected());
    m_nextId += qulonglong(m_copied);
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
    m_copy.reset(new KvtPreparedQuery(m_db, m_sql.copyChunk()));
    return true;
}

bool KvtChunkedCopy::run(KvtPreparedQuery &query, const KvtPreparedQuery::Bindings &values)
{
    if (query.exec(values))
        return true;
    m_failed = &query.query();
    return false;
}

// The destination's counter: the ID its next insert would generate. Without one, or with
// a step other than 1, copies could not get the IDs single inserts get.
bool KvtChunkedCopy::readNextId(bool &counting)
{
    if (!run(m_counter, {{QStringLiteral(":schema"), m_destination},
                         {QStringLiteral(":table"), m_tableName}}))
        return false;
    QSqlQuery &query = m_counter.query();
    counting = query.next() && !query.value(0).isNull() && query.value(1).toInt() == 1;
    m_nextId = counting ? query.value(0).toULongLong() : 0;
    query.finish();
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
        m_chunkRows = int(qBound<qint64>(1, chunkBytes / signalBytes, m_chunkRows));
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
