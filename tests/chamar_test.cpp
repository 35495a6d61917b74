// The calling-station tool `chamar` as a process against a running panel: with --db it records
// the call in GUICHELISTA and commits before it sends, so the panel's re-query after the call
// lists it; without a usable database nothing is sent.

#include "calls/listener.h"
#include "db/callsquery.h"
#include "display/panel.h"
#include "tests/support/cyclefixture.h"
#include "tests/support/firebird.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QTest>
#include <gtest/gtest.h>
#include <set>

namespace {

struct ChamarRun {
    int exitCode = -1;
    QString out;
    QString err;
};

class ChamarTest : public CycleFixture {
protected:
    // The panel on a free loopback port, with counters 1 to 3 in GUICHE, no sound and the fake
    // voice. Counts the listener's restarts: every receive cycle ends with one.
    void startWithCounters() {
        startPanel({"0", "1", "N", "S"});
        FbSession station(database(), embeddedParams());
        station.addCounter(1, QStringLiteral("RECEPÇÃO - GUICHÊ 1"), QStringLiteral("A"));
        station.addCounter(2, QStringLiteral("CLASSIFICAÇÃO DE RISCO"), QStringLiteral("CR"));
        station.addCounter(3, QStringLiteral("CAIXA"), QStringLiteral("C"));
        // A counter call switches the listener off and on; every other call restarts it.
        QObject::connect(window->ServerSocket1, &TServerSocket::ActiveChanged, [this](bool on) {
            if (on) ++listenerRestarts;
        });
        QObject::connect(window->ServerSocket1, &TServerSocket::Restarted, [this] { ++listenerRestarts; });
    }

    QProcess* startChamar(const QStringList& args, const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) {
        auto* process = new QProcess;
        processes.emplace_back(process);
        process->setProcessEnvironment(env);
        process->start(QStringLiteral(CHAMAR_PATH),
                       QStringList{QStringLiteral("--port"), QString::number(port())} + args);
        return process;
    }

    // Runs chamar to its end while the panel serves its events.
    ChamarRun chamar(const QStringList& args, const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) {
        QProcess* process = startChamar(args, env);
        return finish(*process);
    }

    static ChamarRun finish(QProcess& process) {
        const bool done = QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, 20000);
        EXPECT_TRUE(done) << "chamar did not end";
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                QString::fromUtf8(process.readAllStandardOutput()), QString::fromUtf8(process.readAllStandardError())};
    }

    // Waits until `count` more receive cycles have ended.
    void waitCycles(int before, int count) {
        EXPECT_TRUE(QTest::qWaitFor([&] { return listenerRestarts >= before + count; }, 20000))
            << "the panel did not end its cycle";
    }

    QString listed(int row, const char* field) const {
        return window->GUICHELISTA->value(row, window->GUICHELISTA->fieldIndex(QLatin1String(field))).toString();
    }

    int rowsInDatabase() {
        FbSession station(database(), embeddedParams());
        return station.scalar(QStringLiteral("SELECT CAST(COUNT(*) AS INTEGER) FROM GUICHELISTA")).toInt();
    }

    int listenerRestarts = 0;
    std::vector<std::unique_ptr<QProcess>> processes;
};

