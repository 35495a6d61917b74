#pragma once
// Whether a window manager looks after the application's windows, and where the window stands
// in its restored (neither maximised nor minimised) state.

#include <QRect>

// True on Wayland (the compositor manages every window) and on X11 when a window manager has
// announced itself: by the EWMH check window on a root window, or by owning the ICCCM selection
// WM_Sn of a screen. False on platforms without one (offscreen, eglfs, linuxfb) and on X11 with no
// window manager running. Asked afresh at every call.
bool windowManagerRunning();

// A client area of the given size centred on the screen's available area.
QRect centredOn(const QRect& available, const QSize& clientSize);
