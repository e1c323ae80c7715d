#ifndef PINIFORMAT_H
#define PINIFORMAT_H

#include "pelmora0_global.h"

#include <QFile>
#include <QString>

class QObject;
class QTextCodec;

// Reads and writes single properties of an existing INI file in a chosen text encoding.
// Every call opens, uses and closes its own QSettings, so no file stays open between calls.
// Without a codec (none named, or an unknown name) QSettings' default INI encoding is used.
class PELMORA0_EXPORT PIniFormat
{
public:
    PIniFormat(const QString &fileName, const QString &codecName);
    // The parent is not used; the object has neither a file nor a codec.
    explicit PIniFormat(QObject *parent = nullptr);
    PIniFormat(const PIniFormat &) = delete;
    PIniFormat &operator=(const PIniFormat &) = delete;

    void setFileWorkingWith(const QString &fileName);

    // Writes the value under group/key. Only an existing file is changed: a missing
    // file is left missing.
    void setIniProperty(const QString &group, const QString &key, const QString &value);
    // The value under group/key; empty when the file, the group or the key is absent.
    QString getIniProperty(const QString &group, const QString &key) const;

private:
    class CodedIni;

    QString asRawBytes(const QString &name) const;
    static QString path(const QString &group, const QString &key);
    static QString valueText(const QVariant &value);

    QFile m_file;
    QTextCodec *m_codec = nullptr;
};

#endif // PINIFORMAT_H
