#ifndef DLGADDNEWREC_H
#define DLGADDNEWREC_H

#include <QDialog>
#include <QString>

#include <memory>

class DestinationKeys;
class PSqlErrors;
class QShowEvent;

namespace Ui {
class dlgAddNewRec;
}

// Asks for the key under which a conflicting source record is added to the destination:
// proposes the table's next free key (Cod for factory, TabNo for humans, ID otherwise),
// lets the operator change it, refuses a key the destination already uses, and hands the
// chosen key on through addRec() before it is accepted. Cancel rejects it.
// A failed query shows its error, emits errHasOccured() and rejects the dialog.
//
// Usage: set the table and the destination, connect addRec() and errHasOccured(), exec().
class dlgAddNewRec : public QDialog
{
    Q_OBJECT
public:
    explicit dlgAddNewRec(QWidget *parent = nullptr);
    ~dlgAddNewRec() override;

signals:
    // The operator chose this free key; whoever listens adds the record now.
    void addRec(const int &id);
    void errHasOccured();

public slots:
    void createNecessaryObjects();
    // Integer-only key field holding the proposal; runs each time the dialog is shown.
    void initWidgets();
    void initSlotSignal();
    void setDestDB(const QString &db);
    void setCurrentTable(const QString &tbName);

protected:
    void showEvent(QShowEvent *event) override;

private slots:
    void addRecord();
    // Whether the key in the field is taken; a key that cannot be checked counts as taken.
    bool idIsExists();
    // The next free key; 0 when it cannot be computed.
    quint64 getMaxID();

private:
    void failAndReject();

    Ui::dlgAddNewRec *ui;
    QString destDB;
    QString currentTable;
    PSqlErrors *sqlErrors = nullptr;
    std::unique_ptr<DestinationKeys> m_keys;
    bool m_failed = false;
};

#endif // DLGADDNEWREC_H
