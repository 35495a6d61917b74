// codificar: the administrator's tool that encodes a user name, password, database path or key
// for config.ini, so that the panel decodes it with Descriptografar. See docs/encoding-tool.md.

#include "config/inifile.h"
#include "config/xcripto.h"
#include "tools/cripto/credentialencoder.h"
#include "tools/cripto/iniedit.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryDir>
#include <QTextStream>

namespace {

enum Exit { Ok = 0, Refused = 1, Usage = 2, Failed = 3 };

const QStringList kCampos = {QStringLiteral("usuario"), QStringLiteral("senha"), QStringLiteral("fatura"),
                             QStringLiteral("chave")};

QTextStream& out() {
    static QTextStream s(stdout);
    return s;
}

QTextStream& err() {
    static QTextStream s(stderr);
    return s;
}

int stop(Exit code, const QString& message) {
    err() << "codificar: " << message << Qt::endl;
    return code;
}

QString codes(const QString& text) {
    QStringList list;
    for (const QChar c : text) list << QStringLiteral("U+%1").arg(int(c.unicode()), 4, 16, QChar(u'0')).toUpper();
    return list.join(u' ');
}

// Writes campo=encoded into [sgbd] of a file in the given storage, reads it back as the panel
// does and decodes it: true when the plain text comes back.
bool survivesConfigIni(const QByteArray& fileBytes, const QString& campo, const QString& key,
                       const QString& plain) {
    QTemporaryDir dir;
    if (!dir.isValid()) return false;
    QFile f(dir.filePath(QStringLiteral("config.ini")));
    if (!f.open(QIODevice::WriteOnly) || f.write(fileBytes) != fileBytes.size()) return false;
    f.close();
    const TIniFile ini(f.fileName());
    return Descriptografar(ini.ReadString(QStringLiteral("sgbd"), campo, QString()), key) == plain;
}

QByteArray readFile(const QString& path, QString* error) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        *error = f.errorString();
        return {};
    }
    return f.readAll();
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("codificar"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Codifica um usuário, senha, caminho do banco ou chave para o config.ini do painel.\n"
        "O texto vem como argumento ou, sem argumento, numa linha da entrada padrão."));
    parser.addHelpOption();
    const QCommandLineOption chaveOpt(QStringLiteral("chave"), QStringLiteral("Codifica com esta chave."),
                                      QStringLiteral("chave"));
    const QCommandLineOption fixaOpt(QStringLiteral("chave-fixa"),
                                     QStringLiteral("Codifica com a chave fixa do painel (para o valor de chave=)."));
    const QCommandLineOption utf16Opt(QStringLiteral("utf16"),
                                      QStringLiteral("O config.ini é (ou será) gravado em UTF-16 em vez de ANSI."));
    const QCommandLineOption iniOpt(QStringLiteral("ini"),
                                    QStringLiteral("Grava o valor na seção [sgbd] deste config.ini."),
                                    QStringLiteral("arquivo"));
    const QCommandLineOption campoOpt(QStringLiteral("campo"),
                                      QStringLiteral("Nome do campo: usuario, senha, fatura ou chave."),
                                      QStringLiteral("campo"));
    parser.addOptions({chaveOpt, fixaOpt, utf16Opt, iniOpt, campoOpt});
    parser.addPositionalArgument(QStringLiteral("texto"), QStringLiteral("O texto a codificar."));
    parser.process(app);

    // The key.
    if (parser.isSet(chaveOpt) == parser.isSet(fixaOpt))
        return stop(Usage, QStringLiteral("informe --chave CHAVE ou --chave-fixa."));
    const QString key = parser.isSet(fixaOpt) ? QString::fromUtf16(kChaveFixa) : parser.value(chaveOpt);

    // The field.
    const QString campo = parser.value(campoOpt).toLower();
    if (parser.isSet(campoOpt) && !kCampos.contains(campo))
        return stop(Usage, QStringLiteral("o campo deve ser usuario, senha, fatura ou chave."));
    if (parser.isSet(iniOpt) && campo.isEmpty())
        return stop(Usage, QStringLiteral("com --ini, informe também --campo."));
    if (campo == QStringLiteral("chave") && key != QString::fromUtf16(kChaveFixa))
        return stop(Usage, QStringLiteral("o painel decodifica o campo chave sempre com a chave fixa: use --chave-fixa."));

    // The text.
    const QStringList args = parser.positionalArguments();
    if (args.size() > 1)
        return stop(Usage, QStringLiteral("informe um só texto (entre aspas, se tiver espaços)."));
    QString plain;
    if (args.size() == 1) {
        plain = args.first();
    } else {
        QTextStream in(stdin);
        plain = in.readLine();
    }

    // The file and how it is stored.
    IniDocument doc;
    const QString iniPath = parser.value(iniOpt);
    const bool existing = !iniPath.isEmpty() && QFileInfo::exists(iniPath);
    if (existing) {
        QString why;
        const QByteArray bytes = readFile(iniPath, &why);
        if (!why.isEmpty()) return stop(Failed, QStringLiteral("não consegui ler %1: %2").arg(iniPath, why));
        doc = IniDocument::fromBytes(bytes);
        if (parser.isSet(utf16Opt) && doc.storage() == IniStorage::Ansi)
            return stop(Usage, QStringLiteral("%1 está em ANSI (Windows-1252); salve-o antes em UTF-16 "
                                              "(Unicode) para usar --utf16.")
                                   .arg(iniPath));
    } else if (parser.isSet(utf16Opt)) {
        doc.encoding = IniDocument::Encoding::Utf16LE;
    }
    const IniStorage storage = doc.storage();

    const EncodeResult r = encodeCredential(plain, key, storage);
    if (!r.ok()) return stop(Refused, r.failure->message());

    // Check the result the way the panel reads it: in a config.ini of the same storage.
    const QString checkCampo = campo.isEmpty() ? QStringLiteral("usuario") : campo;
    IniDocument probe;
    probe.encoding = doc.encoding;
    probe.setValue(QStringLiteral("sgbd"), checkCampo, r.text);
    if (!survivesConfigIni(probe.toBytes(), checkCampo, key, plain))
        return stop(Failed, QStringLiteral("erro interno: o texto codificado não volta ao original."));

    if (!iniPath.isEmpty()) {
        doc.setValue(QStringLiteral("sgbd"), campo, r.text);
        const QByteArray bytes = doc.toBytes();
        QSaveFile f(iniPath);
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size() || !f.commit())
            return stop(Failed, QStringLiteral("não consegui gravar %1: %2").arg(iniPath, f.errorString()));
        if (!survivesConfigIni(bytes, campo, key, plain))
            return stop(Failed, QStringLiteral("erro interno: %1 não devolve o texto original.").arg(iniPath));
    }

    const QString name = campo.isEmpty() ? QStringLiteral("<campo>") : campo;
    out() << "Texto codificado: " << r.text << "\n"
          << "Códigos: " << codes(r.text) << "\n"
          << "Conferido: decodificado com a chave, volta ao texto original.\n";
    if (!iniPath.isEmpty()) {
        out() << "Gravado em " << iniPath << ", seção [sgbd]: " << campo << "=...\n";
    } else {
        out() << "No config.ini, seção [sgbd], a linha:\n"
              << name << "=" << r.text << "\n"
              << (storage == IniStorage::Ansi
                      ? "Salve o config.ini em ANSI (Windows-1252).\n"
                      : "Salve o config.ini em UTF-16 (Unicode).\n");
        if (!r.invisible.isEmpty()) {
            QStringList positions;
            for (qsizetype p : r.invisible) positions << QString::number(p);
            out() << "Atenção: há caracteres invisíveis ou em branco (posições " << positions.join(u',')
                  << "), que se perdem ao copiar da tela: grave com --ini.\n";
        }
    }
    if (campo == QStringLiteral("chave") || parser.isSet(fixaOpt))
        out() << "Lembre: com chave= preenchida, o painel não pergunta a chave ao iniciar.\n";
    else
        out() << "Lembre: cripto=S codifica usuario e senha; cripto=T também fatura.\n";
    out().flush();
    return Ok;
}
