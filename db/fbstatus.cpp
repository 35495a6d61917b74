#include "db/fbstatus.h"

#include "config/codepage.h"
#include "config/errors.h"
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
    return failed() && (has(isc_lost_db_connection) || has(isc_network_error) ||
                        has(isc_net_read_err) || has(isc_net_write_err));
}

QString FbStatus::text(const FbClient& client) const {
    QStringList lines;
    const ISC_STATUS* cursor = m_vector;
    char line[1024];
    while (client.interpret(line, sizeof line, &cursor) > 0)
        lines << cp1252::decode(line);
    QString text = lines.join(QLatin1Char('\n'));
    if (text.endsWith(QLatin1Char('.'))) text.chop(1);
    return text;
}

void FbStatus::raise(const FbClient& client) const {
    throw EDatabaseError(text(client), code());
}
