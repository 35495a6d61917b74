#include "tools/cripto/iniedit.h"

#include "base/codepage.h"
#include "base/textfile.h"

#include <QStringEncoder>
#include <optional>

namespace {

QString trimmed(const QString& s) {
    qsizetype b = 0, e = s.size();
    while (b < e && (s[b] == u' ' || s[b] == u'\t')) ++b;
    while (e > b && (s[e - 1] == u' ' || s[e - 1] == u'\t')) --e;
    return s.mid(b, e - b);
}

// The section name of a header line; nothing for any other line.
std::optional<QString> sectionOf(const QString& line) {
    const QString t = trimmed(line);
    if (!t.startsWith(u'[')) return std::nullopt;
    const qsizetype close = t.indexOf(u']');
    return trimmed(t.mid(1, close < 0 ? -1 : close - 1));
}

bool isSection(const QString& line, const QString& name) {
    const auto s = sectionOf(line);
    return s && s->compare(name, Qt::CaseInsensitive) == 0;
}

bool isKeyLine(const QString& line, const QString& key) {
    const QString t = trimmed(line);
    const qsizetype eq = t.indexOf(u'=');
    return eq >= 0 && trimmed(t.left(eq)).compare(key, Qt::CaseInsensitive) == 0;
}

} // namespace

IniDocument IniDocument::fromBytes(const QByteArray& bytes) {
    IniDocument doc;
    if (bytes.startsWith("\xEF\xBB\xBF"))
        doc.encoding = Encoding::Utf8Bom;
    else if (bytes.startsWith("\xFF\xFE"))
        doc.encoding = Encoding::Utf16LE;
    else if (bytes.startsWith("\xFE\xFF"))
        doc.encoding = Encoding::Utf16BE;
    const QString text = decodeText(bytes);
    if (text.contains(QStringLiteral("\r\n")))
        doc.lineEnd = QStringLiteral("\r\n");
    else if (text.contains(u'\n'))
        doc.lineEnd = QStringLiteral("\n");
    doc.lines = splitLines(text);
    return doc;
}

QByteArray IniDocument::toBytes() const {
    QString text;
    for (const QString& line : lines) text += line + lineEnd;
    switch (encoding) {
    case Encoding::Ansi:
        return cp1252::encode(text);
    case Encoding::Utf8Bom:
        return QByteArray("\xEF\xBB\xBF") + text.toUtf8();
    case Encoding::Utf16LE: {
        QStringEncoder enc(QStringEncoder::Utf16LE);
        return QByteArray("\xFF\xFE", 2) + QByteArray(enc.encode(text));
    }
    case Encoding::Utf16BE: {
        QStringEncoder enc(QStringEncoder::Utf16BE);
        return QByteArray("\xFE\xFF", 2) + QByteArray(enc.encode(text));
    }
    }
    return {};
}

void IniDocument::setValue(const QString& section, const QString& key, const QString& value) {
    const QString newLine = key + u'=' + value;
    qsizetype i = 0;
    while (i < lines.size() && !isSection(lines[i], section)) ++i;
    if (i == lines.size()) {
        if (!lines.isEmpty() && !trimmed(lines.last()).isEmpty()) lines.append(QString());
        lines.append(u'[' + section + u']');
        lines.append(newLine);
        return;
    }
    qsizetype lastContent = i;
    for (qsizetype j = i + 1; j < lines.size() && !sectionOf(lines[j]); ++j) {
        if (isKeyLine(lines[j], key)) {
            lines[j] = newLine;
            return;
        }
        if (!trimmed(lines[j]).isEmpty()) lastContent = j;
    }
    lines.insert(lastContent + 1, newLine);
}
