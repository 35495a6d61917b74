// The main window and its calls: the listener's read handler, and what the receive cycle asks of
// the window.

#include "base/codepage.h"
#include "calls/calllog.h"
#include "calls/grammar.h"
#include "calls/listener.h"
#include "db/callsquery.h"
#include "db/database.h"
#include "display/panel.h"
#include "display/tprincipal.h"
#include "group/groupclient.h"
#include "media/mediaplayer.h"

#include <QTcpSocket>
#include <QTimer>
#include <cstdio>

namespace {

void applyChange(TPanel* panel, const PanelChange& change) {
    if (change.fontSize) panel->setFontPoints(*change.fontSize);
    if (change.text) panel->setText(*change.text);
    if (change.visible) panel->setVisible(*change.visible);
}

} // namespace

void TPrincipal::ServerSocket1ClientRead(QObject*, QTcpSocket* Socket) {
    runCycle([&] {
        const QByteArray bytes = ServerSocket1->readMessage(Socket, kMaxMessageChars);
        const QString station = Socket->peerAddress().toString();
        // The other panels of the group run the same call, as read.
        if (m_group) m_group->publish(bytes, station);
        const QString message = cp1252::decode(bytes);
        // Nothing is served between the read and the call on screen: the call shown next is this one.
        m_lastRead = {station, message, QDateTime::currentMSecsSinceEpoch()};
        return message;
    });
}

void TPrincipal::runCycle(const std::function<QString()>& readMessage) {
    ++m_cyclesRunning;
    ReceiveCycle cycle(*this, readMessage);
    cycle.run(*m_errors);
    --m_cyclesRunning;
    // The boxes of errors raised while calls were being handled are shown now that none is.
    if (m_cyclesRunning == 0 && m_ownErrors) m_ownErrors->release();
    if (!m_groupWaiting.empty()) runWaitingGroupCalls();
}

void TPrincipal::groupCallArrived(const GroupCall& call) {
    if (int(m_groupWaiting.size()) >= kMaxGroupWaiting) m_groupWaiting.pop_front();
    m_groupWaiting.push_back(call);
    runWaitingGroupCalls();
}

// The calls from the group run from the event queue, never inside the listener's own steps:
// when a station's read could run (the listener on, the nesting under its bound), the first
// waiting call runs, and the next one after it is posted again.
void TPrincipal::runWaitingGroupCalls() {
    if (m_groupRunPosted) return;
    m_groupRunPosted = true;
    QTimer::singleShot(0, this, [this] {
        m_groupRunPosted = false;
        if (m_groupWaiting.empty()) return;
        if (!ServerSocket1->Active() || m_cyclesRunning >= TServerSocket::kMaxNesting) {
            // Tried again when the listener comes on or a cycle ends.
            return;
        }
        const GroupCall call = m_groupWaiting.front();
        m_groupWaiting.pop_front();
        if (!m_groupWaiting.empty()) runWaitingGroupCalls();
        runCycle([&] {
            const QString message = cp1252::decode(call.message);
            m_lastRead = {QStringLiteral("grupo:") + call.station, message, QDateTime::currentMSecsSinceEpoch()};
            return message;
        });
    });
}

bool TPrincipal::videoOpen() const { return VIDEO1->isOpen(); }

void TPrincipal::holdVideo() { VIDEO1->Pause(); }

void TPrincipal::resumeVideo() { VIDEO1->Play(); }

void TPrincipal::resetCallLines() {
    Panel3->setFontPoints(140);
    Panel7->hide();
}

void TPrincipal::showCall(const CallResult& call) {
    xsenha = call.xsenha;
    applyChange(Panel3, call.panel3);
    applyChange(Panel7, call.panel7);
    applyChange(Panel8, call.panel8);
    // The whole window with its panels is painted now, so that the call is on screen before the
    // speech starts.
    repaint();
    logLine();
}

void TPrincipal::refreshed() { logLine(); }

void TPrincipal::logLine() {
    if (!callLogEnabled()) return;
    const QDateTime now = QDateTime::currentDateTime();
    std::fprintf(stderr, "painel: %s\n",
                 callLogLine(now, m_lastRead.station, m_lastRead.message, now.toMSecsSinceEpoch() - m_lastRead.at).toLocal8Bit().constData());
    std::fflush(stderr);
}

void TPrincipal::playNotification() { Som1->Play(); }

void TPrincipal::requery() {
    try {
        GUICHELISTA->requery();
    } catch (const EDatabaseUnanswered&) {
        // The server has not answered since a call was abandoned; that was reported then.
    }
}

void TPrincipal::switchListener(bool on) { ServerSocket1->SetActive(on); }

void TPrincipal::restartListener() { ServerSocket1->Restart(); }
