#include "calls/naturalreading.h"

#include "calls/grammar.h"
#include "calls/namelist.h"
#include "calls/namerules.h"
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

QString capitalised(const QString& lower) { return lower.left(1).toUpper() + lower.mid(1); }

// How the engine is given one word: the clinic's own entry, else abbreviations (no vowel) and
// Roman numerals in capitals as they are, else the built-in list, else the spelling rules,
// else a word in capitals with an initial capital only.
QString readableWord(QStringView word, const Lexicon* clinic) {
    if (clinic)
        if (const QString* said = clinic->find(word)) return *said;
    if (word.size() < 2) return word.toString();
    bool lower = false, vowel = false;
    for (const QChar c : word) {
        lower = lower || c.isLower();
        vowel = vowel || isVowel(c);
    }
    if (!lower && (!vowel || isRomanNumeral(word))) return word.toString();
    if (const QString* said = builtinNames().find(word)) return *said;
    if (const std::optional<QString> respelled = respelledName(word)) return capitalised(*respelled);
    if (lower) return word.toString();
    return capitalised(word.toString().toLower());
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

// The word from i to end is an initial: one capital letter (its marks after it) and a full
// stop, as a name in its private form has them ("MARIA A. S.", "S.-L.").
bool isInitial(QStringView text, qsizetype i, qsizetype end) {
    if (!text[i].isUpper() || end >= text.size() || text[end] != u'.') return false;
    for (qsizetype k = i + 1; k < end; ++k)
        if (!text[k].isMark()) return false;
    return true;
}

// The words of a text read as words, everything else as it is.
QString readWords(QStringView text, const Lexicon* clinic) {
    QString out;
    out.reserve(text.size());
    qsizetype i = 0;
    while (i < text.size()) {
        if (text[i].isLetter()) {
            qsizetype j = i;
            while (j < text.size() && (text[j].isLetter() || text[j].isMark())) ++j;
            if (isInitial(text, i, j)) {
                // Said by the letter's name, accent left unsaid; the full stop, which the engine
                // would read as the end of a sentence (or as "ponto"), and the hyphen between the
                // initials of a hyphenated name are left out.
                const QString letter = text.sliced(i, 1).toString().normalized(QString::NormalizationForm_D);
                out += spelledLetters(letter.first(1));
                i = j + 1;
                if (i < text.size() && text[i] == u'-') {
                    ++i;
                    out += u' ';
                }
                continue;
            }
            out += readableWord(text.sliced(i, j - i), clinic);
            i = j;
            continue;
        }
        out += text[i++];
    }
    return out;
}

} // namespace

QString naturalReading(const QString& text, const Lexicon* clinic) {
    const QString clean = withoutEngineNotation(text);
    if (const std::optional<TextSpan> ticket = counterTicketText(clean)) {
        const QStringView all(clean);
        const qsizetype end = ticket->start + ticket->length;
        return readWords(all.first(ticket->start), clinic) +
               spelledLetters(all.sliced(ticket->start, ticket->length)) + readWords(all.sliced(end), clinic);
    }
    return readWords(clean, clinic);
}
