#include "PExcelWorkbooks.h"

#include "PExcelApplication.h"
#include "PExcelWorkbook.h"

PExcelWorkbooks::PExcelWorkbooks(PExcelApplication *application, QObject *parent)
    : PExcelModelObject(parent)
    , m_application(application)
{
}

bool PExcelWorkbooks::subObjectFor(const PAutomationMember &member, PAutomationObject **result)
{
    std::shared_ptr<PExcelWorkbookData> workbook;
    if (member.is("Add", 0))
        workbook = m_application->addWorkbook();
    else if (member.is("Open", 1))
        workbook = m_application->openWorkbook(member.argument(0).toString());
    else if (member.is("Item", 1))
        workbook = m_application->workbook(member.argument(0).toInt());
    else
        return false;
    *result = workbook ? new PExcelWorkbook(workbook, this) : nullptr;
    return true;
}

bool PExcelWorkbooks::invoke(const PAutomationMember &member, QVariant *result)
{
    if (!member.is("Count", 0))
        return false;
    *result = m_application->workbookCount();
    return true;
}
