#include "dlgAddNewRec.h"
#include "ui_dlgAddNewRec.h"

#include "DestinationKeys.h"
#include "PSqlErrors.h"
#include "dbFunc.h"

#include <QIntValidator>
#include <QMessageBox>

dlgAddNewRec::dlgAddNewRec(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::dlgAddNewRec)
{
    ui->setupUi(this);
    createNecessaryObjects();
    initSlotSignal();
}

dlgAddNewRec::~dlgAddNewRec()
{
    delete ui;
}

void dlgAddNewRec::createNecessaryObjects()
{
    sqlErrors = new PSqlErrors(this);
    m_keys = std::make_unique<DestinationKeys>();
}

void dlgAddNewRec::initSlotSignal()
{
    connect(ui->btnCancel, &QPushButton::clicked, this, &dlgAddNewRec::close);
    connect(ui->btnAdd, &QPushButton::clicked, this, &dlgAddNewRec::addRecord);
    connect(ui->btnCancel, &QPushButton::clicked, this, &dlgAddNewRec::reject);
}

void dlgAddNewRec::setDestDB(const QString &db)
{
    destDB = db;
}

void dlgAddNewRec::setCurrentTable(const QString &tbName)
{
    currentTable = tbName;
}

void dlgAddNewRec::showEvent(QShowEvent *event)
{
    initWidgets();
    QDialog::showEvent(event);
}

void dlgAddNewRec::initWidgets()
{
    if (!ui->edID->validator())
        ui->edID->setValidator(new QIntValidator(this));
    ui->edID->setText(QString::number(getMaxID()));
}

quint64 dlgAddNewRec::getMaxID()
{
    quint64 id = 0;
    const KvtSqlStatus status = m_keys->nextFreeKey(destDB, currentTable, id);
    if (!status) {
        showSqlFailure(status, sqlErrors);
        failAndReject();
        return 0;
    }
    return id;
}

bool dlgAddNewRec::idIsExists()
{
    const DestinationKeys::KeyState state = m_keys->keyState(destDB, currentTable, ui->edID->text());
    if (state == DestinationKeys::KeyState::Unknown) {
        getLastErr(m_keys->lastError(), sqlErrors);
        failAndReject();
    }
    return state != DestinationKeys::KeyState::Free;
}

void dlgAddNewRec::addRecord()
{
    // A lone sign is no key either.
    if (m_failed || ui->edID->text().isEmpty() || !ui->edID->hasAcceptableInput())
        return;
    if (idIsExists()) {
        if (m_failed)
            return;
        QMessageBox::warning(this, tr("Check ID"),
                             tr("Selected ID/Code is exists,\nplease select another value!"),
                             QMessageBox::Ok);
        ui->edID->setFocus(Qt::OtherFocusReason);
        return;
    }
    emit addRec(ui->edID->text().toInt(nullptr, 10));
    accept();
    close();
}

// The error has been shown; the merge is to stop, so nothing more can be added here.
// Rejected from the event loop, as this may run while the dialog is still being shown.
void dlgAddNewRec::failAndReject()
{
    m_failed = true;
    emit errHasOccured();
    QMetaObject::invokeMethod(this, &QDialog::reject, Qt::QueuedConnection);
}
