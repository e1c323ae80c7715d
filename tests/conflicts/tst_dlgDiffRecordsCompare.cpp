// The record comparison dialog against the test server: loading a conflict, the close
// guard, its three buttons with their child dialogs, the operations the main window
// calls, and the failure paths. Every conflict must wake the worker exactly once.
#include "ConflictFixture.h"
#include "ConflictResolver.h"
#include "KvtMerger.h"
#include "ModalAnswerer.h"
#include "TestDatabase.h"
#include "WidgetCreation.h"
#include "auxFunc.h"
#include "dbAccess.h"
#include "dlgDiffRecordsCompare.h"
#include "gridDelegate.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QTableView>
#include <QTextDocument>
#include <QTest>
#include <QTimer>

#include <memory>

// Stands in for the main window: receives the dialog's stop request and standing choice.
class TestOwner : public QWidget
{
    Q_OBJECT
public:
    int stops = 0;
    QList<actionDiffRec> actions;

public slots:
    void stopMergeProc() { ++stops; }
    void setActionForDiffRecords(actionDiffRec action) { actions << action; }
};

namespace {

// Short columns hold 32 characters.
const QString tricky = QStringLiteral("x\"; DROP TABLE y; -- \\ '\\\"");

template <typename T>
T *child(QWidget *parent, const char *name)
{
    T *found = parent->findChild<T *>(QString::fromLatin1(name));
    if (!found)
        qWarning("no %s named %s", T::staticMetaObject.className(), name);
    return found;
}

// Clicks from the event loop, so that a modal window the click opens is answered.
void clickLater(QAbstractButton *button)
{
    QTimer::singleShot(0, button, &QAbstractButton::click);
}

// Answers dlgAddNewRec: puts key into its field (unless null) and presses add or cancel.
ModalAnswerer::Action answerNewId(const QString &key, const char *button = "btnAdd")
{
    return [key, button](QWidget *modal) {
        if (!key.isNull())
            child<QLineEdit>(modal, "edID")->setText(key);
        clickLater(child<QPushButton>(modal, button));
    };
}

// Answers dlgAddZones: picks the part type and presses add or cancel.
ModalAnswerer::Action answerZone(const QString &partType, const char *button = "btnAdd")
{
    return [partType, button](QWidget *modal) {
        auto *combo = child<QComboBox>(modal, "cmbxZones");
        combo->setCurrentIndex(combo->findText(partType));
        clickLater(child<QPushButton>(modal, button));
    };
}

} // namespace

class tst_dlgDiffRecordsCompare : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void form();
    void gridsPerTable_data();
    void gridsPerTable();
    void closeGuard_data();
    void closeGuard();
    void closeGuardWhileModal();
    void replaceDefectRef();
    void replaceStoresValuesExactly_data();
    void replaceStoresValuesExactly();
    void replaceHumanWithoutTabNo();
    void leaveOutSavesSkip();
    void addSavesStandingChoice_data();
    void addSavesStandingChoice();
    void cancelledChildKeepsWorkerWaiting_data();
    void cancelledChildKeepsWorkerWaiting();
    void proposedKey_data();
    void proposedKey();
    void usedKeyRefused();
    void humanAddedUnderNewTabNo();
    void standingAddNew();
    void needsOperator_data();
    void needsOperator();
    void loadFailure();
    void replaceFailure();
    void childDialogFailure_data();
    void childDialogFailure();
    void noWriteAfterFailedKey();
    void standingReplaceAfterFailedOne();

private:
    void makeDialog();
    bool load(kvtTableName table, const QString &key, const QString &destDB = QString(),
              const QString &srcDB = QString());
    void showDialog();
    QPushButton *button(const char *name) { return child<QPushButton>(dlg.get(), name); }
    void setSource(const QString &statement, const QStringList &values);

    ConflictFixture fx;
    std::unique_ptr<TestOwner> owner;
    std::unique_ptr<KvtMerger> merger;
    std::unique_ptr<dlgDiffRecordsCompare> dlg;
    std::unique_ptr<QSignalSpy> resumed;
    std::unique_ptr<QSignalSpy> errors;
    std::unique_ptr<QSignalSpy> choices;
};

void tst_dlgDiffRecordsCompare::initTestCase()
{
    if (!TestDatabase::requireServer())
        return;
    registerKvtMetaTypes();
    initAppResources();
    QVERIFY(fx.create());
}

void tst_dlgDiffRecordsCompare::init()
{
    QCOMPARE(ConflictFixture::connect(), 0);
    QCOMPARE(fx.reset(), QString());
    makeDialog();
}

