// The start-up sequence: every step in order, and where each failure stops it.

#include "calls/listener.h"
#include "base/errors.h"
#include "db/callsquery.h"
#include "db/database.h"
#include "base/errorreport.h"
#include "display/memo.h"
#include "display/panel.h"
#include "media/mediadevice.h"
#include "media/mediaplayer.h"
#include "tests/support/printers.h"
#include "tests/support/startupfixture.h"
#include "tools/testmedia.h"

#include <QDir>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>

namespace {

class FormCreateTest : public StartupFixture {
protected:
    // What start-up left: the font sizes, the list, the lines, the listener.
    bool listOpen() const { return window->GUICHELISTA->isActive(); }
    bool listening() const { return window->ServerSocket1->Active(); }
    int lines() const { return int(window->w_ConfigTXT->lines().size()); }
};

TEST_F(FormCreateTest, ACompleteStartUpLeavesEverythingSetUp) {
    writeIni(iniWithDatabase("[fonte]\r\ntamanhofontenome=40\r\ntamanhofonteservico=30\r\n"));
    writeConfigServer(configServer());
    startUp();
    EXPECT_TRUE(report.errors.isEmpty()) << report.errors.join('|').toStdString();
    EXPECT_TRUE(report.messages.isEmpty());
    EXPECT_FALSE(window->terminationRequested());
    EXPECT_EQ(window->tamanhofontenome, 40);
    EXPECT_EQ(window->tamanhofonteservico, 30);
    EXPECT_TRUE(window->Fatura->connected());
    EXPECT_TRUE(listOpen());
    EXPECT_EQ(lines(), 4);
    EXPECT_TRUE(listening());
    EXPECT_EQ(window->ServerSocket1->listeningPort(), port);
    // No media files: the video area is hidden and no player is opened.
    EXPECT_TRUE(window->PanelVideo->isHidden());
    EXPECT_FALSE(window->Som1->isOpen());
    EXPECT_FALSE(window->VIDEO1->isOpen());
}

TEST_F(FormCreateTest, WithoutAFonteSectionTheSizesAre36And32) {
    writeIni(iniWithDatabase());
    writeConfigServer(configServer());
    startUp();
    EXPECT_EQ(window->tamanhofontenome, 36);
    EXPECT_EQ(window->tamanhofonteservico, 32);
    EXPECT_TRUE(listening());
}

// Two switches of config.ini, each on only for exactly "S": [fonte] ajustar fits long names to the
// three call lines, [definicao] privacidade shows and speaks names in their private form.
TEST_F(FormCreateTest, AjustarAndPrivacidadeAreOnOnlyForS) {
    const struct {
        QByteArray ini;
        bool fit;
        NameForm names;
    } cases[] = {
        {"", false, NameForm::Full},
        {"[fonte]\r\najustar=S\r\n[definicao]\r\nprivacidade=S\r\n", true, NameForm::Private},
        {"[fonte]\r\najustar= \"S\" \r\n", true, NameForm::Full},
        {"[definicao]\r\nprivacidade=S\r\n", false, NameForm::Private},
        {"[fonte]\r\najustar=s\r\n[definicao]\r\nprivacidade=SIM\r\n", false, NameForm::Full},
        {"[FONTE]\r\nAJUSTAR=N\r\n[Definicao]\r\nPrivacidade=\r\n", false, NameForm::Full},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ini.toStdString());
        writeIni(iniWithDatabase(c.ini));
        writeConfigServer(configServer());
        startUp();
        EXPECT_TRUE(report.errors.isEmpty()) << report.errors.join('|').toStdString();
        for (const TPanel* line : {window->Panel3, window->Panel7, window->Panel8}) EXPECT_EQ(line->fitsToWidth(), c.fit);
        EXPECT_FALSE(window->Panel9->fitsToWidth());
        EXPECT_EQ(window->callNames, c.names);
        window.reset();
    }
}

