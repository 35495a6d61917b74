#include "group/groupclient.h"

#include <QDateTime>
#include <QHash>
#include <QUuid>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mosquitto.h>
#include <mqtt_protocol.h>
#include <mutex>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::chrono::seconds kFirstRetry{1};
constexpr std::chrono::seconds kLongestRetry{30};
constexpr std::chrono::seconds kFaultReportEvery{60};
constexpr std::chrono::milliseconds kStopWait{1500};
// Origins whose count is kept; past it the table starts again (a count is only a guard against
// a call delivered twice).
constexpr int kMaxOrigins = 1024;

std::once_flag libraryStarted;

void toStandardError(const QString& line) {
    std::fprintf(stderr, "painel: grupo: %s\n", line.toLocal8Bit().constData());
    std::fflush(stderr);
}

} // namespace

struct GroupClient::Shared {
    GroupSettings settings;
    QString identity;
    Report report;

    std::mutex mutex;
    std::condition_variable wake;
    bool stop = false;
    bool finished = false;
    GroupClient* receiver = nullptr; // under mutex; none once the client goes
    std::thread thread;

    mosquitto* mosq = nullptr;
    std::atomic<bool> connected = false;
    std::atomic<int> pending = 0;

    // Only the client's thread uses these.
    QString lastReason;
    bool downReported = false;
    bool everConnected = false;
    QHash<QString, quint64> lastSeq;
    struct FaultReports {
        Clock::time_point last{};
        int notReported = 0;
    };
    QHash<QString, FaultReports> faults; // by kind: a few fixed words

    QString where() const { return settings.host + u':' + QString::number(settings.port); }

    void run();
    void connectedNow();
    void lost(const QString& reason);
    void fault(const QString& kind, const QString& what);
    void message(const mosquitto_message* msg);
    bool waitFor(std::chrono::seconds delay);
    static Shared* of(void* obj) { return static_cast<Shared*>(obj); }
    bool stopRequested() {
        std::lock_guard lock(mutex);
        return stop;
    }
};

namespace {

QString errorText(int rc) {
    QString text = rc == MOSQ_ERR_ERRNO ? QString::fromLocal8Bit(std::strerror(errno)) : QString::fromLatin1(mosquitto_strerror(rc));
    if (text.endsWith(u'.')) text.chop(1);
    return text;
}

} // namespace

void GroupClient::Shared::connectedNow() {
    connected = true;
    report(downReported ? QStringLiteral("de novo conectado ao broker %1: o grupo %2 voltou a mostrar as chamadas dos outros painéis")
                                .arg(where(), settings.name)
                        : QStringLiteral("conectado ao broker %1, grupo %2").arg(where(), settings.name));
    downReported = false;
    everConnected = true;
}

void GroupClient::Shared::lost(const QString& reason) {
    if (downReported) return;
    downReported = true;
    report(QStringLiteral("%1 o broker %2 (%3): as chamadas deste painel seguem; as dos outros painéis do grupo %4 não "
                          "aparecem aqui até ele voltar")
               .arg(everConnected ? QStringLiteral("perdi a conexão com") : QStringLiteral("não consigo conectar ao"),
                    where(), reason, settings.name));
}

// At most one line a minute for each kind of what is ignored, with the count of the others.
void GroupClient::Shared::fault(const QString& kind, const QString& what) {
    const Clock::time_point now = Clock::now();
    FaultReports& reports = faults[kind];
    if (reports.last != Clock::time_point{} && now - reports.last < kFaultReportEvery) {
        ++reports.notReported;
        return;
    }
    QString line = QStringLiteral("ignorada uma mensagem no tópico %1: %2").arg(settings.topic(), what);
    if (reports.notReported > 0) line += QStringLiteral(" (e outras %1 desde a última linha)").arg(reports.notReported);
    report(line);
    reports.last = now;
    reports.notReported = 0;
}

