#include "ConflictAnswer.h"
#include "KvtTables.h"
#include "ShellTestSupport.h"
#include "TestDatabase.h"
#include "WidgetCreation.h"
#include "auxFunc.h"
#include "dbAccess.h"
#include "global_vars.h"
#include "mainwin.h"

#include "ModalAnswerer.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QState>
#include <QStateMachine>
#include <QTest>
#include <QThread>

using namespace ShellTest;

namespace {

const int mergeTimeoutMs = 120000;
const QColor finishedColor(128, 165, 71);

QString statusOf(MainWin &window)
{
    return child<QLabel>(&window, "lbStatus")->text();
}

QPushButton *mergeButton(MainWin &window)
{
    return child<QPushButton>(&window, "btnMerge");
}

QColor baseOf(QWidget *widget)
{
    return widget->palette().color(QPalette::Active, QPalette::Base);
}

// The button's state machine starts with the event loop: a click before is not seen.
bool clickMergeWhenReady(MainWin &window)
{
    auto *start = window.findChild<QState *>(QStringLiteral("btnStartMerge"));
    if (!start || !QTest::qWaitFor([&] { return start->active(); }))
        return false;
    mergeButton(window)->click();
    return true;
}

// Clicks "Merge databases" and waits until the window has returned to idle.
bool runMerge(MainWin &window)
{
    QSignalSpy finished(&window, &MainWin::mergeFinished);
    if (!clickMergeWhenReady(window))
        return false;
    return finished.wait(mergeTimeoutMs);
}

// The inputs a merge locks.
QList<QWidget *> lockedInputs(MainWin &window)
{
    return {child<QWidget>(&window, "spinTableSource"), child<QWidget>(&window, "cmbxDBDriver"),
            child<QWidget>(&window, "edHost"),          child<QWidget>(&window, "edUser"),
            child<QWidget>(&window, "edPassword"),      child<QWidget>(&window, "edPort"),
            child<QWidget>(&window, "btnConnect"),      child<QWidget>(&window, "edToTable")};
}

void checkIdle(MainWin &window, int fields)
{
    QCOMPARE(mergeButton(window)->text(), QStringLiteral("Merge databases"));
    QVERIFY(mergeButton(window)->isEnabled());
    QVERIFY(child<QProgressBar>(&window, "progressBar")->isHidden());
    QCOMPARE(window.size(), QSize(350, fields * 20 + 260 + ShellTest::menuBarHeight(&window)));
    for (QWidget *input : lockedInputs(window))
        QVERIFY2(input->isEnabled(), qPrintable(input->objectName()));
    QVERIFY(!child<QLineEdit>(&window, "edDBName")->isEnabled());
    const QColor base = baseOf(child<QLineEdit>(&window, "edToTable"));
    for (QLineEdit *field : sourceFields(&window)) {
        QVERIFY(field->isEnabled());
        QCOMPARE(baseOf(field), base);
    }
    QCOMPARE(window.getActionForDiffRecords(), adrAsk);
}

// What the window looked like while the worker waited in a conflict.
struct RunningView {
    int height = 0;
    QString buttonText;
    bool progressShown = false;
    bool closeRefused = false;
    QStringList enabledInputs;
    QStringList greenFields;
    QStringList enabledFields;
};

RunningView viewWhileRunning(MainWin &window)
{
    RunningView view;
    view.height = window.height();
    view.buttonText = mergeButton(window)->text();
    view.progressShown = !child<QProgressBar>(&window, "progressBar")->isHidden();
    view.closeRefused = !window.close();
    for (QWidget *input : lockedInputs(window))
        if (input->isEnabled())
            view.enabledInputs << input->objectName();
    for (QLineEdit *field : sourceFields(&window)) {
        if (baseOf(field) == finishedColor)
            view.greenFields << field->text();
        if (field->isEnabled())
            view.enabledFields << field->text();
    }
    return view;
}

QPushButton *dialogButton(QWidget *dialog, const char *name)
{
    return dialog->findChild<QPushButton *>(QString::fromLatin1(name));
}

} // namespace