TEST_F(FormCreateTest, EstacoesAndEnderecoSayWhoMayCallAndWhereThePanelListens) {
    const QString notIPv4 = QStringLiteral("O config.ini tem em [definicao] ");
    const struct {
        QByteArray definicao;
        QString error; // how the only error starts; empty: none
        bool listening;
        bool retrying;
    } cases[] = {
        {"estacoes=127.0.0.20, 127.0.1.0/24\r\nendereco=127.0.0.1", {}, true, false},
        {"estacoes=", {}, true, false},
        // A typo stops start-up before the listener: the panel never listens to everyone by mistake.
        {"estacoes=127.0.0.20, 127.0.1.0/33", notIPv4 + QStringLiteral("estacoes a entrada \"127.0.1.0/33\""), false, false},
        {"endereco=painel", notIPv4 + QStringLiteral("endereco \"painel\""), false, false},
        // An address the machine does not have (yet: its network may come up later) is retried.
        {"endereco=192.0.2.1", QStringLiteral("Cannot listen on 192.0.2.1 port %1: ").arg(port), false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.definicao.toStdString());
        report = RecordingErrorReport{};
        writeIni(iniWithDatabase("[definicao]\r\n" + c.definicao + "\r\n"));
        writeConfigServer(configServer());
        startUp();
        if (c.error.isEmpty()) {
            EXPECT_TRUE(report.errors.isEmpty()) << report.errors.join('|').toStdString();
        } else {
            ASSERT_EQ(report.errors.size(), 1);
            EXPECT_TRUE(report.errors.first().startsWith(c.error)) << report.errors.first().toStdString();
        }
        EXPECT_EQ(listening(), c.listening);
        EXPECT_EQ(window->ServerSocket1->retrying(), c.retrying);
        if (c.definicao.contains("endereco=127.0.0.1")) { // there only
            QTcpSocket elsewhere;
            elsewhere.connectToHost(QHostAddress(QStringLiteral("127.0.0.2")), port);
            EXPECT_FALSE(elsewhere.waitForConnected(1000));
        }
        window.reset();
    }
}

TEST_F(FormCreateTest, MissingConfigIniEndsTheProgramAfterStartUp) {
    writeConfigServer(configServer());
    // The built-in database is out of reach here: point it at a file that does not exist.
    const QString missing = exeDir.file(QStringLiteral("absent.fdb"));
    PrincipalEnvironment env;
    env.exeDir = exeDir.path();
    env.errors = &report;
    window = std::make_unique<TPrincipal>(env);
    window->Fatura->setDatabaseName(missing);
    window->Fatura->params() = QStringList{"user_name=SYSDBA", "password=x"};
    window->FormCreate();
    EXPECT_EQ(report.messages, QStringList{QStringLiteral("Não encontrei arquivo config.ini")});
    EXPECT_TRUE(window->terminationRequested());
    EXPECT_EQ(window->tamanhofontenome, 0);
    // Start-up went on at the connection, which fails here and costs only the list.
    ASSERT_EQ(report.errors.size(), 1);
    EXPECT_TRUE(report.errors.first().contains(QStringLiteral("absent.fdb"))) << report.errors.first().toStdString();
    EXPECT_EQ(lines(), 4);
}

struct FailureRow {
    const char* what;
    QByteArray ini;         // after [sgbd] fatura=...
    QByteArray configLines; // configserver.txt, or "-" for none
    QString error;          // the start of the error shown
    bool connected, listOpen;
    int lines;
};

