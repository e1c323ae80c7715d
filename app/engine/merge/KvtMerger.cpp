#include "KvtMerger.h"

#include "KvtRowFingerprint.h"
#include "MergeJournal.h"

#include "KvtChunkedCopy.h"
#include "KvtConnection.h"
#include "KvtSourceKey.h"
#include "KvtServerVersion.h"
#include "KvtSourceReader.h"
#include "KvtSql.h"
#include "KvtSqlName.h"
#include "KvtTableStatements.h"
#include "MergeCheck.h"
#include "PLog.h"
#include "PSqlIdentifier.h"

#include <QMetaMethod>
#include <QMutexLocker>
#include <QSqlError>
#include <QSqlQuery>

namespace {

QString connectionNameFor(const KvtMerger *merger)
{
    return QStringLiteral("KvtMerger-%1").arg(reinterpret_cast<quintptr>(merger), 0, 16);
}

// The server's named lock of a merge's destination, :destination bound to its name.
const QString destinationLock = QStringLiteral("CONCAT('kvtmerge:', MD5(:destination))");

} // namespace

KvtMerger::KvtMerger(QObject *parent)
    : QThread(parent)
    , m_connectionName(connectionNameFor(this))
{
    registerKvtMetaTypes();
    MergeConflict::registerMetaType();
    setStopFlag(false);
    initDBList();
}

KvtMerger::~KvtMerger()
{
    requestStop();
    wait();
}

bool KvtMerger::isPaused() const
{
    QMutexLocker locker(&waitMutex);
    return paused;
}

// ---------------------------------------------------------------- slots called from outside

void KvtMerger::pauseThread()
{
    QMutexLocker locker(&waitMutex);
    paused = true;
}

void KvtMerger::resumeThread()
{
    {
        QMutexLocker locker(&waitMutex);
        paused = false;
    }
    resumeCondition.wakeAll();
}

void KvtMerger::getSqlErr(QSqlQuery *q)
{
    const QSqlError error = q->lastError();
    reportError(error.text(), error.nativeErrorCode());
}

void KvtMerger::setChunkSize(int rows, qint64 bytes)
{
    m_chunkRows = qMax(1, rows);
    m_chunkBytes = qMax<qint64>(1, bytes);
}

QString KvtMerger::copyVariantName() const
{
    if (m_measurementCopy == MeasurementCopy::PerRow)
        return QStringLiteral("per row");
    return m_copyVariant == CopyVariant::WindowFunctions ? QStringLiteral("set-based, window functions")
                                                         : QStringLiteral("set-based, earlier-row probe");
}

void KvtMerger::setStopFlag(bool param)
{
    m_stopFlag = param;
}

// The flag is set under the wait's mutex, which the worker holds from its own check of
// the flag until it waits: the wake-up cannot come between the two and be lost.
void KvtMerger::requestStop()
{
    {
        QMutexLocker locker(&waitMutex);
        m_stopFlag = true;
        paused = false;
    }
    resumeCondition.wakeAll();
}

void KvtMerger::initDBList()
{
    mergedDBs.clear();
}

void KvtMerger::setDBList(const QStringList &names)
{
    mergedDBs.clear();
    dbList = names;
}

void KvtMerger::setCurrentDataBaseSource(const QString &dbName)
{
    currentSourceDB = dbName;
}

void KvtMerger::setCurrentDataBaseDestination(const QString &dbName)
{
    currentDestinationDB = dbName;
}

// ---------------------------------------------------------------- thread body

void KvtMerger::run()
{
    int errCode = stepOk;
    m_report = MergeReport(currentDestinationDB, dbList);
    m_report.setMode(m_keepReferences ? MergeReport::Mode::KeepReferences : MergeReport::Mode::Plain);
    {
        QMutexLocker locker(&m_countsMutex);
        m_referenceCounts.clear();
    }
    // The destination's own name and repeated names are skipped without a signal.
    const QVector<int> sources = MergeReport::mergedSources(currentDestinationDB, dbList);
    for (const int position : sources)
        mergedDBs.insert(dbList.at(position), dbList.at(position));
    if (!sources.isEmpty()) {
        if (openConnection() && checkServer() && lockDestination() && startJournal()) {
            m_report.setCopyVariant(reportedCopyVariant());
            for (const int position : sources)
                if (m_stopFlag || !mergeDatabase(position, errCode))
                    break;
        }
        closeConnection();
    }
    for (const int position : sources)
        for (const kvtTableName table : {tnDefects, tnGraphics}) {
            const ReferenceCounts references = referenceCounts(dbList.at(position), table);
            m_report.table(position, table).referencesTranslated = references.translated;
            m_report.table(position, table).referencesMismatched = references.mismatched;
        }
    m_report.finish(endStatus());
    endJournal();
}

