#pragma once
// The Firebird client library, loaded at run time.
//
// The program does not link libfbclient: the main window loads it while it builds its database
// connection `Fatura`, so that a machine without the client gets the program's own error
// instead of a loader failure. Build one FbClient before the connection and keep it for the
// whole run (the library is never unloaded):
//
//     FbClient client;                      // throws EDatabaseError when the library is missing
//     Database Fatura(client);
//
// The entry points are the legacy ISC C API of <ibase.h>, used here for its types and
// constants only. PAINEL_FBCLIENT, when set and not empty, names another library to load instead
// of libfbclient.so.2, by file name or full path (tests use it to make loading fail).

#include <QString>
#include <ibase.h>

class FbClient {
public:
    // The library file loaded when PAINEL_FBCLIENT does not name another.
    static constexpr const char* kDefaultLibrary = "libfbclient.so.2";

    // The library file that the default constructor loads.
    static QString libraryName();

    // Loads the library and resolves every entry point listed below. When the library cannot
    // be loaded, or lacks one of them, throws EDatabaseError naming the connection `Fatura` and
    // the library's file name (without its folder):
    // "Error reading Fatura.ServerType: InterBase library libfbclient.so.2 not found in the
    // path. Please install InterBase to use this functionality".
    FbClient();
    explicit FbClient(const QString& library);

    FbClient(const FbClient&) = delete;
    FbClient& operator=(const FbClient&) = delete;

    // The file name that was loaded.
    const QString& library() const { return m_library; }

    // Looks up any other entry point of the loaded library; null when it has none.
    void* resolve(const char* symbol) const;

    decltype(&::isc_attach_database) attach_database = nullptr;
    decltype(&::isc_detach_database) detach_database = nullptr;
    decltype(&::isc_database_info) database_info = nullptr;
    decltype(&::isc_start_transaction) start_transaction = nullptr;
    decltype(&::isc_commit_transaction) commit_transaction = nullptr;
    decltype(&::isc_rollback_transaction) rollback_transaction = nullptr;
    decltype(&::isc_dsql_allocate_statement) dsql_allocate_statement = nullptr;
    decltype(&::isc_dsql_prepare) dsql_prepare = nullptr;
    decltype(&::isc_dsql_describe) dsql_describe = nullptr;
    decltype(&::isc_dsql_execute) dsql_execute = nullptr;
    decltype(&::isc_dsql_fetch) dsql_fetch = nullptr;
    decltype(&::isc_dsql_free_statement) dsql_free_statement = nullptr;
    decltype(&::fb_interpret) interpret = nullptr;
    decltype(&::fb_cancel_operation) cancel_operation = nullptr;

private:
    QString m_library;
    void* m_handle = nullptr;
};
