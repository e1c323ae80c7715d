#include "version.h"

const int kvtVersionMajor = 0;
const int kvtVersionMinor = 2;
const int kvtVersionRevision = 0;
const int kvtVersionBuild = 121004;

QString kvtVersionNumbers()
{
    return QStringLiteral("%1.%2.%3.%4")
        .arg(kvtVersionMajor)
        .arg(kvtVersionMinor)
        .arg(kvtVersionRevision)
        .arg(kvtVersionBuild);
}
