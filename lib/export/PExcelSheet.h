#ifndef PEXCELSHEET_H
#define PEXCELSHEET_H

#include "pelmora0_global.h"

#include "PExcelModelObject.h"
#include "PExcelSheetData.h"

#include <memory>

// A worksheet of the in-memory spreadsheet model: "cells(row, column)",
// "Range(address)", "Range(address, address)", "PageSetup" and "Select()".
class PELMORA0_EXPORT PExcelSheet : public PExcelModelObject
{
    Q_OBJECT
public:
    PExcelSheet(const std::shared_ptr<PExcelSheetData> &sheet, QObject *parent);

protected:
    bool subObjectFor(const PAutomationMember &member, PAutomationObject **result) override;
    bool invoke(const PAutomationMember &member, QVariant *result) override;

private:
    PAutomationObject *range(const PAutomationMember &member);

    std::shared_ptr<PExcelSheetData> m_sheet;
};

#endif // PEXCELSHEET_H
