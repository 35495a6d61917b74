#include "display/tprincipal.h"
void TPrincipal::Timer2Timer(QObject*) {}
void TPrincipal::PanelVideoDblClick(QObject*) {}
void TPrincipal::videoPause() {}
void TPrincipal::videoPlay() {}
bool TPrincipal::videoIsOpen() const { return false; }
void TPrincipal::Som1Play() {}
void TPrincipal::startupMedia(const TIniFile&) {}
