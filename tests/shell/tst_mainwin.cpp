#include "ShellTestSupport.h"
#include "WidgetCreation.h"
#include "auxFunc.h"
#include "mainwin.h"
#include "ui_mainwin.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QSpinBox>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>

namespace {

// A window whose merge state the test sets, to check the close guard without a merge.
class TestMainWin : public MainWin
{
public:
    bool running = false;

protected:
    bool mergeIsRunning() const override { return running; }
};

using ShellTest::child;
using ShellTest::menuBarHeight;
using ShellTest::sourceFields;

void flushDeferredDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

} // namespace

class tst_MainWin : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void form();
    void formTabOrder();
    void initialState();
    void sizeRule_data();
    void sizeRule();
    void sizeRuleOtherModeChangesNothing();
    void languageChangeResets();
    void createWindowMain();
    void closeAcceptedWhenNoMergeRuns();
    void closeIgnoredWhileMergeRuns();
};

void tst_MainWin::initTestCase()
{
    QCoreApplication::setApplicationName(QStringLiteral("kvtMergeDB"));
    initAppResources();
    setCodecForApp();
}

void tst_MainWin::form()
{
    QMainWindow window;
    Ui::MainWin ui;
    ui.setupUi(&window);

    QCOMPARE(window.objectName(), QStringLiteral("MainWin"));
    QCOMPARE(window.windowModality(), Qt::NonModal);
    QCOMPARE(window.size(), QSize(360, 311));
    QCOMPARE(window.minimumWidth(), 360);
    QCOMPARE(window.maximumSize(), QSize(360, 1000));
    QCOMPARE(window.windowTitle(), QStringLiteral("KVT Merge Tool"));

    auto *grid = child<QGridLayout>(&window, "gridLayout");
    QVERIFY(grid);
    QCOMPARE(grid->parentWidget(), ui.centralwidget);
    QCOMPARE(ui.verticalLayout_3->spacing(), 1);
    QCOMPARE(ui.verticalLayout_3->contentsMargins().bottom(), 0);
    QCOMPARE(ui.horizontalLayout_5->sizeConstraint(), QLayout::SetMinimumSize);
    QCOMPARE(ui.verticalLayout->spacing(), 5);

    for (QFormLayout *formLayout : {ui.formLayout_4, ui.formLayout_3}) {
        QCOMPARE(formLayout->labelAlignment(), Qt::AlignRight | Qt::AlignTrailing | Qt::AlignVCenter);
        QCOMPARE(formLayout->horizontalSpacing(), 5);
        QCOMPARE(formLayout->verticalSpacing(), 2);
        QCOMPARE(formLayout->fieldGrowthPolicy(), QFormLayout::AllNonFixedFieldsGrow);
    }
    QCOMPARE(ui.formLayout_3->rowWrapPolicy(), QFormLayout::DontWrapRows);

    const struct {
        QFormLayout *layout;
        int row;
        QLabel *label;
        const char *text;
        QWidget *field;
    } rows[] = {
        {ui.formLayout_4, 0, ui.lbDBDriver, "Mode:", ui.cmbxDBDriver},
        {ui.formLayout_4, 1, ui.lbHost, "Host:", ui.edHost},
        {ui.formLayout_4, 2, ui.lbUser, "User:", ui.edUser},
        {ui.formLayout_3, 0, ui.lbPort, "Port:", ui.edPort},
        {ui.formLayout_3, 1, ui.lbDB, "Database:", ui.edDBName},
        {ui.formLayout_3, 2, ui.lbPassword, "Password:", ui.edPassword},
    };
    for (const auto &row : rows) {
        QCOMPARE(row.layout->itemAt(row.row, QFormLayout::LabelRole)->widget(), row.label);
        QCOMPARE(row.layout->itemAt(row.row, QFormLayout::FieldRole)->widget(), row.field);
        QCOMPARE(row.label->text(), QString::fromLatin1(row.text));
        QCOMPARE(row.field->minimumWidth(), 115);
        QCOMPARE(row.field->maximumWidth(), 115);
    }
    QVERIFY(!ui.cmbxDBDriver->isEditable());
    QCOMPARE(ui.cmbxDBDriver->layoutDirection(), Qt::LeftToRight);
    QCOMPARE(ui.edHost->text(), QStringLiteral("127.0.0.1"));
    QCOMPARE(ui.edUser->text(), QString());
    QCOMPARE(ui.edPort->text(), QStringLiteral("3306"));
    QCOMPARE(ui.edPort->alignment(), Qt::AlignLeading | Qt::AlignLeft | Qt::AlignVCenter);
    QCOMPARE(ui.edDBName->text(), QStringLiteral("mysql"));
    QVERIFY(!ui.edDBName->isEnabled());
    QCOMPARE(ui.edPassword->text(), QString());

    QCOMPARE(ui.btnConnect->text(), QStringLiteral("Connect"));
    QCOMPARE(ui.btnConnect->toolTip(), QStringLiteral("Connect"));
    QCOMPARE(ui.btnConnect->iconSize(), QSize(30, 30));
    QVERIFY(!ui.btnConnect->icon().isNull());
    QCOMPARE(ui.btnConnect->minimumHeight(), 35);
    QCOMPARE(ui.btnConnect->maximumHeight(), 35);

    QCOMPARE(ui.horizontalLayout_2->indexOf(ui.label), 0);
    QCOMPARE(ui.horizontalLayout_2->indexOf(ui.spinTableSource), 1);
    QCOMPARE(ui.label->text(), QStringLiteral("Merge KVT Databases (count):"));
    QCOMPARE(ui.label->margin(), 5);
    QCOMPARE(ui.spinTableSource->minimum(), 1);
    QCOMPARE(ui.spinTableSource->maximum(), 10);

    QCOMPARE(ui.layoutTableSource->count(), 1);
    QCOMPARE(ui.layoutTableSource->itemAt(0)->widget(), ui.label_2);
    QCOMPARE(ui.label_2->text(), QStringLiteral("From this database:"));
    QCOMPARE(ui.verticalLayout_2->itemAt(0)->layout(), ui.layoutTableSource);
    QCOMPARE(ui.verticalLayout_2->itemAt(1)->widget(), ui.label_3);
    QCOMPARE(ui.verticalLayout_2->itemAt(2)->widget(), ui.edToTable);
    QCOMPARE(ui.verticalLayout_2->itemAt(3)->widget(), ui.progressBar);
    QCOMPARE(ui.verticalLayout_2->itemAt(4)->layout(), ui.horizontalLayout);
    QCOMPARE(ui.label_3->text(), QStringLiteral("to this database:"));
    QVERIFY(!ui.edToTable->autoFillBackground());
    QCOMPARE(ui.progressBar->value(), 0);
    QCOMPARE(ui.progressBar->textDirection(), QProgressBar::TopToBottom);
    QCOMPARE(ui.horizontalLayout->indexOf(ui.btnMerge), 0);
    QCOMPARE(ui.btnMerge->text(), QStringLiteral("Merge databases"));
    QCOMPARE(ui.btnMerge->iconSize(), QSize(25, 25));
    QVERIFY(!ui.btnMerge->icon().isNull());
    QCOMPARE(ui.btnMerge->maximumHeight(), 35);

    QVERIFY(ui.menubar->actions().contains(ui.menuMerge->menuAction()));
    QCOMPARE(ui.menuMerge->title(), QStringLiteral("Merge"));
    QVERIFY(ui.menuMerge->actions().contains(ui.actionKeepReferences));
    QVERIFY(ui.actionKeepReferences->isCheckable());
    QVERIFY(ui.menubar->actions().contains(ui.menuConnection->menuAction()));
    QCOMPARE(ui.menuConnection->title(), QStringLiteral("Connection"));
    QCOMPARE(ui.menuConnection->actions(), QList<QAction *>{ui.actionConnectionSecurity});
    QCOMPARE(ui.menuMerge->actions().mid(1, 2), QList<QAction *>({ui.actionPreview, ui.actionMergeReport}));
    QVERIFY(ui.menuMerge->actions().at(3)->isSeparator());
    QCOMPARE(ui.menuMerge->actions().mid(4), QList<QAction *>({ui.actionUndoMerge, ui.actionJournalFile}));
    QCOMPARE(window.menuBar(), ui.menubar);
    QCOMPARE(window.statusBar(), ui.statusbar);
}

