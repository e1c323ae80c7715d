// "Merge ▸ Undo a merge…" in the main window, headless and against the test server: a
// merge made with the button is listed for the connected server with its report file,
// the plan shows per table what goes, and "Undo this merge", once confirmed, leaves the
// destination as it was and the run marked undone; beside a merge into the destination it
// changes nothing and says so.

#include "KvtDestinationLock.h"
#include "KvtMessages.h"
#include "MergeJournal.h"
#include "ModalAnswerer.h"
#include "ShellTestSupport.h"
#include "TestDatabase.h"
#include "dlgUndoMerge.h"
#include "mainwin.h"

#include <QAction>
#include <QDateEdit>
#include <QSqlQuery>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QState>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

using namespace ShellTest;

class tst_UndoDialog : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void mergeIsListedPlannedAndUndone();
    void oldRunsAreForgottenOnceConfirmed();

private:
    bool m_server = false;
    QTemporaryDir m_home;
};

void tst_UndoDialog::initTestCase()
{
    m_server = TestDatabase::requireServer();
    if (!m_server)
        return;
    // The log, and with it the reports, go to a folder of the test's own.
    QVERIFY(openFixtureLoggingInto(m_home.path()));
}

void tst_UndoDialog::mergeIsListedPlannedAndUndone()
{
    if (!m_server)
        QSKIP("no server");
    const QString src = TestDatabase::uniqueName("undodlg_src");
    const QString dest = TestDatabase::uniqueName("undodlg_dest");
    QCOMPARE(createKvt(src), QString());
    QCOMPARE(createKvt(dest), QString());
    QCOMPARE(fillSmall(src, 1), QString());

    MainWin window;
    window.setJournalFile(m_home.filePath("journal.sqlite"));
    window.show();
    connectPanel(&window);
    child<QSpinBox>(&window, "spinTableSource")->setValue(1);
    sourceFields(&window).first()->setText(src);
    child<QLineEdit>(&window, "edToTable")->setText(dest);
    QSignalSpy finished(&window, &MainWin::mergeFinished);
    auto *idle = window.findChild<QState *>(QStringLiteral("btnStartMerge"));
    QTRY_VERIFY(idle->active());
    child<QPushButton>(&window, "btnMerge")->click();
    QVERIFY(finished.wait(120000));
    QCOMPARE(count(dest, "defects"), 2);

    auto *action = child<QAction>(&window, "actionUndoMerge");
    QCOMPARE(action->text(), QStringLiteral("Undo a merge…"));
    action->trigger();
    auto *dialog = window.findChild<dlgUndoMerge *>();
    QVERIFY(dialog->isVisible());
    auto *runs = child<QTableWidget>(dialog, "tvRuns");
    QCOMPARE(runs->rowCount(), 1);
    QCOMPARE(runs->item(0, 3)->text(), dest);
    QCOMPARE(runs->item(0, 4)->text(), src);
    MergeJournal::Run run;
    QVERIFY(window.journal()->run(runs->item(0, 0)->text().toLongLong(), run));
    QCOMPARE(run.reportFile, window.lastMergeReportFiles() + ".csv");

    auto *undo = child<QPushButton>(dialog, "btnUndo");
    QVERIFY(!undo->isEnabled());
    runs->selectRow(0);
    auto *plan = child<QTableWidget>(dialog, "tvPlan");
    QCOMPARE(plan->rowCount(), 9);
    QCOMPARE(plan->item(0, 0)->text(), QStringLiteral("defects"));
    QCOMPARE(plan->item(0, 1)->text(), QStringLiteral("2"));
    QVERIFY(child<QLabel>(dialog, "lblPlan")->text().contains("deletes 8 rows"));
    QVERIFY(undo->isEnabled());

    // Refused first: nothing happens; then confirmed.
    ModalAnswerer answerer;
    answerer.clickButton(QMessageBox::No);
    undo->click();
    QCOMPARE(count(dest, "defects"), 2);
    // Beside a merge into the destination (its lock held on another connection): a box
    // says so, and nothing changes.
    {
        KvtDestinationLock merging(TestDatabase::open("merging"), dest);
        QCOMPARE(merging.take(), KvtDestinationLock::Outcome::Taken);
        answerer.clickButton(QMessageBox::Yes);
        answerer.clickButton(QMessageBox::Ok);
        undo->click();
        QVERIFY(answerer.waitAnswered(3));
        QCOMPARE(answerer.lastText(), KvtMessages::destinationBusy(dest));
        QCOMPARE(count(dest, "defects"), 2);
        QCOMPARE(runs->item(0, 5)->text(), QString());
    }
    answerer.clear();
    answerer.clickButton(QMessageBox::Yes);
    answerer.clickButton(QMessageBox::Ok);
    undo->click();
    QVERIFY(answerer.waitAnswered(2));
    QCOMPARE(answerer.titles(), QStringList({"Undo a merge", "Undo a merge"}));
    QVERIFY2(answerer.lastText().startsWith("8 rows deleted, 0 records restored."), qPrintable(answerer.lastText()));
    for (const char *table : {"defects", "graphics", "results", "dettypes", "zones", "device", "humans"})
        QCOMPARE(count(dest, table), 0);
    QCOMPARE(runs->item(0, 5)->text(), QStringLiteral("undone"));
    drop({src, dest});
}

