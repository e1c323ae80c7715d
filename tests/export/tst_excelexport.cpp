#include "AutomationFixture.h"
#include "PExcelExport.h"
#include "PSqlNull.h"
#include "XlsxContent.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProgressBar>
#include <QStandardItemModel>
#include <QTableView>
#include <QTest>

#include <functional>

namespace {

// Rows "r1c1".. under the headers H1, H2, H3; the test may look around while a cell is read.
class TableModel : public QStandardItemModel
{
public:
    explicit TableModel(int rows)
    {
        setHorizontalHeaderLabels({"H1", "H2", "H3"});
        for (int r = 1; r <= rows; ++r) {
            QList<QStandardItem *> items;
            for (int c = 1; c <= 3; ++c)
                items.append(new QStandardItem(QStringLiteral("r%1c%2").arg(r).arg(c)));
            appendRow(items);
        }
    }

    std::function<void()> onRead;

    QVariant data(const QModelIndex &index, int role) const override
    {
        if (onRead && role == Qt::DisplayRole)
            onRead();
        return QStandardItemModel::data(index, role);
    }
};

const QVector<QString> header{"H1", "H2", "H3"};

QStringList cellCalls(int row, int column, const char *alignH, const char *alignV, const QString &value)
{
    return {QStringLiteral("query cells(int, int) %1 %2").arg(row).arg(column),
            QStringLiteral("set WrapText true"),
            QStringLiteral("set HorizontalAlignment ") + QLatin1String(alignH),
            QStringLiteral("set VerticalAlignment ") + QLatin1String(alignV),
            QStringLiteral("set Value ") + value};
}

} // namespace

class tst_ExcelExport : public QObject
{
    Q_OBJECT

private slots:
    void constructionStartsExcelWithANewWorkbook();
    void furtherWorkbookBecomesCurrent();
    void headerIsBoldWrappedAndCentred();
    void dataFillsTheRowsBelowAndShowsExcel();
    void progressBarFollowsTheRows();
    void modelWithoutRowsStillShowsExcel();
    void borders_data();
    void borders();
    void columnSizes();
    void pageOrientation_data();
    void pageOrientation();
    void deleteRowOrColumn_data();
    void deleteRowOrColumn();
    void excelThatDoesNotAnswer_data();
    void excelThatDoesNotAnswer();
    void workbookFileHoldsValuesAndFormats();
    void workbookIsWrittenOnceAfterTheLastFormatting_data();
    void workbookIsWrittenOnceAfterTheLastFormatting();
    void numbersBecomeNumberCells_data();
    void numbersBecomeNumberCells();

private:
    static const PExcelSheetData &sheetOf(const AutomationFixture &automation);
};

const PExcelSheetData &tst_ExcelExport::sheetOf(const AutomationFixture &automation)
{
    return *automation.application()->workbook(1)->sheet(1);
}

void tst_ExcelExport::constructionStartsExcelWithANewWorkbook()
{
    AutomationFixture automation;
    PExcelExport exporter;

    QCOMPARE(automation.calls(), QStringList({"create Excel.Application", "query Workbooks", "query Add()",
                                              "query Sheets", "query Item(1)", "call Select()"}));
    PExcelApplication *excel = automation.application();
    QVERIFY(excel);
    QVERIFY(!excel->isVisible());
    QCOMPARE(excel->workbookCount(), 1);
    QVERIFY(sheetOf(automation).isSelected());
    QVERIFY(sheetOf(automation).cells().isEmpty());
}

void tst_ExcelExport::furtherWorkbookBecomesCurrent()
{
    AutomationFixture automation;
    PExcelExport exporter;
    PExcelApplication *first = automation.application();
    exporter.initNewWorkBook();
    QCOMPARE(automation.serversStarted(), 2);
    QVERIFY(first); // the earlier one lives on

    exporter.exportTableHeader({"only"});
    QCOMPARE(sheetOf(automation).cell(1, 1)->value.toString(), QStringLiteral("only"));
    QVERIFY(first->workbook(1)->sheet(1)->cells().isEmpty());
}

