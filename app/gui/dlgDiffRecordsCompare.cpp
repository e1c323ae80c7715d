#include "dlgDiffRecordsCompare.h"
#include "ui_dlgDiffRecordsCompare.h"

#include "CONST.h"
#include "ComparedRecordModel.h"
#include "ConflictRecordWriter.h"
#include "ConflictTable.h"
#include "DestinationKeys.h"
#include "KvtMerger.h"
#include "PLog.h"
#include "PSqlErrors.h"
#include "PSqlService.h"
#include "dbFunc.h"
#include "dlgAddNewRec.h"
#include "dlgAddZones.h"
#include "gridDelegate.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QMetaMethod>
#include <QSqlQueryModel>
#include <QSqlRecord>
#include <QTableView>

namespace {

// The dialog's owner is the main window, whose class this dialog does not know: its
// slots are looked up by signature, and a missing one is logged.
template <typename Signal>
void connectToOwner(QObject *sender, Signal signal, QObject *owner, const char *slotSignature)
{
    if (!owner)
        return;
    const QMetaObject *meta = owner->metaObject();
    const int index = meta->indexOfSlot(QMetaObject::normalizedSignature(slotSignature).constData());
    if (index < 0 || !QObject::connect(sender, QMetaMethod::fromSignal(signal), owner, meta->method(index)))
        PLOG_ERROR << "conflict dialog: its owner offers no slot" << slotSignature;
}

} // namespace

dlgDiffRecordsCompare::dlgDiffRecordsCompare(KvtMerger *merger, QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::dlgDiffRecordsCompare)
{
    ui->setupUi(this);
    createNecessaryObjects();
    initWidgets();
    initSlotSignal(parent, merger);
}

// The form object goes first, then the SQL helpers (members); Qt deletes the children
// (error object, delegate, models and grids) last.
dlgDiffRecordsCompare::~dlgDiffRecordsCompare()
{
    delete ui;
}

bool dlgDiffRecordsCompare::needsOperator(kvtTableName table, actionDiffRec standingChoice)
{
    if (table == tnDevice)
        return false;
    return standingChoice == adrAsk || (standingChoice == adrAddNew && table == tnZones);
}

void dlgDiffRecordsCompare::createNecessaryObjects()
{
    sqlErrors = new PSqlErrors(this);
    sqlService = std::make_unique<PSqlService>(this);
    writer = std::make_unique<ConflictRecordWriter>(sqlService.get(), sqlErrors);
    keys = std::make_unique<DestinationKeys>(sqlService.get(), sqlErrors);
    gridDelegate = new GridDelegate(this);
    srcModel = new ComparedRecordModel(this);
    destModel = new ComparedRecordModel(this);
    tvSrcTable = new QTableView(this);
    tvDestTable = new QTableView(this);
    tvSrcTable->setObjectName(QStringLiteral("tvSrcTable"));
    tvDestTable->setObjectName(QStringLiteral("tvDestTable"));
}

void dlgDiffRecordsCompare::initWidgets()
{
    blockClose = true;
    installEventFilter(this);
    ui->lbHelpSrcTb->setText(tr("Record in the source table:"));
    ui->lbHelpDestTb->setText(tr("Record in the  destination table:"));
    tvSrcTable->setModel(srcModel);
    tvDestTable->setModel(destModel);
    ui->layoutSrcTb->addWidget(tvSrcTable);
    ui->layoutDestTb->addWidget(tvDestTable);
}

