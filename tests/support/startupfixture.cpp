#include "tests/support/startupfixture.h"

#include "tests/support/firebird.h"
#include "tests/support/freeport.h"
#include "tests/support/qtapp.h"

#include <QDir>

void StartupFixture::SetUp() {
    ensureApp();
    testClient();
    database = exeDir.file(QStringLiteral("calls.fdb"));
    FbSession::create(database, embeddedParams()).createSchema();
    port = freeTcpPort();
    m_oldCwd = QDir::currentPath();
    QDir::setCurrent(workDir.path());
}

void StartupFixture::TearDown() {
    window.reset();
    QDir::setCurrent(m_oldCwd);
}

QByteArray StartupFixture::iniWithDatabase(const QByteArray& extra) const {
    return "[sgbd]\r\nfatura=" + database.toUtf8() + "\r\n" + extra;
}

QByteArray StartupFixture::configServer(const QByteArray& sound, const QByteArray& voice) const {
    return QByteArray::number(port) + "\r\n1\r\n" + sound + "\r\n" + voice + "\r\n";
}

void StartupFixture::writeIniUtf16(const QString& text) {
    QByteArray bytes("\xFF\xFE", 2);
    for (QChar c : text) {
        bytes.append(char(c.unicode() & 0xFF));
        bytes.append(char(c.unicode() >> 8));
    }
    writeIni(bytes);
}

void StartupFixture::startUp() {
    PrincipalEnvironment env;
    env.exeDir = exeDir.path();
    env.errors = &report;
    env.voiceFactory = fakeVoiceFactory(voice);
    env.askKey = [this] {
        ++keyPrompts;
        return keyTyped;
    };
    window = std::make_unique<TPrincipal>(env);
    window->FormCreate();
}