void tst_MainWin::formTabOrder()
{
    MainWin window;
    const QStringList expected = {
        QStringLiteral("cmbxDBDriver"), QStringLiteral("edHost"), QStringLiteral("edUser"),
        QStringLiteral("edPort"), QStringLiteral("edDBName"), QStringLiteral("edPassword"),
        QStringLiteral("btnConnect"), QStringLiteral("spinTableSource"),
        QStringLiteral("edTableSource_1"), QStringLiteral("edToTable"), QStringLiteral("btnMerge"),
    };
    QStringList chain;
    QWidget *w = child<QWidget>(&window, "cmbxDBDriver");
    for (int guard = 0; w && guard < 200; ++guard, w = w->nextInFocusChain()) {
        if (expected.contains(w->objectName()) && !chain.contains(w->objectName()))
            chain.append(w->objectName());
        if (chain.size() == expected.size())
            break;
    }
    QCOMPARE(chain, expected);
}

void tst_MainWin::initialState()
{
    MainWin window;
    QCOMPARE(window.windowTitle(), QStringLiteral("KVT Merge Tool Version: 0.2.0.121004"));
    // The "Merge" menu gives the menu bar its height, which the size rule adds.
    const int menu = menuBarHeight(&window);
    QVERIFY2(menu >= 17 && menu <= 24, qPrintable(QString::number(menu)));
    QCOMPARE(window.size(), QSize(350, 280 + menu));
    QCOMPARE(window.minimumSize(), QSize(350, 280 + menu));
    QCOMPARE(window.maximumSize(), QSize(350, 280 + menu));

    QCOMPARE(child<QLineEdit>(&window, "edHost")->text(), QStringLiteral("127.0.0.1"));
    QCOMPARE(child<QLineEdit>(&window, "edPort")->text(), QStringLiteral("3306"));
    QCOMPARE(child<QLineEdit>(&window, "edUser")->text(), QString());
    QCOMPARE(child<QLineEdit>(&window, "edPassword")->text(), QString());
    QCOMPARE(child<QLineEdit>(&window, "edPassword")->echoMode(), QLineEdit::Password);
    QCOMPARE(child<QLineEdit>(&window, "edDBName")->text(), QStringLiteral("mysql"));
    QVERIFY(!child<QLineEdit>(&window, "edDBName")->isEnabled());
    QCOMPARE(child<QLineEdit>(&window, "edToTable")->text(), QString());
    QVERIFY(child<QProgressBar>(&window, "progressBar")->isHidden());
    auto *spin = child<QSpinBox>(&window, "spinTableSource");
    QCOMPARE(spin->minimum(), 1);
    QCOMPARE(spin->maximum(), 10);
    QCOMPARE(spin->value(), 1);
    auto *drivers = child<QComboBox>(&window, "cmbxDBDriver");
    QVERIFY(drivers->findText(QStringLiteral("QMYSQL")) >= 0);
    QCOMPARE(drivers->currentText(), QStringLiteral("QMYSQL"));
    QCOMPARE(child<QPushButton>(&window, "btnMerge")->text(), QStringLiteral("Merge databases"));

    // The one source field, below label_2.
    const QList<QLineEdit *> fields = sourceFields(&window);
    QCOMPARE(fields.size(), 1);
    QVERIFY(fields.first());
    QCOMPARE(fields.first()->objectName(), QStringLiteral("edTableSource_1"));
    QCOMPARE(fields.first()->parentWidget()->window(), &window);
    QCOMPARE(fields.first()->text(), QString());
    QCOMPARE(window.findChildren<QLineEdit *>(QRegularExpression(QStringLiteral("^edTableSource_"))).size(), 1);

    // The status label, in the status bar.
    auto *status = child<QLabel>(&window, "lbStatus");
    QVERIFY(status);
    QCOMPARE(status->text(), QStringLiteral("please connect to server"));
    QVERIFY(child<QStatusBar>(&window, "statusbar")->isAncestorOf(status));
}

