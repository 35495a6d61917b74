#pragma once
// Statements that a calling station runs on the clinic's database, through the client library
// that the panel loads too (db/fbclient.h). The panel itself only reads; these are for the
// calling-station tool and for the tests, which write calls as the clinic's stations do.
//
// SQL goes to the server as Windows-1252 text, the code page of the database's text.

#include <QString>
#include <QVariant>
#include <ibase.h>
#include <optional>

class FbClient;

namespace stationsql {

// Runs one statement that returns no rows (INSERT, CREATE DATABASE, CREATE TABLE ...) in the
// transaction. CREATE DATABASE takes a null database handle and leaves it attached. Throws
// EDatabaseError with the client library's message lines and the first error code.
void execute(FbClient& client, isc_db_handle* db, isc_tr_handle* tr, const QString& sql, int dialect);

// The first column of the first row of a query, null when it returns no row (or a null).
// Throws EDatabaseError as execute() does.
QVariant scalar(FbClient& client, isc_db_handle* db, isc_tr_handle* tr, const QString& sql, int dialect);

// A text as an SQL string literal (quotes doubled), or NULL for none.
QString literal(const std::optional<QString>& text);

} // namespace stationsql
