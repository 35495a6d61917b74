#include "group/groupmessage.h"

#include "calls/grammar.h"

#include <QList>
#include <QRegularExpression>

namespace {

constexpr char kMagic[] = "painel-grupo 1";

GroupCallRead refused(const QString& why) { return {std::nullopt, why, false}; }
GroupCallRead tooLong(const QString& why) { return {std::nullopt, why, true}; }

bool plainNumber(const QByteArray& text) {
    if (text.isEmpty() || text.size() > 20 || (text.size() > 1 && text.startsWith('0'))) return false;
    for (const char c : text)
        if (c < '0' || c > '9') return false;
    return true;
}

} // namespace

QByteArray encodeGroupCall(const GroupCall& call) {
    QByteArray out = kMagic;
    out += "\norigem " + call.origin.toLatin1();
    out += "\nseq " + QByteArray::number(call.seq);
    out += "\nhora " + QByteArray::number(call.sentAtMs);
    out += "\nestacao " + (call.station.isEmpty() ? QByteArray("-") : call.station.toLatin1());
    out += "\n\n";
    out += call.message;
    return out;
}

GroupCallRead decodeGroupCall(const QByteArray& payload) {
    if (payload.size() > kMaxGroupPayload)
        return tooLong(QStringLiteral("grande demais (%1 bytes; o máximo é %2)").arg(payload.size()).arg(kMaxGroupPayload));
    const qsizetype end = payload.indexOf("\n\n");
    if (end < 0 || !payload.startsWith(QByteArray(kMagic) + '\n'))
        return refused(QStringLiteral("não é uma chamada de painel"));
    const QList<QByteArray> lines = payload.left(end).split('\n');
    if (lines.size() != 5) return refused(QStringLiteral("o cabeçalho tem %1 linhas em vez de 5").arg(lines.size()));
    static const char* const keys[] = {"origem ", "seq ", "hora ", "estacao "};
    QByteArray values[4];
    for (int i = 0; i < 4; ++i) {
        if (!lines[i + 1].startsWith(keys[i]))
            return refused(QStringLiteral("falta a linha \"%1\"").arg(QString::fromLatin1(keys[i]).trimmed()));
        values[i] = lines[i + 1].mid(qsizetype(qstrlen(keys[i])));
    }
    static const QRegularExpression origin(QStringLiteral("^[0-9a-f-]{1,64}$"));
    static const QRegularExpression station(QStringLiteral("^[0-9A-Za-z.:-]{1,45}$"));
    GroupCall call;
    call.origin = QString::fromLatin1(values[0]);
    if (!origin.match(call.origin).hasMatch()) return refused(QStringLiteral("a origem não é a de um painel"));
    bool seqRead = false;
    bool timeRead = false;
    call.seq = values[1].toULongLong(&seqRead);
    call.sentAtMs = values[2].toLongLong(&timeRead);
    if (!plainNumber(values[1]) || !plainNumber(values[2]) || !seqRead || !timeRead)
        return refused(QStringLiteral("seq ou hora não é um número"));
    call.station = QString::fromLatin1(values[3]);
    if (!station.match(call.station).hasMatch()) return refused(QStringLiteral("o endereço da estação não se lê"));
    call.message = payload.mid(end + 2);
    if (call.message.isEmpty()) return refused(QStringLiteral("a mensagem está vazia"));
    if (call.message.size() > kMaxMessageChars)
        return tooLong(QStringLiteral("a mensagem tem %1 bytes; uma estação envia no máximo %2")
                           .arg(call.message.size())
                           .arg(kMaxMessageChars));
    return {call, {}, false};
}
