#include "tests/support/fakevoice.h"

#include "base/errors.h"

void FakeVoice::Speak(const QString& text, int flags) {
    if (flags != 0) throw EVoiceError(QStringLiteral("unexpected flags"));
    if (!m_log.failSpeak.isEmpty()) throw EVoiceError(m_log.failSpeak);
    m_log.spoken.append(text);
    if (m_log.onSpeak) m_log.onSpeak(text);
}

VoiceFactory fakeVoiceFactory(VoiceLog& log) {
    return [&log]() -> std::unique_ptr<IVoice> {
        if (!log.failCreate.isEmpty()) throw EVoiceError(log.failCreate);
        ++log.created;
        return std::make_unique<FakeVoice>(log);
    };
}
