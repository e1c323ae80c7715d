#include "PExcelFont.h"

PExcelFont::PExcelFont(const std::shared_ptr<PExcelSheetData> &sheet, const PExcelRangeAddress &address,
                       QObject *parent)
    : PExcelModelObject(parent)
    , m_sheet(sheet)
    , m_address(address)
{
}

bool PExcelFont::assign(const QString &property, const QVariant &value)
{
    if (!isProperty(property, "Bold"))
        return false;
    const bool bold = value.toBool();
    m_sheet->changeCells(m_address, [bold](PExcelCell &cell) { cell.bold = bold; });
    return true;
}
