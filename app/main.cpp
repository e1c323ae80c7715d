#include "WidgetCreation.h"
#include "auxFunc.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    // 1. The application; the program reads no arguments of its own.
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
