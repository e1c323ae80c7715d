#include "ConnectionPanel.h"
#include "PSqlDBAccess.h"
#include "ShellTestSupport.h"
#include "TestDatabase.h"
#include "WidgetCreation.h"
#include "auxFunc.h"
#include "dbAccess.h"
#include "mainwin.h"

#include "ModalAnswerer.h"

#include <QAbstractItemModel>
#include <QComboBox>
#include <QCompleter>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QSqlQuery>
#include <QStringListModel>
#include <QTest>

using namespace ShellTest;

namespace {

QString statusOf(MainWin &window)
{
    return child<QLabel>(&window, "lbStatus")->text();
}

QStringList completerNames(MainWin &window)
{
    QStringList names;
    QCompleter *completer = child<QLineEdit>(&window, "edToTable")->completer();
    if (!completer || !completer->model())
        return names;
    for (int row = 0; row < completer->model()->rowCount(); ++row)
        names << completer->model()->index(row, 0).data().toString();
    return names;
}

// What the completer's pop-up offers for a typed prefix.
QStringList completions(QCompleter *completer, const QString &prefix)
{
    completer->setCompletionPrefix(prefix);
    QStringList offered;
    for (int row = 0; row < completer->completionCount(); ++row) {
        completer->setCurrentRow(row);
        offered << completer->currentCompletion();
    }
    return offered;
}

} // namespace

class tst_ConnectionPanel : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void missingInputOrder_data();
    void missingInputOrder();
    void inputChecks_data();
    void inputChecks();
    void driverList();
    void completerSettings();
    void connectFillsCompleter();
    void failedConnectEmptiesStatus();
    void sourceFieldsFromSpinBox();
    void editFieldsIsEmpty_data();
    void editFieldsIsEmpty();
    void noOpenConnection();

private:
    bool m_server = false;
    QStringList m_created;
};

void tst_ConnectionPanel::initTestCase()
{
    QCoreApplication::setApplicationName(QStringLiteral("kvtMergeDB"));
    initAppResources();
    m_server = TestDatabase::configured();
    if (m_server)
        QVERIFY(openFixture());
}

void tst_ConnectionPanel::cleanupTestCase()
{
    if (m_server)
        drop(m_created);
}

void tst_ConnectionPanel::missingInputOrder_data()
{
    QTest::addColumn<QString>("driver");
    QTest::addColumn<QString>("dbName");
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("expected");
    QTest::newRow("all given") << "QMYSQL" << "mysql" << "127.0.0.1" << int(ConnectionPanel::MissingInput::NothingMissing);
    QTest::newRow("no driver, others given") << "" << "mysql" << "127.0.0.1" << int(ConnectionPanel::MissingInput::NoDriver);
    QTest::newRow("nothing given") << "" << "" << "" << int(ConnectionPanel::MissingInput::NoDriver);
    QTest::newRow("no database, no host") << "QMYSQL" << "" << "" << int(ConnectionPanel::MissingInput::NoDatabaseName);
    QTest::newRow("no host") << "QMYSQL" << "mysql" << "" << int(ConnectionPanel::MissingInput::NoHost);
}

void tst_ConnectionPanel::missingInputOrder()
{
    QFETCH(QString, driver);
    QFETCH(QString, dbName);
    QFETCH(QString, host);
    QFETCH(int, expected);
    QCOMPARE(int(ConnectionPanel::firstMissingInput(driver, dbName, host)), expected);
}

void tst_ConnectionPanel::inputChecks_data()
{
    QTest::addColumn<bool>("clearDriver");
    QTest::addColumn<QString>("dbName");
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("boxText");
    QTest::addColumn<QString>("status");
    QTest::newRow("empty driver box, host and database filled")
        << true << "mysql" << "127.0.0.1" << "There is no db driver selected!" << "There is no db driver selected";
    QTest::newRow("empty database name before empty host")
        << false << "" << "" << "Please enter the database name!" << "Please enter the database name";
    QTest::newRow("empty host") << false << "mysql" << ""
                                << "Please enter server IP (host)" << "Please enter server IP (host)";
}

