#include "tests/support/cyclefixture.h"

#include "calls/listener.h"
#include "display/memo.h"

void CycleFixture::startPanel(const QStringList& configLines) {
    stopPanel();
    voice = VoiceLog{};
    report.errors.clear();
    PrincipalEnvironment env;
    env.exeDir = dir.path();
    env.errors = &report;
    env.voiceFactory = fakeVoiceFactory(voice);
    window = std::make_unique<TPrincipal>(env);
    window->w_ConfigTXT->setLines(configLines);
    window->ServerSocket1->Port = 0;
    window->ServerSocket1->SetActive(true);
    m_port = window->ServerSocket1->listeningPort();
    window->ServerSocket1->Port = m_port;
    window->resize(986, 749);
    window->show();
}

void CycleFixture::stopPanel() { window.reset(); }
