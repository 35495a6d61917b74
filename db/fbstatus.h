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

    // True when the failure means the attachment is of no further use: the lost-connection
    // code; the network errors that Firebird 3 gives instead when a server dies under an open
    // connection or cannot be reached; the attachment shut down by the server (an
    // administrator deleting it from MON$ATTACHMENTS, a database shutdown); an invalid
    // attachment handle; a call aborted at the bound.
    bool connectionLost() const;

    // Makes the status a failure with the one code (a call aborted although it had returned).
    void set(ISC_STATUS code);

    // The client library's message lines for the failure, one per line, without a final full
    // stop. The lines are 8-bit text: UTF-8 where they are valid UTF-8 (file names, which are
    // sent so), otherwise Windows-1252 like every other text the database hands over.
    QString text(const FbClient& client) const;

    // Throws EDatabaseError with text() and code().
    [[noreturn]] void raise(const FbClient& client) const;

private:
    ISC_STATUS_ARRAY m_vector = {};
};
