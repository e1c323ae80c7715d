#include "StopSignals.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

int pipeEnds[2] = {-1, -1};
struct sigaction previousInt;
struct sigaction previousTerm;

extern "C" void onStopSignal(int signalNumber)
{
    const int savedErrno = errno;
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    sigaction(signalNumber, &fallback, nullptr);
    const unsigned char byte = static_cast<unsigned char>(signalNumber);
    if (write(pipeEnds[1], &byte, 1) < 0) {
        // Nothing can be done inside a handler; the pipe only fills after 64 KiB of signals.
    }
    errno = savedErrno;
}

} // namespace

StopSignals::StopSignals(QObject *parent)
    : QObject(parent)
{
    if (pipe2(pipeEnds, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, &previousInt);
    sigaction(SIGTERM, &action, &previousTerm);
    m_notifier = new QSocketNotifier(pipeEnds[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &StopSignals::readPipe);
}

StopSignals::~StopSignals()
{
    if (!m_notifier)
        return;
    sigaction(SIGINT, &previousInt, nullptr);
    sigaction(SIGTERM, &previousTerm, nullptr);
    delete m_notifier;
    close(pipeEnds[0]);
    close(pipeEnds[1]);
    pipeEnds[0] = pipeEnds[1] = -1;
}

void StopSignals::readPipe()
{
    unsigned char byte = 0;
    while (read(pipeEnds[0], &byte, 1) == 1)
        emit received(byte);
}
