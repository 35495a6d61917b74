// chamar: a calling station on the command line. Sends one call message to the panel and, with
// --db, first records the call in the clinic's calls table as a real station does.
//
//   chamar [--host HOST] [--port PORT] [--de ADDRESS] MESSAGE
//   chamar --db DATABASE [--guiche N] [--senha N] [--pront N] [--chamou TEXT]
//          [--db-user USER] [--db-password PASSWORD] [--host HOST] [--port PORT] MESSAGE
//
// Examples: chamar "MD*41ANA SOUTO"   chamar --port 2411 03015A   chamar refresh
//           chamar --db /srv/clinica.fdb --guiche 1 "MD*41ANA SOUTO"
//           chamar --db servidor/3050:/dados/fatura.FDB 03015A

#include "calls/grammar.h"
#include "base/errors.h"
#include "db/fbclient.h"
#include "tools/callrecord.h"
#include "tools/sendcall.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <cstdio>
#include <optional>

namespace {

struct Usage {
    QString text;
};

std::optional<int> intOption(const QCommandLineParser& parser, const QString& name) {
    if (!parser.isSet(name)) return std::nullopt;
    bool ok = false;
    const int value = parser.value(name).toInt(&ok);
    if (!ok) throw Usage{QStringLiteral("--%1 precisa de um número inteiro: %2").arg(name, parser.value(name))};
    return value;
}

// The row a station writes for the message. A counter call carries its counter and ticket
// numbers, which stand in for --guiche and --senha when they are not given.
StationCall stationCall(const QCommandLineParser& parser, const QString& message) {
    const CallKind kind = classifyCall(message);
    if (kind == CallKind::Refresh) throw Usage{QStringLiteral("\"refresh\" não é uma chamada: não use --db com ele")};
    std::optional<int> counter, ticket;
    if (kind == CallKind::Counter) {
        try {
            const CallResult call = parseCall(message, 0, 0);
            counter = call.counter;
            ticket = call.ticket;
        } catch (const EConvertError&) {
            // the panel will refuse it too; --guiche must then be given
        }
    }
    StationCall call;
    const std::optional<int> guiche = intOption(parser, QStringLiteral("guiche"));
    if (!guiche && !counter) throw Usage{QStringLiteral("com --db, informe o guichê (--guiche N)")};
    call.guiche = guiche ? *guiche : *counter;
    call.senha = intOption(parser, QStringLiteral("senha"));
    if (!call.senha) call.senha = ticket;
    call.codigopac = intOption(parser, QStringLiteral("pront")).value_or(0);
    call.chamou = parser.isSet(QStringLiteral("chamou")) ? parser.value(QStringLiteral("chamou"))
                                                         : QString::number(call.guiche);
    return call;
}

QStringList databaseParams(const QCommandLineParser& parser) {
    return {QStringLiteral("user_name=") + parser.value(QStringLiteral("db-user")),
            QStringLiteral("password=") + parser.value(QStringLiteral("db-password"))};
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("chamar"));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Envia uma chamada ao painel (uma mensagem por conexão). Com --db, antes grava a chamada na\n"
        "tabela GUICHELISTA do banco, como faz uma estação de chamada, para que a lista do painel a mostre."));
    parser.addHelpOption();
    parser.addOption({{"H", "host"}, QStringLiteral("Endereço do painel (padrão: 127.0.0.1)."), "host", "127.0.0.1"});
    parser.addOption({{"p", "port"}, QStringLiteral("Porta do painel (padrão: 2411)."), "port", "2411"});
    parser.addOption({"de",
                      QStringLiteral("Endereço local de onde enviar (numa máquina com mais de um; o painel "
                                     "confere-o em [definicao] estacoes)."),
                      "endereco"});
    parser.addOption({"db",
                      QStringLiteral("Banco onde gravar a chamada: servidor/porta:caminho, ou o caminho de um "
                                     "arquivo local (aberto pelo Firebird embarcado)."),
                      "banco"});
    parser.addOption({"guiche",
                      QStringLiteral("GUICHE: o guichê que chama (chave da tabela GUICHE). Numa chamada de "
                                     "guichê (\"03015A\") o padrão é o número do guichê da mensagem."),
                      "n"});
    parser.addOption({"senha",
                      QStringLiteral("SENHA: o número da senha. Padrão: o da mensagem numa chamada de guichê, "
                                     "senão a próxima senha do guichê hoje."),
                      "n"});
    parser.addOption({"pront", QStringLiteral("CODIGOPAC: o prontuário do paciente (padrão: 0)."), "n", "0"});
    parser.addOption({"chamou",
                      QStringLiteral("NR_GUICHE_CHAMOU: o texto da primeira coluna da lista (padrão: o número do "
                                     "guichê)."),
                      "texto"});
    parser.addOption({"db-user", QStringLiteral("Usuário do banco (padrão: ISC_USER, senão SYSDBA)."), "usuario",
                      qEnvironmentVariable("ISC_USER", QStringLiteral("SYSDBA"))});
    parser.addOption({"db-password",
                      QStringLiteral("Senha do usuário do banco (padrão: ISC_PASSWORD; o Firebird embarcado não "
                                     "a usa)."),
                      "senha", qEnvironmentVariable("ISC_PASSWORD")});
    parser.addPositionalArgument(QStringLiteral("mensagem"), QStringLiteral("A mensagem de chamada, por exemplo \"MD*41ANA SOUTO\"."));
    if (!parser.parse(QCoreApplication::arguments())) {
        std::fprintf(stderr, "chamar: %s (veja --help)\n", qPrintable(parser.errorText()));
        return 2;
    }
    if (parser.isSet(QStringLiteral("help"))) parser.showHelp(0);
    const QStringList args = parser.positionalArguments();
    if (args.size() != 1) {
        std::fprintf(stderr, "chamar: informe exatamente uma mensagem (veja --help)\n");
        return 2;
    }
    const QString& message = args.first();
    if (message.size() > kMaxMessageChars)
        std::fprintf(stderr, "chamar: aviso: a mensagem tem %lld caracteres; o painel lê só os primeiros %lld\n",
                     static_cast<long long>(message.size()), static_cast<long long>(kMaxMessageChars));
    bool ok = false;
    const uint port = parser.value("port").toUInt(&ok);
    if (!ok || port == 0 || port > 65535) {
        std::fprintf(stderr, "chamar: porta inválida: %s\n", qPrintable(parser.value("port")));
        return 2;
    }

    std::optional<RecordedCall> recorded;
    if (parser.isSet(QStringLiteral("db"))) {
        try {
            const StationCall call = stationCall(parser, message);
            FbClient client;
            recorded = recordCall(client, parser.value(QStringLiteral("db")), databaseParams(parser), call);
            std::printf("chamada gravada: INDICE %d, guichê %d, senha %d\n", recorded->indice, call.guiche,
                        recorded->senha);
            if (!recorded->counterKnown)
                std::fprintf(stderr,
                             "chamar: aviso: o guichê %d não está na tabela GUICHE; a lista do painel não mostra "
                             "esta chamada\n",
                             call.guiche);
            std::fflush(stdout);
        } catch (const Usage& u) {
            std::fprintf(stderr, "chamar: %s\n", qPrintable(u.text));
            return 2;
        } catch (const EPainelError& e) {
            std::fprintf(stderr, "chamar: a chamada não foi gravada nem enviada: %s\n", qPrintable(e.text()));
            return 1;
        }
    }
    try {
        sendCallMessage(parser.value("host"), quint16(port), message, parser.value("de"));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "chamar: %s\n", e.what());
        if (recorded)
            std::fprintf(stderr,
                         "chamar: a chamada ficou gravada (INDICE %d); para só reenviá-la ao painel, repita o "
                         "comando sem --db\n",
                         recorded->indice);
        return 1;
    }
    return 0;
}
