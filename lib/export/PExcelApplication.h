#ifndef PEXCELAPPLICATION_H
#define PEXCELAPPLICATION_H

#include "pelmora0_global.h"

#include "PExcelModelObject.h"
#include "PExcelWorkbookData.h"

#include <QStringList>
#include <QVector>

#include <memory>

// "Excel.Application" of the in-memory spreadsheet model. Its workbooks live
// in memory while it is hidden. Once it is visible, every workbook not yet
// shown is handed to the desktop's spreadsheet application when control
// returns to the event loop, or at the latest when this object ends: workbooks
// made here are first written as .xlsx files, opened files are shown as they are.
class PELMORA0_EXPORT PExcelApplication : public PExcelModelObject
{
    Q_OBJECT
public:
    explicit PExcelApplication(QObject *parent = nullptr);
    ~PExcelApplication() override;

    bool isVisible() const { return m_visible; }
    void setVisible(bool visible);

    int workbookCount() const { return m_workbooks.size(); }
    // Workbook by number from 1; null when there is none.
    std::shared_ptr<PExcelWorkbookData> workbook(int number) const;
    std::shared_ptr<PExcelWorkbookData> addWorkbook();
    // Null (logged) when the file does not exist.
    std::shared_ptr<PExcelWorkbookData> openWorkbook(const QString &filePath);

    // Shows every workbook changed since it was last shown (only while visible).
    void showWorkbooks();
    // Files handed to the desktop so far, in order.
    QStringList shownFiles() const { return m_shownFiles; }

protected:
    bool subObjectFor(const PAutomationMember &member, PAutomationObject **result) override;
    bool invoke(const PAutomationMember &member, QVariant *result) override;
    bool assign(const QString &property, const QVariant &value) override;

private:
    void scheduleShowing();
    void showWorkbook(PExcelWorkbookData &workbook);

    bool m_visible = false;
    bool m_showingScheduled = false;
    QVector<std::shared_ptr<PExcelWorkbookData>> m_workbooks;
    QStringList m_shownFiles;
};

#endif // PEXCELAPPLICATION_H
