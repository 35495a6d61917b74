#include "calls/privatename.h"

#include <QList>

namespace {

// The words between the particles of a Brazilian name that its initials leave out.
bool isParticle(QStringView word) {
    static constexpr QStringView kParticles[] = {u"da", u"das", u"de", u"do", u"dos", u"e"};
    for (QStringView particle : kParticles)
        if (word.compare(particle, Qt::CaseInsensitive) == 0) return true;
    return false;
}

// The first letter of a part of a word, with the marks written after it, in capitals and with a
// full stop; empty when the part has no letter.
QString initialOf(QStringView part) {
    qsizetype first = 0;
    while (first < part.size() && !part[first].isLetter()) ++first;
    if (first == part.size()) return QString();
    qsizetype end = first + 1;
    while (end < part.size() && part[end].isMark()) ++end;
    // The letter's own capital, one for one ("ß" stays "ß", where a text's upper case is "SS").
    QString initial = part.sliced(first, end - first).toString();
    initial[0] = initial[0].toUpper();
    return initial + u'.';
}

// The initials of a later word: one for each part of a hyphenated word, joined by hyphens.
QString initialsOf(QStringView word) {
    QString out;
    for (QStringView part : word.tokenize(u'-', Qt::SkipEmptyParts)) {
        const QString initial = initialOf(part);
        if (initial.isEmpty()) continue;
        if (!out.isEmpty()) out += u'-';
        out += initial;
    }
    return out;
}

QList<QStringView> wordsOf(QStringView text) {
    QList<QStringView> words;
    qsizetype i = 0;
    while (i < text.size()) {
        while (i < text.size() && text[i].isSpace()) ++i;
        const qsizetype start = i;
        while (i < text.size() && !text[i].isSpace()) ++i;
        if (i > start) words.append(text.sliced(start, i - start));
    }
    return words;
}

} // namespace

QString privateName(QStringView name) {
    const QList<QStringView> words = wordsOf(name);
    if (words.isEmpty()) return QString();
    QString out = words.first().toString();
    for (qsizetype i = 1; i < words.size(); ++i) {
        if (isParticle(words[i])) continue;
        const QString initials = initialsOf(words[i]);
        if (initials.isEmpty()) continue;
        out += u' ';
        out += initials;
    }
    return out;
}

QString shownName(QStringView name, NameForm form) {
    return form == NameForm::Private ? privateName(name) : name.toString();
}
