// What a patient hears, and when: the panel as a process plays into a PulseAudio server with a
// null sink (tests/support/pulseserver.sh) whose monitor is recorded, as in the audio tests.
// For 50 calls of mixed forms, one after the other, it prints the time from the message
// written by a station to the chime audible and to the first sound of the speech, median and
// worst, against the targets: the chime within 50 ms of the message (median), the speech within
// 150 ms of the chime for the forms that do not pause.
//
// Then where the time goes, measured in this process with the same recording: a bare
// PulseAudio client (paplay) from its start to audible, the panel's media player (GStreamer,
// as the panel's Som1 plays NOTIFY.WAV) from Play to audible, and
// espeak-ng from Speak to audible, with the latency the server reports for the sink.
//
//   eval "$(bash tests/support/pulseserver.sh start /tmp/painel-pulse)"
//   build/bin/hall_bench [--calls N] [--each]     (--each: the figures of every call)
//   bash tests/support/pulseserver.sh stop /tmp/painel-pulse

#include "bench/benchsupport.h"
#include "calls/espeakvoice.h"
#include "calls/grammar.h"
#include "base/errors.h"
#include "media/mediaplayer.h"
#include "tests/support/hallpanel.h"
#include "tests/support/pulsehall.h"
#include "tests/support/soundspans.h"
#include "tests/support/station.h"

#include <QApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>
#include <cstring>
#include <optional>

using namespace bench;