TEST_F(FormCreateTest, EachFailingStepStopsStartUpThere) {
    const QByteArray good = QByteArray::number(port) + "\r\n1\r\nN\r\nN\r\n";
    const FailureRow rows[] = {
        {"bad font size", "[fonte]\r\ntamanhofontenome=abc\r\n", good, "'abc' is not a valid integer value.", false, false, 0},
        {"bad second font size", "[fonte]\r\ntamanhofonteservico=32pt\r\n", good, "'32pt' is not a valid integer value.", false, false, 0},
        {"no configserver.txt", "", "-",
         QStringLiteral("Cannot open file \"%1\". No such file or directory.").arg(QDir::current().filePath("configserver.txt")),
         true, true, 0},
        {"port line with a trailing blank", "", QByteArray::number(port) + " \r\n1\r\nN\r\nN\r\n",
         QStringLiteral("'%1 ' is not a valid integer value.").arg(port), true, true, 4},
        {"empty configserver.txt", "", "", "'' is not a valid integer value.", true, true, 0},
    };
    for (const FailureRow& row : rows) {
        SCOPED_TRACE(row.what);
        report = RecordingErrorReport{};
        QFile::remove(workDir.file("configserver.txt"));
        writeIni(iniWithDatabase(row.ini));
        if (row.configLines != "-") writeConfigServer(row.configLines);
        startUp();
        ASSERT_EQ(report.errors.size(), 1) << report.errors.join('|').toStdString();
        EXPECT_EQ(report.errors.first(), row.error);
        EXPECT_EQ(window->Fatura->connected(), row.connected);
        EXPECT_EQ(listOpen(), row.listOpen);
        EXPECT_EQ(lines(), row.lines);
        EXPECT_FALSE(listening());
        EXPECT_FALSE(window->terminationRequested());
        // The window still runs: the clock ticks.
        QTRY_VERIFY_WITH_TIMEOUT(window->Panel1->text() != QStringLiteral("00:00:00"), 3000);
        window.reset();
    }
}

TEST_F(FormCreateTest, AnEmptyDatabasePathDiscardsTheConnection) {
    writeIni("[sgbd]\r\nusuario=\r\n");
    writeConfigServer(configServer());
    startUp();
    ASSERT_EQ(report.errors.size(), 1);
    EXPECT_TRUE(report.errors.first().contains(QStringLiteral("[sgbd] fatura")));
    EXPECT_FALSE(window->Fatura->assigned());
    EXPECT_FALSE(listening());
    // Every later open of the list fails the same way.
    window->Label2DblClick(nullptr);
    ASSERT_EQ(report.errors.size(), 2);
    EXPECT_EQ(report.errors.last(), QStringLiteral("Database not assigned."));
}

// A database out of reach at start-up (the server not up yet) costs the list, not the calls: the
// failure is reported and the rest of start-up runs, the listener last.
TEST_F(FormCreateTest, AnUnreachableDatabaseCostsOnlyTheList) {
    writeIni("[sgbd]\r\nfatura=" + exeDir.file("nowhere/none.fdb").toUtf8() + "\r\n");
    writeConfigServer(configServer());
    startUp();
    ASSERT_EQ(report.errors.size(), 1);
    EXPECT_TRUE(report.errors.first().contains(QStringLiteral("none.fdb")));
    EXPECT_FALSE(window->Fatura->connected());
    EXPECT_FALSE(listOpen());
    EXPECT_EQ(lines(), 4);
    EXPECT_TRUE(listening());
}

TEST_F(FormCreateTest, APortInUseLeavesEverythingElseSetUp) {
    QTcpServer squatter;
    ASSERT_TRUE(squatter.listen(QHostAddress::AnyIPv4, port));
    writeIni(iniWithDatabase());
    writeConfigServer(configServer());
    startUp();
    ASSERT_EQ(report.errors.size(), 1);
    EXPECT_TRUE(report.errors.first().startsWith(QStringLiteral("Cannot listen on port %1").arg(port)))
        << report.errors.first().toStdString();
    EXPECT_TRUE(listOpen());
    EXPECT_EQ(lines(), 4);
    EXPECT_FALSE(listening());
}

TEST_F(FormCreateTest, ConfigServerLinesByTheirRules) {
    const struct {
        QByteArray text;
        bool listens;
    } cases[] = {
        {" " + QByteArray::number(port), true},                      // a leading blank is accepted
        {QByteArray::number(port), true},                            // a single line
        {"\xEF\xBB\xBF" + QByteArray::number(port) + "\n1\nN\n", true}, // UTF-8 mark, LF ends
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        report = RecordingErrorReport{};
        writeIni(iniWithDatabase());
        writeConfigServer(c.text);
        startUp();
        EXPECT_EQ(listening(), c.listens) << report.errors.join('|').toStdString();
        window.reset();
    }
}

