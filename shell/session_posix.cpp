#include "shell/session.h"

#include <QSocketNotifier>
#include <atomic>
#include <cerrno>
#include <iterator>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// Ctrl+C in a terminal is a request to quit cleanly, like the end of the session.
constexpr int WatchedSignals[] = {SIGTERM, SIGHUP, SIGINT};
static_assert(std::size(WatchedSignals) == 3, "one saved handler per watched signal");

// The only state the signal handler touches; an always lock-free atomic is async-signal-safe.
std::atomic<int> s_wakeFd{-1};
static_assert(std::atomic<int>::is_always_lock_free);

extern "C" void onTerminationSignal(int)
{
    const int savedErrno = errno;
    const int fd = s_wakeFd.load();
    if (fd >= 0) {
        const char byte = 1;
        // A full socket already holds a wake-up, so a failed write loses nothing.
        [[maybe_unused]] const ssize_t n = ::write(fd, &byte, 1);
    }
    errno = savedErrno;
}

} // namespace

SessionEndWatcher::SessionEndWatcher(QObject* parent)
    : QObject(parent)
{
    m_active = install();
}

SessionEndWatcher::~SessionEndWatcher()
{
    if (m_active)
        uninstall();
}

bool SessionEndWatcher::install()
{
    if (s_wakeFd.load() >= 0)
        return false;
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, m_fds) != 0) {
        m_fds[0] = m_fds[1] = -1;
        return false;
    }
    s_wakeFd.store(m_fds[1]);

    struct sigaction action = {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int i = 0; i < SignalCount; ++i)
        ::sigaction(WatchedSignals[i], &action, &m_previous[i]);

    m_notifier = new QSocketNotifier(m_fds[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &SessionEndWatcher::onWakeUp);
    return true;
}

void SessionEndWatcher::uninstall()
{
    for (int i = 0; i < SignalCount; ++i)
        ::sigaction(WatchedSignals[i], &m_previous[i], nullptr);
    s_wakeFd.store(-1);
    delete m_notifier;
    m_notifier = nullptr;
    ::close(m_fds[0]);
    ::close(m_fds[1]);
    m_fds[0] = m_fds[1] = -1;
}

void SessionEndWatcher::onWakeUp()
{
    char buffer[64];
    while (::read(m_fds[0], buffer, sizeof buffer) > 0) {
    }
    if (m_emitted)
        return;
    // set before emitting, so a slot that spins the event loop cannot cause a second emission
    m_emitted = true;
    emit sessionEnding();
}
