#include "db/fbclient.h"

#include "base/errors.h"

#include <QFileInfo>
#include <dlfcn.h>

namespace {

EDatabaseError libraryNotFound(const QString& library) {
    return EDatabaseError(
        QStringLiteral("Error reading Fatura.ServerType: InterBase library %1 not found in the "
                       "path. Please install InterBase to use this functionality")
            .arg(QFileInfo(library).fileName()));
}

template <typename F> void bind(void* handle, const char* symbol, F& entry, bool& complete) {
    entry = reinterpret_cast<F>(dlsym(handle, symbol));
    if (!entry) complete = false;
}

} // namespace

QString FbClient::libraryName() {
    const QString chosen = qEnvironmentVariable("PAINEL_FBCLIENT");
    return chosen.isEmpty() ? QString::fromLatin1(kDefaultLibrary) : chosen;
}

FbClient::FbClient() : FbClient(libraryName()) {}

FbClient::FbClient(const QString& library) : m_library(library) {
    // Loaded once and kept: the client library starts threads of its own and must outlive
    // every handle, so it is never closed.
    m_handle = dlopen(library.toLocal8Bit().constData(), RTLD_NOW | RTLD_LOCAL);
    if (!m_handle) throw libraryNotFound(library);
    bool complete = true;
    bind(m_handle, "isc_attach_database", attach_database, complete);
    bind(m_handle, "isc_detach_database", detach_database, complete);
    bind(m_handle, "isc_database_info", database_info, complete);
    bind(m_handle, "isc_start_transaction", start_transaction, complete);
    bind(m_handle, "isc_commit_transaction", commit_transaction, complete);
    bind(m_handle, "isc_rollback_transaction", rollback_transaction, complete);
    bind(m_handle, "isc_dsql_allocate_statement", dsql_allocate_statement, complete);
    bind(m_handle, "isc_dsql_prepare", dsql_prepare, complete);
    bind(m_handle, "isc_dsql_describe", dsql_describe, complete);
    bind(m_handle, "isc_dsql_execute", dsql_execute, complete);
    bind(m_handle, "isc_dsql_fetch", dsql_fetch, complete);
    bind(m_handle, "isc_dsql_free_statement", dsql_free_statement, complete);
    bind(m_handle, "fb_interpret", interpret, complete);
    bind(m_handle, "fb_cancel_operation", cancel_operation, complete);
    // A library without these entry points is not a Firebird client the program can use.
    if (!complete) throw libraryNotFound(library);
}

void* FbClient::resolve(const char* symbol) const {
    return dlsym(m_handle, symbol);
}
