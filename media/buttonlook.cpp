#include "media/buttonlook.h"

namespace {

void set(ButtonStates& s, MPButton b, bool on) { s[static_cast<int>(b)] = on; }

}  // namespace

ButtonStates enabledButtons(BarLook look, const MediaCapabilities& caps) {
    ButtonStates s{};
    if (look == BarLook::AsBuilt) {
        s.fill(true);
        return s;
    }
    const bool moving = look == BarLook::Playing;
    const bool held = look == BarLook::Paused;
    set(s, MPButton::Play, caps.canPlay && !moving);
    set(s, MPButton::Pause, caps.canPlay && (moving || held));
    set(s, MPButton::Stop, moving || held);
    set(s, MPButton::Next, caps.canPlay);
    set(s, MPButton::Prev, caps.canPlay);
    set(s, MPButton::Step, caps.canStep);
    set(s, MPButton::Back, caps.canStep);
    set(s, MPButton::Record, caps.canRecord && look == BarLook::Stopped);
    set(s, MPButton::Eject, caps.canEject);
    return s;
}

BarLook lookForMode(MediaMode mode) {
    switch (mode) {
    case MediaMode::Playing:
        return BarLook::Playing;
    case MediaMode::Paused:
        return BarLook::Paused;
    default:
        return BarLook::Stopped;
    }
}
