#include "calls/naturalreading.h"

#include "calls/grammar.h"
#include "calls/spelledletters.h"

#include <QRegularExpression>

namespace {

bool isVowel(QChar c) {
    const QString base = QString(c).normalized(QString::NormalizationForm_D);
    switch (base.isEmpty() ? 0 : base[0].toLower().unicode()) {
    case u'a': case u'e': case u'i': case u'o': case u'u': case u'y':
        return true;
    default:
        return false;
    }
}

bool isRomanNumeral(QStringView word) {
    static const QRegularExpression roman(QStringLiteral("^X{0,3}(IX|IV|VI{0,3}|I{1,3})?$"));
    return roman.match(word.toString()).hasMatch();
}

QString readableWord(QStringView word) {
    if (word.size() < 2) return word.toString();
    bool vowel = false;
    for (const QChar c : word) {
        if (c.isLower()) return word.toString();
        vowel = vowel || isVowel(c);
    }
    if (!vowel || isRomanNumeral(word)) return word.toString();
    return word.left(1).toString() + word.mid(1).toString().toLower();
}

bool keptControl(QChar c) { return c == u'\r' || c == u'\n' || c == u'\t'; }

// Characters the engine must not see: control characters (NUL would end the text early) and
// the brackets of its inline phoneme notation, which a station's text must not reach. Each
// becomes a blank, so that positions in the text stay.
QString withoutEngineNotation(const QString& text) {
    QString out = text;
    for (QChar& c : out) {
        const bool control = (c.unicode() < 0x20 || c.unicode() == 0x7F) && !keptControl(c);
        if (control || c == u'[' || c == u']') c = u' ';
    }
    return out;
}

// The words of a text read as words, everything else as it is.
QString readWords(QStringView text) {
    QString out;
    out.reserve(text.size());
    qsizetype i = 0;
    while (i < text.size()) {
        if (text[i].isLetter()) {
            qsizetype j = i;
            while (j < text.size() && (text[j].isLetter() || text[j].isMark())) ++j;
            out += readableWord(text.sliced(i, j - i));
            i = j;
            continue;
        }
        out += text[i++];
    }
    return out;
}

} // namespace

QString naturalReading(const QString& text) {
    const QString clean = withoutEngineNotation(text);
    if (const std::optional<TextSpan> ticket = counterTicketText(clean)) {
        const QStringView all(clean);
        const qsizetype end = ticket->start + ticket->length;
        return readWords(all.first(ticket->start)) + spelledLetters(all.sliced(ticket->start, ticket->length)) +
               readWords(all.sliced(end));
    }
    return readWords(clean);
}
