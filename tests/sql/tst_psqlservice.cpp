// PSqlService against the test server, on tables of its own database.
#include "ModalAnswerer.h"
#include "PSqlDBAccess.h"
#include "PSqlIdentifier.h"
#include "PSqlService.h"
#include "TestDatabase.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlQueryModel>
#include <QSqlTableModel>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

class tst_PSqlService : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();
    void generateId_data();
    void generateId();
    void generateIdOfMissingTable();
    void totalRecCount();
    void truncateTable();
    void databaseList();
    void databaseListOnDeadConnection();
    void createDB();
    void scriptRunsInOneCall();
    void scriptDumpIsPrivate();
    void scriptErrorInSecondStatement();
    void scriptFileMissing();
    void containAnyRecWithCode_data();
    void containAnyRecWithCode();
    void fieldValueOfSelectedRows();
    void deleteSelectedRows_data();
    void deleteSelectedRows();
    void searchRecByMatching();

private:
    QString table(const QString &name) const { return m_db + "." + name; }
    void fill(const QStringList &values);
    QString writeScript(const QString &text);
    QStringList names() const;

    QString m_db;
    QSqlDatabase m_conn;
    QTemporaryDir m_dir;
    PSqlDBAccess m_access;
};

void tst_PSqlService::initTestCase()
{
    // The script dump goes to the user's cache folder: keep it inside the test's folder.
    qputenv("XDG_CACHE_HOME", m_dir.filePath("cache").toLocal8Bit());
    if (!TestDatabase::requireServer())
        return;
    m_db = TestDatabase::uniqueName("sqlsvc");
}

// A fresh default connection opened the way the program opens it, and a fresh table
// t (ID, Cod, Name) before every test.
void tst_PSqlService::init()
{
    const TestDatabase::Server s = TestDatabase::server();
    QString errMsg;
    QCOMPARE(m_access.openDBConnection(m_conn, errMsg, "QMYSQL", "mysql", s.host, s.user,
                                       s.password, QString::number(s.port)),
             0);
    QCOMPARE(TestDatabase::exec({
                 "DROP DATABASE IF EXISTS " + m_db,
                 "CREATE DATABASE " + m_db,
                 "CREATE TABLE " + table("t")
                     + " (ID INT PRIMARY KEY, Cod INT, Name VARCHAR(20))",
                 // Table models take the table by its bare name.
                 "USE " + m_db,
             }),
             QString());
}

void tst_PSqlService::cleanupTestCase()
{
    if (!m_db.isEmpty() && m_conn.isOpen())
        TestDatabase::dropDatabase(m_db);
}

void tst_PSqlService::fill(const QStringList &values)
{
    QStringList statements;
    for (const QString &row : values)
        statements << "INSERT INTO " + table("t") + " VALUES (" + row + ")";
    QCOMPARE(TestDatabase::exec(statements), QString());
}

QString tst_PSqlService::writeScript(const QString &text)
{
    static int n = 0;
    const QString path = m_dir.filePath(QString("script_%1.sql").arg(++n));
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(text.toUtf8());
    return path;
}

QStringList tst_PSqlService::names() const
{
    QStringList list;
    QSqlQuery query("SELECT Name FROM " + table("t") + " ORDER BY ID");
    while (query.next())
        list << query.value(0).toString();
    return list;
}

void tst_PSqlService::generateId_data()
{
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QString>("field");
    QTest::addColumn<quint64>("id");
    QTest::newRow("empty table") << QStringList() << QString() << quint64(1);
    QTest::newRow("largest ID 41") << QStringList{"41, 3, 'a'", "7, 90, 'b'"} << QString() << quint64(42);
    QTest::newRow("field Cod") << QStringList{"41, 3, 'a'", "7, 90, 'b'"} << "Cod" << quint64(91);
    QTest::newRow("field Cod, all NULL") << QStringList{"1, NULL, 'a'"} << "Cod" << quint64(1);
    QTest::newRow("beyond 32 bits") << QStringList{"1, 2147483647, 'a'"} << "Cod*4" << quint64(8589934589);
}

void tst_PSqlService::generateId()
{
    QFETCH(QStringList, rows);
    QFETCH(QString, field);
    QFETCH(quint64, id);
    fill(rows);
    PSqlService service;
    ModalAnswerer answerer;
    QString errMsg;
    const quint64 result = field.isEmpty() ? service.generateDataBaseId(table("t"), errMsg)
                                           : service.generateDataBaseId(table("t"), field, errMsg);
    QCOMPARE(result, id);
    QVERIFY(errMsg.isEmpty());
    QCOMPARE(answerer.answered(), 0);
}

