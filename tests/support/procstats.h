#pragma once
// What a running process holds and has used, read from /proc: open file descriptors, resident
// memory, processor time and threads. A pid of 0 is this process.

#include <cstdint>

namespace procstats {

// Entries of /proc/self/fd (the descriptor used to read the folder not counted).
int openDescriptors();

// Resident set size in KiB (VmRSS of /proc/PID/status); -1 when unknown.
std::int64_t residentKiB(long long pid = 0);

// Processor time of every thread now running (user and system), in milliseconds, from the
// scheduler's per-thread nanosecond counters: a few milliseconds over a pause are seen. Threads
// that ended are no longer counted, so take differences over a span that starts or ends none.
double processorMs(long long pid = 0);

// Threads of the process.
int threadCount(long long pid = 0);

} // namespace procstats
