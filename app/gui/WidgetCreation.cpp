#include "WidgetCreation.h"

#include "CONST.h"
#include "auxFunc.h"
#include "mainwin.h"

#include "PSingleton.h"
#include "PWindowService.h"

// Q_INIT_RESOURCE must be used outside any namespace.
static void registerKvtResources()
{
    Q_INIT_RESOURCE(kvtmerge);
}

void initAppResources()
{
    static bool done = false;
    if (done)
        return;
    registerKvtResources();
    done = true;
}

WidgetCreation *WidgetCreation::instance = nullptr;

void WidgetCreation::createWindowMain()
{
    auto *window = new MainWin;
    window->setMainWinSize(MainWin::mwsIdle);
    PSingleton<PWindowService>::instance()->setDlgParameters(window, programFile(QString::fromUtf8(iconAppPath)),
                                                             true, true);
}
