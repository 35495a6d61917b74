#include "tests/support/ownsoundserver.h"

#include <QFile>
#include <QProcess>
#include <csignal>

OwnSoundServer::OwnSoundServer(const QString& root) : m_root(root.isEmpty() ? m_own.path() : root) {}

OwnSoundServer::~OwnSoundServer() {
    signal(SIGCONT);
    run(QStringLiteral("stop"));
}

QString OwnSoundServer::start() { return run(QStringLiteral("start")) ? runtime() : QString(); }

QString OwnSoundServer::runtime() const { return m_root + QStringLiteral("/runtime"); }

pid_t OwnSoundServer::pid() const {
    QFile f(runtime() + QStringLiteral("/pulse/pid"));
    return f.open(QIODevice::ReadOnly) ? pid_t(f.readAll().trimmed().toInt()) : 0;
}

bool OwnSoundServer::signal(int sig) {
    const pid_t p = pid();
    return p > 0 && ::kill(p, sig) == 0;
}

bool OwnSoundServer::kill() {
    const bool killed = signal(SIGKILL);
    QFile::remove(runtime() + QStringLiteral("/pulse/pid"));
    return killed;
}

bool OwnSoundServer::run(const QString& verb) {
    QProcess p;
    p.start(QStringLiteral("bash"), {QStringLiteral(PAINEL_SOURCE_DIR "/tests/support/pulseserver.sh"), verb, m_root});
    return p.waitForFinished(60000) && p.exitCode() == 0;
}