// ---------------------------------------------------------------- the journal

// Two merges into one destination at the same time could each find a row missing and
// both insert it. The worker's connection takes a named lock of the destination, and a
// second merge stops before it writes. The lock is the server's own: on a cluster it does
// not reach a merge through another node.
bool KvtMerger::lockDestination()
{
    KvtPreparedQuery lock(m_db, QStringLiteral("SELECT GET_LOCK(%1, 0)").arg(destinationLock));
    if (!lock.exec({{QStringLiteral(":destination"), currentDestinationDB}})) {
        getSqlErr(&lock.query());
        return false;
    }
    m_destinationLocked = lock.query().next() && lock.query().value(0).toInt() == 1;
    if (m_destinationLocked)
        return true;
    reportError(tr("Another merge into %1 is running on this server. This merge is not started; "
                   "start it again when the other has ended.")
                    .arg(currentDestinationDB),
                QStringLiteral("0"));
    return false;
}

bool KvtMerger::startJournal()
{
    m_journalRun = 0;
    if (!m_journal)
        return true;
    if (!chooseJournalIds() || !m_journal->open()
        || !m_journal->startRun(m_report.server(), currentDestinationDB, dbList, m_keepReferences,
                                reportedCopyVariant(), m_journalRun)) {
        if (!m_stopFlag)
            reportError(tr("The merge journal cannot be written: %1").arg(m_journal->lastError()),
                        QStringLiteral("0"));
        return false;
    }
    PLOG_INFO << "merge journal " << m_journal->file() << ": run " << m_journalRun;
    return true;
}

void KvtMerger::endJournal()
{
    if (!m_journal)
        return;
    if (m_journalRun != 0 && !m_journal->finishRun(m_journalRun, MergeReport::statusText(m_report.status())))
        PLOG_ERROR << "merge journal: " << m_journal->lastError();
    m_journal->releaseConnection();
}

// RETURNING where the server has it; else consecutive IDs where the AUTO-INC lock is held
// for a whole INSERT ... SELECT (innodb_autoinc_lock_mode 0 or 1); else the per-row copy,
// which reads each row's own LAST_INSERT_ID().
bool KvtMerger::chooseJournalIds()
{
    KvtServerVersion version;
    QString error;
    if (!KvtServerVersion::read(m_db, version, error)) {
        reportError(error, QStringLiteral("0"));
        return false;
    }
    JournalIds ids = m_journalIds;
    if (ids == JournalIds::Returning && !version.hasInsertReturning())
        ids = JournalIds::Consecutive;
    if (ids == JournalIds::Consecutive) {
        QSqlQuery query(m_db);
        // MySQL 5.x and MariaDB without InnoDB's variable: the old default, 1.
        const int lockMode = query.exec(QStringLiteral("SELECT @@GLOBAL.innodb_autoinc_lock_mode")) && query.next()
                                 ? query.value(0).toInt()
                                 : 1;
        if (lockMode >= 2)
            ids = JournalIds::PerRow;
    }
    if (ids == JournalIds::PerRow && m_measurementCopy == MeasurementCopy::SetBased)
        PLOG_INFO << "the server names no rows of a set-based copy (innodb_autoinc_lock_mode 2 and no "
                     "INSERT ... RETURNING): the measurement tables are copied per row while journaling";
    m_journalIds = ids;
    return true;
}

