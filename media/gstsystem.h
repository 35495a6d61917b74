#pragma once
// The media system behind the players: GStreamer, started once per process at the first open
// of a medium, so that a panel without media never loads it.

#include <QString>

// True once GStreamer is ready; false with its reason otherwise (and at every later call).
bool startMediaSystem(QString* why);
