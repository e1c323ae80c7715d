#include "RecordingAutomation.h"

namespace {

QVariant at(const QVariantList &arguments, int index)
{
    return arguments.value(index);
}

} // namespace

RecordingAutomation::RecordingAutomation(PAutomationObject *inner, const std::shared_ptr<QStringList> &calls,
                                         QObject *parent)
    : PAutomationObject(parent)
    , m_inner(inner)
    , m_calls(calls)
{
    if (m_inner)
        m_inner->setParent(this);
}

PAutomationObject *RecordingAutomation::subObject(const QString &member, const QVariantList &arguments)
{
    record(QStringLiteral("query"), member, arguments);
    if (!m_inner)
        return nullptr;
    const QByteArray name = member.toLatin1();
    PAutomationObject *object = m_inner->querySubObject(name.constData(), at(arguments, 0), at(arguments, 1),
                                                        at(arguments, 2), at(arguments, 3), at(arguments, 4),
                                                        at(arguments, 5), at(arguments, 6), at(arguments, 7));
    return object ? new RecordingAutomation(object, m_calls, this) : nullptr;
}

QVariant RecordingAutomation::call(const QString &member, const QVariantList &arguments)
{
    record(QStringLiteral("call"), member, arguments);
    if (!m_inner)
        return QVariant();
    const QByteArray name = member.toLatin1();
    return m_inner->dynamicCall(name.constData(), at(arguments, 0), at(arguments, 1), at(arguments, 2),
                                at(arguments, 3), at(arguments, 4), at(arguments, 5), at(arguments, 6),
                                at(arguments, 7));
}

void RecordingAutomation::writeProperty(const QString &name, const QVariant &value)
{
    record(QStringLiteral("set"), name, {value});
    if (m_inner)
        m_inner->setPropertyValue(name.toLatin1().constData(), value);
}

void RecordingAutomation::record(const QString &kind, const QString &member, const QVariantList &arguments)
{
    QStringList parts{kind, member};
    for (const QVariant &argument : arguments) {
        if (argument.isValid())
            parts.append(argument.toString());
    }
    m_calls->append(parts.join(QLatin1Char(' ')));
}
