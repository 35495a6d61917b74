// The panel group's pure parts: the call as panels pass it through the broker, read strictly, and
// config.ini's [grupo].

#include "config/groupsettings.h"
#include "config/xcripto.h"
#include "group/groupmessage.h"
#include "tests/support/tempdir.h"
#include "tools/cripto/credentialencoder.h"

#include <gtest/gtest.h>

namespace {

QByteArray header(const QByteArray& seq = "7", const QByteArray& hora = "1765432100123") {
    return "painel-grupo 1\norigem 5b0e6c2f-3d0a-4a55\nseq " + seq + "\nhora " + hora + "\nestacao 192.168.10.21\n\n";
}

TEST(GroupCall, WhatIsReadBackFromTheTopic) {
    const struct {
        const char* name;
        QByteArray payload;
        const char* error; // part of the reason; nullptr: read as a call
    } cases[] = {
        {"a call", header() + "MD*41ANA SOUTO", nullptr},
        {"a message of the longest length", header() + QByteArray(80, 'A'), nullptr},
        {"blanks and a newline kept as sent", header() + "RE*LUIS\n MOTA ", nullptr},
        {"a message longer than a station sends", header() + QByteArray(81, 'A'), "81 bytes"},
        {"an empty message", header(), "vazia"},
        {"plain text", "MD*41ANA SOUTO", "não é uma chamada"},
        {"nothing", "", "não é uma chamada"},
        {"another version", "painel-grupo 2\n" + header().mid(15) + "X", "não é uma chamada"},
        {"a line left out", "painel-grupo 1\norigem ab\nseq 1\nestacao 1.2.3.4\n\nX", "4 linhas"},
        {"lines out of order", "painel-grupo 1\nseq 1\norigem ab\nhora 1\nestacao 1.2.3.4\n\nX", "origem"},
        {"a count that is not a number", header("-1") + "X", "não é um número"},
        {"a count with a leading zero", header("07") + "X", "não é um número"},
        {"a time too long for 64 bits", header("1", "99999999999999999999") + "X", "não é um número"},
        {"an origin with blanks", "painel-grupo 1\norigem a b\nseq 1\nhora 1\nestacao 1.2.3.4\n\nX", "origem"},
        {"a station with a quote", "painel-grupo 1\norigem ab\nseq 1\nhora 1\nestacao \"x\"\n\nX", "estação"},
        {"oversized", header() + QByteArray(100000, 'A'), "grande demais"},
    };
    for (const auto& c : cases) {
        const GroupCallRead read = decodeGroupCall(c.payload);
        if (!c.error) {
            ASSERT_TRUE(read.call) << c.name << ": " << read.error.toStdString();
            EXPECT_EQ(read.call->message, c.payload.mid(header().size())) << c.name;
            EXPECT_EQ(read.call->seq, 7u) << c.name;
            EXPECT_EQ(read.call->station, "192.168.10.21") << c.name;
        } else {
            EXPECT_FALSE(read.call) << c.name;
            EXPECT_TRUE(read.error.contains(QString::fromUtf8(c.error))) << c.name << ": " << read.error.toStdString();
        }
    }
}

TEST(GroupCall, WrittenAndReadBackUnchanged) {
    GroupCall call;
    call.origin = QStringLiteral("0b541e79-f3c8-469c-9a3f-7d64b2a1c0e9");
    call.seq = 18446744073709551615u;
    call.sentAtMs = 1765432100123;
    call.station = QStringLiteral("10.0.0.254");
    call.message = "03015\xc1LVARO\r\n"; // the bytes as read, Windows-1252
    const GroupCallRead read = decodeGroupCall(encodeGroupCall(call));
    ASSERT_TRUE(read.call) << read.error.toStdString();
    EXPECT_EQ(read.call->origin, call.origin);
    EXPECT_EQ(read.call->seq, call.seq);
    EXPECT_EQ(read.call->sentAtMs, call.sentAtMs);
    EXPECT_EQ(read.call->station, call.station);
    EXPECT_EQ(read.call->message, call.message);
}

TEST(GroupSettings, TheSectionAsWritten) {
    const QString key = QStringLiteral("k3y");
    const auto encoded = [&](const char* plain) { return encodeCredential(plain, key, IniStorage::Unicode).text.toUtf8(); };
    const struct {
        const char* name;
        QByteArray section;
        const char* host; // nullptr: no group
        int port;
        const char* user;
        const char* password;
        int validity;
        const char* error; // part of the error; nullptr: none
    } cases[] = {
        {"no section", "", nullptr, 0, "", "", 0, nullptr},
        {"a broker and a name", "broker=192.168.10.5:1884\nnome=recepcao\n", "192.168.10.5", 1884, "", "", 30, nullptr},
        {"the port left out", "broker=servidor\nnome=sala-2\n", "servidor", 1883, "", "", 30, nullptr},
        {"the port left out, with TLS", "broker=mq.clinica.local\nnome=a\nca=/etc/ca.crt\n", "mq.clinica.local", 8883, "",
         "", 30, nullptr},
        {"a user and password as they stand", "broker=h\nnome=a\nusuario=painel\nsenha=s3gr3do\n", "h", 1883, "painel",
         "s3gr3do", 30, nullptr},
        {"encoded with the database's key",
         "broker=h\nnome=a\ncripto=S\nusuario=" + encoded("painel") + "\nsenha=" + encoded("s3gr3do") + "\n", "h", 1883,
         "painel", "s3gr3do", 30, nullptr},
        {"encoded with a key of its own",
         "broker=h\nnome=a\ncripto=S\nchave=" + encodeCredential(key, QString::fromUtf16(kChaveFixa), IniStorage::Unicode).text.toUtf8() +
             "\nusuario=" + encoded("painel") + "\nsenha=" + encoded("x") + "\n",
         "h", 1883, "painel", "x", 30, nullptr},
        {"a validity", "broker=h\nnome=a\nvalidade=5\n", "h", 1883, "", "", 5, nullptr},
        {"a name and no broker", "nome=a\n", nullptr, 0, "", "", 0, "[grupo] broker \"\""},
        {"a broker and no name", "broker=h\n", nullptr, 0, "", "", 0, "[grupo] nome \"\""},
        {"a port out of range", "broker=h:65536\nnome=a\n", nullptr, 0, "", "", 0, "broker \"h:65536\""},
        {"a port of 0", "broker=h:0\nnome=a\n", nullptr, 0, "", "", 0, "broker"},
        {"a URL", "broker=mqtt://h:1883\nnome=a\n", nullptr, 0, "", "", 0, "broker"},
        {"a name with a topic level", "broker=h\nnome=a/b\n", nullptr, 0, "", "", 0, "nome \"a/b\""},
        {"a name with a wildcard", "broker=h\nnome=#\n", nullptr, 0, "", "", 0, "nome"},
        {"a name with an accent", "broker=h\nnome=recepção\n", nullptr, 0, "", "", 0, "nome"},
        {"a validity of 0", "broker=h\nnome=a\nvalidade=0\n", nullptr, 0, "", "", 0, "validade \"0\""},
        {"a validity that is not a number", "broker=h\nnome=a\nvalidade=30s\n", nullptr, 0, "", "", 0, "validade"},
    };
    for (const auto& c : cases) {
        TestDir dir;
        // Stored as Unicode, as the encoder's output needs.
        const QString text = QStringLiteral("[sgbd]\nusuario=\n[grupo]\n") + QString::fromUtf8(c.section);
        QByteArray bytes("\xFF\xFE", 2);
        bytes.append(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
        const TIniFile ini(dir.write("config.ini", bytes));
        int asked = 0;
        const GroupSettingsRead read = readGroupSettings(ini, [&] {
            ++asked;
            return key;
        });
        EXPECT_LE(asked, 1) << c.name;
        if (c.error) {
            EXPECT_FALSE(read.settings) << c.name;
            EXPECT_TRUE(read.error.contains(QString::fromUtf8(c.error))) << c.name << ": " << read.error.toStdString();
            EXPECT_TRUE(read.error.contains(QStringLiteral("funciona sozinho"))) << c.name;
            continue;
        }
        EXPECT_TRUE(read.error.isEmpty()) << c.name << ": " << read.error.toStdString();
        if (!c.host) {
            EXPECT_FALSE(read.settings) << c.name;
            continue;
        }
        ASSERT_TRUE(read.settings) << c.name;
        EXPECT_EQ(read.settings->host, c.host) << c.name;
        EXPECT_EQ(read.settings->port, c.port) << c.name;
        EXPECT_EQ(read.settings->user, c.user) << c.name;
        EXPECT_EQ(read.settings->password, c.password) << c.name;
        EXPECT_EQ(read.settings->validitySeconds, c.validity) << c.name;
    }
}

} // namespace
