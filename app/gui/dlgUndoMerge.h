#ifndef DLGUNDOMERGE_H
#define DLGUNDOMERGE_H

#include "MergeJournal.h"
#include "MergeUndo.h"

#include <QDialog>
#include <QString>
#include <QVector>

namespace Ui {
class dlgUndoMerge;
}

// "Merge ▸ Undo a merge…": the journal's runs for the connected server (tvRuns, newest
// first), for the selected run what an undo would delete, restore and leave per table
// (tvPlan, with the reasons and the later runs in the way), and btnUndo, which asks once
// and then takes the run back (MergeUndo) on Qt's default connection. btnForget asks once
// and then forgets the server's runs that started before the day in dateForget.
class dlgUndoMerge : public QDialog
{
    Q_OBJECT

public:
    explicit dlgUndoMerge(QWidget *parent = nullptr);
    ~dlgUndoMerge() override;

    // Lists the journal's runs of the server ("host:port" as the connection was given);
    // the journal is the caller's and must outlive the dialog's use.
    void showRuns(MergeJournal *journal, const QString &server);
    // Drops the journal (it is about to be replaced) and closes the dialog.
    void forgetJournal();
    // The run selected in tvRuns; 0 when none.
    qlonglong selectedRun() const;

signals:
    // A run was taken back (wholly or in part).
    void undone(qlonglong run, bool complete);

private slots:
    void showPlan();
    void undoSelectedRun();
    void forgetOldRuns();

private:
    void createNecessaryObjects();
    void initWidgets();
    void initSlotSignal();
    void fillRuns();
    void fillPlan();

    Ui::dlgUndoMerge *m_ui;
    MergeJournal *m_journal = nullptr;
    QString m_server;
    QVector<MergeJournal::Run> m_runs;
    MergeUndo::Plan m_plan;
    bool m_hasPlan = false;
};

#endif // DLGUNDOMERGE_H
