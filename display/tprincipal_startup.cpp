// The main window's start-up sequence, run once when the window has been built and before it is
// shown.

#include "base/errors.h"
#include "base/intrule.h"
#include "calls/listener.h"
#include "config/credentials.h"
#include "config/groupsettings.h"
#include "config/inifile.h"
#include "base/textfile.h"
#include "db/callsquery.h"
#include "db/database.h"
#include "display/memo.h"
#include "display/panel.h"
#include "display/tprincipal.h"
#include "group/groupclient.h"
#include "media/mediaplayer.h"

#include <QTimer>

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
        readNameSettings(ini);
        readStationSettings(ini);
        applyCredentials(ini);
    }
    openCallsList();
    w_ConfigTXT->setLines(loadTextLines(QStringLiteral("configserver.txt")));
    ServerSocket1->Port = StrToInt(configLine(0));
    startupMedia(ini);
    startGroup(ini);
    ServerSocket1->SetActive(true);
}

// The panel group, just before the listener: a port that is taken (and retried) must not keep the
// panel out of its group. Joining never waits for the broker, which is never needed for the
// panel's own calls, so a [grupo] that cannot be read is reported for the journal and the panel
// works alone. Calls from the group wait until the listener is on.
void TPrincipal::startGroup(const TIniFile& ini) {
    const GroupSettingsRead read = readGroupSettings(ini, m_env.askKey);
    if (!read.error.isEmpty()) logError(read.error);
    if (!read.settings) return;
    m_group = std::make_unique<GroupClient>(*read.settings);
    connect(m_group.get(), &GroupClient::callReceived, this, &TPrincipal::groupCallArrived);
    m_group->start();
}

// A database that cannot be reached at start-up (a machine that boots before its database server,
// after a power cut) costs the list, not the calls: the failure is reported and start-up goes on,
// and the list opens at the first re-query that finds the server. The report's box waits for the
// end of start-up, so that it cannot keep the listener off.
void TPrincipal::openCallsList() {
    const bool wasStartingUp = std::exchange(m_startingUp, true);
    guarded(*m_errors, [this] {
        try {
            Fatura->connect();
            GUICHELISTA->open();
        } catch (const EDatabaseUnanswered&) {
            // Reported when the server first failed to answer.
        }
    });
    m_startingUp = wasStartingUp;
    if (m_ownErrors) m_ownErrors->release();
}

bool TPrincipal::canTakeCalls() const {
    return ServerSocket1->Active() || ServerSocket1->retrying() || m_cyclesRunning > 0;
}

// Switches of how the call lines show names: long names fitted to their line, names in their
// private form.
void TPrincipal::readNameSettings(const TIniFile& ini) {
    const bool fit = ini.ReadString(QStringLiteral("fonte"), QStringLiteral("ajustar"), QString()) == u"S";
    for (TPanel* line : {Panel3, Panel7, Panel8}) line->setFitToWidth(fit);
    const bool hidden = ini.ReadString(QStringLiteral("definicao"), QStringLiteral("privacidade"), QString()) == u"S";
    callNames = hidden ? NameForm::Private : NameForm::Full;
}

// Which stations may call and the address listened on. An entry that cannot be read stops
// start-up before the listener opens: the panel never takes calls from everyone by mistake.
void TPrincipal::readStationSettings(const TIniFile& ini) {
    const QString section = QStringLiteral("definicao");
    ServerSocket1->Stations = StationList::parse(ini.ReadString(section, QStringLiteral("estacoes"), QString()));
    ServerSocket1->Address = parseListenAddress(ini.ReadString(section, QStringLiteral("endereco"), QString()));
}

void TPrincipal::applyCredentials(const TIniFile& ini) {
    const std::optional<QString> path = applyDatabaseSettings(ini, Fatura->params(), m_env.askKey);
    if (!path) {
        Fatura->discard();
        throw EStartupError(QStringLiteral("O config.ini não informa o banco de dados: preencha [sgbd] fatura"));
    }
    Fatura->setDatabaseName(*path);
}

void TPrincipal::startupMedia(const TIniFile& ini) {
    const QString notify = besideExe(QStringLiteral("NOTIFY.WAV"));
    if (configLine(2) != u"N" && !notify.isEmpty()) {
        Som1->setFileName(notify);
        openStartupMedium(Som1);
    }
    const QString video = besideExe(QStringLiteral("VIDEO.WMV"));
    if (video.isEmpty()) {
        PanelVideo->hide();
        return;
    }
    const QString repetirvideo = ini.ReadString(QStringLiteral("definicao"), QStringLiteral("repetirvideo"), QString());
    VIDEO1->setFileName(video);
    openStartupMedium(VIDEO1);
    if (repetirvideo == u"S") Timer2->start();
}

// Opens and plays a medium. A sound system that does not answer (a sound server that hangs) does
// not stop start-up: the player opens the medium by itself once it answers, and the report's box
// waits for the end of start-up. A file that cannot be played stops it, as any start-up failure.
void TPrincipal::openStartupMedium(TMediaPlayer* player) {
    try {
        player->Open();
        player->Play();
    } catch (const EMediaUnanswered& e) {
        const bool wasStartingUp = std::exchange(m_startingUp, true);
        m_errors->showError(e.text());
        m_startingUp = wasStartingUp;
    }
}
