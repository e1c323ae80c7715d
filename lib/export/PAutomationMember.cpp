#include "PAutomationMember.h"

#include <QRegularExpression>

PAutomationMember::PAutomationMember(const QString &signature, const QVariantList &passed)
    : m_signature(signature.trimmed())
{
    const int open = m_signature.indexOf(QLatin1Char('('));
    m_name = (open < 0 ? m_signature : m_signature.left(open)).trimmed();
    if (open < 0)
        return;
    const int close = m_signature.lastIndexOf(QLatin1Char(')'));
    const QString inner = m_signature.mid(open + 1, (close < open ? m_signature.size() : close) - open - 1);
    if (inner.trimmed().isEmpty())
        return;
    int next = 0;
    for (const QString &raw : inner.split(QLatin1Char(','))) {
        const QString parameter = raw.trimmed();
        m_arguments.append(isTypeName(parameter) ? passed.value(next++) : literal(parameter));
    }
}

bool PAutomationMember::is(const char *name, int argumentCount) const
{
    return m_name.compare(QLatin1String(name), Qt::CaseInsensitive) == 0
        && (argumentCount < 0 || argumentCount == m_arguments.size());
}

bool PAutomationMember::isTypeName(const QString &parameter)
{
    static const QRegularExpression literalPattern(
        QStringLiteral("^(-?\\d+(\\.\\d+)?|\".*\"|'.*'|true|false)$"));
    return !literalPattern.match(parameter).hasMatch();
}

QVariant PAutomationMember::literal(const QString &parameter)
{
    if (parameter == QLatin1String("true") || parameter == QLatin1String("false"))
        return parameter == QLatin1String("true");
    if (parameter.startsWith(QLatin1Char('"')) || parameter.startsWith(QLatin1Char('\'')))
        return parameter.mid(1, parameter.size() - 2);
    bool isInt = false;
    const int value = parameter.toInt(&isInt);
    return isInt ? QVariant(value) : QVariant(parameter.toDouble());
}