void tst_dlgDiffRecordsCompare::cleanup()
{
    resumed.reset();
    errors.reset();
    choices.reset();
    dlg.reset();
    merger.reset();
    owner.reset();
}

void tst_dlgDiffRecordsCompare::cleanupTestCase()
{
    fx.drop();
}

// The worker stands paused, as in a conflict, so that its flag shows whether it was woken.
void tst_dlgDiffRecordsCompare::makeDialog()
{
    owner = std::make_unique<TestOwner>();
    merger = std::make_unique<KvtMerger>();
    merger->pauseThread();
    dlg = std::make_unique<dlgDiffRecordsCompare>(owner.get());
    // Wired as the main window wires it.
    connect(dlg.get(), &dlgDiffRecordsCompare::errHasOccured, owner.get(), &TestOwner::stopMergeProc);
    connect(dlg.get(), &dlgDiffRecordsCompare::setActionDiffRec, owner.get(), &TestOwner::setActionForDiffRecords);
    connect(dlg.get(), &dlgDiffRecordsCompare::resumeThread, merger.get(), &KvtMerger::resumeThread);
    resumed = std::make_unique<QSignalSpy>(dlg.get(), &dlgDiffRecordsCompare::resumeThread);
    errors = std::make_unique<QSignalSpy>(dlg.get(), &dlgDiffRecordsCompare::errHasOccured);
    choices = std::make_unique<QSignalSpy>(dlg.get(), &dlgDiffRecordsCompare::setActionDiffRec);
}

bool tst_dlgDiffRecordsCompare::load(kvtTableName table, const QString &key, const QString &destDB,
                                     const QString &srcDB)
{
    return dlg->getSqlParameters(table, srcDB.isNull() ? fx.src : srcDB, destDB.isNull() ? fx.dest : destDB,
                                 fx.srcSelect(table, key), fx.destSelect(table, key));
}

void tst_dlgDiffRecordsCompare::showDialog()
{
    dlg->show();
    QVERIFY(QTest::qWaitForWindowExposed(dlg.get()));
}

void tst_dlgDiffRecordsCompare::setSource(const QString &statement, const QStringList &values)
{
    QSqlQuery query;
    QVERIFY(query.prepare(statement));
    for (const QString &value : values)
        query.addBindValue(value);
    QVERIFY2(query.exec(), qPrintable(statement));
}

void tst_dlgDiffRecordsCompare::form()
{
    QCOMPARE(dlg->objectName(), QStringLiteral("dlgDiffRecordsCompare"));
    QCOMPARE(dlg->size(), QSize(706, 335));
    QCOMPARE(dlg->windowTitle(), QStringLiteral("Records with the same ID/Code"));
    QCOMPARE(child<QLabel>(dlg.get(), "lbHelpSrcTb")->text(), QStringLiteral("Record in the source table:"));
    QCOMPARE(child<QLabel>(dlg.get(), "lbHelpDestTb")->text(), QStringLiteral("Record in the  destination table:"));
    auto *save = child<QCheckBox>(dlg.get(), "chkbxSaveChoice");
    QCOMPARE(save->text(), QStringLiteral("Save choice for each event"));
    QVERIFY(!save->isChecked());

    const QList<QPair<const char *, QStringList>> buttons{
        {"btnContinueMerge", {"Continue Merge", "and replace", "destination record"}},
        {"btnAddRecWithNewID", {"Add source record", "with a new ID", "and keep destination record"}},
        {"btnDontMergeCurrentRec", {"Don't merge current record", "keep destination record"}},
    };
    for (const auto &b : buttons) {
        QPushButton *btn = button(b.first);
        QVERIFY(btn);
        QCOMPARE(btn->minimumSize(), QSize(60, 60));
        QCOMPARE(btn->maximumSize(), QSize(60, 60));
        QCOMPARE(btn->iconSize(), QSize(45, 45));
        QVERIFY(btn->text().isEmpty());
        QVERIFY2(!btn->icon().isNull(), b.first);
        QVERIFY(Qt::mightBeRichText(btn->toolTip()));
        QVERIFY(btn->toolTip().contains("font-weight:600;\">" + b.second.first()));
        for (const QString &line : b.second)
            QVERIFY2(btn->toolTip().contains(line), qPrintable(line));
    }
    QCOMPARE(button("btnDontMergeCurrentRec")->shortcut(), QKeySequence(QStringLiteral("Ctrl+S")));

    // Each grid is one widget of its layout, however many conflicts were loaded.
    QVERIFY(!load(tnResults, "5"));
    QVERIFY(!load(tnDefectRef, "7"));
    for (const char *layout : {"layoutSrcTb", "layoutDestTb"}) {
        auto *box = child<QHBoxLayout>(dlg.get(), layout);
        QCOMPARE(box->count(), 1);
        QVERIFY(qobject_cast<QTableView *>(box->itemAt(0)->widget()));
    }
}

