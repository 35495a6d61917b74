#include "tests/support/notifysocket.h"

#include <QFile>
#include <algorithm>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

NotifySocket::NotifySocket(const QString& path) {
    const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray bytes = QFile::encodeName(path);
    std::memcpy(address.sun_path, bytes.constData(), std::min<size_t>(size_t(bytes.size()), sizeof address.sun_path - 1));
    if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
        m_fd = fd;
        m_reader = std::thread([this] { readLoop(); });
    } else if (fd >= 0) {
        ::close(fd);
    }
}

NotifySocket::~NotifySocket() {
    m_stop = true;
    if (m_reader.joinable()) m_reader.join();
    if (m_fd >= 0) ::close(m_fd);
}

void NotifySocket::readLoop() {
    while (!m_stop) {
        pollfd p{m_fd, POLLIN, 0};
        if (::poll(&p, 1, 50) != 1) continue;
        char buffer[4096];
        const ssize_t n = ::recv(m_fd, buffer, sizeof buffer, 0);
        if (n <= 0) continue;
        std::lock_guard lock(m_mutex);
        m_received.push_back({Clock::now(), QString::fromUtf8(buffer, int(n))});
    }
}

QStringList NotifySocket::receive(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    std::lock_guard lock(m_mutex);
    QStringList got;
    for (; m_taken < m_received.size(); ++m_taken) got << m_received[m_taken].text;
    return got;
}

std::vector<NotifySocket::Clock::time_point> NotifySocket::beats() const {
    std::lock_guard lock(m_mutex);
    std::vector<Clock::time_point> at;
    for (const Datagram& d : m_received)
        if (d.text.split(u'\n').contains(QStringLiteral("WATCHDOG=1"))) at.push_back(d.at);
    return at;
}

int countOf(const QStringList& datagrams, const QString& line) {
    int n = 0;
    for (const QString& d : datagrams) n += d.split(u'\n').contains(line);
    return n;
}
