// The tool falar as an administrator runs it: the phonemes, the WAV file and the speech of a
// call message's announcement, the clinic's pronuncia.txt beside it or named by --lexico, and
// every error, in Portuguese.

#include "calls/espeakvoice.h"
#include "calls/grammar.h"
#include "tests/support/qtprint.h"
#include "tests/support/tempdir.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QtEndian>
#include <cstdlib>
#include <gtest/gtest.h>

namespace {

struct FalarRun {
    int status = -1;
    QString out, err;
};

class Falar : public ::testing::Test {
protected:
    // A copy of the tool in a folder of its own, where its pronuncia.txt is looked for.
    void SetUp() override {
        tool = dir.file(QStringLiteral("falar"));
        ASSERT_TRUE(QFile::copy(QStringLiteral(FALAR_PATH), tool));
    }

    FalarRun falar(const QStringList& args, const QByteArray& audioDevice = "painel-no-such-device") {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("PAINEL_AUDIO_DEVICE"), QString::fromLatin1(audioDevice));
        // A tool built with the sanitizers reports what system libraries keep to the end unless
        // it is told what those are (the test programs carry this themselves).
        if (!env.contains(QStringLiteral("LSAN_OPTIONS")))
            env.insert(QStringLiteral("LSAN_OPTIONS"),
                       QStringLiteral("print_suppressions=0:suppressions=" PAINEL_LSAN_SUPPRESSIONS));
        p.setProcessEnvironment(env);
        p.start(tool, args);
        EXPECT_TRUE(p.waitForFinished(60000)) << "falar did not end";
        return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAllStandardOutput()),
                QString::fromUtf8(p.readAllStandardError())};
    }

    // What the panel's voice says for the message, as one line.
    QString phonemesOf(const QString& message) {
        return voice.phonemeClauses(parseCall(message, 0, 0).announcement).join(u' ') + u'\n';
    }

    TestDir dir;
    QString tool;
    EspeakVoice voice;
};

TEST_F(Falar, PrintsThePhonemesOfTheAnnouncementAsThePanelMakesIt) {
    for (const QString& message : {QStringLiteral("MD*41THIAGO SOUZA"), QStringLiteral("03015AE"),
                                   QStringLiteral("AC*JENNIFER LIMA"), QStringLiteral("CR*2MICHAEL"),
                                   QStringLiteral("RE*WALTER"), QStringLiteral("MD*7ANA")}) {
        const FalarRun r = falar({QStringLiteral("--fonemas"), message});
        EXPECT_EQ(r.status, 0) << r.err.toStdString();
        EXPECT_EQ(r.out, phonemesOf(message)) << message.toStdString();
        EXPECT_EQ(r.err, QString());
    }
    // The name is said as people say it: "tch" in Thiago.
    EXPECT_TRUE(falar({QStringLiteral("--fonemas"), QStringLiteral("RE*THIAGO")}).out.startsWith(u"tS"));
}

TEST_F(Falar, TheLexiconBesideTheToolOrTheOneNamedWins) {
    const QString message = QStringLiteral("RE*ANA SOUZA");
    const QString plain = falar({QStringLiteral("--fonemas"), message}).out;
    dir.write(QStringLiteral("pronuncia.txt"), "SOUZA=[[s'oza]]\nlinha ruim\n");
    const FalarRun beside = falar({QStringLiteral("--fonemas"), message});
    EXPECT_EQ(beside.status, 0);
    EXPECT_NE(beside.out, plain);
    EXPECT_TRUE(beside.out.contains(QStringLiteral("s'oza"))) << beside.out.toStdString();
    EXPECT_EQ(beside.err, QStringLiteral("falar: %1, linha 2: falta \"=\" entre a grafia e a pronúncia: linha ruim\n")
                              .arg(dir.file(QStringLiteral("pronuncia.txt"))));
    const QString other = dir.write(QStringLiteral("outro.txt"), "SOUZA=[[s'uza]]\n");
    for (const QStringList& args : {QStringList{QStringLiteral("--lexico"), other}, QStringList{"--lexico=" + other}}) {
        const FalarRun named = falar(args + QStringList{QStringLiteral("--fonemas"), message});
        EXPECT_EQ(named.status, 0);
        EXPECT_TRUE(named.out.contains(QStringLiteral("s'uza"))) << named.out.toStdString();
        EXPECT_FALSE(named.out.contains(QStringLiteral("s'oza")));
        EXPECT_EQ(named.err, QString());
    }
}

