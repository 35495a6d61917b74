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
#include "media/mediaplayer.h"

#include <QTcpSocket>
#include <cstdio>

namespace {

void applyChange(TPanel* panel, const PanelChange& change) {
    if (change.fontSize) panel->setFontPoints(*change.fontSize);
    if (change.text) panel->setText(*change.text);
    if (change.visible) panel->setVisible(*change.visible);
}

} // namespace

void TPrincipal::ServerSocket1ClientRead(QObject*, QTcpSocket* Socket) {
    ++m_cyclesRunning;
    ReceiveCycle cycle(*this, [&] {
        const QString message = cp1252::decode(ServerSocket1->readMessage(Socket, kMaxMessageChars));
        // Nothing is served between the read and the call on screen: the call shown next is this one.
        m_lastRead = {Socket->peerAddress().toString(), message, QDateTime::currentMSecsSinceEpoch()};
        return message;
    });
    cycle.run(*m_errors);
    // The boxes of errors raised while calls were being handled are shown now that none is.
    if (--m_cyclesRunning == 0 && m_ownErrors) m_ownErrors->release();
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
    if (callLogEnabled()) {
        const QDateTime now = QDateTime::currentDateTime();
        std::fprintf(stderr, "painel: %s\n",
                     callLogLine(now, m_lastRead.station, m_lastRead.message, now.toMSecsSinceEpoch() - m_lastRead.at)
                         .toLocal8Bit()
                         .constData());
        std::fflush(stderr);
    }
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
