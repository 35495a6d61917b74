// libFuzzer target for the 8-bit code page. Bytes: every byte decodes to one character and
// encodes back to itself. Text (the same bytes read as UTF-16): one byte per character, "?"
// exactly for the characters the code page lacks, and what it has decodes back unchanged.

#include "base/codepage.h"
#include "tests/fuzz/fuzzinput.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input in(data, size);
    const QByteArrayView bytes = QByteArrayView(reinterpret_cast<const char*>(data), qsizetype(size));

    const QString decoded = cp1252::decode(bytes);
    fuzz::check(decoded.size() == bytes.size(), "decode gives one character per byte");
    fuzz::check(cp1252::canEncode(decoded), "every decoded character can be encoded");
    fuzz::check(cp1252::encode(decoded) == bytes, "bytes round-trip through decode and encode");
    for (QChar c : decoded) fuzz::check(!c.isSurrogate(), "decode never gives a surrogate");

    const QString text = in.utf16Rest();
    const QByteArray encoded = cp1252::encode(text);
    fuzz::check(encoded.size() == text.size(), "encode gives one byte per character");
    bool all = true;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const bool has = cp1252::canEncode(QStringView(text).sliced(i, 1));
        all = all && has;
        const QString back = cp1252::decode(QByteArrayView(encoded).sliced(i, 1));
        if (has) fuzz::check(back == text.sliced(i, 1), "a character of the code page round-trips");
        else fuzz::check(encoded[i] == '?', "a character outside the code page becomes ?");
    }
    fuzz::check(all == cp1252::canEncode(text), "canEncode of the text is that of its characters");
    return 0;
}
