#include "PSqlNull.h"

#include <QByteArray>
#include <QString>

namespace PSqlNull {

bool isNull(const QVariant &value)
{
    if (value.isNull())
        return true;
    switch (value.userType()) {
    case QMetaType::QString:
        return value.toString().isNull();
    case QMetaType::QByteArray:
        return value.toByteArray().isNull();
    default:
        return false;
    }
}

QVariant typed(QMetaType::Type type)
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    return QVariant(QMetaType(type));
#else
    return QVariant(QVariant::Type(type));
#endif
}

QVariant bindable(const QVariant &value)
{
    if (!isNull(value))
        return value;
    const int type = value.userType();
    return typed(type == QMetaType::UnknownType ? QMetaType::QString : QMetaType::Type(type));
}

QVariant fromText(const QString &text)
{
    return text.isNull() ? typed(QMetaType::QString) : QVariant(text);
}

} // namespace PSqlNull
