#include "AutomationFixture.h"
#include "PExportTableToCSV.h"

#include <QFile>
#include <QProgressBar>
#include <QSortFilterProxyModel>
#include <QStandardItemModel>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTextCodec>

#include <functional>

namespace {

using Rows = QList<QStringList>;

// A table model that lets the test look around while the export reads it.
class ProbeModel : public QStandardItemModel
{
public:
    std::function<void()> onRead;

    QVariant data(const QModelIndex &index, int role) const override
    {
        if (onRead && role == Qt::DisplayRole)
            onRead();
        return QStandardItemModel::data(index, role);
    }
};

void fill(QStandardItemModel &model, const QStringList &headers, const Rows &rows)
{
    model.setColumnCount(headers.size());
    model.setHorizontalHeaderLabels(headers);
    for (const QStringList &row : rows) {
        QList<QStandardItem *> items;
        for (const QString &text : row)
            items.append(new QStandardItem(text));
        model.appendRow(items);
    }
}

} // namespace

class tst_CsvExport : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void fileFormat_data();
    void fileFormat();
    void encoding_data();
    void encoding();
    void windows1251Bytes();
    void progressBarFollowsTheRows();
    void excelStep_data();
    void excelStep();
    void excelThatDoesNotAnswer_data();
    void excelThatDoesNotAnswer();
    void unwritableFileIsReportedAndExcelNotStarted();
    void exportsTheViewsModelWhateverItHides();
    void noModelWritesNothing();

private:
    QString path(const QString &name) const { return m_dir.filePath(name); }
    QByteArray readFile(const QString &name) const;

    QTemporaryDir m_dir;
};

void tst_CsvExport::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY(QTextCodec::codecForName("CP1251"));
}

