// The main window's calls list: the database connection and the list of today's calls.

#include "config/credentials.h"
#include "base/errors.h"
#include "db/callsquery.h"
#include "db/database.h"
#include "display/tprincipal.h"

void TPrincipal::applyCredentials(const TIniFile& ini) {
    const std::optional<QString> path = applyDatabaseSettings(ini, Fatura->params(), m_env.askKey);
    if (!path) {
        Fatura->discard();
        throw EStartupError(QStringLiteral("O config.ini não informa o banco de dados: preencha [sgbd] fatura"));
    }
    Fatura->setDatabaseName(*path);
}

void TPrincipal::connectDatabase() { Fatura->connect(); }

void TPrincipal::openCallsList() { GUICHELISTA->open(); }

void TPrincipal::requeryCallsList() { GUICHELISTA->requery(); }
