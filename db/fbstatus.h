#pragma once
// The status vector that every client library call fills, and the error it turns into.

#include <QString>
#include <ibase.h>

class FbClient;

class FbStatus {
public:
    // The vector to hand to a client library call.
    ISC_STATUS* vector() { return m_vector; }

    // True when the last call that filled it failed (warnings alone do not count).
    bool failed() const { return m_vector[0] == isc_arg_gds && m_vector[1] != 0; }

    // The first error code, 0 when the call succeeded.
    long code() const { return failed() ? long(m_vector[1]) : 0; }

    // True when the error codes include the given one.
    bool has(ISC_STATUS code) const;

    // True when the failure means the connection to the server is gone: the lost-connection
    // code, or the network read, write and connect errors that Firebird 3 gives instead when a
    // server dies under an open connection or cannot be reached.
    bool connectionLost() const;

    // The client library's message lines for the failure, one per line, without a final full
    // stop; Windows-1252 text like every 8-bit text the database hands over.
    QString text(const FbClient& client) const;

    // Throws EDatabaseError with text() and code().
    [[noreturn]] void raise(const FbClient& client) const;

private:
    ISC_STATUS_ARRAY m_vector = {};
};
