// Call-to-screen latency: from the moment a station's message is written to its socket to the
// moment the main window has painted the call's new texts on Panel3 and Panel8.
//
// The main window runs in this process as the program runs it: start-up from config.ini and
// configserver.txt (sound off, voice off, no media files), an embedded calls database with 2,000
// calls today, the window shown full screen; only its error report records instead of showing
// boxes. A station thread writes calls of every form over loopback. A paint probe (an event
// filter of the application) notes when Panel3 and Panel8 have finished painting the texts the
// message gives them (computed from the message by the call grammar).
//
// Every cycle holds the display for 2 seconds (3 for a counter call), so calls are sent either
//   serial: one at a time, the next as soon as the panel has closed the previous connection; or
//   nested: in bursts of K stations G ms apart, each call arriving inside the previous call's
//           pause and handled there as a nested cycle (as a busy clinic does); the burst's last
//           call is a counter call. The next burst starts once the panel has closed them all.
//
//   latency_bench [--calls N] [--mode nested|serial|both] [--burst K] [--gap MS]
//   defaults: 200 calls, nested, bursts of 5 stations 300 ms apart. Without QT_QPA_PLATFORM it
//   runs on the offscreen platform with a 1920 x 1080 screen.

#include "bench/benchsupport.h"
#include "tests/support/freeport.h"
#include "tests/support/rawstation.h"
#include "calls/grammar.h"
#include "base/codepage.h"
#include "db/callsquery.h"
#include "display/callsgrid.h"
#include "display/panel.h"
#include "display/tprincipal.h"
#include "tests/support/fakevoice.h"
#include "tests/support/firebird.h"
#include "tests/support/recordingreport.h"

#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <optional>
#include <thread>
#include <unistd.h>

using namespace bench;

namespace {

struct Options {
    int calls = 200;
    QString mode = QStringLiteral("nested");
    int burst = 5;
    int gapMs = 300;
};

// One call as the station sent it and as the window painted it.
struct CallRecord {
    QByteArray message;
    QString panel3, panel8; // the texts the call gives the panels
    Clock::time_point written;
    std::optional<Clock::time_point> repaintStarted, panel3Painted, panel8Painted;
    bool refused = false;
};

class CallLog {
public:
    std::size_t add(CallRecord r) {
        std::lock_guard lock(m_mutex);
        m_calls.push_back(std::move(r));
        return m_calls.size() - 1;
    }
    void setWritten(std::size_t i, Clock::time_point t) {
        std::lock_guard lock(m_mutex);
        m_calls[i].written = t;
        m_pending = i;
    }
    void setRefused(std::size_t i) {
        std::lock_guard lock(m_mutex);
        m_calls[i].refused = true;
    }
    // The call written last whose texts the panels show now, if it has not been painted yet.
    template <class F> void withPending(const QString& p3, const QString& p8, F&& f) {
        std::lock_guard lock(m_mutex);
        if (!m_pending) return;
        CallRecord& c = m_calls[*m_pending];
        if (c.panel3 == p3 && c.panel8 == p8) f(c);
    }
    std::vector<CallRecord> calls() {
        std::lock_guard lock(m_mutex);
        return m_calls;
    }

private:
    std::mutex m_mutex;
    std::vector<CallRecord> m_calls;
    std::optional<std::size_t> m_pending;
};

// Notes when the window starts repainting for a call (the first paint event of any widget once
// the call's texts are set) and when Panel3 and Panel8 have painted them. A panel's paint event
// is run from here, so the time taken is after its painting.
class PaintProbe : public QObject {
public:
    PaintProbe(TPrincipal& w, CallLog& log) : m_w(w), m_log(log) { qApp->installEventFilter(this); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::Paint) return false;
        const QString p3 = m_w.Panel3->text(), p8 = m_w.Panel8->text();
        const auto begun = Clock::now();
        m_log.withPending(p3, p8, [&](CallRecord& c) {
            if (!c.repaintStarted) c.repaintStarted = begun;
        });
        if (watched != m_w.Panel3 && watched != m_w.Panel8) return false;
        static_cast<QObject*>(watched)->event(event); // QObject::event is public: paint it now
        const auto now = Clock::now();
        m_log.withPending(p3, p8, [&](CallRecord& c) {
            auto& mark = watched == m_w.Panel3 ? c.panel3Painted : c.panel8Painted;
            if (!mark) mark = now;
        });
        return true;
    }

private:
    TPrincipal& m_w;
    CallLog& m_log;
};

