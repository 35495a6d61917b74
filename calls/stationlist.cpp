#include "calls/stationlist.h"

#include "base/errors.h"

#include <QRegularExpression>
#include <optional>

namespace {

// Four decimal numbers from 0 to 255, without signs, blanks or leading zeros.
std::optional<quint32> strictIPv4(const QString& text) {
    const QStringList parts = text.split(u'.');
    if (parts.size() != 4) return std::nullopt;
    quint32 value = 0;
    for (const QString& part : parts) {
        if (part.isEmpty() || part.size() > 3 || (part.size() > 1 && part.front() == u'0')) return std::nullopt;
        for (const QChar c : part)
            if (c < u'0' || c > u'9') return std::nullopt;
        const uint n = part.toUInt();
        if (n > 255) return std::nullopt;
        value = value << 8 | n;
    }
    return value;
}

std::optional<quint32> ipv4Of(const QHostAddress& address) {
    bool ok = false;
    const quint32 value = address.toIPv4Address(&ok);
    return ok ? std::optional<quint32>(value) : std::nullopt;
}

} // namespace

StationList StationList::parse(const QString& text) {
    static const QRegularExpression separators(QStringLiteral("[,\\s]+"));
    StationList list;
    for (const QString& entry : text.split(separators, Qt::SkipEmptyParts)) {
        const qsizetype slash = entry.indexOf(u'/');
        const std::optional<quint32> address = strictIPv4(slash < 0 ? entry : entry.left(slash));
        int prefix = 32;
        bool ok = address.has_value();
        if (ok && slash >= 0) {
            const QString bits = entry.mid(slash + 1);
            static const QRegularExpression number(QStringLiteral("^(0|[1-9][0-9]?)$"));
            ok = number.match(bits).hasMatch() && bits.toInt() <= 32;
            if (ok) prefix = bits.toInt();
        }
        if (!ok)
            throw EStartupError(QStringLiteral(
                "O config.ini tem em [definicao] estacoes a entrada \"%1\", que não é um endereço IPv4 "
                "(como 192.168.10.21) nem uma rede (como 192.168.10.0/24): corrija a entrada; até lá o "
                "painel não atende nenhuma estação")
                                    .arg(entry));
        const quint32 mask = prefix == 0 ? 0 : ~quint32(0) << (32 - prefix);
        list.m_networks.push_back({*address & mask, mask});
    }
    return list;
}

bool StationList::allows(const QHostAddress& address) const {
    if (allowsEveryAddress()) return true;
    const std::optional<quint32> value = ipv4Of(address);
    if (!value) return false;
    for (const Network& n : m_networks)
        if ((*value & n.mask) == n.base) return true;
    return false;
}

QHostAddress parseListenAddress(const QString& text) {
    const QString value = text.trimmed();
    if (value.isEmpty()) return QHostAddress::AnyIPv4;
    const std::optional<quint32> address = strictIPv4(value);
    if (!address)
        throw EStartupError(QStringLiteral(
            "O config.ini tem em [definicao] endereco \"%1\", que não é um endereço IPv4 (como "
            "192.168.10.5): informe um endereço desta máquina, ou deixe a entrada vazia para escutar "
            "em todos")
                                .arg(value));
    return QHostAddress(*address);
}

bool RefusalReports::shouldReport(const QHostAddress& address, int reason, qint64 nowMs) {
    const quint64 key = quint64(ipv4Of(address).value_or(0)) << 8 | quint64(reason & 0xff);
    const auto found = m_lastReport.constFind(key);
    if (found != m_lastReport.constEnd() && nowMs - *found < kQuietMs) return false;
    if (found == m_lastReport.constEnd() && m_lastReport.size() >= kRemembered) {
        auto oldest = m_lastReport.begin();
        for (auto it = m_lastReport.begin(); it != m_lastReport.end(); ++it)
            if (*it < *oldest) oldest = it;
        m_lastReport.erase(oldest);
    }
    m_lastReport.insert(key, nowMs);
    return true;
}