TEST_F(Falar, ALexiconItCannotReadIsAnError) {
    QDir(dir.path()).mkdir(QStringLiteral("pasta"));
    const struct {
        QString file, why;
    } cases[] = {
        {dir.file(QStringLiteral("nenhum.txt")), QStringLiteral("o arquivo não existe")},
        {dir.file(QStringLiteral("pasta")), QStringLiteral("é uma pasta")},
    };
    for (const auto& c : cases) {
        const FalarRun r = falar({QStringLiteral("--lexico"), c.file, QStringLiteral("--fonemas"), QStringLiteral("RE*ANA")});
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out, QString());
        EXPECT_EQ(r.err, QStringLiteral("falar: não foi possível ler o arquivo %1: %2\n").arg(c.file, c.why));
    }
}

quint32 le32(const QByteArray& b, int at) { return qFromLittleEndian<quint32>(b.constData() + at); }
quint16 le16(const QByteArray& b, int at) { return qFromLittleEndian<quint16>(b.constData() + at); }

TEST_F(Falar, WritesTheSpeechToAWaveFile) {
    const QString wav = dir.file(QStringLiteral("ana.wav"));
    const QString message = QStringLiteral("MD*41JENNIFER SOUZA");
    const FalarRun r = falar({QStringLiteral("--wav"), wav, message});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QString());
    QFile f(wav);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    ASSERT_GT(bytes.size(), 44);
    EXPECT_EQ(bytes.left(4), "RIFF");
    EXPECT_EQ(le32(bytes, 4), quint32(bytes.size() - 8));
    EXPECT_EQ(bytes.mid(8, 8), "WAVEfmt ");
    EXPECT_EQ(le16(bytes, 20), 1);   // PCM
    EXPECT_EQ(le16(bytes, 22), 1);   // mono
    EXPECT_EQ(le32(bytes, 24), 22050u);
    EXPECT_EQ(le16(bytes, 34), 16);  // bits
    EXPECT_EQ(bytes.mid(36, 4), "data");
    EXPECT_EQ(le32(bytes, 40), quint32(bytes.size() - 44));
    // The speech the panel's voice makes of the announcement (the engine's pauses at either end
    // vary by some milliseconds from one synthesis to the next), and not silence.
    const EspeakVoice::Samples samples = voice.synthesizeToSamples(parseCall(message, 0, 0).announcement);
    const double seconds = double(bytes.size() - 44) / 2 / 22050;
    EXPECT_NEAR(seconds, samples.seconds(), 0.05) << "the engine's synthesis: " << samples.seconds() << " s";
    qsizetype loud = 0;
    for (int at = 44; at + 1 < bytes.size(); at += 2) loud += std::abs(qint16(le16(bytes, at))) > 1000;
    EXPECT_GT(loud, (bytes.size() - 44) / 2 / 10);
    // With --fonemas too, both.
    const FalarRun both = falar({QStringLiteral("--fonemas"), QStringLiteral("--wav=") + wav, message});
    EXPECT_EQ(both.status, 0);
    EXPECT_EQ(both.out, phonemesOf(message));
}

TEST_F(Falar, AWaveFileItCannotWriteIsAnError) {
    const struct {
        QString file, why;
    } cases[] = {
        {dir.file(QStringLiteral("nenhuma/ana.wav")),
         QStringLiteral("a pasta %1 não existe").arg(dir.file(QStringLiteral("nenhuma")))},
        {dir.path(), QStringLiteral("é uma pasta")},
    };
    for (const auto& c : cases) {
        const FalarRun r = falar({QStringLiteral("--wav"), c.file, QStringLiteral("RE*ANA")});
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, QStringLiteral("falar: não foi possível gravar %1: %2\n").arg(c.file, c.why));
    }
}

