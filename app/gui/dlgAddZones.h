#ifndef DLGADDZONES_H
#define DLGADDZONES_H

#include <QDialog>
#include <QString>

#include <memory>

class KvtSqlStatus;
class PSqlErrors;
class QShowEvent;
class ZoneNumbering;

namespace Ui {
class dlgAddZones;
}

// Adds a conflicting source zone under a new key: the operator picks the part type (by
// its abbreviation, from the source's part types) the zone shall belong to; the zone
// becomes the next zone of that part type in the source, its key DetTypeZone the part
// type's ID times 100 plus that number. A key the destination already uses is refused;
// a free one is handed on through addRecZone() before the dialog is accepted.
// A failed query shows its error, emits errHasOccured() and rejects the dialog.
//
// Usage: setCurrentTable("zones"), setSrcDB, setDestDB, setCurrentZoneName, connect
// addRecZone() and errHasOccured(), exec().
class dlgAddZones : public QDialog
{
    Q_OBJECT
public:
    explicit dlgAddZones(QWidget *parent = nullptr);
    ~dlgAddZones() override;

signals:
    void errHasOccured();
    // Key, part type ID and zone number of the zone to add, as decimal texts.
    void addRecZone(const QString &idZoneDetType, const QString &currentIdDetType, const QString &idMax);

public slots:
    void setSrcDB(const QString &db);
    void setDestDB(const QString &db);
    void setCurrentTable(const QString &tbName);
    // Names the source zone in the dialog's question.
    void setCurrentZoneName(const QString &zone);

protected:
    void showEvent(QShowEvent *event) override;

private slots:
    void initWidgets();
    void createNecessaryObjects();
    void initSlotSignal();
    void addZoneToPart();
    void detTypeSelection();
    // Whether the destination uses the key; a key that cannot be checked counts as used.
    bool idIsExists(const quint32 &idZoneDetType);

private:
    void failAndReject();

    // True for a success; otherwise shows the failure and rejects the dialog.
    bool succeeded(const KvtSqlStatus &status);
    void showQuestion(bool partTypesListed);

    Ui::dlgAddZones *ui;
    PSqlErrors *sqlErrors = nullptr;
    // Holds the source and destination databases and the zones table.
    std::unique_ptr<ZoneNumbering> m_numbering;
    QString zoneName;
    bool m_failed = false;
};

#endif // DLGADDZONES_H
