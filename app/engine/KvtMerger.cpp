#include "KvtMerger.h"

#include "CONST.h"
#include "KvtChunkedCopy.h"
#include "KvtSourceKey.h"
#include "KvtSourceReader.h"
#include "KvtSqlName.h"
#include "KvtTableStatements.h"
#include "PLog.h"
#include "PMySqlCharset.h"

#include <QMutexLocker>
#include <QSqlError>
#include <QSqlQuery>

namespace {

QString connectionNameFor(const KvtMerger *merger)
{
    return QStringLiteral("KvtMerger-%1").arg(reinterpret_cast<quintptr>(merger), 0, 16);
}

const char *processMessage(kvtTableName table)
{
    return table == tnDefects ? QT_TRANSLATE_NOOP("KvtMerger", "table \"defects\" in process")
                              : QT_TRANSLATE_NOOP("KvtMerger", "table \"graphic\" in process");
}

QString tableNameOf(kvtTableName table)
{
    return KvtTableSql::forTable(table, QString()).tableName();
}

} // namespace

KvtMerger::KvtMerger(QObject *parent)
    : QThread(parent)
    , m_connectionName(connectionNameFor(this))
{
    registerKvtMetaTypes();
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
    m_report.setCopyVariant(m_measurementCopy == MeasurementCopy::SetBased
                                ? QStringLiteral("set_based")
                                : QStringLiteral("per_row"));
    // The destination's own name and repeated names are skipped without a signal.
    const QVector<int> sources = MergeReport::mergedSources(currentDestinationDB, dbList);
    for (const int position : sources)
        mergedDBs.insert(dbList.at(position), dbList.at(position));
    if (!sources.isEmpty()) {
        if (openConnection()) {
            for (const int position : sources)
                if (m_stopFlag || !mergeDatabase(position, errCode))
                    break;
        }
        closeConnection();
    }
    m_report.finish(endStatus());
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
    PMySqlCharset::registerDriverCodec();
    m_db = QSqlDatabase::cloneDatabase(QString::fromLatin1(QSqlDatabase::defaultConnection),
                                       m_connectionName);
    m_report.setServer(m_db.hostName() + QLatin1Char(':') + QString::number(m_db.port()));
    m_db.setNumericalPrecisionPolicy(QSql::HighPrecision);
    if (!m_db.open()) {
        const QSqlError error = m_db.lastError();
        reportError(error.text().trimmed().isEmpty() ? tr("Cannot open a database connection")
                                                     : error.text(),
                    error.nativeErrorCode());
        return false;
    }
    QSqlError charsetError;
    if (!PMySqlCharset::switchToUtf8mb4(m_db, &charsetError)) {
        reportError(charsetError.text(), charsetError.nativeErrorCode());
        return false;
    }
    return true;
}

void KvtMerger::closeConnection()
{
    m_statements.reset();
    m_db.close();
    m_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(m_connectionName);
}

bool KvtMerger::mergeDatabase(int position, int &errCode)
{
    const QString name = dbList.at(position);
    m_sourcePosition = position;
    setCurrentDataBaseSource(name);
    emit sendCurrentDB(name);
    for (const kvtTableName table : MergeReport::tableOrder()) {
        emit setStatusText(name + QLatin1Char('.') + tableNameOf(table));
        mergeTable(table, errCode);
        if (errCode != stepOk || m_stopFlag)
            return false;
    }
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
    if (errCode == stepOk)
        counts.status = MergeReport::TableStatus::Done;
}

// Both ways read the source in ID order when its ID allows it, so that they keep the same
// one of several equal rows and number the copies alike.
void KvtMerger::mergeMeasurementTable(kvtTableName table, int &errCode)
{
    const KvtTableSql &sql = m_statements->sql();
    KvtSourceKey key(m_db);
    if (!key.read(currentSourceDB, sql.tableName())) {
        getSqlErr(key.failedQuery());
        errCode = stepSourceError;
        return;
    }
    if (m_measurementCopy == MeasurementCopy::SetBased && key.usable()
        && copyOnServer(sql, key.columns(), errCode))
        return;
    m_sourceOrder = key.usable() ? QStringLiteral("ID") : QString();
    if (table == tnDefects)
        queryFromSourceTableDefects(errCode);
    else
        queryFromSourceTableGraphics(errCode);
    m_sourceOrder.clear();
}

