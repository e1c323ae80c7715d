#ifndef KVTMERGER_H
#define KVTMERGER_H

#include "KvtMergeRun.h"
#include "KvtRunReport.h"
#include "KvtTables.h"
#include "MergeConflict.h"
#include "MergeReport.h"
#include "global_vars.h"

#include <QByteArray>
#include <QHash>
#include <QMutex>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QThread>
#include <QWaitCondition>

#include <atomic>
#include <memory>

class QSqlQuery;
class MergeJournal;
class KvtMergeSession;

// The thread that merges source databases into a destination database.
//
// For each source database (the destination's own name and repeats are skipped) it runs
// nine table steps: defects, graphics, defectref, dettypes, device, factory, results,
// humans, zones. A measurement record is appended unless an equal one is there; a
// reference record is left out when the destination holds the same record, inserted
// when its key is free, and otherwise handed to the GUI thread as a conflict.
//
// Use from the GUI thread:
//     merger.setStopFlag(false);
//     merger.setCurrentDataBaseDestination(destination);
//     merger.setDBList(sources);
//     merger.start(); merger.setPriority(QThread::LowestPriority);
// The worker opens its own connection with the parameters of Qt's default connection
// (which must be open) when run() starts, and closes it when run() ends. It shows
// nothing: it reports through the signals below, which reach the GUI thread queued.
//
// Conflict protocol: the worker emits differentRecordsInTbs() and conflictHandedOver()
// and blocks until
// resumeThread() is called, exactly once per conflict, on any thread. Meanwhile the GUI
// thread may read and write the destination on the default connection; the worker's
// next statement sees what was written. requestStop() stops the worker at its next check
// and ends a conflict wait as well; a conflict that arrives after it is left out.
//
// A source database is reported finished (sendCurrentFinishedDB) only when all nine
// steps ran to their end. A stop or an error ends the run: no later database is announced.
// Nothing is rolled back: rows inserted before a stop or an error stay.
//
// The thread, the stop and the conflict wait are this class's; the merge itself is a
// KvtMergeSession and its steps (KvtMergeSession.h), which run() makes on the worker's
// connection. The protected step functions below forward to it while run() merges.
class KvtMerger : public QThread, private KvtMergeEvents
{
    Q_OBJECT

public:
    // Values of a step's errCode; anything but stepOk ends the run.
    enum StepResult {
        stepOk = 0,
        stepSourceError = 1, // the source table could not be counted or read
        stepRowError = 2,    // a statement on the destination failed
        stepStopped = 3      // a stop was requested
    };

    // How the measurement tables (defects, graphics) are copied. SetBased copies them on
    // the server, chunk by chunk in source ID order, with the same result as PerRow, which
    // tests and inserts one source row at a time through this client and stays as the
    // reference. A source table without a usable integer ID, or a destination without an
    // ID counter, is copied per row either way.
    enum class MeasurementCopy { PerRow, SetBased };

    // How the set-based copy finds equal source rows within one chunk: with window
    // functions (ROW_NUMBER, for tables whose compared columns are numbers and dates) or
    // with a probe for an equal row with a smaller ID. The worker uses window functions
    // only where the server has them (KvtServerVersion), and says so in the log.
    enum class CopyVariant { WindowFunctions, EarlierRowProbe };

    // How the seven reference tables are merged. SetBased decides on the server, a batch
    // at a time in source primary-key order, which records are present, insertable or in
    // conflict, inserts the insertable ones of a batch in one statement, and ends the
    // batch at the first conflict, which goes through the per-row path (and the
    // operator's dialog); the next batch starts after it. The result is that of PerRow,
    // which reads and decides one record at a time and stays as the reference. A source
    // table without an integer primary key is merged per row either way, and so are the
    // zones in the mode "Keep references consistent" once a part type was re-keyed.
    enum class ReferenceMerge { PerRow, SetBased };

