#include "PApplicationSettings.h"

#include "PLog.h"

PApplicationSettings::PApplicationSettings() = default;

PApplicationSettings::~PApplicationSettings() = default;

void PApplicationSettings::initSettingsGroup(const QString &organization, const QString &application)
{
    // Destroying the earlier store writes out whatever it still holds.
    m_settings.reset();
    m_settings = std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                             organization, application);
}

void PApplicationSettings::setSettingProperty(const QString &group, const QString &key,
                                              const QVariant &value)
{
    if (!hasStore("setSettingProperty"))
        return;
    m_settings->beginGroup(group);
    m_settings->setValue(key, value);
    m_settings->endGroup();
}

QString PApplicationSettings::getSettingProperty(const QString &group, const QString &key) const
{
    if (!hasStore("getSettingProperty"))
        return QString();
    return readValue(group, key).toString();
}

bool PApplicationSettings::getSettingPropertyBool(const QString &group, const QString &key) const
{
    if (!hasStore("getSettingPropertyBool"))
        return false;
    return readValue(group, key).toBool();
}

QVariant PApplicationSettings::readValue(const QString &group, const QString &key) const
{
    return m_settings->value(group + QLatin1Char('/') + key, QVariant());
}

bool PApplicationSettings::hasStore(const char *operation) const
{
    if (m_settings)
        return true;
    PLOG_WARN << "PApplicationSettings:" << operation << "called before initSettingsGroup";
    return false;
}
