#include "calls/naturalreading.h"

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

} // namespace

QString naturalReading(const QString& text) {
    QString out;
    out.reserve(text.size());
    qsizetype i = 0;
    while (i < text.size()) {
        if (text[i].isLetter()) {
            qsizetype j = i;
            while (j < text.size() && (text[j].isLetter() || text[j].isMark())) ++j;
            out += readableWord(QStringView(text).mid(i, j - i));
            i = j;
            continue;
        }
        const QChar c = text[i++];
        const bool control = c.unicode() < 0x20 || c.unicode() == 0x7F;
        out += control && !keptControl(c) ? QChar(u' ') : c;
    }
    return out;
}
