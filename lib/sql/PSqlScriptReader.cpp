#include "PSqlScriptReader.h"

#include <QFile>
#include <QTextStream>

const char *const PSqlScriptReader::lineEnd = "\r\n";

bool PSqlScriptReader::read(const QString &fileName, QString &script)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    QTextStream in(&file);
    in.setCodec("UTF-8");
    script = fromStream(in);
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