// "Forget runs before" asks first, then drops the server's runs that started before the
// day; with none that old it only says so.
void tst_UndoDialog::oldRunsAreForgottenOnceConfirmed()
{
    QTemporaryDir dir;
    MergeJournal journal(dir.filePath("journal.sqlite"));
    QVERIFY2(journal.open(), qPrintable(journal.lastError()));
    const QStringList started{"2026-01-10T02:30:00Z", "2026-02-10T02:30:00Z", "2026-12-01T02:30:00Z"};
    for (const QString &when : started) {
        qlonglong run = 0;
        QVERIFY(journal.startRun("db1:3306", "central", {"field"}, false, "set_based", run));
        QVERIFY(journal.recordRows(run, tnDefects, {{run, "f"}}));
        {
            QSqlDatabase file = QSqlDatabase::addDatabase("QSQLITE", "start-setter");
            file.setDatabaseName(journal.file());
            QVERIFY(file.open());
            QVERIFY(QSqlQuery(file).exec(QString("UPDATE runs SET started = '%1' WHERE id = %2").arg(when).arg(run)));
        }
        QSqlDatabase::removeDatabase("start-setter");
    }
    dlgUndoMerge dialog;
    dialog.showRuns(&journal, "db1:3306");
    dialog.show();
    auto *runs = child<QTableWidget>(&dialog, "tvRuns");
    QCOMPARE(runs->rowCount(), 3);
    auto *forget = child<QPushButton>(&dialog, "btnForget");
    auto *day = child<QDateEdit>(&dialog, "dateForget");

    ModalAnswerer answerer;
    day->setDate(QDate(2026, 1, 1));
    answerer.clickButton(QMessageBox::Ok);
    forget->click();
    QVERIFY(answerer.waitAnswered(1));
    QCOMPARE(answerer.lastTitle(), QStringLiteral("Forget merge runs"));
    QVERIFY2(answerer.lastText().startsWith("No run on db1:3306 started before"), qPrintable(answerer.lastText()));

    day->setDate(QDate(2026, 6, 1));
    answerer.clickButton(QMessageBox::No);
    forget->click();
    QVERIFY(answerer.waitAnswered(2));
    QCOMPARE(runs->rowCount(), 3);
    answerer.clickButton(QMessageBox::Yes);
    answerer.clickButton(QMessageBox::Ok);
    forget->click();
    QVERIFY(answerer.waitAnswered(4));
    QCOMPARE(answerer.titles(), QStringList({"Forget merge runs", "Forget merge runs", "Forget merge runs", "Forget merge runs"}));
    QVERIFY2(answerer.texts().at(2).startsWith("Forget the 2 runs on db1:3306 that started before "),
             qPrintable(answerer.texts().at(2)));
    QVERIFY2(answerer.texts().at(2).endsWith("They can no longer be undone."), qPrintable(answerer.texts().at(2)));
    QVERIFY2(answerer.lastText().startsWith("2 runs forgotten."), qPrintable(answerer.lastText()));
    QCOMPARE(runs->rowCount(), 1);
    QCOMPARE(runs->item(0, 0)->text(), QStringLiteral("3"));
    journal.releaseConnection();
}

QTEST_MAIN(tst_UndoDialog)
#include "tst_undodialog.moc"
