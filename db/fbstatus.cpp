#include "db/fbstatus.h"

#include "base/codepage.h"
#include "base/errors.h"
#include "db/fbclient.h"

#include <QStringList>

bool FbStatus::has(ISC_STATUS code) const {
    int i = 0;
    while (i + 1 < ISC_STATUS_LENGTH && m_vector[i] != isc_arg_end) {
        const ISC_STATUS kind = m_vector[i];
        if ((kind == isc_arg_gds || kind == isc_arg_warning) && m_vector[i + 1] == code)
            return true;
        i += kind == isc_arg_cstring ? 3 : 2;
    }
    return false;
}

bool FbStatus::connectionLost() const {
    static constexpr ISC_STATUS kUnusable[] = {
        isc_lost_db_connection, isc_network_error, isc_net_read_err,  isc_net_write_err,
        isc_conn_lost,          isc_att_shutdown,  isc_shutdown,      isc_shutinprog,
        isc_bad_db_handle,      isc_cancelled,     isc_net_server_shutdown,
    };
    if (!failed()) return false;
    for (ISC_STATUS code : kUnusable)
        if (has(code)) return true;
    return false;
}

void FbStatus::set(ISC_STATUS code) {
    m_vector[0] = isc_arg_gds;
    m_vector[1] = code;
    m_vector[2] = isc_arg_end;
}

QString FbStatus::text(const FbClient& client) const {
    QStringList lines;
    const ISC_STATUS* cursor = m_vector;
    char line[1024];
    while (client.interpret(line, sizeof line, &cursor) > 0) {
        lines << cp1252::decodeUtf8OrCodePage(QByteArray(line));
    }
    QString text = lines.join(QLatin1Char('\n'));
    if (text.endsWith(QLatin1Char('.'))) text.chop(1);
    return text;
}

void FbStatus::raise(const FbClient& client) const {
    throw EDatabaseError(text(client), code());
}
