#include "dlgDiffRecordsCompare.h"
#include "ui_dlgDiffRecordsCompare.h"

#include "CONST.h"
#include "ComparedRecordModel.h"
#include "ConflictResolver.h"
#include "ConflictTable.h"
#include "PLog.h"
#include "PSqlErrors.h"
#include "dbFunc.h"
#include "dlgAddNewRec.h"
#include "dlgAddZones.h"
#include "gridDelegate.h"

#include <QCloseEvent>
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
    m_sqlErrors = new PSqlErrors(this);
    m_resolver = std::make_unique<ConflictResolver>();
    m_gridDelegate = new GridDelegate(this);
    m_srcModel = new ComparedRecordModel(this);
    m_destModel = new ComparedRecordModel(this);
    m_tvSrcTable = new QTableView(this);
    m_tvDestTable = new QTableView(this);
    m_tvSrcTable->setObjectName(QStringLiteral("tvSrcTable"));
    m_tvDestTable->setObjectName(QStringLiteral("tvDestTable"));
}

void dlgDiffRecordsCompare::initWidgets()
{
    m_blockClose = true;
    installEventFilter(this);
    ui->lbHelpSrcTb->setText(tr("Record in the source table:"));
    ui->lbHelpDestTb->setText(tr("Record in the  destination table:"));
    m_tvSrcTable->setModel(m_srcModel);
    m_tvDestTable->setModel(m_destModel);
    ui->layoutSrcTb->addWidget(m_tvSrcTable);
    ui->layoutDestTb->addWidget(m_tvDestTable);
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

bool dlgDiffRecordsCompare::getSqlParameters(kvtTableName tbName, const QString &kvtSrcDB,
                                             const QString &kvtDestDB, const QString &srcQuery,
                                             const QString &destQuery)
{
    m_conflictFailed = false;
    m_addedKey.clear();
    m_resolver->setConflict(tbName, kvtSrcDB, kvtDestDB, srcQuery);

    m_srcModel->setQuery(srcQuery);
    if (getLastErr(m_srcModel, m_sqlErrors))
        return true;
    m_destModel->setQuery(destQuery);
    if (getLastErr(m_destModel, m_sqlErrors))
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
    const ConflictTable *table = ConflictTable::find(m_resolver->table());
    QSet<int> columns;
    if (table && m_srcModel->rowCount() > 0 && m_destModel->rowCount() > 0)
        columns = ComparedRecordModel::differingColumns(
            m_srcModel->record(0), m_destModel->record(0),
            QStringList{table->keyColumn} + table->replacedColumns);
    m_srcModel->setDifferingColumns(columns);
    m_destModel->setDifferingColumns(columns);
}

void dlgDiffRecordsCompare::emitErrHasOccured()
{
    m_conflictFailed = true;
    emit errHasOccured();
}

bool dlgDiffRecordsCompare::failed(const KvtSqlStatus &status)
{
    if (status)
        return false;
    getLastErr(status, m_sqlErrors);
    emitErrHasOccured();
    return true;
}

void dlgDiffRecordsCompare::updateDestinationRecord()
{
    if (m_conflictFailed) {
        PLOG_WARN << "conflict record not replaced after an error";
        return;
    }
    failed(m_resolver->replaceDestinationRecord());
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
    if (!failed(m_resolver->addWithKey(id)))
        m_addedKey = QString::number(id);
}

quint64 dlgDiffRecordsCompare::getMaxID()
{
    quint64 id = 0;
    if (showSqlFailure(m_resolver->proposedKey(id), m_sqlErrors)) {
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
    if (!failed(m_resolver->addZone(idZoneDetType, currentIdDetType, idMax)))
        m_addedKey = idZoneDetType;
}

// Close guard: the window is left only through its three buttons, each of which ends
// the worker's wait.
void dlgDiffRecordsCompare::closeEvent(QCloseEvent *event)
{
    if (m_blockClose) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void dlgDiffRecordsCompare::showEvent(QShowEvent *event)
{
    m_blockClose = true;
    QDialog::showEvent(event);
}

bool dlgDiffRecordsCompare::eventFilter(QObject *obj, QEvent *event)
{
    if (obj == this && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Escape || key == Qt::Key_Alt || key == Qt::Key_F4) {
            m_blockClose = true;
            return true;
        }
    }
    return QDialog::eventFilter(obj, event);
}

void dlgDiffRecordsCompare::closeFalse()
{
    m_blockClose = false;
}

void dlgDiffRecordsCompare::finishConflict()
{
    m_blockClose = false;
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
    m_blockClose = true;
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
    if (failed(m_resolver->readSource(zone)))
        return 0;
    dlgAddZones dlg(this);
    connect(&dlg, &dlgAddZones::addRecZone, this, &dlgDiffRecordsCompare::insertZones);
    connect(&dlg, &dlgAddZones::errHasOccured, this, &dlgDiffRecordsCompare::emitErrHasOccured);
    dlg.setCurrentTable(tbName);
    dlg.setSrcDB(m_resolver->sourceDB());
    dlg.setDestDB(m_resolver->destinationDB());
    dlg.setCurrentZoneName(zone.value(ConflictTable::find(tnZones)->columnIndex(QStringLiteral("Name"))));
    return dlg.exec();
}

void dlgDiffRecordsCompare::setTableViewForCurrentTable()
{
    switch (m_resolver->table()) {
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
    for (QTableView *view : {m_tvSrcTable, m_tvDestTable}) {
        view->setItemDelegate(m_gridDelegate);
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
    for (QTableView *view : {m_tvSrcTable, m_tvDestTable}) {
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
    m_tvSrcTable->resizeColumnsToContents();
    m_tvDestTable->resizeColumnsToContents();
}

void dlgDiffRecordsCompare::btnAddEnabled(bool param)
{
    ui->btnAddRecWithNewID->setEnabled(param);
}
