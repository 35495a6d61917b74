#include "tests/support/cyclefixture.h"

#include "calls/listener.h"
#include "db/callsquery.h"
#include "db/database.h"
#include "display/memo.h"
#include "tests/support/firebird.h"

void CycleFixture::startPanel(const QStringList& configLines) {
    stopPanel();
    voice = VoiceLog{};
    report.errors.clear();
    PrincipalEnvironment env;
    env.exeDir = dir.path();
    env.errors = m_messageBoxes ? nullptr : &report;
    env.voiceFactory = fakeVoiceFactory(voice);
    testClient(); // the private Firebird root, before the window loads the client
    if (m_database.isEmpty()) {
        m_database = dir.file(QStringLiteral("calls.fdb"));
        m_params = embeddedParams();
        FbSession::create(m_database, m_params).createSchema();
    }
    window = std::make_unique<TPrincipal>(env);
    window->Fatura->setDatabaseName(m_database);
    window->Fatura->params() = m_params;
    window->GUICHELISTA->open();
    window->w_ConfigTXT->setLines(configLines);
    window->ServerSocket1->Port = 0;
    window->ServerSocket1->SetActive(true);
    m_port = window->ServerSocket1->listeningPort();
    window->ServerSocket1->Port = m_port;
    window->resize(986, 749);
    window->show();
}

void CycleFixture::stopPanel() { window.reset(); }
