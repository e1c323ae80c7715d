#include "AutomationFixture.h"
#include "PExcelExport.h"
#include "PExportTableToCSV.h"
#include "TestDatabase.h"
#include "XlsxContent.h"

#include <QFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlQueryModel>
#include <QStandardItemModel>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <utility>

// Both exports over a table view that shows a real query on the database server.
class tst_TableExportDb : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void csvFromQueryView();
    void workbookFromQueryView();
    void workbookFromQueryModelAlone();
    void numericColumnsBecomeNumberCells_data();
    void numericColumnsBecomeNumberCells();

private:
    void exportWorkbook(const std::function<void(PExcelExport &)> &setSource);
    void checkWorkbook(const QString &path);

    QString m_db;
    QSqlQueryModel m_model;
    QTemporaryDir m_dir;
};

void tst_TableExportDb::initTestCase()
{
    if (!TestDatabase::requireServer())
        return;
    QVERIFY(TestDatabase::openDefault().isOpen());
    m_db = TestDatabase::uniqueName(QStringLiteral("export"));
    const QString table = m_db + QStringLiteral(".parts");
    QCOMPARE(TestDatabase::exec({
                 "CREATE DATABASE " + m_db,
                 "CREATE TABLE " + table + " (id INT PRIMARY KEY, name VARCHAR(40), zone VARCHAR(40))",
                 "INSERT INTO " + table + " VALUES (1, 'Ось \"А\"', 'Шейка'), (2, 'Колесо', NULL)",
             }),
             QString());
    m_model.setQuery(QStringLiteral("SELECT id, name, zone FROM %1 ORDER BY id").arg(table));
    QVERIFY2(!m_model.lastError().isValid(), qPrintable(m_model.lastError().text()));
    QCOMPARE(m_model.rowCount(), 2);
}

void tst_TableExportDb::cleanupTestCase()
{
    if (!m_db.isEmpty())
        TestDatabase::dropDatabase(m_db);
}

void tst_TableExportDb::csvFromQueryView()
{
    QTableView view;
    view.setModel(&m_model);
    const QString path = m_dir.filePath(QStringLiteral("parts.csv"));
    PExportTableToCSV exporter(&view, path);
    exporter.setCodecFile(QStringLiteral("UTF-8"));

    QVERIFY(exporter.exportToCSV());

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(file.readAll()),
             QStringLiteral("id;name;zone;\n\"1\";\"Ось \"\"А\"\"\";\"Шейка\"\n\"2\";\"Колесо\";\"\"\n"));
}

void tst_TableExportDb::exportWorkbook(const std::function<void(PExcelExport &)> &setSource)
{
    AutomationFixture automation;
    {
        PExcelExport exporter;
        exporter.exportTableHeader({"id", "name", "zone"});
        setSource(exporter);
        exporter.exportTableData();
        exporter.createBorder();
    }
    QCOMPARE(automation.openedFiles().size(), 1);
    checkWorkbook(automation.openedFiles().first());
}

void tst_TableExportDb::checkWorkbook(const QString &path)
{
    const XlsxContent xlsx(path);
    QVERIFY2(xlsx.isValid(), qPrintable(xlsx.error()));
    QCOMPARE(xlsx.text(QStringLiteral("B1")), QStringLiteral("name"));
    QCOMPARE(xlsx.text(QStringLiteral("A2")), QStringLiteral("1"));
    QCOMPARE(xlsx.text(QStringLiteral("B2")), QStringLiteral("Ось \"А\""));
    QCOMPARE(xlsx.text(QStringLiteral("C2")), QStringLiteral("Шейка"));
    QCOMPARE(xlsx.text(QStringLiteral("B3")), QStringLiteral("Колесо"));
    QVERIFY(xlsx.cellRefs().contains(QStringLiteral("C3"))); // empty, but framed
    QCOMPARE(xlsx.text(QStringLiteral("C3")), QString());
    QCOMPARE(xlsx.style(QStringLiteral("C3")).borders.size(), 4);
    QVERIFY(!xlsx.cellRefs().contains(QStringLiteral("A4")));
}

