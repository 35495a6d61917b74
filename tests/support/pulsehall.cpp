#include "tests/support/pulsehall.h"

#include <QList>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

// Runs pactl against the server; its standard output, or nothing when it failed.
std::optional<QString> pactl(const QString& runtime, const QStringList& args) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    env.remove(QStringLiteral("PULSE_SERVER"));
    p.setProcessEnvironment(env);
    p.start(QStringLiteral("pactl"), args);
    if (!p.waitForFinished(10000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        p.kill();
        p.waitForFinished(1000);
        return std::nullopt;
    }
    return QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed();
}

} // namespace

double steadySeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

QString pulseRuntime(QString* why) {
    const QString runtime = qEnvironmentVariable("PAINEL_PULSE_RUNTIME");
    if (runtime.isEmpty()) {
        if (why)
            *why = QStringLiteral("no PulseAudio test server: PAINEL_PULSE_RUNTIME is not set (tools/test.sh starts one; "
                                  "by hand: eval \"$(bash tests/support/pulseserver.sh start DIR)\")");
        return QString();
    }
    if (!pactl(runtime, {QStringLiteral("info")})) {
        if (why) *why = QStringLiteral("the PulseAudio test server in %1 does not answer").arg(runtime);
        return QString();
    }
    return runtime;
}

QStringList HallSink::environment(QStringList base) const {
    const auto drop = [&](const QString& name) {
        base.erase(std::remove_if(base.begin(), base.end(), [&](const QString& v) { return v.startsWith(name + u'='); }),
                   base.end());
    };
    for (const QString& name : {QStringLiteral("XDG_RUNTIME_DIR"), QStringLiteral("PULSE_SINK"), QStringLiteral("PULSE_SERVER")})
        drop(name);
    base << QStringLiteral("XDG_RUNTIME_DIR=") + m_runtime << QStringLiteral("PULSE_SINK=") + m_name;
    return base;
}

QString HallSink::latencyLine() const {
    const std::optional<QString> sinks = pactl(m_runtime, {QStringLiteral("list"), QStringLiteral("sinks")});
    bool inSink = false;
    for (const QString& line : sinks.value_or(QString()).split(u'\n')) {
        const QString l = line.trimmed();
        if (l.startsWith(QStringLiteral("Name:"))) inSink = l == QStringLiteral("Name: ") + m_name;
        if (inSink && l.startsWith(QStringLiteral("Latency:"))) return l;
    }
    return QString();
}

double HallSink::configuredLatency() const {
    static const QRegularExpression configured(QStringLiteral("configured (\\d+) usec"));
    const QRegularExpressionMatch m = configured.match(latencyLine());
    return m.hasMatch() ? m.captured(1).toDouble() / 1e6 : 0.0;
}

HallRecording::HallRecording(const HallSink& sink) : m_sink(sink) {
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
        m_error = QString::fromLocal8Bit(std::strerror(errno));
        return;
    }
    const QByteArray device = "--device=" + sink.name().toLocal8Bit() + ".monitor";
    const QByteArray rate = "--rate=" + QByteArray::number(kRate);
    const char* argv[] = {"parec", device.constData(), "--format=s16le", rate.constData(), "--channels=1",
                          "--latency-msec=10", nullptr};
    QList<QByteArray> env;
    for (char** e = environ; *e; ++e)
        if (std::strncmp(*e, "XDG_RUNTIME_DIR=", 16) != 0 && std::strncmp(*e, "PULSE_SERVER=", 13) != 0) env << *e;
    env << "XDG_RUNTIME_DIR=" + sink.runtime().toLocal8Bit();
    std::vector<char*> envp;
    for (QByteArray& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    pid_t pid = -1;
    const int failed = posix_spawnp(&pid, "parec", &actions, nullptr, const_cast<char* const*>(argv), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    if (failed) {
        ::close(pipeFds[0]);
        m_error = QStringLiteral("parec cannot start: %1").arg(QString::fromLocal8Bit(std::strerror(failed)));
        return;
    }
    m_pid = pid;
    m_fd = pipeFds[0];
    m_reader = std::thread([this] { read(); });
}

HallRecording::~HallRecording() {
    m_stop = true;
    if (m_pid > 0) {
        ::kill(m_pid, SIGTERM);
        int status = 0;
        ::waitpid(m_pid, &status, 0);
    }
    if (m_reader.joinable()) m_reader.join();
    if (m_fd >= 0) ::close(m_fd);
}

void HallRecording::read() {
    char buffer[8192];
    QByteArray odd; // a byte of a sample that the next read completes
    std::size_t total = 0;
    for (;;) {
        const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
        if (n <= 0) {
            if (n < 0 && errno == EINTR) continue;
            return;
        }
        const double now = steadySeconds();
        odd.append(buffer, int(n));
        const qsizetype whole = odd.size() / 2;
        std::lock_guard<std::mutex> lock(m_mutex);
        for (qsizetype i = 0; i < whole; ++i) {
            short s;
            std::memcpy(&s, odd.constData() + 2 * i, 2);
            m_samples.push_back(s);
        }
        odd.remove(0, whole * 2);
        total += std::size_t(whole);
        if (whole > 0) m_anchors.push_back({total, now});
    }
}

bool HallRecording::waitFlowing(double seconds, QString* why) {
    const double deadline = steadySeconds() + seconds;
    while (steadySeconds() < deadline) {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_samples.size() > kRate / 10) break;
        }
        if (!m_error.isEmpty()) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (secondsRecorded() > 0.1) {
        m_renderAhead = m_sink.configuredLatency();
        return true;
    }
    if (why) *why = m_error.isEmpty() ? QStringLiteral("the recording of the sink's monitor did not start") : m_error;
    return false;
}

std::vector<short> HallRecording::samples() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_samples;
}

double HallRecording::timeOf(double secondsIntoRecording) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_anchors.empty()) return 0;
    // Each read that ended at or after the sample, within the next second, dates it: its arrival
    // less the samples between. A read that came late dates it late, never early, so the earliest
    // of them is the best; a gap (lost samples) after the sample only dates it later, and the
    // reads before the gap win.
    const auto index = std::size_t(std::max(0.0, secondsIntoRecording) * kRate);
    auto it = std::lower_bound(m_anchors.begin(), m_anchors.end(), index,
                               [](const Anchor& a, std::size_t i) { return a.samples < i; });
    if (it == m_anchors.end()) --it;
    double best = 1e300;
    for (auto a = it; a != m_anchors.end() && a->samples <= index + kRate; ++a)
        best = std::min(best, a->arrival - double(a->samples - std::min(a->samples, index)) / kRate);
    if (best == 1e300) best = it->arrival - (double(it->samples) - double(index)) / kRate;
    return best + m_renderAhead;
}

double HallRecording::secondsRecorded() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return double(m_samples.size()) / kRate;
}
