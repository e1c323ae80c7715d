#include "PExcelApplication.h"

#include "PDesktopSpreadsheet.h"
#include "PExcelWorkbooks.h"
#include "PLog.h"
#include "PXlsxFileWriter.h"

#include <QFileInfo>

PExcelApplication::PExcelApplication(QObject *parent)
    : PExcelModelObject(parent)
{
}

PExcelApplication::~PExcelApplication()
{
    showWorkbooks();
}

void PExcelApplication::setVisible(bool visible)
{
    m_visible = visible;
}

std::shared_ptr<PExcelWorkbookData> PExcelApplication::workbook(int number) const
{
    return number >= 1 && number <= m_workbooks.size() ? m_workbooks.at(number - 1) : nullptr;
}

std::shared_ptr<PExcelWorkbookData> PExcelApplication::addWorkbook()
{
    m_workbooks.append(std::make_shared<PExcelWorkbookData>());
    return m_workbooks.last();
}

std::shared_ptr<PExcelWorkbookData> PExcelApplication::openWorkbook(const QString &filePath)
{
    if (!QFileInfo(filePath).isFile()) {
        PLOG_WARN << "Spreadsheet model: cannot open" << filePath << "- no such file";
        return nullptr;
    }
    m_workbooks.append(std::make_shared<PExcelWorkbookData>(filePath));
    return m_workbooks.last();
}

void PExcelApplication::showWorkbooks()
{
    if (!m_visible)
        return;
    for (const auto &workbook : qAsConst(m_workbooks)) {
        if (!workbook->isShown()) {
            showWorkbook(*workbook);
        } else if (workbook->changedSinceShown()) {
            PLOG_WARN << "Spreadsheet model: the workbook" << workbook->shownPath()
                      << "changed after it was shown; the change is not written";
            workbook->markShown(workbook->shownPath());
        }
    }
}

bool PExcelApplication::subObjectFor(const PAutomationMember &member, PAutomationObject **result)
{
    if (!member.is("Workbooks", 0))
        return false;
    *result = new PExcelWorkbooks(this, this);
    return true;
}

bool PExcelApplication::invoke(const PAutomationMember &member, QVariant *)
{
    if (!member.is("SetVisible", 1))
        return false;
    setVisible(member.argument(0).toBool());
    return true;
}

bool PExcelApplication::assign(const QString &property, const QVariant &value)
{
    if (!isProperty(property, "Visible"))
        return false;
    setVisible(value.toBool());
    return true;
}

void PExcelApplication::showWorkbook(PExcelWorkbookData &workbook)
{
    const QString path = workbook.isFile() ? workbook.sourceFile() : PDesktopSpreadsheet::newWorkbookPath();
    const bool ready = workbook.isFile() || PXlsxFileWriter(path).write(workbook);
    workbook.markShown(path);
    if (ready && PDesktopSpreadsheet::open(path))
        m_shownFiles.append(path);
}
