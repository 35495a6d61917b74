// Synthesises the announcements of typical calls with the panel's voice, writes each to a WAV
// file and prints how long it speaks and how long creating the voice and synthesising took.
//   speech_bench [output folder]   (default: ./speech-wav)
// Check the files with e.g. `sox 01.wav -n stat`.

#include "bench/benchsupport.h"
#include "calls/espeakvoice.h"
#include "base/errors.h"
#include "base/wavefile.h"

#include <QDir>
#include <QFile>
#include <QString>

#include <chrono>
#include <cstdio>

namespace {

const char* const kAnnouncements[] = {
    // counter calls
    "Senha A 15, Guichê 3",
    "Senha B 7, Guichê 12",
    "Senha  15, Guichê 3",
    // risk-classification room
    "JOANA PERES favor comparecer a sala de Classificação de Risco 2",
    "JOANA PERES favor comparecer a sala de Classificação de Risco",
    "0JOANA favor comparecer a sala de Classificação de Risco",
    " favor comparecer a sala de Classificação de Risco",
    // consulting rooms and the destination table
    "ANA SOUTO favor comparecer ao consultório 7",
    "ANA SOUTO favor comparecer a Ressonância",
    "ANA SOUTO favor comparecer a Recepção, Guiche 1",
    "ANA SOUTO favor comparecer ao Consultório 12",
    "XAVIER favor comparecer ao consultório 5",
    " favor comparecer ao consultório 5",
    "JOANA favor comparecer a Sala 1",
    "JOANA favor comparecer a Recepção, Guiche 5",
    "JOANA favor comparecer ao ELETROCARDIOGRAMA",
    "JOANA favor comparecer ao Consultório 93",
    "JOANA favor comparecer ao Consultório 07",
    "JOANA favor comparecer ao Consultório X5",
    " favor comparecer a Sala 1",
    // reception desk and reception
    "LUIS MOTA\r favor comparecer a recepção",
    "LUIS\r favor comparecer a recepção",
    "LUIS MOTA favor comparecer a recepção",
};

bool writeWav(const QString& path, const EspeakVoice::Samples& s) {
    const QByteArray out = pcmWaveFile(s.data, s.sampleRate);
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(out) == out.size();
}

double msSince(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
}

QString shown(const QString& text) {
    QString s = text;
    return s.replace(u'\r', QStringLiteral("⏎"));
}

} // namespace

int main(int argc, char** argv) {
    std::printf("Machine: %s\n\n", bench::machineLine().c_str());
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("speech-wav");
    QDir().mkpath(folder);
    try {
        auto t0 = std::chrono::steady_clock::now();
        { EspeakVoice first; }
        std::printf("engine start and first voice: %.1f ms\n\n", msSince(t0));
        std::printf("%3s %8s %8s %8s %8s  %s\n", "#", "spoken s", "create", "synth ms", "x real", "announcement");
        double totalSpoken = 0, totalSynth = 0, totalCreate = 0;
        int i = 0;
        for (const char* a : kAnnouncements) {
            const QString text = QString::fromUtf8(a);
            t0 = std::chrono::steady_clock::now();
            EspeakVoice voice; // one per announcement, as the receive cycle does
            const double createMs = msSince(t0);
            t0 = std::chrono::steady_clock::now();
            const EspeakVoice::Samples s = voice.synthesizeToSamples(text);
            const double synthMs = msSince(t0);
            const QString path = QDir(folder).filePath(QStringLiteral("%1.wav").arg(++i, 2, 10, QChar(u'0')));
            if (!writeWav(path, s)) {
                std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
                return 1;
            }
            std::printf("%3d %8.2f %8.2f %8.1f %8.0f  %s\n", i, s.seconds(), createMs, synthMs,
                        s.seconds() * 1000.0 / synthMs, qPrintable(shown(text)));
            totalSpoken += s.seconds();
            totalSynth += synthMs;
            totalCreate += createMs;
        }
        std::printf("\n%d announcements: %.1f s of speech, synthesised in %.0f ms (voice creation %.1f ms in all)\n",
                    i, totalSpoken, totalSynth, totalCreate);
        std::printf("WAV files in %s\n", qPrintable(QDir(folder).absolutePath()));
    } catch (const EPainelError& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
