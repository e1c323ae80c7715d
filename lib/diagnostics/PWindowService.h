#ifndef PWINDOWSERVICE_H
#define PWINDOWSERVICE_H

#include "pelmora0_global.h"

#include <QString>

class QDialog;
class QWidget;

// Window decoration helpers: centring, icon, fixed flag sets, and one call that prepares
// and shows a window or runs a dialog. Holds no state; programs reach it through
// PSingleton<PWindowService>::instance(). GUI thread only.
class PELMORA0_EXPORT PWindowService
{
public:
    PWindowService() = default;

    // Window state maximised (replaces the state).
    void setWindowMaximized(QWidget *widget);
    // The flags below replace all existing flags (values 0x40000, 0x2000, 0x42100).
    void setWindowStayOnTop(QWidget *widget);
    void setWindowFixed(QWidget *widget);
    void setWindowFixedCloseOnlyStayOnTop(QWidget *widget);
    // Window icon from one file; the path is UTF-8 text. A missing file gives no icon.
    void setWindowIcon(const char *fileName, QWidget *widget);
    // Centres the widget's client rectangle on the default screen's available area.
    void setWindowCenter(QWidget *widget);

    // Centres the window, sets its icon, optionally delete-on-close, optionally shows it.
    // A null widget is ignored.
    void setDlgParameters(QWidget *widget, QString iconPath, bool deleteOnClose, bool show);
    // Centres the dialog, sets its icon, makes it modal, optionally delete-on-close, and
    // optionally runs it (returns when it closes; its result is discarded).
    // A null dialog is ignored.
    void setDlgParameters(QDialog *dialog, QString iconPath, bool deleteOnClose, bool run);

private:
    void decorate(QWidget *widget, const QString &iconPath);
};

#endif // PWINDOWSERVICE_H
