#pragma once
// A call as the panels of a group pass it to each other through the broker: the message as the
// station sent it (its bytes, as read), who published it and when. Text lines, then a blank line,
// then the message's bytes:
//
//   painel-grupo 1
//   origem 5b0e6c2f-3d0a-4a55-9a3f-7d64b2a1c0e9     the publishing panel (a new one at each start)
//   seq 42                                          its count of published calls, from 1
//   hora 1765432100123                              milliseconds since 1970 (UTC) at the read
//   estacao 192.168.10.21                           the station's address
//
//   MD*41ANA SOUTO
//
// Read strictly: anything else on the topic is refused with the reason, never shown.

#include <QByteArray>
#include <QString>
#include <optional>

struct GroupCall {
    QString origin;
    quint64 seq = 0;
    qint64 sentAtMs = 0;
    QString station;
    QByteArray message;
};

QByteArray encodeGroupCall(const GroupCall& call);

struct GroupCallRead {
    std::optional<GroupCall> call;
    QString error;         // why the payload is not a call; empty when it is
    bool tooLong = false;  // the error is its size or its message's, not its form
};
GroupCallRead decodeGroupCall(const QByteArray& payload);

// Largest payload read: the header and a message of the longest length the panel reads.
constexpr qsizetype kMaxGroupPayload = 512;
