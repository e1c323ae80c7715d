#include "AutomationFixture.h"
#include "PAutomationMember.h"
#include "PExcelApplication.h"
#include "PExcelRangeAddress.h"
#include "PLog.h"
#include "XlsxContent.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

// The in-memory spreadsheet model behind the Excel automation: addresses,
// member signatures, editing and when workbooks reach the desktop.
class tst_SpreadsheetModel : public QObject
{
    Q_OBJECT

private slots:
    void rangeAddress_data();
    void rangeAddress();
    void columnNames_data();
    void columnNames();
    void memberSignature_data();
    void memberSignature();
    void deletingABlockClosesItsShorterSide_data();
    void deletingABlockClosesItsShorterSide();
    void rejectedValuesChangeNothing();
    void wholeColumnsAndHugeBlocksReachTheUsedCells();
    void unknownMembersAreLoggedOnce();
    void openedFileIsShownAsItIsOnceVisible();
    void workbookChangedAfterShowingIsNotWrittenAgain();
    void setPropertyReachesTheAutomationObject();
    void writerKeepsNumbersAndCutsOverlongTexts();

private:
    static PAutomationObject *firstSheet(PExcelApplication &excel);
};

PAutomationObject *tst_SpreadsheetModel::firstSheet(PExcelApplication &excel)
{
    return excel.querySubObject("Workbooks")->querySubObject("Add()")->querySubObject("Sheets")
        ->querySubObject("Item(1)");
}

void tst_SpreadsheetModel::rangeAddress_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("address"); // empty: invalid
    QTest::addColumn<QRect>("block");     // columns x, rows y

    QTest::newRow("cell") << "B2" << "$B$2" << QRect(2, 2, 1, 1);
    QTest::newRow("absolute lower case block") << "$a$1:c3" << "$A$1:$C$3" << QRect(1, 1, 3, 3);
    QTest::newRow("reversed corners") << "C3:A1" << "$A$1:$C$3" << QRect(1, 1, 3, 3);
    QTest::newRow("columns") << "A:C" << "$A:$C" << QRect(1, 1, 3, PExcelRangeAddress::maxRows);
    QTest::newRow("rows") << "2:4" << "$2:$4" << QRect(1, 2, PExcelRangeAddress::maxColumns, 3);
    QTest::newRow("last cell") << "XFD1048576" << "$XFD$1048576" << QRect(16384, 1048576, 1, 1);
    QTest::newRow("column past the sheet") << "XFE1" << "" << QRect();
    QTest::newRow("row 0") << "A0" << "" << QRect();
    QTest::newRow("row past the sheet") << "A1048577" << "" << QRect();
    QTest::newRow("empty") << "" << "" << QRect();
    QTest::newRow("mixed kinds") << "A1:B" << "" << QRect();
    QTest::newRow("three parts") << "A1:B2:C3" << "" << QRect();
    QTest::newRow("garbage") << "A1;DROP" << "" << QRect();
}

void tst_SpreadsheetModel::rangeAddress()
{
    QFETCH(QString, text);
    QFETCH(QString, address);
    QFETCH(QRect, block);

    const PExcelRangeAddress parsed = PExcelRangeAddress::parse(text);
    QCOMPARE(parsed.isValid(), !address.isEmpty());
    QCOMPARE(parsed.address(), address);
    if (parsed.isValid()) {
        QCOMPARE(QRect(QPoint(parsed.left(), parsed.top()), QPoint(parsed.right(), parsed.bottom())), block);
        QCOMPARE(PExcelRangeAddress::parse(parsed.address()).address(), address);
    }
}

void tst_SpreadsheetModel::columnNames_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("name");

    QTest::newRow("first") << 1 << "A";
    QTest::newRow("last single letter") << 26 << "Z";
    QTest::newRow("first two letters") << 27 << "AA";
    QTest::newRow("AZ") << 52 << "AZ";
    QTest::newRow("BA") << 53 << "BA";
    QTest::newRow("last two letters") << 702 << "ZZ";
    QTest::newRow("first three letters") << 703 << "AAA";
    QTest::newRow("last column") << 16384 << "XFD";
}

