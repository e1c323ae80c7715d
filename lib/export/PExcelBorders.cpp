#include "PExcelBorders.h"

PExcelBorders::PExcelBorders(const std::shared_ptr<PExcelSheetData> &sheet,
                             const PExcelRangeAddress &address, QObject *parent)
    : PExcelModelObject(parent)
    , m_sheet(sheet)
    , m_address(address)
{
}

bool PExcelBorders::assign(const QString &property, const QVariant &value)
{
    if (!isProperty(property, "LineStyle"))
        return false;
    bool isNumber = false;
    const int style = value.toInt(&isNumber);
    if (!isNumber || (style != PExcelConstant::xlContinuous && style != PExcelConstant::xlLineStyleNone)) {
        reportRejected(property, value);
        return true;
    }
    const bool line = style == PExcelConstant::xlContinuous;
    m_sheet->changeCells(m_address, [line](PExcelCell &cell) {
        cell.borderTop = cell.borderBottom = cell.borderLeft = cell.borderRight = line;
    });
    return true;
}