void tst_MainWin::sizeRule_data()
{
    QTest::addColumn<int>("fields");
    for (int n = 1; n <= 10; ++n)
        QTest::addRow("%d field(s)", n) << n;
}

void tst_MainWin::sizeRule()
{
    QFETCH(int, fields);
    TestMainWin window;
    window.createTableSource(fields);
    const QList<QLineEdit *> built = sourceFields(&window);
    QCOMPARE(built.size(), fields);
    for (int i = 0; i < fields; ++i) {
        QVERIFY(built.at(i));
        QCOMPARE(built.at(i)->objectName(), QStringLiteral("edTableSource_%1").arg(i + 1));
    }
    QCOMPARE(window.findChildren<QLineEdit *>(QRegularExpression(QStringLiteral("^edTableSource_"))).size(),
             fields);
    // Rebuilding fixes the idle size.
    const int menu = menuBarHeight(&window);
    QCOMPARE(window.size(), QSize(350, fields * 20 + 260 + menu));

    window.setMainWinSize(MainWin::mwsMerging);
    QCOMPARE(window.size(), QSize(350, fields * 25 + 270 + menu));
    QCOMPARE(window.minimumSize(), window.maximumSize());
    window.setMainWinSize(MainWin::mwsIdle);
    QCOMPARE(window.size(), QSize(350, fields * 20 + 260 + menu));
    QCOMPARE(window.minimumSize(), window.maximumSize());

    // The form fits the fixed size in both modes (nothing squashed below its minimum).
    window.layout()->invalidate();
    QVERIFY2(window.layout()->minimumSize().height() <= window.height(),
             qPrintable(QStringLiteral("idle: needs %1").arg(window.layout()->minimumSize().height())));
    QVERIFY(window.layout()->minimumSize().width() <= window.width());
    child<QProgressBar>(&window, "progressBar")->show();
    window.setMainWinSize(MainWin::mwsMerging);
    window.layout()->invalidate();
    QVERIFY2(window.layout()->minimumSize().height() <= window.height(),
             qPrintable(QStringLiteral("merging: needs %1").arg(window.layout()->minimumSize().height())));
    child<QProgressBar>(&window, "progressBar")->hide();
    window.setMainWinSize(MainWin::mwsIdle);

    if (fields == 1)
        QCOMPARE(window.size(), QSize(350, 280 + menu));
    if (fields == 10)
        QCOMPARE(window.size(), QSize(350, 460 + menu));
}