void tst_SpreadsheetModel::columnNames()
{
    QFETCH(int, column);
    QFETCH(QString, name);

    QCOMPARE(PExcelRangeAddress::columnName(column), name);
    QCOMPARE(PExcelRangeAddress::columnNumber(name), column);
}

void tst_SpreadsheetModel::memberSignature_data()
{
    QTest::addColumn<QString>("signature");
    QTest::addColumn<QVariantList>("passed");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QVariantList>("arguments");

    QTest::newRow("typed") << "cells(int, int)" << QVariantList{2, 3} << "cells" << QVariantList{2, 3};
    QTest::newRow("literal") << "Item(1)" << QVariantList{} << "Item" << QVariantList{1};
    QTest::newRow("reference type") << "Open(const QString&)" << QVariantList{"a.csv"} << "Open"
                                    << QVariantList{"a.csv"};
    QTest::newRow("literal and type") << "Mixed(2, int)" << QVariantList{5} << "Mixed" << QVariantList{2, 5};
    QTest::newRow("quoted literal") << "Range(\"A:A\")" << QVariantList{} << "Range" << QVariantList{"A:A"};
    QTest::newRow("bool literal") << "SetVisible(true)" << QVariantList{} << "SetVisible" << QVariantList{true};
    QTest::newRow("no parentheses") << "Delete" << QVariantList{} << "Delete" << QVariantList{};
    QTest::newRow("empty parentheses") << " Select() " << QVariantList{} << "Select" << QVariantList{};
}

void tst_SpreadsheetModel::memberSignature()
{
    QFETCH(QString, signature);
    QFETCH(QVariantList, passed);
    QFETCH(QString, name);
    QFETCH(QVariantList, arguments);

    const PAutomationMember member(signature, passed);
    QCOMPARE(member.name(), name);
    QVERIFY(member.is(name.toUpper().toLatin1().constData(), arguments.size()));
    QCOMPARE(member.argumentCount(), arguments.size());
    for (int i = 0; i < arguments.size(); ++i)
        QCOMPARE(member.argument(i).toString(), arguments.at(i).toString());
}

void tst_SpreadsheetModel::deletingABlockClosesItsShorterSide_data()
{
    QTest::addColumn<QString>("block");
    QTest::addColumn<QVariant>("shift");
    QTest::addColumn<QStringList>("rows"); // after deletion, rows 1..3 of A..C

    QTest::newRow("wide block: cells below move up") << "B1:C1" << QVariant()
                                                     << QStringList{"a1 b2 c2", "a2 b3 c3", "a3 - -"};
    QTest::newRow("tall block: cells right move left") << "A2:A3" << QVariant()
                                                       << QStringList{"a1 b1 c1", "b2 c2 -", "b3 c3 -"};
    QTest::newRow("wide block told to move left") << "A1:B1" << QVariant(-4159)
                                                  << QStringList{"c1 - -", "a2 b2 c2", "a3 b3 c3"};
    QTest::newRow("unknown direction changes nothing") << "A1:B1" << QVariant(5)
                                                       << QStringList{"a1 b1 c1", "a2 b2 c2", "a3 b3 c3"};
}

void tst_SpreadsheetModel::deletingABlockClosesItsShorterSide()
{
    QFETCH(QString, block);
    QFETCH(QVariant, shift);
    QFETCH(QStringList, rows);

    AutomationFixture automation;
    PExcelApplication excel;
    PAutomationObject *sheet = firstSheet(excel);
    for (int row = 1; row <= 3; ++row) {
        for (int column = 1; column <= 3; ++column)
            sheet->querySubObject("cells(int, int)", row, column)
                ->setPropertyValue("Value", QStringLiteral("%1%2").arg(QChar('a' + column - 1)).arg(row));
    }
    PAutomationObject *range = sheet->querySubObject("Range(const QVariant&)", block);
    if (shift.isValid())
        range->dynamicCall("Delete(int)", shift);
    else
        range->dynamicCall("Delete");

    const PExcelSheetData &data = *excel.workbook(1)->sheet(1);
    QStringList actual;
    for (int row = 1; row <= 3; ++row) {
        QStringList texts;
        for (int column = 1; column <= 3; ++column)
            texts.append(data.cell(row, column) ? data.cell(row, column)->value.toString() : QStringLiteral("-"));
        actual.append(texts.join(QLatin1Char(' ')));
    }
    QCOMPARE(actual, rows);
}

