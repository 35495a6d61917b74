#pragma once
// The panel's client of its group's MQTT broker (libmosquitto, MQTT 5). It runs on a thread of its
// own: connecting, reading and reconnecting never hold the window's thread, so a broker that is
// down, slow or unreachable costs only the fan-out. Calls from the broker reach the window's
// thread through its event queue (callReceived); publishing only queues the call for that
// thread and never waits for the network.
//
// What it guarantees:
//   - a call this panel published does not come back to it (the subscription's "no local" and the
//     origin in the call);
//   - each call arrives at most once (QoS 0, a clean session, and each origin's count);
//   - no stale call: a call older than the group's validity is dropped, by the broker (the message
//     expiry) and here (the time of its read), so a panel cut off or stopped for a while replays
//     nothing when it comes back;
//   - the loss of the broker and its return are reported once each (report), and the client
//     reconnects by itself, waiting 1 s, then longer, up to 30 s between attempts;
//   - what is on the topic that is not a call is ignored with at most one line a minute for each
//     kind of fault (its form, its size, its age, a queue that is full).

#include "config/groupsettings.h"
#include "group/groupmessage.h"

#include <QObject>
#include <functional>
#include <memory>

class GroupClient : public QObject {
    Q_OBJECT
public:
    using Report = std::function<void(const QString&)>;
    // report gets the lines for the journal; by default standard error, "painel: grupo: ...".
    explicit GroupClient(GroupSettings settings, Report report = {}, QObject* parent = nullptr);
    // Stops the thread; one held in a connect that does not answer is let go, not waited for.
    ~GroupClient() override;

    void start();
    // Publishes a call read from a station. Dropped (the fan-out of this call only) while the
    // broker is not connected.
    void publish(const QByteArray& message, const QString& station);
    bool connected() const;
    const QString& identity() const { return m_identity; }

    // Calls from the broker not yet handed to the window's thread: past it, new ones are dropped
    // with a report (a flood on the topic must not fill the panel's memory).
    static constexpr int kMaxPending = 64;
    static constexpr int kKeepAliveSeconds = 10;

Q_SIGNALS:
    void callReceived(const GroupCall& call);

private:
    struct Shared;
    std::shared_ptr<Shared> m_shared;
    QString m_identity;
    quint64 m_seq = 0;
};
