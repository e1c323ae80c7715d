#ifndef PEXCELPAGESETUP_H
#define PEXCELPAGESETUP_H

#include "pelmora0_global.h"

#include "PExcelModelObject.h"
#include "PExcelSheetData.h"

#include <memory>

// The "PageSetup" of a sheet in the in-memory spreadsheet model: property
// "Orientation", given as the constant (1, 2) or its name ("xlPortrait", "xlLandscape").
class PELMORA0_EXPORT PExcelPageSetup : public PExcelModelObject
{
    Q_OBJECT
public:
    PExcelPageSetup(const std::shared_ptr<PExcelSheetData> &sheet, QObject *parent);

protected:
    bool assign(const QString &property, const QVariant &value) override;

private:
    std::shared_ptr<PExcelSheetData> m_sheet;
};

#endif // PEXCELPAGESETUP_H
