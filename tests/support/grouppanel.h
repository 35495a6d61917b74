#pragma once
// A panel of a group as a real process, for the group's tests and benchmark: installed in a
// folder of its own (tests/support/panelfolder.h), sound and voice off, PAINEL_LOG_CALLS=1, and
// [grupo] naming a broker on loopback.

#include <QDateTime>
#include <QList>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

struct ShownLine {
    QDateTime at;
    QString station; // "grupo:ADDRESS" for a call from the group
    QString message;
};

class GroupPanel {
public:
    // more: further lines of [grupo] ("validade=2\r\n").
    GroupPanel(quint16 brokerPort, QByteArray more = {});
    ~GroupPanel();
    GroupPanel(const GroupPanel&) = delete;
    GroupPanel& operator=(const GroupPanel&) = delete;

    // Installs and starts the panel and waits until it listens and has joined the broker.
    bool start(QString* why);
    quint16 port() const { return m_port; }
    qint64 pid() const { return m_process.processId(); }
    bool running() const { return m_process.state() == QProcess::Running; }
    QString errors();
    // The process, for a benchmark that reads its standard error as it comes (errors() and shown()
    // then see only what was not read there).
    QProcess& process() { return m_process; }
    // The call lines so far, in order ("refresh" included).
    QList<ShownLine> shown();
    int countShown(const QString& message);

    static constexpr char kGroup[] = "sala";

private:
    QByteArray m_more;
    quint16 m_brokerPort;
    QTemporaryDir m_dir;
    QProcess m_process;
    quint16 m_port = 0;
    QString m_errors;
};
