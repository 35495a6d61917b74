#pragma once
// Which machines may call, and where the panel listens: config.ini's [definicao] estacoes and
// endereco.
//
// estacoes: IPv4 addresses (192.168.10.21) and networks in CIDR notation (192.168.10.0/24),
// separated by commas or blanks. Empty: every address may call. An address is written as four
// decimal numbers from 0 to 255 without leading zeros (010 would be read as eight by other tools:
// such an entry is refused rather than guessed); a network's address may have its host bits set
// (192.168.10.7/24 is 192.168.10.0/24). Anything else is an error that names the entry: a typo
// never opens the panel to every address.
//
// endereco: the local IPv4 address to listen on; empty: every address of the machine.

#include <QHash>
#include <QHostAddress>
#include <QString>
#include <vector>

class StationList {
public:
    // Throws EStartupError, in the administrator's words, naming the first entry that cannot be read.
    static StationList parse(const QString& text);

    bool allowsEveryAddress() const { return m_networks.empty(); }
    // An IPv4 address (or one mapped into IPv6) that is listed or in a listed network.
    bool allows(const QHostAddress& address) const;

private:
    struct Network {
        quint32 base;
        quint32 mask;
    };
    std::vector<Network> m_networks;
};

// config.ini's endereco: QHostAddress::AnyIPv4 when empty. Throws EStartupError when it is not an
// IPv4 address. Whether the machine has it is found when the listener switches on.
QHostAddress parseListenAddress(const QString& text);

// The reports of refused connections: at most one per address and reason per hour, so that a
// scanner or a station gone wrong cannot flood the journal. It remembers a bounded number of
// addresses; past that, the longest-remembered one is forgotten.
class RefusalReports {
public:
    static constexpr qint64 kQuietMs = 60 * 60 * 1000;
    static constexpr int kRemembered = 4096;
    // True when a refusal of this address for this reason (a small number) is to be reported now.
    bool shouldReport(const QHostAddress& address, int reason, qint64 nowMs);

private:
    QHash<quint64, qint64> m_lastReport; // address and reason: when it was last reported
};
