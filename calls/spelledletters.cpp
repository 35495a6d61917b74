#include "calls/spelledletters.h"

namespace {

// The names of the letters A to Z as Brazilians say them, in espeak-ng's phoneme notation.
constexpr const char* kLetterNames[26] = {
    "'a",    "b'e",  "s'e",  "d'e",  "'E",    "'Efy",    "Z'e",  // A B C D E F G
    "ag'a",  "'i",   "Z'Ot&", "k'a", "'Ely",  "'eme",    "'ene", // H I J K L M N
    "'O",    "p'e",  "k'e",  "'Exe", "'Esy",  "t'e",     "'u",   // O P Q R S T U
    "v'e",   "d'ablju", "S'is", "'ipsiloN", "z'e",                // V W X Y Z
};

// The names of the marks a Portuguese letter may carry, by the combining character.
const char* markName(char16_t mark) {
    switch (mark) {
    case 0x0301: return "ag'udU";          // acute: agudo
    case 0x0302: return "s,irku~Nfl'EksU"; // circumflex: circunflexo
    case 0x0303: return "tS'iU";           // tilde: til
    case 0x0300: return "gR'avy";          // grave: grave
    case 0x0327: return "s,edZ'ilj&";      // cedilla: cedilha
    case 0x0308: return "tR'em&";          // diaeresis: trema
    default: return nullptr;
    }
}

// The name of a letter with the marks written after it, or nothing for a letter outside A to Z.
QString letterName(QStringView letter) {
    const QString decomposed = letter.toString().normalized(QString::NormalizationForm_D);
    const char16_t base = decomposed[0].toUpper().unicode();
    if (base < u'A' || base > u'Z') return QString();
    QString name = QStringLiteral("[[") + QLatin1String(kLetterNames[base - u'A']);
    for (qsizetype i = 1; i < decomposed.size(); ++i)
        if (const char* mark = markName(decomposed[i].unicode())) name += u' ' + QLatin1String(mark);
    return name + QStringLiteral("]]");
}

} // namespace

QString spelledLetters(QStringView text) {
    QString out;
    const auto separate = [&out] {
        if (!out.isEmpty() && !out.back().isSpace()) out += u' ';
    };
    qsizetype i = 0;
    while (i < text.size()) {
        const QChar c = text[i];
        if (c.isLetter()) {
            qsizetype end = i + 1;
            while (end < text.size() && text[end].isMark()) ++end;
            const QStringView letter = text.sliced(i, end - i);
            const QString name = letterName(letter);
            separate();
            out += name.isEmpty() ? letter.toString() : name;
            i = end;
            continue;
        }
        if (c.isDigit() && (i == 0 || !text[i - 1].isDigit())) separate();
        out += c;
        ++i;
    }
    return out;
}
