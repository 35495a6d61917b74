#pragma once
// Waiting on a media player's notices in tests: bounded, and woken by the player's own signals.

#include "media/mediaplayer.h"

#include <QDeadlineTimer>
#include <QSignalSpy>
#include <QTest>
#include <QVector>
#include <functional>

// Records the player's completion notices from its construction on.
class NoticeLog {
public:
    explicit NoticeLog(TMediaPlayer& player) : m_player(player), m_spy(&player, &TMediaPlayer::notified) {}

    QVector<MediaNotify> kinds() const {
        QVector<MediaNotify> out;
        for (const auto& args : m_spy) out.append(args.at(0).value<MediaNotify>());
        return out;
    }
    int count(MediaNotify kind) const { return int(kinds().count(kind)); }

    // Waits until at least n notices of the kind have come, or the time is up.
    bool waitFor(MediaNotify kind, int n = 1, int timeoutMs = 20000) {
        QDeadlineTimer deadline(timeoutMs);
        while (count(kind) < n) {
            if (deadline.hasExpired()) return false;
            m_spy.wait(int(qMax<qint64>(1, deadline.remainingTime())));
        }
        return true;
    }

    // The player's positions, read every few milliseconds until n notices of the kind have come.
    QVector<qint64> positionsUntil(MediaNotify kind, int n = 1, int timeoutMs = 20000) {
        QVector<qint64> out;
        QDeadlineTimer deadline(timeoutMs);
        while (count(kind) < n && !deadline.hasExpired()) {
            out.append(m_player.Position());
            m_spy.wait(20);
        }
        return out;
    }

private:
    TMediaPlayer& m_player;
    QSignalSpy m_spy;
};
