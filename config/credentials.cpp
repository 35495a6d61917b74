#include "config/credentials.h"

#include "config/xcripto.h"

namespace {

QString sgbd(const TIniFile& ini, const char* key) {
    return ini.ReadString(QStringLiteral("sgbd"), QString::fromLatin1(key), QString());
}

} // namespace

std::optional<QString> applyDatabaseSettings(const TIniFile& ini, QStringList& params,
                                             const std::function<QString()>& askKey) {
    while (params.size() < 2) params.append(QString());
    QString key;
    const QString usuario = sgbd(ini, "usuario");
    if (!usuario.isEmpty()) {
        const QString cripto = sgbd(ini, "cripto");
        const QString senha = sgbd(ini, "senha");
        if (cripto == u"S" || cripto == u"T") {
            const QString chave = sgbd(ini, "chave");
            key = chave.isEmpty() ? askKey() : Descriptografar(chave, QString::fromUtf16(kChaveFixa));
            params[0] = QStringLiteral("user_name=") + Descriptografar(usuario, key);
            params[1] = QStringLiteral("password=") + Descriptografar(senha, key);
        } else {
            params[0] = QStringLiteral("user_name=") + usuario;
            params[1] = QStringLiteral("password=") + senha;
        }
    }
    const QString fatura = sgbd(ini, "fatura");
    if (fatura.isEmpty()) return std::nullopt;
    // Without a user name no key was determined: the empty key leaves the path as stored.
    return sgbd(ini, "cripto") == u"T" ? Descriptografar(fatura, key) : fatura;
}
