#ifndef PEXCELBORDERS_H
#define PEXCELBORDERS_H

#include "pelmora0_global.h"

#include "PExcelModelObject.h"
#include "PExcelRangeAddress.h"
#include "PExcelSheetData.h"

#include <memory>

// The "Borders" of a range in the in-memory spreadsheet model: property
// "LineStyle", continuous (1) or none (-4142), on every edge and inner line.
class PELMORA0_EXPORT PExcelBorders : public PExcelModelObject
{
    Q_OBJECT
public:
    PExcelBorders(const std::shared_ptr<PExcelSheetData> &sheet, const PExcelRangeAddress &address,
                  QObject *parent);

protected:
    bool assign(const QString &property, const QVariant &value) override;

private:
    std::shared_ptr<PExcelSheetData> m_sheet;
    PExcelRangeAddress m_address;
};

#endif // PEXCELBORDERS_H