TEST_F(ChamarTest, EachFormIsShownAndItsRecordedCallIsListedOnTop) {
    startWithCounters();
    const struct {
        QStringList args;
        QString panel8;
        QString chamou; // NR_GUICHE_CHAMOU of the newest row
        QString senha1; // APELIDO-SENHA
    } cases[] = {
        // A counter call names its counter and ticket: they are the row's GUICHE and SENHA.
        {{"--db", "DB", "03015A"}, "Guichê 3", "3", "C-15"},
        // Otherwise the counter is given, and the ticket is the counter's next one today.
        {{"--db", "DB", "--guiche", "1", "MD*41ANA SOUTO"}, "RECEPÇÃO - GUICHE 1", "1", "A-1"},
        {{"--db", "DB", "--guiche", "1", "MD*7ANA SOUTO"}, "Consultório 7", "1", "A-2"},
        {{"--db", "DB", "--guiche", "2", "--senha", "40", "--chamou", "Sala 2", "--pront", "1234",
          "CR*2JOANA PERES"},
         "Sala de Classificação de Risco 2", "Sala 2", "CR-40"},
        {{"--db", "DB", "--guiche", "1", "RE*LUIS MOTA"}, "Recepção", "1", "A-3"},
        {{"--db", "DB", "--guiche", "3", "--senha", "16", "AC*LUIS MOTA"}, "favor comparecer a recepção", "3", "C-16"},
    };
    int rows = window->GUICHELISTA->rowCount();
    for (const auto& c : cases) {
        QStringList args = c.args;
        args[1] = database();
        const int cycles = listenerRestarts;
        const ChamarRun run = chamar(args);
        ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
        EXPECT_TRUE(run.out.startsWith(QStringLiteral("chamada gravada: INDICE %1,").arg(rows + 1)))
            << run.out.toStdString();
        waitCycles(cycles, 1);
        EXPECT_EQ(window->Panel8->text(), c.panel8);
        ASSERT_EQ(window->GUICHELISTA->rowCount(), rows + 1) << c.args.last().toStdString();
        EXPECT_EQ(listed(0, "NR_GUICHE_CHAMOU"), c.chamou);
        EXPECT_EQ(listed(0, "SENHA1"), c.senha1);
        rows = window->GUICHELISTA->rowCount();
    }
    FbSession station(database(), embeddedParams());
    EXPECT_EQ(station.scalar("SELECT CODIGOPAC FROM GUICHELISTA WHERE SENHA = 40").toInt(), 1234);
    EXPECT_EQ(station.scalar("SELECT CAST(COUNT(*) AS INTEGER) FROM GUICHELISTA WHERE DATA = CURRENT_DATE "
                             "AND STATUS IS NULL AND DATAUSER2 <= CURRENT_TIMESTAMP")
                  .toInt(),
              int(std::size(cases)));
    EXPECT_TRUE(report.errors.isEmpty()) << report.errors.join('|').toStdString();
}

TEST_F(ChamarTest, FromAChosenAddressOnlyAListedStationIsShown) {
    iniExtra = "[definicao]\r\nestacoes=127.0.0.40\r\n";
    startWithCounters();
    const struct {
        QString from;
        QString message;
        int exitCode;
        QString err;   // what chamar says, when it fails
        QString shown; // Panel3 afterwards
    } cases[] = {
        {"127.0.0.40", "MD*41ANA SOUTO", 0, {}, "ANA SOUTO"},
        {"127.0.0.41", "MD*41BIA LIMA", 0, {}, "ANA SOUTO"}, // closed unread: never shown
        {"192.0.2.1", "MD*41CAIO REIS", 1, "não consegui enviar do endereço 192.0.2.1", "ANA SOUTO"},
        {"estacao", "MD*41CAIO REIS", 1, "--de precisa de um endereço IP", "ANA SOUTO"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.from.toStdString());
        const int cycles = listenerRestarts;
        const ChamarRun run = chamar({"--de", c.from, c.message});
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(c.err)) << run.err.toStdString();
        if (c.shown.contains(c.message.mid(5))) waitCycles(cycles, 1);
        else QTest::qWait(500);
        EXPECT_EQ(window->Panel3->text().trimmed(), c.shown);
    }
    EXPECT_TRUE(report.errors.isEmpty()) << report.errors.join('|').toStdString();
}

TEST_F(ChamarTest, StationsCallingAtOnceGetRowsOfTheirOwn) {
    startWithCounters();
    const int cycles = listenerRestarts;
    const QStringList names{"ANA", "BIA", "CAIO", "DORA", "ELIAS"};
    std::vector<QProcess*> running;
    for (const QString& name : names)
        running.push_back(startChamar({"--db", database(), "--guiche", "1", "MD*41" + name}));
    for (QProcess* p : running) {
        const ChamarRun run = finish(*p);
        EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    }
    waitCycles(cycles, int(names.size()));
    FbSession station(database(), embeddedParams());
    std::set<int> indices, tickets;
    for (int i = 1; i <= int(names.size()); ++i) {
        EXPECT_FALSE(station.scalar(QStringLiteral("SELECT INDICE FROM GUICHELISTA WHERE INDICE = %1").arg(i)).isNull());
        tickets.insert(station.scalar(QStringLiteral("SELECT SENHA FROM GUICHELISTA WHERE INDICE = %1").arg(i)).toInt());
    }
    EXPECT_EQ(rowsInDatabase(), int(names.size()));
    EXPECT_EQ(tickets, (std::set<int>{1, 2, 3, 4, 5})) << "each station takes the counter's next ticket";
    QTRY_COMPARE_WITH_TIMEOUT(window->GUICHELISTA->rowCount(), int(names.size()), 5000);
}