// The row just inserted by the per-row path: its identifier (generated, bound or numbered)
// and its fingerprint as the server holds it.
bool KvtMerger::journalInsert(KvtPreparedQuery &query, const Bindings &values)
{
    const kvtTableName table = m_statements->sql().table();
    const QString placeholder = KvtSql::valuePlaceholder(KvtRowFingerprint::identifierColumn(table));
    QVariant id;
    if (KvtTable::of(table).idRule == IdRule::Generated)
        id = query.query().lastInsertId();
    for (const auto &value : values)
        if (value.first == placeholder)
            id = value.second;
    QHash<qlonglong, QString> prints;
    QString error;
    const qlonglong rowId = id.toLongLong();
    if (!KvtRowFingerprint::read(m_db, currentDestinationDB, table, {rowId}, prints, &error)) {
        reportError(error, QStringLiteral("0"));
        return false;
    }
    if (!KvtTable::of(table).isReference()) {
        m_journalBatch << qMakePair(rowId, prints.value(rowId));
        return m_journalBatch.size() < journalBatchRows || flushJournalBatch();
    }
    if (!m_journal->recordRows(m_journalRun, table, {{rowId, prints.value(rowId)}})) {
        reportError(tr("The merge journal cannot be written: %1").arg(m_journal->lastError()), QStringLiteral("0"));
        return false;
    }
    return true;
}

// The rows are journaled before the destination's transaction commits: a run killed in
// between leaves journaled rows the server rolled back (the undo finds them gone), never
// rows it does not know. One SQLite commit per batch instead of per row.
bool KvtMerger::flushJournalBatch()
{
    if (!m_batchOpen)
        return true;
    m_batchOpen = false;
    QVector<MergeJournal::Row> rows;
    rows.reserve(m_journalBatch.size());
    for (const auto &row : qAsConst(m_journalBatch))
        rows << MergeJournal::Row{row.first, row.second};
    m_journalBatch.clear();
    if (!m_journal->recordRows(m_journalRun, m_statements->sql().table(), rows)) {
        m_db.rollback();
        reportError(tr("The merge journal cannot be written: %1").arg(m_journal->lastError()), QStringLiteral("0"));
        return false;
    }
    if (!m_db.commit()) {
        const QSqlError error = m_db.lastError();
        reportError(error.text(), error.nativeErrorCode());
        return false;
    }
    return true;
}

// The copy variant as the report names it.
QString KvtMerger::reportedCopyVariant() const
{
    if (m_measurementCopy == MeasurementCopy::PerRow)
        return QStringLiteral("per_row");
    return m_copyVariant == CopyVariant::WindowFunctions ? QStringLiteral("set_based_window_functions")
                                                         : QStringLiteral("set_based_earlier_row_probe");
}

// Failed after an error, stopped when a merged table did not run to its end.
MergeReport::RunStatus KvtMerger::endStatus() const
{
    if (!m_report.errors().isEmpty())
        return MergeReport::RunStatus::Failed;
    for (const MergeReport::Source &source : m_report.sources())
        for (const MergeReport::TableCounts &t : source.tables)
            if (!source.skipped && t.status != MergeReport::TableStatus::Done)
                return MergeReport::RunStatus::Stopped;
    return MergeReport::RunStatus::Done;
}

MergeReport::TableCounts &KvtMerger::counts()
{
    return m_report.table(m_sourcePosition, m_statements->sql().table());
}

void KvtMerger::settleConflict(MergeReport::Decision decision, MergeReport::DecidedBy decidedBy,
                               const QString &newKey)
{
    QMutexLocker locker(&waitMutex);
    m_conflictSettled = true;
    m_settlement.decision = decision;
    m_settlement.decidedBy = decidedBy;
    m_settlement.newKey = newKey;
}

bool KvtMerger::openConnection()
{
    const KvtSqlStatus status = openKvtConnectionLike(m_connectionName);
    m_db = QSqlDatabase::database(m_connectionName, false);
    m_report.setServer(kvtServerName(m_db));
    if (!status)
        reportError(status.text(), status.code());
    return status.ok();
}

