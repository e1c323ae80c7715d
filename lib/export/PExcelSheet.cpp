#include "PExcelSheet.h"

#include "PExcelPageSetup.h"
#include "PExcelRange.h"
#include "PLog.h"

PExcelSheet::PExcelSheet(const std::shared_ptr<PExcelSheetData> &sheet, QObject *parent)
    : PExcelModelObject(parent)
    , m_sheet(sheet)
{
}

bool PExcelSheet::subObjectFor(const PAutomationMember &member, PAutomationObject **result)
{
    if (member.is("Cells", 2) || member.is("Range", 1) || member.is("Range", 2))
        *result = range(member);
    else if (member.is("PageSetup", 0))
        *result = new PExcelPageSetup(m_sheet, this);
    else
        return false;
    return true;
}

bool PExcelSheet::invoke(const PAutomationMember &member, QVariant *)
{
    if (!member.is("Select", 0))
        return false;
    m_sheet->setSelected(true);
    return true;
}

PAutomationObject *PExcelSheet::range(const PAutomationMember &member)
{
    PExcelRangeAddress address;
    if (member.is("Cells"))
        address = PExcelRangeAddress(member.argument(0).toInt(), member.argument(1).toInt());
    else if (member.argumentCount() == 1)
        address = PExcelRangeAddress::parse(member.argument(0).toString());
    else
        address = PExcelRangeAddress::spanning(PExcelRangeAddress::parse(member.argument(0).toString()),
                                               PExcelRangeAddress::parse(member.argument(1).toString()));
    if (address.isValid())
        return new PExcelRange(m_sheet, address, this);
    PLOG_WARN << "Spreadsheet model: no such range:" << member.signature()
              << member.argument(0) << member.argument(1);
    return nullptr;
}
