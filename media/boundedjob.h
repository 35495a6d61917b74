#pragma once
// Work that may block for as long as something outside the panel pleases (a GStreamer state
// change that waits for a sound server which hangs), run on a thread of its own while the
// window's thread waits for it at most a bound. Past the bound the work goes on by itself and
// frees what it owns when it ends; the window's thread goes on without it.

#include <chrono>
#include <functional>

// Runs job on a thread of its own and waits for it at most bound: true when it has ended. When
// no thread can be made the job runs here, unbounded.
bool runWithin(std::function<void()> job, std::chrono::milliseconds bound);

// Jobs given up at their bound that have not ended yet, in the whole process.
int jobsStillRunning();
