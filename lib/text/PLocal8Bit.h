#ifndef PLOCAL8BIT_H
#define PLOCAL8BIT_H

#include "pelmora0_global.h"

#include <QByteArray>
#include <QString>

class QTextStream;

// The program's own 8-bit text: the encoding of QTextCodec::codecForLocale(), which a
// program may change with QTextCodec::setCodecForLocale (kvtmerge makes it Windows-1251 at
// start-up; before that it is the system's, UTF-8 on Linux). Its log file, its dumps, its
// admin hash file, and the command line and password file read before the change, are
// text in this encoding.
//
// Qt 5's QString::toLocal8Bit() and fromLocal8Bit() follow setCodecForLocale; Qt 6's do
// not (they always speak UTF-8 on Unix: "Ж" is c6 in Windows-1251 but d0 96 in UTF-8).
// Bytes that mean the program's encoding therefore go through here, the same under both.
namespace PLocal8Bit {

PELMORA0_EXPORT QByteArray encode(const QString &text);
// The text up to the first zero byte, as Qt 5's fromLocal8Bit(QByteArray) read it.
PELMORA0_EXPORT QString decode(const QByteArray &bytes);
// Makes the stream write and read the program's encoding as it is now: for the console,
// before the program changes it.
PELMORA0_EXPORT void setStreamEncoding(QTextStream &stream);

} // namespace PLocal8Bit

#endif // PLOCAL8BIT_H
