#include "dlgAddZones.h"
#include "ui_dlgAddZones.h"

#include "PSqlErrors.h"
#include "ZoneNumbering.h"
#include "dbFunc.h"

#include <QMessageBox>

dlgAddZones::dlgAddZones(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::dlgAddZones)
{
    ui->setupUi(this);
    createNecessaryObjects();
    initSlotSignal();
}

dlgAddZones::~dlgAddZones()
{
    delete ui;
}

void dlgAddZones::createNecessaryObjects()
{
    sqlErrors = new PSqlErrors(this);
    m_numbering = std::make_unique<ZoneNumbering>();
}

void dlgAddZones::initSlotSignal()
{
    connect(ui->btnCancel, &QPushButton::clicked, this, &dlgAddZones::close);
    connect(ui->btnCancel, &QPushButton::clicked, this, &dlgAddZones::reject);
    connect(ui->btnAdd, &QPushButton::clicked, this, &dlgAddZones::addZoneToPart);
}

void dlgAddZones::setSrcDB(const QString &db)
{
    m_numbering->setSrcDB(db);
}

void dlgAddZones::setDestDB(const QString &db)
{
    m_numbering->setDestDB(db);
}

void dlgAddZones::setCurrentTable(const QString &tbName)
{
    m_numbering->setZonesTable(tbName);
}

void dlgAddZones::setCurrentZoneName(const QString &zone)
{
    zoneName = zone;
    showQuestion(true);
}

// Without a part type the operator is told so instead of being asked to choose one.
void dlgAddZones::showQuestion(bool partTypesListed)
{
    ui->lbZone->setText(tr("Current zone is: ") + zoneName + QLatin1Char('\n')
                        + (partTypesListed ? tr("please select the group (part's type)\nbelow you want to add a zone")
                                           : tr("There is no part type in the source\nto add the zone to.")));
}

void dlgAddZones::showEvent(QShowEvent *event)
{
    initWidgets();
    QDialog::showEvent(event);
}

void dlgAddZones::initWidgets()
{
    detTypeSelection();
    setFixedSize(width(), height());
}

void dlgAddZones::detTypeSelection()
{
    QStringList abbreviations;
    if (!succeeded(m_numbering->partTypes(abbreviations)))
        return;
    // Filled afresh each time the dialog is shown; "Add" only with a part type to add to.
    ui->cmbxZones->clear();
    ui->cmbxZones->addItems(abbreviations);
    ui->btnAdd->setEnabled(!abbreviations.isEmpty());
    showQuestion(!abbreviations.isEmpty());
}

void dlgAddZones::addZoneToPart()
{
    if (m_failed)
        return;
    QString partTypeId;
    quint32 zoneNumber = 0;
    if (!succeeded(m_numbering->partTypeId(ui->cmbxZones->currentText(), partTypeId))
        || (!partTypeId.isEmpty() && !succeeded(m_numbering->nextZoneNumber(partTypeId, zoneNumber))))
        return;
    // The part type has gone from the source since the list was read: the list is read
    // again, and without any part type left the operator is told so.
    if (partTypeId.isEmpty()) {
        detTypeSelection();
        return;
    }

    const quint32 key = ZoneNumbering::zoneKey(partTypeId.toUInt(), zoneNumber);
    if (idIsExists(key)) {
        if (!m_failed)
            QMessageBox::warning(this, tr("Check ID"), tr("Selected ID/Code is exists!"), QMessageBox::Ok);
        return;
    }
    emit addRecZone(QString::number(key), partTypeId, QString::number(zoneNumber));
    accept();
    close();
}

bool dlgAddZones::idIsExists(const quint32 &idZoneDetType)
{
    bool used = true;
    succeeded(m_numbering->keyIsUsed(idZoneDetType, used));
    return used;
}

// The error has been shown; the merge is to stop, so nothing more can be added here.
// Rejected from the event loop, as this may run while the dialog is still being shown.
bool dlgAddZones::succeeded(const KvtSqlStatus &status)
{
    if (status)
        return true;
    getLastErr(status, sqlErrors);
    failAndReject();
    return false;
}

void dlgAddZones::failAndReject()
{
    m_failed = true;
    emit errHasOccured();
    QMetaObject::invokeMethod(this, &QDialog::reject, Qt::QueuedConnection);
}