void GroupClient::Shared::message(const mosquitto_message* msg) {
    // Only as much as a call can hold is copied: the size alone refuses a larger one.
    const QByteArray payload(static_cast<const char*>(msg->payload), std::min<qsizetype>(msg->payloadlen, kMaxGroupPayload + 1));
    GroupCallRead read = decodeGroupCall(payload);
    if (msg->payloadlen > kMaxGroupPayload)
        read.error = QStringLiteral("grande demais (%1 bytes; o máximo é %2)").arg(msg->payloadlen).arg(kMaxGroupPayload);
    if (!read.call) {
        fault(read.tooLong ? QStringLiteral("tamanho") : QStringLiteral("forma"), read.error);
        return;
    }
    const GroupCall& call = *read.call;
    if (call.origin == identity) return;
    if (lastSeq.size() >= kMaxOrigins && !lastSeq.contains(call.origin)) lastSeq.clear();
    quint64& seen = lastSeq[call.origin];
    if (call.seq <= seen) return; // delivered before
    seen = call.seq;
    const qint64 age = QDateTime::currentMSecsSinceEpoch() - call.sentAtMs;
    if (age > qint64(settings.validitySeconds) * 1000) {
        fault(QStringLiteral("validade"), QStringLiteral("a chamada de %1 foi lida lá há %2 s, mais que a validade de %3 s (um painel parado ou "
                             "isolado que voltou; ou os relógios dos painéis diferem)")
                  .arg(call.station)
                  .arg(age / 1000)
                  .arg(settings.validitySeconds));
        return;
    }
    if (pending >= kMaxPending) {
        fault(QStringLiteral("fila"), QStringLiteral("chegam chamadas mais depressa do que o painel as atende; esta foi descartada"));
        return;
    }
    std::lock_guard lock(mutex);
    if (!receiver) return;
    ++pending;
    GroupClient* to = receiver;
    QMetaObject::invokeMethod(
        to,
        [to, call, self = this] {
            --self->pending;
            Q_EMIT to->callReceived(call);
        },
        Qt::QueuedConnection);
}

bool GroupClient::Shared::waitFor(std::chrono::seconds delay) {
    std::unique_lock lock(mutex);
    return !wake.wait_for(lock, delay, [&] { return stop; });
}

void GroupClient::Shared::run() {
    std::call_once(libraryStarted, [] { mosquitto_lib_init(); });
    const QByteArray clientId = "painel-" + identity.left(18).toLatin1();
    mosq = mosquitto_new(clientId.constData(), true, this);
    if (!mosq) {
        report(QStringLiteral("o cliente do broker não pôde ser criado: o painel funciona sozinho"));
        return;
    }
    mosquitto_int_option(mosq, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V5);
    mosquitto_threaded_set(mosq, true);
    if (!settings.user.isEmpty())
        mosquitto_username_pw_set(mosq, settings.user.toUtf8().constData(), settings.password.toUtf8().constData());
    if (!settings.caFile.isEmpty()) {
        const int rc = mosquitto_tls_set(mosq, settings.caFile.toLocal8Bit().constData(), nullptr, nullptr, nullptr, nullptr);
        if (rc != MOSQ_ERR_SUCCESS) {
            report(QStringLiteral("o arquivo de CA %1 de [grupo] ca não pôde ser usado (%2): o painel funciona sozinho")
                       .arg(settings.caFile, errorText(rc)));
            mosquitto_destroy(mosq);
            mosq = nullptr;
            return;
        }
    }
    mosquitto_connect_v5_callback_set(mosq, [](mosquitto* m, void* obj, int rc, int, const mosquitto_property*) {
        Shared* s = Shared::of(obj);
        if (rc != 0) {
            s->lastReason = QStringLiteral("recusou a conexão: %1").arg(QString::fromLatin1(mosquitto_reason_string(rc)));
            return;
        }
        mosquitto_subscribe_v5(m, nullptr, s->settings.topic().toUtf8().constData(), 0, MQTT_SUB_OPT_NO_LOCAL, nullptr);
        s->connectedNow();
    });
    mosquitto_message_v5_callback_set(mosq, [](mosquitto*, void* obj, const mosquitto_message* msg, const mosquitto_property*) {
        Shared::of(obj)->message(msg);
    });

    const QByteArray host = settings.host.toUtf8();
    std::chrono::seconds delay = kFirstRetry;
    while (true) {
        lastReason.clear();
        int rc = mosquitto_connect_bind_v5(mosq, host.constData(), settings.port, GroupClient::kKeepAliveSeconds, nullptr, nullptr);
        if (rc == MOSQ_ERR_SUCCESS) {
            const Clock::time_point began = Clock::now();
            bool stopping = false;
            while (!(stopping = stopRequested())) {
                rc = mosquitto_loop(mosq, 500, 1);
                if (rc != MOSQ_ERR_SUCCESS) break;
                // A broker that took the connection and does not answer (stopped, hung).
                if (!connected && Clock::now() - began > std::chrono::seconds(GroupClient::kKeepAliveSeconds)) {
                    lastReason = QStringLiteral("aceitou a conexão e não respondeu");
                    break;
                }
            }
            if (connected) delay = kFirstRetry;
            connected = false;
            if (stopping) break;
            if (lastReason.isEmpty()) lastReason = errorText(rc);
            mosquitto_disconnect(mosq);
        } else {
            lastReason = errorText(rc);
        }
        lost(lastReason);
        if (!waitFor(delay)) break;
        delay = std::min(delay * 2, kLongestRetry);
    }
    mosquitto_disconnect(mosq);
    mosquitto_loop(mosq, 100, 1);
    mosquitto_destroy(mosq);
    mosq = nullptr;
}

