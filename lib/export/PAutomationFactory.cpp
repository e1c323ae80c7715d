#include "PAutomationFactory.h"

#include "PExcelApplication.h"
#include "PLog.h"

PAutomationObject *PAutomationFactory::create(const QString &control, QObject *parent)
{
    const Creator &current = creator();
    PAutomationObject *object = current ? current(control, parent) : createBuiltIn(control, parent);
    if (!object)
        PLOG_WARN << "Automation server could not be started:" << control;
    return object;
}

void PAutomationFactory::setCreator(const Creator &creator)
{
    PAutomationFactory::creator() = creator;
}

PAutomationObject *PAutomationFactory::createBuiltIn(const QString &control, QObject *parent)
{
    if (control.compare(QLatin1String("Excel.Application"), Qt::CaseInsensitive) == 0)
        return new PExcelApplication(parent);
    return nullptr;
}

PAutomationFactory::Creator &PAutomationFactory::creator()
{
    static Creator current;
    return current;
}