void tst_dlgDiffRecordsCompare::gridsPerTable_data()
{
    using M = QHeaderView::ResizeMode;
    QTest::addColumn<int>("table");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QStringList>("captions");
    QTest::addColumn<QList<int>>("modes");
    QTest::addColumn<QStringList>("srcRow");
    QTest::addColumn<QStringList>("destRow");
    QTest::addColumn<bool>("addEnabled");
    // Compared columns whose values differ: marked in both grids.
    QTest::addColumn<QList<int>>("differing");

    const QList<int> shortModes{M::Fixed, M::Fixed, M::Stretch};
    const QStringList shortCaptions{"ID", "Abbreviation", "Full name"};
    QTest::newRow("defectref") << int(tnDefectRef) << "7" << shortCaptions << shortModes
                               << QStringList{"7", "A", "B"} << QStringList{"7", "X", "Y"} << true << QList<int>{1, 2};
    QTest::newRow("dettypes") << int(tnDetTypes) << "3" << shortCaptions << shortModes
                              << QStringList{"3", "T3", "Type three"} << QStringList{"3", "T3", "Type three"} << true << QList<int>{};
    QTest::newRow("results") << int(tnResults) << "5" << shortCaptions << shortModes
                             << QStringList{"5", "R", "Result src"} << QStringList{"5", "Q", "Result dest"} << true << QList<int>{1, 2};
    QTest::newRow("device") << int(tnDevice) << "2" << QStringList{"ID", "Name"} << QList<int>{M::Fixed, M::Stretch}
                            << QStringList{"2", "Device src"} << QStringList{"2", "Device dest"} << false << QList<int>{1};
    QTest::newRow("factory") << int(tnFactory) << "50" << QStringList{"ID", "Code", "Abbreviation", "Full name"}
                             << QList<int>{M::Fixed, M::Fixed, M::Fixed, M::Stretch}
                             << QStringList{"1", "50", "F", "Factory src"} << QStringList{"1", "50", "G", "Factory dest"}
                             << true << QList<int>{2, 3};
    QTest::newRow("humans") << int(tnHumans) << "100"
                            << QStringList{"ID", "Surname", "Name", "Patronymic", "Full name", "Tab. No"}
                            << QList<int>{M::Fixed, M::Stretch, M::Stretch, M::Stretch, M::Interactive, M::Fixed}
                            << QStringList{"1", "Ivanov", "Ivan", "Ivanovich", "Ivanov I.I.", "100"}
                            << QStringList{"35", "Petrov", "Petr", "Petrovich", "Petrov P.P.", "100"} << true << QList<int>{1, 2, 3, 4};
    QTest::newRow("zones") << int(tnZones) << "305" << QStringList{"DetTypeZone", "ID", "DetTypeId", "Zone"}
                           << QList<int>{M::Fixed, M::Fixed, M::Fixed, M::Stretch}
                           << QStringList{"305", "5", "3", "Left wheel"} << QStringList{"305", "5", "3", "Axle"} << true << QList<int>{3};
}

void tst_dlgDiffRecordsCompare::gridsPerTable()
{
    QFETCH(int, table);
    QFETCH(QString, key);
    QFETCH(QStringList, captions);
    QFETCH(QList<int>, modes);
    QFETCH(QStringList, srcRow);
    QFETCH(QStringList, destRow);
    QFETCH(bool, addEnabled);
    QFETCH(QList<int>, differing);

    // A device conflict first, so that the add button has to come back on.
    QVERIFY(!load(tnDevice, "2"));
    QVERIFY(!load(kvtTableName(table), key));
    QCOMPARE(button("btnAddRecWithNewID")->isEnabled(), addEnabled);

    const QList<QPair<QTableView *, QStringList>> grids{
        {child<QTableView>(dlg.get(), "tvSrcTable"), srcRow},
        {child<QTableView>(dlg.get(), "tvDestTable"), destRow},
    };
    for (const auto &grid : grids) {
        QTableView *view = grid.first;
        QAbstractItemModel *model = view->model();
        QCOMPARE(model->columnCount(), captions.size());
        QCOMPARE(model->rowCount(), 1);
        for (int i = 0; i < captions.size(); ++i) {
            QCOMPARE(model->headerData(i, Qt::Horizontal).toString(), captions.at(i));
            QCOMPARE(int(view->horizontalHeader()->sectionResizeMode(i)), modes.at(i));
            QCOMPARE(model->index(0, i).data().toString(), grid.second.at(i));
            // The ID of humans and factory is not compared and never marked.
            const QModelIndex cell = model->index(0, i);
            QCOMPARE(cell.data(Qt::BackgroundRole).isValid(), differing.contains(i));
            QCOMPARE(cell.data(Qt::ToolTipRole).toString(),
                     differing.contains(i) ? QStringLiteral("differs") : QString());
        }
        QVERIFY(qobject_cast<GridDelegate *>(view->itemDelegate()));
        QVERIFY(!view->showGrid());
        QVERIFY(view->verticalHeader()->isHidden());
        QCOMPARE(view->selectionBehavior(), QAbstractItemView::SelectRows);
        QCOMPARE(view->selectionMode(), QAbstractItemView::ExtendedSelection);
        QCOMPARE(int(view->font().weight()), int(QFont::Bold));
        QCOMPARE(view->font().pointSize(), 10);
    }
}

