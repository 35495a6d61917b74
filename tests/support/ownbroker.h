#pragma once
// An MQTT broker of a test's or benchmark's own: Debian's mosquitto on a free loopback port, with
// no persistence and anonymous clients, to kill and start again on the same port. Killed when
// this goes.

#include <QProcess>
#include <QTemporaryDir>

class OwnBroker {
public:
    OwnBroker();
    ~OwnBroker();
    OwnBroker(const OwnBroker&) = delete;
    OwnBroker& operator=(const OwnBroker&) = delete;

    // Starts it (on the port of the first start) and waits until it takes connections; false when
    // mosquitto is missing or does not start.
    bool start();
    bool kill();
    quint16 port() const { return m_port; }
    qint64 pid() const { return m_process.processId(); }
    // Publishes payload to topic with mosquitto_pub; false when that failed.
    bool publish(const QString& topic, const QByteArray& payload) const;

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    quint16 m_port = 0;
};
