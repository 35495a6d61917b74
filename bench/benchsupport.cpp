#include "bench/benchsupport.h"

#include "base/codepage.h"
#include "tests/support/firebird.h"
#include "tests/support/procstats.h"
#include "tests/support/rawstation.h"

#include <QDir>
#include <QFile>
#include <QProcessEnvironment>
#include <QThread>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numeric>
#include <sys/utsname.h>
#include <thread>
#include <unistd.h>

namespace bench {

double msBetween(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double, std::milli>(to - from).count();
}

Stats statsOf(std::vector<double> values) {
    Stats s;
    if (values.empty()) return s;
    std::sort(values.begin(), values.end());
    const auto rank = [&](double p) {
        const auto i = std::size_t(std::ceil(p * double(values.size())));
        return values[std::clamp<std::size_t>(i, 1, values.size()) - 1];
    };
    s.count = values.size();
    s.min = values.front();
    s.max = values.back();
    s.median = rank(0.5);
    s.p90 = rank(0.9);
    s.p99 = rank(0.99);
    s.mean = std::accumulate(values.begin(), values.end(), 0.0) / double(values.size());
    return s;
}

int coreCount() {
    return QThread::idealThreadCount();
}

std::string machineLine() {
    std::string model = "unknown processor";
    if (FILE* f = std::fopen("/proc/cpuinfo", "r")) {
        char line[512];
        while (std::fgets(line, sizeof line, f)) {
            std::string l(line);
            if (l.rfind("model name", 0) == 0) {
                model = l.substr(l.find(':') + 2);
                model.erase(model.find_last_not_of(" \n") + 1);
                break;
            }
        }
        std::fclose(f);
    }
    const double memGiB = double(sysconf(_SC_PHYS_PAGES)) * double(sysconf(_SC_PAGE_SIZE)) / (1 << 30);
    utsname u{};
    uname(&u);
    char text[256];
    std::snprintf(text, sizeof text, "%s, %d processor cores, %.1f GiB of memory, %s %s",
                  model.c_str(), coreCount(), memGiB, u.sysname, u.release);
    return text;
}

void Table::print() const {
    std::vector<std::size_t> widths;
    const auto length = [](const std::string& s) { return QString::fromStdString(s).size(); };
    for (const auto& r : m_rows)
        for (std::size_t c = 0; c < r.size(); ++c) {
            if (widths.size() <= c) widths.push_back(0);
            widths[c] = std::max<std::size_t>(widths[c], length(r[c]));
        }
    for (std::size_t i = 0; i < m_rows.size(); ++i) {
        std::string line;
        for (std::size_t c = 0; c < m_rows[i].size(); ++c) {
            const std::string& cell = m_rows[i][c];
            const std::string pad(widths[c] - length(cell), ' ');
            // The first column is a caption, left-aligned; figures are right-aligned.
            line += c == 0 ? cell + pad : "  " + pad + cell;
        }
        std::printf("%s\n", line.c_str());
        if (i == 0) {
            std::size_t total = 0;
            for (std::size_t w : widths) total += w + 2;
            std::printf("%s\n", std::string(total - 2, '-').c_str());
        }
    }
}

std::string fixed(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

ProcessSample sampleProcess(long long pid) {
    ProcessSample s;
    s.cpuMs = procstats::processorMs(pid);
    s.rssMiB = double(procstats::residentKiB(pid)) / 1024.0;
    s.threads = procstats::threadCount(pid);
    return s;
}

void createCallsDatabase(const QString& path, int today) {
    FbSession station = FbSession::create(path, embeddedParams());
    station.createSchema();
    station.addCounter(1, QStringLiteral("RECEPÇÃO - GUICHE 1"), QStringLiteral("REC"));
    station.addCounter(2, QStringLiteral("CONSULTÓRIO 2"), QStringLiteral("CONS"));
    if (today > 0)
        station.execute(QStringLiteral(
                            "EXECUTE BLOCK AS DECLARE I INTEGER = 1; BEGIN WHILE (I <= %1) DO BEGIN "
                            "INSERT INTO GUICHELISTA (INDICE, CODIGOPAC, DATA, GUICHE, SENHA, STATUS, "
                            "NR_GUICHE_CHAMOU, DATAUSER2) VALUES (:I, 100000 + :I, CURRENT_DATE, "
                            "1 + MOD(:I, 2), MOD(:I, 999) + 1, 'A', 'GUICHE ' || MOD(:I, 12), "
                            "DATEADD(:I * 20 SECOND TO CAST(CURRENT_DATE AS TIMESTAMP))); "
                            "I = I + 1; END END")
                            .arg(today));
    station.detach();
}

QStringList PanelInstall::environment() const {
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    if (!e.contains(QStringLiteral("QT_QPA_PLATFORM"))) e.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    e.insert(QStringLiteral("PAINEL_ERRORS"), QStringLiteral("stderr"));
    // Firebird as installed (its own root and server mode), as a panel that opens its database
    // embedded runs it; only the lock folder of this process stays, for runs without root rights.
    e.remove(QStringLiteral("FIREBIRD"));
    return e.toStringList();
}

PanelInstall installPanel(const QString& dir, const QString& database, quint16 port,
                          const std::optional<FbServer>& server) {
    PanelInstall p;
    p.dir = dir;
    p.port = port;
    p.program = QDir(dir).filePath(QStringLiteral("painel"));
    QFile::remove(p.program);
    if (!QFile::copy(QStringLiteral(PAINEL_EXECUTABLE), p.program)) qFatal("cannot copy the panel");
    QFile::setPermissions(p.program, QFile::permissions(p.program) | QFile::ExeOwner);
    const auto write = [&](const QString& name, const QByteArray& bytes) {
        QFile f(QDir(dir).filePath(name));
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size()) qFatal("cannot write %s", qPrintable(name));
    };
    QByteArray sgbd = "[sgbd]\nfatura=" + cp1252::encode(server ? server->databaseName(database) : database) + "\n";
    if (server) sgbd += "usuario=SYSDBA\nsenha=" + cp1252::encode(server->password) + "\n";
    write(QStringLiteral("config.ini"), "[fonte]\ntamanhofontenome=36\ntamanhofonteservico=32\n" + sgbd);
    write(QStringLiteral("configserver.txt"), QByteArray::number(port) + "\n1\nN\nN\n");
    return p;
}

void waitIdle(quint16 port) {
    RawStation().connectRetrying(port, 10000); // sends nothing: no call is made
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
}

QByteArray CallMix::next() {
    ++m_sent;
    const QByteArray name = "PACIENTE " + QByteArray::number(m_sent).rightJustified(4, '0') + " DA SILVA";
    if (m_counterEvery > 0 && m_sent % m_counterEvery == 0) {
        // Counter 1 to 9, ticket 1 to 999.
        const int counter = 1 + m_sent % 9;
        const int ticket = 1 + m_sent % 999;
        return QByteArray::number(counter).rightJustified(2, '0') + QByteArray::number(ticket).rightJustified(3, '0') +
               name;
    }
    // Forms whose call lines differ from the form before whatever the name: the name lines alternate
    // with forms that show a fixed text.
    static const char* const forms[] = {"MD*41", "CR*2", "MD*51", "AC*", "MD*3", "RE*", "MD*90", "CR*7"};
    const char* form = forms[m_other++ % std::size(forms)];
    return QByteArray(form) + name;
}

} // namespace bench
