#include "PExcelSheets.h"

#include "PExcelSheet.h"
#include "PLog.h"

PExcelSheets::PExcelSheets(const std::shared_ptr<PExcelWorkbookData> &workbook, QObject *parent)
    : PExcelModelObject(parent)
    , m_workbook(workbook)
{
}

bool PExcelSheets::subObjectFor(const PAutomationMember &member, PAutomationObject **result)
{
    if (!member.is("Item", 1))
        return false;
    const auto sheet = m_workbook->sheet(member.argument(0).toInt());
    if (!sheet)
        PLOG_WARN << "Spreadsheet model: the workbook has no sheet" << member.argument(0);
    *result = sheet ? new PExcelSheet(sheet, this) : nullptr;
    return true;
}

bool PExcelSheets::invoke(const PAutomationMember &member, QVariant *result)
{
    if (!member.is("Count", 0))
        return false;
    *result = m_workbook->sheetCount();
    return true;
}
