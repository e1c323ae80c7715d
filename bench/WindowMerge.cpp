#include "WindowMerge.h"

#include "dbAccess.h"
#include "mainwin.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QState>
#include <QTimer>

#include <functional>

namespace {

template <typename T>
T *widget(QObject *window, const char *name)
{
    return window->findChild<T *>(QString::fromLatin1(name));
}

// Runs the event loop until done() holds or the time is up.
bool waitFor(const std::function<bool()> &done, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    QEventLoop loop;
    while (!done()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        loop.processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 50);
    }
    return true;
}

} // namespace

bool WindowMerge::run(qint64 &elapsedMs, QString &error) const
{
    QElapsedTimer timer;
    timer.start();
    MainWin window;
    window.show();
    widget<QLineEdit>(&window, "edHost")->setText(host);
    widget<QLineEdit>(&window, "edPort")->setText(QString::number(port));
    widget<QLineEdit>(&window, "edUser")->setText(user);
    widget<QLineEdit>(&window, "edPassword")->setText(password);
    widget<QPushButton>(&window, "btnConnect")->click();
    if (!DBAccess::instance()->isOpen()) {
        error = QStringLiteral("the window did not connect: ") + widget<QLabel>(&window, "lbStatus")->text();
        return false;
    }
    widget<QSpinBox>(&window, "spinTableSource")->setValue(int(sources.size()));
    QLayout *fields = widget<QLayout>(&window, "layoutTableSource");
    for (int i = 0; i < sources.size(); ++i)
        qobject_cast<QLineEdit *>(fields->itemAt(i + 1)->widget())->setText(sources.at(i));
    widget<QLineEdit>(&window, "edToTable")->setText(destination);
    widget<QAction>(&window, "actionKeepReferences")->setChecked(keepReferences);
    window.setActionForDiffRecords(standingChoice);

    // The button's state machine starts with the event loop: a click before it is lost.
    auto *start = widget<QState>(&window, "btnStartMerge");
    if (!start || !waitFor([start] { return start->active(); }, 10000)) {
        error = QStringLiteral("the merge button did not become ready");
        return false;
    }
    bool finished = false;
    QObject::connect(&window, &MainWin::mergeFinished, [&finished] { finished = true; });
    // A box the window shows (an error) ends the measurement as a failure; it is answered
    // so that the merge can end.
    QString box;
    QTimer boxes;
    QObject::connect(&boxes, &QTimer::timeout, [&box] {
        if (auto *shown = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            box = shown->windowTitle() + QStringLiteral(": ") + shown->text();
            shown->reject();
        }
    });
    boxes.start(100);
    widget<QPushButton>(&window, "btnMerge")->click();
    if (!waitFor([&finished] { return finished; }, timeoutMs)) {
        error = QStringLiteral("the merge did not end within %1 s").arg(timeoutMs / 1000);
        return false;
    }
    elapsedMs = timer.elapsed();
    if (!box.isEmpty()) {
        error = QStringLiteral("the window showed \"%1\"").arg(box);
        return false;
    }
    const QString status = widget<QLabel>(&window, "lbStatus")->text();
    if (status != MainWin::tr("Merger completed")) {
        error = QStringLiteral("the merge ended with \"%1\"").arg(status);
        return false;
    }
    return true;
}
