#include "db/database.h"

#include "config/codepage.h"
#include "config/errors.h"
#include "db/fbclient.h"

#include <algorithm>

Database::Database(FbClient& client) : m_client(client) {}

Database::~Database() {
    disconnect();
}

QByteArray Database::parameterBlock(const QStringList& params) {
    static const struct {
        const char* name;
        char item;
    } items[] = {{"user_name", isc_dpb_user_name}, {"password", isc_dpb_password}};
    QByteArray block(1, char(isc_dpb_version1));
    for (const QString& line : params) {
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        const QString name = line.left(eq).trimmed();
        for (const auto& item : items) {
            if (eq < 0 || name.compare(QLatin1String(item.name), Qt::CaseInsensitive) != 0)
                continue;
            const QByteArray text = cp1252::encode(QStringView(line).mid(eq + 1)).left(255);
            block.append(item.item);
            block.append(char(text.size()));
            block.append(text);
        }
    }
    return block;
}

void Database::connect() {
    if (connected()) return;
    if (!m_assigned) throw EDatabaseError(QStringLiteral("Database not assigned"));
    if (m_databaseName.isEmpty()) throw EDatabaseError(QStringLiteral("Database name is missing"));
    const QByteArray dpb = parameterBlock(m_params);
    const QByteArray name = cp1252::encode(m_databaseName);
    FbStatus status;
    m_client.attach_database(status.vector(), short(name.size()), name.constData(), &m_handle,
                             short(dpb.size()), dpb.constData());
    if (status.failed()) {
        m_handle = 0;
        status.raise(m_client);
    }
    const int own = readDialect(status);
    if (status.failed()) {
        const EDatabaseError error(status.text(m_client), status.code());
        disconnect();
        throw error;
    }
    m_dialect = std::min(kDialect, own);
}

int Database::readDialect(FbStatus& status) {
    const char items[] = {isc_info_db_sql_dialect, isc_info_end};
    char reply[32] = {};
    m_client.database_info(status.vector(), &m_handle, short(sizeof items), items,
                           short(sizeof reply), reply);
    if (status.failed() || reply[0] != isc_info_db_sql_dialect) return kDialect;
    // The item, a two-byte little-endian length, then the value in that many bytes.
    const int length = (unsigned char)reply[1] | (unsigned char)reply[2] << 8;
    int value = 0;
    for (int i = 0; i < length && i < 4; ++i)
        value |= (unsigned char)reply[3 + i] << (8 * i);
    return value > 0 ? value : kDialect;
}

void Database::disconnect() noexcept {
    // The newest user first: the statement before the transaction it runs in.
    for (auto it = m_users.rbegin(); it != m_users.rend(); ++it)
        (*it)->connectionClosing();
    if (!connected()) return;
    FbStatus status;
    m_client.detach_database(status.vector(), &m_handle);
    m_handle = 0;
}

void Database::discard() noexcept {
    disconnect();
    m_assigned = false;
}

void Database::raise(const FbStatus& status, const std::function<void()>& otherwise) {
    const EDatabaseError error(status.text(m_client), status.code());
    if (status.connectionLost()) {
        disconnect();
    } else if (otherwise) {
        otherwise();
    }
    throw error;
}

void Database::addUser(ConnectionUser* user) {
    m_users.push_back(user);
}

void Database::removeUser(ConnectionUser* user) {
    std::erase(m_users, user);
}