// Chooses the copy variant the server supports (one too old was refused on connecting),
// then checks, before anything is written, that the databases hold what the merge needs.
bool KvtMerger::checkServer()
{
    KvtServerVersion version;
    QString error;
    if (!KvtServerVersion::read(m_db, version, error)) {
        reportError(error, QStringLiteral("0"));
        return false;
    }
    PLOG_INFO << "server: " << version.describe();
    if (m_copyVariant == CopyVariant::WindowFunctions && !version.hasWindowFunctions()) {
        m_copyVariant = CopyVariant::EarlierRowProbe;
        PLOG_INFO << version.describe() << " has no window functions: equal rows within a chunk "
                  << "are found by a probe for an earlier row";
    }
    if (m_insertReturning && !version.hasInsertReturning()) {
        m_insertReturning = false;
        PLOG_INFO << version.describe() << " has no INSERT ... RETURNING: the identifiers of new people and "
                  << "factories are read back by their keys";
    }
    emit sendCopyVariant(copyVariantName());
    QStringList sources;
    for (const int position : MergeReport::mergedSources(currentDestinationDB, dbList))
        sources << dbList.at(position);
    const KvtSqlStatus ready = MergeCheck::run(m_db, currentDestinationDB, sources).status();
    if (!ready)
        reportError(ready.text(), ready.code());
    return ready.ok();
}

// The server frees a named lock when it has ended the session, which it does after the
// client has closed the connection, and a merge started at once (the thread has ended)
// could still find the lock taken. Released here, it is free when the thread ends. After
// a lost connection the release fails, and the server frees the lock with the session.
void KvtMerger::unlockDestination()
{
    if (!m_destinationLocked)
        return;
    m_destinationLocked = false;
    KvtPreparedQuery unlock(m_db, QStringLiteral("DO RELEASE_LOCK(%1)").arg(destinationLock));
    if (!unlock.exec({{QStringLiteral(":destination"), currentDestinationDB}}))
        PLOG_WARN << "the lock of " << currentDestinationDB << " was not released: "
                  << unlock.query().lastError().text();
}

void KvtMerger::closeConnection()
{
    unlockDestination();
    m_statements.reset();
    m_referenceMap.reset();
    m_db = QSqlDatabase();
    closeKvtConnection(m_connectionName);
}

bool KvtMerger::mergeDatabase(int position, int &errCode)
{
    const QString name = dbList.at(position);
    m_sourcePosition = position;
    setCurrentDataBaseSource(name);
    emit sendCurrentDB(name);
    startReferences();
    for (const kvtTableName table : stepOrder()) {
        const QString step = name + QLatin1Char('.') + KvtTable::of(table).name;
        emit setStatusText(m_keepReferences ? tr("%1 (keeping references consistent)").arg(step) : step);
        mergeTable(table, errCode);
        if (errCode == stepOk && !m_stopFlag)
            endReferenceSteps(table, errCode);
        if (errCode != stepOk || m_stopFlag)
            return false;
    }
    checkReferences(errCode);
    if (errCode != stepOk || m_stopFlag)
        return false;
    emit sendCurrentFinishedDB(name);
    return true;
}

void KvtMerger::mergeTable(kvtTableName param, int &errCode)
{
    if (m_stopFlag) {
        errCode = stepStopped;
        return;
    }
    if (errCode != stepOk)
        return;
    const KvtTableSql sql = KvtTableSql::forTable(param, currentDestinationDB);
    MergeReport::TableCounts &counts = m_report.table(m_sourcePosition, param);
    counts.status = MergeReport::TableStatus::Running;
    counts.rows = countRecSourceTable(sql.tableName(), errCode);
    if (errCode != stepOk)
        return;
    m_sourceKey.reset(new KvtSourceKey(m_db));
    if (!m_sourceKey->read(currentSourceDB, sql.tableName())) {
        getSqlErr(m_sourceKey->failedQuery());
        errCode = stepSourceError;
        return;
    }
    if (m_sourceKey->pageColumn().isEmpty())
        PLOG_INFO << "table " << currentSourceDB << "." << sql.tableName()
                  << " has no integer key without ties: it is read whole";
    m_statements.reset(new KvtTableStatements(m_db, sql));
    switch (param) {
    case tnDefectRef: queryFromSourceTableDefectRef(errCode); break;
    case tnDefects: mergeMeasurementTable(param, errCode); break;
    case tnDetTypes: queryFromSourceTableDetTypes(errCode); break;
    case tnDevice: queryFromSourceTableDevice(errCode); break;
    case tnFactory: queryFromSourceTableFactory(errCode); break;
    case tnGraphics: mergeMeasurementTable(param, errCode); break;
    case tnHumans: queryFromSourceTableHumans(errCode); break;
    case tnResults: queryFromSourceTableResults(errCode); break;
    case tnZones: queryFromSourceTableZones(errCode); break;
    }
    m_statements.reset();
    m_sourceKey.reset();
    if (errCode == stepOk)
        counts.status = MergeReport::TableStatus::Done;
}

