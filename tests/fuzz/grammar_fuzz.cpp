// libFuzzer target for the call message grammar: any bytes, decoded as a call message, are
// classified and taken apart. Only a counter call may fail, and only with EConvertError; any
// other exception, a crash or a memory error is a finding. Results are checked for the bounds
// the receive cycle relies on.
//
// Build and run (from the source root):
//   clang++ -std=c++20 -fsanitize=fuzzer,address,undefined -g -O1 -fPIC -I. \
//     $(pkg-config --cflags Qt6Core) tests/fuzz/grammar_fuzz.cpp calls/grammar.cpp \
//     calls/destinations.cpp config/codepage.cpp config/intrule.cpp \
//     $(pkg-config --libs Qt6Core) -o grammar_fuzz
//   ./grammar_fuzz -max_total_time=30 -max_len=4096 CORPUS_DIR

#include "calls/destinations.h"
#include "calls/grammar.h"
#include "config/codepage.h"
#include "config/errors.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString T =
        cp1252::decode(QByteArrayView(reinterpret_cast<const char*>(data), qsizetype(size)));
    const CallKind kind = classifyCall(T);
    try {
        const CallResult r = parseCall(T, 61, 37);
        if (r.kind != kind) std::abort();
        if (kind == CallKind::Counter && r.xsenha.size() > 40) std::abort();
        if (r.announcement.size() > T.size() + 80) std::abort();
    } catch (const EConvertError&) {
        if (kind != CallKind::Counter) std::abort();
    }
    // The destination look-up alone, with the first two bytes as the code.
    const DestinationCall d = callDestination(QStringView(T).first(qMin<qsizetype>(2, T.size())),
                                              QStringView(T).sliced(qMin<qsizetype>(2, T.size())));
    if (d.panel8.isEmpty()) std::abort();
    return 0;
}