// False when the destination cannot take the set-based copy (the table is then copied per
// row). Progress counts the source rows handled, once per chunk; a stop is taken between
// chunks.
bool KvtMerger::copyOnServer(const KvtTableSql &sql, const QStringList &sourceColumns,
                             int &errCode)
{
    KvtChunkedCopy copy(m_db, sql, currentSourceDB, currentDestinationDB, sourceColumns);
    switch (copy.open(m_chunkRows, m_chunkBytes)) {
    case KvtChunkedCopy::NotUsable:
        return false;
    case KvtChunkedCopy::Failed:
        getSqlErr(copy.failedQuery());
        errCode = stepSourceError;
        return true;
    case KvtChunkedCopy::Ready:
        break;
    }
    PLOG_INFO << tr(processMessage(sql.table()));
    PLOG_DEBUG << "copied on the server, " << copy.chunkRows() << " rows a chunk";
    int handled = 0;
    while (!copy.atEnd()) {
        if (m_stopFlag) {
            errCode = stepStopped;
            return true;
        }
        int rows = 0;
        if (!copy.copyNext(rows)) {
            getSqlErr(copy.failedQuery());
            errCode = stepRowError;
            return true;
        }
        handled += rows;
        counts().inserted += copy.copiedRows();
        counts().present += rows - copy.copiedRows();
        emit sendProgressBarCurrentValue(handled);
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
                    + KvtSqlName::table(currentSourceDB, tbName) + QLatin1Char(';'))) {
        getSqlErr(&query);
        errCode = stepSourceError;
        return 1;
    }
    const int rows = query.next() ? query.value(0).toInt() : 0;
    emit sendProgressBarMaxValue(rows);
    return rows;
}