// Both ways read the source in ID order when its ID allows it, so that they keep the same
// one of several equal rows and insert the copies in the same order.
void KvtMerger::mergeMeasurementTable(kvtTableName table, int &errCode)
{
    const KvtTableSql &sql = m_statements->sql();
    qulonglong before = 0;
    if (!mappingReferences() && !readInsertedEnd(table, before)) {
        errCode = stepRowError;
        return;
    }
    m_logged.clear();
    const bool setBased = m_measurementCopy == MeasurementCopy::SetBased
                          && (m_journalRun == 0 || m_journalIds != JournalIds::PerRow);
    if (!(setBased && m_sourceKey->usable() && copyOnServer(sql, *m_sourceKey, errCode))) {
        m_rowRelations = KvtRelations::among(sql.copiedColumns());
        m_rowPositions.clear();
        for (const KvtRelation &r : qAsConst(m_rowRelations))
            m_rowPositions << sql.copiedColumns().indexOf(r.column);
        m_rowCounts = ReferenceCounts();
        if (table == tnDefects)
            queryFromSourceTableDefects(errCode);
        else
            queryFromSourceTableGraphics(errCode);
        if (!flushJournalBatch() && errCode == stepOk)
            errCode = stepRowError;
        if (mappingReferences())
            addReferenceCounts(table, m_rowCounts.translated, m_rowCounts.mismatched);
    }
    qulonglong after = 0;
    if (errCode == stepOk && !mappingReferences() && readInsertedEnd(table, after))
        m_inserted.insert(table, qMakePair(before, after));
}

// False when the destination cannot take the set-based copy (the table is then copied per
// row). Progress counts the source rows handled, once per chunk; a stop is taken between
// chunks.
bool KvtMerger::copyOnServer(const KvtTableSql &sql, const KvtSourceKey &key, int &errCode)
{
    // Window functions only where every compared column is partitioned exactly.
    bool window = m_copyVariant == CopyVariant::WindowFunctions;
    for (const QString &column : sql.comparedColumns()) {
        const QString type = key.dataType(column);
        window = window && (type.isEmpty() || KvtChunkSql::isFixedSizeType(type));
    }
    KvtChunkedCopy copy(m_db, sql, currentSourceDB, currentDestinationDB, key.columns(),
                        window ? KvtChunkSql::EarlierDuplicates::Window
                               : KvtChunkSql::EarlierDuplicates::Probe);
    if (m_journalRun != 0)
        copy.setJournal(m_journal, m_journalRun,
                        m_journalIds == JournalIds::Returning ? KvtChunkedCopy::InsertedIds::Returning
                                                              : KvtChunkedCopy::InsertedIds::Consecutive);
    if (mappingReferences())
        copy.setTranslation(KvtReferenceSql::translation(
            *m_referenceMap, KvtRelations::among(sql.copiedColumns()), QStringLiteral("s")));
    switch (copy.open(m_chunkRows, m_chunkBytes)) {
    case KvtChunkedCopy::OpenResult::NotUsable:
        return false;
    case KvtChunkedCopy::OpenResult::Failed:
        getSqlErr(copy.failedQuery());
        errCode = stepSourceError;
        return true;
    case KvtChunkedCopy::OpenResult::Ready:
        break;
    }
    PLOG_INFO << tr(sql.description().processMessage);
    PLOG_DEBUG << "copied on the server, " << copy.chunkRows() << " rows a chunk, "
               << (window ? "window functions" : "earlier-row probe");
    copy.setFirstMismatchedRows(5);
    int handled = 0;
    while (!copy.atEnd()) {
        if (m_stopFlag) {
            errCode = stepStopped;
            break;
        }
        int rows = 0;
        if (!copy.copyNext(rows)) {
            if (copy.failedQuery())
                getSqlErr(copy.failedQuery());
            else
                reportError(tr("The merge journal cannot be written: %1").arg(copy.journalError()),
                            QStringLiteral("0"));
            errCode = stepRowError;
            break;
        }
        handled += rows;
        counts().inserted += copy.copiedRows();
        counts().present += rows - copy.copiedRows();
        emit sendProgressBarCurrentValue(handled);
    }
    // The references of the rows inserted, counted chunk by chunk.
    if (mappingReferences()) {
        for (const qlonglong id : copy.firstMismatched())
            logMismatch(sql.table(), tr("source ID %1").arg(id), QString(), QString(),
                        KvtReferenceSql::Mismatch::OtherContent);
        addReferenceCounts(sql.table(), copy.translatedRows(), copy.mismatchedRows());
    }
    return true;
}

