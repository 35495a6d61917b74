// The video beside the call against GStreamer's own pipeline: processor time and resident size
// of the panel playing VIDEO.WMV in a loop, and of gst-launch-1.0 playing the same file scaled to
// the size of the panel's picture and drawn by ximagesink, on the same private X server, one
// after the other in the same run.
//
//   video_bench [--seconds S] [--rounds N]
//   defaults: 15 s measured after 3 s of warm-up, 2 rounds of each, for WMV files of 640 x 360
//   and 1280 x 720 (wmv2, 25 frames a second, no sound) made with ffmpeg.
//
// The panel runs as installed (config.ini, configserver.txt with sound and voice off, an
// embedded calls database, repetirvideo=S, and again through the test server when one runs) on Xvfb at 986 x 749, where its window fills the
// screen and its video area above the bar is 594 x 352; the picture fitted into it keeping the
// aspect of a 16:9 video is 594 x 334, which is what the reference pipeline scales to.

#include "bench/benchsupport.h"
#include "tests/support/freeport.h"
#include "tests/support/rawstation.h"
#include "tests/support/xvfb.h"
#include "tools/testmedia.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <thread>

using namespace bench;

namespace {

constexpr QSize kScreen(986, 749);
constexpr QSize kPictureArea(594, 352);
constexpr int kWarmUpMs = 3000;

struct Options {
    int seconds = 15;
    int rounds = 2;
};

Options parse(int argc, char** argv) {
    Options o;
    for (int i = 1; i + 1 < argc; i += 2) {
        const int v = std::max(1, std::atoi(argv[i + 1]));
        if (!std::strcmp(argv[i], "--seconds")) o.seconds = v;
        else if (!std::strcmp(argv[i], "--rounds")) o.rounds = v;
    }
    return o;
}

// The largest size of the video's aspect that fits the area.
QSize fitted(QSize video, QSize area) { return video.scaled(area, Qt::KeepAspectRatio); }

struct Figures {
    double cpuPercent = 0;  // of one core
    double rssMiB = 0;      // at the end of the span
    bool ok = false;
};

// Starts the program, lets it warm up, and measures it over the span; it is killed at the end.
Figures measure(const QString& program, const QStringList& args, const QString& dir, const QStringList& env,
                int spanMs, const std::function<bool()>& ready = {}) {
    QProcess p;
    p.setWorkingDirectory(dir);
    p.setEnvironment(env);
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.setStandardOutputFile(QProcess::nullDevice());
    p.start(program, args);
    Figures f;
    if (!p.waitForStarted(10000)) return f;
    if (ready && !ready()) {
        p.kill();
        p.waitForFinished(5000);
        return f;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(kWarmUpMs));
    const ProcessSample a = sampleProcess(p.processId());
    const auto t0 = Clock::now();
    std::this_thread::sleep_for(std::chrono::milliseconds(spanMs));
    const ProcessSample b = sampleProcess(p.processId());
    const double wall = msBetween(t0, Clock::now());
    f.ok = p.state() == QProcess::Running;
    f.cpuPercent = 100.0 * (b.cpuMs - a.cpuMs) / wall;
    f.rssMiB = b.rssMiB;
    p.kill();
    p.waitForFinished(5000);
    return f;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const Options o = parse(argc, argv);
    std::printf("Machine: %s\n\n", machineLine().c_str());

    const QString gstLaunch = QStandardPaths::findExecutable(QStringLiteral("gst-launch-1.0"));
    if (gstLaunch.isEmpty()) {
        std::fprintf(stderr, "video_bench: gst-launch-1.0 is not installed (gstreamer1.0-tools)\n");
        return 1;
    }
    XvfbServer x(kScreen);
    if (x.display().isEmpty()) {
        std::fprintf(stderr, "video_bench: %s\n", qUtf8Printable(x.why()));
        return 1;
    }

    QTemporaryDir dir;
    // The panel with its calls database embedded, and, when the test server runs
    // (tests/support/fbserver.sh), the same panel reading it through the server as a clinic's
    // panel does: the embedded engine is several MiB of the panel's resident size.
    struct Setup {
        std::string name;
        PanelInstall panel;
        QStringList env;
    };
    std::vector<Setup> setups;
    const auto install = [&](const std::string& name, const std::optional<FbServer>& server) {
        const QString folder = QDir(dir.path()).filePath(QString::fromStdString(name));
        QDir().mkpath(folder);
        const QString database = QDir(folder).filePath(QStringLiteral("fatura.fdb"));
        createCallsDatabase(database, 200);
        Setup s{name, installPanel(folder, database, freeTcpPort(), server), {}};
        QFile ini(QDir(folder).filePath(QStringLiteral("config.ini")));
        if (!ini.open(QIODevice::Append) || ini.write("[definicao]\nrepetirvideo=S\n") <= 0) qFatal("config.ini");
        s.env = s.panel.environment();
        s.env.erase(std::remove_if(s.env.begin(), s.env.end(),
                                   [](const QString& v) {
                                       return v.startsWith(QLatin1String("QT_QPA_PLATFORM=")) ||
                                              v.startsWith(QLatin1String("DISPLAY="));
                                   }),
                    s.env.end());
        s.env << QStringLiteral("QT_QPA_PLATFORM=xcb") << QStringLiteral("DISPLAY=") + x.display();
        setups.push_back(std::move(s));
    };
    install("panel", std::nullopt);
    if (const auto server = sharedServer()) install("panel on a server", server);
    else std::printf("no test server (PAINEL_FB_SERVER_PORT): the panel on a server is not measured\n");

    const int spanMs = o.seconds * 1000;
    const auto run = [&](const Setup& s) {
        return measure(s.panel.program, {}, s.panel.dir, s.env, spanMs,
                       [&] { return RawStation().connectRetrying(s.panel.port, 20000); });
    };
    std::vector<std::string> header{"file", "gst-launch processor", "gst-launch resident"};
    for (const Setup& s : setups)
        for (const char* what : {" processor", " resident", " processor ratio"}) header.push_back(s.name + what);
    Table t;
    t.row(header);
    // Each panel without VIDEO.WMV: what the video adds is measured against it.
    std::vector<std::string> bareRow{"no video", "", ""};
    for (const Setup& s : setups) {
        std::vector<double> cpu, rss;
        for (int r = 0; r < o.rounds; ++r) {
            const Figures bare = run(s);
            cpu.push_back(bare.cpuPercent);
            rss.push_back(bare.rssMiB);
        }
        bareRow.insert(bareRow.end(), {fixed(median(cpu), 2) + " %", fixed(median(rss)) + " MiB", ""});
    }
    t.row(bareRow);

    const int videoSeconds = (kWarmUpMs + spanMs) / 1000 + 5;
    for (const QSize size : {QSize(640, 360), QSize(1280, 720)}) {
        const QString video = QDir(dir.path()).filePath(QStringLiteral("VIDEO.WMV"));
        QString why;
        if (!testmedia::writeTestVideo(video, videoSeconds, size, &why)) {
            std::fprintf(stderr, "video_bench: %s\n", qUtf8Printable(why));
            return 1;
        }
        for (const Setup& s : setups) {
            const QString copy = QDir(s.panel.dir).filePath(QStringLiteral("VIDEO.WMV"));
            QFile::remove(copy);
            if (!QFile::copy(video, copy)) qFatal("cannot copy the video");
        }
        const QSize picture = fitted(size, kPictureArea);
        const QStringList reference{
            QStringLiteral("-q"), QStringLiteral("playbin"),
            QStringLiteral("uri=") + QUrl::fromLocalFile(video).toString(),
            QStringLiteral("video-sink=videoscale ! video/x-raw,width=%1,height=%2 ! ximagesink")
                .arg(picture.width())
                .arg(picture.height())};
        std::vector<double> gstCpu, gstRss;
        std::vector<std::vector<double>> panelCpu(setups.size()), panelRss(setups.size());
        for (int r = 0; r < o.rounds; ++r) {
            const Figures g = measure(gstLaunch, reference, dir.path(), setups.front().env, spanMs);
            if (!g.ok) {
                std::fprintf(stderr, "video_bench: gst-launch-1.0 did not run through\n");
                return 1;
            }
            gstCpu.push_back(g.cpuPercent);
            gstRss.push_back(g.rssMiB);
            std::printf("round %d, %dx%d: gst-launch %.2f %% %.1f MiB", r + 1, size.width(), size.height(),
                        g.cpuPercent, g.rssMiB);
            for (std::size_t i = 0; i < setups.size(); ++i) {
                const Figures p = run(setups[i]);
                if (!p.ok) {
                    std::fprintf(stderr, "\nvideo_bench: %s did not run through\n", setups[i].name.c_str());
                    return 1;
                }
                panelCpu[i].push_back(p.cpuPercent);
                panelRss[i].push_back(p.rssMiB);
                std::printf(", %s %.2f %% %.1f MiB", setups[i].name.c_str(), p.cpuPercent, p.rssMiB);
            }
            std::printf("\n");
        }
        const double gc = median(gstCpu);
        std::vector<std::string> row{QStringLiteral("%1 x %2 (picture %3 x %4)")
                                         .arg(size.width())
                                         .arg(size.height())
                                         .arg(picture.width())
                                         .arg(picture.height())
                                         .toStdString(),
                                     fixed(gc, 2) + " %", fixed(median(gstRss)) + " MiB"};
        for (std::size_t i = 0; i < setups.size(); ++i) {
            const double pc = median(panelCpu[i]);
            row.insert(row.end(), {fixed(pc, 2) + " %", fixed(median(panelRss[i])) + " MiB",
                                   fixed(gc > 0 ? pc / gc : 0, 2) + " x"});
        }
        t.row(row);
    }
    std::printf("\nProcessor time as a share of one core over %d s after %d s of warm-up, median of %d rounds;\n"
                "resident size (VmRSS) at the end of the span. Target: ratio <= 1.5, panel resident < 100 MiB.\n\n",
                o.seconds, kWarmUpMs / 1000, o.rounds);
    t.print();
    return 0;
}
