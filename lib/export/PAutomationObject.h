#ifndef PAUTOMATIONOBJECT_H
#define PAUTOMATIONOBJECT_H

#include "pelmora0_global.h"

#include <QObject>
#include <QVariant>
#include <QVariantList>

// An object of an office application's automation interface.
// Members are named by their signature as the application documents them,
// e.g. "cells(int, int)" or "Item(1)"; arguments in the signature that are
// type names take the passed values in order, literal arguments stand for themselves.
// Sub-objects that an object returns are its children and live as long as it does.
// Properties are the automation object's: setProperty(name, value), as with any
// QObject, does what setPropertyValue does, and the value is not kept as a
// dynamic property of this QObject.
class PELMORA0_EXPORT PAutomationObject : public QObject
{
    Q_OBJECT
public:
    explicit PAutomationObject(QObject *parent = nullptr);

    // The sub-object for the member, or null when the object has none.
    PAutomationObject *querySubObject(const char *name,
                                      const QVariant &var1 = QVariant(), const QVariant &var2 = QVariant(),
                                      const QVariant &var3 = QVariant(), const QVariant &var4 = QVariant(),
                                      const QVariant &var5 = QVariant(), const QVariant &var6 = QVariant(),
                                      const QVariant &var7 = QVariant(), const QVariant &var8 = QVariant());
    // Calls a method; returns its result (invalid when it has none).
    QVariant dynamicCall(const char *function,
                         const QVariant &var1 = QVariant(), const QVariant &var2 = QVariant(),
                         const QVariant &var3 = QVariant(), const QVariant &var4 = QVariant(),
                         const QVariant &var5 = QVariant(), const QVariant &var6 = QVariant(),
                         const QVariant &var7 = QVariant(), const QVariant &var8 = QVariant());
    // Sets a property of the automation object.
    void setPropertyValue(const char *name, const QVariant &value);

protected:
    bool event(QEvent *event) override;

    virtual PAutomationObject *subObject(const QString &member, const QVariantList &arguments) = 0;
    virtual QVariant call(const QString &member, const QVariantList &arguments) = 0;
    virtual void writeProperty(const QString &name, const QVariant &value) = 0;
};

#endif // PAUTOMATIONOBJECT_H
