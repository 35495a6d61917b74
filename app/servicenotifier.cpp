#include "app/servicenotifier.h"

#include <QAbstractEventDispatcher>
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
    // A turn that may wait says so before it waits (aboutToBlock), one that may not before it
    // serves (awake).
    if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance()) {
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, &ServiceNotifier::beatIfDue);
        connect(dispatcher, &QAbstractEventDispatcher::awake, this, &ServiceNotifier::beatIfDue);
    }
    beat();
}

void ServiceNotifier::beatIfDue() {
    if (m_beat.isActive() && m_sinceBeat.isValid() && m_sinceBeat.elapsed() >= m_beat.interval()) beat();
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
    m_sinceBeat.start();
    if (m_ready) {
        if (!m_working || m_working()) sd_notify(0, "WATCHDOG=1");
    } else {
        const QByteArray state = "WATCHDOG=1\nEXTEND_TIMEOUT_USEC=" + QByteArray::number(qint64(kStartExtensionMs) * 1000);
        sd_notify(0, state.constData());
    }
}
