#include "PExcelPageSetup.h"

PExcelPageSetup::PExcelPageSetup(const std::shared_ptr<PExcelSheetData> &sheet, QObject *parent)
    : PExcelModelObject(parent)
    , m_sheet(sheet)
{
}

bool PExcelPageSetup::assign(const QString &property, const QVariant &value)
{
    if (!isProperty(property, "Orientation"))
        return false;
    const QString text = value.toString();
    if (text == QLatin1String("xlPortrait") || text == QString::number(PExcelConstant::xlPortrait))
        m_sheet->setLandscape(false);
    else if (text == QLatin1String("xlLandscape") || text == QString::number(PExcelConstant::xlLandscape))
        m_sheet->setLandscape(true);
    else
        reportRejected(property, value);
    return true;
}
