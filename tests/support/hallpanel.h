#pragma once
// The panel as a real process for the audio tests and the audio latency benchmark, installed in
// a folder of its own as an administrator sets it up: config.ini with an embedded calls
// database, configserver.txt with the voice on, NOTIFY.WAV a tone that the recording tells from
// speech, and optionally pronuncia.txt; it plays into a hall sink.

#include "tests/support/pulsehall.h"

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

struct HallPanelSetup {
    QByteArray soundSwitch = "S"; // line 3 of configserver.txt: "N" for no notification sound
    double toneSeconds = 1.2;     // the length of NOTIFY.WAV
    QByteArray pronuncia;         // pronuncia.txt, when not empty
    QStringList environment;      // more variables for the panel ("NAME=value")
};

class HallPanel {
public:
    HallPanel(const HallSink& sink, HallPanelSetup setup = {});
    ~HallPanel();
    HallPanel(const HallPanel&) = delete;
    HallPanel& operator=(const HallPanel&) = delete;

    // Starts the panel and waits until it listens; false, with the reason, otherwise.
    bool start(QString* why);
    bool running() const { return m_process.state() == QProcess::Running; }
    quint16 port() const { return m_port; }
    QString folder() const { return m_dir.path(); }
    const HallPanelSetup& setup() const { return m_setup; }
    // What the panel wrote to standard error so far.
    QString errors();

private:
    bool install(QString* why);

    const HallSink& m_sink;
    HallPanelSetup m_setup;
    QTemporaryDir m_dir;
    QProcess m_process;
    quint16 m_port = 0;
    QString m_errors;
};
