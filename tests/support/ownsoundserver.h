#pragma once
// A PulseAudio server of a test's or benchmark's own (tests/support/pulseserver.sh), with a null
// sink, to stop, continue, kill and start again. Stopped, and continued first if it was stopped,
// when this goes.

#include <QString>
#include <QTemporaryDir>
#include <sys/types.h>

class OwnSoundServer {
public:
    // The server's files under root; in a temporary folder of its own when root is empty.
    explicit OwnSoundServer(const QString& root = {});
    ~OwnSoundServer();
    OwnSoundServer(const OwnSoundServer&) = delete;
    OwnSoundServer& operator=(const OwnSoundServer&) = delete;

    // The runtime folder to play into (PULSE_RUNTIME_PATH's parent); empty when it did not start.
    QString start();
    QString runtime() const;
    pid_t pid() const; // 0 when it does not run
    bool signal(int sig);
    // Killed outright; its pid file goes too, as a server that dies with its machine's session
    // leaves none that a new one would take for a running server.
    bool kill();

private:
    bool run(const QString& verb);
    QTemporaryDir m_own;
    QString m_root;
};
