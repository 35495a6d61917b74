#include "calls/namerules.h"

#include <vector>

namespace {

// The letter without its marks, in lower case.
char16_t baseLetter(QChar c) {
    const QString d = QString(c).normalized(QString::NormalizationForm_D);
    return d.isEmpty() ? 0 : d[0].toLower().unicode();
}

bool isVowel(QChar c) {
    switch (baseLetter(c)) {
    case u'a': case u'e': case u'i': case u'o': case u'u': case u'y':
        return true;
    default:
        return false;
    }
}

bool isConsonant(QChar c) { return c.isLetter() && !isVowel(c); }

// A vowel written with the mark of a stressed or nasal syllable.
bool marksStress(QChar c) { return QStringView(u"áéíóúâêôãõ").contains(c); }

bool isFrontVowel(QChar c) { return baseLetter(c) == u'e' || baseLetter(c) == u'i' || baseLetter(c) == u'y'; }

// How the end of a name is said.
enum class Ending {
    Plain,
    UnstressedI,  // consonant and "y" or "ie": Emilly, Stephany, Natalie
    UnstressedEi, // "ey": Wesley
    Michael,      // "-ichael": Michael, Mychael
    On,           // "-on" and "-son": Edson, Maicon, Jefferson
};

struct Respelling {
    QString text;            // lower case
    bool changed = false;    // a letter or group was respelled
    bool english = false;    // it has the letters of an English name: its stress is not Portuguese
    qsizetype stress = -1;   // a vowel known to carry the stress
    Ending ending = Ending::Plain;
};

// The end of the name, with "ie" made "y" and "-ichael" made "-aicou".
QString takeEnding(const QString& word, Respelling& r) {
    const qsizetype n = word.size();
    if (n >= 7 && (word.endsWith(u"ichael") || word.endsWith(u"ychael"))) {
        r.ending = Ending::Michael;
        return word.first(n - 6) + QStringLiteral("aicou");
    }
    if (n >= 3 && word.endsWith(u"ie") && isConsonant(word[n - 3])) {
        r.ending = Ending::UnstressedI;
        return word.first(n - 2) + QChar(u'y');
    }
    if (n >= 3 && word.endsWith(u"ey")) r.ending = Ending::UnstressedEi;
    else if (n >= 3 && word.endsWith(u'y') && isConsonant(word[n - 2])) r.ending = Ending::UnstressedI;
    else if (n >= 4 && word.endsWith(u"on") && isConsonant(word[n - 3])) r.ending = Ending::On;
    return word;
}

// The letters and groups, left to right.
void respellLetters(const QString& w, Respelling& r) {
    QString& out = r.text;
    const qsizetype n = w.size();
    const auto at = [&](qsizetype i) { return i < n ? w[i] : QChar(); };
    qsizetype i = 0;
    while (i < n) {
        const QChar c = w[i];
        const QChar next = at(i + 1);
        if (c == u's' && next == u'c' && at(i + 2) == u'h') {
            out += QStringLiteral("ch"), i += 3, r.changed = r.english = true;
        } else if (c == u's' && next == u'h') {
            out += QStringLiteral("ch"), i += 2, r.changed = r.english = true;
        } else if (c == u'p' && next == u'h') {
            out += u'f', i += 2, r.changed = true;
        } else if (c == u't' && next == u'h') {
            out += u't', i += 2, r.changed = true;
        } else if (c == u'c' && next == u'h' && (at(i + 2) == u'r' || at(i + 2) == u'l')) {
            out += u'c', i += 2, r.changed = true;
        } else if (c == u'c' && (next == u'k' || next == u'q')) {
            i += 1, r.changed = r.english = true; // the k or q that follows says it
        } else if (c == u'k') {
            i += next == u'h' ? 2 : 1;
            out += isFrontVowel(at(i)) ? u"qu" : u"c";
            r.changed = r.english = true;
        } else if (c == u'g' && next == u'h') {
            i += 2;
            out += isFrontVowel(at(i)) ? u"gu" : u"g";
            r.changed = r.english = true;
        } else if (c == u'j' && next == u'h') {
            out += QStringLiteral("dj"), i += 2, r.changed = r.english = true;
        } else if (c == u'h' && i > 0 && isConsonant(w[i - 1]) && !out.isEmpty() && !QStringView(u"cln").contains(out.back())) {
            i += 1, r.changed = r.english = true; // silent: Rhuan
        } else if (c == u'h' && i == n - 1 && i > 0) {
            i += 1, r.changed = true; // silent: Sarah
        } else if (c == u'y' && i == 0 && isVowel(next)) {
            out += c, i += 1, r.english = true; // a glide the engine says right: Yuri, Yago
        } else if (c == u'y') {
            out += u'i', i += 1, r.changed = r.english = true;
        } else if (c == u'ñ') {
            out += QStringLiteral("nh"), i += 1, r.changed = true;
        } else if (c == u'w') {
            out += c, i += 1, r.english = true;
        } else if (c == next && isConsonant(c) && c != u'r' && c != u's') {
            // Said single; the vowel before it is stressed.
            for (qsizetype v = out.size() - 1; v >= 0; --v)
                if (isVowel(out[v])) {
                    r.stress = v;
                    break;
                }
            out += c, i += 2, r.changed = r.english = true;
        } else {
            out += c, i += 1;
        }
    }
}

struct Nucleus {
    qsizetype start, end;
};

// The vowels of the syllables: a falling diphthong (ai, ei, ou...) is one; "u" after q and g
// before e and i is silent; "i" and "u" before a vowel at the start, or between vowels, are
// consonants. "i" and "u" before l, m, n, r or z that close the syllable stand alone (Ailton,
// Raul).
std::vector<Nucleus> nuclei(const QString& s) {
    std::vector<Nucleus> out;
    const qsizetype n = s.size();
    const auto vowelAt = [&](qsizetype i) { return i >= 0 && i < n && isVowel(s[i]); };
    const auto glide = [&](qsizetype i) { return s[i] == u'i' || s[i] == u'u'; };
    qsizetype i = 0;
    while (i < n) {
        if (!isVowel(s[i])) {
            ++i;
            continue;
        }
        const bool silentU = s[i] == u'u' && i > 0 && (s[i - 1] == u'q' || s[i - 1] == u'g') && vowelAt(i + 1) &&
                             isFrontVowel(s[i + 1]);
        // ("y" stays only as the glide before a vowel at the start.)
        const bool consonantal = s[i] == u'y' || (glide(i) && vowelAt(i + 1) && (i == 0 || vowelAt(i - 1)));
        if (silentU || consonantal) {
            ++i;
            continue;
        }
        qsizetype end = i + 1;
        if (end < n && glide(end) && s[end] != s[i] && !vowelAt(end + 1)) {
            const bool closedAlone = end + 1 < n && QStringView(u"lmnrz").contains(s[end + 1]) && !vowelAt(end + 2);
            if (!closedAlone) ++end;
        }
        out.push_back({i, end});
        i = end;
    }
    return out;
}

// The syllable that carries the stress, as an index into the nuclei, or -1 when Portuguese's
// own rule is right.
qsizetype stressedNucleus(const Respelling& r, const std::vector<Nucleus>& vowels) {
    const auto count = qsizetype(vowels.size());
    const QString& s = r.text;
    // A double consonant follows the stressed vowel (Isabella, Kelly, Jennifer), but for one
    // that opens the syllable before the last of a name ending in a vowel, which Portuguese
    // stresses itself (Millena, Thallita).
    const bool endsInVowel = r.ending == Ending::Plain && isVowel(s.back());
    for (qsizetype k = 0; r.stress >= 0 && k < count; ++k)
        if (r.stress >= vowels[std::size_t(k)].start && r.stress < vowels[std::size_t(k)].end)
            return endsInVowel && k != count - 2 ? -1 : k;
    if (count < 2) return -1;
    switch (r.ending) {
    case Ending::On: {
        // After an "l" that closes the syllable the engine stresses it already (Adilson, Nilton).
        if (s.endsWith(u"lson") || s.endsWith(u"lton")) return -1;
        // So it does an "i" or "u" after a vowel that stands alone (Airton, Railson).
        const Nucleus& before = vowels[std::size_t(count - 2)];
        if (before.end - before.start == 1 && before.start > 0 && isVowel(s[before.start - 1])) return -1;
        if (count >= 3) return count - 3;
        // In two syllables it does too for "-son" (Edson, Jeison) and for a first syllable that
        // consonants close.
        const bool open = vowels[1].start - vowels[0].end == 1;
        return open && !s.endsWith(u"son") ? 0 : -1;
    }
    case Ending::UnstressedI:
    case Ending::UnstressedEi:
        return count - 2;
    case Ending::Michael:
    case Ending::Plain:
        break;
    }
    if (!r.english) return -1;
    const QChar last = s.back();
    if (s.endsWith(u"el") || s.endsWith(u"an")) return -1;
    if (QStringView(u"rlnmzxcdtbpg").contains(last)) return count - 2;
    if ((last == u'i' || last == u'u') && vowels.back().end - vowels.back().start == 1) return count - 2;
    return -1;
}

QChar stressed(QChar vowel, QChar after) {
    const bool closed = after == u'm' || after == u'n';
    switch (vowel.unicode()) {
    case u'a': return closed ? u'â' : u'á';
    case u'e': return closed ? u'ê' : u'é'; // "êi" the engine would say in two syllables
    case u'o': return closed || after == u'u' ? u'ô' : u'ó';
    case u'i': return u'í';
    case u'u': return u'ú';
    default: return vowel;
    }
}

} // namespace

std::optional<QString> respelledName(QStringView word) {
    const QString lower = word.toString().toLower().normalized(QString::NormalizationForm_C);
    Respelling r;
    respellLetters(takeEnding(lower, r), r);
    if (r.ending == Ending::Michael) r.stress = r.text.size() - 5;
    if (!r.changed && !r.english && r.ending == Ending::Plain) return std::nullopt;

    QString& s = r.text;
    bool hasStress = false;
    for (const QChar c : s) hasStress = hasStress || marksStress(c);
    if (!hasStress) {
        const std::vector<Nucleus> vowels = nuclei(s);
        const qsizetype k = stressedNucleus(r, vowels);
        if (k >= 0) {
            const qsizetype v = vowels[std::size_t(k)].start;
            s[v] = stressed(s[v], v + 1 < s.size() ? s[v + 1] : QChar());
        }
    }
    // A stop at the end is said with the vowel Brazilians add to it.
    if (!s.isEmpty() && QStringView(u"cdtbpg").contains(s.back())) {
        if (s.back() == u'c') s.back() = u'q', s += u"ue";
        else if (s.back() == u'g') s += u"ue";
        else s += u'e';
    }
    return s;
}