void tst_ConnectionPanel::inputChecks()
{
    QFETCH(bool, clearDriver);
    QFETCH(QString, dbName);
    QFETCH(QString, host);
    QFETCH(QString, boxText);
    QFETCH(QString, status);

    DBAccess::instance()->closeConnection();
    MainWin window;
    if (clearDriver)
        child<QComboBox>(&window, "cmbxDBDriver")->setCurrentIndex(-1);
    child<QLineEdit>(&window, "edDBName")->setText(dbName);
    child<QLineEdit>(&window, "edHost")->setText(host);

    ModalAnswerer answerer;
    answerer.clickButton(QMessageBox::Ok);
    child<QPushButton>(&window, "btnConnect")->click();
    QCOMPARE(answerer.titles(), QStringList{QStringLiteral("Error")});
    QCOMPARE(answerer.texts(), QStringList{boxText});
    QCOMPARE(statusOf(window), status);
    QVERIFY(!DBAccess::instance()->isOpen());
    QCOMPARE(completerNames(window), QStringList());
}

void tst_ConnectionPanel::driverList()
{
    PSqlDBAccess access;
    const QStringList drivers = access.getDriverList();
    QVERIFY(drivers.contains(QStringLiteral("QMYSQL")));

    MainWin window;
    auto *box = child<QComboBox>(&window, "cmbxDBDriver");
    QStringList listed;
    for (int i = 0; i < box->count(); ++i)
        listed << box->itemText(i);
    QCOMPARE(listed, drivers);
    QCOMPARE(box->currentText(), QStringLiteral("QMYSQL"));

    // An unknown driver leaves the selection; an empty one means QMYSQL. Each call
    // appends the list again.
    box->setCurrentIndex(0);
    window.initDBDriverList(QStringLiteral("NOSUCHDRIVER"));
    QCOMPARE(box->currentIndex(), 0);
    QCOMPARE(box->count(), 2 * drivers.size());
    window.initDBDriverList(QString());
    QCOMPARE(box->currentText(), QStringLiteral("QMYSQL"));
}

void tst_ConnectionPanel::completerSettings()
{
    MainWin window;
    QCompleter *completer = sourceFields(&window).first()->completer();
    QVERIFY(completer);
    QCOMPARE(completer->parent(), &window);
    QCOMPARE(completer->maxVisibleItems(), 10);
    QCOMPARE(completer->completionMode(), QCompleter::PopupCompletion);
    QCOMPARE(completer->modelSorting(), QCompleter::CaseInsensitivelySortedModel);

    auto *model = qobject_cast<QStringListModel *>(
        window.modelFromStringList({QStringLiteral("b"), QStringLiteral("a")}));
    QVERIFY(model);
    QCOMPARE(model->parent(), completer);
    QCOMPARE(model->stringList(), (QStringList{QStringLiteral("b"), QStringLiteral("a")}));

    // The slot gives the one completer to the destination and every source field.
    window.createTableSource(2);
    window.setCompleterForEditFields();
    QCOMPARE(child<QLineEdit>(&window, "edToTable")->completer(), completer);
    for (QLineEdit *field : sourceFields(&window))
        QCOMPARE(field->completer(), completer);
}

void tst_ConnectionPanel::connectFillsCompleter()
{
    if (!TestDatabase::requireServer())
        return;
    const QString created = TestDatabase::uniqueName(QStringLiteral("kvtPanel"));
    m_created << created;
    QCOMPARE(createKvt(created), QString());

    MainWin window;
    ModalAnswerer answerer;
    connectPanel(&window);
    QCOMPARE(answerer.answered(), 0);
    QCOMPARE(statusOf(window), QStringLiteral("connection is success"));
    QVERIFY(DBAccess::instance()->isOpen());

    // The server's databases, in the server's order. Test programs running beside this one
    // create and drop databases of their own (TestDatabase::uniqueName: prefix_pid_n) between
    // the connection and this listing: theirs are left out of both lists.
    const QRegularExpression ofAnotherTest(QStringLiteral("_(\\d+)_\\d+$"));
    const auto withoutOtherTests = [&](const QStringList &names) {
        QStringList kept;
        for (const QString &name : names) {
            const QRegularExpressionMatch match = ofAnotherTest.match(name);
            if (!match.hasMatch() || match.captured(1).toLongLong() == QCoreApplication::applicationPid())
                kept << name;
        }
        return kept;
    };
    QStringList expected;
    QSqlQuery list(QSqlDatabase::database(fixtureConnection()));
    QVERIFY(list.exec(QStringLiteral("SHOW DATABASES")));
    while (list.next())
        expected << list.value(0).toString();
    QVERIFY(expected.contains(created));
    QCOMPARE(withoutOtherTests(completerNames(window)), withoutOtherTests(expected));

    // The destination field and the source fields share the completer.
    QCompleter *completer = child<QLineEdit>(&window, "edToTable")->completer();
    QVERIFY(completer);
    QCOMPARE(sourceFields(&window).first()->completer(), completer);
    QCOMPARE(completions(completer, created), QStringList{created});
    QVERIFY(completions(completer, QStringLiteral("kvtPane")).contains(created));

    // A new connect replaces the model and deletes the old one.
    QPointer<QAbstractItemModel> previous = completer->model();
    const QString later = TestDatabase::uniqueName(QStringLiteral("mpanel"));
    m_created << later;
    QCOMPARE(createKvt(later), QString());
    connectPanel(&window);
    QVERIFY(previous.isNull());
    QVERIFY(completerNames(window).contains(later));
}

