// The new-ID dialog and the zone dialog on their own, against the test server: their
// forms, the key field, the refusal of a used key, and the zone key arithmetic.
#include "ConflictFixture.h"
#include "ModalAnswerer.h"
#include "TestDatabase.h"
#include "WidgetCreation.h"
#include "auxFunc.h"
#include "dlgAddNewRec.h"
#include "dlgAddZones.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QTextDocument>
#include <QTest>

namespace {

template <typename T>
T *child(QWidget *parent, const char *name)
{
    T *found = parent->findChild<T *>(QString::fromLatin1(name));
    if (!found)
        qWarning("no %s named %s", T::staticMetaObject.className(), name);
    return found;
}

void checkButton(QWidget *dialog, const char *name, int size, int iconSize)
{
    auto *button = child<QPushButton>(dialog, name);
    QVERIFY(button);
    QCOMPARE(button->minimumSize(), QSize(size, size));
    QCOMPARE(button->maximumSize(), QSize(size, size));
    QCOMPARE(button->iconSize(), QSize(iconSize, iconSize));
    QVERIFY(button->text().isEmpty());
    QVERIFY2(!button->icon().isNull(), name);
}

} // namespace

class tst_conflictChildDialogs : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();

    void newIdForm();
    void newIdFieldTakesDigitsOnly();
    void newIdRefusesUsedKey_data();
    void newIdRefusesUsedKey();
    void newIdCancel();

    void zoneForm();
    void zoneListsSourcePartTypes();
    void zoneKey_data();
    void zoneKey();
    void zoneKeyUsed();
    void zoneWithoutPartType();

private:
    void showNewId(dlgAddNewRec &dlg, const QString &table);
    void showZones(dlgAddZones &dlg);

    ConflictFixture fx;
};

void tst_conflictChildDialogs::initTestCase()
{
    if (!TestDatabase::requireServer())
        return;
    initAppResources();
    QVERIFY(fx.create());
}

void tst_conflictChildDialogs::init()
{
    QCOMPARE(ConflictFixture::connect(), 0);
    QCOMPARE(fx.reset(), QString());
}

void tst_conflictChildDialogs::cleanupTestCase()
{
    fx.drop();
}

void tst_conflictChildDialogs::showNewId(dlgAddNewRec &dlg, const QString &table)
{
    dlg.setCurrentTable(table);
    dlg.setDestDB(fx.dest);
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
}

void tst_conflictChildDialogs::showZones(dlgAddZones &dlg)
{
    dlg.setCurrentTable(QStringLiteral("zones"));
    dlg.setSrcDB(fx.src);
    dlg.setDestDB(fx.dest);
    dlg.setCurrentZoneName(QStringLiteral("Left wheel"));
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
}

void tst_conflictChildDialogs::newIdForm()
{
    dlgAddNewRec dlg;
    QCOMPARE(dlg.objectName(), QStringLiteral("dlgAddNewRec"));
    QCOMPARE(dlg.minimumSize(), QSize(175, 105));
    QCOMPARE(dlg.maximumSize(), QSize(175, 105));
    QCOMPARE(dlg.windowTitle(), QStringLiteral("Select ID/Code"));
    QVERIFY(!dlg.windowIcon().isNull());
    QCOMPARE(child<QLabel>(&dlg, "lbFreeID")->text(), QStringLiteral("Another free ID is:"));
    QCOMPARE(child<QLabel>(&dlg, "lbQuestion")->text(), QStringLiteral("Add record?"));
    checkButton(&dlg, "btnAdd", 35, 25);
    checkButton(&dlg, "btnCancel", 35, 25);
    const QString addTip = child<QPushButton>(&dlg, "btnAdd")->toolTip();
    QVERIFY(Qt::mightBeRichText(addTip));
    QVERIFY(addTip.contains("Add record with") && addTip.contains("new ID"));
    QCOMPARE(child<QPushButton>(&dlg, "btnCancel")->toolTip(), QStringLiteral("Cancel operation"));
}

void tst_conflictChildDialogs::newIdFieldTakesDigitsOnly()
{
    dlgAddNewRec dlg;
    showNewId(dlg, QStringLiteral("results"));
    auto *edit = child<QLineEdit>(&dlg, "edID");
    QCOMPARE(edit->text(), QStringLiteral("13"));
    edit->clear();
    QTest::keyClicks(edit, QStringLiteral("4a2;\"x"));
    QCOMPARE(edit->text(), QStringLiteral("42"));
}

