#ifndef CONST_H
#define CONST_H

#include <QString>

// Qt SQL driver offered and used for every connection.
extern const QString SQLDRIVER;
extern const QString langPrefixENGLISH;
extern const QString langPrefixRUSSIAN;
// Window icon file, relative to the working directory or else to the folder of the
// shipped files (KvtPaths::shippedFilesFolder).
extern const char *const iconAppPath;

// Tables of a KVT database; the nine merged ones as their description (KvtTables) names
// them.
extern const QString tbDEFECTREF;
extern const QString tbDEFECTS;
extern const QString tbDEFECTS_TMP;
extern const QString tbDETTYPES;
extern const QString tbDEVICE;
extern const QString tbFACTORY;
extern const QString tbGRAPHICS;
extern const QString tbGRAPHICS_TMP;
extern const QString tbHUMAN;
extern const QString tbQUART;
extern const QString tbRESULT;
extern const QString tbSTATVIB;
extern const QString tbZONES;

#endif // CONST_H
