#include "KvtChunkedCopy.h"

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
    , m_idGenerated(db, KvtChunkSql::idGenerated())
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
    if (!copyRows(to))
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
    return true;
}

// The IDs of the chunk's rows to copy, then the rows. The references are counted with the
// IDs, so only the rows inserted are looked at, and only once.
bool KvtChunkedCopy::copyRows(const QVariant &to)
{
    if (!run(*m_rowsToCopy, {{QStringLiteral(":from"), m_from}, {QStringLiteral(":to"), to}}))
        return false;
    QStringList ids;
    qint64 translated = 0;
    QVector<qlonglong> mismatched;
    QSqlQuery &rows = m_rowsToCopy->query();
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
    if (ids.isEmpty())
        return true;
    m_insert.reset(new QSqlQuery(m_db));
    if (!m_insert->exec(m_sql.copyRows(ids))) {
        m_failed = m_insert.get();
        return false;
    }
    m_copied = int(ids.size());
    m_translatedRows += translated;
    m_mismatchedRows += mismatched.size();
    for (int i = 0; i < mismatched.size() && m_firstMismatched.size() < m_firstMismatchedRows; ++i)
        m_firstMismatched << mismatched.at(i);
    return true;
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
    if (!run(m_idGenerated, {{QStringLiteral(":schema"), m_destination},
                             {QStringLiteral(":table"), m_tableName}}))
        return false;
    QSqlQuery &query = m_idGenerated.query();
    generated = query.next()
                && query.value(0).toString().contains(QLatin1String("auto_increment"), Qt::CaseInsensitive);
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