TEST_F(FormCreateTest, ConfigIniBesideTheExecutableConfigServerInTheWorkingDirectory) {
    // A configserver.txt beside the executable is not the one read.
    exeDir.write("configserver.txt", "1\r\n");
    writeIni(iniWithDatabase());
    writeConfigServer(configServer());
    startUp();
    EXPECT_TRUE(listening());
    EXPECT_EQ(window->ServerSocket1->listeningPort(), port);
}

TEST_F(FormCreateTest, StartUpSoundPlaysUnlessTheSwitchIsN) {
    ASSERT_TRUE(testmedia::writeChimeWav(exeDir.file("NOTIFY.WAV"), 800));
    const struct {
        QByteArray sound;
        bool opened;
    } cases[] = {{"S", true}, {"N", false}, {"n", true}, {"N ", true}, {"", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sound.toStdString());
        report = RecordingErrorReport{};
        writeIni(iniWithDatabase());
        writeConfigServer(configServer(c.sound));
        startUp();
        EXPECT_TRUE(report.errors.isEmpty()) << report.errors.join('|').toStdString();
        EXPECT_EQ(window->Som1->isOpen(), c.opened);
        if (c.opened) {
            EXPECT_NE(window->Som1->Mode(), MediaMode::NotReady);
        }
        EXPECT_TRUE(listening());
        window.reset();
    }
}

TEST_F(FormCreateTest, AnUnplayableSoundStopsStartUpBeforeTheListener) {
    const QString junk = exeDir.write("NOTIFY.WAV", QByteArray(4096, '\x5A'));
    // What the media system says of this file, opened on its own.
    QString reason;
    {
        MediaDevice device;
        device.setFileName(junk);
        try {
            device.Open();
        } catch (const EMCIDeviceError& e) {
            reason = e.text();
        }
    }
    ASSERT_FALSE(reason.isEmpty()) << "the file opened";
    writeIni(iniWithDatabase());
    writeConfigServer(configServer("S"));
    startUp();
    // The player's own error, shown by the error report with its full stop; the steps before it
    // are done, the video and the listener after it are not.
    EXPECT_EQ(report.errors, QStringList{errorReportText(reason)});
    EXPECT_NE(report.errors.value(0), QStringLiteral("No MCI device open."));
    EXPECT_FALSE(window->Som1->isOpen());
    EXPECT_EQ(window->Som1->FileName(), junk);
    EXPECT_TRUE(listOpen());
    EXPECT_EQ(lines(), 4);
    EXPECT_FALSE(window->VIDEO1->isOpen());
    EXPECT_FALSE(listening());
}

TEST_F(FormCreateTest, TheVideoPlaysAndLoopsOnlyWithRepetirvideoS) {
    QString why;
    if (!testmedia::writeTestVideo(exeDir.file("VIDEO.WMV"), 2, false, &why)) GTEST_SKIP() << why.toStdString();
    const struct {
        QByteArray repetir;
        bool loops;
    } cases[] = {{"S", true}, {"s", false}, {"", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.repetir.toStdString());
        report = RecordingErrorReport{};
        writeIni(iniWithDatabase("[definicao]\r\nrepetirvideo=" + c.repetir + "\r\n"));
        writeConfigServer(configServer());
        startUp();
        EXPECT_TRUE(report.errors.isEmpty()) << report.errors.join('|').toStdString();
        EXPECT_FALSE(window->PanelVideo->isHidden());
        EXPECT_TRUE(window->VIDEO1->isOpen());
        EXPECT_EQ(window->Timer2->isActive(), c.loops);
        EXPECT_TRUE(listening());
        window.reset();
    }
}

} // namespace