enum CloseAttempt { escOnDialog, escOnButton, altF4Keys, closeEvent, closeCall };

void tst_dlgDiffRecordsCompare::closeGuard_data()
{
    QTest::addColumn<int>("attempt");
    QTest::newRow("Escape on the dialog") << int(escOnDialog);
    QTest::newRow("Escape on a focused button") << int(escOnButton);
    QTest::newRow("Alt+F4 keys") << int(altF4Keys);
    QTest::newRow("close event (window manager)") << int(closeEvent);
    QTest::newRow("close()") << int(closeCall);
}

void tst_dlgDiffRecordsCompare::closeGuard()
{
    QFETCH(int, attempt);
    QVERIFY(!load(tnResults, "5"));
    showDialog();

    for (int round = 0; round < 2; ++round) {
        switch (attempt) {
        case escOnDialog: QTest::keyClick(dlg.get(), Qt::Key_Escape); break;
        case escOnButton:
            button("btnContinueMerge")->setFocus();
            QTest::keyClick(button("btnContinueMerge"), Qt::Key_Escape);
            break;
        case altF4Keys: QTest::keyClick(dlg.get(), Qt::Key_F4, Qt::AltModifier); break;
        case closeEvent: {
            QCloseEvent event;
            QApplication::sendEvent(dlg.get(), &event);
            QVERIFY(!event.isAccepted());
            break;
        }
        case closeCall: QVERIFY(!dlg->close()); break;
        }
        QCoreApplication::processEvents();
        QVERIFY(dlg->isVisible());
    }
    QCOMPARE(resumed->count(), 0);
    QVERIFY(merger->isPaused());

    button("btnDontMergeCurrentRec")->click();
    QVERIFY(!dlg->isVisible());
    QCOMPARE(resumed->count(), 1);
    QVERIFY(!merger->isPaused());
    QCOMPARE(choices->count(), 0);
}

// As the main window runs it: modal, through exec().
void tst_dlgDiffRecordsCompare::closeGuardWhileModal()
{
    QVERIFY(!load(tnDefectRef, "7"));
    ModalAnswerer answerer;
    bool stayedOpen = false;
    answerer.handle([&](QWidget *modal) {
        QTest::keyClick(modal, Qt::Key_Escape);
        QCloseEvent event;
        QApplication::sendEvent(modal, &event);
        stayedOpen = modal->isVisible() && !event.isAccepted();
        clickLater(child<QPushButton>(modal, "btnDontMergeCurrentRec"));
    });
    dlg->exec();
    QVERIFY(stayedOpen);
    QCOMPARE(answerer.titles(), QStringList{"Records with the same ID/Code"});
    QCOMPARE(resumed->count(), 1);

    // Shown again for the next conflict, the guard stands again.
    answerer.handle([&](QWidget *modal) {
        stayedOpen = !qobject_cast<QDialog *>(modal)->close();
        clickLater(child<QPushButton>(modal, "btnContinueMerge"));
    });
    QVERIFY(!load(tnDefectRef, "7"));
    dlg->exec();
    QVERIFY(stayedOpen);
    QCOMPARE(resumed->count(), 2);
    QCOMPARE(ConflictFixture::rows(fx.dest, "defectref"), (QStringList{"7|A|B", "8|K|L"}));
}

void tst_dlgDiffRecordsCompare::replaceDefectRef()
{
    QVERIFY(!load(tnDefectRef, "7"));
    showDialog();
    button("btnContinueMerge")->click();

    QCOMPARE(ConflictFixture::rows(fx.dest, "defectref"), (QStringList{"7|A|B", "8|K|L"}));
    QCOMPARE(ConflictFixture::rows(fx.src, "defectref"), QStringList{"7|A|B"});
    QVERIFY(!dlg->isVisible());
    QCOMPARE(resumed->count(), 1);
    QCOMPARE(errors->count(), 0);
    QCOMPARE(choices->count(), 0);
}

