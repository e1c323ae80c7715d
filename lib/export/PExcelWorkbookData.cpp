#include "PExcelWorkbookData.h"

PExcelWorkbookData::PExcelWorkbookData()
{
    m_sheets.append(std::make_shared<PExcelSheetData>(QStringLiteral("Sheet1")));
}

PExcelWorkbookData::PExcelWorkbookData(const QString &sourceFile)
    : m_sourceFile(sourceFile)
{
}

std::shared_ptr<PExcelSheetData> PExcelWorkbookData::sheet(int number) const
{
    return number >= 1 && number <= m_sheets.size() ? m_sheets.at(number - 1) : nullptr;
}

int PExcelWorkbookData::revision() const
{
    int sum = 0;
    for (const auto &sheet : m_sheets)
        sum += sheet->revision();
    return sum;
}

void PExcelWorkbookData::markShown(const QString &path)
{
    m_shownPath = path;
    m_shownRevision = revision();
}
