#pragma once
// What the panel's benchmarks share besides the tests' helpers (tests/support: stations, free
// ports, /proc figures): statistics of a set of times, the machine's description, the processor
// time and resident size of a process, a calls database with a day of calls, a copy of the panel
// installed in a folder of its own, and a mix of call messages.

#include "tests/support/firebird.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace bench {

using Clock = std::chrono::steady_clock;

// Milliseconds between two instants of the steady clock.
double msBetween(Clock::time_point from, Clock::time_point to);

// Order statistics of a set of figures (nearest rank).
struct Stats {
    std::size_t count = 0;
    double min = 0, median = 0, p90 = 0, p99 = 0, max = 0, mean = 0;
};
Stats statsOf(std::vector<double> values);

// "AMD EPYC, 2 processor cores, 23.5 GiB of memory, Linux 6.1"
std::string machineLine();
int coreCount();

// A table of text cells printed with aligned columns; the first row is the header.
class Table {
public:
    void row(std::vector<std::string> cells) { m_rows.push_back(std::move(cells)); }
    void print() const;

private:
    std::vector<std::vector<std::string>> m_rows;
};
std::string fixed(double value, int decimals = 1);

// Processor time (user and system, every thread running; see procstats::processorMs), resident
// size and threads of a process at one moment.
struct ProcessSample {
    double cpuMs = 0;
    double rssMiB = 0;
    int threads = 0;
};
ProcessSample sampleProcess(long long pid);

// A fresh embedded calls database (schema, two counters) holding `today` calls of today; it is
// closed again when this returns.
void createCallsDatabase(const QString& path, int today);

// The panel copied into a folder of its own with config.ini (fonts 36/32, the calls database:
// embedded, or through `server` when one is given) and configserver.txt (sound off, voice off),
// run from that folder.
struct PanelInstall {
    QString dir;
    QString program;
    quint16 port = 0;
    // Environment of the panel's process: offscreen platform unless QT_QPA_PLATFORM names one,
    // errors to standard error, Firebird's installed configuration. The database must not be
    // open in this process while the panel runs (the installed server mode opens it exclusively).
    QStringList environment() const;
};
PanelInstall installPanel(const QString& dir, const QString& database, quint16 port,
                          const std::optional<FbServer>& server = std::nullopt);

// Waits until the panel listens again and the cycles that were running have ended: a station
// that connected while nested cycles unwind would have its connection closed, unread, by the
// listener restart of an outer cycle.
void waitIdle(quint16 port);

// Messages of every form a station sends, with unique names, so that no two in a row leave the
// call lines with the same texts. Counter calls come only at the positions asked for.
class CallMix {
public:
    // Every n-th message (from 1) is a counter call; 0 for none.
    explicit CallMix(int counterEvery) : m_counterEvery(counterEvery) {}
    QByteArray next();

private:
    int m_counterEvery;
    int m_sent = 0;
    int m_other = 0;
};

} // namespace bench