class tst_MergeControl : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void conflictSteps_data();
    void conflictSteps();
    void buttonStates();
    void noConnection();
    void standingChoiceStored();
    void emptyFieldRefused();
    void mergeWithoutConflicts();
    void sqlErrorStopsMerge();
    void standingChoices_data();
    void standingChoices();
    void conflictInDialog();
    void stopDuringConflict();
    void conflictAfterStopLeftOut();
    void noKeyLeftForNewRecord();
    void destroyedWhileWorkerWaits();

private:
    bool m_server = false;
    QStringList m_created;
};

void tst_MergeControl::initTestCase()
{
    QCoreApplication::setApplicationName(QStringLiteral("kvtMergeDB"));
    initAppResources();
    m_server = TestDatabase::configured();
    if (m_server)
        QVERIFY(openFixture());
}

void tst_MergeControl::cleanupTestCase()
{
    if (m_server)
        drop(m_created);
}

void tst_MergeControl::conflictSteps_data()
{
    QTest::addColumn<int>("table");
    QTest::addColumn<int>("choice");
    QTest::addColumn<int>("step");
    using Step = ConflictAnswer::Step;
    for (int t : {tnDefectRef, tnDetTypes, tnFactory, tnHumans, tnResults, tnZones}) {
        const QByteArray name = QByteArray::number(t);
        QTest::newRow("skip " + name) << t << int(adrSkip) << int(Step::LeaveOut);
        QTest::newRow("replace " + name) << t << int(adrReplace) << int(Step::ReplaceDestination);
        QTest::newRow("ask " + name) << t << int(adrAsk) << int(Step::AskOperator);
        QTest::newRow("unknown choice " + name) << t << 7 << int(Step::AskOperator);
        if (t != tnZones)
            QTest::newRow("add " + name) << t << int(adrAddNew) << int(Step::AddUnderNewKey);
    }
    // A zone needs the operator's choice of part type; a device never asks.
    QTest::newRow("add zones") << int(tnZones) << int(adrAddNew) << int(Step::AskOperator);
    for (int c : {int(adrSkip), int(adrReplace), int(adrAddNew), int(adrAsk), 7})
        QTest::newRow(("device " + QByteArray::number(c)).constData()) << int(tnDevice) << c << int(Step::ReplaceDestination);
}

void tst_MergeControl::conflictSteps()
{
    QFETCH(int, table);
    QFETCH(int, choice);
    QFETCH(int, step);
    QCOMPARE(int(ConflictAnswer::stepFor(kvtTableName(table), actionDiffRec(choice))), step);
}

void tst_MergeControl::buttonStates()
{
    MainWin window;
    auto *start = window.findChild<QState *>(QStringLiteral("btnStartMerge"));
    auto *stop = window.findChild<QState *>(QStringLiteral("btnStopMerge"));
    QVERIFY(start);
    QVERIFY(stop);
    QVERIFY(start->machine());
    QCOMPARE(start->machine(), stop->machine());
    QTRY_VERIFY(start->active());
    QCOMPARE(mergeButton(window)->text(), QStringLiteral("Merge databases"));
    QCOMPARE(window.getActionForDiffRecords(), adrAsk);

    // mergeFinished() only leads back from the running state.
    emit window.mergeFinished();
    QCoreApplication::processEvents();
    QVERIFY(start->active());
    QCOMPARE(mergeButton(window)->text(), QStringLiteral("Merge databases"));
}

void tst_MergeControl::noConnection()
{
    DBAccess::instance()->closeConnection();
    MainWin window;
    setFields(window, {QStringLiteral("a")}, QStringLiteral("b"));
    auto *stop = window.findChild<QState *>(QStringLiteral("btnStopMerge"));
    QSignalSpy entered(stop, &QState::entered);
    QSignalSpy finished(&window, &MainWin::mergeFinished);
    QVERIFY(clickMergeWhenReady(window));
    // The running state is entered, refuses, and the button returns at once.
    QTRY_COMPARE(finished.count(), 1);
    QCOMPARE(entered.count(), 1);
    QTRY_COMPARE(mergeButton(window)->text(), QStringLiteral("Merge databases"));
    QTRY_VERIFY(!stop->active());
    QCOMPARE(statusOf(window), QStringLiteral("There are no open connections"));
    checkIdle(window, 1);
}