namespace {

constexpr double kEarly = 0.1; // the recording's times may be some milliseconds early

// Calls of every form with real names; every fifth a counter call, which pauses a second
// between the chime and the speech.
QByteArray mixedCall(int i) {
    static const char* const names[] = {"THIAGO SOUZA", "JENNIFER LIMA", "ANA SOUTO", "WELLINGTON ALVES",
                                        "MARIA DA CONCEICAO", "MICHAEL SANTOS", "JOSE PEREIRA"};
    static const char* const forms[] = {"MD*41", "CR*2", "RE*", "MD*7", "AC*", "MD*12", "CR*", "MD*90"};
    if (i % 5 == 4) return "0" + QByteArray::number(1 + i % 9) + QByteArray::number(100 + i).right(3) + "A";
    return QByteArray(forms[i % std::size(forms)]) + names[i % std::size(names)];
}

// The first tone and the first speech heard at or after `from` (steady clock), if any.
struct FirstSounds {
    std::optional<double> tone, speech;
};
FirstSounds firstHeard(const HallRecording& recording, double from, double to = 1e300) {
    const HeardSounds s = findSounds(recording.samples(), HallRecording::kRate);
    FirstSounds out;
    for (const SoundSpan& span : s.tone) {
        const double t = recording.timeOf(span.start);
        if (t >= from - kEarly && t < to) {
            out.tone = t;
            break;
        }
    }
    for (const SoundSpan& span : s.speech) {
        const double t = recording.timeOf(span.start);
        if (t >= from - kEarly && t < to) {
            out.speech = t;
            break;
        }
    }
    return out;
}

void listen(double seconds) { QTest::qWait(int(seconds * 1000)); }

std::string msCell(const Stats& s) { return fixed(s.median, 0) + " / " + fixed(s.max, 0); }

// Waits until a sound is heard after `from`, at most `seconds`.
FirstSounds waitHeard(const HallRecording& recording, double from, bool tone, double seconds) {
    FirstSounds heard;
    (void)QTest::qWaitFor(
        [&] {
            heard = firstHeard(recording, from);
            return tone ? heard.tone.has_value() : heard.speech.has_value();
        },
        int(seconds * 1000));
    return heard;
}

struct CallFigures {
    std::vector<double> chime, speech, chimeToSpeech, counterSpeech;
    int missingChime = 0, missingSpeech = 0;
};

CallFigures runCalls(const HallSink& sink, HallRecording& recording, int calls, bool verbose) {
    CallFigures f;
    HallPanel panel(sink);
    QString why;
    if (!panel.start(&why)) {
        std::fprintf(stderr, "hall_bench: %s\n", qPrintable(why));
        std::exit(1);
    }
    listen(1.5);
    std::vector<std::pair<QByteArray, double>> sent;
    for (int i = 0; i < calls; ++i) {
        const QByteArray message = mixedCall(i);
        TestStation station;
        if (!QTest::qWaitFor([&] { return station.connectTo(panel.port(), 1000); }, 30000)) {
            std::fprintf(stderr, "hall_bench: the panel refuses calls: %s\n", qPrintable(panel.errors()));
            std::exit(1);
        }
        sent.emplace_back(message, steadySeconds());
        station.send(message);
        station.waitClosed(40000);
    }
    // A counter call closes its station's connection when it starts: the cycle has ended once
    // the panel takes a connection again.
    TestStation last;
    (void)QTest::qWaitFor([&] { return last.connectTo(panel.port(), 1000); }, 30000);
    listen(0.5);
    for (std::size_t i = 0; i < sent.size(); ++i) {
        const double at = sent[i].second;
        const FirstSounds h = firstHeard(recording, at, i + 1 < sent.size() ? sent[i + 1].second - kEarly : 1e300);
        if (!h.tone) ++f.missingChime;
        if (!h.speech) ++f.missingSpeech;
        if (verbose)
            std::printf("%-28s chime %8s  speech %8s\n", sent[i].first.constData(),
                        h.tone ? fixed((*h.tone - at) * 1000, 0).c_str() : "-",
                        h.speech ? fixed((*h.speech - at) * 1000, 0).c_str() : "-");
        if (h.tone) f.chime.push_back((*h.tone - at) * 1000);
        const bool counter = classifyCall(QString::fromLatin1(sent[i].first)) == CallKind::Counter;
        if (h.speech && counter) f.counterSpeech.push_back((*h.speech - at) * 1000);
        if (h.speech && !counter) f.speech.push_back((*h.speech - at) * 1000);
        if (h.speech && h.tone && !counter) f.chimeToSpeech.push_back((*h.speech - *h.tone) * 1000);
    }
    // What the panel reported: errors, and a medium it had to start again.
    if (const QString errors = panel.errors(); !errors.isEmpty())
        std::printf("the panel's standard error:\n%s\n", qPrintable(errors));
    return f;
}

// paplay of the tone, from its start to audible.
std::vector<double> barePulseClient(const HallSink& sink, HallRecording& recording, const QString& wav, int n) {
    std::vector<double> out;
    for (int i = 0; i < n; ++i) {
        QProcess p;
        p.setEnvironment(sink.environment(QProcessEnvironment::systemEnvironment().toStringList()));
        const double t = steadySeconds();
        p.start(QStringLiteral("paplay"), {wav});
        const FirstSounds h = waitHeard(recording, t, true, 5);
        p.waitForFinished(10000);
        if (h.tone) out.push_back((*h.tone - t) * 1000);
        listen(0.3);
    }
    return out;
}

// The panel's media player in this process, from Play to audible.
std::vector<double> mediaPlayer(HallRecording& recording, const QString& wav, int n) {
    std::vector<double> out;
    TMediaPlayer player;
    player.setFileName(wav);
    player.setAutoRewind(true);
    player.Open();
    for (int i = 0; i < n; ++i) {
        const double t = steadySeconds();
        player.Play();
        const FirstSounds h = waitHeard(recording, t, true, 3);
        if (h.tone) out.push_back((*h.tone - t) * 1000);
        listen(1.8); // to its end, and the notice of its end
    }
    player.Close();
    return out;
}

// espeak-ng in this process, from Speak to audible.
std::vector<double> engine(HallRecording& recording, int n) {
    std::vector<double> out;
    for (int i = 0; i < n; ++i) {
        EspeakVoice voice;
        const double t = steadySeconds();
        voice.Speak(QStringLiteral("ANA SOUTO favor comparecer ao consultório 7"), 0);
        listen(1.0); // a pause longer than the pauses within one announcement
        const FirstSounds h = firstHeard(recording, t);
        if (h.speech) out.push_back((*h.speech - t) * 1000);
    }
    return out;
}

} // namespace