void tst_TableExportDb::workbookFromQueryView()
{
    QTableView view;
    view.setModel(&m_model);
    exportWorkbook([&view](PExcelExport &exporter) { exporter.setTableView(&view); });
}

void tst_TableExportDb::workbookFromQueryModelAlone()
{
    // A view over another model, set before the query model: the query model, set last, is exported.
    QStandardItemModel other(5, 5);
    QTableView view;
    view.setModel(&other);
    exportWorkbook([this, &view](PExcelExport &exporter) {
        exporter.setTableView(&view);
        exporter.setQueryModel(&m_model);
    });
}

void tst_TableExportDb::numericColumnsBecomeNumberCells_data()
{
    // With high precision the driver gives DECIMAL values as text.
    QTest::addColumn<int>("precision");
    QTest::newRow("default precision") << int(QSql::LowPrecisionDouble);
    QTest::newRow("high precision") << int(QSql::HighPrecision);
}

void tst_TableExportDb::numericColumnsBecomeNumberCells()
{
    QFETCH(int, precision);
    const QString table = m_db + QStringLiteral(".measures");
    QCOMPARE(TestDatabase::exec({
                 "CREATE TABLE IF NOT EXISTS " + table + " (n INT, d DECIMAL(10,2), x DOUBLE, code VARCHAR(10))",
                 "DELETE FROM " + table,
                 "INSERT INTO " + table + " VALUES (7, 12.50, 0.125, '007'), (-3, -0.75, 1e20, '12'),"
                                          " (NULL, NULL, NULL, NULL)",
             }),
             QString());
    QSqlQuery query;
    query.setNumericalPrecisionPolicy(QSql::NumericalPrecisionPolicy(precision));
    QVERIFY(query.exec(QStringLiteral("SELECT n, d, x, code FROM %1 ORDER BY n DESC").arg(table)));
    QSqlQueryModel model;
    model.setQuery(std::move(query)); // Qt 6 takes the query over; a copy is deprecated there
    QVERIFY2(!model.lastError().isValid(), qPrintable(model.lastError().text()));
    AutomationFixture automation;
    {
        PExcelExport exporter;
        exporter.setQueryModel(&model);
        exporter.exportTableData();
    }
    QCOMPARE(automation.openedFiles().size(), 1);
    const XlsxContent xlsx(automation.openedFiles().first());
    QVERIFY2(xlsx.isValid(), qPrintable(xlsx.error()));
    const QMap<QString, QString> numbers{{"A2", "7"}, {"B2", "12.5"}, {"C2", "0.125"},
                                         {"A3", "-3"}, {"B3", "-0.75"}, {"C3", "1E+20"}};
    for (auto it = numbers.cbegin(); it != numbers.cend(); ++it) {
        QVERIFY2(xlsx.isNumber(it.key()), qPrintable(it.key()));
        QCOMPARE(xlsx.text(it.key()), it.value());
    }
    // Text stays text, leading zeros and all, even when it looks like a number.
    for (const auto &[ref, text] : {std::pair<const char *, const char *>{"D2", "007"}, {"D3", "12"}}) {
        QVERIFY2(!xlsx.isNumber(QLatin1String(ref)), ref);
        QCOMPARE(xlsx.text(QLatin1String(ref)), QLatin1String(text));
    }
    // NULL is an empty cell, not 0.
    for (const char *ref : {"A4", "B4", "C4", "D4"}) {
        QVERIFY2(!xlsx.isNumber(QLatin1String(ref)), ref);
        QCOMPARE(xlsx.text(QLatin1String(ref)), QString());
    }
}

QTEST_MAIN(tst_TableExportDb)
#include "tst_tableexportdb.moc"
