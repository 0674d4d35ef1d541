#include "speech/socketprobe_linux.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

class Fd
{
public:
    explicit Fd(int fd)
        : m_fd(fd)
    {
    }
    ~Fd()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

int remainingMs(Clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

// poll() until the event or the deadline; false on time-out.
bool waitFor(int fd, short events, Clock::time_point deadline)
{
    for (;;) {
        pollfd p{fd, events, 0};
        const int n = ::poll(&p, 1, remainingMs(deadline));
        if (n > 0)
            return true;
        if (n == 0 || errno != EINTR)
            return false;
    }
}

// A local socket connects at once or not at all.
ProbeResult connectUnix(const std::string& path, int& fdOut)
{
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (path.size() >= sizeof(addr.sun_path))
        return ProbeResult::Absent;
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return ProbeResult::Absent;
    fdOut = fd;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) == 0)
        return ProbeResult::Answered;
    // A full backlog: the server does not accept any more.
    if (errno == EAGAIN)
        return ProbeResult::Silent;
    return ProbeResult::Absent;
}

ProbeResult connectInet(const std::string& host, int port, Clock::time_point deadline, int& fdOut)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.empty() ? "127.0.0.1" : host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0)
        return ProbeResult::Absent;
    ProbeResult result = ProbeResult::Absent;
    for (addrinfo* a = found; a && result == ProbeResult::Absent; a = a->ai_next) {
        const int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
        if (fd < 0)
            continue;
        if (::connect(fd, a->ai_addr, a->ai_addrlen) == 0) {
            result = ProbeResult::Answered;
        } else if (errno == EINPROGRESS) {
            int error = 0;
            socklen_t length = sizeof(error);
            if (!waitFor(fd, POLLOUT, deadline))
                result = ProbeResult::Silent;
            else if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0)
                result = ProbeResult::Answered;
        }
        if (result == ProbeResult::Absent)
            ::close(fd);
        else
            fdOut = fd;
    }
    ::freeaddrinfo(found);
    return result;
}

} // namespace

ProbeResult ProbeServer(const ServerAddress& address, const std::string& greeting, int timeoutMs, std::string* answer)
{
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    int raw = -1;
    const ProbeResult connected = address.unixPath.empty() ? connectInet(address.host, address.port, deadline, raw)
                                                           : connectUnix(address.unixPath, raw);
    Fd fd(raw);
    if (connected != ProbeResult::Answered)
        return connected;
    if (!greeting.empty() && ::send(fd.get(), greeting.data(), greeting.size(), MSG_NOSIGNAL) < 0)
        return ProbeResult::Absent;
    if (!waitFor(fd.get(), POLLIN, deadline))
        return ProbeResult::Silent;
    char buffer[256];
    const ssize_t n = ::recv(fd.get(), buffer, sizeof(buffer), 0);
    if (n <= 0)
        return ProbeResult::Absent;
    if (answer)
        answer->assign(buffer, static_cast<size_t>(n));
    return ProbeResult::Answered;
}

void SetSocketTimeouts(int fd, int timeoutMs)
{
    timeval t{};
    t.tv_sec = timeoutMs / 1000;
    t.tv_usec = (timeoutMs % 1000) * 1000;
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &t, sizeof(t));
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &t, sizeof(t));
}