CallRecord recordFor(const QByteArray& message) {
    CallRecord r;
    r.message = message;
    const CallResult form = parseCall(cp1252::decode(message), 36, 32);
    r.panel3 = form.panel3.text.value_or(QString());
    r.panel8 = form.panel8.text.value_or(QString());
    return r;
}

// The station side: sends the calls and waits for the panel to close them.
void runStations(quint16 port, const Options& o, bool nested, CallLog& log) {
    const int burst = nested ? std::max(1, o.burst) : 1;
    CallMix mix(burst > 1 ? burst : 5); // one at a time: every fifth call is a counter call
    int sent = 0;
    while (sent < o.calls) {
        std::vector<std::unique_ptr<RawStation>> open;
        const int k = std::min(burst, o.calls - sent);
        for (int j = 0; j < k; ++j, ++sent) {
            const QByteArray message = mix.next();
            const std::size_t i = log.add(recordFor(message));
            // The first station of a burst waits for the listener (a counter call keeps it off
            // until its cycle ends); the others come while it is on.
            auto s = std::make_unique<RawStation>();
            if (!(j == 0 ? s->connectRetrying(port, 10000) : s->connectTo(port))) {
                log.setRefused(i);
                continue;
            }
            const auto t = Clock::now();
            log.setWritten(i, t);
            s->send(message);
            open.push_back(std::move(s));
            if (j + 1 < k) std::this_thread::sleep_until(t + std::chrono::milliseconds(o.gapMs));
        }
        for (const auto& s : open) s->waitClosed(15000);
        waitIdle(port);
    }
}

void report(const char* mode, const Options& o, bool nested, const std::vector<CallRecord>& calls, int errors) {
    std::vector<double> total, toRepaint, repaint;
    int refused = 0, unpainted = 0;
    for (const CallRecord& c : calls) {
        if (c.refused) {
            ++refused;
            continue;
        }
        if (!c.panel3Painted || !c.panel8Painted) {
            ++unpainted;
            std::printf("not painted: %s (Panel3 %s, Panel8 %s)\n", c.message.constData(),
                        c.panel3Painted ? "painted" : "not painted", c.panel8Painted ? "painted" : "not painted");
            continue;
        }
        const auto painted = std::max(*c.panel3Painted, *c.panel8Painted);
        total.push_back(msBetween(c.written, painted));
        if (c.repaintStarted) {
            toRepaint.push_back(msBetween(c.written, *c.repaintStarted));
            repaint.push_back(msBetween(*c.repaintStarted, painted));
        }
    }
    std::printf("\nMode %s: %d calls", mode, int(calls.size()));
    if (nested)
        std::printf(" in bursts of %d stations %d ms apart (each call nested in the previous one's pause)", o.burst,
                    o.gapMs);
    else
        std::printf(", one at a time");
    std::printf("; %d refused, %d not painted, %d errors reported by the panel\n\n", refused, unpainted, errors);
    Table t;
    t.row({"ms", "calls", "min", "median", "p90", "p99", "max", "target"});
    const auto line = [&](const char* what, const std::vector<double>& v, const char* target) {
        const Stats s = statsOf(v);
        t.row({what, std::to_string(s.count), fixed(s.min, 2), fixed(s.median, 2), fixed(s.p90, 2), fixed(s.p99, 2),
               fixed(s.max, 2), target});
    };
    line("message written -> Panel3 and Panel8 painted", total, "median < 16, p99 < 50");
    line("  written -> window repaint begins (read, form)", toRepaint, "");
    line("  repaint begins -> both panels painted", repaint, "");
    t.print();

    // The slowest calls, to see where the time goes.
    std::vector<std::pair<double, std::size_t>> slow;
    for (std::size_t i = 0; i < calls.size(); ++i) {
        const CallRecord& c = calls[i];
        if (c.panel3Painted && c.panel8Painted)
            slow.emplace_back(msBetween(c.written, std::max(*c.panel3Painted, *c.panel8Painted)), i);
    }
    std::sort(slow.rbegin(), slow.rend());
    std::printf("\nslowest calls (ms: written -> repaint begins -> painted):\n");
    for (std::size_t n = 0; n < std::min<std::size_t>(5, slow.size()); ++n) {
        const CallRecord& c = calls[slow[n].second];
        const double begin = c.repaintStarted ? msBetween(c.written, *c.repaintStarted) : -1;
        std::printf("  #%-4zu %7.2f  %7.2f  %s\n", slow[n].second + 1, slow[n].first, begin, c.message.constData());
    }
}