void tst_dlgDiffRecordsCompare::replaceStoresValuesExactly_data()
{
    QTest::addColumn<int>("table");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("tableName");
    QTest::addColumn<QString>("sourceUpdate");
    QTest::addColumn<int>("values");
    QTest::addColumn<QStringList>("expected");

    const QString t = tricky;
    QTest::newRow("defectref") << int(tnDefectRef) << "7" << "defectref" << "UPDATE %1.defectref SET Short=?, Name=? WHERE ID=7" << 2
                               << QStringList{"7|" + t + "|" + t, "8|K|L"};
    QTest::newRow("device") << int(tnDevice) << "2" << "device" << "UPDATE %1.device SET Name=? WHERE ID=2" << 1
                            << QStringList{"2|" + t, "3|Other device"};
    QTest::newRow("factory keeps its ID") << int(tnFactory) << "50" << "factory"
                                          << "UPDATE %1.factory SET ID=9, Short=?, Name=? WHERE Cod=50" << 2
                                          << QStringList{"1|50|" + t + "|" + t, "2|61|H|Other factory"};
    QTest::newRow("humans keep their ID")
        << int(tnHumans) << "100" << "humans" << "UPDATE %1.humans SET Famname=?, FstName=?, SecName=?, FullName=? WHERE TabNo=100"
        << 4 << QStringList{"3|Sidorov|Sidor|Sidorovich|Sidorov S.S.|110", "35|" + t + "|" + t + "|" + t + "|" + t + "|100"};
    QTest::newRow("zones take ID and part type") << int(tnZones) << "305" << "zones"
                                                 << "UPDATE %1.zones SET ID=9, DetTypeId=4, Name=? WHERE DetTypeZone=305" << 1
                                                 << QStringList{"305|9|4|" + t, "306|6|3|Middle"};
}

// The main window's path for a standing "replace" (and for every device conflict).
void tst_dlgDiffRecordsCompare::replaceStoresValuesExactly()
{
    QFETCH(int, table);
    QFETCH(QString, key);
    QFETCH(QString, tableName);
    QFETCH(QString, sourceUpdate);
    QFETCH(int, values);
    QFETCH(QStringList, expected);

    QStringList bound;
    for (int i = 0; i < values; ++i)
        bound << tricky;
    setSource(sourceUpdate.arg(fx.src), bound);
    QVERIFY(!load(kvtTableName(table), key));
    ModalAnswerer answerer;
    dlg->updateDestinationRecord();

    QCOMPARE(ConflictFixture::rows(fx.dest, tableName), expected);
    QCOMPARE(answerer.answered(), 0);
    QCOMPARE(errors->count(), 0);
    QCOMPARE(resumed->count(), 0);
}

void tst_dlgDiffRecordsCompare::replaceHumanWithoutTabNo()
{
    const QStringList before = ConflictFixture::rows(fx.dest, "humans");
    QVERIFY(!dlg->getSqlParameters(tnHumans, fx.src, fx.dest,
                                   "SELECT ID, Famname, FstName, SecName, FullName, '' AS TabNo FROM " + fx.src
                                       + ".humans WHERE TabNo=100",
                                   fx.destSelect(tnHumans, "100")));
    showDialog();
    ModalAnswerer answerer;
    button("btnContinueMerge")->click();

    QCOMPARE(ConflictFixture::rows(fx.dest, "humans"), before);
    QCOMPARE(answerer.answered(), 0);
    QCOMPARE(errors->count(), 0);
    QCOMPARE(resumed->count(), 1);
}

void tst_dlgDiffRecordsCompare::leaveOutSavesSkip()
{
    const QStringList before = ConflictFixture::rows(fx.dest, "results");
    QVERIFY(!load(tnResults, "5"));
    showDialog();
    child<QCheckBox>(dlg.get(), "chkbxSaveChoice")->setChecked(true);
    button("btnDontMergeCurrentRec")->click();

    QCOMPARE(choices->count(), 1);
    QCOMPARE(choices->at(0).at(0).value<actionDiffRec>(), adrSkip);
    QCOMPARE(owner->actions, QList<actionDiffRec>{adrSkip});
    QCOMPARE(ConflictFixture::rows(fx.dest, "results"), before);
    QCOMPARE(resumed->count(), 1);
    QVERIFY(!dlg->isVisible());
    // The box keeps its state for the next conflict.
    QVERIFY(child<QCheckBox>(dlg.get(), "chkbxSaveChoice")->isChecked());
}