void tst_MainWin::sizeRuleOtherModeChangesNothing()
{
    TestMainWin window;
    const int menu = menuBarHeight(&window);
    window.createTableSource(3);
    window.setMainWinSize(MainWin::mwsMerging);
    QCOMPARE(window.size(), QSize(350, 345 + menu));
    window.setMainWinSize(static_cast<MainWin::mwSize>(2));
    QCOMPARE(window.size(), QSize(350, 345 + menu));
    window.setMainWinSize(static_cast<MainWin::mwSize>(-1));
    QCOMPARE(window.size(), QSize(350, 345 + menu));
    // A count of 0 leaves the fields as they are.
    window.createTableSource(0);
    QCOMPARE(sourceFields(&window).size(), 3);
    QCOMPARE(window.size(), QSize(350, 345 + menu));
    // Typed text is discarded on a rebuild.
    sourceFields(&window).first()->setText(QStringLiteral("kvt_a"));
    window.createTableSource(2);
    QCOMPARE(sourceFields(&window).first()->text(), QString());
    QCOMPARE(window.size(), QSize(350, 300 + menu));
}

void tst_MainWin::languageChangeResets()
{
    MainWin window;
    child<QLineEdit>(&window, "edHost")->setText(QStringLiteral("10.0.0.7"));
    child<QLineEdit>(&window, "edPort")->setText(QStringLiteral("3307"));
    child<QPushButton>(&window, "btnMerge")->setText(QStringLiteral("Stop process"));

    QEvent change(QEvent::LanguageChange);
    QApplication::sendEvent(&window, &change);

    QCOMPARE(window.windowTitle(), QStringLiteral("KVT Merge Tool"));
    QCOMPARE(child<QLineEdit>(&window, "edHost")->text(), QStringLiteral("127.0.0.1"));
    QCOMPARE(child<QLineEdit>(&window, "edPort")->text(), QStringLiteral("3306"));
    QCOMPARE(child<QLineEdit>(&window, "edDBName")->text(), QStringLiteral("mysql"));
    QCOMPARE(child<QPushButton>(&window, "btnMerge")->text(), QStringLiteral("Merge databases"));
    QCOMPARE(child<QPushButton>(&window, "btnConnect")->toolTip(), QStringLiteral("Connect"));
    // The size and the source field are not the form's business.
    QCOMPARE(window.size(), QSize(350, 280 + menuBarHeight(&window)));
    QCOMPARE(sourceFields(&window).size(), 1);
}