    // Size of one set-based chunk: at most this many rows, and for graphics about this
    // many bytes of signals (at least one row).
    static constexpr int defaultChunkRows = 5000;
    static constexpr qint64 defaultChunkBytes = 32 * 1024 * 1024;

    explicit KvtMerger(QObject *parent = nullptr);
    ~KvtMerger() override;

    // True while the worker waits for resumeThread() in a conflict.
    bool isPaused() const;
    bool stopFlag() const { return m_stopFlag; }
    // The standing choice of whoever settles this merger's conflicts (ConflictHandOver and
    // the window keep it current; any thread). Conflicts it leaves out without asking need
    // not stop a batch of reference records, and are not handed over: the worker records
    // them itself, as decided by `decidedBy` (the window's standing choice, the batch
    // mode's policy).
    void setStandingChoice(actionDiffRec choice,
                           MergeReport::DecidedBy decidedBy = MergeReport::DecidedBy::StandingChoice)
    {
        m_standingDecider = decidedBy;
        m_standingChoice = choice;
    }
    actionDiffRec standingChoice() const { return m_standingChoice; }
    QString currentDataBaseDestination() const { return currentDestinationDB; }
    QStringList dbNames() const { return dbList; }

    // Set before start(); the defaults are SetBased and the default chunk sizes.
    void setMeasurementCopy(MeasurementCopy mode) { m_measurementCopy = mode; }
    MeasurementCopy measurementCopy() const { return m_measurementCopy; }
    void setChunkSize(int rows, qint64 bytes = defaultChunkBytes);
    // Set before start(); the default is SetBased. A batch holds at most the chunk's rows.
    void setReferenceMerge(ReferenceMerge mode) { m_referenceMerge = mode; }
    ReferenceMerge referenceMerge() const { return m_referenceMerge; }
    // Whether the set-based path may take the identifiers the destination gave from the
    // insert itself (INSERT ... RETURNING, MariaDB 10.5 and later; the default) or reads
    // them back by key afterwards.
    void setInsertReturning(bool allowed) { m_insertReturning = allowed; }
    // The variant to use where the server allows it (default WindowFunctions); after the
    // worker has connected, copyVariant() is the one it uses.
    void setCopyVariant(CopyVariant variant) { m_copyVariant = variant; }
    CopyVariant copyVariant() const { return m_copyVariant; }
    // "per row", "set-based, window functions" or "set-based, earlier-row probe": how
    // this worker copies the measurement tables.
    QString copyVariantName() const;

    // What the last run did: counts per named source and table, settled conflicts,
    // errors, start, end and status. Read it once the thread has ended.
    const MergeReport &report() const { return m_report; }
    // How the conflict the worker waits on was settled; call it, on any thread, before
    // the resumeThread() that ends the wait. A conflict left without it (the merge is
    // stopped) is counted but not listed.
    void settleConflict(MergeReport::Decision decision, MergeReport::DecidedBy decidedBy,
                        const QString &newKey = QString());
    // The mode "Keep references consistent" (off by default; set before start()): each
    // source's reference tables are merged before its measurement tables, and the
    // measurement rows are written with the identifiers their reference records have in
    // the destination. Either way the worker counts, per source and measurement table, the
    // inserted rows whose references were translated, and those that name a record
    // missing in the source or the destination, or of other content in the two.
    void setKeepReferences(bool on) { m_keepReferences = on; }
    bool keepReferences() const { return m_keepReferences; }
    struct ReferenceCounts
    {
        qint64 translated = 0;
        qint64 mismatched = 0;
    };
    // Counts of the last run; zero for a table not (yet) merged.
    ReferenceCounts referenceCounts(const QString &source, kvtTableName table) const;

