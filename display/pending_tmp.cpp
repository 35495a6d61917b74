#include "display/tprincipal.h"
void TPrincipal::Timer2Timer(QObject*) {}
void TPrincipal::PanelVideoDblClick(QObject*) {}
void TPrincipal::openCallsList() {}
void TPrincipal::requeryCallsList() {}
void TPrincipal::videoPause() {}
void TPrincipal::videoPlay() {}
bool TPrincipal::videoIsOpen() const { return false; }
void TPrincipal::Som1Play() {}
