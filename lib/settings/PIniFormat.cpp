#include "PIniFormat.h"

#include "PLog.h"

#include <QSettings>
#include <QStringList>
#include <QTextCodec>

PIniFormat::PIniFormat(const QString &fileName, const QString &codecName)
    : m_file(fileName)
    , m_codec(QTextCodec::codecForName(codecName.toLocal8Bit()))
{
    if (!m_codec && !codecName.isEmpty())
        PLOG_WARN << "PIniFormat: unknown codec" << codecName << "- using the default INI encoding";
}

PIniFormat::PIniFormat(QObject *parent)
{
    Q_UNUSED(parent)
}

void PIniFormat::setFileWorkingWith(const QString &fileName)
{
    m_file.setFileName(fileName);
}

void PIniFormat::setIniProperty(const QString &group, const QString &key, const QString &value)
{
    if (key.isEmpty()) {
        PLOG_WARN << "PIniFormat: empty key, property not written to" << m_file.fileName();
        return;
    }
    if (!m_file.exists()) {
        PLOG_WARN << "PIniFormat: INI file not found, property not written:" << m_file.fileName();
        return;
    }
    QSettings ini(m_file.fileName(), QSettings::IniFormat);
    applyCodec(ini);
    ini.beginGroup(group);
    ini.setValue(key, QVariant(value));
    ini.endGroup();
    ini.sync();
    if (ini.status() != QSettings::NoError)
        PLOG_WARN << "PIniFormat: could not write" << group << key << "to" << m_file.fileName();
}

QString PIniFormat::getIniProperty(const QString &group, const QString &key) const
{
    if (key.isEmpty() || !m_file.exists())
        return QString();
    QSettings ini(m_file.fileName(), QSettings::IniFormat);
    applyCodec(ini);
    QVariant value = ini.value(path(group, key), QVariant());
    if (!value.isValid()) {
        const QString handWritten = path(asRawBytes(group), asRawBytes(key));
        if (handWritten != path(group, key))
            value = ini.value(handWritten, QVariant());
    }
    return valueText(value);
}

QString PIniFormat::path(const QString &group, const QString &key)
{
    return group.isEmpty() ? key : group + QLatin1Char('/') + key;
}

void PIniFormat::applyCodec(QSettings &ini) const
{
    if (m_codec)
        ini.setIniCodec(m_codec);
}

// QSettings writes non-ASCII characters of group and key names %-escaped, but reads
// name bytes that a person typed into the file (in the file's encoding) as Latin-1.
// This is the form under which such a hand-written name is found; the name itself when
// it has no such form.
QString PIniFormat::asRawBytes(const QString &name) const
{
    if (!m_codec || !m_codec->canEncode(name))
        return name;
    const QByteArray bytes = m_codec->fromUnicode(name);
    if (bytes.contains('\0'))
        return name;
    return QString::fromLatin1(bytes);
}

// An unquoted value holding commas comes back from QSettings as a list; give it back as
// the text it was rather than as nothing.
QString PIniFormat::valueText(const QVariant &value)
{
    if (value.userType() == QMetaType::QStringList)
        return value.toStringList().join(QLatin1String(", "));
    return value.toString();
}
