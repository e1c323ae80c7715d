#ifndef WIDGETCREATION_H
#define WIDGETCREATION_H

// Registers the compiled-in resource bundle (":/pic/..." icons) of the static library
// kvtmerge_gui. Call once before the first window; safe to call again.
void initAppResources();

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
