#include "PLocal8Bit.h"

#include <QTextCodec>
#include <QTextStream>

namespace PLocal8Bit {

QByteArray encode(const QString &text)
{
    return QTextCodec::codecForLocale()->fromUnicode(text);
}

QString decode(const QByteArray &bytes)
{
    return QTextCodec::codecForLocale()->toUnicode(bytes.constData(),
                                                   int(qstrnlen(bytes.constData(), uint(bytes.size()))));
}

// Qt 6's QTextStream knows only the encodings of QStringConverter, whose "System" is the
// system's encoding (UTF-8 on Unix): what codecForLocale() is before a program changes it.
void setStreamEncoding(QTextStream &stream)
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    stream.setEncoding(QStringConverter::System);
#else
    stream.setCodec(QTextCodec::codecForLocale());
#endif
}

} // namespace PLocal8Bit