void tst_MergeControl::standingChoiceStored()
{
    MainWin window;
    QCOMPARE(window.getActionForDiffRecords(), adrAsk);
    for (actionDiffRec choice : {adrSkip, adrReplace, adrAddNew, adrAsk}) {
        window.setActionForDiffRecords(choice);
        QCOMPARE(window.getActionForDiffRecords(), choice);
    }
    window.setActionForDiffRecords(adrReplace);
    window.setActionForDiffRecords(actionDiffRec(9));
    QCOMPARE(window.getActionForDiffRecords(), adrReplace);
    window.setStatusText(QStringLiteral("plant1.defects"));
    QCOMPARE(statusOf(window), QStringLiteral("plant1.defects"));
}

void tst_MergeControl::emptyFieldRefused()
{
    if (!TestDatabase::requireServer())
        return;
    MainWin window;
    connectPanel(&window);
    QVERIFY(DBAccess::instance()->isOpen());
    setFields(window, {QStringLiteral("a"), QString()}, QStringLiteral("b"));
    QSignalSpy finished(&window, &MainWin::mergeFinished);
    QVERIFY(clickMergeWhenReady(window));
    QTRY_COMPARE(finished.count(), 1);
    QTRY_COMPARE(mergeButton(window)->text(), QStringLiteral("Merge databases"));
    QCOMPARE(statusOf(window), QStringLiteral("Please fill empty field"));
    checkIdle(window, 2);
}

void tst_MergeControl::mergeWithoutConflicts()
{
    if (!TestDatabase::requireServer())
        return;
    const QString src1 = newKvt(QStringLiteral("mcSrc"), m_created);
    const QString src2 = newKvt(QStringLiteral("mcSrc"), m_created);
    const QString src3 = newKvt(QStringLiteral("mcSrc"), m_created);
    const QString dest = newKvt(QStringLiteral("mcDest"), m_created);
    QCOMPARE(fillSmall(src1, 1), QString());
    QCOMPARE(fillSmall(src2, 2), QString());
    QCOMPARE(fillSmall(src3, 3), QString());

    MainWin window;
    ModalAnswerer answerer;
    connectPanel(&window);
    setFields(window, {src1, src2, src3}, dest);

    // The first progress range arrives while the window is locked for the merge.
    RunningView view;
    bool seen = false;
    connect(child<QProgressBar>(&window, "progressBar"), &QProgressBar::valueChanged, &window, [&] {
        if (seen)
            return;
        seen = true;
        view.height = window.height();
        view.buttonText = mergeButton(window)->text();
        view.progressShown = !child<QProgressBar>(&window, "progressBar")->isHidden();
        for (QWidget *input : lockedInputs(window))
            if (input->isEnabled())
                view.enabledInputs << input->objectName();
    });
    QVERIFY(runMerge(window));
    QVERIFY(seen);
    QCOMPARE(view.height, 345 + ShellTest::menuBarHeight(&window));
    QCOMPARE(view.buttonText, QStringLiteral("Stop process"));
    QVERIFY(view.progressShown);
    QCOMPARE(view.enabledInputs, QStringList());

    QCOMPARE(answerer.answered(), 0);
    QCOMPARE(statusOf(window), QStringLiteral("Merger completed"));
    checkIdle(window, 3);
    const struct {
        const char *table;
        int rows;
    } expected[] = {{"defects", 6}, {"graphics", 3}, {"results", 1}, {"dettypes", 1},
                    {"zones", 1},   {"device", 1},   {"humans", 1},  {"defectref", 0}, {"factory", 0}};
    for (const auto &table : expected)
        QCOMPARE(count(dest, QLatin1String(table.table)), table.rows);
    QCOMPARE(rows(QStringLiteral("SELECT HEX(Graphic) FROM %1.graphics").arg(q(dest))),
             (QStringList{QStringLiteral("00FF10"), QStringLiteral("00FF10"), QStringLiteral("00FF10")}));

    // The same merge again adds nothing.
    QVERIFY(runMerge(window));
    QCOMPARE(answerer.answered(), 0);
    QCOMPARE(statusOf(window), QStringLiteral("Merger completed"));
    for (const auto &table : expected)
        QCOMPARE(count(dest, QLatin1String(table.table)), table.rows);
    checkIdle(window, 3);
}