void tst_dlgDiffRecordsCompare::addSavesStandingChoice_data()
{
    QTest::addColumn<int>("table");
    QTest::addColumn<QString>("key");
    QTest::addColumn<int>("choice");
    QTest::addColumn<QString>("childTitle");
    QTest::addColumn<QString>("tableName");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("results: add under the proposal")
        << int(tnResults) << "5" << int(adrAddNew) << "Select ID/Code" << "results"
        << QStringList{"12|M|Largest", "13|R|Result src", "5|Q|Result dest"};
    QTest::newRow("zones: always asks again")
        << int(tnZones) << "305" << int(adrAsk) << "Add Zone In Part's Type" << "zones"
        << QStringList{"305|5|3|Axle", "306|6|3|Middle", "308|8|3|Left wheel"};
}

void tst_dlgDiffRecordsCompare::addSavesStandingChoice()
{
    QFETCH(int, table);
    QFETCH(QString, key);
    QFETCH(int, choice);
    QFETCH(QString, childTitle);
    QFETCH(QString, tableName);
    QFETCH(QStringList, expected);

    QVERIFY(!load(kvtTableName(table), key));
    showDialog();
    child<QCheckBox>(dlg.get(), "chkbxSaveChoice")->setChecked(true);
    ModalAnswerer answerer;
    answerer.handle(table == tnZones ? answerZone("T3") : answerNewId(QString()));
    button("btnAddRecWithNewID")->click();

    QCOMPARE(answerer.titles(), QStringList{childTitle});
    QCOMPARE(choices->count(), 1);
    QCOMPARE(int(choices->at(0).at(0).value<actionDiffRec>()), choice);
    QCOMPARE(owner->actions.size(), 1);
    QStringList rows = ConflictFixture::rows(fx.dest, tableName);
    rows.sort();
    QCOMPARE(rows, expected);
    QVERIFY(!dlg->isVisible());
    QCOMPARE(resumed->count(), 1);
    QVERIFY(!merger->isPaused());
    QCOMPARE(errors->count(), 0);
}

void tst_dlgDiffRecordsCompare::cancelledChildKeepsWorkerWaiting_data()
{
    QTest::addColumn<int>("table");
    QTest::addColumn<QString>("key");
    QTest::newRow("new-ID dialog") << int(tnResults) << "5";
    QTest::newRow("zone dialog") << int(tnZones) << "305";
}

void tst_dlgDiffRecordsCompare::cancelledChildKeepsWorkerWaiting()
{
    QFETCH(int, table);
    QFETCH(QString, key);
    const QStringList before = ConflictFixture::rows(fx.dest, table == tnZones ? "zones" : "results");
    QVERIFY(!load(kvtTableName(table), key));
    showDialog();
    ModalAnswerer answerer;
    answerer.handle(table == tnZones ? answerZone("T3", "btnCancel") : answerNewId(QString(), "btnCancel"));
    button("btnAddRecWithNewID")->click();
    QCOMPARE(answerer.answered(), 1);

    QVERIFY(dlg->isVisible());
    QCOMPARE(resumed->count(), 0);
    QVERIFY(merger->isPaused());
    // The close guard stands again.
    QVERIFY(!dlg->close());
    QTest::keyClick(dlg.get(), Qt::Key_Escape);
    QCloseEvent event;
    QApplication::sendEvent(dlg.get(), &event);
    QVERIFY(dlg->isVisible());

    button("btnDontMergeCurrentRec")->click();
    QCOMPARE(resumed->count(), 1);
    QVERIFY(!merger->isPaused());
    QCOMPARE(ConflictFixture::rows(fx.dest, table == tnZones ? "zones" : "results"), before);
}

void tst_dlgDiffRecordsCompare::proposedKey_data()
{
    QTest::addColumn<int>("table");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("prepare");
    QTest::addColumn<quint64>("expected");

    QTest::newRow("results: largest ID 12") << int(tnResults) << "5" << QString() << quint64(13);
    QTest::newRow("results: empty table") << int(tnResults) << "5" << "DELETE FROM %1.results" << quint64(1);
    QTest::newRow("defectref") << int(tnDefectRef) << "7" << QString() << quint64(9);
    QTest::newRow("factory: by Cod") << int(tnFactory) << "50" << QString() << quint64(62);
    QTest::newRow("humans: by TabNo") << int(tnHumans) << "100" << QString() << quint64(111);
}

