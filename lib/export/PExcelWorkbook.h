#ifndef PEXCELWORKBOOK_H
#define PEXCELWORKBOOK_H

#include "pelmora0_global.h"

#include "PExcelModelObject.h"
#include "PExcelWorkbookData.h"

#include <memory>

// A workbook of the in-memory spreadsheet model: "Sheets" (or "Worksheets").
class PELMORA0_EXPORT PExcelWorkbook : public PExcelModelObject
{
    Q_OBJECT
public:
    PExcelWorkbook(const std::shared_ptr<PExcelWorkbookData> &workbook, QObject *parent);

protected:
    bool subObjectFor(const PAutomationMember &member, PAutomationObject **result) override;

private:
    std::shared_ptr<PExcelWorkbookData> m_workbook;
};

#endif // PEXCELWORKBOOK_H