TEST_F(ChamarTest, WithoutAUsableDatabaseOrCounterNothingIsSent) {
    startWithCounters();
    window->Panel8->setText(QStringLiteral("antes"));
    const QString missing = dir.file(QStringLiteral("nao-existe.fdb"));
    const struct {
        QStringList args;
        int exitCode;
        QString err;
    } cases[] = {
        {{"--db", missing, "--guiche", "1", "MD*41ANA"}, 1, "a chamada não foi gravada nem enviada"},
        {{"--db", database(), "MD*41ANA"}, 2, "informe o guichê"},
        {{"--db", database(), "--guiche", "um", "MD*41ANA"}, 2, "--guiche precisa de um número inteiro"},
        {{"--db", database(), "refresh"}, 2, "não use --db"},
        {{"--db", database(), "--guiche", "1", "--bogus", "MD*41ANA"}, 2, "Unknown option"},
        {{"--db", database(), "--guiche", "1", "--chamou", QString(51, u'X'), "MD*41ANA"}, 1, "at most 50"},
        {{"--db", database(), "--guiche", "1", "--chamou", QStringLiteral("Sala Ω"), "MD*41ANA"}, 1, "Windows-1252"},
    };
    for (const auto& c : cases) {
        const ChamarRun run = chamar(c.args);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.args.join(' ').toStdString();
        EXPECT_TRUE(run.err.contains(c.err)) << run.err.toStdString();
    }
    QTest::qWait(200); // a message that had been sent would start its cycle at once
    EXPECT_EQ(window->Panel8->text(), QStringLiteral("antes"));
    EXPECT_TRUE(voice.spoken.isEmpty());
    EXPECT_EQ(rowsInDatabase(), 0);
}

TEST_F(ChamarTest, ACounterMissingFromGuicheIsRecordedButNotListed) {
    startWithCounters();
    const int cycles = listenerRestarts;
    const ChamarRun run = chamar({"--db", database(), "--guiche", "9", "RE*LUIS"});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("o guichê 9 não está na tabela GUICHE")) << run.err.toStdString();
    waitCycles(cycles, 1);
    EXPECT_EQ(window->Panel8->text(), QStringLiteral("Recepção"));
    EXPECT_EQ(rowsInDatabase(), 1);
    EXPECT_EQ(window->GUICHELISTA->rowCount(), 0) << "the list joins GUICHE";
}

TEST_F(ChamarTest, ADatabaseOnAServerTakesTheUserAndPassword) {
    const auto server = sharedServer();
    if (!server) GTEST_SKIP() << "no Firebird server (tools/test.sh starts one)";
    startWithCounters();
    const QString path = dir.file(QStringLiteral("servidor.fdb"));
    {
        FbSession station = FbSession::create(server->databaseName(path), server->params());
        station.createSchema();
        station.addCounter(1, QStringLiteral("RECEPÇÃO"), QStringLiteral("A"));
    }
    const struct {
        QString password;
        bool fromEnvironment;
        int exitCode;
        int rows;
    } cases[] = {
        {server->password, true, 0, 1},
        {server->password, false, 0, 2},
        {"errada", false, 1, 2},
    };
    for (const auto& c : cases) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        QStringList args{"--db", server->databaseName(path), "--guiche", "1"};
        if (c.fromEnvironment)
            env.insert("ISC_PASSWORD", c.password);
        else
            args << "--db-password" << c.password;
        const int cycles = listenerRestarts;
        const ChamarRun run = chamar(args << "RE*LUIS", env);
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err.toStdString();
        if (c.exitCode == 0) waitCycles(cycles, 1);
        FbSession station(server->databaseName(path), server->params());
        EXPECT_EQ(station.scalar("SELECT CAST(COUNT(*) AS INTEGER) FROM GUICHELISTA").toInt(), c.rows);
    }
}

} // namespace