void tst_SpreadsheetModel::rejectedValuesChangeNothing()
{
    AutomationFixture automation;
    PExcelApplication excel;
    PAutomationObject *sheet = firstSheet(excel);
    PAutomationObject *cell = sheet->querySubObject("cells(int, int)", 1, 1);
    cell->setPropertyValue("HorizontalAlignment", -4160); // a vertical constant
    cell->setPropertyValue("VerticalAlignment", QStringLiteral("middle"));
    cell->querySubObject("Borders")->setPropertyValue("LineStyle", 99);
    cell->setPropertyValue("ColumnWidth", 300);
    sheet->querySubObject("PageSetup")->setPropertyValue("Orientation", QStringLiteral("sideways"));

    const PExcelSheetData &data = *excel.workbook(1)->sheet(1);
    QVERIFY(data.cells().isEmpty());
    QVERIFY(data.columnWidths().isEmpty());
    QVERIFY(!data.isLandscape());
    QVERIFY(!sheet->querySubObject("cells(int, int)", 0, 1));
    QVERIFY(!sheet->querySubObject("Range(const QVariant&)", QStringLiteral("nowhere")));
}

void tst_SpreadsheetModel::wholeColumnsAndHugeBlocksReachTheUsedCells()
{
    AutomationFixture automation;
    PExcelApplication excel;
    PAutomationObject *sheet = firstSheet(excel);
    sheet->querySubObject("cells(int, int)", 3, 2)->setPropertyValue("Value", QStringLiteral("x"));
    sheet->querySubObject("Range(const QVariant&)", QStringLiteral("A:A"))->setPropertyValue("WrapText", true);
    sheet->querySubObject("Range(const QVariant&)", QStringLiteral("A1:XFD1048576"))
        ->querySubObject("Font")->setPropertyValue("Bold", true);

    const PExcelSheetData &data = *excel.workbook(1)->sheet(1);
    QCOMPARE(data.cells().size(), 6); // A1:B3
    QVERIFY(data.cell(3, 1)->wrapText && !data.cell(3, 2)->wrapText);
    QVERIFY(data.cell(1, 2)->bold && data.cell(3, 2)->bold);
}

void tst_SpreadsheetModel::unknownMembersAreLoggedOnce()
{
    QTemporaryDir dir;
    const QString logFile = dir.filePath(QStringLiteral("model.log"));
    PLogger *logger = PLogger::ensureInstance();
    logger->addDestination(logFile);
    logger->setLoggingLevel(PLogger::TraceLevel);

    AutomationFixture automation;
    PExcelApplication excel;
    QVERIFY(!excel.querySubObject("Charts"));
    QVERIFY(!excel.querySubObject("Charts"));
    QVERIFY(!excel.dynamicCall("Quit()").isValid());
    excel.setPropertyValue("DisplayAlerts", false);
    excel.setPropertyValue("DisplayAlerts", false);
    excel.setPropertyValue("Visible", true);
    QVERIFY(excel.isVisible());

    QFile file(logFile);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString log = QString::fromUtf8(file.readAll());
    QCOMPARE(log.count(QStringLiteral("Charts")), 1);
    QCOMPARE(log.count(QStringLiteral("Quit()")), 1);
    QCOMPARE(log.count(QStringLiteral("DisplayAlerts")), 1);
    QVERIFY(!log.contains(QStringLiteral("Visible")));
}

