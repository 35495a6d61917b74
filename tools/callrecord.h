#pragma once
// What a calling station does besides sending the message: it records the call in the clinic's
// calls table GUICHELISTA and commits, before the message goes to the panel, so that the
// panel's re-query after the call lists it.

#include <QString>
#include <QStringList>
#include <optional>

class FbClient;

// The values of one GUICHELISTA row that the station chooses.
struct StationCall {
    int guiche = 0;           // GUICHE: the counter's key in the table GUICHE
    std::optional<int> senha; // SENHA: the ticket number; none: the counter's next one today
    int codigopac = 0;        // CODIGOPAC: the patient's record number
    QString chamou;           // NR_GUICHE_CHAMOU: the list's first column, at most 50 characters
};

// What was written.
struct RecordedCall {
    int indice = 0;
    int senha = 0;
    // GUICHE holds the counter: the panel's list, which joins the two tables, shows the row.
    bool counterKnown = false;
};

// Attaches to the database (host/port:path on a server, or a local file path opened with the
// embedded engine) with the "user_name=" and "password=" lines, inserts one GUICHELISTA row
// with INDICE one above the greatest, DATA = CURRENT_DATE (midnight, as the panel's query
// compares it), STATUS null and DATAUSER2 = CURRENT_TIMESTAMP, commits and detaches. When
// another station takes the same INDICE at the same moment it tries again with the next one.
// Throws EDatabaseError with the client library's text, or with its own text for a
// NR_GUICHE_CHAMOU that is too long or not Windows-1252.
RecordedCall recordCall(FbClient& client, const QString& databaseName, const QStringList& params,
                        const StationCall& call);
