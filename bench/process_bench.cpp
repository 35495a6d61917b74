// The panel as a real process: start-up time, processor cost while idle and during a call's
// pause, and resident memory after start-up and across many calls.
//
// The panel's executable is copied into a folder of its own with config.ini (an embedded calls
// database holding 2,000 calls of today), configserver.txt (a free port, sound off, voice off)
// and no media files, and run there on the offscreen platform (or the one QT_QPA_PLATFORM names).
// Processor time and resident size are read from /proc (every thread of the panel).
//
//   process_bench [--starts N] [--idle S] [--pauses N] [--calls N]
//   defaults: 10 starts, 20 s idle, 10 calls one at a time for the pause, 1,000 calls for memory
//   (sent in bursts of 10 stations 20 ms apart, each nested in the previous one's pause).

#include "bench/benchsupport.h"
#include "tests/support/freeport.h"
#include "tests/support/rawstation.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>
#include <cstring>
#include <thread>

using namespace bench;

namespace {

struct Options {
    int starts = 10;
    int idleSeconds = 20;
    int pauses = 10;
    int calls = 1000;
};

Options parse(int argc, char** argv) {
    Options o;
    for (int i = 1; i + 1 < argc; i += 2) {
        const int v = std::max(0, std::atoi(argv[i + 1]));
        if (!std::strcmp(argv[i], "--starts")) o.starts = std::max(1, v);
        else if (!std::strcmp(argv[i], "--idle")) o.idleSeconds = std::max(1, v);
        else if (!std::strcmp(argv[i], "--pauses")) o.pauses = std::max(1, v);
        else if (!std::strcmp(argv[i], "--calls")) o.calls = v;
    }
    return o;
}

// One run of the panel, killed when the object goes.
class PanelProcess {
public:
    explicit PanelProcess(const PanelInstall& install) {
        m_process.setWorkingDirectory(install.dir);
        m_process.setEnvironment(install.environment());
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_started = Clock::now();
        m_process.start(install.program, {});
        m_process.waitForStarted(10000);
    }
    // Killed: the Firebird engine catches TERM (and shuts its attachments down), so the panel
    // would not end by it.
    ~PanelProcess() {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
    PanelProcess(const PanelProcess&) = delete;
    PanelProcess& operator=(const PanelProcess&) = delete;

    // Milliseconds from the start to the listener's accepting a connection (which sends nothing
    // and is closed at once, so no call is made); negative when it did not within the timeout.
    double waitListening(quint16 port, int timeoutMs = 20000) {
        if (!RawStation().connectRetrying(port, timeoutMs)) return -1;
        return msBetween(m_started, Clock::now());
    }
    long long pid() const { return m_process.processId(); }
    bool running() const { return m_process.state() == QProcess::Running; }

private:
    QProcess m_process;
    Clock::time_point m_started;
};

std::string percentOfCore(double cpuMs, double wallMs) {
    return fixed(100.0 * cpuMs / wallMs, 2) + " %";
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const Options o = parse(argc, argv);
    QTemporaryDir dir;
    const QString database = dir.filePath(QStringLiteral("calls.fdb"));
    createCallsDatabase(database, 2000); // also gives this process's Firebird root to the panel
    const PanelInstall install = installPanel(dir.path(), database, freeTcpPort());

    std::printf("The panel as a process: start-up, processor and memory; no media files, sound and voice off\n");
    std::printf("Machine: %s\n", machineLine().c_str());
    std::printf("Platform: %s; calls list: 2,000 calls today in an embedded Firebird database\n\n",
                qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM").constData());

    Table t;
    t.row({"figure", "value", "target"});

    // Start-up: a fresh process each time, polled with connections that send nothing.
    std::vector<double> starts;
    for (int i = 0; i < o.starts; ++i) {
        PanelProcess p(install);
        const double ms = p.waitListening(install.port);
        if (ms < 0) {
            std::fprintf(stderr, "process_bench: the panel did not listen on port %u\n", install.port);
            return 1;
        }
        starts.push_back(ms);
    }
    const Stats s = statsOf(starts);
    t.row({"start-up to listening, first run (ms)", fixed(starts.front()), "< 300"});
    t.row({"start-up to listening, median of " + std::to_string(s.count) + " (ms)", fixed(s.median), "< 300"});
    t.row({"start-up to listening, min / max (ms)", fixed(s.min) + " / " + fixed(s.max), ""});

    PanelProcess panel(install);
    if (panel.waitListening(install.port) < 0) return 1;
    std::this_thread::sleep_for(std::chrono::seconds(2)); // shown, painted, settled
    const ProcessSample started = sampleProcess(panel.pid());
    t.row({"resident size after start-up (MiB)", fixed(started.rssMiB), "< 100"});
    t.row({"threads after start-up", std::to_string(started.threads), ""});

    // Idle: the clock ticks, nothing else happens.
    {
        const auto t0 = Clock::now();
        const ProcessSample a = sampleProcess(panel.pid());
        std::this_thread::sleep_for(std::chrono::seconds(o.idleSeconds));
        const ProcessSample b = sampleProcess(panel.pid());
        const double wall = msBetween(t0, Clock::now());
        t.row({"processor while idle, " + std::to_string(o.idleSeconds) + " s (of one core)",
               percentOfCore(b.cpuMs - a.cpuMs, wall), "< 1 %"});
    }

    // The pause: calls one at a time. The span from 300 ms after the message (the call is on
    // screen and the list re-read) to the end of the cycle is the 2-second pause.
    {
        CallMix mix(0);
        double pauseCpu = 0, pauseWall = 0, cycleCpu = 0;
        int measured = 0;
        for (int i = 0; i < o.pauses; ++i) {
            RawStation station;
            if (!station.connectRetrying(install.port, 10000)) break;
            const ProcessSample a = sampleProcess(panel.pid());
            station.send(mix.next());
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            const ProcessSample b = sampleProcess(panel.pid());
            const auto tb = Clock::now();
            const bool closed = station.waitClosed(15000);
            const ProcessSample c = sampleProcess(panel.pid());
            const auto tc = Clock::now();
            if (!closed) continue;
            pauseCpu += c.cpuMs - b.cpuMs;
            pauseWall += msBetween(tb, tc);
            cycleCpu += c.cpuMs - a.cpuMs;
            ++measured;
        }
        t.row({"processor during the pause, " + std::to_string(measured) + " calls (of one core)",
               percentOfCore(pauseCpu, pauseWall), "< 1 %"});
        t.row({"processor time of a whole call, mean (ms)", fixed(measured ? cycleCpu / measured : 0, 2), ""});
    }

    // Memory across many calls, sent in nested bursts to keep the run short.
    if (o.calls > 0) {
        constexpr int kBurst = 10;
        CallMix mix(kBurst); // each burst ends with a counter call
        std::vector<std::pair<int, double>> rss{{0, sampleProcess(panel.pid()).rssMiB}};
        int sent = 0, lost = 0;
        const int step = std::max(kBurst, o.calls / 10 / kBurst * kBurst);
        while (sent < o.calls && panel.running()) {
            std::vector<std::unique_ptr<RawStation>> open;
            for (int j = 0; j < kBurst && sent < o.calls; ++j, ++sent) {
                auto s = std::make_unique<RawStation>();
                const bool connected = j == 0 ? s->connectRetrying(install.port, 10000) : s->connectTo(install.port);
                if (!connected || !s->send(mix.next())) {
                    ++lost;
                    continue;
                }
                open.push_back(std::move(s));
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
            for (const auto& s : open)
                if (!s->waitClosed(30000)) ++lost;
            waitIdle(install.port);
            if (sent % step == 0) rss.emplace_back(sent, sampleProcess(panel.pid()).rssMiB);
        }
        std::string curve;
        for (const auto& [n, mib] : rss) curve += std::to_string(n) + ":" + fixed(mib) + " ";
        std::printf("resident size (MiB) after n calls  %s\n", curve.c_str());
        t.row({"resident size after " + std::to_string(sent) + " calls (MiB)", fixed(rss.back().second), "< 100"});
        const auto& from = rss.size() > 2 ? rss[2] : rss.front();
        t.row({"growth from " + std::to_string(from.first) + " to " + std::to_string(rss.back().first) + " calls (MiB)",
               fixed(rss.back().second - from.second, 2), "none"});
        t.row({"calls refused or not closed by the panel", std::to_string(lost), "0"});
    }
    std::printf("\n");
    t.print();
    return 0;
}
