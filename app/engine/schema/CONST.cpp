#include "CONST.h"

const QString SQLDRIVER = QStringLiteral("QMYSQL");
const QString translationDir = QStringLiteral("/share/translations");
const QString langPrefixENGLISH = QStringLiteral("en");
const QString langPrefixRUSSIAN = QStringLiteral("ru");
const char *const iconAppPath = "res/appIcon.ico";

const QString tbDEFECTREF = QStringLiteral("defectref");
const QString tbDEFECTS = QStringLiteral("defects");
const QString tbDEFECTS_TMP = QStringLiteral("defects_tmp");
const QString tbDETTYPES = QStringLiteral("dettypes");
const QString tbDEVICE = QStringLiteral("device");
const QString tbFACTORY = QStringLiteral("factory");
const QString tbGRAPHICS = QStringLiteral("graphics");
const QString tbGRAPHICS_TMP = QStringLiteral("graphics_tmp");
const QString tbHUMAN = QStringLiteral("humans");
const QString tbQUART = QStringLiteral("quart");
const QString tbRESULT = QStringLiteral("results");
const QString tbSTATVIB = QStringLiteral("statvib");
const QString tbZONES = QStringLiteral("zones");