void tst_conflictChildDialogs::newIdRefusesUsedKey_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("used");
    QTest::addColumn<QString>("free");
    QTest::newRow("results by ID") << "results" << "12" << "20";
    QTest::newRow("factory by Cod") << "factory" << "61" << "1";
    QTest::newRow("humans by TabNo") << "humans" << "110" << "35";
}

void tst_conflictChildDialogs::newIdRefusesUsedKey()
{
    QFETCH(QString, table);
    QFETCH(QString, used);
    QFETCH(QString, free);
    dlgAddNewRec dlg;
    QSignalSpy added(&dlg, &dlgAddNewRec::addRec);
    QSignalSpy errors(&dlg, &dlgAddNewRec::errHasOccured);
    showNewId(dlg, table);
    auto *edit = child<QLineEdit>(&dlg, "edID");
    auto *add = child<QPushButton>(&dlg, "btnAdd");

    edit->clear();
    add->click();
    QVERIFY(dlg.isVisible());

    ModalAnswerer answerer;
    answerer.clickButton(QMessageBox::Ok);
    edit->setText(used);
    add->click();
    QCOMPARE(answerer.titles(), QStringList{"Check ID"});
    QCOMPARE(answerer.lastText(), QStringLiteral("Selected ID/Code is exists,\nplease select another value!"));
    QVERIFY(dlg.isVisible());
    QCOMPARE(added.count(), 0);

    edit->setText(free);
    add->click();
    QCOMPARE(added.count(), 1);
    QCOMPARE(added.at(0).at(0).toInt(), free.toInt());
    QCOMPARE(dlg.result(), int(QDialog::Accepted));
    QVERIFY(!dlg.isVisible());
    QCOMPARE(errors.count(), 0);
}

void tst_conflictChildDialogs::newIdCancel()
{
    dlgAddNewRec dlg;
    QSignalSpy added(&dlg, &dlgAddNewRec::addRec);
    showNewId(dlg, QStringLiteral("results"));
    child<QPushButton>(&dlg, "btnCancel")->click();
    QVERIFY(!dlg.isVisible());
    QCOMPARE(dlg.result(), int(QDialog::Rejected));
    QCOMPARE(added.count(), 0);
}

void tst_conflictChildDialogs::zoneForm()
{
    dlgAddZones dlg;
    QCOMPARE(dlg.objectName(), QStringLiteral("dlgAddZones"));
    QCOMPARE(dlg.size(), QSize(288, 111));
    QCOMPARE(dlg.windowTitle(), QStringLiteral("Add Zone In Part's Type"));
    QCOMPARE(child<QLabel>(&dlg, "lbZone")->text(), QStringLiteral("____"));
    QVERIFY(!child<QComboBox>(&dlg, "cmbxZones")->isEditable());
    checkButton(&dlg, "btnAdd", 50, 40);
    checkButton(&dlg, "btnCancel", 50, 40);

    dlg.setCurrentZoneName(QStringLiteral("Left wheel"));
    QCOMPARE(child<QLabel>(&dlg, "lbZone")->text(),
             QStringLiteral("Current zone is: Left wheel\nplease select the group (part's type)\n"
                            "below you want to add a zone"));
}

void tst_conflictChildDialogs::zoneListsSourcePartTypes()
{
    dlgAddZones dlg;
    showZones(dlg);
    auto *combo = child<QComboBox>(&dlg, "cmbxZones");
    QStringList items;
    for (int i = 0; i < combo->count(); ++i)
        items << combo->itemText(i);
    QCOMPARE(items, (QStringList{"T3", "T4"}));
    QCOMPARE(combo->currentIndex(), 0);
    // Shown, the dialog cannot be resized.
    QCOMPARE(dlg.minimumSize(), dlg.maximumSize());
}

void tst_conflictChildDialogs::zoneKey_data()
{
    QTest::addColumn<QString>("partType");
    QTest::addColumn<QStringList>("emitted");
    QTest::newRow("part type 3, largest zone 7") << "T3" << QStringList{"308", "3", "8"};
    QTest::newRow("part type without zones") << "T4" << QStringList{"401", "4", "1"};
    QTest::newRow("abbreviation with quote, backslash, semicolon")
        << "T\"5\\;" << QStringList{"501", "5", "1"};
}

