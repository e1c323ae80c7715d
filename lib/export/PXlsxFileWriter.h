#ifndef PXLSXFILEWRITER_H
#define PXLSXFILEWRITER_H

#include "pelmora0_global.h"

#include <QHash>
#include <QString>

struct lxw_workbook;
struct lxw_worksheet;
struct lxw_format;
struct PExcelCell;
class PExcelSheetData;
class PExcelWorkbookData;

// Writes an in-memory workbook as an .xlsx file: cell values, bold, wrap,
// alignment, thin borders, column widths and page orientation.
class PELMORA0_EXPORT PXlsxFileWriter
{
public:
    explicit PXlsxFileWriter(const QString &filePath);
    PXlsxFileWriter(const PXlsxFileWriter &) = delete;
    PXlsxFileWriter &operator=(const PXlsxFileWriter &) = delete;

    // True when the file was written; failures are logged.
    bool write(const PExcelWorkbookData &workbook);

private:
    void writeSheet(const PExcelSheetData &sheet);
    bool writeCell(lxw_worksheet *worksheet, int row, int column, const PExcelCell &cell);
    lxw_format *formatOf(const PExcelCell &cell);
    void logError(const char *what, int error) const;

    QString m_filePath;
    lxw_workbook *m_workbook = nullptr;
    QHash<QString, lxw_format *> m_formats;
    bool m_failed = false;
};

#endif // PXLSXFILEWRITER_H
