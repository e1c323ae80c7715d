#include "KvtMerger.h"

#include "ConflictAnswer.h"
#include "KvtConnection.h"
#include "KvtMergeSession.h"
#include "KvtServerVersion.h"
#include "KvtSourceKey.h"
#include "KvtSqlName.h"
#include "KvtTableSql.h"
#include "MergeCheck.h"
#include "MergeJournal.h"
#include "PLog.h"

#include <QMetaMethod>
#include <QMutexLocker>
#include <QSqlError>
#include <QSqlQuery>

namespace {

QString connectionNameFor(const KvtMerger *merger)
{
    return QStringLiteral("KvtMerger-%1").arg(reinterpret_cast<quintptr>(merger), 0, 16);
}

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
    m_runReport.reset();
    m_journalRun = 0;
    // The destination's own name and repeated names are skipped without a signal.
    const QVector<int> sources = MergeReport::mergedSources(currentDestinationDB, dbList);
    for (const int position : sources)
        mergedDBs.insert(dbList.at(position), dbList.at(position));
    KvtRunJournal journal(m_journal);
    if (!sources.isEmpty()) {
        if (openConnection() && checkServer()) {
            m_session.reset(new KvtMergeSession(m_db, currentDestinationDB, m_report, m_runReport, journal, *this,
                                                m_stopFlag, options()));
            const bool started = m_session->start(dbList, reportedCopyVariant(), KvtRunJournal::Ids(m_journalIds));
            m_journalRun = journal.run();
            if (m_journal) // the two enums name the same ways in the same order
                m_journalIds = JournalIds(journal.ids());
            if (started) {
                m_report.setCopyVariant(reportedCopyVariant());
                for (const int position : sources)
                    if (m_stopFlag || !mergeDatabase(position, errCode))
                        break;
            }
        }
        closeConnection();
    }
    m_runReport.finish(m_report, sources, dbList);
    journal.finish(m_report.status());
}

// The copy variant as the report names it.
QString KvtMerger::reportedCopyVariant() const
{
    if (m_measurementCopy == MeasurementCopy::PerRow)
        return QStringLiteral("per_row");
    return m_copyVariant == CopyVariant::WindowFunctions ? QStringLiteral("set_based_window_functions")
                                                         : QStringLiteral("set_based_earlier_row_probe");
}

KvtMerger::ReferenceCounts KvtMerger::referenceCounts(const QString &source, kvtTableName table) const
{
    const KvtRunReport::Counts counts = m_runReport.referenceCounts(source, table);
    return ReferenceCounts{counts.translated, counts.mismatched};
}

