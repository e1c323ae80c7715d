#include "PExcelRange.h"

#include "PExcelBorders.h"
#include "PExcelFont.h"

#include <QSet>

PExcelRange::PExcelRange(const std::shared_ptr<PExcelSheetData> &sheet, const PExcelRangeAddress &address,
                         QObject *parent)
    : PExcelModelObject(parent)
    , m_sheet(sheet)
    , m_address(address)
{
}

bool PExcelRange::subObjectFor(const PAutomationMember &member, PAutomationObject **result)
{
    if (member.is("Font", 0))
        *result = new PExcelFont(m_sheet, m_address, this);
    else if (member.is("Borders", 0))
        *result = new PExcelBorders(m_sheet, m_address, this);
    else if (member.is("Rows", 0) || member.is("Columns", 0))
        *result = new PExcelRange(m_sheet, m_address, this);
    else
        return false;
    return true;
}

bool PExcelRange::invoke(const PAutomationMember &member, QVariant *result)
{
    if (member.is("Address", 0))
        *result = m_address.address();
    else if (member.is("Delete", 0) || member.is("Delete", 1))
        deleteCells(member.argument(0));
    else if (!member.is("Select", 0))
        return false;
    return true;
}

bool PExcelRange::assign(const QString &property, const QVariant &value)
{
    if (isProperty(property, "Value")) {
        m_sheet->changeCells(m_address, [&value](PExcelCell &cell) { cell.value = value; });
    } else if (isProperty(property, "WrapText")) {
        const bool wrap = value.toBool();
        m_sheet->changeCells(m_address, [wrap](PExcelCell &cell) { cell.wrapText = wrap; });
    } else if (isProperty(property, "HorizontalAlignment")) {
        setAlignment(property, value, true);
    } else if (isProperty(property, "VerticalAlignment")) {
        setAlignment(property, value, false);
    } else if (isProperty(property, "ColumnWidth")) {
        setColumnWidth(value);
    } else {
        return false;
    }
    return true;
}

// Whole rows and whole columns go away as such. Any other block closes up in
// the given direction, or without one along its shorter side, as the
// spreadsheet decides by the block's shape.
void PExcelRange::deleteCells(const QVariant &shift)
{
    const bool wide = m_address.right() - m_address.left() >= m_address.bottom() - m_address.top();
    if (m_address.isWholeRows())
        m_sheet->deleteRows(m_address.top(), m_address.bottom());
    else if (m_address.isWholeColumns())
        m_sheet->deleteColumns(m_address.left(), m_address.right());
    else if (shift.isValid() && shift.toInt() != PExcelConstant::xlShiftUp
             && shift.toInt() != PExcelConstant::xlShiftToLeft)
        reportRejected(QStringLiteral("Delete"), shift);
    else if (shift.isValid() ? shift.toInt() == PExcelConstant::xlShiftUp : wide)
        m_sheet->deleteCellsShiftUp(m_address);
    else
        m_sheet->deleteCellsShiftLeft(m_address);
}

void PExcelRange::setAlignment(const QString &property, const QVariant &value, bool horizontal)
{
    using namespace PExcelConstant;
    static const QSet<int> horizontalValues{xlGeneral, xlLeft, xlCenter, xlRight};
    static const QSet<int> verticalValues{xlTop, xlCenter, xlBottom};
    bool isNumber = false;
    const int alignment = value.toInt(&isNumber);
    if (!isNumber || !(horizontal ? horizontalValues : verticalValues).contains(alignment)) {
        reportRejected(property, value);
        return;
    }
    m_sheet->changeCells(m_address, [alignment, horizontal](PExcelCell &cell) {
        (horizontal ? cell.horizontalAlignment : cell.verticalAlignment) = alignment;
    });
}

void PExcelRange::setColumnWidth(const QVariant &value)
{
    bool isNumber = false;
    const double width = value.toDouble(&isNumber);
    if (!isNumber || width < 0 || width > 255 || m_address.isWholeRows()) {
        reportRejected(QStringLiteral("ColumnWidth"), value);
        return;
    }
    for (int column = m_address.left(); column <= m_address.right(); ++column)
        m_sheet->setColumnWidth(column, width);
}
