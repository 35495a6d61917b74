#pragma once
// What the running process holds, read from /proc: open file descriptors and resident memory.

#include <cstdint>

namespace procstats {

// Entries of /proc/self/fd (the descriptor used to read the folder not counted).
int openDescriptors();

// Resident set size in KiB (VmRSS of /proc/self/status).
std::int64_t residentKiB();

} // namespace procstats