void tst_conflictChildDialogs::zoneKey()
{
    QFETCH(QString, partType);
    QFETCH(QStringList, emitted);
    QSqlQuery insert;
    QVERIFY(insert.prepare("INSERT INTO " + fx.src + ".dettypes VALUES (5, ?, 'quoted')"));
    insert.addBindValue(QStringLiteral("T\"5\\;"));
    QVERIFY(insert.exec());

    dlgAddZones dlg;
    QSignalSpy added(&dlg, &dlgAddZones::addRecZone);
    QSignalSpy errors(&dlg, &dlgAddZones::errHasOccured);
    showZones(dlg);
    auto *combo = child<QComboBox>(&dlg, "cmbxZones");
    combo->setCurrentIndex(combo->findText(partType));
    QVERIFY(combo->currentIndex() >= 0);
    child<QPushButton>(&dlg, "btnAdd")->click();

    QCOMPARE(added.count(), 1);
    QStringList args;
    for (const QVariant &arg : added.at(0))
        args << arg.toString();
    QCOMPARE(args, emitted);
    QCOMPARE(dlg.result(), int(QDialog::Accepted));
    QCOMPARE(errors.count(), 0);
}

void tst_conflictChildDialogs::zoneKeyUsed()
{
    QCOMPARE(TestDatabase::exec("INSERT INTO " + fx.dest + ".zones VALUES (308, 8, 3, 'Taken')"), QString());
    dlgAddZones dlg;
    QSignalSpy added(&dlg, &dlgAddZones::addRecZone);
    showZones(dlg);
    ModalAnswerer answerer;
    answerer.clickButton(QMessageBox::Ok);
    child<QPushButton>(&dlg, "btnAdd")->click();

    QCOMPARE(answerer.titles(), QStringList{"Check ID"});
    QCOMPARE(answerer.lastText(), QStringLiteral("Selected ID/Code is exists!"));
    QCOMPARE(added.count(), 0);
    QVERIFY(dlg.isVisible());

    // Another part type still gives a free key.
    auto *combo = child<QComboBox>(&dlg, "cmbxZones");
    combo->setCurrentIndex(combo->findText("T4"));
    child<QPushButton>(&dlg, "btnAdd")->click();
    QCOMPARE(added.count(), 1);
    QCOMPARE(added.at(0).at(0).toString(), QStringLiteral("401"));
}

// An empty part-type list, or one whose part types vanish before "Add": the operator is
// told there is nothing to add the zone to, and "Add" stays disabled until there is.
void tst_conflictChildDialogs::zoneWithoutPartType()
{
    const QString none = QStringLiteral("There is no part type in the source\nto add the zone to.");
    dlgAddZones dlg;
    QSignalSpy added(&dlg, &dlgAddZones::addRecZone);
    QSignalSpy errors(&dlg, &dlgAddZones::errHasOccured);
    auto *add = child<QPushButton>(&dlg, "btnAdd");

    // Vanished: listed when shown, gone when "Add" is pressed.
    showZones(dlg);
    QVERIFY(add->isEnabled());
    QCOMPARE(TestDatabase::exec("DELETE FROM " + fx.src + ".dettypes"), QString());
    add->click();
    QVERIFY(!add->isEnabled());
    QVERIFY(child<QLabel>(&dlg, "lbZone")->text().endsWith(none));
    QCOMPARE(added.count(), 0);
    QVERIFY(dlg.isVisible());

    // Empty when shown; a part type that appears enables "Add" when it is shown again.
    dlg.hide();
    showZones(dlg);
    QVERIFY(!add->isEnabled());
    QCOMPARE(TestDatabase::exec("INSERT INTO " + fx.src + ".dettypes VALUES (6, 'T6', 'Type six')"), QString());
    dlg.hide();
    showZones(dlg);
    QVERIFY(add->isEnabled());
    QVERIFY(child<QLabel>(&dlg, "lbZone")->text().endsWith(QStringLiteral("below you want to add a zone")));
    add->click();
    QCOMPARE(added.count(), 1);
    QCOMPARE(errors.count(), 0);
}

QTEST_MAIN(tst_conflictChildDialogs)
#include "tst_conflictChildDialogs.moc"
