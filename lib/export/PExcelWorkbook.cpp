#include "PExcelWorkbook.h"

#include "PExcelSheets.h"

PExcelWorkbook::PExcelWorkbook(const std::shared_ptr<PExcelWorkbookData> &workbook, QObject *parent)
    : PExcelModelObject(parent)
    , m_workbook(workbook)
{
}

bool PExcelWorkbook::subObjectFor(const PAutomationMember &member, PAutomationObject **result)
{
    if (!member.is("Sheets", 0) && !member.is("Worksheets", 0))
        return false;
    *result = new PExcelSheets(m_workbook, this);
    return true;
}
