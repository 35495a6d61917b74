#include "tests/support/xvfb.h"

#include <QByteArray>
#include <QStandardPaths>
#include <cerrno>
#include <csignal>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int kStartTimeoutMs = 15000;

// Reads the display number that Xvfb writes on the pipe once it accepts clients.
QString readDisplay(int fd) {
    QByteArray text;
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, kStartTimeoutMs) <= 0) return {};
        char buf[32];
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        text.append(buf, int(n));
        if (text.contains('\n')) break;
    }
    bool ok = false;
    const int number = text.trimmed().toInt(&ok);
    return ok ? QStringLiteral(":%1").arg(number) : QString();
}

}  // namespace

XvfbServer::XvfbServer(QSize screen) {
    const QString program = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
    if (program.isEmpty()) {
        m_why = QStringLiteral("Xvfb is not installed");
        return;
    }
    int fds[2];
    if (::pipe(fds) != 0) {
        m_why = QStringLiteral("no pipe");
        return;
    }
    const QByteArray exe = program.toLocal8Bit();
    const QByteArray size = QStringLiteral("%1x%2x24").arg(screen.width()).arg(screen.height()).toLatin1();
    const QByteArray fdText = QByteArray::number(fds[1]);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        const char* argv[] = {exe.constData(), "-displayfd", fdText.constData(), "-screen", "0", size.constData(),
                              "-nolisten", "tcp", "-noreset", nullptr};
        ::execv(exe.constData(), const_cast<char* const*>(argv));
        ::_exit(127);
    }
    ::close(fds[1]);
    if (pid < 0) {
        ::close(fds[0]);
        m_why = QStringLiteral("fork failed");
        return;
    }
    m_pid = pid;
    m_display = readDisplay(fds[0]);
    ::close(fds[0]);
    if (m_display.isEmpty()) m_why = QStringLiteral("Xvfb did not start");
}

XvfbServer::~XvfbServer() {
    if (m_pid <= 0) return;
    ::kill(pid_t(m_pid), SIGTERM);
    for (int i = 0; i < 200; ++i) {
        if (::waitpid(pid_t(m_pid), nullptr, WNOHANG) != 0) return;
        ::usleep(10000);
    }
    ::kill(pid_t(m_pid), SIGKILL);
    ::waitpid(pid_t(m_pid), nullptr, 0);
}
