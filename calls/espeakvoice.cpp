#include "calls/espeakvoice.h"

#include "calls/naturalreading.h"
#include "base/errors.h"
#include "calls/pronunciationfile.h"
#include "calls/speechoutput.h"

#include <QByteArray>
#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <espeak-ng/espeak_ng.h>
#include <espeak-ng/speak_lib.h>

namespace {

// The engine's text for a status, without its "Error: " prefix and line end.
QString statusText(espeak_ng_STATUS status, espeak_ng_ERROR_CONTEXT context = nullptr) {
    char* buffer = nullptr;
    std::size_t size = 0;
    QString text;
    if (FILE* f = open_memstream(&buffer, &size)) {
        espeak_ng_PrintStatusCodeMessage(status, f, context);
        std::fclose(f);
        text = QString::fromLocal8Bit(buffer, qsizetype(size)).trimmed();
        std::free(buffer);
    }
    if (text.startsWith(QStringLiteral("Error: "))) text.remove(0, 7);
    return text.isEmpty() ? QStringLiteral("espeak-ng status 0x%1").arg(uint(status), 8, 16, QChar(u'0')) : text;
}

[[noreturn]] void creationFailed(const QString& reason) {
    throw EVoiceError(QStringLiteral("Cannot create \"%1\": %2").arg(QLatin1String(kSpVoiceProgId), reason));
}

[[noreturn]] void synthesisFailed(const QString& reason) {
    throw EVoiceError(QStringLiteral("\"%1\": synthesis failed: %2").arg(QLatin1String(kSpVoiceProgId), reason));
}

[[noreturn]] void speakFailed(const QString& reason) {
    throw EVoiceError(QStringLiteral("\"%1\".Speak failed: %2").arg(QLatin1String(kSpVoiceProgId), reason));
}

// The one espeak-ng engine of the process.
class Engine {
public:
    static Engine& instance() {
        static Engine engine;
        return engine;
    }

    // Makes the engine ready on the data folder (empty: its default) and selects the Brazilian
    // Portuguese voice with its default settings.
    void open(const QString& dataPath) {
        if (!m_ready || dataPath != m_dataPath) initialise(dataPath);
        const espeak_ng_STATUS status = espeak_ng_SetVoiceByName(EspeakVoice::kVoiceName);
        if (status != ENS_OK)
            creationFailed(QStringLiteral("espeak-ng has no Brazilian Portuguese voice \"%1\" in %2: %3")
                               .arg(QLatin1String(EspeakVoice::kVoiceName), dataFolder(), statusText(status)));
        // Without its dictionary espeak-ng still selects the voice, and then reads nonsense.
        const QString dictionary = QDir(dataFolder()).filePath(QLatin1String(EspeakVoice::kDictionary));
        if (!QFileInfo(dictionary).isReadable())
            creationFailed(QStringLiteral("espeak-ng has no Portuguese dictionary: %1 is missing").arg(dictionary));
    }

    void toSamples() {
        if (m_output == Output::Samples) return;
        const espeak_ng_STATUS status = espeak_ng_InitializeOutput(ENOUTPUT_MODE_SYNCHRONOUS, 0, nullptr);
        if (status != ENS_OK) synthesisFailed(statusText(status));
        m_output = Output::Samples;
    }

    // Synthesises UTF-8 text to the current output; samples go to sink when it is given, the
    // phonemes of every clause to trace. Text within [[ ]] is read as phonemes.
    espeak_ng_STATUS synthesize(const QByteArray& utf8, std::vector<short>* sink, FILE* trace = nullptr) {
        m_sink = sink;
        if (trace) espeak_SetPhonemeTrace(espeakPHONEMES_SHOW, trace);
        const espeak_ng_STATUS status =
            espeak_ng_Synthesize(utf8.constData(), std::size_t(utf8.size()) + 1, 0, POS_CHARACTER, 0,
                                 espeakCHARS_UTF8 | espeakPHONEMES, nullptr, nullptr);
        if (trace) espeak_SetPhonemeTrace(0, nullptr);
        m_sink = nullptr;
        return status;
    }

