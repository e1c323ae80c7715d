#ifndef STOPSIGNALS_H
#define STOPSIGNALS_H

#include <QObject>

class QSocketNotifier;

// Turns SIGINT and SIGTERM into a Qt signal on the thread that created the object, so a
// run can stop its worker at the next step and still write its report. The handler only
// writes one byte into a pipe that the event loop watches. After the first signal the
// default action is back in place: a second Ctrl+C ends the process at once.
// One object at a time; the previous handlers come back when it is destroyed.
class StopSignals : public QObject
{
    Q_OBJECT
public:
    explicit StopSignals(QObject *parent = nullptr);
    ~StopSignals() override;

    // False when the pipe or the handlers could not be set up.
    bool isActive() const { return m_notifier != nullptr; }

signals:
    void received(int signalNumber);

private:
    void readPipe();

    QSocketNotifier *m_notifier = nullptr;
};

#endif // STOPSIGNALS_H
