// The start-up sequence, run once when the main window has been built and before it is shown.

#include "calls/listener.h"
#include "config/inifile.h"
#include "base/intrule.h"
#include "config/textfile.h"
#include "display/memo.h"
#include "display/tprincipal.h"

#include <QFileInfo>

void TPrincipal::FormCreate() {
    guarded(*m_errors, [this] { runStartup(); });
}

void TPrincipal::runStartup() {
    const TIniFile ini(exePath(QStringLiteral("config.ini")));
    if (!QFileInfo::exists(ini.FileName())) {
        m_errors->showMessage(QStringLiteral("Não encontrei arquivo config.ini"));
        // The program ends right after start-up, which still goes on with the built-in
        // connection settings.
        m_terminate = true;
    } else {
        tamanhofontenome = StrToInt(ini.ReadString(QStringLiteral("fonte"), QStringLiteral("tamanhofontenome"), QStringLiteral("36")));
        tamanhofonteservico = StrToInt(ini.ReadString(QStringLiteral("fonte"), QStringLiteral("tamanhofonteservico"), QStringLiteral("32")));
        applyCredentials(ini);
    }
    connectDatabase();
    openCallsList();
    w_ConfigTXT->setLines(loadTextLines(QStringLiteral("configserver.txt")));
    ServerSocket1->Port = StrToInt(configLine(0));
    startupMedia(ini);
    ServerSocket1->SetActive(true);
}
