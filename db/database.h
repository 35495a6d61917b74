#pragma once
// The database connection `Fatura`: the clinic's Firebird database, attached with a user name
// and password and held for the whole run. It is built on a loaded client library, which must
// outlive it; the objects that hold handles tied to it (a transaction, a statement) register as
// its users and are told to release them before it detaches. After discard() every open fails
// with "Database not assigned". The destructor detaches.

#include "base/errors.h"
#include "db/boundedattach.h"
#include "db/callwatchdog.h"
#include "db/fbstatus.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <chrono>
#include <functional>
#include <optional>
#include <ibase.h>
#include <vector>

class FbClient;

// The database did not answer a call a moment ago and still does not: the list is left as it is
// and tried again at the next re-query. Its outage was reported when it began.
class EDatabaseUnanswered : public EDatabaseError {
    using EDatabaseError::EDatabaseError;
};

// Something that holds client handles tied to the connection (the transaction, the query's
// statement). Told before the connection is detached, so that it releases them first.
class ConnectionUser {
public:
    // Releases every handle tied to the connection; reports nothing and never throws.
    virtual void connectionClosing() noexcept = 0;

protected:
    ~ConnectionUser() = default;
};

class Database {
public:
    // The built-in database name: fatura.FDB on the clinic network's database server, port 3050.
    static constexpr const char* kDefaultDatabaseName = "servidor/3050:/dados/fatura.FDB";
    // The SQL dialect asked for; lowered after connecting to a database of a lower dialect.
    static constexpr int kDialect = 3;

    explicit Database(FbClient& client);
    ~Database();

    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    FbClient& client() const { return m_client; }

    // host/port:path for a database on a server, or a local file path, which opens the file
    // with the embedded engine in this process.
    const QString& databaseName() const { return m_databaseName; }
    void setDatabaseName(const QString& name) { m_databaseName = name; }

    // Two lines: "user_name=..." and "password=...". Built in: "user_name=sysdba",
    // "password=tavelo37".
    QStringList& params() { return m_params; }
    const QStringList& params() const { return m_params; }

    // The database parameter block for the lines: version 1, then the user name and the
    // password in the order of the lines, each as a length byte and Windows-1252 text (at most
    // 255 bytes of it). Lines of any other name add nothing.
    static QByteArray parameterBlock(const QStringList& params);
    // What the attach sends: the block of the lines, then the connect time-out (the bound,
    // in whole seconds) and the mark that the database name is UTF-8 text, so that a server
    // finds a path such as "/dados/Clínica/fatura.FDB" on its own file system.
    QByteArray attachBlock() const;

    // The longest that one client library call may hold the window's thread. Past it the call
    // is abandoned, the connection dropped as if lost, and the next open attaches again.
    std::chrono::milliseconds timeout() const { return m_timeout; }
    void setTimeout(std::chrono::milliseconds timeout) { m_timeout = timeout; }
    // 5 seconds, or the whole seconds of PAINEL_DB_TIMEOUT (1 to 60; another value is
    // reported on standard error and the default used).
    static std::chrono::milliseconds defaultTimeout();
    // The error of a call that took longer than the bound.
    EDatabaseError timeoutError() const;

    // Once a call has been abandoned at the bound, the server is taken as not answering until an
    // attach succeeds again: the attach goes on in the background, and each open waits for it
    // at most kRetryWait, failing with EDatabaseUnanswered meanwhile (also when that attach gives
    // up: the outage was reported when it began). So a hung server costs the list, not the
    // calls: they are not held the whole bound again one after the other.
    static constexpr std::chrono::milliseconds kRetryWait{250};
    bool unanswered() const { return m_unanswered; }

    // One piece of work (a re-query: close, attach, prepare, execute, fetch) within one bound:
    // while a Deadline lives, every call has at most the time left of it, so that a slow server
    // that answers each call just within the bound cannot hold the thread several bounds.
    class Deadline {
    public:
        explicit Deadline(Database& database);
        ~Deadline();
        Deadline(const Deadline&) = delete;
        Deadline& operator=(const Deadline&) = delete;

    private:
        Database& m_database;
        bool m_outer;
    };

    // Attaches and reads the database's dialect. Does nothing when connected. Throws
    // EDatabaseError: "Database name is missing", "Database not assigned" after discard(),
    // the client library's message lines when the attach fails, or timeoutError().
    void connect();
    bool connected() const { return m_handle != 0; }

    // The dialect statements are prepared in: 3, or the database's own when lower.
    int dialect() const { return m_dialect; }

    // Releases the transaction and the statement (they are told first), then detaches.
    // Failures are not reported: this is the end of the connection either way.
    void disconnect() noexcept;

    // Start-up found no database path: the connection is released and is no longer assigned
    // to the calls list.
    void discard() noexcept;
    bool assigned() const { return m_assigned; }

    // Makes one client library call on the connection (clientCall fills status), bounded by
    // timeout(): past it the call is aborted and status says so.
    void call(FbStatus& status, const std::function<void()>& clientCall);

    // Throws the failure described by the status. A lost connection is dropped first
    // (disconnect()), so that the next open connects again with the same name and lines; any
    // other failure runs `otherwise` first, when given. After a call past the bound the error
    // is timeoutError() and the connection is dropped.
    [[noreturn]] void raise(const FbStatus& status, const std::function<void()>& otherwise = {});

    isc_db_handle* handle() { return &m_handle; }

    void addUser(ConnectionUser* user);
    void removeUser(ConnectionUser* user);

private:
    using Clock = CallWatchdog::Clock;
    // The time a call may take from now: the bound, or less when a Deadline is nearer.
    Clock::time_point callDeadline() const;
    int readDialect(FbStatus& status);
    // One round trip on the attachment: false (status filled) when it fails.
    bool probe(FbStatus& status);

    FbClient& m_client;
    QString m_databaseName = QString::fromLatin1(kDefaultDatabaseName);
    QStringList m_params{QStringLiteral("user_name=sysdba"), QStringLiteral("password=tavelo37")};
    isc_db_handle m_handle = 0;
    int m_dialect = kDialect;
    std::chrono::milliseconds m_timeout = defaultTimeout();
    bool m_aborted = false; // a call was aborted at the bound: the connection is of no use
    bool m_unanswered = false; // abandoned at the bound, not attached again since
    std::optional<Clock::time_point> m_workDeadline;
    BoundedAttach m_attach;
    CallWatchdog m_watchdog;
    bool m_assigned = true;
    std::vector<ConnectionUser*> m_users;
};
