#include "tests/support/procstats.h"

#include <dirent.h>
#include <fstream>
#include <string>
#include <vector>

namespace procstats {
namespace {

std::string procFolder(long long pid) { return pid > 0 ? "/proc/" + std::to_string(pid) : std::string("/proc/self"); }

std::vector<std::string> entries(const std::string& folder) {
    std::vector<std::string> names;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return names;
    while (const dirent* e = ::readdir(dir))
        if (e->d_name[0] != '.') names.emplace_back(e->d_name);
    ::closedir(dir);
    return names;
}

} // namespace

int openDescriptors() {
    const auto fds = entries("/proc/self/fd");
    return fds.empty() ? -1 : int(fds.size()) - 1;
}

std::int64_t residentKiB(long long pid) {
    std::ifstream status(procFolder(pid) + "/status");
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

double processorMs(long long pid) {
    const std::string base = procFolder(pid) + "/task/";
    long long ns = 0;
    for (const std::string& task : entries(base)) {
        std::ifstream schedstat(base + task + "/schedstat");
        long long running = 0;
        if (schedstat >> running) ns += running;
    }
    return double(ns) / 1e6;
}

int threadCount(long long pid) { return int(entries(procFolder(pid) + "/task").size()); }

} // namespace procstats
