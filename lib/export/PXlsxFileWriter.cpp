#include "PXlsxFileWriter.h"

#include "PExcelWorkbookData.h"
#include "PLog.h"

#include <QFile>

#include <xlsxwriter.h>

namespace {

uint8_t horizontalAlign(int excelConstant)
{
    switch (excelConstant) {
    case PExcelConstant::xlLeft: return LXW_ALIGN_LEFT;
    case PExcelConstant::xlCenter: return LXW_ALIGN_CENTER;
    case PExcelConstant::xlRight: return LXW_ALIGN_RIGHT;
    default: return LXW_ALIGN_NONE;
    }
}

uint8_t verticalAlign(int excelConstant)
{
    switch (excelConstant) {
    case PExcelConstant::xlTop: return LXW_ALIGN_VERTICAL_TOP;
    case PExcelConstant::xlCenter: return LXW_ALIGN_VERTICAL_CENTER;
    case PExcelConstant::xlBottom: return LXW_ALIGN_VERTICAL_BOTTOM;
    default: return LXW_ALIGN_NONE;
    }
}

QString formatKey(const PExcelCell &cell)
{
    return QStringLiteral("%1%2|%3|%4|%5%6%7%8")
        .arg(cell.bold).arg(cell.wrapText).arg(cell.horizontalAlignment).arg(cell.verticalAlignment)
        .arg(cell.borderTop).arg(cell.borderBottom).arg(cell.borderLeft).arg(cell.borderRight);
}

const int maxCellText = 32767;

// Cells hold at most maxCellText characters; longer texts are cut, as the spreadsheet does.
QString cellText(const QVariant &value)
{
    const QString text = value.toString();
    if (text.size() <= maxCellText)
        return text;
    PLOG_WARN << "Cell text cut to" << maxCellText << "characters, it had" << text.size();
    return text.left(maxCellText);
}

bool hasFormat(const PExcelCell &cell)
{
    return cell.bold || cell.wrapText || cell.horizontalAlignment || cell.verticalAlignment
        || cell.hasBorder();
}

} // namespace

PXlsxFileWriter::PXlsxFileWriter(const QString &filePath)
    : m_filePath(filePath)
{
}

bool PXlsxFileWriter::write(const PExcelWorkbookData &workbook)
{
    const QByteArray fileName = QFile::encodeName(m_filePath);
    m_workbook = workbook_new(fileName.constData());
    if (!m_workbook) {
        PLOG_ERROR << "Cannot create the workbook file" << m_filePath;
        return false;
    }
    m_failed = false;
    m_formats.clear();
    for (int number = 1; number <= workbook.sheetCount(); ++number)
        writeSheet(*workbook.sheet(number));
    const lxw_error error = workbook_close(m_workbook);
    m_workbook = nullptr;
    if (error != LXW_NO_ERROR)
        logError("Cannot write the workbook file", error);
    return error == LXW_NO_ERROR && !m_failed;
}

void PXlsxFileWriter::writeSheet(const PExcelSheetData &sheet)
{
    const QByteArray name = sheet.name().toUtf8();
    lxw_worksheet *worksheet = workbook_add_worksheet(m_workbook, name.constData());
    if (!worksheet) {
        PLOG_ERROR << "Cannot add the sheet" << sheet.name() << "to" << m_filePath;
        m_failed = true;
        return;
    }
    const auto &cells = sheet.cells();
    for (auto it = cells.cbegin(); it != cells.cend(); ++it)
        m_failed |= !writeCell(worksheet, it.key().first - 1, it.key().second - 1, it.value());
    const auto &widths = sheet.columnWidths();
    for (auto it = widths.cbegin(); it != widths.cend(); ++it)
        worksheet_set_column(worksheet, it.key() - 1, it.key() - 1, it.value(), nullptr);
    if (sheet.isLandscape())
        worksheet_set_landscape(worksheet);
    else
        worksheet_set_portrait(worksheet);
}

bool PXlsxFileWriter::writeCell(lxw_worksheet *worksheet, int row, int column, const PExcelCell &cell)
{
    lxw_format *format = formatOf(cell);
    const QVariant &value = cell.value;
    lxw_error error = LXW_NO_ERROR;
    switch (value.userType()) {
    case QMetaType::Bool:
        error = worksheet_write_boolean(worksheet, row, column, value.toBool(), format);
        break;
    case QMetaType::Int: case QMetaType::UInt: case QMetaType::LongLong: case QMetaType::ULongLong:
    case QMetaType::Double: case QMetaType::Float:
        error = worksheet_write_number(worksheet, row, column, value.toDouble(), format);
        break;
    default: {
        const QByteArray text = cellText(value).toUtf8();
        error = text.isEmpty() ? worksheet_write_blank(worksheet, row, column, format)
                               : worksheet_write_string(worksheet, row, column, text.constData(), format);
    }
    }
    if (error != LXW_NO_ERROR)
        logError("Cannot write a cell", error);
    return error == LXW_NO_ERROR;
}

lxw_format *PXlsxFileWriter::formatOf(const PExcelCell &cell)
{
    if (!hasFormat(cell))
        return nullptr;
    const QString key = formatKey(cell);
    if (lxw_format *known = m_formats.value(key))
        return known;
    lxw_format *format = workbook_add_format(m_workbook);
    if (cell.bold)
        format_set_bold(format);
    if (cell.wrapText)
        format_set_text_wrap(format);
    format_set_align(format, horizontalAlign(cell.horizontalAlignment));
    format_set_align(format, verticalAlign(cell.verticalAlignment));
    format_set_top(format, cell.borderTop ? LXW_BORDER_THIN : LXW_BORDER_NONE);
    format_set_bottom(format, cell.borderBottom ? LXW_BORDER_THIN : LXW_BORDER_NONE);
    format_set_left(format, cell.borderLeft ? LXW_BORDER_THIN : LXW_BORDER_NONE);
    format_set_right(format, cell.borderRight ? LXW_BORDER_THIN : LXW_BORDER_NONE);
    m_formats.insert(key, format);
    return format;
}

void PXlsxFileWriter::logError(const char *what, int error) const
{
    PLOG_ERROR << what << m_filePath << ":" << lxw_strerror(static_cast<lxw_error>(error));
}
