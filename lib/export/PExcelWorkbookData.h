#ifndef PEXCELWORKBOOKDATA_H
#define PEXCELWORKBOOKDATA_H

#include "pelmora0_global.h"

#include "PExcelSheetData.h"

#include <QString>
#include <QVector>

#include <memory>

// One workbook of the spreadsheet model: either sheets kept in memory or a
// file opened as it stands. Remembers whether, and in which state, it was shown to
// the user.
class PELMORA0_EXPORT PExcelWorkbookData
{
public:
    // A new workbook with one empty sheet.
    PExcelWorkbookData();
    // A workbook that is the file itself.
    explicit PExcelWorkbookData(const QString &sourceFile);

    bool isFile() const { return !m_sourceFile.isEmpty(); }
    QString sourceFile() const { return m_sourceFile; }

    int sheetCount() const { return m_sheets.size(); }
    // Sheet by number from 1; null when there is none.
    std::shared_ptr<PExcelSheetData> sheet(int number) const;

    // Sum of the sheets' revisions.
    int revision() const;
    bool isShown() const { return m_shownRevision >= 0; }
    // Shown, and changed since: the change never reaches the user.
    bool changedSinceShown() const { return isShown() && m_shownRevision != revision(); }
    // The file the user was shown: the source file or the written workbook.
    QString shownPath() const { return m_shownPath; }
    void markShown(const QString &path);

private:
    QString m_sourceFile;
    QVector<std::shared_ptr<PExcelSheetData>> m_sheets;
    QString m_shownPath;
    int m_shownRevision = -1;
};

#endif // PEXCELWORKBOOKDATA_H