void tst_ExcelExport::headerIsBoldWrappedAndCentred()
{
    AutomationFixture automation;
    PExcelExport exporter;
    automation.clearCalls();

    exporter.exportTableHeader({});
    QCOMPARE(automation.calls(), QStringList());

    exporter.exportTableHeader(header);
    QStringList firstCell = cellCalls(1, 1, "-4108", "-4108", "H1");
    firstCell.insert(1, QStringLiteral("query Font"));
    firstCell.insert(2, QStringLiteral("set Bold true"));
    QCOMPARE(automation.calls().mid(0, 7), firstCell);
    QCOMPARE(automation.calls().size(), 21);

    const PExcelSheetData &sheet = sheetOf(automation);
    QCOMPARE(sheet.cells().size(), 3);
    for (int c = 1; c <= 3; ++c) {
        const PExcelCell *cell = sheet.cell(1, c);
        QVERIFY(cell);
        QCOMPARE(cell->value, QVariant(header.at(c - 1)));
        QVERIFY(cell->bold);
        QVERIFY(cell->wrapText);
        QCOMPARE(cell->horizontalAlignment, int(PExcelExport::alignHCenter));
        QCOMPARE(cell->verticalAlignment, int(PExcelExport::alignVCenter));
    }
}

void tst_ExcelExport::dataFillsTheRowsBelowAndShowsExcel()
{
    AutomationFixture automation;
    TableModel model(2);
    QTableView view;
    view.setModel(&model);
    PExcelExport exporter;
    exporter.setTableView(&view);
    automation.clearCalls();

    exporter.exportTableData();

    QStringList expected;
    for (int r = 1; r <= 2; ++r) {
        for (int c = 1; c <= 3; ++c)
            expected += cellCalls(r + 1, c, "-4131", "-4160", QStringLiteral("r%1c%2").arg(r).arg(c));
    }
    expected += QStringLiteral("call SetVisible(bool) true");
    QCOMPARE(automation.calls(), expected);

    const PExcelSheetData &sheet = sheetOf(automation);
    QCOMPARE(sheet.cells().size(), 6);
    const PExcelCell *last = sheet.cell(3, 3);
    QVERIFY(last);
    QCOMPARE(last->value.toString(), QStringLiteral("r2c3"));
    QVERIFY(last->wrapText && !last->bold);
    QCOMPARE(last->horizontalAlignment, int(PExcelExport::alignLeft));
    QCOMPARE(last->verticalAlignment, int(PExcelExport::alignTop));
    QVERIFY(automation.application()->isVisible());
}

void tst_ExcelExport::progressBarFollowsTheRows()
{
    AutomationFixture automation;
    TableModel model(3);
    QTableView view;
    view.setModel(&model);
    QProgressBar bar;
    QList<bool> visibleWhileRead;
    QList<int> valueWhileRead;
    model.onRead = [&] {
        visibleWhileRead.append(bar.isVisible());
        valueWhileRead.append(bar.value());
    };
    PExcelExport exporter;
    exporter.setProgressBar(&bar);
    exporter.setTableView(&view);
    QCOMPARE(bar.maximum(), 3);

    exporter.exportTableData();

    QCOMPARE(visibleWhileRead, QVector<bool>(9, true).toList());
    // A fresh bar has no value (-1); the value follows the row of the cell written before.
    QCOMPARE(valueWhileRead, QList<int>({-1, 0, 0, 0, 1, 1, 1, 2, 2}));
    QVERIFY(bar.isHidden());
    QCOMPARE(bar.value(), 0);
}

void tst_ExcelExport::modelWithoutRowsStillShowsExcel()
{
    AutomationFixture automation;
    TableModel model(0);
    QTableView view;
    view.setModel(&model);
    PExcelExport exporter;
    exporter.exportTableHeader(header);
    exporter.setTableView(&view);
    exporter.setTableView(nullptr); // ignored
    exporter.exportTableData();

    QCOMPARE(sheetOf(automation).cells().size(), 3);
    QVERIFY(automation.application()->isVisible());
}

void tst_ExcelExport::borders_data()
{
    QTest::addColumn<QRect>("block"); // null: the header and data of the model
    QTest::addColumn<QString>("address");
    QTest::addColumn<QRect>("framed"); // columns x, rows y

    QTest::newRow("header and data") << QRect() << "$A$1 $C$3" << QRect(1, 1, 3, 3);
    QTest::newRow("given block") << QRect(2, 2, 2, 2) << "$B$2 $C$3" << QRect(2, 2, 2, 2);
    QTest::newRow("one cell") << QRect(3, 1, 1, 1) << "$C$1 $C$1" << QRect(3, 1, 1, 1);
}

