#include "platform/unixsignalwatcher.h"

#include "platform/logging.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// [0] is written by the handler, [1] read by the event loop. One pair serves every
// watcher of the process; there is only ever one.
int signalSockets[2] = { -1, -1 };

extern "C" void onSignal(int signalNumber)
{
    const int savedErrno = errno;
    const unsigned char byte = static_cast<unsigned char>(signalNumber);
    [[maybe_unused]] const ssize_t written = ::write(signalSockets[0], &byte, 1);
    errno = savedErrno;
}

} // namespace

UnixSignalWatcher::UnixSignalWatcher(std::initializer_list<int> signalNumbers, QObject *parent)
    : QObject(parent)
{
    if (signalSockets[0] < 0
        && ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalSockets) != 0) {
        qCWarning(lcPlatform, "Cannot watch for termination signals: no socket pair");
        return;
    }
    ::fcntl(signalSockets[0], F_SETFL, O_NONBLOCK);

    m_notifier = new QSocketNotifier(signalSockets[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &UnixSignalWatcher::readSignal);

    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signalNumber : signalNumbers) {
        Watched watched{ signalNumber, {} };
        if (::sigaction(signalNumber, nullptr, &watched.previous) != 0
            || watched.previous.sa_handler == SIG_IGN)
            continue;
        if (::sigaction(signalNumber, &action, nullptr) == 0)
            m_watched.append(watched);
    }
}

UnixSignalWatcher::~UnixSignalWatcher()
{
    // Back to what was there before, unless the handler was replaced since (by an
    // ignore that must hold to the end of the process, for one).
    for (const Watched &watched : std::as_const(m_watched)) {
        struct sigaction current = {};
        if (::sigaction(watched.signalNumber, nullptr, &current) == 0
            && current.sa_handler == onSignal)
            ::sigaction(watched.signalNumber, &watched.previous, nullptr);
    }
}

void UnixSignalWatcher::ignoreFromNowOn()
{
    m_ignoring = true;
    for (const Watched &watched : std::as_const(m_watched))
        ::signal(watched.signalNumber, SIG_IGN);
}

void UnixSignalWatcher::readSignal()
{
    unsigned char byte = 0;
    if (::read(signalSockets[1], &byte, 1) == 1 && !m_ignoring)
        Q_EMIT received(byte);
}
