#include "bench/tcpproxy.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

namespace {

sockaddr_in loopback(std::uint16_t port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return a;
}

// Ends a connection with a reset, as a network that drops it leaves the peer.
void cut(int fd) {
    linger l{1, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &l, sizeof l);
    ::close(fd);
}

} // namespace

struct TcpProxy::Link {
    int client = -1;
    int server = -1;
    unsigned generation = 0; // the mode's generation at accept
    std::atomic<bool> done = false;
    std::thread thread;
};

TcpProxy::TcpProxy(std::uint16_t target) : m_target(target) {
    m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int one = 1;
    ::setsockopt(m_listener, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in a = loopback(0);
    socklen_t len = sizeof a;
    if (::bind(m_listener, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(m_listener, 64) != 0 ||
        ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&a), &len) != 0)
        throw std::runtime_error("the proxy cannot listen on loopback");
    m_port = ntohs(a.sin_port);
    m_acceptor = std::thread([this] { acceptLoop(); });
}

TcpProxy::~TcpProxy() {
    m_stop = true;
    m_acceptor.join();
    ::close(m_listener);
    std::lock_guard lock(m_mutex);
    for (auto& link : m_links) link->thread.join();
}

void TcpProxy::setMode(Mode mode, int slowMs) {
    m_slowMs = slowMs;
    m_mode = mode;
    ++m_generation;
}

void TcpProxy::acceptLoop() {
    while (!m_stop) {
        {
            // Forget the links that ended.
            std::lock_guard lock(m_mutex);
            for (auto it = m_links.begin(); it != m_links.end();) {
                if ((*it)->done) {
                    (*it)->thread.join();
                    it = m_links.erase(it);
                } else {
                    ++it;
                }
            }
        }
        pollfd p{m_listener, POLLIN, 0};
        if (::poll(&p, 1, 50) != 1) continue;
        const int client = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) continue;
        if (m_mode == Mode::Refuse) {
            cut(client);
            continue;
        }
        const timeval sendBound{2, 0}; // a peer that stopped reading never holds a thread for long
        ::setsockopt(client, SOL_SOCKET, SO_SNDTIMEO, &sendBound, sizeof sendBound);
        auto link = std::make_unique<Link>();
        link->client = client;
        link->generation = m_generation;
        if (m_mode != Mode::Blackhole) {
            link->server = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            ::setsockopt(link->server, SOL_SOCKET, SO_SNDTIMEO, &sendBound, sizeof sendBound);
            const sockaddr_in a = loopback(m_target);
            if (::connect(link->server, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0) {
                ::close(link->server);
                cut(client);
                continue;
            }
        }
        Link& l = *link;
        std::lock_guard lock(m_mutex);
        m_links.push_back(std::move(link));
        l.thread = std::thread([this, &l] { forward(l); });
    }
}

void TcpProxy::forward(Link& link) {
    ++m_open;
    const bool blackholed = link.server < 0;
    char buffer[16384];
    while (!m_stop) {
        const Mode mode = m_mode;
        if (mode == Mode::Refuse) break;
        if (blackholed && link.generation != m_generation) break; // the blackhole ended
        if (blackholed || mode == Mode::Blackhole || mode == Mode::Stall) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            continue;
        }
        pollfd p[2] = {{link.client, POLLIN, 0}, {link.server, POLLIN, 0}};
        if (::poll(p, 2, 50) <= 0) continue;
        bool closed = false;
        for (int i = 0; i < 2 && !closed; ++i) {
            if (!(p[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            const ssize_t n = ::recv(p[i].fd, buffer, sizeof buffer, 0);
            if (n <= 0) {
                closed = true;
                break;
            }
            if (mode == Mode::Slow) std::this_thread::sleep_for(std::chrono::milliseconds(m_slowMs.load()));
            const int to = i == 0 ? link.server : link.client;
            for (ssize_t done = 0; done < n;) {
                const ssize_t w = ::send(to, buffer + done, size_t(n - done), MSG_NOSIGNAL);
                if (w <= 0) {
                    closed = true;
                    break;
                }
                done += w;
            }
        }
        if (closed) break;
    }
    cut(link.client);
    if (link.server >= 0) cut(link.server);
    --m_open;
    link.done = true;
}
