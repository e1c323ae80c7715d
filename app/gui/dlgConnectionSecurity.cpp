#include "dlgConnectionSecurity.h"
#include "ui_dlgConnectionSecurity.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QLayout>
#include <QPushButton>

dlgConnectionSecurity::dlgConnectionSecurity(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::dlgConnectionSecurity)
{
    ui->setupUi(this);
    initSlotSignal();
    updateState();
}

dlgConnectionSecurity::~dlgConnectionSecurity()
{
    delete ui;
}

void dlgConnectionSecurity::initSlotSignal()
{
    connect(ui->chkbxUseTls, &QCheckBox::toggled, this, &dlgConnectionSecurity::updateState);
    for (QLineEdit *field : {ui->edCaFile, ui->edCertFile, ui->edKeyFile})
        connect(field, &QLineEdit::textChanged, this, &dlgConnectionSecurity::updateState);
    connect(ui->btnCaFile, &QToolButton::clicked, this,
            [this]() { pickFile(ui->edCaFile, tr("CA certificate")); });
    connect(ui->btnCertFile, &QToolButton::clicked, this,
            [this]() { pickFile(ui->edCertFile, tr("Client certificate")); });
    connect(ui->btnKeyFile, &QToolButton::clicked, this,
            [this]() { pickFile(ui->edKeyFile, tr("Client key")); });
    connect(ui->buttonBox, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(ui->buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

void dlgConnectionSecurity::setSecurity(const ConnectionSecurity &security)
{
    ui->chkbxUseTls->setChecked(security.useTls);
    ui->edCaFile->setText(security.caFile);
    ui->edCertFile->setText(security.certFile);
    ui->edKeyFile->setText(security.keyFile);
    updateState();
}

ConnectionSecurity dlgConnectionSecurity::security() const
{
    ConnectionSecurity security;
    security.useTls = ui->chkbxUseTls->isChecked();
    security.caFile = ui->edCaFile->text();
    security.certFile = ui->edCertFile->text();
    security.keyFile = ui->edKeyFile->text();
    return security;
}

void dlgConnectionSecurity::updateState()
{
    ui->grpFiles->setEnabled(ui->chkbxUseTls->isChecked());
    QString problem;
    const bool usable = security().isUsable(&problem);
    ui->lbProblem->setText(problem);
    ui->lbProblem->setVisible(!usable);
    ui->buttonBox->button(QDialogButtonBox::Ok)->setEnabled(usable);
    // The wrapped texts need more height than the layout's minimum tells.
    const int needed = layout()->totalHeightForWidth(width());
    if (needed > height())
        resize(width(), needed);
}

void dlgConnectionSecurity::pickFile(QLineEdit *field, const QString &title)
{
    const QString start = field->text().isEmpty() ? QString() : QFileInfo(field->text()).path();
    const QString path = QFileDialog::getOpenFileName(
        this, title, start, tr("Certificates and keys (*.pem *.crt *.key);;All files (*)"));
    if (!path.isEmpty())
        field->setText(path);
}
