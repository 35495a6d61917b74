#include "calls/lexicon.h"

namespace {

QString key(QStringView word) { return word.toString().normalized(QString::NormalizationForm_C).toCaseFolded(); }

} // namespace

void Lexicon::add(QStringView spelling, const QString& said) { m_said.insert(key(spelling), said); }

const QString* Lexicon::find(QStringView word) const {
    if (m_said.isEmpty()) return nullptr;
    const auto it = m_said.constFind(key(word));
    return it == m_said.constEnd() ? nullptr : &it.value();
}

bool isOneWord(QStringView spelling) {
    if (spelling.isEmpty() || !spelling[0].isLetter()) return false;
    for (const QChar c : spelling)
        if (!c.isLetter() && !c.isMark()) return false;
    return true;
}

QString saidFormProblem(QStringView said) {
    if (said.trimmed().isEmpty()) return QStringLiteral("a pronúncia está vazia");
    if (said.startsWith(u"[[")) {
        const qsizetype close = said.indexOf(u"]]");
        if (close < 0) return QStringLiteral("falta \"]]\" depois dos fonemas");
        if (close + 2 != said.size()) return QStringLiteral("nada pode vir depois de \"]]\"");
        const QStringView phonemes = said.sliced(2, close - 2);
        if (phonemes.trimmed().isEmpty()) return QStringLiteral("não há fonemas entre \"[[\" e \"]]\"");
        for (const QChar c : phonemes)
            if (c.unicode() < 0x20 || c.unicode() > 0x7E || c == u'[' || c == u']')
                return QStringLiteral("os fonemas do espeak-ng são letras e sinais ASCII, como em [[tS'iagU]]");
        return QString();
    }
    for (const QChar c : said)
        if (!c.isLetter() && !c.isMark() && c != u' ' && c != u'-' && c != u'\'')
            return QStringLiteral("uma grafia tem só letras, espaços, hífens e apóstrofos; fonemas vão entre "
                                  "\"[[\" e \"]]\"");
    if (!said[0].isLetter()) return QStringLiteral("uma grafia começa por uma letra");
    return QString();
}