int main(int argc, char** argv) {
    int calls = 50;
    bool verbose = false;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--calls") && i + 1 < argc) calls = std::max(1, std::atoi(argv[++i]));
        else if (!std::strcmp(argv[i], "--each")) verbose = true;
    }
    QString why;
    const QString runtime = pulseRuntime(&why);
    if (runtime.isEmpty()) {
        std::fprintf(stderr, "hall_bench: %s\n", qPrintable(why));
        return 2;
    }
    // This process plays into the same server for the breakdown: GStreamer and espeak-ng find
    // it from the start.
    qputenv("XDG_RUNTIME_DIR", runtime.toLocal8Bit());
    qputenv("PULSE_SINK", "hall");
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::printf("Machine: %s\n", machineLine().c_str());
    std::printf("PulseAudio test server in %s, null sink \"hall\", recorded from its monitor at %d Hz\n\n",
                qPrintable(runtime), HallRecording::kRate);

    const HallSink sink(runtime);
    HallRecording recording(sink);
    if (!recording.waitFlowing(10, &why)) {
        std::fprintf(stderr, "hall_bench: %s\n", qPrintable(why));
        return 1;
    }
    const CallFigures f = runCalls(sink, recording, calls, verbose);
    const Stats chime = statsOf(f.chime), speech = statsOf(f.speech), gap = statsOf(f.chimeToSpeech),
                counter = statsOf(f.counterSpeech);
    std::printf("%d calls (%zu counter calls), milliseconds, median / worst:\n", calls, f.counterSpeech.size());
    Table t;
    t.row({"from", "to", "calls", "median / worst", "target"});
    t.row({"message written", "chime audible", std::to_string(chime.count), msCell(chime), "50 median"});
    t.row({"message written", "speech audible (no pause)", std::to_string(speech.count), msCell(speech), ""});
    t.row({"chime audible", "speech audible (no pause)", std::to_string(gap.count), msCell(gap), "150"});
    t.row({"message written", "speech audible (counter)", std::to_string(counter.count), msCell(counter),
           "1000 pause"});
    t.print();
    if (f.missingChime || f.missingSpeech)
        std::printf("calls with no chime heard: %d, with no speech heard: %d\n", f.missingChime, f.missingSpeech);
    std::printf("chime within 50 ms (median): %s; speech within 150 ms of the chime (worst): %s\n\n",
                chime.count && chime.median <= 50 ? "met" : "NOT met", gap.count && gap.max <= 150 ? "met" : "NOT met");

    QTemporaryDir dir;
    const QString wav = dir.filePath(QStringLiteral("NOTIFY.WAV"));
    QFile out(wav);
    if (!out.open(QIODevice::WriteOnly) || out.write(toneWave(1.2)) < 0) return 1;
    out.close();
    std::printf("Where the time goes (this process, the same recording), milliseconds, median / worst:\n");
    Table w;
    w.row({"path", "from", "to audible", "median / worst"});
    const Stats bare = statsOf(barePulseClient(sink, recording, wav, 10));
    w.row({"paplay (a bare PulseAudio client)", "program start", std::to_string(bare.count) + " plays", msCell(bare)});
    try {
        const Stats player = statsOf(mediaPlayer(recording, wav, 10));
        w.row({"the panel's media player (GStreamer)", "Play", std::to_string(player.count) + " plays",
               msCell(player)});
        const Stats voice = statsOf(engine(recording, 10));
        w.row({"espeak-ng", "Speak", std::to_string(voice.count) + " calls", msCell(voice)});
    } catch (const EPainelError& e) {
        std::fprintf(stderr, "hall_bench: %s\n", e.what());
    }
    w.print();
    std::printf("sink: %s\n", qPrintable(sink.latencyLine()));
    std::printf("Times are those at which the sink plays the sound: the arrival of its samples at the recording,\n"
                "plus the sink's configured latency, by which it renders ahead (good to about 10 ms).\n");
    return 0;
}
