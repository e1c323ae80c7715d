#include "CONST.h"

#include "KvtTables.h"

const QString SQLDRIVER = QStringLiteral("QMYSQL");
const QString langPrefixENGLISH = QStringLiteral("en");
const QString langPrefixRUSSIAN = QStringLiteral("ru");
const char *const iconAppPath = "res/appIcon.ico";

// The merged tables are named in their description (KvtTables).
const QString tbDEFECTREF = KvtTable::of(tnDefectRef).name;
const QString tbDEFECTS = KvtTable::of(tnDefects).name;
const QString tbDEFECTS_TMP = QStringLiteral("defects_tmp");
const QString tbDETTYPES = KvtTable::of(tnDetTypes).name;
const QString tbDEVICE = KvtTable::of(tnDevice).name;
const QString tbFACTORY = KvtTable::of(tnFactory).name;
const QString tbGRAPHICS = KvtTable::of(tnGraphics).name;
const QString tbGRAPHICS_TMP = QStringLiteral("graphics_tmp");
const QString tbHUMAN = KvtTable::of(tnHumans).name;
const QString tbQUART = QStringLiteral("quart");
const QString tbRESULT = KvtTable::of(tnResults).name;
const QString tbSTATVIB = QStringLiteral("statvib");
const QString tbZONES = KvtTable::of(tnZones).name;
