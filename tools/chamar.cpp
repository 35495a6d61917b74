// chamar: a calling station on the command line. Sends one call message to the panel.
//
//   chamar [--host HOST] [--port PORT] MESSAGE
//
// Examples: chamar "MD*41ANA SOUTO"   chamar --port 2411 03015A   chamar refresh

#include "tools/sendcall.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <cstdio>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("chamar"));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Envia uma chamada ao painel (uma mensagem por conexão)."));
    parser.addHelpOption();
    parser.addOption({{"H", "host"}, QStringLiteral("Endereço do painel (padrão: 127.0.0.1)."), "host", "127.0.0.1"});
    parser.addOption({{"p", "port"}, QStringLiteral("Porta do painel (padrão: 2411)."), "port", "2411"});
    parser.addPositionalArgument(QStringLiteral("mensagem"), QStringLiteral("A mensagem de chamada, por exemplo \"MD*41ANA SOUTO\"."));
    parser.process(app);
    const QStringList args = parser.positionalArguments();
    if (args.size() != 1) {
        std::fprintf(stderr, "chamar: informe exatamente uma mensagem (veja --help)\n");
        return 2;
    }
    bool ok = false;
    const uint port = parser.value("port").toUInt(&ok);
    if (!ok || port == 0 || port > 65535) {
        std::fprintf(stderr, "chamar: porta inválida: %s\n", qPrintable(parser.value("port")));
        return 2;
    }
    try {
        sendCallMessage(parser.value("host"), quint16(port), args.first());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "chamar: %s\n", e.what());
        return 1;
    }
    return 0;
}