// The main window's proposal (getMaxID) and the one the new-ID dialog shows agree.
void tst_dlgDiffRecordsCompare::proposedKey()
{
    QFETCH(int, table);
    QFETCH(QString, key);
    QFETCH(QString, prepare);
    QFETCH(quint64, expected);
    if (!prepare.isEmpty())
        QCOMPARE(TestDatabase::exec(prepare.arg(fx.dest)), QString());

    QVERIFY(!load(kvtTableName(table), key));
    QCOMPARE(dlg->getMaxID(), expected);

    showDialog();
    QString shown;
    ModalAnswerer answerer;
    answerer.handle([&](QWidget *modal) {
        shown = child<QLineEdit>(modal, "edID")->text();
        clickLater(child<QPushButton>(modal, "btnCancel"));
    });
    button("btnAddRecWithNewID")->click();
    QCOMPARE(shown, QString::number(expected));
    QCOMPARE(errors->count(), 0);
}

void tst_dlgDiffRecordsCompare::usedKeyRefused()
{
    QVERIFY(!load(tnResults, "5"));
    showDialog();
    ModalAnswerer answerer;
    answerer.handle(answerNewId(QStringLiteral("")));    // empty: nothing happens
    answerer.handle(answerNewId(QStringLiteral("12")));  // taken
    answerer.clickButton(QMessageBox::Ok);
    answerer.handle(answerNewId(QStringLiteral("14")));
    button("btnAddRecWithNewID")->click();

    QCOMPARE(answerer.titles(),
             (QStringList{"Select ID/Code", "Select ID/Code", "Check ID", "Select ID/Code"}));
    QCOMPARE(answerer.texts().at(2), QStringLiteral("Selected ID/Code is exists,\nplease select another value!"));
    QCOMPARE(ConflictFixture::rows(fx.dest, "results"),
             (QStringList{"5|Q|Result dest", "12|M|Largest", "14|R|Result src"}));
    QCOMPARE(resumed->count(), 1);
}

void tst_dlgDiffRecordsCompare::humanAddedUnderNewTabNo()
{
    QVERIFY(!load(tnHumans, "100"));
    showDialog();
    ModalAnswerer answerer;
    answerer.handle(answerNewId(QStringLiteral("120")));
    button("btnAddRecWithNewID")->click();

    QCOMPARE(ConflictFixture::rows(fx.dest, "humans"),
             (QStringList{"3|Sidorov|Sidor|Sidorovich|Sidorov S.S.|110",
                          "35|Petrov|Petr|Petrovich|Petrov P.P.|100",
                          "36|Ivanov|Ivan|Ivanovich|Ivanov I.I.|120"}));
    QCOMPARE(resumed->count(), 1);
    QCOMPARE(errors->count(), 0);
}

// The main window's path for a standing "add under a new identifier".
void tst_dlgDiffRecordsCompare::standingAddNew()
{
    QVERIFY(!load(tnFactory, "50"));
    dlg->insertInTable(int(dlg->getMaxID()));
    // The destination numbers the new factory itself.
    QCOMPARE(ConflictFixture::rows(fx.dest, "factory"),
             (QStringList{"1|50|G|Factory dest", "2|61|H|Other factory", "3|62|F|Factory src"}));

    // A zone needs its part type: it is never added this way.
    const QStringList zones = ConflictFixture::rows(fx.dest, "zones");
    QVERIFY(!load(tnZones, "305"));
    QVERIFY(ConflictResolver::needsOperator(tnZones, adrAddNew));
    dlg->insertInTable(int(dlg->getMaxID()));
    QCOMPARE(ConflictFixture::rows(fx.dest, "zones"), zones);
    QCOMPARE(errors->count(), 0);
    QCOMPARE(resumed->count(), 0);
}

void tst_dlgDiffRecordsCompare::needsOperator_data()
{
    QTest::addColumn<int>("table");
    QTest::addColumn<int>("choice");
    QTest::addColumn<bool>("expected");
    QTest::newRow("ask") << int(tnResults) << int(adrAsk) << true;
    QTest::newRow("ask, zones") << int(tnZones) << int(adrAsk) << true;
    QTest::newRow("ask, device") << int(tnDevice) << int(adrAsk) << false;
    QTest::newRow("add new, zones") << int(tnZones) << int(adrAddNew) << true;
    QTest::newRow("add new, humans") << int(tnHumans) << int(adrAddNew) << false;
    QTest::newRow("replace, zones") << int(tnZones) << int(adrReplace) << false;
    QTest::newRow("skip, zones") << int(tnZones) << int(adrSkip) << false;
}

void tst_dlgDiffRecordsCompare::needsOperator()
{
    QFETCH(int, table);
    QFETCH(int, choice);
    QFETCH(bool, expected);
    QCOMPARE(ConflictResolver::needsOperator(kvtTableName(table), actionDiffRec(choice)), expected);
}

