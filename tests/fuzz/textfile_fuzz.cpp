// libFuzzer target for the configserver.txt loader: decoding by byte-order mark or code page,
// and splitting into lines. Lines hold no line-end characters, and joined again they give the
// text with its line ends made uniform and one final line end dropped. Loading the same bytes
// from a file gives the same lines.

#include "base/textfile.h"
#include "tests/fuzz/fuzzinput.h"

#include <QFile>
#include <QTemporaryDir>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString text = decodeText(bytes);
    const bool bom = bytes.startsWith("\xEF\xBB\xBF") || bytes.startsWith("\xFF\xFE") ||
                     bytes.startsWith("\xFE\xFF");
    if (!bom) fuzz::check(text.size() == bytes.size(), "without a mark, one character per byte");
    fuzz::check(text.size() <= bytes.size(), "decoding never makes more characters than bytes");

    const QStringList lines = splitLines(text);
    for (const QString& line : lines)
        fuzz::check(!line.contains(u'\r') && !line.contains(u'\n'), "a line holds no line end");
    QString uniform = text;
    uniform.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
    if (uniform.endsWith(u'\n')) uniform.chop(1);
    fuzz::check(lines.join(u'\n') == uniform, "the lines joined give the text");
    fuzz::check(lines.isEmpty() == text.isEmpty(), "only an empty text has no lines");

    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("configserver.txt"));
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) fuzz::fail("cannot write the file");
        f.write(bytes);
    }
    fuzz::check(loadTextLines(path) == lines, "loading the file gives the same lines");
    return 0;
}
