// A panel group on loopback: a call sent to one panel, to its texts on the screens of the others.
//
// A broker of the bench's own (mosquitto) and five panels as processes, each in a folder of its
// own (embedded calls database, sound and voice off, PAINEL_LOG_CALLS=1), joined in one group.
// One station after another calls the first panel, every 300 ms (each call nested in the pause
// of the ones before, as in a busy hour); the moment each panel's line for the call arrives on
// its standard error is when the call was on its screen (the line is written right after the
// repaint). Figures: the first panel's own time from the station's write to its screen, each
// other panel's time beyond it, and the processor time a panel spends on the group's calls.
//
//   group_bench [--calls N] [--panels N] [--every MS]     defaults: 300 calls, 5 panels, 300 ms

#include "bench/benchsupport.h"
#include "tests/support/grouppanel.h"
#include "tests/support/ownbroker.h"
#include "tests/support/rawstation.h"

#include <QCoreApplication>
#include <QHash>
#include <QRegularExpression>
#include <QTimer>
#include <cstdio>
#include <cstring>
#include <deque>
#include <memory>

using namespace bench;

namespace {

struct Options {
    int calls = 300;
    int panels = 5;
    int everyMs = 300;
};

Options parse(int argc, char** argv) {
    Options o;
    for (int i = 1; i + 1 < argc; i += 2) {
        const int v = std::max(1, std::atoi(argv[i + 1]));
        if (!std::strcmp(argv[i], "--calls")) o.calls = v;
        else if (!std::strcmp(argv[i], "--panels")) o.panels = std::max(2, v);
        else if (!std::strcmp(argv[i], "--every")) o.everyMs = v;
    }
    return o;
}

QByteArray messageOf(int i) { return "MD*41GRUPO " + QByteArray::number(i).rightJustified(5, '0'); }

void printStats(Table& t, const std::string& what, const std::vector<double>& ms, const std::string& target) {
    const Stats s = statsOf(ms);
    t.row({what, std::to_string(s.count), fixed(s.min, 2), fixed(s.median, 2), fixed(s.p90, 2), fixed(s.p99, 2),
           fixed(s.max, 2), target});
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const Options o = parse(argc, argv);
    std::printf("Machine: %s\n\n", machineLine().c_str());
    OwnBroker broker;
    if (!broker.start()) {
        std::fprintf(stderr, "group_bench: mosquitto could not be started (Debian packages mosquitto, mosquitto-clients)\n");
        return 77;
    }
    std::vector<std::unique_ptr<GroupPanel>> panels;
    for (int i = 0; i < o.panels; ++i) {
        panels.push_back(std::make_unique<GroupPanel>(broker.port()));
        QString why;
        if (!panels.back()->start(&why)) {
            std::fprintf(stderr, "group_bench: panel %d: %s\n", i, qPrintable(why));
            return 1;
        }
    }

    // When each panel's line of each call arrived.
    std::vector<QHash<QByteArray, Clock::time_point>> shown(panels.size());
    static const QRegularExpression callLine(QStringLiteral(R"re(^painel: chamada \S+ \S+ \S+ "([^"]*)")re"));
    for (size_t p = 0; p < panels.size(); ++p) {
        QProcess& process = panels[p]->process();
        auto pending = std::make_shared<QByteArray>();
        QObject::connect(&process, &QProcess::readyReadStandardError, &app, [&, p, pending, proc = &process] {
            const Clock::time_point now = Clock::now();
            *pending += proc->readAllStandardError();
            qsizetype end;
            while ((end = pending->indexOf('\n')) >= 0) {
                const QByteArray line = pending->left(end);
                pending->remove(0, end + 1);
                const QRegularExpressionMatch m = callLine.match(QString::fromLocal8Bit(line));
                if (m.hasMatch()) shown[p].insert(m.captured(1).toLatin1(), now);
            }
        });
    }

    std::vector<Clock::time_point> sent(size_t(o.calls));
    std::deque<std::unique_ptr<RawStation>> open;
    std::vector<ProcessSample> before;
    for (const auto& p : panels) before.push_back(sampleProcess(p->pid()));
    const Clock::time_point began = Clock::now();
    int next = 0;
    QTimer pace;
    pace.setTimerType(Qt::PreciseTimer);
    QObject::connect(&pace, &QTimer::timeout, [&] {
        if (next == o.calls) return;
        auto station = std::make_unique<RawStation>();
        if (station->connectRetrying(panels[0]->port(), 5000)) {
            sent[size_t(next)] = Clock::now();
            station->send(messageOf(next));
        }
        ++next;
        open.push_back(std::move(station));
        // The panel has closed a connection long before: its cycle lasts about 2 s.
        while (open.size() > 64) open.pop_front();
    });
    pace.start(o.everyMs);
    QTimer done;
    QObject::connect(&done, &QTimer::timeout, [&] {
        bool all = next == o.calls;
        for (const auto& s : shown) all = all && s.size() >= o.calls;
        if (all || msBetween(began, Clock::now()) > o.calls * double(o.everyMs) + 60000) app.quit();
    });
    done.start(200);
    app.exec();
    const double wallMs = msBetween(began, Clock::now());

    std::vector<double> own, beyond, anyOther;
    int missing = 0;
    for (int i = 0; i < o.calls; ++i) {
        const QByteArray m = messageOf(i);
        if (!shown[0].contains(m)) {
            ++missing;
            continue;
        }
        own.push_back(msBetween(sent[size_t(i)], shown[0].value(m)));
        for (size_t p = 1; p < panels.size(); ++p) {
            if (!shown[p].contains(m)) {
                ++missing;
                continue;
            }
            anyOther.push_back(msBetween(sent[size_t(i)], shown[p].value(m)));
            beyond.push_back(msBetween(shown[0].value(m), shown[p].value(m)));
        }
    }
    std::printf("group_bench: %d calls to the first of %d panels, one every %d ms, through mosquitto on loopback (%.0f s)\n\n",
                o.calls, o.panels, o.everyMs, wallMs / 1000);
    Table t;
    t.row({"ms", "calls", "min", "median", "p90", "p99", "max", "target"});
    printStats(t, "station's write -> first panel's screen", own, "");
    printStats(t, "station's write -> another panel's screen", anyOther, "");
    printStats(t, "another panel's screen beyond the first's", beyond, "p99 < 50");
    t.print();
    std::printf("\ncalls not shown on a panel: %d\n\n", missing);

    Table cpu;
    cpu.row({"panel", "processor ms", "per 1,000 calls (ms)", "resident MiB", "threads"});
    for (size_t p = 0; p < panels.size(); ++p) {
        const ProcessSample after = sampleProcess(panels[p]->pid());
        const double used = after.cpuMs - before[p].cpuMs;
        cpu.row({p == 0 ? "first (its stations' calls)" : "panel " + std::to_string(p + 1) + " (the group's calls)",
                 fixed(used, 0), fixed(used * 1000.0 / o.calls, 0), fixed(after.rssMiB, 1), std::to_string(after.threads)});
    }
    cpu.print();
    return missing == 0 ? 0 : 1;
}
