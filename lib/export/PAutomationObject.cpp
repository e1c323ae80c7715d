#include "PAutomationObject.h"

#include <QDynamicPropertyChangeEvent>

namespace {

QVariantList argumentList(std::initializer_list<const QVariant *> values)
{
    QVariantList list;
    for (const QVariant *value : values)
        list.append(*value);
    return list;
}

} // namespace

PAutomationObject::PAutomationObject(QObject *parent)
    : QObject(parent)
{
}

PAutomationObject *PAutomationObject::querySubObject(const char *name,
                                                     const QVariant &var1, const QVariant &var2,
                                                     const QVariant &var3, const QVariant &var4,
                                                     const QVariant &var5, const QVariant &var6,
                                                     const QVariant &var7, const QVariant &var8)
{
    return subObject(QString::fromLatin1(name),
                     argumentList({&var1, &var2, &var3, &var4, &var5, &var6, &var7, &var8}));
}

QVariant PAutomationObject::dynamicCall(const char *function,
                                        const QVariant &var1, const QVariant &var2,
                                        const QVariant &var3, const QVariant &var4,
                                        const QVariant &var5, const QVariant &var6,
                                        const QVariant &var7, const QVariant &var8)
{
    return call(QString::fromLatin1(function),
                argumentList({&var1, &var2, &var3, &var4, &var5, &var6, &var7, &var8}));
}

void PAutomationObject::setPropertyValue(const char *name, const QVariant &value)
{
    writeProperty(QString::fromLatin1(name), value);
}

// QObject::setProperty with a name that is no Qt property stores a dynamic property
// and sends this event: pass the value on to the automation object and drop the
// stored copy, so that the next setProperty with the same value is passed on too.
// Dropping it sends the event once more, without a value, which is ignored.
bool PAutomationObject::event(QEvent *event)
{
    if (event->type() != QEvent::DynamicPropertyChange)
        return QObject::event(event);
    const QByteArray name = static_cast<QDynamicPropertyChangeEvent *>(event)->propertyName();
    const QVariant value = property(name.constData());
    if (value.isValid()) {
        setProperty(name.constData(), QVariant());
        writeProperty(QString::fromLatin1(name), value);
    }
    return true;
}
