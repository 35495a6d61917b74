// Prints what taking a call message apart costs, by form and message length, to show that the
// cost grows in proportion to the message.

#include "bench/benchsupport.h"
#include "calls/grammar.h"
#include "base/errors.h"

#include <chrono>
#include <cstdio>

int main() {
    std::printf("Machine: %s\n\n", bench::machineLine().c_str());
    const char* const prefixes[] = {"01002", "CR*2", "MD*41", "MD*12", "MD*7", "AC*", "RE*"};
    const qsizetype lengths[] = {16, 1024, 64 * 1024, 1024 * 1024};
    std::printf("%-8s %10s %12s %10s\n", "form", "chars", "us/call", "ns/char");
    for (const char* prefix : prefixes) {
        for (qsizetype length : lengths) {
            const QString T = QString::fromLatin1(prefix) + QString(length, u'A');
            const int rounds = int(qMax<qsizetype>(4, (8 * 1024 * 1024) / (length + 16)));
            qsizetype sink = 0;
            const auto start = std::chrono::steady_clock::now();
            for (int i = 0; i < rounds; ++i)
                sink += parseCall(T, 61, 37).announcement.size();
            const std::chrono::duration<double, std::micro> spent =
                std::chrono::steady_clock::now() - start;
            const double perCall = spent.count() / rounds;
            std::printf("%-8s %10lld %12.2f %10.3f%s\n", prefix, static_cast<long long>(T.size()),
                        perCall, perCall * 1000.0 / double(T.size()), sink ? "" : " (nothing)");
        }
    }
    return 0;
}
