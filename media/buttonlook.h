#pragma once
// Which buttons of a player's bar look enabled (the others look greyed), after the device's
// capabilities and the last press. Pure rules, no widgets.

#include "media/mediatypes.h"

#include <array>

// The nine buttons of the bar, in the order they stand.
enum class MPButton { Play, Pause, Stop, Next, Prev, Step, Back, Record, Eject };
inline constexpr int kMPButtonCount = 9;

enum class BarLook {
    AsBuilt,  // no device open: every button enabled
    Stopped,  // a freshly opened device, or one that has stopped
    Playing,
    Paused,
};

using ButtonStates = std::array<bool, kMPButtonCount>;

ButtonStates enabledButtons(BarLook look, const MediaCapabilities& caps);

// The look that a press leaves, after the mode the device is in once the press is done.
BarLook lookForMode(MediaMode mode);
