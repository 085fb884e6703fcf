#include "gui/shell/ShutdownSignals.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>

#include <fcntl.h>
#include <unistd.h>

namespace {
// The self-pipe: [0] read by the GUI thread, [1] written by the handler. -1 when not installed.
int s_pipe[2] = { -1, -1 };

const int relayedSignals[] = { SIGUSR1, SIGUSR2, SIGTERM, SIGQUIT };
const int fatalSignals[] = { SIGSEGV, SIGFPE };

extern "C" void relaySignal(int sig)
{
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(sig);
    // A full pipe already holds shut-down requests enough; the byte may be dropped.
    [[maybe_unused]] const ssize_t n = ::write(s_pipe[1], &byte, 1);
    errno = saved;
}

extern "C" void endOnFault(int)
{
    ::_exit(1);
}

void setHandler(int sig, void (*handler)(int))
{
    struct sigaction action = {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(sig, &action, nullptr);
}
} // namespace

ShutdownSignals::ShutdownSignals(QObject *parent)
    : QObject(parent)
{
    if (s_pipe[0] >= 0 || ::pipe2(s_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    m_notifier = new QSocketNotifier(s_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &ShutdownSignals::readPipe);
    setHandler(SIGINT, SIG_IGN);
    for (int sig : fatalSignals)
        setHandler(sig, endOnFault);
    for (int sig : relayedSignals)
        setHandler(sig, relaySignal);
}

ShutdownSignals::~ShutdownSignals()
{
    if (!m_notifier)
        return;
    for (int sig : relayedSignals)
        setHandler(sig, SIG_DFL);
    for (int sig : fatalSignals)
        setHandler(sig, SIG_DFL);
    setHandler(SIGINT, SIG_DFL);
    delete m_notifier;
    ::close(s_pipe[0]);
    ::close(s_pipe[1]);
    s_pipe[0] = s_pipe[1] = -1;
}

int ShutdownSignals::exitCodeFor(int sig)
{
    switch (sig) {
    case SIGTERM:
        return 0;
    case SIGUSR1:
        return 2;
    case SIGUSR2:
        return 3;
    default:
        return 1;
    }
}

void ShutdownSignals::readPipe()
{
    unsigned char bytes[16];
    ssize_t n;
    while ((n = ::read(s_pipe[0], bytes, sizeof bytes)) > 0) {
        for (ssize_t i = 0; i < n; ++i)
            Q_EMIT shutdownRequested(bytes[i]);
    }
}
