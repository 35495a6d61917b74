// The accelerated year: the panel as a process, as a clinic runs it for months, through a
// compressed schedule of the faults of such a time, with 30 stations calling all the while.
//
// The panel is installed in a folder of its own (chime and video, voice and sound on) and plays
// into a private PulseAudio server with a null sink; its calls database is on a Firebird server
// of the bench's own, reached through a TCP proxy of the bench (tcpproxy.h) that cuts, stalls,
// slows and blackholes the network. It writes a line per call shown (PAINEL_LOG_CALLS) and beats
// the watchdog every 100 ms on a notification socket of the bench. The schedule is in
// bench/README.md; every fault is undone before the next one starts.
//
//   week_bench            30 minutes, the schedule repeated
//   week_bench --quick    about 4 minutes (the schedule twice)
//   week_bench --short    one pass of the schedule, about 150 seconds (the test week_bench_short)
//   --rate R              calls a second offered by the stations together (default 0.03), besides
//                         a call at the start of each fault: a spoken call holds the panel about
//                         5.5 s, and calls waiting behind it are served one after the other
//   --voice-off           sound and voice off, the stations calling back to back (no --rate), at
//                         most 20,000 calls: the rate the cycle allows, as soak_bench
//   --log FILE            everything the panel writes to standard error, into FILE
//                         (error boxes are shown and left open: nobody answers them)
//   --fds                 after each phase, the panel's descriptors that came and went, each
//                         named (a socket by its ports or its peer's path, from ss)
//
// Exit status: 0 when no call was lost, 1 when one was, 77 when Firebird's server or PulseAudio
// is missing (nothing was run).

#include "bench/benchsupport.h"
#include "bench/tcpproxy.h"
#include "base/errors.h"
#include "tests/support/firebird.h"
#include "tests/support/freeport.h"
#include "tests/support/notifysocket.h"
#include "tests/support/ownsoundserver.h"
#include "tests/support/procstats.h"
#include "tests/support/pulsehall.h"
#include "tests/support/rawstation.h"
#include "tools/testmedia.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <map>
#include <mutex>
#include <netinet/in.h>
#include <random>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace bench;

