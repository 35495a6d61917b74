// The receive cycle: what the panel does with every call message a station sends.

#include "calls/grammar.h"
#include "calls/listener.h"
#include "base/codepage.h"
#include "base/errors.h"
#include "display/panel.h"
#include "display/tprincipal.h"

#include <QTcpSocket>

namespace {

void applyChange(TPanel* panel, const PanelChange& change) {
    if (change.fontSize) panel->setFontPoints(*change.fontSize);
    if (change.text) panel->setText(*change.text);
    if (change.visible) panel->setVisible(*change.visible);
}

} // namespace

void TPrincipal::ServerSocket1ClientRead(QObject*, QTcpSocket* Socket) {
    ++m_cyclesRunning;
    Cycle cycle;
    guarded(*m_errors, [&] { runCycle(Socket, cycle); }, [this] { restoreAfterFailedCycle(); });
    cycle.voice.reset();
    for (const QString& text : std::as_const(cycle.mediaErrors)) m_errors->showError(text);
    // The boxes of errors raised while calls were being handled are shown now that none is.
    if (--m_cyclesRunning == 0 && m_ownErrors) m_ownErrors->release();
}

void TPrincipal::runCycle(QTcpSocket* socket, Cycle& cycle) {
    if (videoFileExists()) mediaStep(cycle, [this] { videoPause(); });
    Panel3->setFontPoints(140);
    const QString text = cp1252::decode(ServerSocket1->readMessage(socket, kMaxMessageChars));
    Panel7->hide();

    if (classifyCall(text) == CallKind::Refresh) {
        ServerSocket1->SetActive(false);
        requeryCallsList();
        ServerSocket1->SetActive(true);
    } else {
        const QString announcement = handleForm(text, cycle);
        cycle.voice = speak(announcement);
        requeryCallsList();
        Pausa(2);
    }
    // Switched off and on again: the stations' connections are closed; the listening socket stays
    // (unless a counter call has switched it off), so that stations waiting in its backlog are
    // served instead of reset.
    ServerSocket1->Restart();
    if (videoFileExists()) mediaStep(cycle, [this] { videoPlay(); });
}

// A media file that went missing or bad must not cost the call: the failure is kept and
// reported once the call has been shown, spoken and the listener is on again.
void TPrincipal::mediaStep(Cycle& cycle, const std::function<void()>& step) {
    try {
        step();
    } catch (const EPainelError& e) {
        cycle.mediaErrors.append(e.text());
    }
}

std::unique_ptr<IVoice> TPrincipal::speak(const QString& announcement) {
    if (configLine(3) != u"S") return nullptr;
    std::unique_ptr<IVoice> voice = m_env.voiceFactory();
    voice->Speak(announcement, 0);
    return voice;
}

void TPrincipal::notificationPlay() {
    if (configLine(2) != u"N") Som1Play();
}

QString TPrincipal::handleForm(const QString& text, Cycle& cycle) {
    // A counter call refuses every station until its cycle ends, and its numbers are read (and
    // may fail) before the notification; every other form starts the notification first.
    const bool counter = classifyCall(text) == CallKind::Counter;
    const auto notify = [&] { mediaStep(cycle, [this] { notificationPlay(); }); };
    if (counter) ServerSocket1->SetActive(false);
    else notify();
    const CallResult form = parseCall(text, tamanhofontenome, tamanhofonteservico);
    xsenha = form.xsenha;
    if (counter) notify();
    applyChange(Panel3, form.panel3);
    applyChange(Panel7, form.panel7);
    applyChange(Panel8, form.panel8);
    // The whole window with its panels is painted now, so that the call is on screen before the
    // speech starts.
    repaint();
    if (form.pauseSeconds > 0) Pausa(form.pauseSeconds);
    return form.announcement;
}

void TPrincipal::restoreAfterFailedCycle() {
    // Whatever step failed, the panel must not go deaf nor leave the video paused: the listener
    // is switched on and the video resumed before the error is shown.
    guarded(*m_errors, [this] { ServerSocket1->SetActive(true); });
    if (videoFileExists() && videoIsOpen()) guarded(*m_errors, [this] { videoPlay(); });
}
