#ifndef PAUTOMATIONFACTORY_H
#define PAUTOMATIONFACTORY_H

#include "pelmora0_global.h"

#include <QObject>
#include <QString>

#include <functional>

class PAutomationObject;

// Starts automation servers by their control name ("Excel.Application").
// The built-in creator knows the spreadsheet model of PExcelApplication;
// a program or a test may install its own creator.
class PELMORA0_EXPORT PAutomationFactory
{
public:
    using Creator = std::function<PAutomationObject *(const QString &control, QObject *parent)>;

    // The new object, child of parent, or null (logged) when the control cannot be started.
    static PAutomationObject *create(const QString &control, QObject *parent);
    // Replaces the creator; an empty one restores the built-in creator.
    static void setCreator(const Creator &creator);

private:
    static PAutomationObject *createBuiltIn(const QString &control, QObject *parent);
    static Creator &creator();
};

#endif // PAUTOMATIONFACTORY_H
