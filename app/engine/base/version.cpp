#include "version.h"

#include "kvtversion.h"

const int kvtVersionMajor = KVT_VERSION_MAJOR;
const int kvtVersionMinor = KVT_VERSION_MINOR;
const int kvtVersionRevision = KVT_VERSION_REVISION;
const int kvtVersionBuild = KVT_VERSION_BUILD;

QString kvtVersionNumbers()
{
    return QStringLiteral("%1.%2.%3.%4")
        .arg(kvtVersionMajor)
        .arg(kvtVersionMinor)
        .arg(kvtVersionRevision)
        .arg(kvtVersionBuild);
}