void tst_ConnectionPanel::failedConnectEmptiesStatus()
{
    if (!TestDatabase::requireServer())
        return;
    MainWin window;
    connectPanel(&window);
    QVERIFY(DBAccess::instance()->isOpen());
    const QStringList before = completerNames(window);
    QVERIFY(!before.isEmpty());

    ModalAnswerer answerer;
    answerer.clickButton(QMessageBox::Ok);
    connectPanel(&window, QStringLiteral("not the password"));
    QCOMPARE(answerer.titles(), QStringList{QStringLiteral("Error")});
    QVERIFY2(answerer.lastText().contains(QStringLiteral("Access denied")), qPrintable(answerer.lastText()));
    QVERIFY(answerer.lastText().contains(QStringLiteral("\nCode: 1045")));
    QCOMPARE(statusOf(window), QString());
    QVERIFY(!DBAccess::instance()->isOpen());
    // The completer keeps what it offered.
    QCOMPARE(completerNames(window), before);
}

void tst_ConnectionPanel::sourceFieldsFromSpinBox()
{
    MainWin window;
    sourceFields(&window).first()->setText(QStringLiteral("typed"));
    child<QSpinBox>(&window, "spinTableSource")->setValue(3);

    const QList<QLineEdit *> fields = sourceFields(&window);
    QCOMPARE(fields.size(), 3);
    QCOMPARE(window.findChildren<QLineEdit *>(QRegularExpression(QStringLiteral("^edTableSource_"))).size(), 3);
    for (int i = 0; i < fields.size(); ++i) {
        QVERIFY(fields.at(i));
        QCOMPARE(fields.at(i)->objectName(), QStringLiteral("edTableSource_%1").arg(i + 1));
        QCOMPARE(fields.at(i)->text(), QString());
        QVERIFY(fields.at(i)->completer());
    }
    QCOMPARE(window.size(), QSize(350, 320 + menuBarHeight(&window)));
}

void tst_ConnectionPanel::editFieldsIsEmpty_data()
{
    QTest::addColumn<QStringList>("sources");
    QTest::addColumn<QString>("destination");
    QTest::addColumn<bool>("empty");
    QTest::newRow("second source empty, destination filled") << QStringList{"a", ""} << "d" << true;
    QTest::newRow("second source empty, destination empty") << QStringList{"a", ""} << "" << true;
    QTest::newRow("first source empty") << QStringList{"", "b"} << "d" << true;
    QTest::newRow("sources filled, destination empty") << QStringList{"a", "b"} << "" << true;
    QTest::newRow("all filled") << QStringList{"a", "b"} << "d" << false;
}

void tst_ConnectionPanel::editFieldsIsEmpty()
{
    QFETCH(QStringList, sources);
    QFETCH(QString, destination);
    QFETCH(bool, empty);

    MainWin window;
    window.createTableSource(sources.size());
    const QList<QLineEdit *> fields = sourceFields(&window);
    for (int i = 0; i < fields.size(); ++i)
        fields.at(i)->setText(sources.at(i));
    child<QLineEdit>(&window, "edToTable")->setText(destination);

    QCOMPARE(window.editFieldsIsEmpty(), empty);
    QCOMPARE(statusOf(window), empty ? QStringLiteral("Please fill empty field")
                                     : QStringLiteral("please connect to server"));
}

void tst_ConnectionPanel::noOpenConnection()
{
    DBAccess::instance()->closeConnection();
    MainWin window;
    QVERIFY(!window.dbConnectionIsActive());
    QCOMPARE(statusOf(window), QStringLiteral("There are no open connections"));
}

QTEST_MAIN(tst_ConnectionPanel)
#include "tst_connectionpanel.moc"
