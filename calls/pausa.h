#pragma once

// Holds for more than the given seconds while serving the event queue: timers tick, the window
// repaints and further calls are received meanwhile. It waits for events instead of spinning, so a
// pause costs no processor time, and measures on a steady clock, so setting the wall clock during
// a pause changes nothing. The queue is served at least once.
void Pausa(int seconds);
