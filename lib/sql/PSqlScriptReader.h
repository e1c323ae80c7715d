#ifndef PSQLSCRIPTREADER_H
#define PSQLSCRIPTREADER_H

#include "pelmora0_global.h"

#include <QString>

class QTextStream;

// Reads an SQL script file into one text to be sent to the server in a single call:
// every line ended by CR LF, and one more CR LF for the end of the file. Comments,
// delimiters and semicolons are left to the server.
class PELMORA0_EXPORT PSqlScriptReader
{
public:
    // False when the file cannot be opened; script is then left as it was.
    static bool read(const QString &fileName, QString &script);
    // The same for a text already in memory, split at "\n" or "\r\n".
    static QString fromText(const QString &text);

private:
    static QString fromStream(QTextStream &in);

    static const char *const lineEnd;
};

#endif // PSQLSCRIPTREADER_H