namespace {

constexpr int kStations = 30;
constexpr int kCloseBoundMs = 60000; // a call not closed by then is lost

double secondsSince(Clock::time_point t0) { return msBetween(t0, Clock::now()) / 1000.0; }
void sleepSeconds(double s) { std::this_thread::sleep_for(std::chrono::milliseconds(int(s * 1000))); }

// The pid written in a file (fbserver.sh's pid file); 0 when none.
pid_t pidIn(const QString& file) {
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? pid_t(f.readAll().trimmed().toInt()) : 0;
}

// The panel's process, started from its folder; its standard error is read on a thread of its
// own: the line of every call shown is noted with its arrival time, the rest kept as errors.
class PanelProcess {
public:
    PanelProcess(const PanelInstall& install, const QStringList& environment, FILE* log) : m_log(log) {
        int pipeFds[2];
        if (::pipe2(pipeFds, O_CLOEXEC) != 0) throw EPainelError(QStringLiteral("no pipe"));
        std::vector<QByteArray> envBytes;
        for (const QString& v : environment) envBytes.push_back(v.toLocal8Bit());
        std::vector<char*> envp;
        for (QByteArray& b : envBytes) envp.push_back(b.data());
        envp.push_back(nullptr);
        const QByteArray program = QFile::encodeName(install.program), dir = QFile::encodeName(install.dir);
        char* argv[] = {const_cast<char*>(program.constData()), nullptr};
        m_pid = ::fork();
        if (m_pid == 0) {
            const int null = ::open("/dev/null", O_RDWR);
            ::dup2(null, 0);
            ::dup2(null, 1);
            ::dup2(pipeFds[1], 2);
            if (::chdir(dir.constData()) == 0) ::execve(argv[0], argv, envp.data());
            ::_exit(127);
        }
        ::close(pipeFds[1]);
        m_fd = pipeFds[0];
        if (m_pid < 0) throw EPainelError(QStringLiteral("cannot start the panel"));
        m_reader = std::thread([this] { read(); });
    }
    ~PanelProcess() {
        ::kill(m_pid, SIGTERM);
        for (int i = 0; i < 100 && ::waitpid(m_pid, nullptr, WNOHANG) == 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        if (::kill(m_pid, 0) == 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
        m_reader.join();
        ::close(m_fd);
    }
    pid_t pid() const { return m_pid; }
    bool running() const { return ::kill(m_pid, 0) == 0 && ::waitpid(m_pid, nullptr, WNOHANG) == 0; }
    // When each message was shown (its line arrived); the first showing of a message counts.
    std::map<std::string, Clock::time_point> shown() const {
        std::lock_guard lock(m_mutex);
        return m_shown;
    }
    // When every call line arrived, repeated messages too.
    std::vector<Clock::time_point> callTimes() const {
        std::lock_guard lock(m_mutex);
        return m_callTimes;
    }
    std::vector<std::string> otherLines() const {
        std::lock_guard lock(m_mutex);
        return m_other;
    }

private:
    void read() {
        std::string pending;
        char buffer[8192];
        for (ssize_t n; (n = ::read(m_fd, buffer, sizeof buffer)) > 0;) {
            pending.append(buffer, size_t(n));
            for (size_t end; (end = pending.find('\n')) != std::string::npos; pending.erase(0, end + 1))
                take(pending.substr(0, end), Clock::now());
        }
    }
    // painel: chamada 2026-12-10 14:02:03.456 127.0.0.1 "MD*7ANA" 12 ms
    void take(const std::string& line, Clock::time_point at) {
        std::lock_guard lock(m_mutex);
        if (m_log) std::fprintf(m_log, "%.3f %s\n", msBetween(m_start, at) / 1000.0, line.c_str());
        const size_t open = line.find('"'), close = line.rfind('"');
        if (line.rfind("painel: chamada ", 0) != 0 || open == close) {
            m_other.push_back(line);
            return;
        }
        std::string message;
        for (size_t i = open + 1; i < close; ++i) {
            if (line[i] == '\\' && i + 1 < close) ++i;
            message += line[i];
        }
        m_shown.emplace(message, at);
        m_callTimes.push_back(at);
    }

    FILE* m_log;
    const Clock::time_point m_start = Clock::now();
    pid_t m_pid = -1;
    int m_fd = -1;
    std::thread m_reader;
    mutable std::mutex m_mutex;
    std::map<std::string, Clock::time_point> m_shown;
    std::vector<Clock::time_point> m_callTimes;
    std::vector<std::string> m_other;
};

QString descriptorFolder(pid_t pid) { return QStringLiteral("/proc/%1/fd").arg(pid); }

// The descriptors open in another process, by number.
QStringList descriptorEntries(pid_t pid) {
    return QDir(descriptorFolder(pid)).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::System);
}

int descriptorsOf(pid_t pid) { return int(descriptorEntries(pid).size()); }

// What each descriptor of a process is: its link in /proc, and for a socket the line ss gives for
// it (ports, or a Unix socket's path and its peer's). A socket ss does not know keeps its link.
std::map<int, std::string> descriptorNames(pid_t pid) {
    std::map<int, std::string> names;
    for (const QString& fd : descriptorEntries(pid))
        names[fd.toInt()] = QFile::symLinkTarget(descriptorFolder(pid) + QLatin1Char('/') + fd).section(QLatin1Char('/'), -1).toStdString();
    QProcess ss;
    ss.start(QStringLiteral("ss"), {QStringLiteral("-anpH")});
    if (!ss.waitForFinished(5000)) return names;
    // ss: netid state recv-q send-q local peer process; a Unix socket has its path and inode as
    // local, and its peer's inode as peer.
    std::map<std::string, std::string> localOfInode;
    std::vector<QStringList> lines;
    for (const QByteArray& line : ss.readAllStandardOutput().split('\n')) {
        const QStringList w = QString::fromLocal8Bit(line).split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (w.size() < 7) continue;
        lines.push_back(w);
        if (w[0].startsWith(QLatin1String("u_")))
            localOfInode[w[5].toStdString()] = (w[4] + QLatin1Char(' ') + w.mid(8).join(QLatin1Char(' ')).section(QLatin1Char(','), 0, 0)).toStdString();
    }
    const QString mine = QStringLiteral("pid=%1,fd=").arg(pid);
    for (const QStringList& w : lines) {
        const QString users = w.join(QLatin1Char(' '));
        for (qsizetype at = users.indexOf(mine); at >= 0; at = users.indexOf(mine, at + 1)) {
            const int fd = users.mid(at + mine.size()).section(QLatin1Char(')'), 0, 0).toInt();
            std::string name = w[0].toStdString() + " " + w[1].toStdString() + " " + w[4].toStdString() + " -> ";
            if (w[0].startsWith(QLatin1String("u_"))) {
                const auto peer = localOfInode.find(w[7].toStdString());
                name += peer != localOfInode.end() ? peer->second : "inode " + w[7].toStdString();
            } else {
                name += w[5].toStdString();
            }
            names[fd] = name;
        }
    }
    return names;
}

// The descriptors of `now` not in `before` (+) and of `before` not in `now` (-), counted by name.
void printDescriptorChange(const std::map<int, std::string>& before, const std::map<int, std::string>& now) {
    std::map<std::string, int> count;
    for (const auto& [fd, name] : now) ++count[name];
    for (const auto& [fd, name] : before) --count[name];
    for (const auto& [name, n] : count)
        if (n != 0) std::printf("    %+d  %s\n", n, name.c_str());
}

struct ResourceSample {
    double seconds;
    int callsSent;
    double rssMiB;
    int fds;
    int threads;
};

enum class Outcome { Closed, ResetUnread, NeverClosed };
struct CallRecord {
    std::string message;
    Clock::time_point sent;
    int phase;
    Outcome outcome;
};

// A fault of the schedule: what it does, for how long, and how it is undone.
struct Fault {
    std::string name;
    std::string how;
    std::function<void()> run; // returns once the fault is undone
    bool ownCalls = false;     // its stations bring calls of their own: no call of the bench at its start
};

struct Phase {
    std::string name;
    Clock::time_point start;
    ResourceSample after{};
};

// A listening socket on 127.0.0.2 and the port, as another program holding it: the panel, which
// listens on every address, cannot listen while it is there, and stations calling 127.0.0.1 are
// refused (and try again) rather than heard by it. -1 while the panel holds the port.
int holdPort(quint16 port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(0x7f000002);
    if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 && ::listen(fd, 1) == 0) return fd;
    if (fd >= 0) ::close(fd);
    return -1;
}

// Abusive stations of one kind, each on a thread of its own, all ended before this returns.
void abuse(int count, const std::function<void(int)>& station) {
    std::vector<std::thread> threads;
    for (int i = 0; i < count; ++i) threads.emplace_back(station, i);
    for (std::thread& t : threads) t.join();
}

} // namespace

