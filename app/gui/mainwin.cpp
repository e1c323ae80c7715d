#include "mainwin.h"
#include "ui_mainwin.h"

#include "CONST.h"
#include "ConflictAnswer.h"
#include "ConflictResolver.h"
#include "ConnectionPanel.h"
#include "ConnectionSecurity.h"
#include "KvtMerger.h"
#include "KvtPaths.h"
#include "KvtTables.h"
#include "MergeJournal.h"
#include "MergeReportWriter.h"
#include "PLog.h"
#include "PSqlDBAccess.h"
#include "PSqlErrors.h"
#include "PSqlService.h"
#include "auxFunc.h"
#include "dbAccess.h"
#include "dbFunc.h"
#include "dlgConnectionSecurity.h"
#include "dlgDiffRecordsCompare.h"
#include "dlgMergePreview.h"
#include "dlgMergeReport.h"
#include "dlgUndoMerge.h"

#include <QAction>
#include <QCloseEvent>
#include <QCompleter>
#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QSettings>
#include <QSqlDatabase>
#include <QSignalTransition>
#include <QState>
#include <QStringListModel>


namespace {

// The mode "Keep references consistent" (the Merge menu), off until the operator turns it on.
const QString keepReferencesKey = QStringLiteral("merge/keepReferences");
const QString journalFileKey = QStringLiteral("merge/journalFile");

const int mainWinWidth = 350;
const int idleRowHeight = 20;
const int idleBaseHeight = 260;
const int mergingRowHeight = 25;
const int mergingBaseHeight = 270;

const int completerVisibleItems = 10;
const int maxSourceFields = 10;
// Base colour of the field of a source database that has been merged.
const QColor finishedDBColor(128, 165, 71, 255);

// Port to Qt 5 on desktops with larger fonts: the fixed sizes above were laid out for
// the Windows dialog font of 8 points (with it the form's labels are 30 to 57 pixels
// wide). A larger font does not fit and the layout squashes the fields; so the window
// uses at most 8 points, and a few spacings are tightened so that each source field
// takes exactly the rule's 20 pixels (18 high, 2 apart).
const qreal formPointSize = 8.0;
const int formPixelSize = 11;
const int fieldSpacing = 2;
const int fieldHeight = idleRowHeight - fieldSpacing;
const int outerMargin = 4;

} // namespace

MainWin::MainWin(QWidget *parent)
    : QMainWindow(parent)
    , ui(new Ui::MainWin)
    , sqlErrors(nullptr)
    , sqlService(nullptr)
    , m_sqlDBAccess(nullptr)
    , m_lbStatus(nullptr)
    , m_stStartMerge(nullptr)
    , m_stStopMerge(nullptr)
    , m_mergeMachine(this)
    , m_trMergeFinished(nullptr)
    , m_dlgDiffRecords(nullptr)
    , m_actionForDiffRecords(adrAsk)
    , merger(nullptr)
    , completer(nullptr)
{
    ui->setupUi(this);
    createNecessaryObjects();
    initWidgets();
    initSlotSignal(this);
}

MainWin::~MainWin()
{
    // Nothing of this window may run any more: neither the worker's queued reports nor
    // the state machine's exit handler.
    stopWorkerAndWait();
    if (m_stStopMerge)
        m_stStopMerge->disconnect(this);
    if (m_stStartMerge)
        m_stStartMerge->disconnect(this);

    delete sqlErrors;
    delete sqlService;
    delete m_sqlDBAccess;
    delete m_lbStatus;
    delete merger;
    delete m_dlgDiffRecords;
    delete completer;
    delete m_stStopMerge;
    delete m_stStartMerge;
    delete ui;
}

void MainWin::stopWorkerAndWait()
{
    if (!merger)
        return;
    merger->disconnect(this);
    if (!merger->isRunning())
        return;
    PLOG_WARN << "main window closed during a merge: the merge is stopped";
    merger->requestStop();
    merger->wait();
}

// ---------------------------------------------------------------- construction

