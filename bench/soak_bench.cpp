// Soak: thousands of calls at the fastest rate the receive cycle allows, with the voice off.
// Each cycle holds its 2-second pause; the calls of other stations nest inside it, so many stations
// calling in parallel raise the rate. Prints at intervals the calls handled, resident memory, open
// descriptors, open connections and how deep the cycles are nested, then how much each grew from
// the first interval to the end. A panel that runs for months needs that growth flat.
//
//   soak_bench [calls] [stations]        stations that each call again as soon as the panel has
//                                        closed their last call (default 3000 calls, 24 stations)
//   soak_bench --stream RATE [calls]     one source that sends RATE calls per second whatever the
//                                        panel does (an overload: shows that the nesting and the
//                                        connections stay bounded)
//
// The panel runs in this process, as in the tests (embedded calls database, offscreen window).
// The stations' own sockets are counted in the descriptors while they are open.

#include "bench/benchsupport.h"
#include "calls/listener.h"
#include "db/callsquery.h"
#include "db/database.h"
#include "display/memo.h"
#include "display/tprincipal.h"
#include "tests/support/fakevoice.h"
#include "tests/support/firebird.h"
#include "tests/support/procstats.h"
#include "tests/support/rawstation.h"
#include "tests/support/recordingreport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

namespace {

struct Sample {
    double seconds;
    int handled;
    qint64 rssKiB;
    int fds;
    int connections;
    int depth;
};

QByteArray callMessage(int i) { return "MD*7S" + QByteArray::number(i).rightJustified(5, '0'); }

} // namespace

int main(int argc, char* argv[]) {
    std::printf("Machine: %s\n\n", bench::machineLine().c_str());
    const bool stream = argc > 2 && std::strcmp(argv[1], "--stream") == 0;
    const int rate = stream ? std::max(1, std::atoi(argv[2])) : 0;
    const int calls = stream ? (argc > 3 ? std::max(1, std::atoi(argv[3])) : 1200)
                             : (argc > 1 ? std::max(1, std::atoi(argv[1])) : 3000);
    const int stations = stream ? 1 : (argc > 2 ? std::max(1, std::atoi(argv[2])) : 24);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    QTemporaryDir dir;
    testClient();
    const QString database = dir.filePath(QStringLiteral("calls.fdb"));
    {
        FbSession db = FbSession::create(database, embeddedParams());
        db.createSchema();
        db.addCounter(1, QStringLiteral("CAIXA"), QStringLiteral("CX"));
        for (int i = 1; i <= 20; ++i) db.addCall({.indice = i, .codigopac = i, .guiche = 1, .senha = i, .order = i});
    }
    RecordingErrorReport report;
    VoiceLog voice;
    PrincipalEnvironment env;
    env.exeDir = dir.path();
    env.errors = &report;
    env.voiceFactory = fakeVoiceFactory(voice);
    TPrincipal window(env);
    window.Fatura->setDatabaseName(database);
    window.Fatura->params() = embeddedParams();
    window.GUICHELISTA->open();
    window.w_ConfigTXT->setLines({"0", "1", "N", "N"}); // no sound, no voice
    window.ServerSocket1->Port = 0;
    window.ServerSocket1->SetActive(true);
    const quint16 port = window.ServerSocket1->listeningPort();
    window.ServerSocket1->Port = port;
    window.resize(986, 749);
    window.show();

    int handled = 0; // counted when a cycle has returned
    int deepest = 0;
    QObject::connect(window.ServerSocket1, &TServerSocket::ClientRead, [&] { ++handled; });
    const auto depth = [&] { deepest = std::max(deepest, window.ServerSocket1->readDepth()); };
    QObject::connect(window.ServerSocket1, &TServerSocket::ActiveChanged, depth);
    QObject::connect(window.ServerSocket1, &TServerSocket::Restarted, depth);

    std::atomic<int> next = 0;
    std::atomic<int> shown = 0;     // closed in order by the panel after its cycle
    std::atomic<int> turnedAway = 0; // reset, or refused
    std::atomic<int> refusals = 0;
    std::atomic<int> running = stations;
    std::vector<std::thread> threads;
    if (stream) {
        threads.emplace_back([&] {
            std::vector<std::unique_ptr<RawStation>> open; // a careless source leaves them open
            const auto start = std::chrono::steady_clock::now();
            for (int i; (i = next++) < calls;) {
                auto s = std::make_unique<RawStation>();
                if (!(s->connectTo(port, 2000) && s->send(callMessage(i), 2000))) ++turnedAway;
                open.push_back(std::move(s));
                std::this_thread::sleep_until(start + std::chrono::microseconds(1000000LL * (i + 1) / rate));
            }
            --running;
        });
    } else {
        for (int t = 0; t < stations; ++t) {
            threads.emplace_back([&] {
                for (int i; (i = next++) < calls;) {
                    RawStation s;
                    while (!s.connectTo(port, 10000)) { // the listener was off: call again shortly
                        ++refusals;
                        std::this_thread::sleep_for(std::chrono::milliseconds(50));
                    }
                    if (s.send(callMessage(i)) && s.waitClosed(120000) && !s.wasReset()) ++shown;
                    else ++turnedAway;
                }
                --running;
            });
        }
    }

    std::vector<Sample> samples;
    QElapsedTimer clock;
    clock.start();
    const auto sample = [&] {
        samples.push_back({clock.elapsed() / 1000.0, handled, procstats::residentKiB(), procstats::openDescriptors(),
                           window.ServerSocket1->connectionCount(), window.ServerSocket1->readDepth()});
        deepest = std::max(deepest, samples.back().depth);
        const Sample& s = samples.back();
        std::printf("%7.1f s  %6d calls  %8lld KiB  %5d fds  %3d connections  nesting %2d\n", s.seconds, s.handled,
                    (long long)s.rssKiB, s.fds, s.connections, s.depth);
        std::fflush(stdout);
    };
    if (stream)
        std::printf("soak: a stream of %d calls at %d per second, voice off\n", calls, rate);
    else
        std::printf("soak: %d calls from %d stations calling in parallel, voice off\n", calls, stations);
    sample();
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        sample();
        if (running == 0 && window.ServerSocket1->readDepth() == 0 && window.ServerSocket1->connectionCount() == 0)
            QCoreApplication::quit();
    });
    ticker.start(10000);
    QCoreApplication::exec();
    for (std::thread& t : threads) t.join();
    QTimer::singleShot(3000, &app, &QCoreApplication::quit); // deferred deletions and the last ticks
    QCoreApplication::exec();
    sample();

    const Sample& first = samples[std::min<std::size_t>(1, samples.size() - 1)];
    const Sample& last = samples.back();
    std::printf("soak: %d calls read by the panel in %.0f s (%.1f per second); deepest nesting %d; "
                "%d errors reported\n",
                last.handled, last.seconds, last.handled / std::max(0.001, last.seconds), deepest,
                int(report.errors.size()));
    if (stream)
        std::printf("soak: %d calls of the stream not read: refused (%d), or turned away or reset while every "
                    "connection held a waiting call\n",
                    calls - last.handled, turnedAway.load());
    else
        std::printf("soak: stations: %d calls closed in order, %d reset, %d connections refused and tried again\n",
                    shown.load(), turnedAway.load(), refusals.load());
    std::printf("soak: growth from %.0f s to the end: resident memory %+lld KiB, descriptors %+d, connections %+d\n",
                first.seconds, (long long)(last.rssKiB - first.rssKiB), last.fds - first.fds,
                last.connections - first.connections);
    return 0;
}