void tst_MergeControl::sqlErrorStopsMerge()
{
    if (!TestDatabase::requireServer())
        return;
    const QString src1 = newKvt(QStringLiteral("mcErrSrc"), m_created);
    const QString src2 = newKvt(QStringLiteral("mcErrSrc"), m_created);
    const QString dest = newKvt(QStringLiteral("mcErrDest"), m_created);
    QCOMPARE(fillSmall(src1, 1), QString());
    QCOMPARE(fillSmall(src2, 2), QString());
    QCOMPARE(execAll({QStringLiteral("DROP TABLE %1.graphics").arg(q(dest))}), QString());

    MainWin window;
    connectPanel(&window);
    setFields(window, {src1, src2}, dest);
    ModalAnswerer answerer;
    answerer.clickButton(QMessageBox::Ok);
    QVERIFY(runMerge(window));
    // Every report of the worker came before its end: a second box would have been answered.
    QVERIFY(answerer.waitAnswered(1));
    QCOMPARE(answerer.titles(), QStringList{QStringLiteral("Error")});
    QVERIFY2(answerer.lastText().contains(QStringLiteral("graphics")), qPrintable(answerer.lastText()));
    QVERIFY2(answerer.lastText().contains(QStringLiteral("\nCode: 1146")), qPrintable(answerer.lastText()));

    QCOMPARE(statusOf(window), QStringLiteral("Merger completed"));
    checkIdle(window, 2);
    // The destination's missing table is found before anything is written.
    QCOMPARE(count(dest, QStringLiteral("defects")), 0);
    QCOMPARE(count(dest, QStringLiteral("results")), 0);
}

void tst_MergeControl::standingChoices_data()
{
    QTest::addColumn<int>("choice");
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("destRecord");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<bool>("dialog");
    // The conflict as the report lists it: "<table> <key> <decision> <decided by> <new key>"
    // (left out by the standing choice: recorded by the worker, nobody asked).
    QTest::addColumn<QString>("listed");

    const QString results = QStringLiteral("INSERT INTO %1.results (ID, Short, Name) VALUES (1, 'OK', 'Kept')");
    QTest::newRow("skip results") << int(adrSkip) << "results" << results << QStringList{"1|OK|Kept"} << false
                                  << "results 1 left_out standing_choice ";
    QTest::newRow("replace results") << int(adrReplace) << "results" << results << QStringList{"1|OK|Passed"}
                                     << false << "results 1 replaced standing_choice ";
    QTest::newRow("add results under a new ID") << int(adrAddNew) << "results" << results
                                                << QStringList{"1|OK|Kept", "2|OK|Passed"} << false
                                                << "results 1 added_new_key standing_choice 2";
    const QString humans = QStringLiteral("INSERT INTO %1.humans (ID, Famname, FstName, SecName, FullName, TabNo) "
                                          "VALUES (3, 'Petrov', 'Petr', 'P.', 'Petrov P. P.', 700)");
    QTest::newRow("add humans under a new TabNo")
        << int(adrAddNew) << "humans" << humans
        << QStringList{"3|Petrov|Petr|P.|Petrov P. P.|700", "4|Ivanov|Ivan|I.|Ivanov I. I.|701"} << false
        << "humans 700 added_new_key standing_choice 701";
    const QString device = QStringLiteral("INSERT INTO %1.device (ID, Name) VALUES (1, 'KVT-old')");
    QTest::newRow("device replaced when asking") << int(adrAsk) << "device" << device << QStringList{"1|KVT-1"}
                                                 << false << "device 1 replaced device_rule ";
    QTest::newRow("device replaced when skipping") << int(adrSkip) << "device" << device
                                                   << QStringList{"1|KVT-1"} << false << "device 1 replaced device_rule ";
    const QString zones = QStringLiteral("INSERT INTO %1.zones (DetTypeZone, ID, DetTypeId, Name) "
                                         "VALUES (101, 1, 1, 'Flange')");
    QTest::newRow("zone asks although adding") << int(adrAddNew) << "zones" << zones
                                               << QStringList{"101|1|1|Flange"} << true
                                               << "zones 101 left_out operator ";
}

