#ifndef PAPPLICATIONSETTINGS_H
#define PAPPLICATIONSETTINGS_H

#include "pelmora0_global.h"

#include <QSettings>
#include <QString>
#include <QVariant>

#include <memory>

// Typed access to the application's persistent settings, kept by QSettings in the
// platform's native store (user scope) under an organisation and an application name.
// Call initSettingsGroup first; until then writes are ignored and reads give empty values.
class PELMORA0_EXPORT PApplicationSettings
{
public:
    PApplicationSettings();
    ~PApplicationSettings();
    PApplicationSettings(const PApplicationSettings &) = delete;
    PApplicationSettings &operator=(const PApplicationSettings &) = delete;

    // Opens the store of that organisation and application, replacing any earlier one.
    void initSettingsGroup(const QString &organization, const QString &application);

    void setSettingProperty(const QString &group, const QString &key, const QVariant &value);
    // The value at group/key as text; empty when absent.
    QString getSettingProperty(const QString &group, const QString &key) const;
    // The value at group/key as a bool (QVariant::toBool); false when absent.
    bool getSettingPropertyBool(const QString &group, const QString &key) const;

private:
    QVariant readValue(const QString &group, const QString &key) const;
    bool hasStore(const char *operation) const;

    std::unique_ptr<QSettings> m_settings;
};

#endif // PAPPLICATIONSETTINGS_H
