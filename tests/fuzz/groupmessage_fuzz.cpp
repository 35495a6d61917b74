// libFuzzer target for the calls the panels of a group pass through the broker: any bytes on the
// topic are read without failing; what is read as a call holds a message a station could have
// sent (1 to 80 bytes) and is written back to the same call; what is refused says why.

#include "calls/grammar.h"
#include "group/groupmessage.h"
#include "tests/fuzz/fuzzinput.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray payload(reinterpret_cast<const char*>(data), qsizetype(size));
    const GroupCallRead read = decodeGroupCall(payload);
    fuzz::check(read.call.has_value() == read.error.isEmpty(), "a payload is a call or has a reason");
    if (!read.call) return 0;
    const GroupCall& call = *read.call;
    fuzz::check(!call.message.isEmpty() && call.message.size() <= kMaxMessageChars, "the message is one a station sends");
    fuzz::check(payload.size() <= kMaxGroupPayload, "a call is at most the largest payload");
    const GroupCallRead again = decodeGroupCall(encodeGroupCall(call));
    fuzz::check(again.call.has_value(), "a call written back is read again");
    fuzz::check(again.call->origin == call.origin && again.call->seq == call.seq && again.call->sentAtMs == call.sentAtMs &&
                    again.call->station == call.station && again.call->message == call.message,
                "a call written back is the same call");
    return 0;
}
