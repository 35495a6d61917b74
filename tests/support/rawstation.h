#pragma once
// A calling station on plain blocking sockets, for stations that run on threads of their own
// while the panel serves its event queue on the main thread (Qt sockets belong to one thread).
// Loopback only. Every call is bounded in time.

#include <QByteArray>
#include <cstdint>
#include <utility>

// The loopback address the next station calls from when none is given: stations take turns over
// 127.0.100.1 to 127.0.100.250, as the stations of a clinic are machines of their own (the panel
// limits the connections of one address).
QByteArray nextLoopbackSource();

class RawStation {
public:
    // Calls from source (an address of 127.0.0.0/8), or from nextLoopbackSource() at each connect.
    explicit RawStation(QByteArray source = {}) : m_source(std::move(source)) {}
    ~RawStation(); // closes the connection (a normal close)
    RawStation(const RawStation&) = delete;
    RawStation& operator=(const RawStation&) = delete;

    // Connects to 127.0.0.1:port; false when refused or not accepted within timeoutMs.
    bool connectTo(std::uint16_t port, int timeoutMs = 5000);
    // Connects, trying again every few milliseconds while refused (the listener is off during a
    // counter call), for at most timeoutMs.
    bool connectRetrying(std::uint16_t port, int timeoutMs);
    // Sends every byte; false when the panel closed or reset the connection first, or the bytes
    // could not go within timeoutMs.
    bool send(const QByteArray& bytes, int timeoutMs = 5000);
    // Waits until the panel closes the connection (end of stream or reset); false on time-out.
    bool waitClosed(int timeoutMs);
    // After waitClosed: the connection ended with a reset rather than an orderly close. The panel
    // closes a connection in order once it has read its message; bytes that reach a connection
    // it has already closed are answered with a reset.
    bool wasReset() const { return m_reset; }
    // Ends the connection with a reset instead of a close (SO_LINGER 0).
    void reset();
    void close();
    bool connected() const { return m_fd >= 0; }

private:
    QByteArray m_source;
    int m_fd = -1;
    bool m_reset = false;
};
