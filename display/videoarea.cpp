// The main window's media: the notification sound and the video beside the call.

#include "config/inifile.h"
#include "display/panel.h"
#include "display/tprincipal.h"
#include "media/mediaplayer.h"

#include <QTimer>

void TPrincipal::startupMedia(const TIniFile& ini) {
    const QString notify = besideExe(QStringLiteral("NOTIFY.WAV"));
    if (configLine(2) != u"N" && !notify.isEmpty()) {
        Som1->setFileName(notify);
        Som1->Open();
        Som1->Play();
    }
    const QString video = besideExe(QStringLiteral("VIDEO.WMV"));
    if (video.isEmpty()) {
        PanelVideo->hide();
        return;
    }
    const QString repetirvideo = ini.ReadString(QStringLiteral("definicao"), QStringLiteral("repetirvideo"), QString());
    VIDEO1->setFileName(video);
    VIDEO1->Open();
    VIDEO1->Play();
    if (repetirvideo == u"S") Timer2->start();
}

void TPrincipal::Som1Play() { Som1->Play(); }

void TPrincipal::videoPause() { VIDEO1->Pause(); }

void TPrincipal::videoPlay() { VIDEO1->Play(); }

bool TPrincipal::videoIsOpen() const { return VIDEO1->isOpen(); }

void TPrincipal::Timer2Timer(QObject*) {
    guarded(*m_errors, [this] { VIDEO1->Play(); });
}

void TPrincipal::PanelVideoDblClick(QObject*) {
    guarded(*m_errors, [this] { VIDEO1->Open(); });
}
