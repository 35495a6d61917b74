#include "app/stopsignals.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <sys/signalfd.h>
#include <unistd.h>

namespace {

bool g_stopRequested = false;

sigset_t stopSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    return set;
}

} // namespace

void blockStopSignals() {
    const sigset_t set = stopSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

void quitOnStopSignals(QObject* parent) {
    const sigset_t set = stopSignals();
    const int fd = signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC);
    if (fd < 0) {
        // Without a signalfd the signals take their default action again.
        pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
        return;
    }
    auto* notifier = new QSocketNotifier(fd, QSocketNotifier::Read, parent);
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [fd] {
        signalfd_siginfo info;
        while (read(fd, &info, sizeof info) == ssize_t(sizeof info)) {
        }
        g_stopRequested = true;
        QCoreApplication::quit();
    });
    QObject::connect(notifier, &QObject::destroyed, [fd] { close(fd); });
}

bool stopRequested() { return g_stopRequested; }
