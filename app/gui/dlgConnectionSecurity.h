#ifndef DLGCONNECTIONSECURITY_H
#define DLGCONNECTIONSECURITY_H

#include "ConnectionSecurity.h"

#include <QDialog>

class QLineEdit;

namespace Ui {
class dlgConnectionSecurity;
}

// Where the operator turns TLS on for the connections to the server and names the CA
// certificate (required with TLS) and, for accounts that need one, a client certificate
// and its key. The form says what the driver checks and what it does not. OK is
// enabled only while the choices can be used; the reason is shown beside it.
class dlgConnectionSecurity : public QDialog
{
    Q_OBJECT
public:
    explicit dlgConnectionSecurity(QWidget *parent = nullptr);
    ~dlgConnectionSecurity() override;

    void setSecurity(const ConnectionSecurity &security);
    ConnectionSecurity security() const;

private slots:
    void updateState();

private:
    void initSlotSignal();
    void pickFile(QLineEdit *field, const QString &title);

    Ui::dlgConnectionSecurity *ui;
};

#endif // DLGCONNECTIONSECURITY_H
