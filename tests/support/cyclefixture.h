#pragma once
// A main window listening on a free loopback port, with a recording error report and a fake
// voice, as start-up would leave it.

#include "display/tprincipal.h"
#include "tests/support/fakevoice.h"
#include "tests/support/qtapp.h"
#include "tests/support/recordingreport.h"
#include "tests/support/station.h"
#include "tests/support/tempdir.h"

#include <gtest/gtest.h>

class CycleFixture : public ::testing::Test {
protected:
    void SetUp() override { ensureApp(); }
    void TearDown() override { stopPanel(); }

    // Builds the window with the lines of configserver.txt and switches the listener on.
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
