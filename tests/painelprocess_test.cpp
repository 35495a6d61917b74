// The panel as a program, started from a folder of its own as an administrator sets it up:
// config.ini beside the executable, configserver.txt in the working directory, the calls
// database opened with the embedded engine. A calling station's call is recorded and handled,
// and a stop signal ends the program cleanly, though the Firebird client catches those signals
// for itself once it has attached.

#include "tests/support/firebird.h"
#include "tests/support/qtapp.h"
#include "tests/support/station.h"
#include "tests/support/tempdir.h"

#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <csignal>
#include <gtest/gtest.h>

namespace {

class PainelProcess : public ::testing::Test {
protected:
    void SetUp() override {
        ensureApp();
        testClient(); // the private Firebird root, inherited by the panel and chamar
        exe = dir.file(QStringLiteral("painel"));
        // A copy, not a link: the panel finds config.ini in the folder of its resolved path.
        ASSERT_TRUE(QFile::copy(QStringLiteral(PAINEL_PATH), exe));
        database = dir.file(QStringLiteral("calls.fdb"));
        FbSession station = FbSession::create(database, embeddedParams());
        station.createSchema();
        station.addCounter(1, QStringLiteral("RECEPÇÃO - GUICHÊ 1"), QStringLiteral("A"));
        QTcpServer probe;
        ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
        port = probe.serverPort();
        probe.close();
        dir.write(QStringLiteral("config.ini"),
                  "[fonte]\r\ntamanhofontenome=40\r\n[sgbd]\r\nusuario=\r\nfatura=" + database.toLocal8Bit() + "\r\n");
        dir.write(QStringLiteral("configserver.txt"), QByteArray::number(port) + "\r\n1\r\nN\r\nN\r\n");
    }

    void TearDown() override {
        if (panel.state() != QProcess::NotRunning) {
            panel.kill();
            panel.waitForFinished(5000);
        }
    }

    // Starts the panel and waits until it listens.
    void startPanel() {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("PAINEL_ERRORS"), QStringLiteral("stderr"));
        panel.setProcessEnvironment(env);
        panel.setWorkingDirectory(dir.path());
        panel.start(exe, {});
        ASSERT_TRUE(panel.waitForStarted(10000));
        ASSERT_TRUE(waitListening(panel, port, 30000)) << "the panel did not start listening: " << errors().toStdString();
    }

    // What the panel wrote to standard error ("painel: " lines are its error reports).
    QString errors() {
        m_errors += QString::fromLocal8Bit(panel.readAllStandardError());
        return m_errors;
    }
    QStringList errorReports() {
        QStringList reports;
        for (const QString& line : errors().split(u'\n'))
            if (line.startsWith(QStringLiteral("painel: "))) reports << line;
        return reports;
    }

    TestDir dir;
    QString exe;
    QString database;
    quint16 port = 0;
    QProcess panel;

private:
    QString m_errors;
};

TEST_F(PainelProcess, ACallRecordedByChamarIsHandledToTheEndOfItsCycle) {
    startPanel();
    QProcess chamar;
    chamar.start(QStringLiteral(CHAMAR_PATH), {"--port", QString::number(port), "--db", database, "--guiche", "1",
                                               "MD*41ANA SOUTO"});
    ASSERT_TRUE(QTest::qWaitFor([&] { return chamar.state() == QProcess::NotRunning; }, 20000));
    EXPECT_EQ(chamar.exitCode(), 0) << chamar.readAllStandardError().toStdString();
    {
        FbSession station(database, embeddedParams());
        EXPECT_EQ(station.scalar("SELECT NR_GUICHE_CHAMOU FROM GUICHELISTA WHERE INDICE = 1").toString(), "1");
    }
    // The next station's connection stays open through the cycle (its speech, re-query and
    // pause) and is closed by the listener's restart at its end.
    TestStation next;
    ASSERT_TRUE(next.connectTo(port));
    next.send("RE*LUIS MOTA");
    EXPECT_TRUE(next.waitClosed(15000));
    EXPECT_EQ(panel.state(), QProcess::Running);
    EXPECT_TRUE(errorReports().isEmpty()) << errors().toStdString();
}

TEST_F(PainelProcess, AStopSignalEndsThePanelLikeItsCloseButton) {
    const struct {
        int signal;
        const char* name;
    } cases[] = {{SIGTERM, "SIGTERM"}, {SIGINT, "SIGINT"}};
    for (const auto& c : cases) {
        startPanel();
        // A call first, so that the calls list has been read again since start-up.
        TestStation station;
        ASSERT_TRUE(station.connectTo(port));
        station.send("refresh");
        EXPECT_TRUE(station.waitClosed(10000));
        ASSERT_EQ(::kill(pid_t(panel.processId()), c.signal), 0);
        EXPECT_TRUE(panel.waitForFinished(15000)) << c.name << " did not end the panel";
        EXPECT_EQ(panel.exitStatus(), QProcess::NormalExit) << c.name;
        EXPECT_EQ(panel.exitCode(), 0) << c.name;
        EXPECT_TRUE(errorReports().isEmpty()) << errors().toStdString();
    }
}


TEST_F(PainelProcess, ALineOfPronunciaTxtThatCannotBeReadIsReportedOnceAndThePanelGoesOn) {
    const QString lexicon = dir.write(QStringLiteral("pronuncia.txt"), "SOUZA=S\xf4uza\r\nTHIAGO TCHIAGO\r\n");
    startPanel();
    TestStation station;
    ASSERT_TRUE(station.connectTo(port));
    station.send("RE*THIAGO SOUZA");
    EXPECT_TRUE(station.waitClosed(15000));
    const QString line = lexicon + QStringLiteral(", linha 2: falta \"=\" entre a grafia e a pronúncia: THIAGO TCHIAGO");
    EXPECT_EQ(errors().count(line), 1) << errors().toStdString();
    EXPECT_EQ(panel.state(), QProcess::Running);
    EXPECT_TRUE(errorReports().isEmpty()) << errors().toStdString();
}

} // namespace
