// falar: how the panel says a call, for trying and correcting the pronunciation of names.
// Builds the announcement of a call message as the panel does and gives it to the panel's
// voice, with the built-in list of names and the clinic's pronuncia.txt (beside this program,
// or the one --lexico names). Speaks it, writes it to a WAV file, or prints the engine's
// phonemes of it.
//
//   falar [--wav FILE] [--fonemas] [--lexico FILE] MESSAGE
//
// Examples: falar "MD*41THIAGO SOUZA"   falar --fonemas 03015AE
//           falar --lexico /tmp/teste.txt --wav /tmp/thiago.wav "RE*THIAGO SOUZA"

#include "calls/espeakvoice.h"
#include "calls/grammar.h"
#include "calls/pronunciationfile.h"
#include "base/wavefile.h"
#include "base/codepage.h"
#include "base/errors.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstdio>
#include <optional>

namespace {

constexpr char kUsage[] =
    "uso: falar [--wav ARQUIVO] [--fonemas] [--lexico ARQUIVO] MENSAGEM\n"
    "\n"
    "Monta o anúncio de uma mensagem de chamada como o painel (por exemplo \"MD*41THIAGO SOUZA\"\n"
    "ou 03015AE) e o dá à voz do painel, com a lista de nomes embutida e o pronuncia.txt ao lado\n"
    "deste programa. Sem opções, fala no dispositivo de som.\n"
    "\n"
    "  --wav ARQUIVO     grava a fala num arquivo WAV em vez de falar\n"
    "  --fonemas         mostra os fonemas do espeak-ng do que o painel diria, numa linha\n"
    "  --lexico ARQUIVO  usa este arquivo de pronúncias em vez do pronuncia.txt\n"
    "  --help            mostra esta ajuda\n"
    "\n"
    "Uma mensagem que começa por \"-\" pode vir depois de \"--\".\n";

struct Options {
    std::optional<QString> wav;
    std::optional<QString> lexicon;
    bool phonemes = false;
    QString message;
};

struct Failure {
    int status;
    QString text;
};

[[noreturn]] void usageError(const QString& text) {
    throw Failure{2, text + QStringLiteral(" (veja --help)")};
}

// Options start with "--" (and "-h"); anything else, "-1-01A" included, is the message.
Options parseArguments(const QStringList& args) {
    Options o;
    QStringList messages;
    bool optionsEnd = false;
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString& a = args[i];
        if (optionsEnd || !(a.startsWith(QStringLiteral("--")) || a == u"-h")) {
            messages << a;
            continue;
        }
        if (a == u"--") {
            optionsEnd = true;
            continue;
        }
        if (a == u"--help" || a == u"-h") throw Failure{0, QString()};
        if (a == u"--fonemas") {
            o.phonemes = true;
            continue;
        }
        const QString name = a.section(u'=', 0, 0);
        if (name != u"--wav" && name != u"--lexico") usageError(QStringLiteral("opção desconhecida: %1").arg(a));
        QString value;
        if (a.contains(u'=')) value = a.section(u'=', 1);
        else if (i + 1 < args.size()) value = args[++i];
        if (value.isEmpty()) usageError(QStringLiteral("a opção %1 precisa do nome de um arquivo").arg(name));
        (name == u"--wav" ? o.wav : o.lexicon) = value;
    }
    if (messages.isEmpty()) usageError(QStringLiteral("falta a mensagem de chamada"));
    if (messages.size() > 1)
        usageError(QStringLiteral("dê uma só mensagem (entre aspas quando tiver espaços)"));
    o.message = messages.first();
    return o;
}

void warn(const QString& text) { std::fprintf(stderr, "falar: %s\n", qPrintable(text)); }

// The message as the panel reads it from a station: in Windows-1252, at most its first
// characters.
QString asReceived(const QString& message) {
    QString text = cp1252::decode(cp1252::encode(message));
    if (text.size() > kMaxMessageChars) {
        warn(QStringLiteral("aviso: a mensagem tem %1 caracteres; o painel lê só os primeiros %2")
                 .arg(text.size())
                 .arg(kMaxMessageChars));
        text.truncate(kMaxMessageChars);
    }
    return text;
}

