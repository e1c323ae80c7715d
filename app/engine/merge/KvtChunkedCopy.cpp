#include "KvtChunkedCopy.h"

#include "KvtMessages.h"

#include "KvtRowFingerprint.h"
#include "KvtSourceKey.h"
#include "MergeJournal.h"

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
    if (m_journal) {
        if (!copyJournaled(ids))
            return false;
    } else {
        m_insert.reset(new QSqlQuery(m_db));
        if (!m_insert->exec(m_sql.copyRows(ids))) {
            m_failed = m_insert.get();
            return false;
        }
        m_copied = int(ids.size());
    }
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

// The intent (the destination's largest ID and the fingerprints of the rows to come) is
// in the journal before the INSERT, the rows' identifiers after it.
bool KvtChunkedCopy::copyJournaled(const QStringList &ids)
{
    m_journalQuery.reset(new QSqlQuery(m_db));
    QSqlQuery &query = *m_journalQuery;
    if (!query.exec(m_sql.destinationMaxId()) || !query.next()) {
        m_failed = &query;
        return false;
    }
    const qlonglong maxBefore = query.value(0).toLongLong();
    QStringList intended;
    if (!query.exec(m_sql.sourceFingerprints(ids))) {
        m_failed = &query;
        return false;
    }
    while (query.next())
        intended << query.value(0).toString();
    qlonglong chunk = 0;
    if (!m_journal->beginChunk(m_run, m_table.table(), maxBefore, intended, chunk))
        return journalFailed();
    QVector<QPair<qlonglong, QString>> inserted;
    if (!readInserted(ids, inserted))
        return false;
    QVector<MergeJournal::Row> rows;
    rows.reserve(inserted.size());
    for (const auto &row : qAsConst(inserted))
        rows << MergeJournal::Row{row.first, row.second};
    if (!m_journal->endChunk(m_run, chunk, m_table.table(), rows))
        return journalFailed();
    m_copied = int(ids.size());
    return true;
}

bool KvtChunkedCopy::readInserted(const QStringList &ids, QVector<QPair<qlonglong, QString>> &rows)
{
    m_insert.reset(new QSqlQuery(m_db));
    const bool returning = m_insertedIds == InsertedIds::Returning;
    if (!m_insert->exec(m_sql.copyRows(ids) + (returning ? m_sql.returning() : QString()))) {
        m_failed = m_insert.get();
        return false;
    }
    if (returning) {
        while (m_insert->next())
            rows << qMakePair(m_insert->value(0).toLongLong(), m_insert->value(1).toString());
        return true;
    }
    const qlonglong first = m_insert->lastInsertId().toLongLong();
    QSqlQuery &query = *m_journalQuery;
    if (!query.exec(QStringLiteral("SELECT @@SESSION.auto_increment_increment")) || !query.next()) {
        m_failed = &query;
        return false;
    }
    const qlonglong step = qMax<qlonglong>(1, query.value(0).toLongLong());
    QVector<qlonglong> inserted;
    for (int k = 0; k < ids.size(); ++k)
        inserted << first + k * step;
    QHash<qlonglong, QString> prints;
    QString error;
    if (!KvtRowFingerprint::read(m_db, m_destination, m_table.table(), inserted, prints, &error)
        || prints.size() != inserted.size()) {
        m_failed = nullptr;
        m_journalError = error.isEmpty() ? QStringLiteral("The rows inserted into %1.%2 are not numbered one after "
                                                          "another: they cannot be journaled")
                                                   .arg(m_destination, m_tableName)
                                         : error;
        return false;
    }
    for (const qlonglong id : qAsConst(inserted))
        rows << qMakePair(id, prints.value(id));
    return true;
}

KvtSqlStatus KvtChunkedCopy::error() const
{
    if (m_failed)
        return KvtSqlStatus::failure(m_failed->lastError());
    return KvtSqlStatus::own(KvtMessages::journalNotWritten(m_journalError));
}
