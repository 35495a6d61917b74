#include "tests/support/cyclefixture.h"

#include "base/codepage.h"
#include "calls/listener.h"
#include "tests/support/firebird.h"

#include <QDir>

namespace {

QString param(const QStringList& params, const QString& name) {
    for (const QString& line : params)
        if (line.startsWith(name + u'=')) return line.mid(name.size() + 1);
    return {};
}

} // namespace

void CycleFixture::startPanel(const QStringList& configLines) {
    stopPanel();
    voice = VoiceLog{};
    report.errors.clear();
    testClient(); // the private Firebird root, before the window loads the client
    if (m_database.isEmpty()) {
        m_database = dir.file(QStringLiteral("calls.fdb"));
        m_params = embeddedParams();
        FbSession::create(m_database, m_params).createSchema();
    }
    // Set up as an administrator would: config.ini beside the executable, configserver.txt in the
    // working directory, and start-up reads them.
    dir.write(QStringLiteral("config.ini"),
              "[sgbd]\r\nusuario=" + cp1252::encode(param(m_params, QStringLiteral("user_name"))) +
                  "\r\nsenha=" + cp1252::encode(param(m_params, QStringLiteral("password"))) +
                  "\r\nfatura=" + cp1252::encode(m_database) + "\r\n" + iniExtra);
    const QString work = dir.file(QStringLiteral("work"));
    QDir().mkpath(work);
    dir.write(QStringLiteral("work/configserver.txt"), cp1252::encode(configLines.join(QStringLiteral("\r\n"))));
    PrincipalEnvironment env;
    env.exeDir = dir.path();
    env.errors = m_messageBoxes ? nullptr : &report;
    env.voiceFactory = fakeVoiceFactory(voice);
    if (pause) env.pause = pause;
    window = std::make_unique<TPrincipal>(env);
    const QString cwd = QDir::currentPath();
    QDir::setCurrent(work);
    window->FormCreate();
    QDir::setCurrent(cwd);
    // Line 1 says port 0: the listener took a free port, which its restarts keep.
    m_port = window->ServerSocket1->listeningPort();
    window->ServerSocket1->Port = m_port;
    window->resize(986, 749);
    window->show();
}

void CycleFixture::stopPanel() { window.reset(); }
