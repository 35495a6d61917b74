#include "tools/stationsql.h"

#include "base/codepage.h"
#include "base/errors.h"
#include "db/columns.h"
#include "db/fbclient.h"
#include "db/fbstatus.h"

namespace stationsql {

namespace {

using ExecuteImmediate = decltype(&::isc_dsql_execute_immediate);

ExecuteImmediate executeImmediate(FbClient& client) {
    const auto entry = reinterpret_cast<ExecuteImmediate>(client.resolve("isc_dsql_execute_immediate"));
    if (!entry)
        throw EDatabaseError(QStringLiteral("%1 has no isc_dsql_execute_immediate").arg(client.library()));
    return entry;
}

} // namespace

void execute(FbClient& client, isc_db_handle* db, isc_tr_handle* tr, const QString& sql, int dialect) {
    const QByteArray text = cp1252::encode(sql);
    FbStatus status;
    executeImmediate(client)(status.vector(), db, tr, 0, text.constData(), ushort(dialect), nullptr);
    if (status.failed()) status.raise(client);
}

QVariant scalar(FbClient& client, isc_db_handle* db, isc_tr_handle* tr, const QString& sql, int dialect) {
    isc_stmt_handle statement = 0;
    ResultColumns columns;
    FbStatus status;
    const QByteArray text = cp1252::encode(sql);
    client.dsql_allocate_statement(status.vector(), db, &statement);
    if (!status.failed())
        client.dsql_prepare(status.vector(), tr, &statement, 0, text.constData(), ushort(dialect),
                            columns.sqlda());
    if (!status.failed()) {
        columns.bindBuffers();
        client.dsql_execute(status.vector(), tr, &statement, SQLDA_VERSION1, nullptr);
    }
    ISC_STATUS fetched = 0;
    if (!status.failed())
        fetched = client.dsql_fetch(status.vector(), &statement, SQLDA_VERSION1, columns.sqlda());
    const QVariant value = status.failed() || fetched == 100 ? QVariant() : columns.value(0);
    const FbStatus failure = status;
    FbStatus ignored;
    if (statement) client.dsql_free_statement(ignored.vector(), &statement, DSQL_drop);
    if (failure.failed()) failure.raise(client);
    return value;
}

QString literal(const std::optional<QString>& text) {
    if (!text) return QStringLiteral("NULL");
    QString quoted = *text;
    quoted.replace(QLatin1Char('\''), QLatin1String("''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

} // namespace stationsql