void tst_ExcelExport::borders()
{
    QFETCH(QRect, block);
    QFETCH(QString, address);
    QFETCH(QRect, framed);

    AutomationFixture automation;
    TableModel model(2);
    QTableView view;
    view.setModel(&model);
    PExcelExport exporter;
    exporter.setTableView(&view);
    automation.clearCalls();

    if (block.isNull())
        exporter.createBorder();
    else
        exporter.createBorder(block.top(), block.left(), block.bottom(), block.right());

    const QRect target = block.isNull() ? QRect(1, 1, 3, 3) : block;
    QCOMPARE(automation.calls(),
             QStringList({QStringLiteral("query cells(int, int) %1 %2").arg(target.top()).arg(target.left()),
                          QStringLiteral("query cells(int, int) %1 %2").arg(target.bottom()).arg(target.right()),
                          "call Address()", "call Address()",
                          "query Range(const QVariant&, const QVariant&) " + address,
                          "query Borders", "set LineStyle 1"}));
    const PExcelSheetData &sheet = sheetOf(automation);
    for (int row = 1; row <= 4; ++row) {
        for (int column = 1; column <= 4; ++column) {
            const PExcelCell *cell = sheet.cell(row, column);
            const bool inside = framed.contains(column, row);
            QCOMPARE(cell != nullptr, inside);
            if (inside)
                QVERIFY(cell->borderTop && cell->borderBottom && cell->borderLeft && cell->borderRight);
        }
    }
}

void tst_ExcelExport::columnSizes()
{
    AutomationFixture automation;
    PExcelExport exporter;
    automation.clearCalls();

    exporter.setColumnSizes({{"B:C", 25}, {"A:A", 10}});

    QCOMPARE(automation.calls(), QStringList({"query Range(const QVariant&) A:A", "query Rows", "set ColumnWidth 10",
                                              "query Range(const QVariant&) B:C", "query Rows",
                                              "set ColumnWidth 25"}));
    const PExcelSheetData &sheet = sheetOf(automation);
    QCOMPARE(sheet.columnWidth(1), 10.0);
    QCOMPARE(sheet.columnWidth(2), 25.0);
    QCOMPARE(sheet.columnWidth(3), 25.0);
    QVERIFY(sheet.columnWidth(4) < 0);
}

void tst_ExcelExport::pageOrientation_data()
{
    QTest::addColumn<int>("orientation");
    QTest::addColumn<QStringList>("calls");
    QTest::addColumn<bool>("landscape");

    QTest::newRow("portrait") << int(PExcelExport::portrait)
                              << QStringList{"query PageSetup", "set Orientation xlPortrait"} << false;
    QTest::newRow("landscape") << int(PExcelExport::landscape)
                               << QStringList{"query PageSetup", "set Orientation xlLandscape"} << true;
    QTest::newRow("other value changes nothing") << 7 << QStringList() << true;
}

void tst_ExcelExport::pageOrientation()
{
    QFETCH(int, orientation);
    QFETCH(QStringList, calls);
    QFETCH(bool, landscape);

    AutomationFixture automation;
    PExcelExport exporter;
    exporter.pageOrientation(PExcelExport::landscape);
    automation.clearCalls();

    exporter.pageOrientation(static_cast<PExcelExport::pOrientation>(orientation));

    QCOMPARE(automation.calls(), calls);
    QCOMPARE(sheetOf(automation).isLandscape(), landscape);
}

void tst_ExcelExport::deleteRowOrColumn_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QStringList>("firstColumn");
    QTest::addColumn<QStringList>("firstRow");

    QTest::newRow("row") << "2:2" << QStringList{"H1", "r2c1", ""} << QStringList{"H1", "H2", "H3"};
    QTest::newRow("column") << "B:B" << QStringList{"H1", "r1c1", "r2c1"} << QStringList{"H1", "H3", ""};
    QTest::newRow("two columns") << "A:B" << QStringList{"H3", "r1c3", "r2c3"} << QStringList{"H3", "", ""};
}

