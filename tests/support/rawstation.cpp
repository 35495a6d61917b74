#include "tests/support/rawstation.h"

#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

int msLeft(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? int(left) : 0;
}

} // namespace

QByteArray nextLoopbackSource() {
    static std::atomic<unsigned> next = 0;
    return "127.0.100." + QByteArray::number(1 + next++ % 250);
}

RawStation::~RawStation() { close(); }

bool RawStation::connectTo(std::uint16_t port, int timeoutMs) {
    close();
    m_reset = false;
    m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (m_fd < 0) return false;
    // The source port is chosen at the connect, as without the bind: a port taken at the bind would
    // come from the range the tests' free ports come from, and its time-wait hold them.
    const int one = 1;
    ::setsockopt(m_fd, IPPROTO_IP, IP_BIND_ADDRESS_NO_PORT, &one, sizeof one);
    ::setsockopt(m_fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in from{};
    from.sin_family = AF_INET;
    if (::inet_pton(AF_INET, (m_source.isEmpty() ? nextLoopbackSource() : m_source).constData(), &from.sin_addr) != 1 ||
        ::bind(m_fd, reinterpret_cast<const sockaddr*>(&from), sizeof from) != 0) {
        close();
        return false;
    }
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(m_fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
        if (errno != EINPROGRESS) {
            close();
            return false;
        }
        pollfd p{m_fd, POLLOUT, 0};
        int error = 0;
        socklen_t len = sizeof error;
        if (::poll(&p, 1, timeoutMs) != 1 || ::getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &error, &len) != 0 ||
            error != 0) {
            close();
            return false;
        }
    }
    return true;
}

bool RawStation::connectRetrying(std::uint16_t port, int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!connectTo(port, msLeft(deadline))) {
        if (Clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

bool RawStation::send(const QByteArray& bytes, int timeoutMs) {
    if (m_fd < 0) return false;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::send(m_fd, bytes.constData() + done, size_t(bytes.size() - done), MSG_NOSIGNAL);
        if (n > 0) {
            done += n;
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) return false;
        pollfd p{m_fd, POLLOUT, 0};
        if (::poll(&p, 1, msLeft(deadline)) != 1) return false;
    }
    return true;
}

bool RawStation::waitClosed(int timeoutMs) {
    if (m_fd < 0) return true;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    char buf[4096];
    for (;;) {
        const ssize_t n = ::recv(m_fd, buf, sizeof buf, 0);
        if (n == 0) return true;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
            m_reset = errno == ECONNRESET;
            return true;
        }
        if (n > 0) continue;
        pollfd p{m_fd, POLLIN, 0};
        const int left = msLeft(deadline);
        if (left == 0 || ::poll(&p, 1, left) == 0) return false;
    }
}

void RawStation::reset() {
    if (m_fd < 0) return;
    const linger abortive{1, 0};
    ::setsockopt(m_fd, SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
    close();
}

void RawStation::close() {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
}