GroupClient::GroupClient(GroupSettings settings, Report report, QObject* parent)
    : QObject(parent), m_shared(std::make_shared<Shared>()), m_identity(QUuid::createUuid().toString(QUuid::WithoutBraces)) {
    m_shared->settings = std::move(settings);
    m_shared->identity = m_identity;
    m_shared->report = report ? std::move(report) : Report(toStandardError);
    m_shared->receiver = this;
}

GroupClient::~GroupClient() {
    std::unique_lock lock(m_shared->mutex);
    m_shared->receiver = nullptr;
    m_shared->stop = true;
    m_shared->wake.notify_all();
    if (!m_shared->thread.joinable()) return;
    // A connect to a host that does not answer cannot be cut short: that thread is let go, and
    // ends with its connect (its state is shared with it).
    const bool ended = m_shared->wake.wait_for(lock, kStopWait, [&] { return m_shared->finished; });
    lock.unlock();
    if (ended) m_shared->thread.join();
    else m_shared->thread.detach();
}

void GroupClient::start() {
    if (m_shared->thread.joinable()) return;
    m_shared->thread = std::thread([shared = m_shared] {
        shared->run();
        std::lock_guard lock(shared->mutex);
        shared->finished = true;
        shared->wake.notify_all();
    });
}

bool GroupClient::connected() const { return m_shared->connected; }

void GroupClient::publish(const QByteArray& message, const QString& station) {
    if (!m_shared->connected || !m_shared->mosq) return;
    GroupCall call;
    call.origin = m_identity;
    call.seq = ++m_seq;
    call.sentAtMs = QDateTime::currentMSecsSinceEpoch();
    call.station = station;
    call.message = message;
    const QByteArray payload = encodeGroupCall(call);
    mosquitto_property* properties = nullptr;
    mosquitto_property_add_int32(&properties, MQTT_PROP_MESSAGE_EXPIRY_INTERVAL, uint32_t(m_shared->settings.validitySeconds));
    mosquitto_publish_v5(m_shared->mosq, nullptr, m_shared->settings.topic().toUtf8().constData(), int(payload.size()),
                         payload.constData(), 0, false, properties);
    mosquitto_property_free_all(&properties);
}
