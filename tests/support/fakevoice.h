#pragma once
// A voice that records what it was asked to speak, in order with other events of a test.

#include "calls/voice.h"

#include <QStringList>
#include <functional>
#include <memory>

struct VoiceLog {
    QStringList spoken;    // texts, in order
    int created = 0;       // voice objects made
    int alive = 0;         // voice objects not yet released
    QString failCreate;    // when set, creating a voice fails with this text
    QString failSpeak;     // when set, speaking fails with this text
    std::function<void(const QString&)> onSpeak; // runs while "speaking"
};

class FakeVoice : public IVoice {
public:
    explicit FakeVoice(VoiceLog& log) : m_log(log) { ++m_log.alive; }
    ~FakeVoice() override { --m_log.alive; }
    void Speak(const QString& text, int flags) override;

private:
    VoiceLog& m_log;
};

VoiceFactory fakeVoiceFactory(VoiceLog& log);