void tst_MergeControl::standingChoices()
{
    if (!TestDatabase::requireServer())
        return;
    QFETCH(int, choice);
    QFETCH(QString, table);
    QFETCH(QString, destRecord);
    QFETCH(QStringList, expected);
    QFETCH(bool, dialog);
    QFETCH(QString, listed);

    const QString src = newKvt(QStringLiteral("mcChoiceSrc"), m_created);
    const QString dest = newKvt(QStringLiteral("mcChoiceDest"), m_created);
    QCOMPARE(fillSmall(src, 1), QString());
    QCOMPARE(execAll({destRecord.arg(q(dest))}), QString());

    MainWin window;
    connectPanel(&window);
    setFields(window, {src}, dest);
    window.setActionForDiffRecords(actionDiffRec(choice));
    ModalAnswerer answerer;
    if (dialog)
        answerer.handle([](QWidget *modal) { dialogButton(modal, "btnDontMergeCurrentRec")->click(); });
    QVERIFY(runMerge(window));
    QCOMPARE(answerer.answered(), dialog ? 1 : 0);
    if (dialog)
        QCOMPARE(answerer.lastTitle(), QStringLiteral("Records with the same ID/Code"));

    QStringList columns = {QStringLiteral("ID"), QStringLiteral("Short"), QStringLiteral("Name")};
    if (table == QLatin1String("device"))
        columns = QStringList{QStringLiteral("ID"), QStringLiteral("Name")};
    else if (table == QLatin1String("zones"))
        columns = QStringList{QStringLiteral("DetTypeZone"), QStringLiteral("ID"), QStringLiteral("DetTypeId"),
                              QStringLiteral("Name")};
    else if (table == QLatin1String("humans"))
        columns = QStringList{QStringLiteral("ID"), QStringLiteral("Famname"), QStringLiteral("FstName"),
                              QStringLiteral("SecName"), QStringLiteral("FullName"), QStringLiteral("TabNo")};
    QCOMPARE(rows(QStringLiteral("SELECT %1 FROM %2.%3 ORDER BY 1").arg(columns.join(','), q(dest), table)),
             expected);
    QCOMPARE(statusOf(window), QStringLiteral("Merger completed"));
    QStringList conflicts;
    for (const MergeReport::Conflict &c : window.lastMergeReport().conflicts())
        conflicts << QStringLiteral("%1 %2 %3 %4 %5")
                         .arg(KvtTable::of(c.table).name, c.key, MergeReport::decisionText(c.decision),
                              MergeReport::decidedByText(c.decidedBy), c.newKey);
    QCOMPARE(conflicts, QStringList{listed});
    // The merge went on after the conflict.
    QCOMPARE(count(dest, QStringLiteral("dettypes")), 1);
    checkIdle(window, 1);
}

void tst_MergeControl::conflictInDialog()
{
    if (!TestDatabase::requireServer())
        return;
    const QString src1 = newKvt(QStringLiteral("mcAskSrc"), m_created);
    const QString src2 = newKvt(QStringLiteral("mcAskSrc"), m_created);
    const QString src3 = newKvt(QStringLiteral("mcAskSrc"), m_created);
    const QString dest = newKvt(QStringLiteral("mcAskDest"), m_created);
    QCOMPARE(fillSmall(src1, 1), QString());
    QCOMPARE(fillSmall(src2, 2), QString());
    QCOMPARE(fillSmall(src3, 3), QString());
    QCOMPARE(fillSmall(dest, 9), QString());
    // Two conflicts in the second source only.
    QCOMPARE(execAll({QStringLiteral("INSERT INTO %1.results VALUES (2, 'NO', 'Rejected'), (3, 'RP', 'Repair')")
                          .arg(q(src2)),
                      QStringLiteral("INSERT INTO %1.results VALUES (2, 'NO', 'Kept2'), (3, 'RP', 'Kept3')")
                          .arg(q(dest))}),
             QString());

    MainWin window;
    connectPanel(&window);
    setFields(window, {src1, src2, src3}, dest);
    RunningView view;
    ModalAnswerer answerer;
    answerer.handle([&](QWidget *modal) {
        view = viewWhileRunning(window);
        // Replace, and let the choice stand for the rest of the merge.
        modal->findChild<QCheckBox *>(QStringLiteral("chkbxSaveChoice"))->setChecked(true);
        dialogButton(modal, "btnContinueMerge")->click();
    });
    QVERIFY(runMerge(window));

    QCOMPARE(answerer.titles(), QStringList{QStringLiteral("Records with the same ID/Code")});
    QCOMPARE(view.height, 345 + ShellTest::menuBarHeight(&window));
    QCOMPARE(view.buttonText, QStringLiteral("Stop process"));
    QVERIFY(view.progressShown);
    QVERIFY(view.closeRefused);
    QCOMPARE(view.enabledInputs, QStringList());
    QCOMPARE(view.greenFields, QStringList{src1});
    QCOMPARE(view.enabledFields, QStringList{src1});

    // The second conflict was settled by the standing choice; it ends with the merge.
    QCOMPARE(rows(QStringLiteral("SELECT ID, Short, Name FROM %1.results ORDER BY ID").arg(q(dest))),
             (QStringList{"1|OK|Passed", "2|NO|Rejected", "3|RP|Repair"}));
    QCOMPARE(count(dest, QStringLiteral("defects")), 8);
    QCOMPARE(statusOf(window), QStringLiteral("Merger completed"));
    checkIdle(window, 3);
    QVERIFY(window.close());
}

