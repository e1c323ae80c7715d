#include "PExcelExport.h"

#include "PAutomationFactory.h"
#include "PAutomationObject.h"
#include "PLog.h"
#include "PSqlFieldType.h"

#include <QLocale>
#include <QProgressBar>
#include <QSqlField>
#include <QSqlQueryModel>
#include <QSqlRecord>
#include <QStringList>
#include <QTableView>

PExcelExport::PExcelExport()
    : QObject(nullptr)
{
    initNewWorkBook();
}

PExcelExport::~PExcelExport()
{
    finish();
}

void PExcelExport::finish()
{
    // Releasing the application hands its visible workbook to the user.
    delete m_excel;
    m_excel = m_workbooks = m_workbook = m_sheets = m_sheet = nullptr;
}

void PExcelExport::initNewWorkBook()
{
    m_excel = PAutomationFactory::create(QStringLiteral("Excel.Application"), this);
    m_workbooks = subObject(m_excel, "Workbooks");
    m_workbook = subObject(m_workbooks, "Add()");
    m_sheets = subObject(m_workbook, "Sheets");
    m_sheet = subObject(m_sheets, "Item(1)");
    if (m_sheet)
        m_sheet->dynamicCall("Select()");
}

void PExcelExport::setProgressBar(QProgressBar *progressBar)
{
    m_progressBar = progressBar;
}

void PExcelExport::setTableView(QTableView *tableView)
{
    if (!tableView)
        return;
    m_tableView = tableView;
    m_queryModelIsSource = false;
    takeCounts(tableView->model());
}

void PExcelExport::setQueryModel(QSqlQueryModel *queryModel)
{
    if (!queryModel)
        return;
    m_queryModel = queryModel;
    m_queryModelIsSource = true;
    takeCounts(queryModel);
}

void PExcelExport::exportTableHeader(const QVector<QString> &header)
{
    if (!hasSheet("header"))
        return;
    for (int i = 1; i <= header.size(); ++i) {
        PAutomationObject *headerCell = cell(1, i);
        if (!headerCell)
            continue;
        if (PAutomationObject *font = subObject(headerCell, "Font"))
            font->setPropertyValue("Bold", true);
        setWrapText(headerCell, true);
        setHAlignment(headerCell, alignHCenter);
        setVAlignment(headerCell, alignVCenter);
        setValue(headerCell, QVariant(header.at(i - 1)));
    }
}

void PExcelExport::exportTableData()
{
    const QAbstractItemModel *model = sourceModel();
    if (!model && m_rowCount > 0)
        PLOG_WARN << "Excel export: the table model is gone; no cells are written";
    if (m_progressBar)
        m_progressBar->setVisible(true);
    if (model && hasSheet("data")) {
        for (int row = 0; row < m_rowCount; ++row)
            exportRow(*model, row);
    }
    if (m_progressBar) {
        m_progressBar->hide();
        m_progressBar->setValue(0);
    }
    if (m_excel)
        m_excel->dynamicCall("SetVisible(bool)", true);
}

void PExcelExport::createBorder()
{
    createBorder(1, 1, m_rowCount + 1, m_columnCount);
}

void PExcelExport::createBorder(int firstRow, int firstColumn, int lastRow, int lastColumn)
{
    if (!hasSheet("borders"))
        return;
    PAutomationObject *first = cell(firstRow, firstColumn);
    PAutomationObject *last = cell(lastRow, lastColumn);
    if (!first || !last)
        return;
    const QVariant lastAddress = last->dynamicCall("Address()");
    const QVariant firstAddress = first->dynamicCall("Address()");
    PAutomationObject *block = subObject(m_sheet, "Range(const QVariant&, const QVariant&)",
                                         firstAddress, lastAddress);
    if (PAutomationObject *borders = subObject(block, "Borders"))
        borders->setPropertyValue("LineStyle", 1);
}

void PExcelExport::setColumnSizes(const QMap<QString, int> &sizes)
{
    if (!hasSheet("column widths"))
        return;
    for (auto it = sizes.cbegin(); it != sizes.cend(); ++it) {
        if (PAutomationObject *rows = subObject(range(it.key()), "Rows"))
            setColumnWidth(rows, it.value());
    }
}

void PExcelExport::setColumnWidth(PAutomationObject *range, int width)
{
    if (range)
        range->setPropertyValue("ColumnWidth", width);
}

void PExcelExport::setValue(PAutomationObject *range, const QVariant &value)
{
    if (range)
        range->setPropertyValue("Value", value);
}

void PExcelExport::setWrapText(PAutomationObject *range, bool wrap)
{
    if (range)
        range->setPropertyValue("WrapText", wrap);
}

void PExcelExport::setHAlignment(PAutomationObject *range, alignH alignment)
{
    if (range)
        range->setPropertyValue("HorizontalAlignment", static_cast<int>(alignment));
}

void PExcelExport::setVAlignment(PAutomationObject *range, alignV alignment)
{
    if (range)
        range->setPropertyValue("VerticalAlignment", static_cast<int>(alignment));
}

