// Which addresses may call ([definicao] estacoes), where the panel listens ([definicao] endereco),
// and how often a refusal is reported.

#include "calls/stationlist.h"
#include "base/errors.h"

#include <gtest/gtest.h>

namespace {

TEST(StationList, EntriesMatchTheirAddressesAndNetworks) {
    const struct {
        const char* estacoes;
        const char* address;
        bool allowed;
    } cases[] = {
        {"", "10.1.2.3", true}, // no list: every address, as a panel without the key
        {"  , ", "10.1.2.3", true},
        {"192.168.10.21", "192.168.10.21", true},
        {"192.168.10.21", "192.168.10.22", false},
        {"192.168.10.0/24", "192.168.10.255", true},
        {"192.168.10.0/24", "192.168.11.0", false},
        {"192.168.10.7/24", "192.168.10.200", true}, // host bits of a network are left out
        {"10.0.0.0/8 192.168.10.21", "10.255.0.1", true},
        {"10.0.0.0/8,192.168.10.21", "192.168.10.21", true},
        {"10.0.0.0/8,\t192.168.10.21,", "192.168.10.20", false},
        {"0.0.0.0/0", "203.0.113.9", true},
        {"192.168.10.21/32", "192.168.10.21", true},
        {"192.168.10.21", "::ffff:192.168.10.21", true}, // IPv4 mapped into IPv6
        {"192.168.10.21", "fe80::1", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.estacoes) + " / " + c.address);
        EXPECT_EQ(StationList::parse(QString::fromLatin1(c.estacoes)).allows(QHostAddress(QString::fromLatin1(c.address))),
                  c.allowed);
    }
}

TEST(StationList, AnEntryThatCannotBeReadIsAnErrorThatNamesIt) {
    for (const char* bad : {"192.168.10", "192.168.10.256", "192.168.010.5", "192.168.10.0/33", "192.168.10.0/",
                            "192.168.10.0/024", "clinica.local", "192.168.10.0-192.168.10.9", "192.168.10.21;10.0.0.1",
                            "-1.2.3.4", "1.2.3.4/+8", "１.2.3.4"}) {
        SCOPED_TRACE(bad);
        const QString entry = QString::fromUtf8(bad);
        try {
            StationList::parse(QStringLiteral("10.0.0.1, ") + entry);
            ADD_FAILURE() << "accepted";
        } catch (const EStartupError& e) {
            EXPECT_TRUE(e.text().startsWith(QStringLiteral("O config.ini tem em [definicao] estacoes a entrada \"%1\",").arg(entry)))
                << e.text().toStdString();
        }
    }
}

TEST(StationList, TheListenAddressIsEveryAddressOrOneIPv4Address) {
    EXPECT_EQ(parseListenAddress(QString()), QHostAddress(QHostAddress::AnyIPv4));
    EXPECT_EQ(parseListenAddress(QStringLiteral(" 192.168.10.5 ")), QHostAddress(QStringLiteral("192.168.10.5")));
    for (const char* bad : {"painel", "192.168.10.0/24", "::1", "192.168.10.5 10.0.0.1"}) {
        SCOPED_TRACE(bad);
        EXPECT_THROW(parseListenAddress(QString::fromLatin1(bad)), EStartupError);
    }
}

TEST(RefusalReports, OncePerAddressAndReasonEachHour) {
    RefusalReports reports;
    const QHostAddress a(QStringLiteral("10.0.0.5")), b(QStringLiteral("10.0.0.6"));
    int reported = 0;
    for (int i = 0; i < 1000; ++i) reported += reports.shouldReport(a, 1, i * 1000);
    EXPECT_EQ(reported, 1);
    EXPECT_TRUE(reports.shouldReport(b, 1, 1000));
    EXPECT_TRUE(reports.shouldReport(a, 2, 1000));
    EXPECT_FALSE(reports.shouldReport(a, 1, RefusalReports::kQuietMs - 1));
    EXPECT_TRUE(reports.shouldReport(a, 1, RefusalReports::kQuietMs));
    // A scan of more addresses than it remembers: the longest remembered are forgotten (and would
    // be reported again), the others not.
    const qint64 t = RefusalReports::kQuietMs;
    for (quint32 i = 0; i < quint32(RefusalReports::kRemembered); ++i) reports.shouldReport(QHostAddress(0x0b000000 + i), 1, t + 1 + i);
    EXPECT_FALSE(reports.shouldReport(QHostAddress(0x0b000000 + 4000), 1, t + 5000));
    EXPECT_TRUE(reports.shouldReport(a, 1, t + 5000));
}

} // namespace
