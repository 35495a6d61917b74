#pragma once
// A TCP proxy on loopback between a client and a server, for cutting, stalling, delaying and
// blackholing the network without root rights. One thread accepts; each connection has a thread
// of its own that forwards both ways. Everything it started ends when the proxy goes.

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class TcpProxy {
public:
    enum class Mode {
        Pass,      // forwards everything
        Refuse,    // cuts every connection; new ones are closed as soon as accepted
        Blackhole, // new connections are accepted and nothing is ever forwarded (they are cut
                   // when the mode changes); open ones forward nothing
        Stall,     // open connections forward nothing until the mode changes; new ones pass
        Slow,      // every chunk is forwarded after slowMs
    };

    // Listens on a free port of 127.0.0.1 and forwards to 127.0.0.1:target.
    explicit TcpProxy(std::uint16_t target);
    ~TcpProxy();
    TcpProxy(const TcpProxy&) = delete;
    TcpProxy& operator=(const TcpProxy&) = delete;

    std::uint16_t port() const { return m_port; }
    void setMode(Mode mode, int slowMs = 200);
    // Connections forwarded now.
    int connections() const { return m_open; }

private:
    struct Link;
    void acceptLoop();
    void forward(Link& link);

    std::uint16_t m_target;
    std::uint16_t m_port = 0;
    int m_listener = -1;
    std::atomic<Mode> m_mode = Mode::Pass;
    std::atomic<int> m_slowMs = 200;
    std::atomic<unsigned> m_generation = 0; // changes with every mode change
    std::atomic<bool> m_stop = false;
    std::atomic<int> m_open = 0;
    std::mutex m_mutex;
    std::vector<std::unique_ptr<Link>> m_links;
    std::thread m_acceptor;
};
