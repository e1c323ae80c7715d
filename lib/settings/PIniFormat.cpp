#include "PIniFormat.h"

#include "PLog.h"

#include <QSaveFile>
#include <QSettings>
#include <QStringList>
#include <QTemporaryDir>
#include <QTextCodec>

#include <memory>

// QSettings on an INI file in the codec's encoding, as Qt 5 reads and writes it. Qt 5's
// QSettings does that itself (setIniCodec). Qt 6's reads and writes INI files as UTF-8
// only, so there it works on a UTF-8 copy: names (section headers and keys, which Qt 5
// reads byte by byte as Latin-1) and values (which it reads in the codec) are copied as
// the characters Qt 5 reads, and what QSettings wrote goes back in the codec: its names
// are plain ASCII (%-escaped), its values the characters Qt 5 writes in the codec.
class PIniFormat::CodedIni
{
public:
    CodedIni(const QString &path, QTextCodec *codec);
    QSettings &settings() { return *m_settings; }
    // Writes what changed back into the file; true when nothing failed.
    bool commit();

private:
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    static QByteArray asUtf8(const QByteArray &coded, QTextCodec *codec);

    QString m_path;
    QTextCodec *m_codec = nullptr;
    std::unique_ptr<QTemporaryDir> m_copyDir;
    QString m_copy; // empty when QSettings works on the file itself
    QByteArray m_copied;
#endif
    std::unique_ptr<QSettings> m_settings;
};

#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)

PIniFormat::CodedIni::CodedIni(const QString &path, QTextCodec *codec)
    : m_path(path)
    , m_codec(codec)
{
    if (m_codec) {
        m_copyDir = std::make_unique<QTemporaryDir>();
        QFile original(path);
        const QString copyPath = m_copyDir->filePath(QStringLiteral("copy.ini"));
        QFile copy(copyPath);
        if (m_copyDir->isValid() && original.open(QIODevice::ReadOnly) && copy.open(QIODevice::WriteOnly)) {
            m_copied = asUtf8(original.readAll(), m_codec);
            if (copy.write(m_copied) == m_copied.size() && copy.flush())
                m_copy = copyPath;
            copy.close();
        }
        if (m_copy.isEmpty())
            PLOG_WARN << "PIniFormat: cannot read" << path << "in its encoding";
    }
    m_settings = std::make_unique<QSettings>(m_copy.isEmpty() ? path : m_copy, QSettings::IniFormat);
}

bool PIniFormat::CodedIni::commit()
{
    m_settings->sync();
    if (m_settings->status() != QSettings::NoError)
        return false;
    if (m_copy.isEmpty())
        return true;
    QFile copy(m_copy);
    if (!copy.open(QIODevice::ReadOnly))
        return false;
    const QByteArray written = copy.readAll();
    if (written == m_copied)
        return true;
    QSaveFile file(m_path);
    const QByteArray coded = m_codec->fromUnicode(QString::fromUtf8(written));
    return file.open(QIODevice::WriteOnly) && file.write(coded) == coded.size() && file.commit();
}

QByteArray PIniFormat::CodedIni::asUtf8(const QByteArray &coded, QTextCodec *codec)
{
    QByteArray utf8;
    utf8.reserve(coded.size() * 2);
    const QList<QByteArray> lines = coded.split('\n');
    for (int i = 0; i < lines.size(); ++i) {
        const QByteArray &line = lines.at(i);
        const QByteArray trimmed = line.trimmed();
        const int equals = line.indexOf('=');
        if (trimmed.startsWith('[') || trimmed.startsWith(';') || equals < 0) {
            utf8 += QString::fromLatin1(line).toUtf8();
        } else {
            utf8 += QString::fromLatin1(line.left(equals)).toUtf8();
            utf8 += codec->toUnicode(line.mid(equals)).toUtf8();
        }
        if (i + 1 < lines.size())
            utf8 += '\n';
    }
    return utf8;
}

#else

PIniFormat::CodedIni::CodedIni(const QString &path, QTextCodec *codec)
    : m_settings(std::make_unique<QSettings>(path, QSettings::IniFormat))
{
    if (codec)
        m_settings->setIniCodec(codec);
}

bool PIniFormat::CodedIni::commit()
{
    m_settings->sync();
    return m_settings->status() == QSettings::NoError;
}

#endif

PIniFormat::PIniFormat(const QString &fileName, const QString &codecName)
    : m_file(fileName)
    , m_codec(QTextCodec::codecForName(codecName.toLatin1()))
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
    CodedIni file(m_file.fileName(), m_codec);
    QSettings &ini = file.settings();
    ini.beginGroup(group);
    ini.setValue(key, QVariant(value));
    ini.endGroup();
    if (!file.commit())
        PLOG_WARN << "PIniFormat: could not write" << group << key << "to" << m_file.fileName();
}

QString PIniFormat::getIniProperty(const QString &group, const QString &key) const
{
    if (key.isEmpty() || !m_file.exists())
        return QString();
    CodedIni file(m_file.fileName(), m_codec);
    const QSettings &ini = file.settings();
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
