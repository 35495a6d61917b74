#include "app/servicenotifier.h"

#include <QByteArray>
#include <algorithm>
#include <systemd/sd-daemon.h>

ServiceNotifier::ServiceNotifier(QObject* parent) : QObject(parent) {
    connect(&m_beat, &QTimer::timeout, this, &ServiceNotifier::beat);
}

void ServiceNotifier::start() {
    if (qEnvironmentVariableIsEmpty("NOTIFY_SOCKET")) return;
    uint64_t watchdogUsec = 0;
    int beatMs = kPlainBeatMs;
    // A third of the watchdog's time: two beats may be late before systemd acts.
    if (sd_watchdog_enabled(0, &watchdogUsec) > 0) beatMs = std::clamp(int(watchdogUsec / 3000), 50, kPlainBeatMs);
    m_beat.start(beatMs);
    beat();
}

void ServiceNotifier::ready(std::function<bool()> working) {
    m_ready = true;
    m_working = std::move(working);
    if (!qEnvironmentVariableIsEmpty("NOTIFY_SOCKET")) sd_notify(0, "READY=1\nWATCHDOG=1");
}

void ServiceNotifier::failed() {
    m_beat.stop();
    if (!qEnvironmentVariableIsEmpty("NOTIFY_SOCKET"))
        sd_notify(0, "STATUS=A partida do painel falhou: veja as mensagens no journal");
}

void ServiceNotifier::beat() {
    if (m_ready) {
        if (!m_working || m_working()) sd_notify(0, "WATCHDOG=1");
    } else {
        const QByteArray state = "WATCHDOG=1\nEXTEND_TIMEOUT_USEC=" + QByteArray::number(qint64(kStartExtensionMs) * 1000);
        sd_notify(0, state.constData());
    }
}
