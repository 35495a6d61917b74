#pragma once
// Start-up of a main window in a folder of the test's own: config.ini and the media files beside
// the "executable", configserver.txt in a working directory that may be another folder, and an
// embedded calls database.

#include "display/tprincipal.h"
#include "tests/support/fakevoice.h"
#include "tests/support/recordingreport.h"
#include "tests/support/tempdir.h"

#include <QByteArray>
#include <QString>
#include <gtest/gtest.h>

class StartupFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // config.ini text with the calls database's path in [sgbd] fatura, for the given sections.
    QByteArray iniWithDatabase(const QByteArray& extra = {}) const;
    // configserver.txt for the port, sound and voice lines.
    QByteArray configServer(const QByteArray& sound = "N", const QByteArray& voice = "N") const;
    void writeIni(const QByteArray& bytes) { exeDir.write("config.ini", bytes); }
    void writeIniUtf16(const QString& text);
    void writeConfigServer(const QByteArray& bytes) { workDir.write("configserver.txt", bytes); }

    // Builds the window and runs the start-up sequence.
    void startUp();

    TestDir exeDir;
    TestDir workDir;
    QString database;
    quint16 port = 0;
    RecordingErrorReport report;
    VoiceLog voice;
    int keyPrompts = 0;
    QString keyTyped;
    std::unique_ptr<TPrincipal> window;

private:
    QString m_oldCwd;
};