void PExcelExport::pageOrientation(pOrientation orientation)
{
    if (orientation != portrait && orientation != landscape) {
        PLOG_WARN << "Excel export: unknown page orientation" << static_cast<int>(orientation);
        return;
    }
    if (!hasSheet("page orientation"))
        return;
    if (PAutomationObject *pageSetup = subObject(m_sheet, "PageSetup"))
        pageSetup->setPropertyValue("Orientation", orientation == portrait ? QStringLiteral("xlPortrait")
                                                                             : QStringLiteral("xlLandscape"));
}

void PExcelExport::deleteRowOrColumn(const QString &address)
{
    if (!hasSheet("delete"))
        return;
    if (PAutomationObject *block = range(address)) {
        block->dynamicCall("Select()");
        block->dynamicCall("Delete");
    }
}

PAutomationObject *PExcelExport::subObject(PAutomationObject *owner, const char *member,
                                           const QVariant &first, const QVariant &second)
{
    if (!owner)
        return nullptr;
    PAutomationObject *object = owner->querySubObject(member, first, second);
    if (!object) {
        QStringList arguments;
        for (const QVariant &argument : {first, second}) {
            if (argument.isValid())
                arguments.append(argument.toString());
        }
        PLOG_WARN << "Excel export: Excel gave no object for" << member << arguments.join(QLatin1Char(' '));
    }
    return object;
}

PAutomationObject *PExcelExport::cell(int row, int column) const
{
    return subObject(m_sheet, "cells(int, int)", row, column);
}

PAutomationObject *PExcelExport::range(const QVariant &address) const
{
    return subObject(m_sheet, "Range(const QVariant&)", address);
}

bool PExcelExport::hasSheet(const char *operation) const
{
    if (!m_sheet)
        PLOG_WARN << "Excel export: no Excel sheet; skipped:" << operation;
    return m_sheet != nullptr;
}

void PExcelExport::takeCounts(const QAbstractItemModel *model)
{
    if (!model)
        PLOG_WARN << "Excel export: the table has no model; nothing to export";
    m_rowCount = model ? model->rowCount(QModelIndex()) : 0;
    m_columnCount = model ? model->columnCount(QModelIndex()) : 0;
    if (m_progressBar)
        m_progressBar->setMaximum(m_rowCount);
}

const QAbstractItemModel *PExcelExport::sourceModel() const
{
    if (m_queryModelIsSource)
        return m_queryModel;
    return m_tableView ? m_tableView->model() : nullptr;
}

void PExcelExport::exportRow(const QAbstractItemModel &model, int row)
{
    for (int column = 0; column < m_columnCount; ++column) {
        const QVariant value = cellValue(model, row, column);
        PAutomationObject *dataCell = cell(row + 2, column + 1);
        setWrapText(dataCell, true);
        setHAlignment(dataCell, alignLeft);
        setVAlignment(dataCell, alignTop);
        setValue(dataCell, value);
        if (m_progressBar)
            m_progressBar->setValue(row);
    }
}

namespace {

// Digits a spreadsheet keeps of a number; a value with more is kept as text.
const int spreadsheetDigits = 15;
const qint64 largestExactInteger = Q_INT64_C(1) << 53;

bool isNumericType(int type)
{
    switch (type) {
    case QMetaType::Int: case QMetaType::UInt: case QMetaType::LongLong: case QMetaType::ULongLong:
    case QMetaType::Short: case QMetaType::UShort: case QMetaType::Long: case QMetaType::ULong:
    case QMetaType::Double: case QMetaType::Float:
        return true;
    default:
        return false;
    }
}

// A decimal text such as the MySQL driver gives for DECIMAL: "-12.50", "007.5".
QVariant decimalNumber(const QString &text)
{
    bool ok = false;
    const double number = QLocale::c().toDouble(text, &ok);
    if (!ok)
        return QVariant();
    int digits = 0;
    bool leading = true;
    for (const QChar c : text) {
        if (c.isDigit() && !(leading && c == QLatin1Char('0'))) {
            leading = false;
            ++digits;
        }
    }
    return digits <= spreadsheetDigits ? QVariant(number) : QVariant();
}

} // namespace

QVariant PExcelExport::cellValue(const QAbstractItemModel &model, int row, int column)
{
    const QVariant value = model.index(row, column).data(Qt::DisplayRole);
    if (value.isNull())
        return QString();
    const int type = value.userType();
    if (type == QMetaType::LongLong || type == QMetaType::ULongLong) {
        const bool exact = type == QMetaType::LongLong
            ? value.toLongLong() >= -largestExactInteger && value.toLongLong() <= largestExactInteger
            : value.toULongLong() <= quint64(largestExactInteger);
        return exact ? QVariant(value.toDouble()) : QVariant(value.toString());
    }
    if (isNumericType(type))
        return value;
    const auto *query = qobject_cast<const QSqlQueryModel *>(&model);
    if (query && type == QMetaType::QString && isNumericType(PSqlFieldType::of(query->record().field(column)))) {
        const QVariant number = decimalNumber(value.toString());
        if (number.isValid())
            return number;
    }
    return value.toString();
}
