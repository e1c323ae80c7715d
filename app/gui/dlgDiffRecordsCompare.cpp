#include "dlgDiffRecordsCompare.h"
#include "ui_dlgDiffRecordsCompare.h"

#include "CONST.h"
#include "ComparedRecordModel.h"
#include "ConflictAnswer.h"
#include "ConflictResolver.h"
#include "KvtTables.h"
#include "PLog.h"
#include "PSqlErrors.h"
#include "dbFunc.h"
#include "dlgAddNewRec.h"
#include "dlgAddZones.h"
#include "gridDelegate.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QSqlQueryModel>
#include <QSqlRecord>
#include <QTableView>

dlgDiffRecordsCompare::dlgDiffRecordsCompare(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::dlgDiffRecordsCompare)
{
    ui->setupUi(this);
    createNecessaryObjects();
    initWidgets();
    initSlotSignal();
}

// The form object goes first, then the resolver (member); Qt deletes the children
// (error object, delegate, models and grids) last.
dlgDiffRecordsCompare::~dlgDiffRecordsCompare()
{
    delete ui;
}

void dlgDiffRecordsCompare::createNecessaryObjects()
{
    sqlErrors = new PSqlErrors(this);
    m_resolver = std::make_unique<ConflictResolver>();
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

void dlgDiffRecordsCompare::initSlotSignal()
{
    // The guard is lowered before any button's action runs and closes the window.
    connect(ui->btnContinueMerge, &QPushButton::clicked, this, &dlgDiffRecordsCompare::closeFalse);
    connect(ui->btnAddRecWithNewID, &QPushButton::clicked, this, &dlgDiffRecordsCompare::closeFalse);
    connect(ui->btnDontMergeCurrentRec, &QPushButton::clicked, this, &dlgDiffRecordsCompare::closeFalse);
    connect(ui->btnContinueMerge, &QPushButton::clicked, this, &dlgDiffRecordsCompare::mergeContinue);
    connect(ui->btnDontMergeCurrentRec, &QPushButton::clicked, this, &dlgDiffRecordsCompare::mergeCancel);
    connect(ui->btnAddRecWithNewID, &QPushButton::clicked, this, &dlgDiffRecordsCompare::mergeAddNewRec);
}

void dlgDiffRecordsCompare::setConflict(kvtTableName tbName, const QString &kvtSrcDB, const QString &kvtDestDB,
                                        const QString &srcQuery)
{
    m_conflictFailed = false;
    m_addedKey.clear();
    m_resolver->setConflict(tbName, kvtSrcDB, kvtDestDB, srcQuery);
}

bool dlgDiffRecordsCompare::getSqlParameters(kvtTableName tbName, const QString &kvtSrcDB,
                                             const QString &kvtDestDB, const QString &srcQuery,
                                             const QString &destQuery)
{
    setConflict(tbName, kvtSrcDB, kvtDestDB, srcQuery);
    srcModel->setQuery(srcQuery);
    if (getLastErr(srcModel, sqlErrors))
        return true;
    destModel->setQuery(destQuery);
    if (getLastErr(destModel, sqlErrors))
        return true;

    setTableViewGeneralProperties();
    btnAddEnabled(!ConflictAnswer::alwaysReplaced(tbName));
    setTableViewForCurrentTable();
    markDifferingCells();
    return false;
}

// Only compared columns are marked: never the ID of humans or factory.
void dlgDiffRecordsCompare::markDifferingCells()
{
    QSet<int> columns;
    if (KvtTable::of(m_resolver->table()).isReference() && srcModel->rowCount() > 0
        && destModel->rowCount() > 0)
        columns = ComparedRecordModel::differingColumns(
            srcModel->record(0), destModel->record(0),
            KvtTable::of(m_resolver->table()).columnsWith(ColumnRole::Same));
    srcModel->setDifferingColumns(columns);
    destModel->setDifferingColumns(columns);
}

void dlgDiffRecordsCompare::emitErrHasOccured()
{
    m_conflictFailed = true;
    emit errHasOccured();
}

bool dlgDiffRecordsCompare::succeeded(const KvtSqlStatus &status)
{
    if (status)
        return true;
    getLastErr(status, sqlErrors);
    emitErrHasOccured();
    return false;
}

void dlgDiffRecordsCompare::updateDestinationRecord()
{
    if (m_conflictFailed) {
        PLOG_WARN << "conflict record not replaced after an error";
        return;
    }
    succeeded(m_resolver->replaceDestinationRecord());
}

void dlgDiffRecordsCompare::insertInTable(const int &id)
{
    if (m_resolver->table() == tnZones) {
        PLOG_WARN << "a zone is added through the zone dialog only; zone left out";
        return;
    }
    if (m_conflictFailed) {
        PLOG_WARN << "conflict record not added after an error";
        return;
    }
    if (succeeded(m_resolver->addWithKey(id)))
        m_addedKey = QString::number(id);
}

quint64 dlgDiffRecordsCompare::getMaxID()
{
    quint64 id = 0;
    const KvtSqlStatus status = m_resolver->proposedKey(id);
    if (!status) {
        showSqlFailure(status, sqlErrors);
        emitErrHasOccured();
        return 0;
    }
    return id;
}

void dlgDiffRecordsCompare::insertZones(const QString &idZoneDetType, const QString &currentIdDetType,
                                        const QString &idMax)
{
    if (m_conflictFailed) {
        PLOG_WARN << "zone not added after an error";
        return;
    }
    if (succeeded(m_resolver->addZone(idZoneDetType, currentIdDetType, idMax)))
        m_addedKey = idZoneDetType;
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
    if (!m_conflictFailed)
        emit conflictSettled(decision, MergeReport::DecidedBy::Operator,
                             decision == MergeReport::Decision::AddedNewKey ? m_addedKey : QString());
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
        emit setActionDiffRec(m_resolver->table() == tnZones ? adrAsk : adrAddNew);
    // Stay closed to every request while the child dialog runs and after it was cancelled.
    blockClose = true;
    const int added = addRecordWithNewID();
    // After an error the merge stops: the worker must not be left waiting.
    if (added == QDialog::Accepted || m_conflictFailed) {
        settle(MergeReport::Decision::AddedNewKey);
        finishConflict();
    }
}

int dlgDiffRecordsCompare::addRecordWithNewID()
{
    const QString table = m_resolver->tableName();
    return table.isEmpty() ? 0 : createDlgNewRecID(table);
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
    dlg.setDestDB(m_resolver->destinationDB());
    return dlg.exec();
}

int dlgDiffRecordsCompare::execAddZone(const QString &tbName)
{
    QStringList zone;
    if (!succeeded(m_resolver->readSource(zone)))
        return 0;
    dlgAddZones dlg(this);
    connect(&dlg, &dlgAddZones::addRecZone, this, &dlgDiffRecordsCompare::insertZones);
    connect(&dlg, &dlgAddZones::errHasOccured, this, &dlgDiffRecordsCompare::emitErrHasOccured);
    dlg.setCurrentTable(tbName);
    dlg.setSrcDB(m_resolver->sourceDB());
    dlg.setDestDB(m_resolver->destinationDB());
    dlg.setCurrentZoneName(zone.value(KvtTable::of(tnZones).indexOf(QStringLiteral("Name"))));
    return dlg.exec();
}

void dlgDiffRecordsCompare::setTableViewForCurrentTable()
{
    const KvtTable &table = KvtTable::of(m_resolver->table());
    if (table.isReference())
        setGridColumns(table);
}

void dlgDiffRecordsCompare::setTableViewGeneralProperties()
{
    QFont font;
    font.setBold(true);
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

namespace {

QHeaderView::ResizeMode resizeModeOf(ColumnWidth width)
{
    switch (width) {
    case ColumnWidth::Fixed: return QHeaderView::Fixed;
    case ColumnWidth::Stretch: return QHeaderView::Stretch;
    case ColumnWidth::Interactive: break;
    }
    return QHeaderView::Interactive;
}

QString captionOf(const KvtCaption &caption)
{
    if (!caption.context)
        return QString::fromLatin1(caption.text.source);
    return QCoreApplication::translate(caption.context, caption.text.source, caption.text.comment);
}

} // namespace

// Captions of both grids and the resize modes of their columns, as the table's
// description gives them, then the columns fitted to their contents: a fixed column
// keeps that width, stretched ones share the rest.
void dlgDiffRecordsCompare::setGridColumns(const KvtTable &table)
{
    for (QTableView *view : {tvSrcTable, tvDestTable}) {
        QAbstractItemModel *model = view->model();
        const int columns = model->columnCount();
        for (int i = 0; i < table.columns.size() && i < columns; ++i) {
            const KvtColumn &column = table.columns.at(i);
            model->setHeaderData(i, Qt::Horizontal, captionOf(column.caption), Qt::EditRole);
            view->horizontalHeader()->setSectionResizeMode(i, resizeModeOf(column.width));
        }
    }
    tableViewColumnsToContent();
}

// The per-table layouts: each the table's description.
void dlgDiffRecordsCompare::setTableViewDefectRef() { setGridColumns(KvtTable::of(tnDefectRef)); }
void dlgDiffRecordsCompare::setTableViewDetTypes() { setGridColumns(KvtTable::of(tnDetTypes)); }
void dlgDiffRecordsCompare::setTableViewResults() { setGridColumns(KvtTable::of(tnResults)); }
void dlgDiffRecordsCompare::setTableViewDevice() { setGridColumns(KvtTable::of(tnDevice)); }
void dlgDiffRecordsCompare::setTableViewFactory() { setGridColumns(KvtTable::of(tnFactory)); }
void dlgDiffRecordsCompare::setTableViewHumans() { setGridColumns(KvtTable::of(tnHumans)); }
void dlgDiffRecordsCompare::setTableViewZones() { setGridColumns(KvtTable::of(tnZones)); }

void dlgDiffRecordsCompare::tableViewColumnsToContent()
{
    tvSrcTable->resizeColumnsToContents();
    tvDestTable->resizeColumnsToContents();
}

void dlgDiffRecordsCompare::btnAddEnabled(bool param)
{
    ui->btnAddRecWithNewID->setEnabled(param);
}
