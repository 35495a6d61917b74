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
    El,           // consonant and "el" or "ell" after English letters: Wendell, Maykel, Mitchel
};

struct Respelling {
    QString text;            // lower case
    bool changed = false;    // a letter or group was respelled
    bool english = false;    // it has the letters of an English name: its stress is not Portuguese
    qsizetype stress = -1;   // a vowel known to carry the stress
    Ending ending = Ending::Plain;
    bool stressAfterSt = false; // "St" or "Sth" and a vowel at the start: Stéfany, Stéfano
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
        if (c == u'j' && i == 0 && next == u'o' && at(i + 2) == u'h' && isConsonant(at(i + 3))) {
            out += QStringLiteral("djo"), i += 3, r.changed = r.english = true; // John, Johnson
        } else if (c == u't' && next == u'c' && at(i + 2) == u'h') {
            out += QStringLiteral("tch"), i += 3, r.english = true; // Mitchel
        } else if (c == u's' && next == u'c' && at(i + 2) == u'h') {
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
    // The English "-el" keeps the stress before it, a double l there or not (Wendell).
    if (r.ending == Ending::El && count >= 2) return count - 2;
    for (qsizetype k = 0; r.stress >= 0 && k < count; ++k)
        if (r.stress >= vowels[std::size_t(k)].start && r.stress < vowels[std::size_t(k)].end)
            return endsInVowel && k != count - 2 ? -1 : k;
    if (count < 2) return -1;
    if (r.stressAfterSt) return 0;
    switch (r.ending) {
    case Ending::On: {
        // After an "l" that closes the syllable the engine stresses it already (Adilson, Nilton).
        if (s.endsWith(u"lson") || s.endsWith(u"lton")) return -1;
        // So it does an "i" or "u" after a vowel that stands alone (Airton, Railson).
        const Nucleus& before = vowels[std::size_t(count - 2)];
        if (before.end - before.start == 1 && before.start > 0 && isVowel(s[before.start - 1])) return -1;
        if (count >= 3) return count - 3;
        // In two syllables it does too for "-son" (Edson, Jeison), but not for "-on" (Marlon).
        return s.endsWith(u"son") ? -1 : 0;
    }
    case Ending::UnstressedI:
        // The English endings of three syllables stressed on the first (Kimberly, Gregory,
        // Melody, Dorothy, Jeremy, Hilary), which Brazilian names in "-any", "-elly", "-illy"
        // or "-oly" are not.
        if (count == 3)
            for (const QStringView weak : {u"erli", u"ori", u"odi", u"oti", u"emi", u"ari"})
                if (s.size() > weak.size() && s.endsWith(weak) && isConsonant(s[s.size() - weak.size() - 1])) return 0;
        return count - 2;
    case Ending::UnstressedEi:
        return count - 2;
    case Ending::El:
    case Ending::Michael:
    case Ending::Plain:
        break;
    }
    // "-er" after a consonant keeps the stress before it in a name with borrowed letters,
    // English or not (Christopher, Luther).
    const bool borrowedEr = r.changed && s.endsWith(u"er") && s.size() >= 3 && isConsonant(s[s.size() - 3]);
    if (!r.english && !borrowedEr) return -1;
    const QChar last = s.back();
    if (s.endsWith(u"el") || s.endsWith(u"an")) return -1;
    if (QStringView(u"rlnmzxcdtbpg").contains(last)) return count - 2;
    if ((last == u'i' || last == u'u') && vowels.back().end - vowels.back().start == 1) return count - 2;
    return -1;
}

// An English "a" between a consonant and a final "e", in a name of one syllable with English
// letters, is said "ei", and a "j" before it is the English j: Kate, Shane, Blake, Jake.
std::optional<QString> withEnglishLongA(const QString& w) {
    const qsizetype n = w.size();
    if (n < 4 || !w.endsWith(u'e') || w[n - 3] != u'a' || !isConsonant(w[n - 2]) || w[n - 2] == u'h') return std::nullopt;
    for (qsizetype i = 0; i < n - 3; ++i)
        if (!isConsonant(w[i])) return std::nullopt;
    const QString start = w.first(n - 3);
    return (start.startsWith(u'j') ? QStringLiteral("d") : QString()) + start + QStringLiteral("ei") + w[n - 2] + u'e';
}

// "-el" or "-ell" after a consonant, in a name whose letters before it are English: the English
// ending, stressed before (Wendel, Maykel, Mitchell), not the French or Portuguese one after "ch",
// "l" or "w" (Michel, Kalel, Maxwell) or in a name of Portuguese letters (Abel, Rangel, Isabell).
bool englishEl(const QString& w) {
    const qsizetype ending = w.endsWith(u"ell") ? 3 : w.endsWith(u"el") ? 2 : 0;
    if (ending == 0 || w.size() < ending + 2) return false;
    const QString stem = w.first(w.size() - ending);
    if (!isConsonant(stem.back()) || (stem.endsWith(u"ch") && !stem.endsWith(u"tch")) || stem.back() == u'l' || stem.back() == u'w') return false;
    Respelling letters;
    respellLetters(stem, letters);
    return letters.english;
}

// In "-son" after a diphthong in i that consonants close, the engine says the i as a vowel of
// its own unless it is written "y" (Gleidson, Deivson).
void writeGlideBeforeCluster(QString& s, const std::vector<Nucleus>& vowels) {
    if (vowels.size() != 2 || !s.endsWith(u"son")) return;
    const Nucleus& first = vowels[0];
    if (first.end - first.start == 2 && s[first.end - 1] == u'i' && vowels[1].start - first.end >= 2) s[first.end - 1] = u'y';
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
    if (r.english)
        if (const std::optional<QString> longA = withEnglishLongA(lower)) {
            r = Respelling{};
            respellLetters(*longA, r);
            r.changed = true;
        }
    if (englishEl(lower)) r.ending = Ending::El;
    if (r.ending == Ending::Michael) r.stress = r.text.size() - 5;
    r.stressAfterSt = r.text.startsWith(u"st") && r.text.size() > 2 && isVowel(r.text[2]) && !r.text.endsWith(u"ia");
    if (!r.changed && !r.english && r.ending == Ending::Plain && !r.stressAfterSt) return std::nullopt;

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
        if (r.ending == Ending::On) writeGlideBeforeCluster(s, vowels);
    }
    // A stop at the end is said with the vowel Brazilians add to it.
    if (!s.isEmpty() && QStringView(u"cdtbpg").contains(s.back())) {
        if (s.back() == u'c') s.back() = u'q', s += u"ue";
        else if (s.back() == u'g') s += u"ue";
        else s += u'e';
    }
    return s;
}
