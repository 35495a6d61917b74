// How long the media player's calls hold the user-interface thread, on the real media system:
// open of a sound and of a video, and the calls a receive cycle and the replay timer make.
// Prints the median and the largest of several rounds, in milliseconds.

#include "bench/benchsupport.h"
#include "media/mediaplayer.h"
#include "tools/testmedia.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr int kRounds = 7;

std::map<std::string, std::vector<double>> g_times;

void timed(const std::string& what, const std::function<void()>& call) {
    QElapsedTimer t;
    t.start();
    call();
    g_times[what].push_back(double(t.nsecsElapsed()) / 1e6);
}

void serveUntil(const std::function<bool()>& done, int timeoutMs = 20000) {
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < timeoutMs) QTest::qWait(5);
}

void round(TMediaPlayer& p, const std::string& medium) {
    timed(medium + " Open", [&] { p.Open(); });
    timed(medium + " Play from the start", [&] { p.Play(); });
    serveUntil([&] { return p.Position() >= 300; });
    timed(medium + " Play while playing", [&] { p.Play(); });
    timed(medium + " Pause (playing)", [&] { p.Pause(); });
    timed(medium + " Play (paused)", [&] { p.Play(); });
    serveUntil([&] { return p.Mode() == MediaMode::Stopped; });
    timed(medium + " Play at the end (rewind)", [&] { p.Play(); });
    serveUntil([&] { return p.Position() >= 200; });
    timed(medium + " Rewind (playing)", [&] { p.Rewind(); });
    timed(medium + " Close", [&] { p.Close(); });
}

}  // namespace

int main(int argc, char* argv[]) {
    std::printf("Machine: %s\n\n", bench::machineLine().c_str());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    const QString wav = dir.filePath(QStringLiteral("NOTIFY.WAV"));
    const QString wmv = dir.filePath(QStringLiteral("VIDEO.WMV"));
    QString why;
    if (!testmedia::writeChimeWav(wav, 1000, &why)) {
        std::fprintf(stderr, "media_bench: %s\n", qUtf8Printable(why));
        return 1;
    }
    const bool haveVideo = testmedia::writeTestVideo(wmv, 2, true, &why);
    if (!haveVideo) std::fprintf(stderr, "media_bench: no video (%s)\n", qUtf8Printable(why));

    QWidget display;
    display.resize(594, 400);
    TMediaPlayer sound;
    sound.setFileName(wav);
    TMediaPlayer video(&display);
    video.setGeometry(0, 370, 594, 30);
    video.setDisplay(&display);
    video.setFileName(wmv);
    display.show();

    for (int i = 0; i < kRounds; ++i) {
        round(sound, "sound");
        if (haveVideo) round(video, "video");
    }

    std::printf("%-36s %8s %8s   (ms, %d rounds)\n", "call", "median", "max", kRounds);
    for (auto& [what, times] : g_times) {
        std::sort(times.begin(), times.end());
        std::printf("%-36s %8.2f %8.2f\n", what.c_str(), times[times.size() / 2], times.back());
    }
    return 0;
}