void tst_ExcelExport::deleteRowOrColumn()
{
    QFETCH(QString, address);
    QFETCH(QStringList, firstColumn);
    QFETCH(QStringList, firstRow);

    AutomationFixture automation;
    TableModel model(2);
    QTableView view;
    view.setModel(&model);
    PExcelExport exporter;
    exporter.setTableView(&view);
    exporter.exportTableHeader(header);
    exporter.exportTableData();
    automation.clearCalls();

    exporter.deleteRowOrColumn(address);

    QCOMPARE(automation.calls(), QStringList({"query Range(const QVariant&) " + address, "call Select()",
                                              "call Delete"}));
    const PExcelSheetData &sheet = sheetOf(automation);
    const auto text = [&sheet](int row, int column) {
        const PExcelCell *cell = sheet.cell(row, column);
        return cell ? cell->value.toString() : QString();
    };
    QCOMPARE(QStringList({text(1, 1), text(2, 1), text(3, 1)}), firstColumn);
    QCOMPARE(QStringList({text(1, 1), text(1, 2), text(1, 3)}), firstRow);
}

void tst_ExcelExport::excelThatDoesNotAnswer_data()
{
    QTest::addColumn<int>("server");
    QTest::addColumn<QStringList>("calls");

    QTest::newRow("Excel does not start") << int(AutomationFixture::NoServer)
                                          << QStringList{"create Excel.Application"};
    QTest::newRow("Excel gives no workbooks") << int(AutomationFixture::EmptyServer)
                                              << QStringList{"create Excel.Application", "query Workbooks",
                                                             "call SetVisible(bool) true"};
}

void tst_ExcelExport::excelThatDoesNotAnswer()
{
    QFETCH(int, server);
    QFETCH(QStringList, calls);

    AutomationFixture automation(static_cast<AutomationFixture::Server>(server));
    TableModel model(2);
    QTableView view;
    view.setModel(&model);
    QProgressBar bar;
    {
        PExcelExport exporter;
        exporter.setProgressBar(&bar);
        exporter.setTableView(&view);
        exporter.exportTableHeader(header);
        exporter.exportTableData();
        exporter.createBorder();
        exporter.setColumnSizes({{"A:A", 10}});
        exporter.pageOrientation(PExcelExport::landscape);
        exporter.deleteRowOrColumn(QStringLiteral("1:1"));
        exporter.setValue(nullptr, QStringLiteral("x"));
        exporter.setColumnWidth(nullptr, 3);
    }
    QCOMPARE(automation.calls(), calls);
    QVERIFY(bar.isHidden());
    QCOMPARE(automation.openedFiles(), QStringList());
}

void tst_ExcelExport::workbookFileHoldsValuesAndFormats()
{
    AutomationFixture automation;
    TableModel model(2);
    QTableView view;
    view.setModel(&model);
    {
        PExcelExport exporter;
        exporter.exportTableHeader(header);
        exporter.setTableView(&view);
        exporter.exportTableData();
        exporter.createBorder();
        exporter.setColumnSizes({{"A:A", 12}, {"B:C", 30}});
        exporter.pageOrientation(PExcelExport::landscape);
        QCOMPARE(automation.openedFiles(), QStringList()); // not before the export is done
    }
    QCOMPARE(automation.openedFiles().size(), 1);
    const QFileInfo file(automation.openedFiles().first());
    QCOMPARE(file.absolutePath(), QFileInfo(automation.outputDirectory()).absoluteFilePath());
    QCOMPARE(file.suffix(), QStringLiteral("xlsx"));

    const XlsxContent xlsx(file.absoluteFilePath());
    QVERIFY2(xlsx.isValid(), qPrintable(xlsx.error()));
    QCOMPARE(xlsx.cellRefs(), QStringList({"A1", "A2", "A3", "B1", "B2", "B3", "C1", "C2", "C3"}));
    const QStringList allSides{"left", "right", "top", "bottom"};
    for (const QString &ref : xlsx.cellRefs()) {
        const int row = ref.mid(1).toInt();
        const int column = ref.at(0).unicode() - 'A' + 1;
        const XlsxContent::Style style = xlsx.style(ref);
        QCOMPARE(xlsx.text(ref), row == 1 ? header.at(column - 1) : QStringLiteral("r%1c%2").arg(row - 1).arg(column));
        QCOMPARE(style.bold, row == 1);
        QVERIFY(style.wrap);
        QCOMPARE(style.horizontal, row == 1 ? QStringLiteral("center") : QStringLiteral("left"));
        QCOMPARE(style.vertical, row == 1 ? QStringLiteral("center") : QStringLiteral("top"));
        QCOMPARE(style.borders, allSides);
    }
    // The file stores widths with the spreadsheet's padding added.
    QVERIFY2(xlsx.columnWidth(1) > 12 && xlsx.columnWidth(1) < 13, qPrintable(QString::number(xlsx.columnWidth(1))));
    QVERIFY(xlsx.columnWidth(2) > 30 && xlsx.columnWidth(2) < 31);
    QCOMPARE(xlsx.columnWidth(3), xlsx.columnWidth(2));
    QCOMPARE(xlsx.columnWidth(4), -1.0);
    QCOMPARE(xlsx.orientation(), QStringLiteral("landscape"));
}

