#ifndef PEXCELFONT_H
#define PEXCELFONT_H

#include "pelmora0_global.h"

#include "PExcelModelObject.h"
#include "PExcelRangeAddress.h"
#include "PExcelSheetData.h"

#include <memory>

// The "Font" of a range in the in-memory spreadsheet model: property "Bold".
class PELMORA0_EXPORT PExcelFont : public PExcelModelObject
{
    Q_OBJECT
public:
    PExcelFont(const std::shared_ptr<PExcelSheetData> &sheet, const PExcelRangeAddress &address,
               QObject *parent);

protected:
    bool assign(const QString &property, const QVariant &value) override;

private:
    std::shared_ptr<PExcelSheetData> m_sheet;
    PExcelRangeAddress m_address;
};

#endif // PEXCELFONT_H
