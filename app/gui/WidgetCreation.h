#ifndef WIDGETCREATION_H
#define WIDGETCREATION_H

// Factory of the program's main window. No data of its own; its one object is reached
// through WidgetCreation::instance, which users create on first use.
class WidgetCreation
{
public:
    // Null until first use; never deleted.
    static WidgetCreation *instance;

    // Creates the main window (no parent), fixes it at 350 x 280 and presents it through
    // the window service: centred, icon from iconAppPath, delete-on-close, shown.
    void createWindowMain();
};

#endif // WIDGETCREATION_H