void MainWin::createNecessaryObjects()
{
    m_actionForDiffRecords = adrAsk;

    sqlErrors = new PSqlErrors(this);
    sqlService = new PSqlService(this);
    m_sqlDBAccess = new PSqlDBAccess(this);
    DBAccess::instance()->setSecurity(ConnectionSecurity::load(QSettings()));

    merger = new KvtMerger;
    merger->setStopFlag(false);
    merger->initDBList();

    m_dlgDiffRecords = new dlgDiffRecordsCompare(this);
    m_dlgDiffRecords->setModal(true);
    m_dlgPreview = new dlgMergePreview(this);
    m_dlgReport = new dlgMergeReport(this);
    m_dlgUndo = new dlgUndoMerge(this);
    setJournalFile(QSettings().value(journalFileKey).toString());

    completer = new QCompleter(this);
    completer->setMaxVisibleItems(completerVisibleItems);
    completer->setCompletionMode(QCompleter::PopupCompletion);
    completer->setModelSorting(QCompleter::CaseInsensitivelySortedModel);

    m_lbStatus = new QLabel(tr("please connect to server"));
    m_lbStatus->setObjectName(QStringLiteral("lbStatus"));

    createMergeButtonStates();
    createTableSource(1);
}

void MainWin::createMergeButtonStates()
{
    m_stStopMerge = new QState;
    m_stStopMerge->setObjectName(QStringLiteral("btnStopMerge"));
    m_stStopMerge->assignProperty(ui->btnMerge, "text", tr("Stop process"));
    m_stStartMerge = new QState;
    m_stStartMerge->setObjectName(QStringLiteral("btnStartMerge"));
    m_stStartMerge->assignProperty(ui->btnMerge, "text", tr("Merge databases"));

    m_stStartMerge->addTransition(ui->btnMerge, &QPushButton::clicked, m_stStopMerge);
    m_stStopMerge->addTransition(ui->btnMerge, &QPushButton::clicked, m_stStartMerge);
    m_trMergeFinished = m_stStopMerge->addTransition(this, &MainWin::mergeFinished, m_stStartMerge);

    m_mergeMachine.addState(m_stStopMerge);
    m_mergeMachine.addState(m_stStartMerge);
    m_mergeMachine.setInitialState(m_stStartMerge);
    m_mergeMachine.start();
}

void MainWin::initWidgets()
{
    ui->edHost->setText(QStringLiteral("127.0.0.1"));
    ui->edPassword->setEchoMode(QLineEdit::Password);
    ui->progressBar->hide();
    ui->spinTableSource->setMaximum(maxSourceFields);
    initDBDriverList(SQLDRIVER);
    setWindowTitle(tr("KVT Merge Tool ") + applicationFullVersion());
    ui->statusbar->addWidget(m_lbStatus, 0);
    ui->actionKeepReferences->setChecked(QSettings().value(keepReferencesKey, false).toBool());
    fitFormToFixedSize();
    // The menu bar's height follows the form's font, set just now.
    setMainWinSize(mwsIdle);
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
    Q_UNUSED(parent);
    registerKvtMetaTypes();

    connect(ui->btnConnect, &QPushButton::clicked, this, &MainWin::createConnection);
    connect(ui->actionKeepReferences, &QAction::toggled, this,
            [](bool on) { QSettings().setValue(keepReferencesKey, on); });
    connect(ui->actionConnectionSecurity, &QAction::triggered, this, &MainWin::showConnectionSecurity);
    connect(ui->spinTableSource, QOverload<int>::of(&QSpinBox::valueChanged), this,
            &MainWin::createTableSource);
    connect(m_stStopMerge, &QState::entered, this, &MainWin::startMerge);
    connect(m_stStopMerge, &QState::exited, this, &MainWin::stopMergeProc);
    connect(merger, &KvtMerger::finished, this, &MainWin::mergeIsFinished);
    connect(merger, &KvtMerger::sendCurrentFinishedDB, this, &MainWin::getCurrentFinishedDB,
            Qt::QueuedConnection);
    connect(merger, &KvtMerger::sendCurrentDB, this, &MainWin::getCurrentDB, Qt::QueuedConnection);
    connect(merger, &KvtMerger::sendProgressBarMaxValue, ui->progressBar, &QProgressBar::setMaximum,
            Qt::QueuedConnection);
    connect(merger, &KvtMerger::sendProgressBarCurrentValue, ui->progressBar, &QProgressBar::setValue,
            Qt::QueuedConnection);
    connect(merger, &KvtMerger::sqlErr, this, &MainWin::showLastSqlErr, Qt::QueuedConnection);
    ConflictHandOver::connect(*merger, *this, this);
    connect(merger, &KvtMerger::setStatusText, this, &MainWin::setStatusText, Qt::QueuedConnection);
    connect(merger, &KvtMerger::errHasOccured, this, &MainWin::stopMergeProc, Qt::QueuedConnection);
    connect(m_dlgDiffRecords, &dlgDiffRecordsCompare::errHasOccured, this, &MainWin::stopMergeProc);
    connect(m_dlgDiffRecords, &dlgDiffRecordsCompare::setActionDiffRec, this, &MainWin::setActionForDiffRecords);
    // The dialog's choice; ConflictHandOver records it and resumes the worker once exec() returns.
    connect(m_dlgDiffRecords, &dlgDiffRecordsCompare::conflictSettled, this,
            [this](MergeReport::Decision decision, MergeReport::DecidedBy decidedBy, const QString &newKey) {
                m_operatorSettlement = ConflictSettlement::settled(decision, decidedBy, newKey);
            });
    connect(ui->actionPreview, &QAction::triggered, this, &MainWin::showMergePreview);
    connect(ui->actionMergeReport, &QAction::triggered, this, &MainWin::showMergeReport);
    connect(ui->actionUndoMerge, &QAction::triggered, this, &MainWin::showUndoMerge);
    connect(ui->actionJournalFile, &QAction::triggered, this, &MainWin::chooseJournalFile);
    connect(m_dlgPreview, &dlgMergePreview::mergeRequested, this, &MainWin::startMergeFromPreview);
}

