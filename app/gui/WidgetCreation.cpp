#include "WidgetCreation.h"

#include "CONST.h"
#include "mainwin.h"

#include "PSingleton.h"
#include "PWindowService.h"

WidgetCreation *WidgetCreation::instance = nullptr;

void WidgetCreation::createWindowMain()
{
    auto *window = new MainWin;
    window->setMainWinSize(MainWin::mwsIdle);
    PSingleton<PWindowService>::instance()->setDlgParameters(window, QString::fromUtf8(iconAppPath),
                                                             true, true);
}