QByteArray tst_CsvExport::readFile(const QString &name) const
{
    QFile file(path(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void tst_CsvExport::fileFormat_data()
{
    QTest::addColumn<QStringList>("headers");
    QTest::addColumn<Rows>("rows");
    QTest::addColumn<int>("officeLang");
    QTest::addColumn<QString>("expected");

    const QStringList ab{"A", "B"};
    QTest::newRow("semicolon by default") << ab << Rows{{"1", "2"}} << 1 << "A;B;\n\"1\";\"2\"\n";
    QTest::newRow("comma for another language") << ab << Rows{{"1", "2"}} << 0 << "A,B,\n\"1\",\"2\"\n";
    QTest::newRow("rows in model order") << ab << Rows{{"1", "2"}, {"3", "4"}, {"5", "6"}} << 1
                                         << "A;B;\n\"1\";\"2\"\n\"3\";\"4\"\n\"5\";\"6\"\n";
    QTest::newRow("no rows: header only") << ab << Rows{} << 1 << "A;B;\n";
    QTest::newRow("line feed in header becomes a space") << QStringList{"Part\nno", "B"} << Rows{{"1", "2"}} << 1
                                                         << "Part no;B;\n\"1\";\"2\"\n";
    QTest::newRow("line feed stays inside a cell") << ab << Rows{{"x\ny", "2"}} << 1 << "A;B;\n\"x\ny\";\"2\"\n";
    QTest::newRow("quote in a cell is doubled") << ab << Rows{{"say \"hi\"", "2"}} << 1
                                                << "A;B;\n\"say \"\"hi\"\"\";\"2\"\n";
    QTest::newRow("empty cell is two quotes") << ab << Rows{{"", "2"}} << 1 << "A;B;\n\"\";\"2\"\n";
    QTest::newRow("empty cell without fill in other modes") << ab << Rows{{"1", ""}} << 0 << "A,B,\n\"1\",\"\"\n";
    QTest::newRow("header holding the separator stays one column") << QStringList{"x;y", "B"} << Rows{} << 1
                                                                    << "\"x;y\";B;\n";
    QTest::newRow("header holding a quote") << QStringList{"5\" pipe", "B"} << Rows{} << 0 << "\"5\"\" pipe\",B,\n";
    QTest::newRow("comma is data under semicolons") << ab << Rows{{"1,5", "2"}} << 1 << "A;B;\n\"1,5\";\"2\"\n";
}

void tst_CsvExport::fileFormat()
{
    QFETCH(QStringList, headers);
    QFETCH(Rows, rows);
    QFETCH(int, officeLang);
    QFETCH(QString, expected);

    QStandardItemModel model;
    fill(model, headers, rows);
    QTableView view;
    view.setModel(&model);
    PExportTableToCSV exporter(&view, path(QStringLiteral("format.csv")));
    exporter.setOfficeLang(static_cast<unsigned short>(officeLang));

    QVERIFY(exporter.exportToCSV(nullptr));
    QCOMPARE(QTextCodec::codecForName("CP1251")->toUnicode(readFile(QStringLiteral("format.csv"))), expected);
}

void tst_CsvExport::encoding_data()
{
    QTest::addColumn<QString>("codecName");
    QTest::addColumn<QByteArray>("fileCodec");

    QTest::newRow("CP1251 by default") << QString() << QByteArray("CP1251");
    QTest::newRow("UTF-8") << QStringLiteral("UTF-8") << QByteArray("UTF-8");
    QTest::newRow("KOI8-R") << QStringLiteral("KOI8-R") << QByteArray("KOI8-R");
    QTest::newRow("unknown name keeps the stream's codec") << QStringLiteral("no-such-codec")
                                                           << QTextCodec::codecForLocale()->name();
}

void tst_CsvExport::encoding()
{
    QFETCH(QString, codecName);
    QFETCH(QByteArray, fileCodec);

    QStandardItemModel model;
    fill(model, {QStringLiteral("Деталь"), QStringLiteral("Зона")}, {{QStringLiteral("Трещина"), "7"}});
    QTableView view;
    view.setModel(&model);
    PExportTableToCSV exporter(&view, path(QStringLiteral("encoding.csv")));
    exporter.setCodecFile(codecName);

    QVERIFY(exporter.exportToCSV());
    const QString expected = QStringLiteral("Деталь;Зона;\n\"Трещина\";\"7\"\n");
    QCOMPARE(readFile(QStringLiteral("encoding.csv")), QTextCodec::codecForName(fileCodec)->fromUnicode(expected));
}

// The default encoding's bytes themselves, not only the codec's view of them: Qt 6 has
// Windows-1251 only through its Qt 5 compatibility module.
void tst_CsvExport::windows1251Bytes()
{
    QStandardItemModel model;
    fill(model, {QStringLiteral("Ж"), QStringLiteral("№")}, {{QStringLiteral("ё"), "7"}});
    QTableView view;
    view.setModel(&model);
    PExportTableToCSV exporter(&view, path(QStringLiteral("cp1251.csv")));

    QVERIFY(exporter.exportToCSV());
    QCOMPARE(readFile(QStringLiteral("cp1251.csv")), QByteArray("\xc6;\xb9;\n\"\xb8\";\"7\"\n"));
}

void tst_CsvExport::progressBarFollowsTheRows()
{
    ProbeModel model;
    fill(model, {"A"}, {{"1"}, {"2"}, {"3"}});
    QTableView view;
    view.setModel(&model);
    QProgressBar bar;
    bar.setMaximum(100);
    bar.hide();
    QList<bool> visibleWhileRead;
    QList<int> maximumWhileRead;
    model.onRead = [&] {
        visibleWhileRead.append(bar.isVisible());
        maximumWhileRead.append(bar.maximum());
    };
    PExportTableToCSV exporter(&view, path(QStringLiteral("progress.csv")));

    QVERIFY(exporter.exportToCSV(&bar));
    QCOMPARE(visibleWhileRead, QList<bool>({true, true, true}));
    QCOMPARE(maximumWhileRead, QList<int>({3, 3, 3}));
    QCOMPARE(bar.value(), 2);
    QVERIFY(bar.isHidden());
}

void tst_CsvExport::excelStep_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("openFlag");
    QTest::addColumn<bool>("opened");

    QTest::newRow("Excel mode, flag set") << 0 << true << true;
    QTest::newRow("Excel mode, flag clear") << 0 << false << false;
    QTest::newRow("mode 1, flag set") << 1 << true << false;
    QTest::newRow("mode 2, flag set") << 2 << true << false;
}

void tst_CsvExport::excelStep()
{
    QFETCH(int, mode);
    QFETCH(bool, openFlag);
    QFETCH(bool, opened);

    AutomationFixture automation;
    QStandardItemModel model;
    fill(model, {"A"}, {{"1"}});
    QTableView view;
    view.setModel(&model);
    const QString file = path(QStringLiteral("excel.csv"));
    PExportTableToCSV exporter(&view, file);
    exporter.setOfficeCompabilityMode(static_cast<unsigned short>(mode));
    exporter.openExcelAutomatically(openFlag);

    QVERIFY(exporter.exportToCSV());

    const QStringList excelCalls{QStringLiteral("create Excel.Application"),
                                 QStringLiteral("call SetVisible(bool) true"),
                                 QStringLiteral("query Workbooks"),
                                 QStringLiteral("query Open(const QString&) ") + file};
    QCOMPARE(automation.calls(), opened ? excelCalls : QStringList());
    QCOMPARE(automation.openedFiles(), opened ? QStringList{file} : QStringList());
    QVERIFY(!automation.application()); // the exporter does not keep Excel
}

void tst_CsvExport::excelThatDoesNotAnswer_data()
{
    QTest::addColumn<int>("server");
    QTest::addColumn<QStringList>("calls");

    QTest::newRow("Excel does not start") << int(AutomationFixture::NoServer)
                                          << QStringList{"create Excel.Application"};
    QTest::newRow("Excel gives no workbooks") << int(AutomationFixture::EmptyServer)
                                              << QStringList{"create Excel.Application",
                                                             "call SetVisible(bool) true", "query Workbooks"};
}

void tst_CsvExport::excelThatDoesNotAnswer()
{
    QFETCH(int, server);
    QFETCH(QStringList, calls);

    AutomationFixture automation(static_cast<AutomationFixture::Server>(server));
    QStandardItemModel model;
    fill(model, {"A"}, {{"1"}});
    QTableView view;
    view.setModel(&model);
    PExportTableToCSV exporter(&view, path(QStringLiteral("noexcel.csv")));
    exporter.openExcelAutomatically(true);

    QVERIFY(exporter.exportToCSV());
    QCOMPARE(automation.calls(), calls);
    QCOMPARE(readFile(QStringLiteral("noexcel.csv")), QByteArray("A;\n\"1\"\n"));
}

void tst_CsvExport::unwritableFileIsReportedAndExcelNotStarted()
{
    AutomationFixture automation;
    QStandardItemModel model;
    fill(model, {"A"}, {{"1"}, {"2"}});
    QTableView view;
    view.setModel(&model);
    const QString file = path(QStringLiteral("no/such/folder/out.csv"));
    PExportTableToCSV exporter(&view, file);
    exporter.openExcelAutomatically(true);
    QProgressBar bar;

    QVERIFY(!exporter.exportToCSV(&bar));
    QVERIFY(!QFile::exists(file));
    QVERIFY(bar.isHidden());
    QCOMPARE(automation.calls(), QStringList());
}

void tst_CsvExport::exportsTheViewsModelWhateverItHides()
{
    QStandardItemModel model;
    fill(model, {"N", "Name"}, {{"1", "b"}, {"2", "c"}, {"3", "a"}});
    QSortFilterProxyModel sorted;
    sorted.setSourceModel(&model);
    sorted.sort(1, Qt::DescendingOrder);
    QTableView view;
    view.setModel(&sorted);
    view.setColumnHidden(0, true);
    view.setRowHidden(1, true);
    PExportTableToCSV exporter(&view, path(QStringLiteral("first.csv")));

    QVERIFY(exporter.exportToCSV());
    QCOMPARE(readFile(QStringLiteral("first.csv")), QByteArray("N;Name;\n\"2\";\"c\"\n\"1\";\"b\"\n\"3\";\"a\"\n"));

    // A second export writes the file anew from the current contents, to the new path.
    model.removeRows(0, 2);
    exporter.setCSVFileFullPathName(path(QStringLiteral("second.csv")));
    QCOMPARE(exporter.getCSVFilePathFullName(), path(QStringLiteral("second.csv")));
    QVERIFY(exporter.exportToCSV());
    QCOMPARE(readFile(QStringLiteral("second.csv")), QByteArray("N;Name;\n\"3\";\"a\"\n"));
}

void tst_CsvExport::noModelWritesNothing()
{
    QTableView view;
    PExportTableToCSV exporter(&view, path(QStringLiteral("nomodel.csv")));
    QVERIFY(!exporter.exportToCSV());
    QVERIFY(!QFile::exists(path(QStringLiteral("nomodel.csv"))));

    PExportTableToCSV withoutView(nullptr, path(QStringLiteral("noview.csv")));
    QVERIFY(!withoutView.exportToCSV());
}

QTEST_MAIN(tst_CsvExport)
#include "tst_csvexport.moc"