int KvtMerger::countRecSourceTable(const QString &tbName, int &errCode)
{
    if (m_stopFlag) {
        errCode = stepStopped;
        return 0;
    }
    QSqlQuery query(m_db);
    if (!query.exec(QStringLiteral("SELECT COUNT(*) FROM ")
                    + PSqlIdentifier::qualified(currentSourceDB, tbName) + QLatin1Char(';'))) {
        getSqlErr(&query);
        errCode = stepSourceError;
        return 1;
    }
    const int rows = query.next() ? query.value(0).toInt() : 0;
    emit sendProgressBarMaxValue(rows);
    return rows;
}

void KvtMerger::readSourceTable(int &errCode)
{
    if (mergeReferencesOnServer(errCode))
        return;
    const KvtTable &table = m_statements->sql().description();
    PLOG_INFO << tr(table.processMessage);
    KvtSourceReader reader(m_db);
    if (!reader.open(currentSourceDB, table.name, m_sourceKey->pageColumn())) {
        getSqlErr(reader.query());
        errCode = stepSourceError;
        return;
    }
    reader.locate(table.columnNames());
    int counter = 0;
    while (reader.next()) {
        emit sendProgressBarCurrentValue(counter);
        if (m_stopFlag) {
            errCode = stepStopped;
            return;
        }
        if (!mergeRecord(recordOf(reader))) {
            errCode = stepRowError;
            return;
        }
        ++counter;
    }
    if (reader.failed()) {
        getSqlErr(reader.query());
        errCode = stepSourceError;
    }
}

// ---------------------------------------------------------------- errors

void KvtMerger::reportError(const QString &text, const QString &code)
{
    if (text.isEmpty())
        return;
    PLOG_ERROR << text << " code: " << code;
    m_report.addError(text);
    m_stopFlag = true;
    emit sqlErr(text, code);
    emit errHasOccured();
}

// ---------------------------------------------------------------- statements of one row

bool KvtMerger::countMatches(KvtPreparedQuery &query, const Bindings &values, int &count)
{
    if (!query.exec(values)) {
        getSqlErr(&query.query());
        return false;
    }
    count = query.firstInt();
    return true;
}

bool KvtMerger::execInsert(KvtPreparedQuery &query, const Bindings &values)
{
    if (m_journalRun != 0 && !m_batchOpen && !m_statements->sql().hasKey()) {
        if (!m_db.transaction()) {
            const QSqlError error = m_db.lastError();
            reportError(error.text(), error.nativeErrorCode());
            return false;
        }
        m_batchOpen = true;
    }
    if (query.exec(values)) {
        ++counts().inserted;
        m_rowInserted = true;
        return m_journalRun == 0 || journalInsert(query, values);
    }
    getSqlErr(&query.query());
    return false;
}

KvtMerger::ReferenceState KvtMerger::lookUpReference(const Bindings &sameRecord,
                                                     const Bindings &key)
{
    int count = 0;
    if (!countMatches(m_statements->sameRecordTest, sameRecord, count))
        return ReferenceState::Failed;
    if (count >= 1) {
        ++counts().present;
        return ReferenceState::Present;
    }
    if (!countMatches(m_statements->keyTest, key, count))
        return ReferenceState::Failed;
    return count < 1 ? ReferenceState::KeyFree : ReferenceState::KeyTaken;
}

