#include "calls/receivecycle.h"

#include "base/errorreport.h"
#include "base/errors.h"
#include "calls/grammar.h"

ReceiveCycle::ReceiveCycle(CycleHost& host, std::function<QString()> readMessage)
    : m_host(host), m_readMessage(std::move(readMessage)) {}

ReceiveCycle::~ReceiveCycle() = default;

void ReceiveCycle::run(IErrorReport& report) {
    guarded(report, [this] { steps(); }, [&] { restore(report); });
    m_voice.reset();
    for (const QString& text : std::as_const(m_mediaErrors)) report.showError(text);
}

void ReceiveCycle::steps() {
    // A video that could not be opened was reported then: it is not paused and resumed at every
    // call, each raising "No MCI device open" again.
    const bool video = m_host.videoFileExists() && m_host.videoOpen();
    if (video) mediaStep([this] { m_host.holdVideo(); });
    m_host.resetCallLines();
    const QString text = m_readMessage();
    if (classifyCall(text) == CallKind::Refresh) {
        m_host.switchListener(false);
        m_host.requery();
        m_host.refreshed();
        m_host.switchListener(true);
    } else {
        const QString announcement = form(text);
        if (m_host.configLine(3) == u"S") {
            m_voice = m_host.createVoice();
            m_voice->Speak(announcement, 0);
        }
        m_host.requery();
        m_host.pause(2);
    }
    // The stations' connections are closed; the listening socket stays (unless a counter call
    // has switched it off), so that stations waiting in its backlog are served, not reset.
    m_host.restartListener();
    if (video && m_host.videoOpen()) mediaStep([this] { m_host.resumeVideo(); });
}

QString ReceiveCycle::form(const QString& text) {
    const bool counter = classifyCall(text) == CallKind::Counter;
    if (counter) m_host.switchListener(false);
    else notify();
    const CallResult call = parseCall(text, m_host.nameFontSize(), m_host.serviceFontSize(), m_host.nameForm());
    if (counter) notify();
    m_host.showCall(call);
    if (call.pauseSeconds > 0) m_host.pause(call.pauseSeconds);
    return call.announcement;
}

void ReceiveCycle::notify() {
    if (m_host.configLine(2) != u"N") mediaStep([this] { m_host.playNotification(); });
}

// A media file that went missing or bad must not cost the call: the failure is kept and
// reported once the call has been shown, spoken and the listener is on again.
void ReceiveCycle::mediaStep(const std::function<void()>& step) {
    try {
        step();
    } catch (const EPainelError& e) {
        m_mediaErrors.append(e.text());
    }
}

// A cycle that failed ends as one that succeeded: the listener on, and the connections whose
// message has been read closed. Left open, a station whose call was shown while the database was
// down would wait for the next cycle that succeeds, a minute and more while the fault lasts.
void ReceiveCycle::restore(IErrorReport& report) {
    guarded(report, [this] { m_host.restartListener(); });
    if (m_host.videoFileExists() && m_host.videoOpen()) guarded(report, [this] { m_host.resumeVideo(); });
}