TEST_F(Falar, SpeaksOrSaysThatThereIsNoSoundDevice) {
    const FalarRun none = falar({QStringLiteral("MD*41ANA SOUTO")});
    EXPECT_EQ(none.status, 1);
    // (The sound library writes its own lines before it.)
    EXPECT_TRUE(none.err.contains(QStringLiteral("\nfalar: nenhum dispositivo de som pôde ser aberto; use --wav "
                                                 "ARQUIVO ou --fonemas (\"SAPI.SpVoice\".Speak failed: no sound "
                                                 "output device could be opened")))
        << none.err.toStdString();
    EXPECT_EQ(none.out, QString());
    // ALSA's null device takes the sound without a sound card.
    const FalarRun spoken = falar({QStringLiteral("MD*41ANA SOUTO")}, "null");
    EXPECT_EQ(spoken.status, 0) << spoken.err.toStdString();
    EXPECT_EQ(spoken.out + spoken.err, QString());
}

TEST_F(Falar, BadArgumentsAreExplainedInPortuguese) {
    const struct {
        QStringList args;
        int status;
        QString err;
    } cases[] = {
        {{"--x", "RE*ANA"}, 2, "falar: opção desconhecida: --x (veja --help)\n"},
        {{"--fonemas=sim", "RE*ANA"}, 2, "falar: opção desconhecida: --fonemas=sim (veja --help)\n"},
        {{"RE*ANA", "--wav"}, 2, "falar: a opção --wav precisa do nome de um arquivo (veja --help)\n"},
        {{"--lexico=", "RE*ANA"}, 2, "falar: a opção --lexico precisa do nome de um arquivo (veja --help)\n"},
        {{"--fonemas"}, 2, "falar: falta a mensagem de chamada (veja --help)\n"},
        {{}, 2, "falar: falta a mensagem de chamada (veja --help)\n"},
        {{"RE*ANA", "SOUTO"}, 2, "falar: dê uma só mensagem (entre aspas quando tiver espaços) (veja --help)\n"},
        {{"--fonemas", "refresh"}, 1,
         "falar: \"refresh\" não tem anúncio: o painel só lê a lista de chamadas de novo\n"},
        {{"--fonemas", "cr*2JOANA"}, 1,
         "falar: o painel recusa esta mensagem: 'cr' is not a valid integer value\n"},
        {{"--fonemas", "--", "--15A"}, 1,
         "falar: o painel recusa esta mensagem: '--' is not a valid integer value\n"},
    };
    for (const auto& c : cases) {
        const FalarRun r = falar(c.args);
        EXPECT_EQ(r.status, c.status) << c.args.join(u' ').toStdString();
        EXPECT_EQ(r.err, c.err) << c.args.join(u' ').toStdString();
        EXPECT_EQ(r.out, QString());
    }
    const FalarRun help = falar({QStringLiteral("--help")});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.out.startsWith(QStringLiteral("uso: falar [--wav ARQUIVO] [--fonemas] [--lexico ARQUIVO] MENSAGEM\n")));
    EXPECT_EQ(help.err, QString());
}

TEST_F(Falar, TakesTheMessageAsAStationSendsIt) {
    // A counter call with negative numbers starts with "-"; "--" ends the options.
    for (const QStringList& args : {QStringList{"--fonemas", "-1-01A"}, QStringList{"--fonemas", "--", "-1-01A"}}) {
        const FalarRun r = falar(args);
        EXPECT_EQ(r.status, 0) << r.err.toStdString();
        EXPECT_EQ(r.out, phonemesOf(QStringLiteral("-1-01A")));
    }
    // Cut where the panel cuts it, with a warning.
    const QString longName = QStringLiteral("RE*") + QStringLiteral("ANA  ").repeated(20);
    const FalarRun cut = falar({QStringLiteral("--fonemas"), longName});
    EXPECT_EQ(cut.status, 0);
    EXPECT_EQ(cut.out, phonemesOf(longName.left(kMaxMessageChars)));
    EXPECT_EQ(cut.err, QStringLiteral("falar: aviso: a mensagem tem 103 caracteres; o painel lê só os primeiros 80\n"));
    // A character a station cannot send in Windows-1252 arrives as "?".
    EXPECT_EQ(falar({QStringLiteral("--fonemas"), QStringLiteral("RE*\u0416ANA")}).out, phonemesOf(QStringLiteral("RE*?ANA")));
}

} // namespace
