// libFuzzer target for the clinic's pronuncia.txt and the reading of announcements with it:
// decoding, the lines and their problems, then the text read as an announcement with those
// entries. Every entry kept is a well-formed way of saying a word; a line is either kept,
// ignored or a problem; and the engine's text holds no control character but line breaks and
// tabs, and no square bracket outside a whole group of inline phonemes.

#include "calls/lexicon.h"
#include "calls/naturalreading.h"
#include "calls/pronunciationfile.h"
#include "base/codepage.h"
#include "base/textfile.h"
#include "tests/fuzz/fuzzinput.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const PronunciationFile file = parsePronunciationFile(bytes, QStringLiteral("pronuncia.txt"));
    const qsizetype lines = splitLines(decodeText(bytes)).size() + 1;
    fuzz::check(file.entries.size() + file.problems.size() <= lines, "no more entries and problems than lines");
    for (const QString& p : file.problems)
        fuzz::check(p.startsWith(QStringLiteral("pronuncia.txt, linha ")), "a problem names the file and its line");

    const QString reading = naturalReading(cp1252::decode(bytes), &file.entries);
    qsizetype at = 0;
    while (at < reading.size()) {
        const QChar c = reading[at];
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            fuzz::check(c == u'\r' || c == u'\n' || c == u'\t', "only line breaks and tabs of the control characters");
        if (c == u']') fuzz::fail("a closing bracket outside a group of phonemes");
        if (c == u'[') {
            fuzz::check(reading.mid(at, 2) == u"[[", "an opening bracket starts a group of phonemes");
            const qsizetype close = reading.indexOf(QStringLiteral("]]"), at + 2);
            fuzz::check(close > at + 2, "a group of phonemes is closed and not empty");
            const QString group = reading.mid(at + 2, close - at - 2);
            fuzz::check(!group.contains(u'['), "no bracket inside a group of phonemes");
            at = close + 2;
            continue;
        }
        ++at;
    }
    return 0;
}