void KvtMerger::readSourceTable(const char *message, const QStringList &columns,
                                RowHandler handler, int &errCode)
{
    PLOG_INFO << tr(message);
    KvtSourceReader reader(m_db);
    if (!reader.open(currentSourceDB, m_statements->sql().tableName(), m_sourceOrder)) {
        getSqlErr(reader.query());
        errCode = stepSourceError;
        return;
    }
    reader.locate(columns);
    int counter = 0;
    while (reader.next()) {
        emit sendProgressBarCurrentValue(counter);
        if (m_stopFlag) {
            errCode = stepStopped;
            return;
        }
        if ((this->*handler)(reader)) {
            errCode = stepRowError;
            return;
        }
        ++counter;
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
    if (query.exec(values)) {
        ++counts().inserted;
        return true;
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
bool KvtMerger::handOverConflict(const QString &keyColumn, const QString &key)
{
    const KvtTableSql &sql = m_statements->sql();
    if (!KvtSqlName::isInteger(key)) {
        reportError(tr("Table %1.%2: the key %3 of a conflicting record is not an integer: \"%4\"")
                        .arg(currentSourceDB, sql.tableName(), keyColumn, key),
                    QStringLiteral("0"));
        return true;
    }
    const QString srcTb = sql.conflictSelect(currentSourceDB, key);
    const QString destTb = sql.conflictSelect(currentDestinationDB, key);
    QMutexLocker locker(&waitMutex);
    if (m_stopFlag)
        return false;
    ++counts().conflicts;
    paused = true;
    m_conflictSettled = false;
    emit differentRecordsInTbs(sql.table(), srcTb, destTb);
    while (paused && !m_stopFlag)
        resumeCondition.wait(&waitMutex);
    paused = false;
    if (m_conflictSettled) {
        m_settlement.source = currentSourceDB;
        m_settlement.table = sql.table();
        m_settlement.key = key;
        m_report.addConflict(m_sourcePosition, m_settlement);
    }
    return false;
}

// ---------------------------------------------------------------- measurement tables

void KvtMerger::queryFromSourceTableDefects(int &errCode)
{
    readSourceTable(processMessage(tnDefects), m_statements->sql().copiedColumns(),
                    &KvtMerger::defectsRow, errCode);
}

bool KvtMerger::defectsRow(const KvtSourceReader &r)
{
    return insertIntoTableDefects(r.text(0), r.text(1), r.text(2), r.text(3), r.text(4),
                                  r.text(5), r.text(6), r.text(7), r.text(8), r.text(9),
                                  r.text(10), r.text(11), r.text(12), r.text(13), r.text(14),
                                  r.text(15), r.text(16), r.text(17), r.text(18), r.text(19));
}

bool KvtMerger::insertIntoTableDefects(
    const QString &fMyId, const QString &fDate, const QString &fDefectoscopistID,
    const QString &fVagNo, const QString &fDetTypeId, const QString &fDetNo,
    const QString &fDetParameter, const QString &fDefectNo, const QString &fZavNo,
    const QString &fProdYear, const QString &fTime, const QString &fZoneID,
    const QString &fResult, const QString &fDefectID, const QString &fDefectSize,
    const QString &fAmplitude, const QString &fPrinted, const QString &fCRC32,
    const QString &fDevice, const QString &fErrors)
{
    int count = 0;
    const bool tested = countMatches(m_statements->sameRecordTest,
                                     {{QStringLiteral(":parMyId"), fMyId},
                                      {QStringLiteral(":parDate"), fDate},
                                      {QStringLiteral(":parTime"), fTime},
                                      {QStringLiteral(":parHuman"), fDefectoscopistID},
                                      {QStringLiteral(":parVagNo"), fVagNo},
                                      {QStringLiteral(":parDetTypeId"), fDetTypeId},
                                      {QStringLiteral(":parDetNo"), fDetNo},
                                      {QStringLiteral(":parZavNo"), fZavNo},
                                      {QStringLiteral(":parProdYear"), fProdYear},
                                      {QStringLiteral(":parDetParameter"), fDetParameter},
                                      {QStringLiteral(":parDefectNo"), fDefectNo},
                                      {QStringLiteral(":parZoneID"), fZoneID},
                                      {QStringLiteral(":parResult"), fResult},
                                      {QStringLiteral(":parDefectID"), fDefectID},
                                      {QStringLiteral(":parDefectSize"), fDefectSize},
                                      {QStringLiteral(":parAmplitude"), fAmplitude},
                                      {QStringLiteral(":parDevice"), fDevice}},
                                     count);
    if (!tested)
        return true;
    if (count >= 1) {
        ++counts().present;
        return false;
    }
    // :pID stays unbound: the destination generates the ID.
    return !execInsert(m_statements->insert,
                       {{QStringLiteral(":pMyId"), fMyId},
                        {QStringLiteral(":pDate"), fDate},
                        {QStringLiteral(":pDefectoscopistID"), fDefectoscopistID},
                        {QStringLiteral(":pVagNo"), fVagNo},
                        {QStringLiteral(":pDetTypeId"), fDetTypeId},
                        {QStringLiteral(":pDetNo"), fDetNo},
                        {QStringLiteral(":pDetParameter"), fDetParameter},
                        {QStringLiteral(":pDefectNo"), fDefectNo},
                        {QStringLiteral(":pZavNo"), fZavNo},
                        {QStringLiteral(":pProdYear"), fProdYear},
                        {QStringLiteral(":pTime"), fTime},
                        {QStringLiteral(":pZoneID"), fZoneID},
                        {QStringLiteral(":pResult"), fResult},
                        {QStringLiteral(":pDefectID"), fDefectID},
                        {QStringLiteral(":pDefectSize"), fDefectSize},
                        {QStringLiteral(":pAmplitude"), fAmplitude},
                        {QStringLiteral(":pPrinted"), fPrinted},
                        {QStringLiteral(":pCRC32"), fCRC32},
                        {QStringLiteral(":pDevice"), fDevice},
                        {QStringLiteral(":pErrors"), fErrors}});
}

void KvtMerger::queryFromSourceTableGraphics(int &errCode)
{
    readSourceTable(processMessage(tnGraphics), m_statements->sql().copiedColumns(),
                    &KvtMerger::graphicsRow, errCode);
}

bool KvtMerger::graphicsRow(const KvtSourceReader &r)
{
    return insertIntoTableGraphics(r.text(0), r.text(1), r.text(2), r.text(3), r.text(4),
                                   r.text(5), r.text(6), r.text(7), r.text(8), r.text(9),
                                   r.text(10), r.text(11), r.text(12), r.bytes(13), r.text(14),
                                   r.text(15), r.text(16), r.text(17), r.text(18), r.text(19));
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
    int count = 0;
    const bool tested = countMatches(m_statements->sameRecordTest,
                                     {{QStringLiteral(":parDate"), fDate},
                                      {QStringLiteral(":parTime"), fTime},
                                      {QStringLiteral(":parHuman"), fDefectoscopistID},
                                      {QStringLiteral(":parVagNo"), fVagNo},
                                      {QStringLiteral(":parDetNo"), fDetNo},
                                      {QStringLiteral(":parZavNo"), fZavNo},
                                      {QStringLiteral(":parProdYear"), fProdYear},
                                      {QStringLiteral(":parDetParameter"), fDetParameter},
                                      {QStringLiteral(":parDetTypeId"), fDetTypeId},
                                      {QStringLiteral(":parDevice"), fDevice},
                                      {QStringLiteral(":parGraphic"), fGraphic},
                                      {QStringLiteral(":parDataId"), fDataId}},
                                     count);
    if (!tested)
        return true;
    if (count >= 1) {
        ++counts().present;
        return false;
    }
    return !execInsert(m_statements->insert,
                       {{QStringLiteral(":pVagNo"), fVagNo},
                        {QStringLiteral(":pDetNo"), fDetNo},
                        {QStringLiteral(":pZavNo"), fZavNo},
                        {QStringLiteral(":pProdYear"), fProdYear},
                        {QStringLiteral(":pDate"), fDate},
                        {QStringLiteral(":pDefectoscopistID"), fDefectoscopistID},
                        {QStringLiteral(":pDetTypeId"), fDetTypeId},
                        {QStringLiteral(":pTime"), fTime},
                        {QStringLiteral(":pDataType"), fDataType},
                        {QStringLiteral(":pFieldType"), fFieldType},
                        {QStringLiteral(":pGradientType"), fGradientType},
                        {QStringLiteral(":pCountType"), fCountType},
                        {QStringLiteral(":pCRC32"), fCRC32},
                        {QStringLiteral(":pGraphic"), fGraphic},
                        {QStringLiteral(":pDevice"), fDevice},
                        {QStringLiteral(":pPicture"), fPicture},
                        {QStringLiteral(":pDetParameter"), fDetParameter},
                        {QStringLiteral(":pDataId"), fDataId},
                        {QStringLiteral(":pSynced"), fSynced},
                        {QStringLiteral(":pErrors"), fErrors}});
}

// ---------------------------------------------------------------- reference tables

namespace {
const QStringList idShortName{QStringLiteral("ID"), QStringLiteral("Short"), QStringLiteral("Name")};
} // namespace

void KvtMerger::queryFromSourceTableDefectRef(int &errCode)
{
    readSourceTable(QT_TR_NOOP("table \"defectref\" in process"), idShortName,
                    &KvtMerger::defectRefRow, errCode);
}

void KvtMerger::queryFromSourceTableDetTypes(int &errCode)
{
    readSourceTable(QT_TR_NOOP("table \"dettypes\" in process"), idShortName,
                    &KvtMerger::detTypesRow, errCode);
}

void KvtMerger::queryFromSourceTableResults(int &errCode)
{
    readSourceTable(QT_TR_NOOP("table \"results\" in process"), idShortName,
                    &KvtMerger::resultsRow, errCode);
}

void KvtMerger::queryFromSourceTableDevice(int &errCode)
{
    readSourceTable(QT_TR_NOOP("table \"device\" in process"),
                    {QStringLiteral("ID"), QStringLiteral("Name")}, &KvtMerger::deviceRow, errCode);
}

void KvtMerger::queryFromSourceTableFactory(int &errCode)
{
    readSourceTable(QT_TR_NOOP("table \"factory\" in process"),
                    {QStringLiteral("ID"), QStringLiteral("Cod"), QStringLiteral("Short"),
                     QStringLiteral("Name")},
                    &KvtMerger::factoryRow, errCode);
}

void KvtMerger::queryFromSourceTableHumans(int &errCode)
{
    readSourceTable(QT_TR_NOOP("table \"human\" in process"),
                    {QStringLiteral("ID"), QStringLiteral("Famname"), QStringLiteral("FstName"),
                     QStringLiteral("SecName"), QStringLiteral("FullName"), QStringLiteral("TabNo")},
                    &KvtMerger::humansRow, errCode);
}

void KvtMerger::queryFromSourceTableZones(int &errCode)
{
    readSourceTable(QT_TR_NOOP("table \"zones\" in process"),
                    {QStringLiteral("DetTypeZone"), QStringLiteral("ID"), QStringLiteral("DetTypeId"),
                     QStringLiteral("Name")},
                    &KvtMerger::zonesRow, errCode);
}

bool KvtMerger::defectRefRow(const KvtSourceReader &r)
{
    return insertIntoTableDefectRef(r.text(0), r.text(1), r.text(2));
}

bool KvtMerger::detTypesRow(const KvtSourceReader &r)
{
    return insertIntoTableDetTypesRef(r.text(0), r.text(1), r.text(2));
}

bool KvtMerger::resultsRow(const KvtSourceReader &r)
{
    return insertIntoTableResults(r.text(0), r.text(1), r.text(2));
}

bool KvtMerger::deviceRow(const KvtSourceReader &r)
{
    return insertIntoTableDevice(r.text(0), r.text(1));
}

bool KvtMerger::factoryRow(const KvtSourceReader &r)
{
    return insertIntoTableFactory(r.text(0), r.text(1), r.text(2), r.text(3));
}

bool KvtMerger::humansRow(const KvtSourceReader &r)
{
    return insertIntoTableHumans(r.text(0), r.text(1), r.text(2), r.text(3), r.text(4), r.text(5));
}

bool KvtMerger::zonesRow(const KvtSourceReader &r)
{
    return insertIntoTableZones(r.text(0), r.text(1), r.text(2), r.text(3));
}

bool KvtMerger::insertIntoTableDefectRef(const QString &fID, const QString &fShort,
                                         const QString &fName)
{
    return insertSimpleReference(fID, fShort, fName);
}

bool KvtMerger::insertIntoTableDetTypesRef(const QString &fID, const QString &fShort,
                                           const QString &fName)
{
    return insertSimpleReference(fID, fShort, fName);
}

bool KvtMerger::insertIntoTableResults(const QString &fID, const QString &fShort,
                                       const QString &fName)
{
    return insertSimpleReference(fID, fShort, fName);
}

// defectref, dettypes and results: key ID, the record keeps its source ID.
bool KvtMerger::insertSimpleReference(const QString &fID, const QString &fShort,
                                      const QString &fName)
{
    switch (lookUpReference({{QStringLiteral(":parID"), fID},
                             {QStringLiteral(":parShort"), fShort},
                             {QStringLiteral(":parName"), fName}},
                            {{QStringLiteral(":parID"), fID}})) {
    case ReferenceState::Failed:
        return true;
    case ReferenceState::Present:
        return false;
    case ReferenceState::KeyFree:
        return !execInsert(m_statements->insert, {{QStringLiteral(":pID"), fID},
                                                  {QStringLiteral(":pShort"), fShort},
                                                  {QStringLiteral(":pName"), fName}});
    case ReferenceState::KeyTaken:
        break;
    }
    return handOverConflict(QStringLiteral("ID"), fID);
}

bool KvtMerger::insertIntoTableDevice(const QString &fID, const QString &fName)
{
    switch (lookUpReference({{QStringLiteral(":parID"), fID}, {QStringLiteral(":parName"), fName}},
                            {{QStringLiteral(":parID"), fID}})) {
    case ReferenceState::Failed:
        return true;
    case ReferenceState::Present:
        return false;
    case ReferenceState::KeyFree:
        return !execInsert(m_statements->insert,
                           {{QStringLiteral(":pID"), fID}, {QStringLiteral(":pName"), fName}});
    case ReferenceState::KeyTaken:
        break;
    }
    return handOverConflict(QStringLiteral("ID"), fID);
}

// Key Cod; the destination generates the ID, the source's fID is not used.
bool KvtMerger::insertIntoTableFactory(const QString &fID, const QString &fCod,
                                       const QString &fShort, const QString &fName)
{
    Q_UNUSED(fID)
    switch (lookUpReference({{QStringLiteral(":parCod"), fCod},
                             {QStringLiteral(":parShort"), fShort},
                             {QStringLiteral(":parName"), fName}},
                            {{QStringLiteral(":parCod"), fCod}})) {
    case ReferenceState::Failed:
        return true;
    case ReferenceState::Present:
        return false;
    case ReferenceState::KeyFree:
        return !execInsert(m_statements->insert, {{QStringLiteral(":pCod"), fCod},
                                                  {QStringLiteral(":pShort"), fShort},
                                                  {QStringLiteral(":pName"), fName}});
    case ReferenceState::KeyTaken:
        break;
    }
    return handOverConflict(QStringLiteral("Cod"), fCod);
}

// Key TabNo; a new person gets the destination's largest ID plus one, fID is not used.
bool KvtMerger::insertIntoTableHumans(const QString &fID, QString fFamname, QString fFstName,
                                      QString fSecName, QString fFullName, QString fTabNo)
{
    Q_UNUSED(fID)
    switch (lookUpReference({{QStringLiteral(":parFamname"), fFamname},
                             {QStringLiteral(":parFstName"), fFstName},
                             {QStringLiteral(":parSecName"), fSecName},
                             {QStringLiteral(":parFullName"), fFullName},
                             {QStringLiteral(":parTabNo"), fTabNo}},
                            {{QStringLiteral(":parTabNo"), fTabNo}})) {
    case ReferenceState::Failed:
        return true;
    case ReferenceState::Present:
        return false;
    case ReferenceState::KeyFree: {
        int maxId = 0;
        if (!countMatches(m_statements->maxId, {}, maxId))
            return true;
        return !execInsert(m_statements->insert, {{QStringLiteral(":pID"), maxId + 1},
                                                  {QStringLiteral(":pFamname"), fFamname},
                                                  {QStringLiteral(":pFstName"), fFstName},
                                                  {QStringLiteral(":pSecName"), fSecName},
                                                  {QStringLiteral(":pFullName"), fFullName},
                                                  {QStringLiteral(":pTabNo"), fTabNo}});
    }
    case ReferenceState::KeyTaken:
        break;
    }
    return handOverConflict(QStringLiteral("TabNo"), fTabNo);
}

// Key DetTypeZone; the record keeps all four source values.
bool KvtMerger::insertIntoTableZones(const QString &fDetTypeZone, const QString &fID,
                                     const QString &fDetTypeId, const QString &fName)
{
    switch (lookUpReference({{QStringLiteral(":parDetTypeZone"), fDetTypeZone},
                             {QStringLiteral(":parID"), fID},
                             {QStringLiteral(":parDetTypeId"), fDetTypeId},
                             {QStringLiteral(":parName"), fName}},
                            {{QStringLiteral(":parDetTypeZone"), fDetTypeZone}})) {
    case ReferenceState::Failed:
        return true;
    case ReferenceState::Present:
        return false;
    case ReferenceState::KeyFree:
        return !execInsert(m_statements->insert,
                           {{QStringLiteral(":pDetTypeZone"), fDetTypeZone},
                            {QStringLiteral(":pID"), fID},
                            {QStringLiteral(":pDetTypeId"), fDetTypeId},
                            {QStringLiteral(":pName"), fName}});
    case ReferenceState::KeyTaken:
        break;
    }
    return handOverConflict(QStringLiteral("DetTypeZone"), fDetTypeZone);
}