// ---------------------------------------------------------------- connection panel

void MainWin::initDBDriverList(QString current_driver)
{
    ui->cmbxDBDriver->addItems(m_sqlDBAccess->getDriverList());
    if (current_driver.isEmpty())
        current_driver = SQLDRIVER;
    const int index = ui->cmbxDBDriver->findText(current_driver, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (index >= 0)
        ui->cmbxDBDriver->setCurrentIndex(index);
}

void MainWin::createConnection()
{
    const ConnectionPanel::MissingInput missing = ConnectionPanel::firstMissingInput(
        ui->cmbxDBDriver->currentText(), ui->edDBName->text(), ui->edHost->text());
    if (missing != ConnectionPanel::MissingInput::NothingMissing) {
        showInputProblem(ConnectionPanel::boxText(missing), ConnectionPanel::statusText(missing));
        return;
    }

    QString tlsProblem;
    if (!DBAccess::instance()->security().isUsable(&tlsProblem)) {
        showInputProblem(tlsProblem, tr("TLS settings cannot be used: see Connection security"));
        return;
    }

    // The database field names the server's system database, which the program does not
    // need: every statement names its database. So the connection selects none, and an
    // account with only the grants of a merge (no rights on "mysql") can log in.
    const int code = DBAccess::instance()->connectToDB(ui->cmbxDBDriver->currentText(), QString(),
                                                       ui->edHost->text(), ui->edUser->text(),
                                                       ui->edPassword->text(), ui->edPort->text());
    if (code != 0) {
        m_lbStatus->setText(QString());
        return;
    }
    m_lbStatus->setText(connectedStatusText());

    QStringList databases;
    if (!getDBList(databases, sqlService))
        return;
    // The completer deletes the model it owned so far.
    completer->setModel(modelFromStringList(databases));
    ui->edToTable->setCompleter(completer);
}

QString MainWin::connectedStatusText() const
{
    const QString cipher = DBAccess::instance()->cipher();
    return cipher.isEmpty() ? tr("connection is success")
                            : tr("connection is success, encrypted (%1)").arg(cipher);
}

void MainWin::showConnectionSecurity()
{
    dlgConnectionSecurity dialog(this);
    dialog.setSecurity(DBAccess::instance()->security());
    if (dialog.exec() != QDialog::Accepted)
        return;
    QSettings settings; // KvtPaths::settingsFile()
    dialog.security().save(settings);
    DBAccess::instance()->setSecurity(dialog.security());
}

void MainWin::showInputProblem(const QString &boxText, const QString &statusText)
{
    QMessageBox::warning(this, QObject::tr("Error"), boxText, QMessageBox::Ok);
    m_lbStatus->setText(statusText);
}

void MainWin::createTableSource(int count)
{
    if (count == 0)
        return;
    qDeleteAll(m_tableSource);
    m_tableSource.clear();
    for (int i = 1; i <= count; ++i) {
        auto *field = new QLineEdit(this);
        field->setObjectName(QStringLiteral("edTableSource_") + QString::number(i));
        field->setFixedHeight(fieldHeight);
        field->setCompleter(completer);
        m_tableSource.append(field);
    }
    QWidget *previous = ui->spinTableSource;
    for (QLineEdit *field : qAsConst(m_tableSource)) {
        ui->layoutTableSource->addWidget(field);
        // Keep Tab moving top-down: count, source fields, destination.
        setTabOrder(previous, field);
        previous = field;
    }
    setTabOrder(previous, ui->edToTable);
    setMainWinSize(mwsIdle);
}

void MainWin::editSrcDBSetEnabled(bool param)
{
    for (QLineEdit *field : qAsConst(m_tableSource)) {
        field->setEnabled(param);
        if (param)
            field->setPalette(ui->edToTable->palette());
    }
}

bool MainWin::editFieldsIsEmpty()
{
    for (QLineEdit *field : qAsConst(m_tableSource)) {
        if (field->text().isEmpty()) {
            m_lbStatus->setText(tr("Please fill empty field"));
            return true;
        }
    }
    if (ui->edToTable->text().isEmpty()) {
        m_lbStatus->setText(tr("Please fill empty field"));
        return true;
    }
    return false;
}

bool MainWin::dbConnectionIsActive()
{
    if (DBAccess::instance()->isOpen())
        return true;
    m_lbStatus->setText(tr("There are no open connections"));
    return false;
}

void MainWin::setCompleterForEditFields()
{
    for (QLineEdit *field : qAsConst(m_tableSource))
        field->setCompleter(completer);
    ui->edToTable->setCompleter(completer);
}

QAbstractItemModel *MainWin::modelFromStringList(QStringList list)
{
    return new QStringListModel(list, completer);
}

// ---------------------------------------------------------------- merge control

void MainWin::startMerge()
{
    if (!dbConnectionIsActive() || editFieldsIsEmpty()) {
        emit mergeFinished();
        return;
    }
    if (mergeIsRunning()) {
        // The button is locked until a stopped worker has ended; this is a safeguard.
        PLOG_WARN << "merge not started: the previous merge has not ended yet";
        emit mergeFinished();
        return;
    }
    guiEnabled(false);
    const bool keepReferences = ui->actionKeepReferences->isChecked();
    m_lbStatus->setText(keepReferences ? tr("Merger started, keeping references consistent") : tr("Merger started"));

    merger->setStopFlag(false);
    merger->setKeepReferences(keepReferences);
    merger->setCurrentDataBaseDestination(ui->edToTable->text());
    merger->setDBList(sourceDatabaseNames());
    merger->start(QThread::InheritPriority);
    merger->setPriority(QThread::LowestPriority);
}

QStringList MainWin::sourceDatabaseNames() const
{
    QStringList names;
    for (const QLineEdit *field : m_tableSource)
        names << field->text();
    return names;
}

void MainWin::stopMergeProc()
{
    merger->requestStop();
    // Until the worker has ended, a new merge must not start on top of it.
    if (mergeIsRunning())
        ui->btnMerge->setEnabled(false);
}

void MainWin::guiEnabled(bool param)
{
    for (QWidget *input : {static_cast<QWidget *>(ui->spinTableSource), static_cast<QWidget *>(ui->cmbxDBDriver),
                           static_cast<QWidget *>(ui->edHost), static_cast<QWidget *>(ui->edUser),
                           static_cast<QWidget *>(ui->edPassword), static_cast<QWidget *>(ui->edPort),
                           static_cast<QWidget *>(ui->btnConnect), static_cast<QWidget *>(ui->edToTable)})
        input->setEnabled(param);
    ui->actionKeepReferences->setEnabled(param);
    ui->actionPreview->setEnabled(param);
    ui->actionMergeReport->setEnabled(param);
    ui->actionUndoMerge->setEnabled(param);
    ui->actionJournalFile->setEnabled(param);
    if (param) {
        ui->progressBar->setValue(0);
        ui->progressBar->hide();
        setMainWinSize(mwsIdle);
        editSrcDBSetEnabled(true);
        ui->btnMerge->setEnabled(true);
    } else {
        ui->progressBar->show();
        setMainWinSize(mwsMerging);
        editSrcDBSetEnabled(false);
    }
}

void MainWin::mergeIsFinished()
{
    keepMergeReport();
    m_lbStatus->setText(tr("Merger completed"));
    guiEnabled(true);
    setMainWinSize(mwsIdle);
    setActionForDiffRecords(adrAsk);
    emit mergeFinished();
}

void MainWin::getCurrentDB(const QString &db)
{
    m_currentDB = db;
}

void MainWin::getCurrentFinishedDB(const QString &db)
{
    for (QLineEdit *field : qAsConst(m_tableSource)) {
        if (field->text() == db) {
            field->setEnabled(true);
            QPalette finished = field->palette();
            finished.setBrush(QPalette::Base, QBrush(finishedDBColor, Qt::SolidPattern));
            field->setPalette(finished);
            return;
        }
    }
}

void MainWin::setStatusText(const QString &text)
{
    m_lbStatus->setText(text);
}

void MainWin::showLastSqlErr(const QString &msg, const QString &code)
{
    QMessageBox::critical(this, QObject::tr("Error"), msg + QLatin1Char('\n') + QObject::tr("Code: ") + code,
                          QMessageBox::Ok);
}

void MainWin::setActionForDiffRecords(actionDiffRec action)
{
    if (!ConflictAnswer::isStandingChoice(action)) {
        PLOG_WARN << "unknown standing choice for conflicting records ignored:" << int(action);
        return;
    }
    m_actionForDiffRecords = static_cast<quint8>(action);
    merger->setStandingChoice(action);
}

actionDiffRec MainWin::getActionForDiffRecords() const
{
    return static_cast<actionDiffRec>(m_actionForDiffRecords);
}

ConflictSettlement MainWin::settle(const MergeConflict &conflict)
{
    using Outcome = ConflictSettlement::Outcome;
    const ConflictAnswer::Step step = ConflictAnswer::stepFor(conflict.table, getActionForDiffRecords());
    // The grids are loaded only for the operator to see.
    if (step != ConflictAnswer::Step::AskOperator)
        m_dlgDiffRecords->setConflict(conflict.table, conflict.sourceDB, conflict.destinationDB,
                                      conflict.sourceSelect);
    else if (m_dlgDiffRecords->getSqlParameters(conflict.table, conflict.sourceDB, conflict.destinationDB,
                                                conflict.sourceSelect, conflict.destinationSelect))
        return ConflictSettlement::of(Outcome::Stop);
    m_dlgDiffRecords->resolver()->setJournalRun(conflict.journalRun);
    const auto byRule = ConflictAnswer::decidedBy(conflict.table, MergeReport::DecidedBy::StandingChoice);
    // After a failure the dialog has stopped the merge: nothing is recorded.
    const auto unlessStopped = [this](const ConflictSettlement &settled) {
        return merger->stopFlag() ? ConflictSettlement::of(Outcome::Unrecorded) : settled;
    };
    switch (step) {
    case ConflictAnswer::Step::AskOperator:
        m_operatorSettlement = ConflictSettlement::of(Outcome::Unrecorded);
        m_dlgDiffRecords->exec();
        return m_operatorSettlement;
    case ConflictAnswer::Step::ReplaceDestination:
        m_dlgDiffRecords->updateDestinationRecord();
        return unlessStopped(ConflictSettlement::settled(MergeReport::Decision::Replaced, byRule));
    case ConflictAnswer::Step::AddUnderNewKey: {
        const QString key = addUnderNewKey();
        if (key.isEmpty())
            return ConflictSettlement::of(Outcome::Unrecorded);
        return unlessStopped(ConflictSettlement::settled(MergeReport::Decision::AddedNewKey, byRule, key));
    }
    case ConflictAnswer::Step::LeaveOut:
        break;
    }
    return ConflictSettlement::settled(MergeReport::Decision::LeftOut, byRule);
}

QString MainWin::addUnderNewKey()
{
    const quint64 id = m_dlgDiffRecords->getMaxID();
    if (id == 0)
        return QString(); // reported by the dialog, which has stopped the merge
    if (!ConflictResolver::keyFits(id)) {
        showNoKeyLeft();
        return QString();
    }
    m_dlgDiffRecords->insertInTable(static_cast<int>(id));
    return QString::number(id);
}

// ---------------------------------------------------------------- preview and report

void MainWin::showMergePreview()
{
    if (mergeIsRunning() || !dbConnectionIsActive() || editFieldsIsEmpty())
        return;
    m_dlgPreview->startPreview(ui->edToTable->text(), sourceDatabaseNames());
    showBeside(m_dlgPreview);
}

// As the merge button would; never a click that would stop a running merge.
void MainWin::startMergeFromPreview()
{
    if (m_stStartMerge->active() && !mergeIsRunning())
        ui->btnMerge->click();
}

// The two dialogs are not modal: the operator can keep them beside the main window.
void MainWin::showBeside(QDialog *dialog)
{
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
}

void MainWin::showMergeReport()
{
    if (m_hasReport)
        m_dlgReport->showReport(m_lastReport, m_lastReportFiles);
    else
        m_dlgReport->showNoReport();
    showBeside(m_dlgReport);
}

void MainWin::keepMergeReport()
{
    m_lastReport = merger->report();
    m_hasReport = true;
    const MergeReportWriter::Result written =
        MergeReportWriter::write(m_lastReport, KvtPaths::reportsFolder());
    m_lastReportFiles = written.basePath;
    if (written.ok)
        PLOG_INFO << "merge report:" << QDir::toNativeSeparators(written.basePath + QStringLiteral(".csv"));
    else
        PLOG_ERROR << "merge report not written:" << written.error;
    if (written.ok && merger->journalRun() != 0
        && !m_journal->setReportFile(merger->journalRun(), written.basePath + QStringLiteral(".csv")))
        PLOG_ERROR << "merge journal:" << m_journal->lastError();
}

// ---------------------------------------------------------------- journal and undo

void MainWin::setJournalFile(const QString &file)
{
    if (mergeIsRunning())
        return;
    m_dlgUndo->forgetJournal();
    m_journal.reset(new MergeJournal(file));
    merger->setJournal(m_journal.get());
}

void MainWin::showUndoMerge()
{
    if (!dbConnectionIsActive())
        return;
    m_dlgUndo->showRuns(m_journal.get(), MergeJournal::serverOf(QSqlDatabase::database()));
    showBeside(m_dlgUndo);
}

void MainWin::chooseJournalFile()
{
    const QString file = QFileDialog::getSaveFileName(
        this, tr("Merge journal"), m_journal->file(), tr("Merge journals (*.sqlite);;All files (*)"), nullptr,
        QFileDialog::DontConfirmOverwrite);
    if (file.isEmpty())
        return;
    QSettings().setValue(journalFileKey, file);
    setJournalFile(file);
    m_lbStatus->setText(tr("Merges are journaled in %1").arg(QDir::toNativeSeparators(file)));
}

// Not an SQL error, so the box has no code line; the run ends as after one.
void MainWin::showNoKeyLeft()
{
    const KvtTable &table = KvtTable::of(m_dlgDiffRecords->resolver()->table());
    const QString text = tr("Table \"%1\": no free key is left within the range of the column \"%2\". "
                            "The merge is stopped.")
                             .arg(table.name, table.keyColumn());
    PLOG_ERROR << text;
    merger->requestStop();
    QMessageBox::critical(this, QObject::tr("Error"), text, QMessageBox::Ok);
}

// ---------------------------------------------------------------- window

void MainWin::setMainWinSize(mwSize mode)
{
    const int fields = m_tableSource.size();
    // The menu bar takes its height from the form's room: add it to the base.
    const int menu = ui->menubar->sizeHint().height();
    switch (mode) {
    case mwsIdle:
        setFixedSize(mainWinWidth, fields * idleRowHeight + idleBaseHeight + menu);
        break;
    case mwsMerging:
        setFixedSize(mainWinWidth, fields * mergingRowHeight + mergingBaseHeight + menu);
        break;
    default:
        break;
    }
}

bool MainWin::mergeIsRunning() const
{
    return merger && merger->isRunning();
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
