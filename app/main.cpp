#include "BatchCommandLine.h"
#include "BatchMain.h"
#include "WidgetCreation.h"
#include "auxFunc.h"
#include "version.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    // Decided before any application object exists: --batch, --help, --version (and a
    // command line to refuse) need no display, so they never create a QApplication.
    if (BatchCommandLine::wantsConsole(commandLineArguments(argc, argv)))
        return runWithoutWindow(argc, argv);

    // 1. The application; only Qt's own window options are on the command line.
    QApplication app(argc, argv);
    initAppResources();
    // 2. to 6.: names (the log file, the settings and the translation lookup depend on
    // them), codec, log file, banner, and the interface language before any window.
    initApplication();
    // 7.
    if (!WidgetCreation::instance)
        WidgetCreation::instance = new WidgetCreation;
    WidgetCreation::instance->createWindowMain();
    // 8. Closing the main window (delete-on-close, the last window) ends the loop.
    return app.exec();
}
