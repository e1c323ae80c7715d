#ifndef PAUTOMATIONMEMBER_H
#define PAUTOMATIONMEMBER_H

#include "pelmora0_global.h"

#include <QString>
#include <QVariant>
#include <QVariantList>

// One member reference of an automation call: the member's name and its
// actual arguments. "Item(1)" gives the name Item and the argument 1;
// "cells(int, int)" with the values 2 and 3 gives cells and the arguments 2, 3.
// Names compare without regard to case, as automation interfaces do.
class PELMORA0_EXPORT PAutomationMember
{
public:
    PAutomationMember(const QString &signature, const QVariantList &passed);

    QString signature() const { return m_signature; }
    QString name() const { return m_name; }
    bool is(const char *name, int argumentCount = -1) const;
    int argumentCount() const { return m_arguments.size(); }
    QVariant argument(int index) const { return m_arguments.value(index); }

private:
    static bool isTypeName(const QString &parameter);
    static QVariant literal(const QString &parameter);

    QString m_signature;
    QString m_name;
    QVariantList m_arguments;
};

#endif // PAUTOMATIONMEMBER_H