int main(int argc, char** argv) {
    enum { Full, Quick, Short } form = Full;
    bool voice = true;
    double rate = 0.03;
    FILE* log = nullptr;
    bool traceDescriptors = false;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--quick")) form = Quick;
        else if (!std::strcmp(argv[i], "--short")) form = Short;
        else if (!std::strcmp(argv[i], "--voice-off")) voice = false, rate = 0;
        else if (!std::strcmp(argv[i], "--rate") && i + 1 < argc) rate = std::atof(argv[++i]);
        else if (!std::strcmp(argv[i], "--log") && i + 1 < argc) log = std::fopen(argv[++i], "w");
        else if (!std::strcmp(argv[i], "--fds")) traceDescriptors = true;
        else {
            std::fprintf(stderr, "usage: week_bench [--quick|--short] [--rate R] [--voice-off] [--log FILE] [--fds]\n");
            return 2;
        }
    }
    if (!QFile::exists(QStringLiteral("/usr/sbin/firebird")) || QStandardPaths::findExecutable(QStringLiteral("pulseaudio")).isEmpty()) {
        std::printf("week_bench: skipped: needs Firebird's server (/usr/sbin/firebird) and pulseaudio\n");
        return 77;
    }
    const double duration = form == Full ? 1800 : form == Quick ? 180 : 0; // 0: one pass of the schedule
    const int callLimit = voice ? 1000000 : 20000;
    const double quiet = form == Full ? 20 : 3; // between faults
    QCoreApplication app(argc, argv);
    std::printf("Machine: %s\n", machineLine().c_str());

    QTemporaryDir dir;
    const auto at = [&](const char* name) { return dir.filePath(QString::fromLatin1(name)); };
    QDir().mkpath(at("panel"));
    OwnSoundServer pulse(at("pulse"));
    if (pulse.start().isEmpty()) {
        std::fprintf(stderr, "week_bench: no PulseAudio server could be started\n");
        return 1;
    }
    OwnServer fbOwn(at("fb"));
    const FbServer fb = fbOwn.start();
    const QString fbPid = at("fb/server.pid");
    const QString database = at("calls.fdb");
    try {
        FbSession db = FbSession::create(fb.databaseName(database), fb.params());
        db.createSchema();
        db.addCounter(1, QStringLiteral("RECEPÇÃO - GUICHÊ 1"), QStringLiteral("A"));
    } catch (const EPainelError& e) {
        std::fprintf(stderr, "week_bench: %s\n", qPrintable(e.text()));
        return 1;
    }
    TcpProxy proxy(std::uint16_t(fb.port));
    const quint16 port = freeTcpPort();
    const PanelInstall install = installPanel(at("panel"), database, port, FbServer{proxy.port(), fb.root, fb.password});
    const auto writeFile = [](const QString& path, const QByteArray& bytes) {
        QFile f(path);
        return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
    };
    writeFile(QDir(install.dir).filePath(QStringLiteral("configserver.txt")), QByteArray::number(port) + (voice ? "\n1\nS\nS\n" : "\n1\nN\nN\n"));
    const QString chime = QDir(install.dir).filePath(QStringLiteral("NOTIFY.WAV"));
    const QString video = QDir(install.dir).filePath(QStringLiteral("VIDEO.WMV"));
    QString why;
    if (!testmedia::writeChimeWav(chime, 1200, &why)) std::fprintf(stderr, "week_bench: %s\n", qPrintable(why));
    const bool withVideo = testmedia::writeTestVideo(video, 20, false, &why);
    if (!withVideo) std::printf("week_bench: no video (%s)\n", qPrintable(why));
    const auto contents = [](const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };
    const QByteArray goodChime = contents(chime), goodVideo = contents(video);

    NotifySocket watchdog(at("notify"));
    if (!watchdog.bound()) {
        std::fprintf(stderr, "week_bench: cannot bind the notification socket\n");
        return 1;
    }
    QStringList env = HallSink(pulse.runtime()).environment(install.environment());
    // Error boxes as a clinic has them: the first one opens and nobody ever presses OK, so the
    // whole run goes on inside its loop (every error is on standard error as well).
    env.removeAll(QStringLiteral("PAINEL_ERRORS=stderr"));
    env << QStringLiteral("PAINEL_LOG_CALLS=1") << QStringLiteral("NOTIFY_SOCKET=") + at("notify")
        << QStringLiteral("WATCHDOG_USEC=300000") << QStringLiteral("PAINEL_DB_TIMEOUT=2");

    // The panel starts while the database cannot be reached.
    std::vector<Phase> phases;
    std::mutex phaseMutex;
    std::atomic<int> phaseNow = 0;
    const Clock::time_point t0 = Clock::now();
    const auto beginPhase = [&](const std::string& name) {
        std::lock_guard lock(phaseMutex);
        phases.push_back({name, Clock::now(), {}});
        phaseNow = int(phases.size()) - 1;
    };
    beginPhase("start-up, database unreachable (proxy refusing)");
    proxy.setMode(TcpProxy::Mode::Refuse);
    PanelProcess panel(install, env, log);
    if (!RawStation().connectRetrying(port, 30000)) {
        std::fprintf(stderr, "week_bench: the panel does not listen\n");
        return 1;
    }

    std::atomic<int> nextCall = 0;
    std::atomic<int> refusedConnections = 0;
    std::atomic<bool> stopCalling = false;
    // The stations take turns from one timetable of `rate` calls a second: a station whose last
    // call is still open leaves its turn late, none calls early.
    std::atomic<long> nextTurn = 0;
    const Clock::time_point firstTurn = Clock::now();
    const auto waitTurn = [&] {
        if (rate <= 0) return;
        const Clock::time_point turn = firstTurn + std::chrono::milliseconds(long(1000.0 * double(nextTurn++) / rate));
        while (!stopCalling && Clock::now() < turn) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    };
    std::mutex recordMutex;
    std::vector<CallRecord> records;
    // One call of a station, noted with its outcome.
    const auto call = [&](const char* name) {
        RawStation station;
        if (!station.connectRetrying(port, 20000)) {
            ++refusedConnections;
            return;
        }
        CallRecord r{name, Clock::now(), phaseNow.load(), Outcome::Closed};
        if (!station.send(QByteArray(name), 5000)) r.outcome = Outcome::ResetUnread;
        else if (!station.waitClosed(kCloseBoundMs)) r.outcome = Outcome::NeverClosed;
        else if (station.wasReset()) r.outcome = Outcome::ResetUnread;
        std::lock_guard lock(recordMutex);
        records.push_back(std::move(r));
    };
    std::vector<std::thread> stations;
    for (int s = 0; s < kStations; ++s)
        stations.emplace_back([&, s] {
            for (int seq = 0; !stopCalling;) {
                waitTurn();
                if (stopCalling || nextCall++ >= callLimit) break;
                char name[64];
                std::snprintf(name, sizeof name, "MD*7PACIENTE %02d N%05d", s, seq++);
                call(name);
            }
        });
    // Besides the timetable, a call as each fault begins, so that every fault meets one.
    std::vector<std::thread> faultCalls;

    std::vector<ResourceSample> samples;
    const auto sampleNow = [&] {
        const ProcessSample p = sampleProcess(panel.pid());
        return ResourceSample{secondsSince(t0), std::min(nextCall.load(), callLimit), p.rssMiB, descriptorsOf(panel.pid()),
                              p.threads};
    };
    std::atomic<bool> stopSampling = false;
    std::thread sampler([&] {
        const double every = form == Full ? 30 : form == Quick ? 10 : 5;
        for (Clock::time_point next = Clock::now(); !stopSampling; std::this_thread::sleep_for(std::chrono::milliseconds(100))) {
            if (Clock::now() < next) continue;
            next += std::chrono::milliseconds(int(every * 1000));
            const ResourceSample s = sampleNow();
            std::lock_guard lock(phaseMutex);
            samples.push_back(s);
        }
    });
    sleepSeconds(4);
    proxy.setMode(TcpProxy::Mode::Pass);

    // The schedule.
    const auto signalServer = [](pid_t pid, int signal) {
        if (pid > 0) ::kill(pid, signal);
    };
    const auto hang = [&](const QString& pidFile, double seconds) {
        const pid_t pid = pidIn(pidFile);
        signalServer(pid, SIGSTOP);
        sleepSeconds(seconds);
        signalServer(pid, SIGCONT);
    };
    const auto proxied = [&](TcpProxy::Mode mode, double seconds) {
        proxy.setMode(mode);
        sleepSeconds(seconds);
        proxy.setMode(TcpProxy::Mode::Pass);
    };
    const auto media = [&](const std::function<QByteArray(const QByteArray&)>& damage, double seconds) {
        for (const auto& [path, good] : {std::pair{chime, goodChime}, std::pair{video, goodVideo}}) {
            if (good.isEmpty()) continue;
            const QByteArray bad = damage(good);
            if (bad.isNull()) QFile::remove(path);
            else writeFile(path, bad);
        }
        sleepSeconds(seconds);
        writeFile(chime, goodChime);
        if (!goodVideo.isEmpty()) writeFile(video, goodVideo);
    };
    int portHolds = 0;
    std::mt19937 random(7);
    const auto junk = [&](int n) {
        QByteArray bytes(n, '\0');
        for (char& c : bytes) c = char(random());
        return bytes;
    };
    std::vector<Fault> schedule = {
        {"database hung briefly", "SIGSTOP of the Firebird server for 1 s", [&] { hang(fbPid, 1); }},
        {"database hung for three bounds", "SIGSTOP of the Firebird server for 6 s (PAINEL_DB_TIMEOUT=2)",
         [&] { hang(fbPid, 6); }},
        {"database server killed and restarted", "SIGKILL of the server, 2 s down, started again on its port",
         [&] {
             signalServer(pidIn(fbPid), SIGKILL);
             sleepSeconds(2);
             try {
                 fbOwn.start();
             } catch (const EPainelError& e) {
                 std::fprintf(stderr, "week_bench: %s\n", qPrintable(e.text()));
             }
         }},
        {"attachments deleted", "as SYSDBA, straight to the server: DELETE FROM MON$ATTACHMENTS but its own",
         [&] {
             try {
                 FbSession admin(fb.databaseName(database), fb.params());
                 admin.execute(QStringLiteral("DELETE FROM MON$ATTACHMENTS WHERE MON$ATTACHMENT_ID <> CURRENT_CONNECTION"));
             } catch (const EPainelError& e) {
                 std::fprintf(stderr, "week_bench: deleting the attachments: %s\n", qPrintable(e.text()));
             }
             sleepSeconds(1);
         }},
        {"network refused", "proxy: open connections cut, new ones reset, 4 s", [&] { proxied(TcpProxy::Mode::Refuse, 4); }},
        {"network blackholed", "proxy: connections accepted, nothing forwarded, 6 s",
         [&] { proxied(TcpProxy::Mode::Blackhole, 6); }},
        {"network stalled", "proxy: open connections forward nothing, 4 s", [&] { proxied(TcpProxy::Mode::Stall, 4); }},
        {"network slowed", "proxy: every chunk delayed 200 ms, 6 s", [&] { proxied(TcpProxy::Mode::Slow, 6); }},
        {"chime and video removed", "files deleted for 3 s, then restored",
         [&] { media([](const QByteArray&) { return QByteArray(); }, 3); }},
        {"chime and video truncated", "first 100 bytes kept for 3 s, then restored",
         [&] { media([](const QByteArray& b) { return b.left(100); }, 3); }},
        {"chime and video corrupt", "same length of random bytes for 3 s, then restored",
         [&] { media([&](const QByteArray& b) { return junk(int(b.size())); }, 3); }},
        {"junk stations", "20 connections writing 200 random bytes each",
         [&] {
             abuse(20, [&](int) {
                 RawStation s;
                 if (s.connectRetrying(port, 5000)) s.send(junk(200), 2000);
                 s.waitClosed(5000);
             });
         }, true},
        {"oversized message", "1 connection writing 1 MiB",
         [&] {
             abuse(1, [&](int) {
                 RawStation s;
                 if (s.connectRetrying(port, 5000)) s.send("MD*7" + QByteArray(1 << 20, 'A'), 10000);
                 s.waitClosed(10000);
             });
         }, true},
        {"silent stations", "10 connections that say nothing for 5 s",
         [&] {
             abuse(10, [&](int) {
                 RawStation s;
                 s.connectRetrying(port, 5000);
                 s.waitClosed(5000);
             });
         }, true},
        {"dribbling stations", "2 stations writing a call 1 byte per 100 ms",
         [&] {
             abuse(2, [&](int i) {
                 RawStation s;
                 if (!s.connectRetrying(port, 5000)) return;
                 const QByteArray call = "MD*7GOTA " + QByteArray::number(i);
                 for (char c : call) {
                     if (!s.send(QByteArray(1, c), 1000)) break;
                     std::this_thread::sleep_for(std::chrono::milliseconds(100));
                 }
                 s.waitClosed(10000);
             });
         }, true},
        {"flood", "300 connections opened as fast as they go and reset at once, 100 of them held 2 s first",
         [&] {
             abuse(1, [&](int) {
                 std::vector<std::unique_ptr<RawStation>> held;
                 for (int i = 0; i < 300; ++i) {
                     auto s = std::make_unique<RawStation>();
                     if (s->connectTo(port, 500) && i % 3 == 0) held.push_back(std::move(s));
                     else s->reset();
                 }
                 sleepSeconds(2);
                 for (auto& s : held) s->reset();
             });
         }, true},
        {"port held while the listener is off", "a counter call; the port held by another socket from when the listener lets it go until 15 s later (past the cycle's end)",
         [&] {
             char message[32];
             std::snprintf(message, sizeof message, "01%03dPORTA", portHolds++ % 1000);
             std::thread counter(call, message);
             int held = -1;
             for (const Clock::time_point until = Clock::now() + std::chrono::seconds(3); held < 0 && Clock::now() < until;
                  std::this_thread::sleep_for(std::chrono::milliseconds(10)))
                 held = holdPort(port);
             if (held < 0) std::fprintf(stderr, "week_bench: the port was never let go in the counter call\n");
             sleepSeconds(15);
             if (held >= 0) ::close(held);
             counter.join();
         }, true},
        {"sound server hung", "SIGSTOP of PulseAudio for 3 s (calls speaking)",
         [&] {
             pulse.signal(SIGSTOP);
             sleepSeconds(3);
             pulse.signal(SIGCONT);
         }},
        {"sound server killed and restarted", "SIGKILL of PulseAudio, 2 s down, started again",
         [&] {
             pulse.kill();
             sleepSeconds(2);
             pulse.start();
         }},
    };

    std::map<int, std::string> descriptorsBefore;
    if (traceDescriptors) descriptorsBefore = descriptorNames(panel.pid());
    for (int pass = 0;; ++pass) {
        for (const Fault& f : schedule) {
            beginPhase(f.name);
            if (!f.ownCalls) {
                faultCalls.emplace_back([&, n = faultCalls.size()] {
                    char name[64];
                    std::snprintf(name, sizeof name, "MD*7PACIENTE FALHA N%05zu", n);
                    call(name);
                });
                std::this_thread::sleep_for(std::chrono::milliseconds(200)); // the call read, the fault on it
            }
            f.run();
            sleepSeconds(quiet);
            if (traceDescriptors) {
                const std::map<int, std::string> now = descriptorNames(panel.pid());
                std::printf("descriptors after \"%s\" (pass %d): %zu\n", f.name.c_str(), pass + 1, now.size());
                printDescriptorChange(descriptorsBefore, now);
                std::fflush(stdout);
                descriptorsBefore = now;
            }
            if (!panel.running()) break;
        }
        if (!panel.running() || secondsSince(t0) >= duration || nextCall >= callLimit) break;
    }
    beginPhase("quiet end");
    stopCalling = true;
    for (std::thread& t : stations) t.join();
    for (std::thread& t : faultCalls) t.join();
    sleepSeconds(2); // the last lines
    stopSampling = true;
    sampler.join();
    samples.push_back(sampleNow());
    const double elapsed = secondsSince(t0);
    const bool survived = panel.running();

    // Figures.
    const std::map<std::string, Clock::time_point> shown = panel.shown();
    const std::vector<Clock::time_point> beats = watchdog.beats();
    struct PhaseFigures {
        int sent = 0, resetUnread = 0, neverClosed = 0, notShown = 0;
        std::vector<double> latency;
        double longestGap = 0;
    };
    std::vector<PhaseFigures> per(phases.size());
    std::vector<double> latency;
    int sent = 0, served = 0, resetUnread = 0, neverClosed = 0, notShown = 0;
    for (const CallRecord& r : records) {
        PhaseFigures& p = per[size_t(r.phase)];
        ++sent;
        ++p.sent;
        const auto it = shown.find(r.message);
        if (it != shown.end()) {
            ++served;
            const double ms = msBetween(r.sent, it->second);
            latency.push_back(ms);
            p.latency.push_back(ms);
        }
        if (r.outcome == Outcome::ResetUnread && it == shown.end()) ++resetUnread, ++p.resetUnread;
        else if (r.outcome == Outcome::NeverClosed) ++neverClosed, ++p.neverClosed;
        else if (it == shown.end()) ++notShown, ++p.notShown;
    }
    const auto phaseOf = [&](Clock::time_point t) {
        size_t i = 0;
        while (i + 1 < phases.size() && phases[i + 1].start <= t) ++i;
        return i;
    };
    // A call's line comes as it is shown, before its chime, speech and pause: a gap in which no
    // call was shown stalled the thread outside spoken calls.
    const std::vector<Clock::time_point> callTimes = panel.callTimes();
    double longestQuiet = 0;
    double longest = 0;
    std::vector<std::pair<double, size_t>> gaps; // length, and the beat that ended it
    for (size_t i = 1; i < beats.size(); ++i) {
        const double gap = msBetween(beats[i - 1], beats[i]);
        if (gap > 1000) gaps.emplace_back(gap, i);
        longest = std::max(longest, gap);
        const bool spoken = std::any_of(callTimes.begin(), callTimes.end(), [&](Clock::time_point c) {
            return c >= beats[i - 1] - std::chrono::milliseconds(200) && c <= beats[i];
        });
        if (!spoken) longestQuiet = std::max(longestQuiet, gap);
        double& g = per[phaseOf(beats[i])].longestGap;
        g = std::max(g, gap);
    }
    // The resources at the end of each phase: the last sample before the next began.
    for (size_t i = 0; i < phases.size(); ++i)
        for (const ResourceSample& s : samples)
            if (i + 1 == phases.size() || s.seconds <= msBetween(t0, phases[i + 1].start) / 1000.0) phases[i].after = s;
    const int lost = resetUnread + neverClosed + notShown;

    std::printf("\nweek_bench %s: %.0f s, %d stations %s, %s%s, Firebird through the proxy\n",
                form == Full ? "(full)" : form == Quick ? "--quick" : "--short", elapsed, kStations,
                rate > 0 ? ("offering " + fixed(rate, 2) + " calls a second").c_str() : "calling back to back",
                voice ? "voice and chime on" : "voice and chime off", withVideo ? ", video playing" : "");
    std::printf("panel %s at the end\n\n", survived ? "running" : "NOT RUNNING (it ended)");
    Table t;
    t.row({"phase", "from s", "calls", "lost", "p99 ms", "worst ms", "longest beat gap ms", "RSS MiB", "fds", "threads"});
    for (size_t i = 0; i < phases.size(); ++i) {
        const Stats s = statsOf(per[i].latency);
        const int l = per[i].resetUnread + per[i].neverClosed + per[i].notShown;
        t.row({phases[i].name, fixed(msBetween(t0, phases[i].start) / 1000.0, 0), std::to_string(per[i].sent), std::to_string(l), fixed(s.p99, 0), fixed(s.max, 0),
               fixed(per[i].longestGap, 0), fixed(phases[i].after.rssMiB, 1), std::to_string(phases[i].after.fds),
               std::to_string(phases[i].after.threads)});
    }
    t.print();

    std::sort(gaps.rbegin(), gaps.rend());
    std::printf("\nlongest gaps between beats (from s - to s: ms, the phase it began in):\n");
    for (size_t g = 0; g < std::min<size_t>(8, gaps.size()); ++g) {
        const size_t i = gaps[g].second;
        std::printf("  %7.1f - %7.1f: %6.0f  %s\n", msBetween(t0, beats[i - 1]) / 1000.0, msBetween(t0, beats[i]) / 1000.0,
                    gaps[g].first, phases[phaseOf(beats[i - 1])].name.c_str());
    }
    std::printf("\nresources over time (s: calls sent, RSS MiB, descriptors, threads)\n");
    const size_t step = std::max<size_t>(1, samples.size() / 20);
    for (size_t i = 0; i < samples.size(); i += step)
        std::printf("  %6.0f s: %6d calls  %6.1f MiB  %4d fds  %3d threads\n", samples[i].seconds, samples[i].callsSent,
                    samples[i].rssMiB, samples[i].fds, samples[i].threads);
    // Growth per 10,000 calls after the first 1,000.
    const auto firstAfter = std::find_if(samples.begin(), samples.end(), [](const ResourceSample& s) { return s.callsSent >= 1000; });
    std::string growth = "fewer than 1,000 calls";
    if (firstAfter != samples.end() && samples.back().callsSent > firstAfter->callsSent)
        growth = fixed((samples.back().rssMiB - firstAfter->rssMiB) * 10000.0 / (samples.back().callsSent - firstAfter->callsSent), 2) +
                 " MiB per 10,000 calls";

    const Stats all = statsOf(latency);
    const std::vector<std::string> errors = panel.otherLines();
    std::printf("\n");
    Table f;
    f.row({"figure", "value"});
    f.row({"calls sent", std::to_string(sent)});
    f.row({"calls served (shown)", std::to_string(served)});
    f.row({"calls lost", std::to_string(lost)});
    f.row({"  reset with the call unread", std::to_string(resetUnread)});
    f.row({"  never closed within 60 s", std::to_string(neverClosed)});
    f.row({"  read but never shown", std::to_string(notShown)});
    f.row({"connections refused for 20 s (call not sent)", std::to_string(refusedConnections.load())});
    f.row({"message to screen, median / p99 / worst (ms)", fixed(all.median, 0) + " / " + fixed(all.p99, 0) + " / " + fixed(all.max, 0)});
    f.row({"longest stall of the window's thread (beat gap, ms)", fixed(longest, 0)});
    f.row({"  of those with no call shown in them", fixed(longestQuiet, 0)});
    f.row({"resident memory growth after call 1,000", growth});
    f.row({"lines of the panel's standard error besides calls", std::to_string(errors.size())});
    f.print();
    std::map<std::string, int> distinct;
    for (const std::string& e : errors) ++distinct[e.substr(0, 160)];
    if (!distinct.empty()) std::printf("\nthe panel's other lines (first 160 characters, count):\n");
    int printed = 0;
    for (const auto& [line, count] : distinct)
        if (printed++ < 40) std::printf("  %4d  %s\n", count, line.c_str());
    return lost == 0 && survived ? 0 : 1;
}
