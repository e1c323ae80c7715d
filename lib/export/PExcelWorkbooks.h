#ifndef PEXCELWORKBOOKS_H
#define PEXCELWORKBOOKS_H

#include "pelmora0_global.h"

#include "PExcelModelObject.h"

class PExcelApplication;

// "Workbooks" of the in-memory spreadsheet model: "Add()", "Open(file)", "Item(n)", "Count".
class PELMORA0_EXPORT PExcelWorkbooks : public PExcelModelObject
{
    Q_OBJECT
public:
    // The application must outlive this object (it is normally its parent).
    PExcelWorkbooks(PExcelApplication *application, QObject *parent);

protected:
    bool subObjectFor(const PAutomationMember &member, PAutomationObject **result) override;
    bool invoke(const PAutomationMember &member, QVariant *result) override;

private:
    PExcelApplication *m_application;
};

#endif // PEXCELWORKBOOKS_H
