#include "db/callwatchdog.h"

#include "db/fbclient.h"

CallWatchdog::CallWatchdog(FbClient& client) : m_client(client) {}

CallWatchdog::~CallWatchdog() {
    {
        const std::lock_guard lock(m_mutex);
        m_quit = true;
    }
    m_changed.notify_all();
    if (m_thread.joinable()) m_thread.join();
}

void CallWatchdog::arm(isc_db_handle attachment, Clock::time_point deadline) {
    bool wake = false;
    {
        const std::lock_guard lock(m_mutex);
        m_attachment = attachment;
        m_deadline = deadline;
        m_armed = true;
        m_fired = false;
        ++m_generation;
        if (!m_thread.joinable()) m_thread = std::thread([this] { run(); });
        // A thread waiting for an earlier deadline finds the new one when that one comes: the
        // calls of a fetch, one a row, cost no wake-up each.
        wake = m_idle;
    }
    if (wake) m_changed.notify_all();
}

bool CallWatchdog::disarm() {
    const std::lock_guard lock(m_mutex);
    m_armed = false;
    return std::exchange(m_fired, false);
}

void CallWatchdog::run() {
    std::unique_lock lock(m_mutex);
    while (!m_quit) {
        if (!m_armed) {
            m_idle = true;
            m_changed.wait(lock);
            m_idle = false;
            continue;
        }
        const unsigned generation = m_generation;
        if (m_changed.wait_until(lock, m_deadline, [&] { return m_quit; })) break;
        if (!m_armed || m_generation != generation || Clock::now() < m_deadline) continue;
        // Still the same call, and its time is up.
        ISC_STATUS_ARRAY status = {};
        isc_db_handle attachment = m_attachment;
        m_client.cancel_operation(status, &attachment, fb_cancel_abort);
        m_fired = true;
        m_armed = false;
    }
}
