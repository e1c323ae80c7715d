// Library SQL helpers that need no server: quoting, script text, query condition,
// driver list, confirmation boxes, navigation and error boxes without a number.
#include "ModalAnswerer.h"
#include "PSqlDBAccess.h"
#include "PSqlErrors.h"
#include "PSqlIdentifier.h"
#include "PSqlQueryCondition.h"
#include "PSqlScriptReader.h"
#include "PSqlService.h"

#include <QAbstractButton>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStandardItemModel>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

class tst_PSqlHelpers : public QObject
{
    Q_OBJECT

private slots:
    void quoteIdentifier_data();
    void quoteIdentifier();
    void qualifiedName();
    void scriptText_data();
    void scriptText();
    void scriptFileIsUtf8();
    void missingScriptFileLeavesScript();
    void queryCondition();
    void driverListNamesEachDriverOnce();
    void deleteConfirmation_data();
    void deleteConfirmation();
    void navigate_data();
    void navigate();
    void errorWithoutNumber_data();
    void errorWithoutNumber();
    void errorObjectFollowsItsOwner();
};

void tst_PSqlHelpers::quoteIdentifier_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("quoted");
    QTest::newRow("plain") << "kvt_2024" << "`kvt_2024`";
    QTest::newRow("inner backquote") << "a`b" << "`a``b`";
    QTest::newRow("injection attempt") << "x`; DROP DATABASE y; --" << "`x``; DROP DATABASE y; --`";
    QTest::newRow("point stays in the name") << "a.b" << "`a.b`";
    QTest::newRow("empty") << "" << "``";
}

void tst_PSqlHelpers::quoteIdentifier()
{
    QFETCH(QString, name);
    QFETCH(QString, quoted);
    QCOMPARE(PSqlIdentifier::quote(name), quoted);
}

void tst_PSqlHelpers::qualifiedName()
{
    QCOMPARE(PSqlIdentifier::qualified("kvt`1", "humans"), QString("`kvt``1`.`humans`"));
}

void tst_PSqlHelpers::scriptText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("script");
    QTest::newRow("three lines") << "A;\nB;\nC;\n" << "A;\r\nB;\r\nC;\r\n\r\n";
    QTest::newRow("CR LF and no final line end") << "A;\r\nB;\r\nC;" << "A;\r\nB;\r\nC;\r\n\r\n";
    QTest::newRow("blank line kept") << "A;\n\nB;\n" << "A;\r\n\r\nB;\r\n\r\n";
    QTest::newRow("empty file") << "" << "\r\n";
}

void tst_PSqlHelpers::scriptText()
{
    QFETCH(QString, text);
    QFETCH(QString, script);
    QCOMPARE(PSqlScriptReader::fromText(text), script);
}

void tst_PSqlHelpers::scriptFileIsUtf8()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("s.sql");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QString::fromUtf8("INSERT INTO t VALUES ('Ж😀');\r\n").toUtf8());
    file.close();
    QString script;
    QVERIFY(PSqlScriptReader::read(path, script));
    QCOMPARE(script, QString::fromUtf8("INSERT INTO t VALUES ('Ж😀');\r\n\r\n"));
}

void tst_PSqlHelpers::missingScriptFileLeavesScript()
{
    QString script = "before";
    QVERIFY(!PSqlScriptReader::read("/nonexistent/dir/s.sql", script));
    QCOMPARE(script, QString("before"));
}

void tst_PSqlHelpers::queryCondition()
{
    PSqlQueryCondition condition;
    QVERIFY(!condition.isSelectionTurnsOn());
    QVERIFY(!condition.returnQueryCondition(false).isNull());
    QVERIFY(condition.returnQueryCondition(false).isEmpty());

    condition.setQueryCondition("SELECT * FROM defects");
    condition.setSelectionState(true);
    QVERIFY(condition.isSelectionTurnsOn());
    const QString limited =
        "SELECT * FROM defects\nWHERE DATE_SUB(CURDATE(),INTERVAL 180 DAY) <= defects.Date";
    QCOMPARE(condition.returnQueryCondition(true), limited);
    // Asking twice must not add the clause twice.
    QCOMPARE(condition.returnQueryCondition(true), limited);
    QCOMPARE(condition.returnQueryCondition(false), QString("SELECT * FROM defects"));
}

void tst_PSqlHelpers::driverListNamesEachDriverOnce()
{
    PSqlDBAccess access;
    const QStringList list = access.getDriverList();
    QCOMPARE(list.count("QMYSQL"), 1);
    for (const char *alias : {"QMYSQL3", "QOCI8", "QODBC3", "QPSQL7", "QTDS7"})
        QVERIFY2(!list.contains(alias), alias);
    // QMARIADB is a driver name of its own, not an alias.
    QCOMPARE(list.contains("QMARIADB"), QSqlDatabase::drivers().contains("QMARIADB"));
    // Every other driver stays, in Qt's order.
    QStringList expected = QSqlDatabase::drivers();
    for (const char *alias : {"QMYSQL3", "QOCI8", "QODBC3", "QPSQL7", "QTDS7"})
        expected.removeAll(alias);
    QCOMPARE(list, expected);
}