// The worker waits until the GUI thread has settled the conflict and called
// resumeThread(), or a stop was requested. The flag is set and the signal emitted under
// the mutex, and the wait releases it, so a resume can neither be lost nor come from an
// earlier conflict. A conflict met after a stop request is left out unannounced.
bool KvtMerger::handOverConflict(const QString &keyColumn, const QString &key, const QString &sourceSelect)
{
    const KvtTableSql &sql = m_statements->sql();
    if (!KvtSqlName::isInteger(key)) {
        reportError(tr("Table %1.%2: the key %3 of a conflicting record is not an integer: \"%4\"")
                        .arg(currentSourceDB, sql.tableName(), keyColumn, key),
                    QStringLiteral("0"));
        return false;
    }
    MergeConflict conflict{sql.table(), keyColumn, key, currentSourceDB, currentDestinationDB, {}, {},
                           sourceSelect.isEmpty()
                               ? sql.conflictSelect(currentSourceDB, key, m_sourceKey ? m_sourceKey->columns() : QStringList())
                               : sourceSelect,
                           sql.conflictSelect(currentDestinationDB, key),
                           {m_journal, m_journalRun, currentDestinationDB}};
    // The records are read only for a listener of the value.
    static const QMetaMethod valueSignal = QMetaMethod::fromSignal(&KvtMerger::conflictHandedOver);
    const KvtSqlStatus read = isSignalConnected(valueSignal) ? conflict.readRecords(m_db) : KvtSqlStatus();
    if (!read) {
        reportError(read.text(), read.code());
        return false;
    }
    QMutexLocker locker(&waitMutex);
    if (m_stopFlag)
        return true;
    ++counts().conflicts;
    paused = true;
    m_conflictSettled = false;
    emit differentRecordsInTbs(conflict.table, conflict.sourceSelect, conflict.destinationSelect);
    emit conflictHandedOver(conflict);
    while (paused && !m_stopFlag)
        resumeCondition.wait(&waitMutex);
    paused = false;
    if (m_conflictSettled) {
        m_settlement.source = currentSourceDB;
        m_settlement.table = sql.table();
        m_settlement.key = key;
        m_report.addConflict(m_sourcePosition, m_settlement);
    }
    return true;
}

// ---------------------------------------------------------------- one source record

KvtTableSql::Values KvtMerger::recordOf(const KvtSourceReader &row) const
{
    const QVector<KvtColumn> &columns = m_statements->sql().description().columns;
    KvtTableSql::Values record;
    record.reserve(columns.size());
    for (int i = 0; i < columns.size(); ++i)
        record << (columns.at(i).binary ? QVariant(row.bytes(i)) : QVariant(row.text(i)));
    return record;
}

// A measurement record is appended unless an equal one is there. A reference record is
// left out when the destination holds the same record, inserted when its key is free,
// and otherwise handed over as a conflict.
bool KvtMerger::mergeRecord(const KvtTableSql::Values &record)
{
    if (mappingReferences() && !m_plainRecord)
        return mergeMapped(record);
    const KvtTableSql &sql = m_statements->sql();
    if (!sql.hasKey()) {
        int count = 0;
        if (!countMatches(m_statements->sameRecordTest, sql.sameRecordValues(record), count))
            return false;
        if (count >= 1) {
            ++counts().present;
            return true;
        }
        return insertRecord(record);
    }
    switch (lookUpReference(sql.sameRecordValues(record), sql.keyValues(record))) {
    case ReferenceState::Failed:
        return false;
    case ReferenceState::Present:
        return true;
    case ReferenceState::KeyFree:
        return insertRecord(record);
    case ReferenceState::KeyTaken:
        break;
    }
    const KvtTable &table = sql.description();
    return handOverConflict(table.keyColumn(), record.value(table.indexOf(table.keyColumn())).toString());
}

// The identifier follows the table's rule: copied, left to the destination's counter, or
// the destination's largest ID plus 1.
bool KvtMerger::insertRecord(const KvtTableSql::Values &record)
{
    const KvtTableSql &sql = m_statements->sql();
    Bindings values = sql.insertValues(record);
    if (sql.description().idRule == IdRule::NextAfterMax) {
        int maxId = 0;
        if (!countMatches(m_statements->maxId, {}, maxId))
            return false;
        values.append({KvtSql::valuePlaceholder(QStringLiteral("ID")), maxId + 1});
    }
    return execInsert(m_statements->insert, values);
}

// ---------------------------------------------------------------- the per-table steps