void dlgDiffRecordsCompare::initSlotSignal(QObject *parent, KvtMerger *obj)
{
    connectToOwner(this, &dlgDiffRecordsCompare::errHasOccured, parent, "stopMergeProc()");
    connectToOwner(this, &dlgDiffRecordsCompare::setActionDiffRec, parent,
                   "setActionForDiffRecords(actionDiffRec)");
    // The guard is lowered before any button's action runs and closes the window.
    connect(ui->btnContinueMerge, &QPushButton::clicked, this, &dlgDiffRecordsCompare::closeFalse);
    connect(ui->btnAddRecWithNewID, &QPushButton::clicked, this, &dlgDiffRecordsCompare::closeFalse);
    connect(ui->btnDontMergeCurrentRec, &QPushButton::clicked, this, &dlgDiffRecordsCompare::closeFalse);
    connect(ui->btnContinueMerge, &QPushButton::clicked, this, &dlgDiffRecordsCompare::mergeContinue);
    connect(ui->btnDontMergeCurrentRec, &QPushButton::clicked, this, &dlgDiffRecordsCompare::mergeCancel);
    connect(ui->btnAddRecWithNewID, &QPushButton::clicked, this, &dlgDiffRecordsCompare::mergeAddNewRec);
    if (obj)
        connect(this, &dlgDiffRecordsCompare::resumeThread, obj, &KvtMerger::resumeThread);
}

bool dlgDiffRecordsCompare::getSqlParameters(kvtTableName tbName, const QString &kvtSrcDB,
                                             const QString &kvtDestDB, const QString &srcQuery,
                                             const QString &destQuery)
{
    currentTable = tbName;
    this->kvtSrcDB = kvtSrcDB;
    this->kvtDestDB = kvtDestDB;
    conflictFailed = false;
    addedKey.clear();
    writer->setConflict(tbName, kvtDestDB, srcQuery);

    srcModel->setQuery(srcQuery);
    if (getLastErr(srcModel, sqlErrors))
        return true;
    destModel->setQuery(destQuery);
    if (getLastErr(destModel, sqlErrors))
        return true;

    setTableViewGeneralProperties();
    btnAddEnabled(tbName != tnDevice);
    setTableViewForCurrentTable();
    markDifferingCells();
    return false;
}

// Only compared columns are marked: never the ID of humans or factory.
void dlgDiffRecordsCompare::markDifferingCells()
{
    const ConflictTable *table = ConflictTable::find(currentTable);
    QSet<int> columns;
    if (table && srcModel->rowCount() > 0 && destModel->rowCount() > 0)
        columns = ComparedRecordModel::differingColumns(
            srcModel->record(0), destModel->record(0),
            QStringList{table->keyColumn} + table->replacedColumns);
    srcModel->setDifferingColumns(columns);
    destModel->setDifferingColumns(columns);
}

void dlgDiffRecordsCompare::emitErrHasOccured()
{
    conflictFailed = true;
    emit errHasOccured();
}

void dlgDiffRecordsCompare::updateDestinationRecord()
{
    if (conflictFailed) {
        PLOG_WARN << "conflict record not replaced after an error";
        return;
    }
    if (writer->replaceDestinationRecord())
        emitErrHasOccured();
}

void dlgDiffRecordsCompare::insertInTable(const int &id)
{
    if (currentTable == tnZones) {
        PLOG_WARN << "a zone is added through the zone dialog only; zone left out";
        return;
    }
    if (conflictFailed) {
        PLOG_WARN << "conflict record not added after an error";
        return;
    }
    if (writer->addWithKey(id))
        emitErrHasOccured();
    else
        addedKey = QString::number(id);
}

quint64 dlgDiffRecordsCompare::getMaxID()
{
    const ConflictTable *table = ConflictTable::find(currentTable);
    QString errMsg;
    const quint64 id = keys->nextFreeKey(kvtDestDB, table ? table->name : QString(), errMsg);
    if (!errMsg.isEmpty()) {
        emitErrHasOccured();
        return 0;
    }
    return id;
}

void dlgDiffRecordsCompare::insertZones(const QString &idZoneDetType, const QString &currentIdDetType,
                                        const QString &idMax)
{
    if (conflictFailed) {
        PLOG_WARN << "zone not added after an error";
        return;
    }
    if (writer->addZone(idZoneDetType, currentIdDetType, idMax))
        emitErrHasOccured();
    else
        addedKey = idZoneDetType;
}