void tst_SpreadsheetModel::openedFileIsShownAsItIsOnceVisible()
{
    AutomationFixture automation;
    QTemporaryDir dir;
    const QString csv = dir.filePath(QStringLiteral("t.csv"));
    QFile file(csv);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();

    PExcelApplication excel;
    PAutomationObject *workbooks = excel.querySubObject("Workbooks");
    QVERIFY(!workbooks->querySubObject("Open(const QString&)", dir.filePath(QStringLiteral("missing.csv"))));
    QVERIFY(workbooks->querySubObject("Open(const QString&)", csv));
    QCOMPARE(workbooks->dynamicCall("Count").toInt(), 1);
    excel.showWorkbooks();
    QCOMPARE(automation.openedFiles(), QStringList()); // hidden so far

    excel.dynamicCall("SetVisible(bool)", true);
    QCoreApplication::sendPostedEvents();
    QCOMPARE(automation.openedFiles(), QStringList()); // not before it is finished
    excel.showWorkbooks();
    QCOMPARE(automation.openedFiles(), QStringList{csv});
    QCOMPARE(QDir(automation.outputDirectory()).entryList(QDir::Files), QStringList());
}

void tst_SpreadsheetModel::workbookChangedAfterShowingIsNotWrittenAgain()
{
    AutomationFixture automation;
    {
        PExcelApplication excel;
        PAutomationObject *sheet = firstSheet(excel);
        sheet->querySubObject("cells(int, int)", 1, 1)->setPropertyValue("Value", QStringLiteral("first"));
        excel.setVisible(true);
        excel.showWorkbooks();
        QCOMPARE(automation.openedFiles().size(), 1);
        // The user may have the file open by now: it is neither overwritten nor opened again.
        sheet->querySubObject("cells(int, int)", 1, 1)->setPropertyValue("Value", QStringLiteral("second"));
        excel.showWorkbooks();
    }
    const QStringList opened = automation.openedFiles();
    QCOMPARE(opened.size(), 1);
    QCOMPARE(XlsxContent(opened.first()).text(QStringLiteral("A1")), QStringLiteral("first"));
    QCOMPARE(QDir(automation.outputDirectory()).entryList(QDir::Files).size(), 1);
}

void tst_SpreadsheetModel::setPropertyReachesTheAutomationObject()
{
    AutomationFixture automation;
    PExcelApplication excel;
    PAutomationObject *sheet = firstSheet(excel);
    PAutomationObject *cell = sheet->querySubObject("cells(int, int)", 2, 3);
    const PExcelSheetData &data = *excel.workbook(1)->sheet(1);
    const auto value = [&data] { return data.cell(2, 3) ? data.cell(2, 3)->value : QVariant(); };

    cell->setProperty("Value", 42);
    QCOMPARE(value(), QVariant(42));
    QVERIFY(!cell->property("Value").isValid()); // not kept as a dynamic property
    sheet->querySubObject("cells(int, int)", 2, 3)->setPropertyValue("Value", QStringLiteral("other"));
    cell->setProperty("Value", 42); // the same value again still arrives
    QCOMPARE(value(), QVariant(42));
    cell->querySubObject("Font")->setProperty("Bold", true);
    QVERIFY(data.cell(2, 3)->bold);
    QVERIFY(cell->dynamicPropertyNames().isEmpty());
}

void tst_SpreadsheetModel::writerKeepsNumbersAndCutsOverlongTexts()
{
    AutomationFixture automation;
    {
        PExcelApplication excel;
        PAutomationObject *sheet = firstSheet(excel);
        sheet->querySubObject("Range(const QVariant&)", QStringLiteral("A1:B1"))->setPropertyValue("Value", 42);
        sheet->querySubObject("cells(int, int)", 2, 1)->setPropertyValue("Value", QString(40000, QLatin1Char('x')));
        sheet->querySubObject("cells(int, int)", 3, 1)->setPropertyValue("Value", QStringLiteral("007"));
        excel.setVisible(true);
    }
    QCOMPARE(automation.openedFiles().size(), 1);
    const XlsxContent xlsx(automation.openedFiles().first());
    QVERIFY2(xlsx.isValid(), qPrintable(xlsx.error()));
    QCOMPARE(xlsx.text(QStringLiteral("A1")), QStringLiteral("42"));
    QCOMPARE(xlsx.text(QStringLiteral("B1")), QStringLiteral("42"));
    QCOMPARE(xlsx.text(QStringLiteral("A2")).size(), 32767);
    QCOMPARE(xlsx.text(QStringLiteral("A3")), QStringLiteral("007"));
}

QTEST_MAIN(tst_SpreadsheetModel)
#include "tst_spreadsheetmodel.moc"
