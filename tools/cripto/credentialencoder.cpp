#include "tools/cripto/credentialencoder.h"

#include "base/codepage.h"
#include "config/inifile.h"
#include "config/xcripto.h"

#include <QByteArray>
#include <algorithm>
#include <vector>

namespace {

QString hex4(char16_t c) { return QStringLiteral("U+%1").arg(int(c), 4, 16, QChar(u'0')).toUpper(); }

QString shown(char16_t c) {
    const QChar q(c);
    if (q.isPrint() && !q.isSpace()) return QStringLiteral("'%1' (%2)").arg(q).arg(hex4(c));
    return hex4(c);
}

bool isQuote(char16_t c) { return c == u'"' || c == u'\''; }
bool isBlank(char16_t c) { return c == u' ' || c == u'\t'; }
bool breaksLine(char16_t c) { return c == 0x0000 || c == 0x000A || c == 0x000D; }
bool isVisible(char16_t c) { return QChar(c).isPrint() && !QChar(c).isSpace(); }

// Every character the storage can hold whose low 8 bits are v, in a first order of preference.
std::vector<char16_t> storable(int v, IniStorage storage) {
    std::vector<char16_t> out;
    if (storage == IniStorage::Unicode) {
        // U+0100 to U+01FF are all letters, so there is always a visible choice.
        out = {char16_t(v), char16_t(0x100 + v)};
        return out;
    }
    for (int b = 0; b < 256; ++b) {
        const char byte = char(b);
        const char16_t c = cp1252::decode(QByteArrayView(&byte, 1)).at(0).unicode();
        if ((c & 0xFF) == v) out.push_back(c);
    }
    return out;
}

// Lower is better: visible characters first (the plain code unit itself before any other), then
// a blank inside the text, then quotes at the ends, then invisible characters.
int rank(char16_t c, int v, bool atEnd) {
    if (atEnd && isQuote(c)) return 3;
    if (isVisible(c)) return c == v ? 0 : 1;
    if (c == u' ') return 2;
    return 4;
}

} // namespace

QString EncodeFailure::message() const {
    const QString where = QStringLiteral("o caractere %1 na posição %2").arg(shown(character)).arg(position);
    switch (reason) {
    case Reason::EmptyKey:
        return QStringLiteral("A chave não pode ser vazia: com a chave vazia o painel usa o texto como está.");
    case Reason::TooLong:
        return QStringLiteral("O texto tem mais de %1 caracteres, o máximo que o painel lê de um valor do config.ini.")
            .arg(TIniFile::kMaxValueLength);
    case Reason::OutOfRange:
        return QStringLiteral("Não é possível codificar %1 com esta chave: nessa posição só se obtêm "
                              "os caracteres de %2. Escolha outra chave.")
            .arg(where, detail);
    case Reason::StopValue:
        return QStringLiteral("Não é possível codificar %1 com esta chave: codificado ele seria %2, o "
                              "caractere de parada desta chave, que encerra a decodificação. Escolha outra "
                              "chave ou grave o config.ini em UTF-16 (--utf16).")
            .arg(where, detail);
    case Reason::NotStorable:
        return QStringLiteral("Não é possível codificar %1 com esta chave: codificado ele seria %2.")
            .arg(where, detail);
    case Reason::Quotes:
        return QStringLiteral("Não é possível codificar este texto com esta chave: o texto codificado "
                              "começaria e terminaria com %1, que a leitura do config.ini retira. "
                              "Escolha outra chave.")
            .arg(detail);
    }
    return {};
}

EncodeResult encodeCredential(const QString& plain, const QString& key, IniStorage storage) {
    EncodeResult result;
    auto fail = [&](EncodeFailure::Reason reason, qsizetype pos, QString detail) {
        result.failure = EncodeFailure{reason, pos, pos > 0 ? plain[pos - 1].unicode() : char16_t(0),
                                       std::move(detail)};
        result.text.clear();
        return result;
    };
    if (key.isEmpty()) return fail(EncodeFailure::Reason::EmptyKey, 0, {});
    if (plain.size() > TIniFile::kMaxValueLength) return fail(EncodeFailure::Reason::TooLong, 0, {});

    const auto length = static_cast<char16_t>(key.size());
    const char16_t k1 = key[0].unicode() & 0xFF;
    const char16_t k2 = key.size() > 1 ? key[1].unicode() & 0xFF : 0;
    const auto stop = static_cast<char16_t>(222 - k1 - k2);
    const qsizetype m = plain.size();

    for (qsizetype i = 1; i <= m; ++i) {
        const auto n = static_cast<char16_t>(i % 13);
        // The decoder adds this offset to the low 8 bits of the encoded character.
        const auto offset = static_cast<char16_t>(length - n + k2 - k1 - 16);
        const auto v = static_cast<char16_t>(plain[i - 1].unicode() - offset);
        if (v > 0xFF) {
            const auto last = static_cast<char16_t>(offset + 0xFF);
            return fail(EncodeFailure::Reason::OutOfRange, i,
                        QStringLiteral("%1 a %2").arg(hex4(offset), hex4(last)));
        }
        std::vector<char16_t> choices = storable(v, storage);
        if (choices.empty())
            return fail(EncodeFailure::Reason::NotStorable, i,
                        QStringLiteral("um caractere com os 8 bits baixos iguais a 0x%1, que um config.ini "
                                       "em ANSI (Windows-1252) não guarda. Escolha outra chave ou grave o "
                                       "config.ini em UTF-16 (--utf16)")
                            .arg(QString::number(v, 16).toUpper().rightJustified(2, u'0')));
        std::erase(choices, stop);
        if (choices.empty()) return fail(EncodeFailure::Reason::StopValue, i, hex4(stop));
        std::erase_if(choices, breaksLine);
        if (choices.empty())
            return fail(EncodeFailure::Reason::NotStorable, i,
                        QStringLiteral("%1, quebra de linha ou caractere nulo, que não cabe num valor do "
                                       "config.ini. Escolha outra chave")
                            .arg(hex4(v)));
        const bool atEnd = i == 1 || i == m;
        if (atEnd) std::erase_if(choices, isBlank);
        if (choices.empty())
            return fail(EncodeFailure::Reason::NotStorable, i,
                        QStringLiteral("um espaço ou tabulação no %1 do valor, que a leitura do config.ini "
                                       "descarta. Escolha outra chave")
                            .arg(i == 1 ? QStringLiteral("começo") : QStringLiteral("fim")));
        if (i == m && m >= 2 && isQuote(result.text[0].unicode()))
            std::erase(choices, result.text[0].unicode());
        if (choices.empty())
            return fail(EncodeFailure::Reason::Quotes, 0, shown(result.text[0].unicode()));

        const char16_t best = *std::min_element(choices.begin(), choices.end(), [&](char16_t a, char16_t b) {
            return rank(a, v, atEnd) < rank(b, v, atEnd);
        });
        result.text.append(QChar(best));
        if (!isVisible(best)) result.invisible.append(i);
    }
    return result;
}
