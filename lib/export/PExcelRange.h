#ifndef PEXCELRANGE_H
#define PEXCELRANGE_H

#include "pelmora0_global.h"

#include "PExcelModelObject.h"
#include "PExcelRangeAddress.h"
#include "PExcelSheetData.h"

#include <memory>

// A cell or block of cells of the in-memory spreadsheet model.
// Sub-objects "Font", "Borders", "Rows", "Columns"; methods "Address()",
// "Select()", "Delete" (optionally with the shift direction); properties "Value", "WrapText", "HorizontalAlignment",
// "VerticalAlignment" and "ColumnWidth".
class PELMORA0_EXPORT PExcelRange : public PExcelModelObject
{
    Q_OBJECT
public:
    PExcelRange(const std::shared_ptr<PExcelSheetData> &sheet, const PExcelRangeAddress &address,
                QObject *parent);

    PExcelRangeAddress address() const { return m_address; }

protected:
    bool subObjectFor(const PAutomationMember &member, PAutomationObject **result) override;
    bool invoke(const PAutomationMember &member, QVariant *result) override;
    bool assign(const QString &property, const QVariant &value) override;

private:
    void deleteCells(const QVariant &shift);
    void setAlignment(const QString &property, const QVariant &value, bool horizontal);
    void setColumnWidth(const QVariant &value);

    std::shared_ptr<PExcelSheetData> m_sheet;
    PExcelRangeAddress m_address;
};

#endif // PEXCELRANGE_H