    // The merge journal (none by default; set before start(), owned by the caller): the run
    // is recorded in it with every row it inserts, every record it replaces and every
    // record it adds under a new key. A run whose journal cannot be written stops with an
    // error before it writes anything.
    void setJournal(MergeJournal *journal) { m_journal = journal; }
    MergeJournal *journal() const { return m_journal; }
    // The journal's RUN_ID of the last run; 0 without a journal.
    qlonglong journalRun() const { return m_journalRun; }
    // How the set-based copy names the rows it inserted to the journal: by RETURNING where
    // the server has it, else read back in the chunk's transaction (tests force the latter).
    enum class JournalIds { Returning, ReadBack };
    void setJournalIds(JournalIds most) { m_journalIds = most; }
    JournalIds journalIds() const { return m_journalIds; }

    // Asks the worker to stop: sets the stop flag and wakes it if it waits in a conflict.
    // Any thread; the worker ends at its next check.
    void requestStop();

signals:
    void errHasOccured();
    void sqlErr(const QString &msg, const QString &code);
    void sendProgressBarCurrentValue(int val);
    void sendProgressBarMaxValue(int val);
    void sendCurrentDB(const QString &db);
    void sendCurrentFinishedDB(const QString &db);
    void differentRecordsInTbs(kvtTableName param, const QString &srcTb, const QString &destTb);
    // The same conflict as a value, emitted right after differentRecordsInTbs(); answer
    // one of the two (ConflictHandOver answers this one).
    void conflictHandedOver(const MergeConflict &conflict);
    void setStatusText(const QString &text);
    // A measurement table of a source has been merged and its references checked.
    void referencesChecked(const QString &source, kvtTableName table, qint64 translated, qint64 mismatched);
    // Once per run, after connecting: copyVariantName().
    void sendCopyVariant(const QString &variant);

public slots:
    void pauseThread();
    void resumeThread();
    void getSqlErr(QSqlQuery *q);
    void setStopFlag(bool param);
    void initDBList();
    void setDBList(const QStringList &dbList);
    void setCurrentDataBaseSource(const QString &dbName);
    void setCurrentDataBaseDestination(const QString &dbName);

protected:
    void run() override;

    // One table step; sets errCode (a StepResult) when it does not run to its end.
    void mergeTable(kvtTableName param, int &errCode);
    int countRecSourceTable(const QString &tbName, int &errCode);

    void queryFromSourceTableDefects(int &errCode);
    void queryFromSourceTableGraphics(int &errCode);
    void queryFromSourceTableDefectRef(int &errCode);
    void queryFromSourceTableDetTypes(int &errCode);
    void queryFromSourceTableDevice(int &errCode);
    void queryFromSourceTableFactory(int &errCode);
    void queryFromSourceTableHumans(int &errCode);
    void queryFromSourceTableResults(int &errCode);
    void queryFromSourceTableZones(int &errCode);