// Close guard: the window is left only through its three buttons, each of which ends
// the worker's wait.
void dlgDiffRecordsCompare::closeEvent(QCloseEvent *event)
{
    if (blockClose) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void dlgDiffRecordsCompare::showEvent(QShowEvent *event)
{
    blockClose = true;
    QDialog::showEvent(event);
}

bool dlgDiffRecordsCompare::eventFilter(QObject *obj, QEvent *event)
{
    if (obj == this && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Escape || key == Qt::Key_Alt || key == Qt::Key_F4) {
            blockClose = true;
            return true;
        }
    }
    return QDialog::eventFilter(obj, event);
}

void dlgDiffRecordsCompare::closeFalse()
{
    blockClose = false;
}

void dlgDiffRecordsCompare::finishConflict()
{
    blockClose = false;
    close();
    emit resumeThread();
}

// What the operator chose, unless an error kept it from being written.
void dlgDiffRecordsCompare::settle(MergeReport::Decision decision)
{
    if (!conflictFailed)
        emit conflictSettled(decision, MergeReport::DecidedBy::Operator,
                             decision == MergeReport::Decision::AddedNewKey ? addedKey : QString());
}

void dlgDiffRecordsCompare::mergeContinue()
{
    if (ui->chkbxSaveChoice->isChecked())
        emit setActionDiffRec(adrReplace);
    updateDestinationRecord();
    settle(MergeReport::Decision::Replaced);
    finishConflict();
}

void dlgDiffRecordsCompare::mergeCancel()
{
    if (ui->chkbxSaveChoice->isChecked())
        emit setActionDiffRec(adrSkip);
    settle(MergeReport::Decision::LeftOut);
    finishConflict();
}

void dlgDiffRecordsCompare::mergeAddNewRec()
{
    // A zone always needs the operator's choice of part type.
    if (ui->chkbxSaveChoice->isChecked())
        emit setActionDiffRec(currentTable == tnZones ? adrAsk : adrAddNew);
    // Stay closed to every request while the child dialog runs and after it was cancelled.
    blockClose = true;
    const int added = addRecordWithNewID();
    // After an error the merge stops: the worker must not be left waiting.
    if (added == QDialog::Accepted || conflictFailed) {
        settle(MergeReport::Decision::AddedNewKey);
        finishConflict();
    }
}

int dlgDiffRecordsCompare::addRecordWithNewID()
{
    const ConflictTable *table = ConflictTable::find(currentTable);
    return table ? createDlgNewRecID(table->name) : 0;
}

int dlgDiffRecordsCompare::createDlgNewRecID(const QString &tbName)
{
    return tbName == tbZONES ? execAddZone(tbName) : execAddNewRec(tbName);
}

int dlgDiffRecordsCompare::execAddNewRec(const QString &tbName)
{
    dlgAddNewRec dlg(this);
    connect(&dlg, &dlgAddNewRec::addRec, this, &dlgDiffRecordsCompare::insertInTable);
    connect(&dlg, &dlgAddNewRec::errHasOccured, this, &dlgDiffRecordsCompare::emitErrHasOccured);
    dlg.setCurrentTable(tbName);
    dlg.setDestDB(kvtDestDB);
    return dlg.exec();
}

int dlgDiffRecordsCompare::execAddZone(const QString &tbName)
{
    QStringList zone;
    if (writer->readSource(zone)) {
        emitErrHasOccured();
        return 0;
    }
    dlgAddZones dlg(this);
    connect(&dlg, &dlgAddZones::addRecZone, this, &dlgDiffRecordsCompare::insertZones);
    connect(&dlg, &dlgAddZones::errHasOccured, this, &dlgDiffRecordsCompare::emitErrHasOccured);
    dlg.setCurrentTable(tbName);
    dlg.setSrcDB(kvtSrcDB);
    dlg.setDestDB(kvtDestDB);
    dlg.setCurrentZoneName(zone.value(ConflictTable::find(tnZones)->columnIndex(QStringLiteral("Name"))));
    return dlg.exec();
}

