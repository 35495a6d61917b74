#include "calls/speechoutput.h"

#include "calls/espeakvoice.h"
#include "calls/voice.h"

#include <QByteArray>
#include <QString>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <pcaudiolib/audio.h>
#include <thread>

namespace {

// Samples written to the device at a time: between two writes the thread looks whether the play
// has been given up.
constexpr double kChunkSeconds = 0.05;

struct Play {
    std::vector<short> samples;
    int rate = 0;
    bool abandoned = false; // the window's thread no longer waits for it
    bool done = false;
    QString noDevice;       // the device could not be opened: why
};

} // namespace

// The state shared with the output's thread, which may outlive the object at the end of the
// process while a hung server holds it.
struct SpeechOutput::Shared {
    std::mutex mutex;
    std::condition_variable changed;
    std::shared_ptr<Play> current; // handed to the thread, not yet done
    bool threadStarted = false;

    void run() {
        std::unique_lock lock(mutex);
        for (;;) {
            changed.wait(lock, [&] { return current && !current->done; });
            const std::shared_ptr<Play> play = current;
            lock.unlock();
            const QString noDevice = playOut(*play);
            lock.lock();
            play->noDevice = noDevice;
            play->done = true;
            changed.notify_all();
        }
    }

    bool abandoned(Play& play) {
        const std::lock_guard guard(mutex);
        return play.abandoned;
    }

    // The sound device, found once (finding it tries the sound systems one after another) and
    // found anew after it failed, so that a sound server started anew is found.
    audio_object* out = nullptr;

    // Plays it on the device, opened for it; the reason when it could not be opened.
    QString playOut(Play& play) {
        if (!out) {
            const QByteArray device = qgetenv("PAINEL_AUDIO_DEVICE");
            out = create_audio_device_object(device.isEmpty() ? nullptr : device.constData(), "painel",
                                             "Anúncio da chamada");
        }
        if (!out) return QStringLiteral("no sound system answered");
        const int opened = audio_object_open(out, AUDIO_OBJECT_FORMAT_S16LE, uint32_t(play.rate), 1);
        if (opened != 0) {
            const QString reason = QString::fromLocal8Bit(audio_object_strerror(out, opened));
            audio_object_destroy(std::exchange(out, nullptr));
            return reason.isEmpty() ? QStringLiteral("error %1").arg(opened) : reason;
        }
        const std::size_t chunk = std::max<std::size_t>(1, std::size_t(play.rate * kChunkSeconds));
        bool given = false, failed = false;
        for (std::size_t at = 0; at < play.samples.size(); at += chunk) {
            if ((given = abandoned(play))) break;
            const std::size_t count = std::min(chunk, play.samples.size() - at);
            if ((failed = audio_object_write(out, play.samples.data() + at, count * sizeof(short)) != 0)) break;
        }
        if (given || abandoned(play))
            audio_object_flush(out);
        else if (!failed)
            audio_object_drain(out);
        audio_object_close(out);
        // A write that failed (the server went away): the next play looks for the device anew.
        if (failed) audio_object_destroy(std::exchange(out, nullptr));
        return {};
    }
};

SpeechOutput& SpeechOutput::instance() {
    // Never destroyed: its thread may still be held by the sound server as the process ends.
    static SpeechOutput* output = new SpeechOutput;
    return *output;
}

SpeechOutput::SpeechOutput() : m_shared(std::make_shared<Shared>()) {}

SpeechOutput::~SpeechOutput() = default;

std::chrono::milliseconds SpeechOutput::boundFor(std::chrono::milliseconds length) {
    return length + length / 10 + kMargin;
}

void SpeechOutput::play(const std::vector<short>& samples, int rate) {
    if (samples.empty() || rate <= 0) return;
    const auto length = std::chrono::milliseconds(qint64(samples.size()) * 1000 / rate);
    const std::shared_ptr<Shared> shared = m_shared;
    std::unique_lock lock(shared->mutex);
    const auto unheard = [&](const QString& text) {
        if (std::exchange(m_reported, true)) return;
        throw EVoiceError(text);
    };
    if (shared->current && !shared->current->done) {
        // Still held by an earlier play: the server has not answered since.
        lock.unlock();
        unheard(QStringLiteral("\"%1\".Speak failed: a saída de som não responde desde um anúncio "
                               "anterior")
                    .arg(QLatin1String(kSpVoiceProgId)));
        return;
    }
    auto play = std::make_shared<Play>();
    play->samples = samples;
    play->rate = rate;
    shared->current = play;
    if (!shared->threadStarted) {
        std::thread([shared] { shared->run(); }).detach();
        shared->threadStarted = true;
    }
    shared->changed.notify_all();
    const auto bound = boundFor(length);
    if (!shared->changed.wait_for(lock, bound, [&] { return play->done; })) {
        play->abandoned = true;
        lock.unlock();
        unheard(QStringLiteral("\"%1\".Speak failed: a saída de som não respondeu em %2 segundos: o "
                               "anúncio não foi ouvido")
                    .arg(QLatin1String(kSpVoiceProgId))
                    .arg(std::chrono::ceil<std::chrono::seconds>(bound).count()));
        return;
    }
    const QString noDevice = play->noDevice;
    lock.unlock();
    if (!noDevice.isEmpty()) {
        if (std::exchange(m_reported, true)) return;
        throw ENoSoundDevice(QStringLiteral("\"%1\".Speak failed: no sound output device could be opened (%2)")
                                 .arg(QLatin1String(kSpVoiceProgId), noDevice));
    }
    m_reported = false;
}