void tst_MergeControl::stopDuringConflict()
{
    if (!TestDatabase::requireServer())
        return;
    const QString src1 = newKvt(QStringLiteral("mcStopSrc"), m_created);
    const QString src2 = newKvt(QStringLiteral("mcStopSrc"), m_created);
    const QString dest = newKvt(QStringLiteral("mcStopDest"), m_created);
    QCOMPARE(fillSmall(src1, 1), QString());
    QCOMPARE(fillSmall(src2, 2), QString());
    QCOMPARE(execAll({QStringLiteral("INSERT INTO %1.results VALUES (1, 'OK', 'Kept')").arg(q(dest))}), QString());

    MainWin window;
    connectPanel(&window);
    setFields(window, {src1, src2}, dest);
    QString textAfterStop;
    QString statusBeforeAnswer;
    ModalAnswerer answerer;
    answerer.handle([&](QWidget *modal) {
        mergeButton(window)->click(); // "Stop process"
        if (!QTest::qWaitFor([&] { return mergeButton(window)->text() == QLatin1String("Merge databases"); }))
            qWarning("the button did not return after the stop");
        textAfterStop = mergeButton(window)->text();
        // The stop wakes the waiting worker: the merge ends without the dialog's answer.
        (void)QTest::qWaitFor([&] { return statusOf(window) == QLatin1String("Merger completed"); }, mergeTimeoutMs);
        statusBeforeAnswer = statusOf(window);
        dialogButton(modal, "btnDontMergeCurrentRec")->click();
    });
    QSignalSpy finished(&window, &MainWin::mergeFinished);
    QVERIFY(clickMergeWhenReady(window));
    QTRY_COMPARE_WITH_TIMEOUT(statusOf(window), QStringLiteral("Merger completed"), mergeTimeoutMs);
    QCOMPARE(answerer.answered(), 1);
    QCOMPARE(textAfterStop, QStringLiteral("Merge databases"));
    QCOMPARE(statusBeforeAnswer, QStringLiteral("Merger completed"));
    checkIdle(window, 2);
    // The stop ended the first source's results step: the second source was left out.
    QCOMPARE(count(dest, QStringLiteral("defects")), 2);
    QCOMPARE(count(dest, QStringLiteral("dettypes")), 1);
    QCOMPARE(count(dest, QStringLiteral("humans")), 0);
    QCOMPARE(rows(QStringLiteral("SELECT Name FROM %1.results").arg(q(dest))), QStringList{"Kept"});
}