void tst_MainWin::createWindowMain()
{
    // The icon path is relative to the working directory: give it the program's layout.
    QTemporaryDir program;
    QVERIFY(QDir(program.path()).mkdir(QStringLiteral("res")));
    QVERIFY(QFile::copy(QStringLiteral(KVT_SOURCE_DIR "/app/gui/resources/appIcon.ico"),
                        program.filePath(QStringLiteral("res/appIcon.ico"))));
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(program.path()));

    if (!WidgetCreation::instance)
        WidgetCreation::instance = new WidgetCreation;
    WidgetCreation::instance->createWindowMain();
    QDir::setCurrent(previous);

    MainWin *window = nullptr;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *candidate = qobject_cast<MainWin *>(w))
            window = candidate;
    QVERIFY(window);
    QPointer<MainWin> guard(window);
    QVERIFY(QTest::qWaitForWindowExposed(window));
    QVERIFY(window->isVisible());
    QVERIFY(window->testAttribute(Qt::WA_DeleteOnClose));
    QVERIFY(!window->parentWidget());
    QCOMPARE(window->size(), QSize(350, 280 + menuBarHeight(window)));

    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    const QPoint centre((area.left() + area.right()) / 2, (area.top() + area.bottom()) / 2);
    QCOMPARE(window->geometry().topLeft(),
             QPoint(centre.x() - 349 / 2, centre.y() - (279 + menuBarHeight(window)) / 2));

    const QIcon icon = window->windowIcon();
    QVERIFY(!icon.isNull());
    QVERIFY(icon.availableSizes().contains(QSize(32, 32)));

    QVERIFY(window->close());
    flushDeferredDeletes();
    QVERIFY(guard.isNull());
}

void tst_MainWin::closeAcceptedWhenNoMergeRuns()
{
    QPointer<TestMainWin> window = new TestMainWin;
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.data()));
    QVERIFY(window->close());
    flushDeferredDeletes();
    QVERIFY(window.isNull());
}

void tst_MainWin::closeIgnoredWhileMergeRuns()
{
    QPointer<TestMainWin> window = new TestMainWin;
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.data()));
    window->running = true;
    QVERIFY(!window->close());
    flushDeferredDeletes();
    QVERIFY(!window.isNull());
    QVERIFY(window->isVisible());

    window->running = false; // the merge ended
    QVERIFY(window->close());
    flushDeferredDeletes();
    QVERIFY(window.isNull());
}

QTEST_MAIN(tst_MainWin)
#include "tst_mainwin.moc"