void tst_PSqlHelpers::deleteConfirmation_data()
{
    QTest::addColumn<quint64>("count");
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("expected");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("buttons");
    const int yesNo = QMessageBox::Yes | QMessageBox::No;
    const int toAll = QMessageBox::YesToAll | QMessageBox::NoToAll;
    const QString one = "Are you sure you want to delete the record?";
    const QString many = "Are you sure you want to delete the records?";
    QTest::newRow("none") << quint64(0) << 0 << false << QString() << 0;
    QTest::newRow("one, yes") << quint64(1) << int(QMessageBox::Yes) << true << one << yesNo;
    QTest::newRow("one, no") << quint64(1) << int(QMessageBox::No) << false << one << yesNo;
    QTest::newRow("one, closed") << quint64(1) << int(QMessageBox::NoButton) << false << one << yesNo;
    QTest::newRow("five, yes to all") << quint64(5) << int(QMessageBox::YesToAll) << true << many << toAll;
    QTest::newRow("five, no to all") << quint64(5) << int(QMessageBox::NoToAll) << false << many << toAll;
}

void tst_PSqlHelpers::deleteConfirmation()
{
    QFETCH(quint64, count);
    QFETCH(int, answer);
    QFETCH(bool, expected);
    QFETCH(QString, text);
    QFETCH(int, buttons);

    QWidget window;
    PSqlService service(&window);
    ModalAnswerer answerer;
    int shownButtons = 0;
    QWidget *boxParent = nullptr;
    answerer.handle([&](QWidget *modal) {
        auto *box = qobject_cast<QMessageBox *>(modal);
        shownButtons = int(box->standardButtons());
        boxParent = box->parentWidget();
        if (answer != QMessageBox::NoButton)
            box->button(QMessageBox::StandardButton(answer))->click();
        else
            box->reject();
    });

    QCOMPARE(service.deleteRecordsConfirm(count), expected);
    if (count == 0) {
        QCOMPARE(answerer.answered(), 0);
        return;
    }
    QCOMPARE(answerer.titles(), QStringList{"Confirm"});
    QCOMPARE(answerer.lastText(), text);
    QCOMPARE(shownButtons, buttons);
    QCOMPARE(boxParent, &window);
}

void tst_PSqlHelpers::navigate_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("direction");
    QTest::addColumn<int>("selectedRow");
    QTest::newRow("empty, first") << 0 << int(PSqlService::dnFirst) << -1;
    QTest::newRow("empty, last") << 0 << int(PSqlService::dnLast) << -1;
    QTest::newRow("first") << 4 << int(PSqlService::dnFirst) << 0;
    QTest::newRow("last") << 4 << int(PSqlService::dnLast) << 3;
    QTest::newRow("unknown direction") << 4 << 7 << -1;
}

void tst_PSqlHelpers::navigate()
{
    QFETCH(int, rows);
    QFETCH(int, direction);
    QFETCH(int, selectedRow);
    QStandardItemModel model(rows, 2);
    QTableView view;
    view.setModel(&model);
    PSqlService service;
    service.navigateWithDataSet(&view, PSqlService::directionNavigate(direction));
    const QModelIndexList selected = view.selectionModel()->selectedRows();
    if (selectedRow < 0) {
        QVERIFY(selected.isEmpty());
    } else {
        QCOMPARE(selected.size(), 1);
        QCOMPARE(selected.first().row(), selectedRow);
    }
}

void tst_PSqlHelpers::errorWithoutNumber_data()
{
    QTest::addColumn<bool>("widgetParent");
    QTest::newRow("plain object parent: no parent window") << false;
    QTest::newRow("widget parent") << true;
}

// A query on a connection whose driver is missing fails without a server number:
// it must still read as an error (-1), never as success.
void tst_PSqlHelpers::errorWithoutNumber()
{
    QFETCH(bool, widgetParent);
    QObject plain;
    QWidget window;
    PSqlErrors errors(widgetParent ? static_cast<QObject *>(&window) : &plain);
    QSqlQuery query(QSqlDatabase::addDatabase("QNOSUCHDRIVER", QTest::currentDataTag()));
    QVERIFY(!query.exec("SELECT 1"));

    ModalAnswerer answerer;
    QWidget *boxParent = &window;
    answerer.handle([&](QWidget *modal) {
        boxParent = modal->parentWidget();
        qobject_cast<QMessageBox *>(modal)->button(QMessageBox::Ok)->click();
    });
    QString errMsg;
    QCOMPARE(errors.getLastSqlQueryError(&query, errMsg), -1);
    QVERIFY(!errMsg.isEmpty());
    QCOMPARE(answerer.titles(), QStringList{"Error"});
    QCOMPARE(answerer.lastText(), errMsg + "\nCode: -1");
    QCOMPARE(boxParent, widgetParent ? &window : nullptr);
}

// The error object is deleted with its owner, and the owner survives a parent that
// was deleted first (and took the error object along as its child).
void tst_PSqlHelpers::errorObjectFollowsItsOwner()
{
    QObject parent;
    {
        PSqlService service(&parent);
        PSqlDBAccess access(&parent);
        QCOMPARE(parent.findChildren<PSqlErrors *>().size(), 2);
    }
    QVERIFY(parent.findChildren<PSqlErrors *>().isEmpty());

    auto *early = new QObject;
    auto *service = new PSqlService(early);
    auto *access = new PSqlDBAccess(early);
    delete early;
    delete service;
    delete access;
}

QTEST_MAIN(tst_PSqlHelpers)
#include "tst_psqlhelpers.moc"
