#include "PSqlScriptReader.h"

#include <QFile>
#include <QTextCodec>
#include <QTextStream>

const char *const PSqlScriptReader::lineEnd = "\r\n";

bool PSqlScriptReader::read(const QString &fileName, QString &script)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    // UTF-8 unless a byte order mark says otherwise; the mark is not part of the script.
    const QByteArray bytes = file.readAll();
    script = fromText(QTextCodec::codecForUtfText(bytes, QTextCodec::codecForName("UTF-8"))->toUnicode(bytes));
    return true;
}

QString PSqlScriptReader::fromText(const QString &text)
{
    QString copy = text;
    QTextStream in(&copy, QIODevice::ReadOnly);
    return fromStream(in);
}

QString PSqlScriptReader::fromStream(QTextStream &in)
{
    QString script;
    QString line;
    while (in.readLineInto(&line))
        script += line + QLatin1String(lineEnd);
    script += QLatin1String(lineEnd);
    return script;
}