    // Each handles one source row (mergeRecord with the values in the order of the
    // table's described columns); true when a statement failed (or a conflict could not
    // be handed over) and the table's row loop must end.
    bool insertIntoTableDefects(const QString &fMyId, const QString &fDate,
                                const QString &fDefectoscopistID, const QString &fVagNo,
                                const QString &fDetTypeId, const QString &fDetNo,
                                const QString &fDetParameter, const QString &fDefectNo,
                                const QString &fZavNo, const QString &fProdYear,
                                const QString &fTime, const QString &fZoneID,
                                const QString &fResult, const QString &fDefectID,
                                const QString &fDefectSize, const QString &fAmplitude,
                                const QString &fPrinted, const QString &fCRC32,
                                const QString &fDevice, const QString &fErrors);
    bool insertIntoTableGraphics(const QString &fVagNo, const QString &fDetNo,
                                 const QString &fZavNo, const QString &fProdYear,
                                 const QString &fDate, const QString &fDefectoscopistID,
                                 const QString &fDetTypeId, const QString &fTime,
                                 const QString &fDataType, const QString &fFieldType,
                                 const QString &fGradientType, const QString &fCountType,
                                 const QString &fCRC32, const QByteArray &fGraphic,
                                 const QString &fDevice, const QString &fPicture,
                                 const QString &fDetParameter, const QString &fDataId,
                                 const QString &fSynced, const QString &fErrors);
    bool insertIntoTableDefectRef(const QString &fID, const QString &fShort, const QString &fName);
    bool insertIntoTableDetTypesRef(const QString &fID, const QString &fShort, const QString &fName);
    bool insertIntoTableDevice(const QString &fID, const QString &fName);
    bool insertIntoTableFactory(const QString &fID, const QString &fCod, const QString &fShort,
                                const QString &fName);
    bool insertIntoTableHumans(const QString &fID, QString fFamname, QString fFstName,
                               QString fSecName, QString fFullName, QString fTabNo);
    bool insertIntoTableResults(const QString &fID, const QString &fShort, const QString &fName);
    bool insertIntoTableZones(const QString &fDetTypeZone, const QString &fID,
                              const QString &fDetTypeId, const QString &fName);

private:
    // The session's events, emitted as the signals above.
    void sourceStarted(const QString &source) override;
    void sourceFinished(const QString &source) override;
    void stepStarted(const QString &status) override;
    void progressMaximum(int rows) override;
    void progress(int rows) override;
    void failed(const KvtSqlStatus &error) override;
    void referenceCountsAdded(const QString &source, kvtTableName table, qint64 translated,
                              qint64 mismatched) override;
    bool conflict(const QString &keyColumn, const QString &key, const QString &sourceSelect) override;
    bool conflictLeftOut(const QString &keyColumn, const QString &key) override;
    ConflictAnswer::Step conflictStep(kvtTableName table) const override;

    bool openConnection();
    bool checkServer();
    void closeConnection();
    bool mergeDatabase(int position, int &errCode);
    void readSourceTable(int &errCode);
    bool mergeRecord(const QVector<QVariant> &record);
    KvtMergeOptions options() const;
    QString reportedCopyVariant() const;
    void reportError(const QString &text, const QString &code);
    // sourceSelect: the source record as it is to be written, when that is not the
    // source's own record (a zone under a translated part type).
    bool handOverConflict(const QString &keyColumn, const QString &key, const QString &sourceSelect = QString());
    bool conflictKeyIsInteger(const QString &keyColumn, const QString &key);

    QString currentSourceDB;
    QString currentDestinationDB;
    QStringList dbList;
    QHash<QString, QString> mergedDBs;
    mutable QMutex waitMutex;
    QWaitCondition resumeCondition;
    bool paused = false;
    std::atomic<bool> m_stopFlag{false};
    std::atomic<actionDiffRec> m_standingChoice{adrAsk};
    std::atomic<MergeReport::DecidedBy> m_standingDecider{MergeReport::DecidedBy::StandingChoice};

    const QString m_connectionName;
    QSqlDatabase m_db;
    MeasurementCopy m_measurementCopy = MeasurementCopy::SetBased;
    ReferenceMerge m_referenceMerge = ReferenceMerge::SetBased;
    bool m_insertReturning = true; // cleared by checkServer() for a server without it
    int m_chunkRows = defaultChunkRows;
    qint64 m_chunkBytes = defaultChunkBytes;
    bool m_keepReferences = false;
    std::atomic<CopyVariant> m_copyVariant{CopyVariant::WindowFunctions};
    // The run in process: its steps, while run() merges.
    std::unique_ptr<KvtMergeSession> m_session;
    KvtRunReport m_runReport;
    MergeReport m_report;
    MergeJournal *m_journal = nullptr;
    qlonglong m_journalRun = 0;
    JournalIds m_journalIds = JournalIds::Returning;
    // The settlement of the conflict in hand, under waitMutex.
    bool m_conflictSettled = false;
    MergeReport::Conflict m_settlement;
};

#endif // KVTMERGER_H