    int sampleRate() const { return espeak_ng_GetSampleRate(); }

    QString dataFolder() const {
        const char* path = nullptr;
        espeak_Info(&path);
        return path ? QString::fromLocal8Bit(path) : m_dataPath;
    }

private:
    enum class Output { None, Samples };

    Engine() = default;

    void initialise(const QString& dataPath) {
        m_ready = false;
        const QByteArray path = QFile::encodeName(dataPath);
        espeak_ng_InitializePath(dataPath.isEmpty() ? nullptr : path.constData());
        espeak_ng_ERROR_CONTEXT context = nullptr;
        const espeak_ng_STATUS status = espeak_ng_Initialize(&context);
        if (status != ENS_OK) {
            const QString reason = statusText(status, context);
            espeak_ng_ClearErrorContext(&context);
            creationFailed(QStringLiteral("the speech engine espeak-ng cannot start: %1").arg(reason));
        }
        // The engine keeps the list of voices it found first: make it scan this folder.
        espeak_ListVoices(nullptr);
        espeak_SetSynthCallback(&Engine::onSamples);
        m_ready = true;
        m_dataPath = dataPath;
        // A fresh engine sets its sample output up again.
        m_output = Output::None;
    }

    static int onSamples(short* wav, int count, espeak_EVENT*) {
        std::vector<short>* sink = instance().m_sink;
        if (sink && wav && count > 0) sink->insert(sink->end(), wav, wav + count);
        return 0; // go on
    }

    bool m_ready = false;
    QString m_dataPath;
    Output m_output = Output::None;
    std::vector<short>* m_sink = nullptr;
};

QString textFor(const QString& text, EspeakVoice::Reading reading) {
    return reading == EspeakVoice::Reading::Natural ? naturalReading(text, &clinicLexicon()) : text;
}

} // namespace

EspeakVoice::EspeakVoice(const QString& dataPath) { Engine::instance().open(dataPath); }

void EspeakVoice::Speak(const QString& text, int flags) {
    if (flags != 0)
        speakFailed(QStringLiteral("flags %1 are not supported; 0 speaks synchronously").arg(flags));
    // Synthesised to memory in milliseconds, then played by the speech output, which holds the
    // window's thread no longer than the announcement's own length and a margin.
    const Samples samples = synthesizeToSamples(text, Reading::Natural);
    SpeechOutput::instance().play(samples.data, samples.sampleRate);
}

QString EspeakVoice::dataFolder() const { return Engine::instance().dataFolder(); }

EspeakVoice::Samples EspeakVoice::synthesizeToSamples(const QString& text, Reading reading) {
    Engine& engine = Engine::instance();
    engine.toSamples();
    Samples samples;
    const espeak_ng_STATUS status = engine.synthesize(textFor(text, reading).toUtf8(), &samples.data);
    if (status != ENS_OK) synthesisFailed(statusText(status));
    samples.sampleRate = engine.sampleRate();
    return samples;
}

QString EspeakVoice::phonemes(const QString& text, Reading reading) {
    return phonemeClauses(text, reading).join(QStringLiteral(" | "));
}

QStringList EspeakVoice::phonemeClauses(const QString& text, Reading reading) {
    // The phonemes the engine says, as it synthesises them (its own translation to phonemes
    // alone does not read the inline phoneme notation).
    Engine& engine = Engine::instance();
    engine.toSamples();
    char* buffer = nullptr;
    std::size_t size = 0;
    FILE* trace = open_memstream(&buffer, &size);
    if (!trace) synthesisFailed(QString::fromLocal8Bit(std::strerror(errno)));
    const espeak_ng_STATUS status = engine.synthesize(textFor(text, reading).toUtf8(), nullptr, trace);
    std::fclose(trace);
    const QString output = QString::fromUtf8(buffer, qsizetype(size));
    std::free(buffer);
    if (status != ENS_OK) synthesisFailed(statusText(status));
    QStringList clauses;
    for (const QString& line : output.split(u'\n'))
        if (!line.trimmed().isEmpty()) clauses << line.trimmed();
    return clauses;
}
