#include "db/transaction.h"

#include "base/errors.h"
#include "db/fbclient.h"

#include <algorithm>

Transaction::Transaction(Database& database) : m_database(database) {
    m_database.addUser(this);
}

Transaction::~Transaction() {
    end();
    m_database.removeUser(this);
}

QByteArray Transaction::parameterBlock(const QStringList& params) {
    static const struct {
        const char* name;
        char item;
    } items[] = {
        {"read_committed", isc_tpb_read_committed},
        {"rec_version", isc_tpb_rec_version},
        {"no_rec_version", isc_tpb_no_rec_version},
        {"nowait", isc_tpb_nowait},
        {"wait", isc_tpb_wait},
        {"read", isc_tpb_read},
        {"write", isc_tpb_write},
        {"concurrency", isc_tpb_concurrency},
        {"consistency", isc_tpb_consistency},
    };
    QByteArray block(1, char(isc_tpb_version3));
    for (const QString& line : params) {
        const QString name = line.trimmed();
        const auto* found = std::find_if(std::begin(items), std::end(items), [&](const auto& i) {
            return name.compare(QLatin1String(i.name), Qt::CaseInsensitive) == 0;
        });
        if (found == std::end(items))
            throw EDatabaseError(QStringLiteral("Invalid transaction parameter %1").arg(line));
        block.append(found->item);
    }
    return block;
}

void Transaction::start() {
    if (active()) return;
    const QByteArray tpb = parameterBlock(m_params);
    FbStatus status;
    m_database.call(status, [&] {
        m_database.client().start_transaction(status.vector(), &m_handle, short(1), m_database.handle(),
                                              int(tpb.size()), tpb.constData());
    });
    if (status.failed()) {
        m_handle = 0;
        m_database.raise(status);
    }
}

void Transaction::end() noexcept {
    if (!active()) return;
    FbClient& client = m_database.client();
    FbStatus status;
    m_database.call(status, [&] { client.commit_transaction(status.vector(), &m_handle); });
    if (status.failed()) m_database.call(status, [&] { client.rollback_transaction(status.vector(), &m_handle); });
    m_handle = 0;
}
