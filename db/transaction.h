#pragma once
// The transaction `TransFatura` in which the calls list is read: started by the first open of
// the list and kept for the whole run, so that no transaction is started or committed per call.
// It is a user of its database connection (released before the connection detaches); the
// destructor commits it.

#include "db/database.h"

#include <QByteArray>
#include <QStringList>
#include <ibase.h>

class Transaction : private ConnectionUser {
public:
    explicit Transaction(Database& database);
    ~Transaction();

    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    Database& database() const { return m_database; }

    // "read_committed", "rec_version", "nowait", "read": each new execution sees what other
    // connections have committed, reads the last committed version of a row being changed
    // without waiting, and a lock conflict fails at once. Read-only: the panel writes nothing,
    // and a read-only read-committed transaction does not hold back the database's oldest
    // active transaction, however long it stays open (a read-write one would keep Firebird from
    // collecting garbage behind it for the whole run, slowing every program of the clinic).
    QStringList& params() { return m_params; }

    // The transaction parameter block: version 3, then one item per line in their order.
    // Throws EDatabaseError for a line that names no transaction parameter.
    static QByteArray parameterBlock(const QStringList& params);

    // Starts it on the connected database; does nothing when active. Throws EDatabaseError
    // with the client library's message lines (a lost connection is dropped first).
    void start();
    bool active() const { return m_handle != 0; }

    // Ends it with a commit (a rollback when the commit fails, as when the connection is
    // gone); the handle is released either way. Reports nothing.
    void end() noexcept;

    isc_tr_handle* handle() { return &m_handle; }

private:
    void connectionClosing() noexcept override { end(); }

    Database& m_database;
    QStringList m_params{QStringLiteral("read_committed"), QStringLiteral("rec_version"),
                         QStringLiteral("nowait"), QStringLiteral("read")};
    isc_tr_handle m_handle = 0;
};
