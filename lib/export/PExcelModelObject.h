#ifndef PEXCELMODELOBJECT_H
#define PEXCELMODELOBJECT_H

#include "pelmora0_global.h"

#include "PAutomationMember.h"
#include "PAutomationObject.h"

// Base of the objects of the in-memory spreadsheet model. Members that an
// object does not know are written to the log once and otherwise ignored.
class PELMORA0_EXPORT PExcelModelObject : public PAutomationObject
{
    Q_OBJECT
public:
    explicit PExcelModelObject(QObject *parent = nullptr);

protected:
    // Each returns false when the object does not know the member.
    virtual bool subObjectFor(const PAutomationMember &member, PAutomationObject **result);
    virtual bool invoke(const PAutomationMember &member, QVariant *result);
    virtual bool assign(const QString &property, const QVariant &value);

    // Property names compare without regard to case.
    static bool isProperty(const QString &property, const char *name);
    // Logs a known member used with values the model cannot take.
    void reportRejected(const QString &member, const QVariant &value) const;

private:
    PAutomationObject *subObject(const QString &member, const QVariantList &arguments) final;
    QVariant call(const QString &member, const QVariantList &arguments) final;
    void writeProperty(const QString &name, const QVariant &value) final;
    void reportUnknown(const char *kind, const QString &member) const;
};

#endif // PEXCELMODELOBJECT_H
