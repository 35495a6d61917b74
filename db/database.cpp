#include "db/database.h"

#include "base/codepage.h"
#include "base/errors.h"
#include "db/fbclient.h"

#include <algorithm>
#include <cstdio>

Database::Database(FbClient& client) : m_client(client), m_attach(client), m_watchdog(client) {}

std::chrono::milliseconds Database::defaultTimeout() {
    constexpr int kDefaultSeconds = 5;
    const QString text = qEnvironmentVariable("PAINEL_DB_TIMEOUT");
    if (text.isEmpty()) return std::chrono::seconds(kDefaultSeconds);
    bool ok = false;
    const int seconds = text.toInt(&ok);
    if (ok && seconds >= 1 && seconds <= 60) return std::chrono::seconds(seconds);
    static bool told = false;
    if (!std::exchange(told, true))
        std::fprintf(stderr, "painel: PAINEL_DB_TIMEOUT=%s não é um número de segundos de 1 a 60; "
                             "vale o padrão, %d segundos\n",
                     text.toLocal8Bit().constData(), kDefaultSeconds);
    return std::chrono::seconds(kDefaultSeconds);
}

EDatabaseError Database::timeoutError() const {
    const auto seconds = std::chrono::ceil<std::chrono::seconds>(m_timeout).count();
    return EDatabaseError(QStringLiteral("O banco de dados não respondeu em %1 segundos: a conexão foi "
                                         "desfeita e será refeita na próxima leitura da lista")
                              .arg(seconds),
                          isc_cancelled);
}

Database::Deadline::Deadline(Database& database)
    : m_database(database), m_outer(!database.m_workDeadline) {
    if (m_outer) m_database.m_workDeadline = Clock::now() + m_database.m_timeout;
}

Database::Deadline::~Deadline() {
    if (m_outer) m_database.m_workDeadline.reset();
}

Database::Clock::time_point Database::callDeadline() const {
    const Clock::time_point own = Clock::now() + m_timeout;
    return m_workDeadline ? std::min(own, *m_workDeadline) : own;
}

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

QByteArray Database::attachBlock() const {
    QByteArray block = parameterBlock(m_params);
    const auto seconds = std::chrono::ceil<std::chrono::seconds>(m_timeout).count();
    const quint32 value = quint32(std::max<long long>(1, seconds));
    block.append(char(isc_dpb_connect_timeout));
    block.append(char(4));
    for (int i = 0; i < 4; ++i) block.append(char((value >> (8 * i)) & 0xFF));
    block.append(char(isc_dpb_utf8_filename));
    block.append(char(0));
    return block;
}

void Database::connect() {
    if (connected()) return;
    if (!m_assigned) throw EDatabaseError(QStringLiteral("Database not assigned"));
    if (m_databaseName.isEmpty()) throw EDatabaseError(QStringLiteral("Database name is missing"));
    auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(callDeadline() - Clock::now());
    if (m_unanswered) wait = std::min(wait, kRetryWait);
    const BoundedAttach::Result attached =
        m_attach.attach(m_databaseName.toUtf8(), attachBlock(), std::max(wait, std::chrono::milliseconds(0)));
    if (attached.timedOut) {
        if (m_unanswered) throw EDatabaseUnanswered(timeoutError().text(), isc_cancelled);
        m_unanswered = true;
        throw timeoutError();
    }
    if (attached.status.failed()) {
        // While the outage lasts its failures are not told again, each attach that gives up.
        if (m_unanswered) throw EDatabaseUnanswered(attached.status.text(m_client), attached.status.code());
        attached.status.raise(m_client);
    }
    m_handle = attached.handle;
    m_aborted = false;
    m_unanswered = false;
    FbStatus status;
    const int own = readDialect(status);
    if (status.failed()) {
        const EDatabaseError error = m_aborted ? timeoutError() : EDatabaseError(status.text(m_client), status.code());
        disconnect();
        throw error;
    }
    m_dialect = std::min(kDialect, own);
}

int Database::readDialect(FbStatus& status) {
    const char items[] = {isc_info_db_sql_dialect, isc_info_end};
    char reply[32] = {};
    call(status, [&] {
        m_client.database_info(status.vector(), &m_handle, short(sizeof items), items, short(sizeof reply), reply);
    });
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
    call(status, [&] { m_client.detach_database(status.vector(), &m_handle); });
    m_handle = 0;
    m_aborted = false;
}

void Database::discard() noexcept {
    disconnect();
    m_assigned = false;
}

void Database::call(FbStatus& status, const std::function<void()>& clientCall) {
    if (!m_handle) {
        clientCall();
        return;
    }
    m_watchdog.arm(m_handle, callDeadline());
    clientCall();
    if (m_watchdog.disarm()) {
        m_aborted = true;
        m_unanswered = true;
        if (!status.failed()) status.set(isc_cancelled);
    }
}

bool Database::probe(FbStatus& status) {
    const char items[] = {isc_info_attachment_id, isc_info_end};
    char reply[16] = {};
    call(status, [&] {
        m_client.database_info(status.vector(), &m_handle, short(sizeof items), items, short(sizeof reply), reply);
    });
    return !status.failed();
}

void Database::raise(const FbStatus& failure, const std::function<void()>& otherwise) {
    // A failure that names no lost connection may still come from an attachment the server has
    // ended (a statement's state then goes wrong first: "Attempt to reopen an open cursor"):
    // one round trip tells, and then the server's own reason is the error.
    FbStatus status = failure;
    if (!m_aborted && !status.connectionLost() && connected()) {
        FbStatus probed;
        if (!probe(probed) && (m_aborted || probed.connectionLost())) status = probed;
    }
    const EDatabaseError error = m_aborted ? timeoutError() : EDatabaseError(status.text(m_client), status.code());
    if (m_aborted || status.connectionLost()) {
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
