#pragma once
// Firebird for the database tests and benchmarks: the client library loaded under a private
// root, the test server started by fbserver.sh, and a connection of the test's own that
// creates databases and writes rows as the clinic's calling stations would.

#include <QString>
#include <QStringList>
#include <QVariant>
#include <ibase.h>
#include <optional>

class FbClient;

// The client library, loaded once per process. On the first call the process gets a private
// Firebird root (FIREBIRD) whose firebird.conf sets ServerMode = SuperClassic, so that other
// processes (isql-fb) can open the same database files embedded, and a lock folder of its own
// (FIREBIRD_LOCK), so that the tests also run without root rights.
FbClient& testClient();

// The folder of the project's sources (for db/schema.sql and tests/support/fbserver.sh).
QString sourceDir();

// A running Firebird server on loopback.
struct FbServer {
    int port = 0;
    QString root;
    QString password; // SYSDBA's

    // The database name that reaches a file of this machine through the server.
    QString databaseName(const QString& path) const;
    QStringList params() const;
};

// The server that tools/test.sh started for the whole run (PAINEL_FB_SERVER_PORT, _ROOT and
// _PASSWORD); none when the tests run without it.
std::optional<FbServer> sharedServer();

// A server of the caller's own in the folder `root`, for a test that stops and restarts it.
// Starting it again reuses its port and password. The destructor stops it.
class OwnServer {
public:
    explicit OwnServer(QString root) : m_root(std::move(root)) {}
    ~OwnServer();
    OwnServer(const OwnServer&) = delete;
    OwnServer& operator=(const OwnServer&) = delete;

    FbServer start();
    void stop();

private:
    QString run(const QString& command);
    QString m_root;
};

// Embedded access with the user SYSDBA (the engine ignores the password).
QStringList embeddedParams();

// A call row of GUICHELISTA. DATA is the server's CURRENT_DATE moved by `day` days, at
// `secondsIntoDay` past midnight; DATAUSER2 is today's midnight plus `order` seconds.
struct CallRow {
    int indice = 0;
    int codigopac = 0;
    int day = 0;
    int secondsIntoDay = 0;
    int guiche = 0;
    int senha = 0;
    std::optional<QString> status = std::nullopt;
    std::optional<QString> chamou = std::nullopt;
    int order = 0;
};

// A connection of the test's own, with SQL sent as Windows-1252 text. Failures throw
// EDatabaseError with the client library's text.
class FbSession {
public:
    // Attaches to an existing database.
    FbSession(const QString& name, const QStringList& params);
    // Creates the database file (fails when it exists) and stays attached to it.
    static FbSession create(const QString& name, const QStringList& params, int dialect = 3);
    ~FbSession();
    FbSession(FbSession&& other) noexcept;
    FbSession(const FbSession&) = delete;
    FbSession& operator=(const FbSession&) = delete;

    // Runs a statement: inside the open transaction after begin(), otherwise in one of its own
    // that is committed at once.
    void execute(const QString& sql);
    void begin();
    void commit();
    void rollback();

    // Runs a script whose statements end with ";" at the end of a line ("--" comments).
    void runScript(const QString& text);
    // The tables of db/schema.sql.
    void createSchema();

    // A counter of GUICHE; a missing short name is stored as null.
    void addCounter(int indice, const QString& nome, const std::optional<QString>& apelido);
    void addCall(const CallRow& call);

    // The first column of the first row of a query (null when it returns none).
    QVariant scalar(const QString& sql);

    // Detaches now (the destructor does it otherwise).
    void detach();

private:
    FbSession() = default;
    void execute(const QString& sql, isc_tr_handle* transaction, int dialect);

    isc_db_handle m_db = 0;
    isc_tr_handle m_tr = 0;
    int m_dialect = 3;
};

// A text as an SQL string literal, or NULL.
QString sqlText(const std::optional<QString>& text);