QString offscreenScreen(const QString& dir) {
    const QString path = QDir(dir).filePath(QStringLiteral("screen.json"));
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(R"({"screens": [{"name": "panel", "x": 0, "y": 0, "width": 1920, "height": 1080,
                   "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
    return path;
}

Options parse(int argc, char** argv) {
    Options o;
    for (int i = 1; i + 1 < argc; i += 2) {
        const char* v = argv[i + 1];
        if (!std::strcmp(argv[i], "--calls")) o.calls = std::max(1, std::atoi(v));
        else if (!std::strcmp(argv[i], "--mode")) o.mode = QString::fromLatin1(v);
        else if (!std::strcmp(argv[i], "--burst")) o.burst = std::max(1, std::atoi(v));
        else if (!std::strcmp(argv[i], "--gap")) o.gapMs = std::max(0, std::atoi(v));
    }
    return o;
}

} // namespace

int main(int argc, char** argv) {
    const Options o = parse(argc, argv);
    QTemporaryDir dir;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + offscreenScreen(dir.path())).toLocal8Bit());
    QApplication app(argc, argv);

    testClient(); // the private Firebird root, before the window loads the client
    const QString database = dir.filePath(QStringLiteral("calls.fdb"));
    createCallsDatabase(database, 2000);
    const quint16 port = freeTcpPort();
    const PanelInstall install = installPanel(dir.path(), database, port);
    QDir::setCurrent(install.dir);

    RecordingErrorReport errors;
    VoiceLog voice;
    PrincipalEnvironment env;
    env.exeDir = install.dir;
    env.errors = &errors;
    env.voiceFactory = fakeVoiceFactory(voice);
    TPrincipal window(env);
    window.FormCreate();
    if (!errors.errors.isEmpty()) {
        std::fprintf(stderr, "latency_bench: start-up failed: %s\n", qPrintable(errors.errors.join(u'|')));
        return 1;
    }
    window.showKiosk();

    std::printf("Call-to-screen latency, in-process main window, voice and sound off, no video\n");
    std::printf("Machine: %s\n", machineLine().c_str());
    std::printf("Platform: %s, window %d x %d, calls list of 2,000 calls today (embedded Firebird)\n",
                qPrintable(QGuiApplication::platformName()), window.width(), window.height());

    {
        // The window is shown and painted, and waits for calls as it does all day.
        QEventLoop settle;
        QTimer::singleShot(1000, &settle, &QEventLoop::quit);
        settle.exec();
    }
    const double rssStarted = sampleProcess(getpid()).rssMiB;

    const QStringList modes = o.mode == u"both" ? QStringList{"serial", "nested"} : QStringList{o.mode};
    for (const QString& mode : modes) {
        const bool nested = mode == u"nested";
        CallLog log;
        PaintProbe probe(window, log);
        errors.errors.clear();
        QEventLoop loop;
        std::thread stations([&] {
            runStations(port, o, nested, log);
            QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
        });
        loop.exec();
        stations.join();
        report(qPrintable(mode), o, nested, log.calls(), int(errors.errors.size()));
        if (!errors.errors.isEmpty()) std::printf("first error: %s\n", qPrintable(errors.errors.first()));
    }

    // The grid scrolled to the end of the list fetches every row of the day.
    const double rssCalls = sampleProcess(getpid()).rssMiB;
    while (window.GUICHELISTA->canFetchMore()) {
        window.Grid->scrollToBottom();
        QCoreApplication::processEvents();
    }
    const double rssList = sampleProcess(getpid()).rssMiB;
    std::printf("\nResident size of this process (MiB): after start-up %.1f, after the calls %.1f, with all %d rows "
                "of the list fetched %.1f\n",
                rssStarted, rssCalls, window.GUICHELISTA->rowCount(), rssList);
    return 0;
}
