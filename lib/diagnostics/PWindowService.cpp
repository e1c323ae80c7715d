#include "PWindowService.h"

#include <QDialog>
#include <QGuiApplication>
#include <QIcon>
#include <QRect>
#include <QScreen>
#include <QWidget>

void PWindowService::setWindowMaximized(QWidget *widget)
{
    widget->setWindowState(Qt::WindowMaximized);
}

void PWindowService::setWindowStayOnTop(QWidget *widget)
{
    widget->setWindowFlags(Qt::WindowStaysOnTopHint);
}

void PWindowService::setWindowFixed(QWidget *widget)
{
    widget->setWindowFlags(Qt::WindowSystemMenuHint);
}

void PWindowService::setWindowFixedCloseOnlyStayOnTop(QWidget *widget)
{
    widget->setWindowFlags(Qt::MSWindowsFixedSizeDialogHint | Qt::WindowSystemMenuHint
                           | Qt::WindowStaysOnTopHint);
}

void PWindowService::setWindowIcon(const char *fileName, QWidget *widget)
{
    QIcon icon;
    icon.addFile(QString::fromUtf8(fileName), QSize(), QIcon::Normal, QIcon::Off);
    widget->setWindowIcon(icon);
}

void PWindowService::setWindowCenter(QWidget *widget)
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    QRect rect = widget->geometry();
    const QRect area = screen->availableGeometry();
    // QRect's right() and bottom() are the last pixels inside; moveCenter places the
    // rectangle so that ((left + right) / 2, (top + bottom) / 2) is that point.
    rect.moveCenter(QPoint((area.left() + area.right()) / 2, (area.top() + area.bottom()) / 2));
    widget->setGeometry(rect);
}

void PWindowService::decorate(QWidget *widget, const QString &iconPath)
{
    setWindowCenter(widget);
    // The path travels as UTF-8 both ways (Qt 5's C-string conversion), so it survives
    // whatever characters it holds.
    setWindowIcon(iconPath.toUtf8().constData(), widget);
}

void PWindowService::setDlgParameters(QWidget *widget, QString iconPath, bool deleteOnClose, bool show)
{
    if (!widget)
        return;
    decorate(widget, iconPath);
    if (deleteOnClose)
        widget->setAttribute(Qt::WA_DeleteOnClose);
    if (show)
        widget->setVisible(true);
}

void PWindowService::setDlgParameters(QDialog *dialog, QString iconPath, bool deleteOnClose, bool run)
{
    if (!dialog)
        return;
    decorate(dialog, iconPath);
    dialog->setModal(true);
    if (deleteOnClose)
        dialog->setAttribute(Qt::WA_DeleteOnClose);
    if (run)
        dialog->exec();
}