void tst_PSqlService::generateIdOfMissingTable()
{
    PSqlService service;
    ModalAnswerer answerer;
    answerer.clickButton(QMessageBox::Ok);
    answerer.clickButton(QMessageBox::Ok);
    QString errMsg;
    QCOMPARE(service.generateDataBaseId(table("missing"), errMsg), quint64(0));
    QVERIFY(errMsg.contains("doesn't exist"));
    QCOMPARE(answerer.titles(), QStringList{"Error"});
    QCOMPARE(answerer.lastText(), errMsg + "\nCode: 1146");

    errMsg.clear();
    QCOMPARE(service.generateDataBaseId(table("t"), "NoColumn", errMsg), quint64(0));
    QCOMPARE(answerer.lastText(), errMsg + "\nCode: 1054");
    QCOMPARE(answerer.answered(), 2);
}

void tst_PSqlService::totalRecCount()
{
    fill({"1, 1, 'a'", "2, 2, 'b'", "3, 3, 'c'"});
    PSqlService service;
    ModalAnswerer answerer;
    answerer.clickButton(QMessageBox::Ok);
    quint64 count = 99;
    int errCode = 99;
    QString errMsg;
    service.totalRecCount(count, table("t"), errMsg, errCode);
    QCOMPARE(count, quint64(3));
    QCOMPARE(errCode, 0);
    QCOMPARE(answerer.answered(), 0);

    service.totalRecCount(count, table("missing"), errMsg, errCode);
    QCOMPARE(count, quint64(0));
    QCOMPARE(errCode, 1146);
    QVERIFY(!errMsg.isEmpty());
    QCOMPARE(answerer.answered(), 1);
}

void tst_PSqlService::truncateTable()
{
    fill({"1, 1, 'a'", "2, 2, 'b'"});
    PSqlService service;
    ModalAnswerer answerer;
    answerer.clickButton(QMessageBox::Ok);
    QString errMsg;
    service.truncateTable(table("t"), errMsg);
    QVERIFY(errMsg.isEmpty());
    QCOMPARE(TestDatabase::scalar("SELECT COUNT(*) FROM " + table("t")).toInt(), 0);
    QCOMPARE(answerer.answered(), 0);

    service.truncateTable(table("missing"), errMsg);
    QVERIFY(errMsg.contains("doesn't exist"));
    QCOMPARE(answerer.answered(), 1);
}

void tst_PSqlService::databaseList()
{
    PSqlService service;
    QStringList list{"stale entry"};
    QString errMsg;
    service.getDatabaseList(list, errMsg);
    QVERIFY(errMsg.isEmpty());
    QVERIFY(!list.contains("stale entry"));
    QVERIFY(list.contains(m_db));
    QVERIFY(list.contains("information_schema"));
    QVERIFY(list.contains("mysql"));
}

void tst_PSqlService::databaseListOnDeadConnection()
{
    const QVariant id = TestDatabase::scalar("SELECT CONNECTION_ID()");
    TestDatabase::open("killer");
    QCOMPARE(TestDatabase::exec("KILL " + id.toString(), "killer"), QString());

    PSqlService service;
    ModalAnswerer answerer;
    answerer.clickButton(QMessageBox::Ok);
    QStringList list{"stale entry"};
    QString errMsg;
    service.getDatabaseList(list, errMsg);
    QVERIFY(list.isEmpty());
    QVERIFY(!errMsg.isEmpty());
    QCOMPARE(answerer.titles(), QStringList{"Error"});
    QCOMPARE(answerer.lastText().section('\n', 0, 0), errMsg.section('\n', 0, 0));
}

void tst_PSqlService::createDB()
{
    const QString name = TestDatabase::uniqueName("sqlnew");
    PSqlService service;
    ModalAnswerer answerer;
    answerer.clickButton(QMessageBox::Ok);
    QString errMsg;
    QCOMPARE(service.createDB(m_conn, PSqlIdentifier::quote(name), errMsg), 0);
    QVERIFY(errMsg.isEmpty());
    const bool created = TestDatabase::scalar("SHOW DATABASES LIKE '" + name + "'").toString() == name;

    const int again = service.createDB(m_conn, PSqlIdentifier::quote(name), errMsg);
    TestDatabase::dropDatabase(name);
    QVERIFY(created);
    QCOMPARE(again, 1007);
    QVERIFY(errMsg.contains(name));
    QCOMPARE(answerer.titles(), QStringList{"Error"});
    QCOMPARE(answerer.lastText(), errMsg + "\nCode: 1007");
}