void dlgDiffRecordsCompare::setTableViewForCurrentTable()
{
    switch (currentTable) {
    case tnDefectRef: setTableViewDefectRef(); break;
    case tnDetTypes: setTableViewDetTypes(); break;
    case tnDevice: setTableViewDevice(); break;
    case tnFactory: setTableViewFactory(); break;
    case tnHumans: setTableViewHumans(); break;
    case tnResults: setTableViewResults(); break;
    case tnZones: setTableViewZones(); break;
    case tnDefects:
    case tnGraphics: break;
    }
}

void dlgDiffRecordsCompare::setTableViewGeneralProperties()
{
    QFont font;
    font.setWeight(75);
    font.setPointSize(10);
    for (QTableView *view : {tvSrcTable, tvDestTable}) {
        view->setItemDelegate(gridDelegate);
        view->setSelectionMode(QAbstractItemView::ExtendedSelection);
        view->setSelectionBehavior(QAbstractItemView::SelectRows);
        view->setShowGrid(false);
        view->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
        view->verticalHeader()->hide();
        view->setFont(font);
    }
}

// Captions of both grids and the resize modes of their columns, then the columns fitted
// to their contents: a fixed column keeps that width, stretched ones share the rest.
void dlgDiffRecordsCompare::setGridColumns(const QStringList &captions,
                                           const QVector<QHeaderView::ResizeMode> &modes)
{
    for (QTableView *view : {tvSrcTable, tvDestTable}) {
        QAbstractItemModel *model = view->model();
        const int columns = model->columnCount();
        for (int i = 0; i < captions.size() && i < columns; ++i) {
            model->setHeaderData(i, Qt::Horizontal, captions.at(i), Qt::EditRole);
            view->horizontalHeader()->setSectionResizeMode(i, modes.value(i, QHeaderView::Interactive));
        }
    }
    tableViewColumnsToContent();
}

void dlgDiffRecordsCompare::setTableViewShortName()
{
    setGridColumns({QStringLiteral("ID"), tr("Abbreviation"), tr("Full name")},
                   {QHeaderView::Fixed, QHeaderView::Fixed, QHeaderView::Stretch});
}

void dlgDiffRecordsCompare::setTableViewDefectRef()
{
    setTableViewShortName();
}

void dlgDiffRecordsCompare::setTableViewDetTypes()
{
    setTableViewShortName();
}

void dlgDiffRecordsCompare::setTableViewResults()
{
    setTableViewShortName();
}

void dlgDiffRecordsCompare::setTableViewDevice()
{
    setGridColumns({QObject::tr("ID"), QObject::tr("Name")}, {QHeaderView::Fixed, QHeaderView::Stretch});
}

void dlgDiffRecordsCompare::setTableViewFactory()
{
    setGridColumns({QStringLiteral("ID"), tr("Code"), tr("Abbreviation"), tr("Full name")},
                   {QHeaderView::Fixed, QHeaderView::Fixed, QHeaderView::Fixed, QHeaderView::Stretch});
}

void dlgDiffRecordsCompare::setTableViewHumans()
{
    // A person's full name is worded apart from the full name of a reference entry.
    setGridColumns({QStringLiteral("ID"), tr("Surname"), tr("Name"), tr("Patronymic"),
                    tr("Full name", "person"), tr("Tab. No")},
                   {QHeaderView::Fixed, QHeaderView::Stretch, QHeaderView::Stretch, QHeaderView::Stretch,
                    QHeaderView::Interactive, QHeaderView::Fixed});
}

void dlgDiffRecordsCompare::setTableViewZones()
{
    setGridColumns({QObject::tr("DetTypeZone"), QStringLiteral("ID"), QObject::tr("DetTypeId"), QObject::tr("Zone")},
                   {QHeaderView::Fixed, QHeaderView::Fixed, QHeaderView::Fixed, QHeaderView::Stretch});
}

void dlgDiffRecordsCompare::tableViewColumnsToContent()
{
    tvSrcTable->resizeColumnsToContents();
    tvDestTable->resizeColumnsToContents();
}

void dlgDiffRecordsCompare::btnAddEnabled(bool param)
{
    ui->btnAddRecWithNewID->setEnabled(param);
}
