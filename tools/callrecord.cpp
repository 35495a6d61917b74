#include "tools/callrecord.h"

#include "base/codepage.h"
#include "base/errors.h"
#include "db/database.h"
#include "db/fbclient.h"
#include "db/fbstatus.h"
#include "db/transaction.h"
#include "tools/stationsql.h"

#include <QThread>
#include <algorithm>
#include <iterator>

namespace {

constexpr int kAttempts = 20;
constexpr qsizetype kChamouLength = 50;

// Another station's insert of the same INDICE: a lock conflict (its insert is not committed
// yet) or a duplicate key (it is).
bool collided(long code) {
    static const long codes[] = {isc_unique_key_violation, isc_no_dup, isc_lock_conflict, isc_deadlock,
                                 isc_update_conflict};
    return std::find(std::begin(codes), std::end(codes), code) != std::end(codes);
}

int intValue(const QVariant& value, int otherwise) { return value.isNull() ? otherwise : value.toInt(); }

RecordedCall insertCall(Database& db, Transaction& tr, const StationCall& call) {
    FbClient& client = db.client();
    const auto scalar = [&](const QString& sql) {
        return stationsql::scalar(client, db.handle(), tr.handle(), sql, db.dialect());
    };
    RecordedCall done;
    done.indice = intValue(scalar(QStringLiteral("SELECT CAST(MAX(INDICE) + 1 AS INTEGER) FROM GUICHELISTA")), 1);
    done.senha = call.senha ? *call.senha
                            : intValue(scalar(QStringLiteral("SELECT CAST(MAX(SENHA) + 1 AS INTEGER) FROM GUICHELISTA "
                                                             "WHERE GUICHE = %1 AND DATA = CURRENT_DATE")
                                                  .arg(call.guiche)),
                                       1);
    done.counterKnown =
        !scalar(QStringLiteral("SELECT FIRST 1 INDICE FROM GUICHE WHERE INDICE = %1").arg(call.guiche)).isNull();
    stationsql::execute(client, db.handle(), tr.handle(),
                        QStringLiteral("INSERT INTO GUICHELISTA (INDICE, CODIGOPAC, DATA, GUICHE, SENHA, STATUS, "
                                       "NR_GUICHE_CHAMOU, DATAUSER2) VALUES (%1, %2, CURRENT_DATE, %3, %4, NULL, "
                                       "%5, CURRENT_TIMESTAMP)")
                            .arg(done.indice)
                            .arg(call.codigopac)
                            .arg(call.guiche)
                            .arg(done.senha)
                            .arg(stationsql::literal(call.chamou)),
                        db.dialect());
    return done;
}

void finish(FbClient& client, Transaction& tr, bool commit) {
    FbStatus status;
    if (commit)
        client.commit_transaction(status.vector(), tr.handle());
    else
        client.rollback_transaction(status.vector(), tr.handle());
    if (status.failed()) status.raise(client);
}

} // namespace

RecordedCall recordCall(FbClient& client, const QString& databaseName, const QStringList& params,
                        const StationCall& call) {
    if (call.chamou.size() > kChamouLength)
        throw EDatabaseError(QStringLiteral("NR_GUICHE_CHAMOU takes at most %1 characters").arg(kChamouLength));
    if (!cp1252::canEncode(call.chamou))
        throw EDatabaseError(QStringLiteral("NR_GUICHE_CHAMOU has characters outside Windows-1252"));
    Database db(client);
    db.setDatabaseName(databaseName);
    db.params() = params;
    db.connect();
    for (int attempt = 1;; ++attempt) {
        Transaction tr(db);
        tr.params() = {QStringLiteral("write"), QStringLiteral("read_committed"), QStringLiteral("rec_version"),
                       QStringLiteral("nowait")};
        tr.start();
        try {
            const RecordedCall done = insertCall(db, tr, call);
            finish(client, tr, true);
            return done;
        } catch (const EDatabaseError& e) {
            try {
                finish(client, tr, false);
            } catch (const EDatabaseError&) {
                // the transaction goes with the connection
            }
            if (!collided(e.code()) || attempt == kAttempts) throw;
        }
        QThread::msleep(10UL * ulong(attempt));
    }
}