QString announcementOf(const QString& message) {
    if (classifyCall(message) == CallKind::Refresh)
        throw Failure{1, QStringLiteral("\"refresh\" não tem anúncio: o painel só lê a lista de chamadas de novo")};
    try {
        return parseCall(message, 0, 0).announcement;
    } catch (const EPainelError& e) {
        throw Failure{1, QStringLiteral("o painel recusa esta mensagem: %1").arg(e.text())};
    }
}

// Why a file cannot be read (or written), in Portuguese where the reason is a common one.
QString fileProblem(const QString& path, bool writing, const QString& systemReason) {
    const QFileInfo info(path);
    if (info.isDir()) return QStringLiteral("é uma pasta");
    if (writing) {
        const QFileInfo folder(info.absolutePath());
        if (!folder.isDir()) return QStringLiteral("a pasta %1 não existe").arg(folder.filePath());
        if (!folder.isWritable() || (info.exists() && !info.isWritable())) return QStringLiteral("sem permissão de escrita");
    } else {
        if (!info.exists()) return QStringLiteral("o arquivo não existe");
        if (!info.isReadable()) return QStringLiteral("sem permissão de leitura");
    }
    return systemReason;
}

// The clinic's lexicon: --lexico's file, which must be readable, or pronuncia.txt beside the
// program, which may be missing. Lines that cannot be read are warned about, as the panel does.
void loadLexicon(const Options& o) {
    const QString path = o.lexicon ? *o.lexicon
                                   : QDir(QCoreApplication::applicationDirPath()).filePath(QLatin1String(kPronunciationFileName));
    if (o.lexicon) {
        QFile f(path);
        if (QFileInfo(path).isDir() || !f.open(QIODevice::ReadOnly))
            throw Failure{1, QStringLiteral("não foi possível ler o arquivo %1: %2")
                                 .arg(path, fileProblem(path, false, f.errorString()))};
    }
    PronunciationFile file = readPronunciationFile(path);
    for (const QString& p : std::as_const(file.problems)) warn(p);
    setClinicLexicon(std::move(file.entries));
}

void writeWave(EspeakVoice& voice, const QString& announcement, const QString& path) {
    const EspeakVoice::Samples samples = voice.synthesizeToSamples(announcement);
    const QByteArray wav = pcmWaveFile(samples.data, samples.sampleRate);
    QFile f(path);
    if (QFileInfo(path).isDir() || !f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(wav) != wav.size() ||
        !f.flush())
        throw Failure{1, QStringLiteral("não foi possível gravar %1: %2").arg(path, fileProblem(path, true, f.errorString()))};
}

int run(const QStringList& args) {
    const Options o = parseArguments(args);
    const QString announcement = announcementOf(asReceived(o.message));
    loadLexicon(o);
    try {
        EspeakVoice voice;
        if (o.phonemes) std::printf("%s\n", qPrintable(voice.phonemeClauses(announcement).join(u' ')));
        if (o.wav) writeWave(voice, announcement, *o.wav);
        if (!o.phonemes && !o.wav) voice.Speak(announcement, 0);
    } catch (const ENoSoundDevice& e) {
        throw Failure{1, QStringLiteral("nenhum dispositivo de som pôde ser aberto; use --wav ARQUIVO ou --fonemas "
                                        "(%1)")
                             .arg(e.text())};
    } catch (const EVoiceError& e) {
        throw Failure{1, QStringLiteral("a voz falhou: %1").arg(e.text())};
    }
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("falar"));
    try {
        return run(QCoreApplication::arguments());
    } catch (const Failure& f) {
        if (f.status == 0) {
            std::fputs(kUsage, stdout);
            return 0;
        }
        warn(f.text);
        return f.status;
    }
}
