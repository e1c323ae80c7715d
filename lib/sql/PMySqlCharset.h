#ifndef PMYSQLCHARSET_H
#define PMYSQLCHARSET_H

#include "pelmora0_global.h"

class QSqlDatabase;
class QSqlError;

// Makes a MySQL/MariaDB connection carry every Unicode text unchanged.
//
// Qt's MySQL driver decodes the connection's text with the codec named after the
// client's character set. Debian's MariaDB client reports that set as "utf8mb3", a name
// Qt has no codec for, so the driver falls back to the codec for the locale; a program
// that makes Windows-1251 its locale codec would then read and write UTF-8 bytes as
// Windows-1251 and corrupt every Cyrillic text. And the driver talks utf8mb3, which
// refuses characters outside the Basic Multilingual Plane.
class PELMORA0_EXPORT PMySqlCharset
{
public:
    // Registers "utf8mb3" and "utf8mb4" as names of UTF-8 for the driver. Call before a
    // connection opens; repeated calls do nothing.
    static void registerDriverCodec();

    // Switches an open connection to utf8mb4. False with the error filled on failure.
    static bool switchToUtf8mb4(QSqlDatabase &db, QSqlError *error = nullptr);
};

#endif // PMYSQLCHARSET_H
