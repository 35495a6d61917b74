#include "tests/support/procstats.h"

#include <dirent.h>
#include <fstream>
#include <string>

namespace procstats {

int openDescriptors() {
    DIR* dir = ::opendir("/proc/self/fd");
    if (!dir) return -1;
    int n = 0;
    while (const dirent* e = ::readdir(dir))
        if (e->d_name[0] != '.') ++n;
    ::closedir(dir);
    return n - 1;
}

std::int64_t residentKiB() {
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        if (key == "VmRSS:") {
            std::int64_t kib = 0;
            status >> kib;
            return kib;
        }
        status.ignore(4096, '\n');
    }
    return -1;
}

} // namespace procstats