void KvtMerger::queryFromSourceTableDefects(int &errCode) { readSourceTable(errCode); }
void KvtMerger::queryFromSourceTableGraphics(int &errCode) { readSourceTable(errCode); }
void KvtMerger::queryFromSourceTableDefectRef(int &errCode) { readSourceTable(errCode); }
void KvtMerger::queryFromSourceTableDetTypes(int &errCode) { readSourceTable(errCode); }
void KvtMerger::queryFromSourceTableDevice(int &errCode) { readSourceTable(errCode); }
void KvtMerger::queryFromSourceTableFactory(int &errCode) { readSourceTable(errCode); }
void KvtMerger::queryFromSourceTableHumans(int &errCode) { readSourceTable(errCode); }
void KvtMerger::queryFromSourceTableResults(int &errCode) { readSourceTable(errCode); }
void KvtMerger::queryFromSourceTableZones(int &errCode) { readSourceTable(errCode); }

// The values in the order of the table's described columns (KvtTables).

bool KvtMerger::insertIntoTableDefects(
    const QString &fMyId, const QString &fDate, const QString &fDefectoscopistID,
    const QString &fVagNo, const QString &fDetTypeId, const QString &fDetNo,
    const QString &fDetParameter, const QString &fDefectNo, const QString &fZavNo,
    const QString &fProdYear, const QString &fTime, const QString &fZoneID,
    const QString &fResult, const QString &fDefectID, const QString &fDefectSize,
    const QString &fAmplitude, const QString &fPrinted, const QString &fCRC32,
    const QString &fDevice, const QString &fErrors)
{
    return !mergeRecord({fMyId, fDate, fDefectoscopistID, fVagNo, fDetTypeId, fDetNo, fDetParameter, fDefectNo,
                        fZavNo, fProdYear, fTime, fZoneID, fResult, fDefectID, fDefectSize, fAmplitude, fPrinted,
                        fCRC32, fDevice, fErrors});
}

bool KvtMerger::insertIntoTableGraphics(
    const QString &fVagNo, const QString &fDetNo, const QString &fZavNo,
    const QString &fProdYear, const QString &fDate, const QString &fDefectoscopistID,
    const QString &fDetTypeId, const QString &fTime, const QString &fDataType,
    const QString &fFieldType, const QString &fGradientType, const QString &fCountType,
    const QString &fCRC32, const QByteArray &fGraphic, const QString &fDevice,
    const QString &fPicture, const QString &fDetParameter, const QString &fDataId,
    const QString &fSynced, const QString &fErrors)
{
    return !mergeRecord({fVagNo, fDetNo, fZavNo, fProdYear, fDate, fDefectoscopistID, fDetTypeId, fTime, fDataType,
                        fFieldType, fGradientType, fCountType, fCRC32, fGraphic, fDevice, fPicture, fDetParameter,
                        fDataId, fSynced, fErrors});
}

bool KvtMerger::insertIntoTableDefectRef(const QString &fID, const QString &fShort, const QString &fName)
{
    return !mergeRecord({fID, fShort, fName});
}

bool KvtMerger::insertIntoTableDetTypesRef(const QString &fID, const QString &fShort, const QString &fName)
{
    return !mergeRecord({fID, fShort, fName});
}

bool KvtMerger::insertIntoTableResults(const QString &fID, const QString &fShort, const QString &fName)
{
    return !mergeRecord({fID, fShort, fName});
}

bool KvtMerger::insertIntoTableDevice(const QString &fID, const QString &fName)
{
    return !mergeRecord({fID, fName});
}

bool KvtMerger::insertIntoTableFactory(const QString &fID, const QString &fCod, const QString &fShort,
                                       const QString &fName)
{
    return !mergeRecord({fID, fCod, fShort, fName});
}

bool KvtMerger::insertIntoTableHumans(const QString &fID, QString fFamname, QString fFstName,
                                      QString fSecName, QString fFullName, QString fTabNo)
{
    return !mergeRecord({fID, fFamname, fFstName, fSecName, fFullName, fTabNo});
}

bool KvtMerger::insertIntoTableZones(const QString &fDetTypeZone, const QString &fID,
                                     const QString &fDetTypeId, const QString &fName)
{
    return !mergeRecord({fDetTypeZone, fID, fDetTypeId, fName});
}
