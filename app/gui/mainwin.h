#ifndef MAINWIN_H
#define MAINWIN_H

#include "ConflictSettler.h"
#include "MergeReport.h"
#include "global_vars.h"

#include <QMainWindow>
#include <QStateMachine>
#include <QString>
#include <QStringList>
#include <QVector>

#include <memory>

class KvtMerger;
class PSqlDBAccess;
class PSqlErrors;
class PSqlService;
class QAbstractItemModel;
class QCloseEvent;
class QCompleter;
class QDialog;
class QEvent;
class QLabel;
class QLineEdit;
class QSignalTransition;
class QState;
class dlgDiffRecordsCompare;
class dlgMergePreview;
class dlgMergeReport;
class dlgUndoMerge;
class MergeJournal;

namespace Ui {
class MainWin;
}

// The program's only main window. Built in fixed steps after setupUi:
// createNecessaryObjects, initWidgets, initSlotSignal.
//
// The upper half is the connection panel: it opens the program's one database
// connection (DBAccess) and offers the server's database names in a completer. The
// lower half names the source databases and the destination and starts, follows and
// stops a merge: btnMerge is driven by a two-state machine ("Merge databases" /
// "Stop process"); entering the running state starts the worker thread, leaving it sets
// the worker's stop flag. Conflicting reference records are settled by the operator's
// standing choice or in the comparison dialog while the worker waits.
class MainWin : public QMainWindow, private ConflictSettler
{
    Q_OBJECT

public:
    // Modes of the size rule: idle (fields x 20 + 260) and merging, with the progress bar
    // shown (fields x 25 + 270); both bases grow by the menu bar's height. The width is
    // always 350.
    enum mwSize {
        mwsIdle = 0,
        mwsMerging = 1
    };
    Q_ENUM(mwSize)

    explicit MainWin(QWidget *parent = nullptr);
    ~MainWin() override;

signals:
    // Moves the merge button's state machine back to its idle state.
    void mergeFinished();

public slots:
    // Validates the connection and the fields, locks the inputs and starts the worker;
    // emits mergeFinished() instead when something is missing.
    void startMerge();
    // Asks the worker to stop (KvtMerger::requestStop); it ends at its next check.
    void stopMergeProc();
    void initWidgets();
    void createNecessaryObjects();
    void initSlotSignal(QWidget *parent);
    // Checks driver, database name and host (in this order), then connects and fills
    // the completer with the server's databases.
    void createConnection();
    // Fills the driver box and selects current_driver (empty: SQLDRIVER) when listed.
    void initDBDriverList(QString current_driver);
    void getCurrentDB(const QString &db);
    // Marks the source field of a finished database green.
    void getCurrentFinishedDB(const QString &db);
    // Enables or locks the inputs (btnMerge stays usable) and applies the size rule.
    void guiEnabled(bool param);
    // Replaces the source fields by `count` empty ones, "edTableSource_1".., added in order
    // to layoutTableSource below label_2, each with the completer, and fixes the idle
    // size. Nothing for 0.
    void createTableSource(int count);
    // Enables or disables the source fields; enabling also gives each the palette of
    // edToTable (which removes the finished colour).
    void editSrcDBSetEnabled(bool param);
    // True (and "Please fill empty field") at the first empty source field, else when
    // the destination field is empty.
    bool editFieldsIsEmpty();
    // True when the program's connection is open; else "There are no open connections".
    bool dbConnectionIsActive();
    // On the worker thread's end: the window returns to idle and the standing choice
    // to adrAsk.
    void mergeIsFinished();
    // Fixes the window at 350 x (source fields x row height + base) for the mode;
    // any other mode changes nothing.
    void setMainWinSize(mwSize mode);
    // Critical box "Error": msg, a line break, "Code: " and code.
    void showLastSqlErr(const QString &msg, const QString &code);
    void setActionForDiffRecords(actionDiffRec action);
    // Gives the completer to every source field and to edToTable.
    void setCompleterForEditFields();
    void setStatusText(const QString &text);
    actionDiffRec getActionForDiffRecords() const;
    // A new list model over the names, owned by the completer.
    QAbstractItemModel *modelFromStringList(QStringList list);
    // After the same checks as the merge button, previews merging the sources in the
    // fields into the destination (dlgMergePreview).
    void showMergePreview();
    // The report of the last merge since the program started (dlgMergeReport).
    void showMergeReport();
    // The preview's "Merge databases": starts the merge as the merge button would.
    void startMergeFromPreview();

    // The journal merges are recorded in (the file in the settings, or KvtPaths').
    MergeJournal *journal() const { return m_journal.get(); }
    void setJournalFile(const QString &file);
    // The last merge's report and the base path of its files (empty: not written).
    const MergeReport &lastMergeReport() const { return m_lastReport; }
    QString lastMergeReportFiles() const { return m_lastReportFiles; }

protected:
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;

    // True while the worker thread runs; a close request is then ignored.
    virtual bool mergeIsRunning() const;

private slots:
    // The "Connection security…" dialog; accepted choices are kept in the settings and
    // used by the next connection.
    void showConnectionSecurity();
    // "Merge ▸ Undo a merge…": the journal's runs of the connected server (dlgUndoMerge).
    void showUndoMerge();
    // "Merge ▸ Journal file…": where merges are journaled (a file several users may
    // share), kept in the settings.
    void chooseJournalFile();

private:
    // The status line after a successful connection, naming the cipher when encrypted.
    QString connectedStatusText() const;
    // Makes the form fit the fixed sizes of the size rule (see mainwin.cpp).
    void fitFormToFixedSize();
    void createMergeButtonStates();
    void showInputProblem(const QString &boxText, const QString &statusText);
    // Settles one conflict the worker waits on (through ConflictHandOver): by the
    // standing choice, or in the dialog.
    ConflictSettlement settle(const MergeConflict &conflict) override;
    actionDiffRec standingChoice() const override { return getActionForDiffRecords(); }
    // The added record's key; empty when nothing was added.
    QString addUnderNewKey();
    void keepMergeReport();
    void showBeside(QDialog *dialog);
    void showNoKeyLeft();
    QStringList sourceDatabaseNames() const;
    // Stops a running worker and waits for its thread to end.
    void stopWorkerAndWait();

    Ui::MainWin *ui;
    PSqlErrors *sqlErrors;
    PSqlService *sqlService;
    PSqlDBAccess *m_sqlDBAccess;
    QLabel *m_lbStatus;
    QState *m_stStartMerge;
    QState *m_stStopMerge;
    QStateMachine m_mergeMachine;
    QSignalTransition *m_trMergeFinished;
    dlgDiffRecordsCompare *m_dlgDiffRecords;
    // The standing choice for conflicting records (an actionDiffRec).
    quint8 m_actionForDiffRecords;
    // What the operator chose in the dialog for the conflict in hand.
    ConflictSettlement m_operatorSettlement;
    QVector<QLineEdit *> m_tableSource;
    KvtMerger *merger;
    // The source database in process, as the worker last announced it.
    QString m_currentDB;
    QCompleter *completer;
    dlgMergePreview *m_dlgPreview = nullptr;
    dlgMergeReport *m_dlgReport = nullptr;
    dlgUndoMerge *m_dlgUndo = nullptr;
    std::unique_ptr<MergeJournal> m_journal;
    MergeReport m_lastReport;
    QString m_lastReportFiles;
    bool m_hasReport = false;
};

#endif // MAINWIN_H
