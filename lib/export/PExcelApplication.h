#ifndef PEXCELAPPLICATION_H
#define PEXCELAPPLICATION_H

#include "pelmora0_global.h"

#include "PExcelModelObject.h"
#include "PExcelWorkbookData.h"

#include <QStringList>
#include <QVector>

#include <memory>

// "Excel.Application" of the in-memory spreadsheet model. Its workbooks live in
// memory until it is finished: when this object ends, or at showWorkbooks(), every
// workbook of a visible application is handed to the desktop's spreadsheet
// application once. Workbooks made here are written as .xlsx files first, so the
// file is written after the last change; opened files are shown as they are.
// A workbook is never written or handed over a second time: a change made after
// showing is logged and left out, as the user may have the file open by then.
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

    // Shows every workbook not shown yet (only while visible).
    void showWorkbooks();
    // Files handed to the desktop so far, in order.
    QStringList shownFiles() const { return m_shownFiles; }

protected:
    bool subObjectFor(const PAutomationMember &member, PAutomationObject **result) override;
    bool invoke(const PAutomationMember &member, QVariant *result) override;
    bool assign(const QString &property, const QVariant &value) override;

private:
    void showWorkbook(PExcelWorkbookData &workbook);

    bool m_visible = false;
    QVector<std::shared_ptr<PExcelWorkbookData>> m_workbooks;
    QStringList m_shownFiles;
};

#endif // PEXCELAPPLICATION_H