void tst_dlgDiffRecordsCompare::loadFailure()
{
    ModalAnswerer answerer;
    answerer.clickButton(QMessageBox::Ok);
    QVERIFY(dlg->getSqlParameters(tnResults, fx.src, fx.dest, "SELECT ID, Short, Name FROM nosuchdb_x.results WHERE ID=5",
                                  fx.destSelect(tnResults, "5")));
    QCOMPARE(answerer.titles(), QStringList{"Error"});
    QVERIFY(answerer.lastText().contains("Code: "));
    QVERIFY(!DBAccess::instance()->isOpen());
    // The main window stops and wakes the worker itself.
    QCOMPARE(resumed->count(), 0);
}

void tst_dlgDiffRecordsCompare::replaceFailure()
{
    QVERIFY(!load(tnResults, "5", QStringLiteral("nosuchdb_x")));
    showDialog();
    ModalAnswerer answerer;
    answerer.clickButton(QMessageBox::Ok);
    button("btnContinueMerge")->click();

    QCOMPARE(answerer.titles(), QStringList{"Error"});
    QCOMPARE(errors->count(), 1);
    QCOMPARE(owner->stops, 1);
    QCOMPARE(resumed->count(), 1);
    QVERIFY(!dlg->isVisible());
}

void tst_dlgDiffRecordsCompare::childDialogFailure_data()
{
    QTest::addColumn<int>("table");
    QTest::addColumn<QString>("key");
    QTest::newRow("new-ID dialog: next key unreadable") << int(tnResults) << "5";
    QTest::newRow("zone dialog: part types unreadable") << int(tnZones) << "305";
}

// The child's query fails: one error box, the merge stops, the worker is woken once.
void tst_dlgDiffRecordsCompare::childDialogFailure()
{
    QFETCH(int, table);
    QFETCH(QString, key);
    const QString missing = QStringLiteral("nosuchdb_x");
    QVERIFY(!load(kvtTableName(table), key, table == tnZones ? QString() : missing,
                  table == tnZones ? missing : QString()));
    showDialog();
    ModalAnswerer answerer;
    answerer.clickButton(QMessageBox::Ok);
    button("btnAddRecWithNewID")->click();

    QCOMPARE(answerer.titles().count("Error"), 1);
    QCOMPARE(answerer.titles().first(), QStringLiteral("Error"));
    QCOMPARE(errors->count(), 1);
    QCOMPARE(owner->stops, 1);
    QCOMPARE(resumed->count(), 1);
    QVERIFY(!merger->isPaused());
    QVERIFY(!dlg->isVisible());
}

// The main window passes on whatever getMaxID returned; after its failure nothing is written.
void tst_dlgDiffRecordsCompare::noWriteAfterFailedKey()
{
    QVERIFY(!load(tnResults, "5", QStringLiteral("nosuchdb_x")));
    ModalAnswerer answerer;
    answerer.clickButton(QMessageBox::Ok);
    const quint64 id = dlg->getMaxID();
    QCOMPARE(id, quint64(0));
    dlg->insertInTable(int(id));
    dlg->updateDestinationRecord();
    QCOMPARE(answerer.titles(), QStringList{"Error"});
    QCOMPARE(errors->count(), 1);
}

// The main window settles a conflict by a standing choice without the grids
// (setConflict()): the conflict taken after a failed one is written again, so that a
// replace the report records did happen.
void tst_dlgDiffRecordsCompare::standingReplaceAfterFailedOne()
{
    {
        ModalAnswerer answerer;
        answerer.clickButton(QMessageBox::Ok);
        dlg->setConflict(tnDefectRef, fx.src, QStringLiteral("nosuchdb_x"), fx.srcSelect(tnDefectRef, "7"));
        dlg->updateDestinationRecord();
        QCOMPARE(answerer.titles(), QStringList{"Error"});
    }
    QCOMPARE(errors->count(), 1);
    if (!DBAccess::instance()->isOpen())
        QCOMPARE(ConflictFixture::connect(), 0);

    dlg->setConflict(tnDefectRef, fx.src, fx.dest, fx.srcSelect(tnDefectRef, "7"));
    dlg->updateDestinationRecord();
    QCOMPARE(errors->count(), 1);
    QCOMPARE(ConflictFixture::rows(fx.dest, "defectref"), (QStringList{"7|A|B", "8|K|L"}));
    QVERIFY(!dlg->isVisible());
}

QTEST_MAIN(tst_dlgDiffRecordsCompare)
#include "tst_dlgDiffRecordsCompare.moc"
