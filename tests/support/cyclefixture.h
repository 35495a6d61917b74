#pragma once
// A main window started up as the program does it (config.ini and configserver.txt written for
// it, then FormCreate), listening on a free port, with a recording error report and a fake voice.

#include "display/tprincipal.h"
#include "tests/support/fakevoice.h"
#include "tests/support/qtapp.h"
#include "tests/support/recordingreport.h"
#include "tests/support/station.h"
#include "tests/support/tempdir.h"

#include <functional>
#include <gtest/gtest.h>

class CycleFixture : public ::testing::Test {
protected:
    void SetUp() override { ensureApp(); }
    void TearDown() override { stopPanel(); }

    // Writes config.ini (the calls database, iniExtra) and configserver.txt with these lines (the
    // first, the port, "0" for a free one), builds the window and runs its start-up.
    void startPanel(const QStringList& configLines);
    void stopPanel();
    quint16 port() const { return m_port; }
    // The embedded database the calls list reads (made empty, with the schema).
    const QString& database() const { return m_database; }
    // Reads the calls list from this database instead (a server's, say), from the next start.
    void useDatabase(const QString& name, const QStringList& params) {
        m_database = name;
        m_params = params;
    }

    // From the next start, errors are shown in real message boxes (the window's own report)
    // instead of being recorded.
    void useMessageBoxes() { m_messageBoxes = true; }

    // More of config.ini, from the next start ("[definicao]\r\nrepetirvideo=S\r\n").
    QByteArray iniExtra;
    // The pause the window makes, from the next start; none: the real one, serving events.
    std::function<void(int)> pause;

    TestDir dir;
    RecordingErrorReport report;
    VoiceLog voice;
    std::unique_ptr<TPrincipal> window;

private:
    quint16 m_port = 0;
    bool m_messageBoxes = false;
    QString m_database;
    QStringList m_params;
};
