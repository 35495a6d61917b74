// libFuzzer target for the credential decoder Descriptografar, with any key and any UTF-16
// text. The result is never longer than the text and ends exactly at the first stop value; only
// the key's length and the low bytes of its first two characters count; each position decodes
// on its own; and whatever the administrator's encoder makes of a text decodes back to it.

#include "base/codepage.h"
#include "config/xcripto.h"
#include "tests/fuzz/fuzzinput.h"
#include "tools/cripto/credentialencoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input in(data, size);
    const QString key = in.utf16(in.byte() % 6);
    const QString text = in.utf16Rest();
    const QString out = Descriptografar(text, key);

    fuzz::check(out.size() <= text.size(), "the result is never longer than the text");
    if (key.isEmpty()) {
        fuzz::check(out == text, "an empty key leaves the text as it is");
        return 0;
    }
    const char16_t k1 = key[0].unicode() & 0xFF;
    const char16_t k2 = key.size() > 1 ? key[1].unicode() & 0xFF : 0;
    const auto stop = char16_t(222 - k1 - k2);
    const qsizetype stopAt = text.indexOf(QChar(stop));
    fuzz::check(out.size() == (stopAt < 0 ? text.size() : stopAt), "the result ends at the first stop value");

    QString other = key;
    for (qsizetype i = 0; i < other.size(); ++i)
        other[i] = i < 2 ? QChar(char16_t(other[i].unicode() ^ 0x5A00)) : QChar(u'Z');
    fuzz::check(Descriptografar(text, other) == out, "only the length and two low key bytes count");

    const qsizetype half = text.size() / 2;
    fuzz::check(Descriptografar(text.left(half), key) == out.left(half), "each position decodes on its own");

    const EncodeResult unicode = encodeCredential(text, key, IniStorage::Unicode);
    if (unicode.ok()) fuzz::check(Descriptografar(unicode.text, key) == text, "encoded text decodes back");
    const EncodeResult ansi = encodeCredential(text, key, IniStorage::Ansi);
    if (ansi.ok()) {
        fuzz::check(cp1252::canEncode(ansi.text), "an ANSI encoding fits the code page");
        const QString stored = cp1252::decode(cp1252::encode(ansi.text));
        fuzz::check(Descriptografar(stored, key) == text, "an ANSI encoding decodes back after storage");
    }
    return 0;
}
