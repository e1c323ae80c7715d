#ifndef PEXCELSHEETS_H
#define PEXCELSHEETS_H

#include "pelmora0_global.h"

#include "PExcelModelObject.h"
#include "PExcelWorkbookData.h"

#include <memory>

// "Sheets" of a workbook in the in-memory spreadsheet model: "Item(n)" and "Count".
class PELMORA0_EXPORT PExcelSheets : public PExcelModelObject
{
    Q_OBJECT
public:
    PExcelSheets(const std::shared_ptr<PExcelWorkbookData> &workbook, QObject *parent);

protected:
    bool subObjectFor(const PAutomationMember &member, PAutomationObject **result) override;
    bool invoke(const PAutomationMember &member, QVariant *result) override;

private:
    std::shared_ptr<PExcelWorkbookData> m_workbook;
};

#endif // PEXCELSHEETS_H
