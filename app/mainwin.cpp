#include "mainwin.h"
#include "ui_mainwin.h"

#include "CONST.h"
#include "auxFunc.h"

#include <QCloseEvent>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QSqlDatabase>

namespace {

const int mainWinWidth = 350;
const int idleRowHeight = 20;
const int idleBaseHeight = 260;
const int mergingRowHeight = 25;
const int mergingBaseHeight = 270;

// Port to Qt 5 on desktops with larger fonts: the fixed sizes above were laid out for
// the Windows dialog font of 8 points (with it the form's labels are 30 to 57 pixels
// wide). A larger font does not fit and the layout squashes the fields; so the window
// uses at most 8 points, and a few spacings the Part leaves open are tightened so that
// each source field takes exactly the rule's 20 pixels (18 high, 2 apart).
const qreal formPointSize = 8.0;
const int formPixelSize = 11;
const int fieldSpacing = 2;
const int fieldHeight = idleRowHeight - fieldSpacing;
const int outerMargin = 4;

} // namespace

MainWin::MainWin(QWidget *parent)
    : QMainWindow(parent)
    , ui(new Ui::MainWin)
    , lbStatus(nullptr)
{
    ui->setupUi(this);
    createNecessaryObjects();
    initWidgets();
    initSlotSignal(this);
}

MainWin::~MainWin()
{
    delete lbStatus;
    delete ui;
}

void MainWin::createNecessaryObjects()
{
    lbStatus = new QLabel(tr("please connect to server"));
    lbStatus->setObjectName(QStringLiteral("lbStatus"));
    buildTableSource(1);
}

void MainWin::initWidgets()
{
    ui->edHost->setText(QStringLiteral("127.0.0.1"));
    ui->edPassword->setEchoMode(QLineEdit::Password);
    ui->progressBar->hide();
    ui->spinTableSource->setMaximum(10);
    initDBDriverList(SQLDRIVER);
    setWindowTitle(tr("KVT Merge Tool ") + applicationFullVersion());
    ui->statusbar->addWidget(lbStatus, 0);
    fitFormToFixedSize();
}

void MainWin::fitFormToFixedSize()
{
    QFont small = font();
    if (small.pointSizeF() > formPointSize)
        small.setPointSizeF(formPointSize);
    else if (small.pointSizeF() <= 0 && small.pixelSize() > formPixelSize)
        small.setPixelSize(formPixelSize);
    setFont(small);

    int left, top, right, bottom;
    ui->gridLayout->getContentsMargins(&left, &top, &right, &bottom);
    ui->gridLayout->setContentsMargins(left, outerMargin, right, outerMargin);
    ui->verticalLayout_2->setSpacing(fieldSpacing);
    ui->layoutTableSource->setSpacing(fieldSpacing);
    ui->edToTable->setFixedHeight(fieldHeight);
    ui->statusbar->setSizeGripEnabled(false); // the window has a fixed size
}

void MainWin::initSlotSignal(QWidget *parent)
{
    // The connections of the connection panel (Part 1.2) and of the merge control
    // (Part 1.3) are made here when those Parts land.
    Q_UNUSED(parent);
}

void MainWin::initDBDriverList(QString current_driver)
{
    // Part 4.1's PSqlDBAccess::getDriverList (the same list without Qt 4's alias names)
    // replaces QSqlDatabase::drivers() here when it lands.
    ui->cmbxDBDriver->addItems(QSqlDatabase::drivers());
    if (current_driver.isEmpty())
        current_driver = SQLDRIVER;
    const int index = ui->cmbxDBDriver->findText(current_driver, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (index >= 0)
        ui->cmbxDBDriver->setCurrentIndex(index);
}

void MainWin::setMainWinSize(mwSize mode)
{
    const int fields = tableSource.size();
    switch (mode) {
    case mwsIdle:
        setFixedSize(mainWinWidth, fields * idleRowHeight + idleBaseHeight);
        break;
    case mwsMerging:
        setFixedSize(mainWinWidth, fields * mergingRowHeight + mergingBaseHeight);
        break;
    default:
        break;
    }
}

void MainWin::buildTableSource(int count)
{
    if (count == 0)
        return;
    qDeleteAll(tableSource);
    tableSource.clear();
    for (int i = 1; i <= count; ++i) {
        auto *field = new QLineEdit(this);
        field->setObjectName(QStringLiteral("edTableSource_") + QString::number(i));
        field->setFixedHeight(fieldHeight);
        tableSource.append(field);
    }
    QWidget *previous = ui->spinTableSource;
    for (QLineEdit *field : qAsConst(tableSource)) {
        ui->layoutTableSource->addWidget(field);
        // Keep Tab moving top-down: count, source fields, destination.
        setTabOrder(previous, field);
        previous = field;
    }
    setTabOrder(previous, ui->edToTable);
    setMainWinSize(mwsIdle);
}

bool MainWin::mergeIsRunning() const
{
    return false;
}

void MainWin::closeEvent(QCloseEvent *event)
{
    if (mergeIsRunning()) {
        event->ignore();
        return;
    }
    event->accept();
    QMainWindow::closeEvent(event);
}

void MainWin::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::LanguageChange)
        ui->retranslateUi(this);
}