KvtMergeOptions KvtMerger::options() const
{
    KvtMergeOptions options;
    options.setBasedMeasurements = m_measurementCopy == MeasurementCopy::SetBased;
    options.setBasedReferences = m_referenceMerge == ReferenceMerge::SetBased;
    options.windowFunctions = m_copyVariant == CopyVariant::WindowFunctions;
    options.insertReturning = m_insertReturning;
    options.keepReferences = m_keepReferences;
    options.chunkRows = m_chunkRows;
    options.chunkBytes = m_chunkBytes;
    return options;
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
        reportError(error, KvtSqlStatus::ownCode());
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

// The session releases the destination's lock as it ends.
void KvtMerger::closeConnection()
{
    m_session.reset();
    m_db = QSqlDatabase();
    closeKvtConnection(m_connectionName);
}

bool KvtMerger::mergeDatabase(int position, int &errCode)
{
    if (!m_session->mergeSource(dbList.at(position), position)) {
        if (errCode == stepOk)
            errCode = m_stopFlag ? stepStopped : stepRowError;
        return false;
    }
    return true;
}

// ---------------------------------------------------------------- the session's events

void KvtMerger::sourceStarted(const QString &source)
{
    setCurrentDataBaseSource(source);
    emit sendCurrentDB(source);
}

void KvtMerger::sourceFinished(const QString &source)
{
    emit sendCurrentFinishedDB(source);
}

void KvtMerger::stepStarted(const QString &status)
{
    emit setStatusText(status);
}

void KvtMerger::progressMaximum(int rows)
{
    emit sendProgressBarMaxValue(rows);
}

void KvtMerger::progress(int rows)
{
    emit sendProgressBarCurrentValue(rows);
}

void KvtMerger::failed(const KvtSqlStatus &error)
{
    reportError(error.text(), error.code());
}

void KvtMerger::referenceCountsAdded(const QString &source, kvtTableName table, qint64 translated,
                                     qint64 mismatched)
{
    emit referencesChecked(source, table, translated, mismatched);
}

bool KvtMerger::conflict(const QString &keyColumn, const QString &key, const QString &sourceSelect)
{
    return handOverConflict(keyColumn, key, sourceSelect);
}

bool KvtMerger::conflictKeyIsInteger(const QString &keyColumn, const QString &key)
{
    if (KvtSqlName::isInteger(key))
        return true;
    reportError(tr("Table %1.%2: the key %3 of a conflicting record is not an integer: \"%4\"")
                    .arg(currentSourceDB, m_session->run().sql().tableName(), keyColumn, key),
                KvtSqlStatus::ownCode());
    return false;
}

// Recorded as a settler would record it, without reading the two records or waking the
// settler's thread: a standing "leave out" writes nothing.
bool KvtMerger::conflictLeftOut(const QString &keyColumn, const QString &key)
{
    if (!conflictKeyIsInteger(keyColumn, key))
        return false;
    if (m_stopFlag)
        return true;
    KvtMergeRun &run = m_session->run();
    ++run.counts().conflicts;
    MergeReport::Conflict settled;
    settled.source = currentSourceDB;
    settled.table = run.sql().table();
    settled.key = key;
    settled.decision = MergeReport::Decision::LeftOut;
    settled.decidedBy = m_standingDecider;
    m_report.addConflict(run.sourcePosition, settled);
    PLOG_INFO << "conflict in" << MergeConflict::where(currentSourceDB, settled.table, key)
              << "settled:" << MergeReport::decisionText(settled.decision);
    return true;
}

ConflictAnswer::Step KvtMerger::conflictStep(kvtTableName table) const
{
    return ConflictAnswer::stepFor(table, m_standingChoice);
}

// ---------------------------------------------------------------- the steps, forwarded

namespace {

int stepCode(KvtStepResult result)
{
    switch (result) {
    case KvtStepResult::Done: return KvtMerger::stepOk;
    case KvtStepResult::SourceError: return KvtMerger::stepSourceError;
    case KvtStepResult::RowError: return KvtMerger::stepRowError;
    case KvtStepResult::Stopped: return KvtMerger::stepStopped;
    }
    return KvtMerger::stepRowError;
}

} // namespace

void KvtMerger::mergeTable(kvtTableName param, int &errCode)
{
    if (m_stopFlag) {
        errCode = stepStopped;
        return;
    }
    if (errCode == stepOk && m_session)
        errCode = stepCode(m_session->mergeTable(param));
}

int KvtMerger::countRecSourceTable(const QString &tbName, int &errCode)
{
    if (!m_session)
        return 0;
    const KvtMergeSession::SourceRows rows = m_session->countSourceRows(tbName);
    if (rows.result != KvtStepResult::Done)
        errCode = stepCode(rows.result);
    return rows.rows;
}

void KvtMerger::queryFromSourceTableDefects(int &errCode) { readSourceTable(errCode); }
void KvtMerger::queryFromSourceTableGraphics(int &errCode) { readSourceTable(errCode); }
void KvtMerger::queryFromSourceTableDefectRef(int &errCode) { readSourceTable(errCode); }
void KvtMerger::queryFromSourceTableDetTypes(int &errCode) { readSourceTable(errCode); }
void KvtMerger::queryFromSourceTableDevice(int &errCode) { readSourceTable(errCode); }
void KvtMerger::queryFromSourceTableFactory(int &errCode) { readSourceTable(errCode); }
void KvtMerger::queryFromSourceTableHumans(int &errCode) { readSourceTable(errCode); }
void KvtMerger::queryFromSourceTableResults(int &errCode) { readSourceTable(errCode); }
void KvtMerger::queryFromSourceTableZones(int &errCode) { readSourceTable(errCode); }

// The step in hand's source table; outside a step there is none to read.
void KvtMerger::readSourceTable(int &errCode)
{
    if (m_session && m_session->run().inTable())
        errCode = stepCode(m_session->readSourceTable());
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

// ---------------------------------------------------------------- a conflict

// The worker waits until the GUI thread has settled the conflict and called
// resumeThread(), or a stop was requested. The flag is set and the signal emitted under
// the mutex, and the wait releases it, so a resume can neither be lost nor come from an
// earlier conflict. A conflict met after a stop request is left out unannounced.
bool KvtMerger::handOverConflict(const QString &keyColumn, const QString &key, const QString &sourceSelect)
{
    if (!conflictKeyIsInteger(keyColumn, key))
        return false;
    KvtMergeRun &run = m_session->run();
    const KvtTableSql &sql = run.sql();
    MergeConflict conflict{sql.table(), keyColumn, key, currentSourceDB, currentDestinationDB, {}, {},
                           sourceSelect.isEmpty() ? sql.conflictSelect(currentSourceDB, key, run.sourceKey().columns())
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
    ++run.counts().conflicts;
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
        m_report.addConflict(run.sourcePosition, m_settlement);
    }
    return true;
}

// ---------------------------------------------------------------- one source record

// The values in the order of the table's described columns (KvtTables); each true when
// the record could not be merged.

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

// The record through the step in hand; false outside a step.
bool KvtMerger::mergeRecord(const QVector<QVariant> &record)
{
    return m_session && m_session->run().inTable() && m_session->rows().mergeRecord(record)
           && m_session->rows().flushJournal();
}
