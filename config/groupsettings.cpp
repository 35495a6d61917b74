#include "config/groupsettings.h"

#include "config/xcripto.h"

#include <QRegularExpression>

namespace {

constexpr int kMaxNameLength = 64;
constexpr int kMinValidity = 1;
constexpr int kMaxValidity = 3600;

QString grupo(const TIniFile& ini, const char* key) {
    return ini.ReadString(QStringLiteral("grupo"), QString::fromLatin1(key), QString());
}

QString entryError(const QString& key, const QString& value, const QString& why) {
    return QStringLiteral("O config.ini tem em [grupo] %1 \"%2\", %3: corrija a entrada; até lá o painel funciona sozinho, "
                          "sem mostrar as chamadas dos outros painéis do grupo")
        .arg(key, value, why);
}

// host[:port]; the host is a name or an IPv4 address, with no blanks.
bool parseBroker(const QString& text, GroupSettings& s) {
    static const QRegularExpression form(QStringLiteral(R"(^([A-Za-z0-9](?:[A-Za-z0-9.-]*[A-Za-z0-9])?)(?::([0-9]{1,5}))?$)"));
    const QRegularExpressionMatch m = form.match(text);
    if (!m.hasMatch()) return false;
    s.host = m.captured(1);
    if (m.hasCaptured(2)) {
        const int port = m.captured(2).toInt();
        if (port < 1 || port > 65535 || m.captured(2).startsWith(u'0')) return false;
        s.port = quint16(port);
    } else {
        s.port = s.caFile.isEmpty() ? 1883 : 8883;
    }
    return true;
}

// A name that is a single topic level: no '/', no wildcards, no blanks or control characters.
bool validName(const QString& name) {
    static const QRegularExpression form(QStringLiteral(R"(^[A-Za-z0-9_.-]+$)"));
    return name.size() <= kMaxNameLength && form.match(name).hasMatch();
}

} // namespace

GroupSettingsRead readGroupSettings(const TIniFile& ini, const std::function<QString()>& key) {
    GroupSettingsRead read;
    const QString broker = grupo(ini, "broker");
    const QString nome = grupo(ini, "nome");
    if (broker.isEmpty() && nome.isEmpty()) return read;
    GroupSettings s;
    s.caFile = grupo(ini, "ca");
    if (!parseBroker(broker, s)) {
        read.error = entryError(QStringLiteral("broker"), broker,
                                QStringLiteral("que não é um endereço de broker (como 192.168.10.5:1883 ou servidor:1883)"));
        return read;
    }
    if (!validName(nome)) {
        read.error = entryError(QStringLiteral("nome"), nome,
                                QStringLiteral("que não serve de nome de grupo (letras sem acento, números, ponto, hífen "
                                               "ou sublinhado, até 64)"));
        return read;
    }
    s.name = nome;
    const QString validade = grupo(ini, "validade");
    if (!validade.isEmpty()) {
        bool ok = false;
        const int seconds = validade.toInt(&ok);
        if (!ok || seconds < kMinValidity || seconds > kMaxValidity || validade.startsWith(u'+')) {
            read.error = entryError(QStringLiteral("validade"), validade,
                                    QStringLiteral("que não é um número de segundos de 1 a 3600"));
            return read;
        }
        s.validitySeconds = seconds;
    }
    s.user = grupo(ini, "usuario");
    s.password = grupo(ini, "senha");
    if (!s.user.isEmpty() && grupo(ini, "cripto") == u"S") {
        const QString chave = grupo(ini, "chave");
        const QString k = chave.isEmpty() ? key() : Descriptografar(chave, QString::fromUtf16(kChaveFixa));
        s.user = Descriptografar(s.user, k);
        s.password = Descriptografar(s.password, k);
    }
    read.settings = s;
    return read;
}