void tst_MergeControl::conflictAfterStopLeftOut()
{
    if (!TestDatabase::requireServer())
        return;
    const QString src = newKvt(QStringLiteral("mcLateSrc"), m_created);
    const QString dest = newKvt(QStringLiteral("mcLateDest"), m_created);
    QCOMPARE(fillSmall(src, 1), QString());
    QCOMPARE(execAll({QStringLiteral("INSERT INTO %1.results VALUES (1, 'OK', 'Kept')").arg(q(dest))}), QString());

    MainWin window;
    connectPanel(&window);
    setFields(window, {src}, dest);
    window.setActionForDiffRecords(adrReplace);
    // The conflict stays queued (no event processing) while the stop is requested.
    window.startMerge();
    QDeadlineTimer deadline(mergeTimeoutMs);
    while (count(dest, QStringLiteral("device")) != 1 && !deadline.hasExpired())
        QThread::msleep(20); // no event processing here
    window.stopMergeProc();
    ModalAnswerer answerer;
    QTRY_COMPARE_WITH_TIMEOUT(statusOf(window), QStringLiteral("Merger completed"), mergeTimeoutMs);
    QCOMPARE(answerer.answered(), 0);
    // Neither replaced by the standing choice nor asked: the merge just ended.
    QCOMPARE(rows(QStringLiteral("SELECT Name FROM %1.results").arg(q(dest))), QStringList{"Kept"});
    QCOMPARE(count(dest, QStringLiteral("humans")), 0);
    checkIdle(window, 1);
}

void tst_MergeControl::noKeyLeftForNewRecord()
{
    if (!TestDatabase::requireServer())
        return;
    const QString src = newKvt(QStringLiteral("mcMaxSrc"), m_created);
    const QString dest = newKvt(QStringLiteral("mcMaxDest"), m_created);
    QCOMPARE(fillSmall(src, 1), QString());
    QCOMPARE(execAll({QStringLiteral("INSERT INTO %1.results VALUES (1, 'OK', 'Kept'), (2147483647, 'MX', 'Last')")
                          .arg(q(dest))}),
             QString());

    MainWin window;
    connectPanel(&window);
    setFields(window, {src}, dest);
    window.setActionForDiffRecords(adrAddNew);
    ModalAnswerer answerer;
    answerer.clickButton(QMessageBox::Ok);
    QVERIFY(runMerge(window));
    // The next key does not fit the key column's int: one error box without a code line,
    // nothing is added and the merge stops.
    QCOMPARE(answerer.titles(), QStringList{"Error"});
    QCOMPARE(answerer.lastText(), QStringLiteral("Table \"results\": no free key is left within the range of the "
                                                 "column \"ID\". The merge is stopped."));
    QCOMPARE(rows(QStringLiteral("SELECT ID, Name FROM %1.results ORDER BY ID").arg(q(dest))),
             (QStringList{"1|Kept", "2147483647|Last"}));
    QCOMPARE(count(dest, QStringLiteral("humans")), 0);
    QCOMPARE(statusOf(window), QStringLiteral("Merger completed"));
    checkIdle(window, 1);
}

void tst_MergeControl::destroyedWhileWorkerWaits()
{
    if (!TestDatabase::requireServer())
        return;
    const QString src = newKvt(QStringLiteral("mcDelSrc"), m_created);
    const QString dest = newKvt(QStringLiteral("mcDelDest"), m_created);
    QCOMPARE(fillSmall(src, 1), QString());
    QCOMPARE(execAll({QStringLiteral("INSERT INTO %1.results VALUES (1, 'OK', 'Kept')").arg(q(dest))}), QString());

    auto *window = new MainWin;
    connectPanel(window);
    setFields(*window, {src}, dest);
    // Started without processing events: the worker's reports, the conflict among them,
    // stay queued, so it waits in the results conflict for an answer that never comes.
    window->startMerge();
    QDeadlineTimer deadline(mergeTimeoutMs);
    while (count(dest, QStringLiteral("device")) != 1 && !deadline.hasExpired())
        QThread::msleep(20); // no event processing here
    QCOMPARE(count(dest, QStringLiteral("device")), 1);
    QThread::msleep(200);
    delete window; // stops the worker and waits for it
    QCOMPARE(rows(QStringLiteral("SELECT Name FROM %1.results").arg(q(dest))), QStringList{"Kept"});
    QCOMPARE(count(dest, QStringLiteral("humans")), 0);
}

QTEST_MAIN(tst_MergeControl)
#include "tst_mergecontrol.moc"