void tst_PSqlService::scriptRunsInOneCall()
{
    const QString text = "INSERT INTO " + table("t") + " VALUES (1, 10, 'a');\n"
                         "UPDATE " + table("t") + " SET Name = 'b' WHERE ID = 1;\n"
                         "INSERT INTO " + table("t") + " VALUES (2, 20, 'c');\n";
    PSqlService service;
    ModalAnswerer answerer;
    QString errMsg;
    QCOMPARE(service.execScriptFromFile(m_conn, writeScript(text), errMsg), 0);
    QVERIFY(errMsg.isEmpty());
    QCOMPARE(names(), (QStringList{"b", "c"}));
    QCOMPARE(answerer.answered(), 0);

    QFile dump(PSqlService::scriptDumpFile());
    QVERIFY(dump.fileName().startsWith(m_dir.filePath("cache") + "/"));
    QVERIFY(dump.open(QIODevice::ReadOnly));
    QString expected = text;
    expected.replace("\n", "\r\n");
    QCOMPARE(QString::fromLocal8Bit(dump.readAll()), expected + "\r\n");
}

// The dump is the user's alone, also where an older one was readable by everybody,
// and the next script replaces it.
void tst_PSqlService::scriptDumpIsPrivate()
{
    const QString path = PSqlService::scriptDumpFile();
    QVERIFY(QDir().mkpath(QFileInfo(path).path()));
    QFile old(path);
    QVERIFY(old.open(QIODevice::WriteOnly | QIODevice::Truncate));
    old.write("an older, longer dump that everybody could read");
    old.close();
    QVERIFY(old.setPermissions(old.permissions() | QFile::ReadOther | QFile::ReadGroup));

    PSqlService service;
    ModalAnswerer answerer;
    answerer.clickButton(QMessageBox::Ok);
    QString errMsg;
    for (const QString &statement : {QString("DO 1;"), QString("DO 2;")}) {
        service.execScriptFromFile(m_conn, writeScript(statement), errMsg);
        QFile dump(path);
        QCOMPARE(dump.permissions() & ~(QFile::ReadUser | QFile::WriteUser),
                 QFile::ReadOwner | QFile::WriteOwner);
        QVERIFY(dump.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromLocal8Bit(dump.readAll()), statement + "\r\n\r\n");
    }
    QCOMPARE(answerer.answered(), 0);
}

// The server stops at the failing statement; its error must not get lost behind the
// success of the first one, and the connection must stay usable.
void tst_PSqlService::scriptErrorInSecondStatement()
{
    const QString text = "INSERT INTO " + table("t") + " VALUES (1, 10, 'a');\n"
                         "INSERT INTO " + table("missing") + " VALUES (2, 20, 'b');\n"
                         "INSERT INTO " + table("t") + " VALUES (3, 30, 'c');\n";
    PSqlService service;
    ModalAnswerer answerer;
    answerer.clickButton(QMessageBox::Ok);
    QString errMsg;
    QCOMPARE(service.execScriptFromFile(m_conn, writeScript(text), errMsg), 1146);
    QVERIFY(errMsg.contains("missing"));
    QCOMPARE(answerer.titles(), QStringList{"Error"});
    QCOMPARE(answerer.lastText(), errMsg + "\nCode: 1146");
    QCOMPARE(names(), QStringList{"a"});
}

void tst_PSqlService::scriptFileMissing()
{
    const QString path = m_dir.filePath("no_such_script.sql");
    PSqlService service;
    ModalAnswerer answerer;
    answerer.clickButton(QMessageBox::Ok);
    QString errMsg;
    QCOMPARE(service.execScriptFromFile(m_conn, path, errMsg), 1);
    QCOMPARE(errMsg, QString("Error opening create DB script-file"));
    QCOMPARE(answerer.titles(), QStringList{"Error"});
    QCOMPARE(answerer.lastText(), "Error opening create DB script-file " + path);
}

void tst_PSqlService::containAnyRecWithCode_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("value");
    QTest::addColumn<quint64>("count");
    QTest::newRow("two rows") << "t" << "Cod" << "5" << quint64(2);
    QTest::newRow("none") << "t" << "Cod" << "6" << quint64(0);
    QTest::newRow("quoted by caller") << "t" << "Name" << "'x'" << quint64(1);
    QTest::newRow("missing table: no box") << "missing" << "Cod" << "5" << quint64(0);
}

