#pragma once
// The systemd notification socket of a test or benchmark: a datagram socket that the panel's
// process is told of in NOTIFY_SOCKET. A thread of its own receives every datagram and notes its
// time, so that the panel is never kept waiting and no beat is missed while the caller is busy.

#include <QString>
#include <QStringList>
#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

class NotifySocket {
public:
    using Clock = std::chrono::steady_clock;
    explicit NotifySocket(const QString& path);
    ~NotifySocket();
    NotifySocket(const NotifySocket&) = delete;
    NotifySocket& operator=(const NotifySocket&) = delete;

    bool bound() const { return m_fd >= 0; }
    // Waits ms milliseconds, then gives the datagrams received since the last call, one string each.
    QStringList receive(int ms);
    // When each datagram with the line WATCHDOG=1 arrived.
    std::vector<Clock::time_point> beats() const;

private:
    struct Datagram {
        Clock::time_point at;
        QString text;
    };
    void readLoop();
    int m_fd = -1;
    std::atomic<bool> m_stop = false;
    mutable std::mutex m_mutex;
    std::vector<Datagram> m_received;
    size_t m_taken = 0;
    std::thread m_reader;
};

// How many of the datagrams hold this line.
int countOf(const QStringList& datagrams, const QString& line);
