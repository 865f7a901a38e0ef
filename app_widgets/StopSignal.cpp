#include "StopSignal.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace zorv {

namespace {

const int stopSignals[] = {SIGTERM, SIGINT};
struct sigaction previous[2];
// [0] written by the handler, [1] read by the event loop.
int sockets[2] = {-1, -1};

} // namespace

StopSignal::StopSignal(QObject *parent)
    : QObject(parent)
{
    // Non-blocking: a handler must never wait; when the buffer is full, a
    // stop is pending anyway.
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, sockets) != 0)
        return;
    notifier = new QSocketNotifier(sockets[1], QSocketNotifier::Read, this);
    connect(notifier, SIGNAL(activated(int)), this, SLOT(onActivated()));
    for (int i = 0; i < 2; ++i) {
        struct sigaction action = {};
        action.sa_handler = handle;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        ::sigaction(stopSignals[i], &action, &previous[i]);
    }
}

StopSignal::~StopSignal()
{
    if (!notifier)
        return;
    for (int i = 0; i < 2; ++i)
        ::sigaction(stopSignals[i], &previous[i], nullptr);
    delete notifier;
    ::close(sockets[0]);
    ::close(sockets[1]);
    sockets[0] = sockets[1] = -1;
}

// Only async-signal-safe calls here.
void StopSignal::handle(int)
{
    const int savedErrno = errno;
    const char byte = 1;
    const ssize_t written = ::write(sockets[0], &byte, 1);
    static_cast<void>(written);
    errno = savedErrno;
}

void StopSignal::onActivated()
{
    char bytes[16];
    ssize_t count;
    while ((count = ::read(sockets[1], bytes, sizeof bytes)) > 0) {
        for (ssize_t i = 0; i < count; ++i)
            emit received();
    }
}

} // namespace zorv
