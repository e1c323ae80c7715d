#include "PExcelModelObject.h"

#include "PLog.h"

#include <QSet>

PExcelModelObject::PExcelModelObject(QObject *parent)
    : PAutomationObject(parent)
{
}

bool PExcelModelObject::subObjectFor(const PAutomationMember &, PAutomationObject **)
{
    return false;
}

bool PExcelModelObject::invoke(const PAutomationMember &, QVariant *)
{
    return false;
}

bool PExcelModelObject::assign(const QString &, const QVariant &)
{
    return false;
}

bool PExcelModelObject::isProperty(const QString &property, const char *name)
{
    return property.compare(QLatin1String(name), Qt::CaseInsensitive) == 0;
}

void PExcelModelObject::reportRejected(const QString &member, const QVariant &value) const
{
    PLOG_WARN << "Spreadsheet model:" << metaObject()->className() << member
              << "cannot take" << value << "- ignored";
}

PAutomationObject *PExcelModelObject::subObject(const QString &member, const QVariantList &arguments)
{
    PAutomationObject *result = nullptr;
    if (!subObjectFor(PAutomationMember(member, arguments), &result))
        reportUnknown("sub-object", member);
    return result;
}

QVariant PExcelModelObject::call(const QString &member, const QVariantList &arguments)
{
    QVariant result;
    if (!invoke(PAutomationMember(member, arguments), &result))
        reportUnknown("method", member);
    return result;
}

void PExcelModelObject::writeProperty(const QString &name, const QVariant &value)
{
    if (!assign(name.trimmed(), value))
        reportUnknown("property", name);
}

void PExcelModelObject::reportUnknown(const char *kind, const QString &member) const
{
    static QSet<QString> reported;
    const QString key = QStringLiteral("%1 %2 %3")
        .arg(QLatin1String(metaObject()->className()), QLatin1String(kind), member);
    if (reported.contains(key))
        return;
    reported.insert(key);
    PLOG_WARN << "Spreadsheet model: unknown" << kind << member << "of"
              << metaObject()->className() << "- ignored";
}
