// The panel as a program, started from a folder of its own as an administrator sets it up:
// config.ini beside the executable, configserver.txt in the working directory, the calls
// database opened with the embedded engine. A calling station's call is recorded and handled,
// and a stop signal ends the program cleanly, though the Firebird client catches those signals
// for itself once it has attached.

#include "tests/support/firebird.h"
#include "tests/support/freeport.h"
#include "tests/support/notifysocket.h"
#include "tests/support/qtapp.h"
#include "tests/support/station.h"
#include "tests/support/tempdir.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTest>
#include <QDeadlineTimer>
#include <algorithm>
#include <csignal>
#include <gtest/gtest.h>
#include <unistd.h>

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
        port = freeTcpPort();
        ASSERT_NE(port, 0);
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

    // Starts the panel (with these variables besides) and waits until it listens.
    void startPanel(const QList<std::pair<QString, QString>>& variables = {}) {
        launch(variables);
        ASSERT_TRUE(waitListening(panel, port, 30000)) << "the panel did not start listening: " << errors().toStdString();
    }

    // Starts the panel without waiting for anything.
    void launch(const QList<std::pair<QString, QString>>& variables) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("PAINEL_ERRORS"), QStringLiteral("stderr"));
        for (const auto& [name, value] : variables) {
            if (value.isNull()) env.remove(name);
            else env.insert(name, value);
        }
        panel.setProcessEnvironment(env);
        panel.setWorkingDirectory(dir.path());
        panel.start(exe, {});
        ASSERT_TRUE(panel.waitForStarted(10000));
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

// The socket systemd gives a unit of Type=notify: a datagram socket the service writes its state to.
// Started by systemd with a watchdog: start-up extends the start time-out as it goes, the panel
// says it is ready once it listens, and its window's thread beats from then on.
TEST_F(PainelProcess, TellsSystemdItIsReadyAndAlive) {
    NotifySocket systemd(dir.file(QStringLiteral("notify")));
    ASSERT_TRUE(systemd.bound());
    startPanel({{"NOTIFY_SOCKET", dir.file(QStringLiteral("notify"))}, {"WATCHDOG_USEC", "300000"}});
    const QStringList datagrams = systemd.receive(1500);
    ASSERT_EQ(countOf(datagrams, "READY=1"), 1) << datagrams.join(" | ").toStdString();
    const qsizetype ready = std::find_if(datagrams.begin(), datagrams.end(),
                                         [](const QString& d) { return d.split(u'\n').contains("READY=1"); }) -
                            datagrams.begin();
    EXPECT_GE(countOf(datagrams.mid(ready + 1), "WATCHDOG=1"), 5) << datagrams.join(" | ").toStdString();
    for (const QString& d : datagrams.mid(ready + 1))
        EXPECT_FALSE(d.contains("EXTEND_TIMEOUT_USEC")) << "extended after ready: " << d.toStdString();
    // Still beating while it handles a call.
    TestStation station;
    ASSERT_TRUE(station.connectTo(port));
    station.send("MD*7ANA");
    EXPECT_GE(countOf(systemd.receive(1500), "WATCHDOG=1"), 3);
}

// An operator who leaves the key prompt open, or a start-up error box nobody closes: the panel is
// not ready, and goes on beating and extending its start time-out all the while.
TEST_F(PainelProcess, BeatsWhileAStartUpDialogWaitsForAnOperator) {
    const struct {
        const char* name;
        QByteArray configIni;
    } cases[] = {
        {"the key prompt", "[sgbd]\r\nusuario=ABC\r\nsenha=DEF\r\ncripto=S\r\nfatura=" + database.toLocal8Bit() + "\r\n"},
        {"an error box", "[sgbd]\r\nusuario=\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        dir.write(QStringLiteral("config.ini"), c.configIni);
        QFile::remove(dir.file(QStringLiteral("notify")));
        NotifySocket systemd(dir.file(QStringLiteral("notify")));
        ASSERT_TRUE(systemd.bound());
        launch({{"NOTIFY_SOCKET", dir.file(QStringLiteral("notify"))}, {"WATCHDOG_USEC", "300000"},
                {"PAINEL_ERRORS", QString()}});
        systemd.receive(1000); // the dialog opens meanwhile
        const QStringList datagrams = systemd.receive(2000);
        EXPECT_EQ(panel.state(), QProcess::Running);
        EXPECT_EQ(countOf(datagrams, "READY=1"), 0) << datagrams.join(" | ").toStdString();
        EXPECT_GE(countOf(datagrams, "WATCHDOG=1"), 4) << datagrams.join(" | ").toStdString();
        EXPECT_GE(countOf(datagrams, "EXTEND_TIMEOUT_USEC=30000000"), 4) << datagrams.join(" | ").toStdString();
        panel.kill();
        panel.waitForFinished(5000);
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

namespace {

// A start-up that ends before the listener (here a port line out of range) leaves a panel that can
// take no call: it is not made ready and stops beating, so that systemd ends the start as failed
// and its restart limit, not an endless loop, ends the attempts.
TEST_F(PainelProcess, APanelThatCannotListenIsNeitherReadyNorBeating) {
    dir.write(QStringLiteral("configserver.txt"), "70000\r\n1\r\nN\r\nN\r\n");
    NotifySocket systemd(dir.file(QStringLiteral("notify")));
    ASSERT_TRUE(systemd.bound());
    launch({{"NOTIFY_SOCKET", dir.file(QStringLiteral("notify"))}, {"WATCHDOG_USEC", "300000"}});
    ASSERT_TRUE(QTest::qWaitFor([&] { return errors().contains(QStringLiteral("Port 70000 is not a valid TCP port")); },
                                20000))
        << errors().toStdString();
    systemd.receive(300); // what start-up sent up to its end
    const QStringList after = systemd.receive(1500);
    EXPECT_EQ(panel.state(), QProcess::Running);
    EXPECT_EQ(countOf(after, "READY=1"), 0) << after.join(" | ").toStdString();
    EXPECT_EQ(countOf(after, "WATCHDOG=1"), 0) << after.join(" | ").toStdString();
}

// With PAINEL_LOG_CALLS=1 every call shown leaves a line: when, from where, what, how fast.
TEST_F(PainelProcess, ALineForEveryCallShownWhenAskedFor) {
    startPanel({{"PAINEL_LOG_CALLS", "1"}});
    for (const QByteArray& message : {QByteArray("MD*41ANA SOUTO"), QByteArray("RE*LUIS \"MOTA\"")}) {
        TestStation station("127.0.0.7");
        ASSERT_TRUE(station.connectTo(port));
        station.send(message);
        EXPECT_TRUE(station.waitClosed(15000));
    }
    // Each line names the station's address.
    const QRegularExpression line(QStringLiteral(
        R"re(^painel: chamada \d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} 127\.0\.0\.7 "(.*)" (\d+) ms$)re"));
    QStringList shown;
    for (const QString& l : errors().split(u'\n')) {
        const QRegularExpressionMatch m = line.match(l);
        if (!m.hasMatch()) continue;
        shown << m.captured(1);
        EXPECT_LT(m.captured(2).toInt(), 10000) << l.toStdString();
    }
    EXPECT_EQ(shown, (QStringList{QStringLiteral("MD*41ANA SOUTO"), QStringLiteral("RE*LUIS \\\"MOTA\\\"")}))
        << errors().toStdString();
}

} // namespace
