#include "calls/grammar.h"

#include "calls/destinations.h"
#include "calls/privatename.h"
#include "calls/textpos.h"
#include "base/intrule.h"

using textpos::concat;
using textpos::from;
using textpos::range;

namespace {

// Longest ticket text of a counter call: positions 6 to 45.
constexpr qsizetype kTicketTextEnd = 45;

constexpr QStringView kRiskRoom = u"Sala de Classificação de Risco";
constexpr QStringView kRiskRoomPhrase = u" favor comparecer a sala de Classificação de Risco";
constexpr QStringView kReceptionPhrase = u" favor comparecer a recepção";
constexpr QStringView kTicketWord = u"Senha ";
constexpr QStringView kCounterWord = u"Guichê ";

CallResult counterCall(const QString& T) {
    CallResult r;
    r.kind = CallKind::Counter;
    r.counter = StrToInt(range(T, 1, 2).toString());
    r.ticket = StrToInt(range(T, 3, 5).toString());
    r.xsenha = range(T, 6, kTicketTextEnd).toString();
    const QString ticketLine = concat({r.xsenha, u" ", QString::number(r.ticket)});
    const QString counterLine = concat({kCounterWord, QString::number(r.counter)});
    r.announcement = concat({kTicketWord, ticketLine, u", ", counterLine});
    r.panel3.text = ticketLine;
    r.panel8.text = counterLine;
    r.pauseSeconds = 1;
    return r;
}

CallResult riskRoomCall(const QString& T, int nome, int servico, NameForm form) {
    CallResult r;
    r.kind = CallKind::RiskRoom;
    r.xsenha = from(T, 4).toString();
    r.panel3 = {QString(), nome, {}};
    r.panel7 = {{}, nome, true};
    r.panel8.fontSize = servico;
    if (textpos::digitAt(T, 4, u'1', u'9')) {
        const QStringView room = range(T, 4, 4);
        const QString name = shownName(from(T, 5), form);
        r.panel8.text = concat({kRiskRoom, u" ", room});
        r.panel7.text = name;
        r.announcement = concat({name, kRiskRoomPhrase, u" ", room});
    } else {
        const QString name = shownName(from(T, 4), form);
        r.panel8.text = kRiskRoom.toString();
        r.panel7.text = name;
        r.announcement = concat({name, kRiskRoomPhrase});
    }
    return r;
}

CallResult consultingCall(const QString& T, int nome, int servico, NameForm form) {
    CallResult r;
    r.kind = CallKind::Consulting;
    r.panel8.fontSize = servico;
    r.panel3.fontSize = nome;
    if (textpos::digitAt(T, 5)) {
        r.xsenha = from(T, 6).toString();
        DestinationCall d = callDestination(range(T, 4, 5), shownName(r.xsenha, form));
        r.panel3.text = std::move(d.panel3);
        r.panel8.text = std::move(d.panel8);
        r.announcement = std::move(d.announcement);
    } else {
        const QStringView room = range(T, 4, 4);
        r.xsenha = from(T, 5).toString();
        const QString name = shownName(r.xsenha, form);
        r.panel3.text = name;
        r.panel8.text = concat({u"Consultório ", room});
        r.announcement = concat({name, u" favor comparecer ao consultório ", room});
    }
    return r;
}

CallResult receptionDeskCall(const QString& T, int nome, NameForm form) {
    CallResult r;
    r.kind = CallKind::ReceptionDesk;
    r.xsenha = from(T, 4).toString();
    const QString name = shownName(r.xsenha, form);
    r.panel3 = {QString(), nome, {}};
    r.panel7 = {name, nome, true};
    r.panel8 = {kReceptionPhrase.sliced(1).toString(), nome, {}};
    r.announcement = concat({name, u"\r", kReceptionPhrase});
    return r;
}

CallResult receptionCall(const QString& T, NameForm form) {
    CallResult r;
    r.kind = CallKind::Reception;
    r.xsenha = from(T, 4).toString();
    const QString name = shownName(r.xsenha, form);
    r.panel3.text = QString();
    r.panel8.text = QStringLiteral("Recepção");
    r.announcement = concat({name, kReceptionPhrase});
    return r;
}

} // namespace

CallKind classifyCall(const QString& T) {
    if (T == u"refresh") return CallKind::Refresh;
    const QStringView prefix = range(T, 1, 3);
    if (prefix == u"CR*") return CallKind::RiskRoom;
    if (prefix == u"MD*") return CallKind::Consulting;
    if (prefix == u"AC*") return CallKind::ReceptionDesk;
    if (prefix == u"RE*") return CallKind::Reception;
    return CallKind::Counter;
}

CallResult parseCall(const QString& T, int tamanhofontenome, int tamanhofonteservico, NameForm names) {
    switch (classifyCall(T)) {
    case CallKind::Refresh: {
        CallResult r;
        r.kind = CallKind::Refresh;
        return r;
    }
    case CallKind::Counter:
        return counterCall(T);
    case CallKind::RiskRoom:
        return riskRoomCall(T, tamanhofontenome, tamanhofonteservico, names);
    case CallKind::Consulting:
        return consultingCall(T, tamanhofontenome, tamanhofonteservico, names);
    case CallKind::ReceptionDesk:
        return receptionDeskCall(T, tamanhofontenome, names);
    case CallKind::Reception:
        return receptionCall(T, names);
    }
    return counterCall(T);
}

namespace {

// The start of a whole number written by QString::number (ASCII digits, perhaps after a minus
// sign) that ends just before end, or -1.
qsizetype numberBefore(QStringView text, qsizetype end) {
    qsizetype start = end;
    while (start > 0 && text[start - 1] >= u'0' && text[start - 1] <= u'9') --start;
    if (start == end) return -1;
    if (start > 0 && text[start - 1] == u'-') --start;
    return start;
}

} // namespace

std::optional<TextSpan> counterTicketText(const QString& announcement) {
    // Taken apart from the end, where the numbers are; the ticket text may hold anything.
    const QStringView text(announcement);
    if (!text.startsWith(kTicketWord)) return std::nullopt;
    const qsizetype counter = numberBefore(text, text.size());
    const QString counterLead = concat({u", ", kCounterWord});
    if (counter < 0 || !text.first(counter).endsWith(counterLead)) return std::nullopt;
    const qsizetype ticket = numberBefore(text, counter - counterLead.size());
    if (ticket < kTicketWord.size() + 1 || text[ticket - 1] != u' ') return std::nullopt;
    return TextSpan{kTicketWord.size(), ticket - 1 - kTicketWord.size()};
}