void tst_ExcelExport::workbookIsWrittenOnceAfterTheLastFormatting_data()
{
    QTest::addColumn<bool>("explicitFinish");
    QTest::newRow("when the exporter ends") << false;
    QTest::newRow("at finish()") << true;
}

void tst_ExcelExport::workbookIsWrittenOnceAfterTheLastFormatting()
{
    QFETCH(bool, explicitFinish);
    AutomationFixture automation;
    TableModel model(1);
    QTableView view;
    view.setModel(&model);
    {
        PExcelExport exporter;
        exporter.setTableView(&view);
        exporter.exportTableData();
        QCoreApplication::sendPostedEvents();
        QCOMPARE(automation.openedFiles(), QStringList()); // Excel is visible, the workbook not yet handed over
        exporter.pageOrientation(PExcelExport::landscape);
        if (explicitFinish) {
            exporter.finish();
            QCOMPARE(automation.openedFiles().size(), 1);
            exporter.createBorder(); // too late: does nothing, writes nothing
            exporter.pageOrientation(PExcelExport::portrait);
        }
    }
    QCOMPARE(automation.openedFiles().size(), 1);
    QCOMPARE(QDir(automation.outputDirectory()).entryList(QDir::Files).size(), 1);
    const XlsxContent xlsx(automation.openedFiles().first());
    QVERIFY2(xlsx.isValid(), qPrintable(xlsx.error()));
    QCOMPARE(xlsx.text(QStringLiteral("C2")), QStringLiteral("r1c3"));
    QCOMPARE(xlsx.orientation(), QStringLiteral("landscape"));
    QVERIFY(xlsx.style(QStringLiteral("A1")).borders.isEmpty());
}

void tst_ExcelExport::numbersBecomeNumberCells_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QVariant>("written");
    QTest::newRow("int") << QVariant(42) << QVariant(42);
    QTest::newRow("double") << QVariant(-2.5) << QVariant(-2.5);
    QTest::newRow("long long") << QVariant(Q_INT64_C(9007199254740992)) << QVariant(9007199254740992.0);
    QTest::newRow("long long beyond a double's digits")
        << QVariant(Q_INT64_C(9007199254740993)) << QVariant(QStringLiteral("9007199254740993"));
    QTest::newRow("text with leading zeros") << QVariant(QStringLiteral("007")) << QVariant(QStringLiteral("007"));
    QTest::newRow("null int") << PSqlNull::typed(QMetaType::Int) << QVariant(QString());
}

void tst_ExcelExport::numbersBecomeNumberCells()
{
    QFETCH(QVariant, value);
    QFETCH(QVariant, written);
    AutomationFixture automation;
    QStandardItemModel model(1, 1);
    model.setData(model.index(0, 0), value, Qt::DisplayRole);
    PExcelExport exporter;
    QTableView view;
    view.setModel(&model);
    exporter.setTableView(&view);
    exporter.exportTableData();

    const QVariant cell = sheetOf(automation).cell(2, 1)->value;
    QCOMPARE(cell.userType(), written.userType());
    QCOMPARE(cell, written);
}

QTEST_MAIN(tst_ExcelExport)
#include "tst_excelexport.moc"