void tst_PSqlService::containAnyRecWithCode()
{
    QFETCH(QString, table);
    QFETCH(QString, field);
    QFETCH(QString, value);
    QFETCH(quint64, count);
    fill({"1, 5, 'x'", "2, 5, 'y'", "3, 7, 'z'"});
    PSqlService service;
    ModalAnswerer answerer;
    QCOMPARE(service.containAnyRecWithCode(this->table(table), field, value), count);
    QTest::qWait(50);
    QCOMPARE(answerer.answered(), 0);
}

void tst_PSqlService::fieldValueOfSelectedRows()
{
    fill({"1, 12, 'a'", "2, 5, 'b'", "3, 7, 'c'"});
    QSqlQueryModel model;
    model.setQuery("SELECT ID, Cod FROM " + table("t") + " ORDER BY ID");
    QSqlTableModel tableModel;
    tableModel.setTable("t");
    QVERIFY(tableModel.select());
    QTableView view;
    view.setModel(&model);
    PSqlService service;

    QVERIFY(service.getFieldValue(&view, &model, "Cod").isNull());
    view.setSelectionMode(QAbstractItemView::MultiSelection);
    view.selectRow(0);
    view.selectRow(2);
    QCOMPARE(service.getFieldValue(&view, &model, "Cod"), QString("127"));
    QCOMPARE(service.getFieldValue(&view, &tableModel, "Name"), QString("ac"));
}

void tst_PSqlService::deleteSelectedRows_data()
{
    QTest::addColumn<int>("strategy");
    QTest::addColumn<int>("answer");
    QTest::addColumn<QStringList>("remaining");
    QTest::addColumn<int>("selectedAfter");
    const QStringList all{"r0", "r1", "r2", "r3", "r4"};
    QTest::newRow("manual submit") << int(QSqlTableModel::OnManualSubmit)
                                   << int(QMessageBox::YesToAll) << QStringList{"r0", "r2", "r4"} << 2;
    QTest::newRow("immediate delete") << int(QSqlTableModel::OnFieldChange)
                                      << int(QMessageBox::YesToAll) << QStringList{"r0", "r2", "r4"} << 2;
    QTest::newRow("refused") << int(QSqlTableModel::OnManualSubmit)
                             << int(QMessageBox::NoToAll) << all << -1;
}

// Rows 1 and 3 of five are selected; afterwards the model shows the rows that are left,
// whether it deletes at once or on submit, and the row after the last deleted one is selected.
void tst_PSqlService::deleteSelectedRows()
{
    QFETCH(int, strategy);
    QFETCH(int, answer);
    QFETCH(QStringList, remaining);
    QFETCH(int, selectedAfter);
    fill({"1, 0, 'r0'", "2, 0, 'r1'", "3, 0, 'r2'", "4, 0, 'r3'", "5, 0, 'r4'"});
    QSqlTableModel model;
    model.setTable("t");
    model.setEditStrategy(QSqlTableModel::EditStrategy(strategy));
    model.setSort(0, Qt::AscendingOrder);
    QVERIFY(model.select());
    QTableView view;
    view.setModel(&model);
    view.setSelectionMode(QAbstractItemView::MultiSelection);
    view.selectRow(1);
    view.selectRow(3);

    PSqlService service;
    ModalAnswerer answerer;
    answerer.clickButton(QMessageBox::StandardButton(answer));
    service.deleteRow(&view);
    QCOMPARE(answerer.titles(), QStringList{"Confirm"});
    QCOMPARE(names(), remaining);
    if (selectedAfter >= 0) {
        QCOMPARE(model.rowCount(), remaining.size());
        const QModelIndexList selected = view.selectionModel()->selectedRows();
        QVERIFY(!selected.isEmpty());
        QCOMPARE(selected.last().row(), selectedAfter);
    }
}

void tst_PSqlService::searchRecByMatching()
{
    fill({"1, 0, 'alpha'", "2, 0, 'beta'", "3, 0, 'gamma'", "4, 0, 'gammb'"});
    QSqlTableModel model;
    model.setTable("t");
    model.setSort(0, Qt::AscendingOrder);
    QVERIFY(model.select());
    QTableView view;
    view.setModel(&model);
    PSqlService service;

    service.searchRecByMatching(&model, 2, "gam", &view, Qt::MatchStartsWith);
    QCOMPARE(view.currentIndex(), model.index(2, 2));
    service.searchRecByMatching(&model, 2, "bet", &view, Qt::MatchContains);
    QCOMPARE(view.currentIndex(), model.index(1, 2));
    service.searchRecByMatching(&model, 2, "delta", &view, Qt::MatchExactly);
    QCOMPARE(view.currentIndex(), model.index(1, 2));
}

QTEST_MAIN(tst_PSqlService)
#include "tst_psqlservice.moc"
