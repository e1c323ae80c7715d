#ifndef DLGDIFFRECORDSCOMPARE_H
#define DLGDIFFRECORDSCOMPARE_H

#include "KvtSqlStatus.h"
#include "MergeReport.h"
#include "global_vars.h"

#include <QDialog>
#include <QString>

#include <memory>

class ComparedRecordModel;
class ConflictResolver;
struct KvtTable;
class GridDelegate;
class PSqlErrors;
class QCloseEvent;
class QShowEvent;
class QSqlQueryModel;
class QTableView;

namespace Ui {
class dlgDiffRecordsCompare;
}

// Settles a conflicting reference record while the merge worker waits: shows the source
// record above the destination record of the same key and lets the operator replace the
// destination record, add the source record under a new key (through dlgAddNewRec, or
// dlgAddZones for zones) or leave it out; "Save choice for each event" makes the choice
// standing. It also holds the SQL that writes a standing choice's outcome when the main
// window settles a conflict without showing it.
//
// The SQL of a conflict is the engine's ConflictResolver; the dialog shows its failures.
//
// The main window builds one dialog, connects its signals (errHasOccured() to its stop,
// setActionDiffRec() to its standing choice, conflictSettled() to what it hands back to
// ConflictHandOver) and, for each conflict (the worker's MergeConflict):
//   1. if ConflictResolver::needsOperator(table, standing choice):
//      getSqlParameters(table, source DB, destination DB, source SELECT, destination
//      SELECT) (true: a query failed -> the merge stops), then exec(); the dialog emits
//      resumeThread() exactly once and never closes otherwise. This includes every zones
//      conflict under adrAddNew: a zone needs the operator's choice of part type;
//   2. otherwise setConflict() with the same values but the destination SELECT, and the
//      main window applies the standing choice through resolver(): nothing is shown.
// The worker's wait is ended by ConflictHandOver when the main window returns; a dialog
// used on its own (tests) may connect resumeThread() to the worker's resumeThread().
// Any failure emits errHasOccured(); after a failure nothing more is written for that
// conflict.
class dlgDiffRecordsCompare : public QDialog
{
    Q_OBJECT
public:
    explicit dlgDiffRecordsCompare(QWidget *parent = nullptr);
    ~dlgDiffRecordsCompare() override;

    // The conflict in hand, loaded by getSqlParameters().
    ConflictResolver *resolver() const { return m_resolver.get(); }

signals:
    void errHasOccured();
    void resumeThread();
    void setActionDiffRec(actionDiffRec action);
    // The operator settled the conflict in hand (sent before resumeThread()); newKey is
    // the key of an added record.
    void conflictSettled(MergeReport::Decision decision, MergeReport::DecidedBy decidedBy,
                         const QString &newKey);

public slots:
    void createNecessaryObjects();
    void initWidgets();
    // Connects the buttons.
    void initSlotSignal();
    // Takes a conflict for resolver(), without loading the grids.
    void setConflict(kvtTableName tbName, const QString &kvtSrcDB, const QString &kvtDestDB,
                     const QString &srcQuery);
    // Takes a conflict and loads it into both grids; true when one of the two queries
    // failed (the error has been shown and the shared connection closed).
    bool getSqlParameters(kvtTableName tbName, const QString &kvtSrcDB, const QString &kvtDestDB,
                          const QString &srcQuery, const QString &destQuery);
    void emitErrHasOccured();
    // The destination record takes the source record's values; its key stays.
    void updateDestinationRecord();
    // Adds the source record under the key `id` (from getMaxID()). Does nothing for zones.
    // The key is the operator's choice or the proposal.
    void insertInTable(const int &id);
    // The next free key of the conflict's table in the destination; 0 on failure.
    quint64 getMaxID();

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *obj, QEvent *event) override;

private slots:
    void mergeCancel();
    void mergeContinue();
    void mergeAddNewRec();
    void closeFalse();
    int createDlgNewRecID(const QString &tbName);
    void insertZones(const QString &idZoneDetType, const QString &currentIdDetType, const QString &idMax);
    int addRecordWithNewID();
    void setTableViewZones();
    void setTableViewDevice();
    void setTableViewHumans();
    void setTableViewResults();
    void setTableViewFactory();
    void setTableViewDetTypes();
    void setTableViewDefectRef();
    void setTableViewGeneralProperties();
    void tableViewColumnsToContent();
    void btnAddEnabled(bool param);

private:
    void finishConflict();
    void settle(MergeReport::Decision decision);
    void markDifferingCells();
    void setTableViewForCurrentTable();
    void setGridColumns(const KvtTable &table);
    int execAddNewRec(const QString &tbName);
    int execAddZone(const QString &tbName);

    // True for a success; otherwise shows the failure (box, log, connection closed) and
    // reports the error.
    bool succeeded(const KvtSqlStatus &status);

    Ui::dlgDiffRecordsCompare *ui;
    // While true, every request to close the window is refused.
    bool blockClose = true;
    // An error was reported during the conflict in hand: nothing more is written for it.
    bool m_conflictFailed = false;
    ComparedRecordModel *srcModel = nullptr;
    ComparedRecordModel *destModel = nullptr;
    // The key of the record added for the conflict in hand.
    QString m_addedKey;
    QTableView *tvSrcTable = nullptr;
    QTableView *tvDestTable = nullptr;
    GridDelegate *gridDelegate = nullptr;
    PSqlErrors *sqlErrors = nullptr;
    std::unique_ptr<ConflictResolver> m_resolver;
};

#endif // DLGDIFFRECORDSCOMPARE_H
