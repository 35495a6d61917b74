#pragma once
// The main window Principal: the panel's only window. It owns every component (panels, calls
// list, listener, players, timers, database objects) and carries the event handlers; it is the
// receive cycle's host (calls/receivecycle.h).
//
// Its methods: tprincipal.cpp builds, lays out and wires the window; tprincipal_startup.cpp is the
// start-up sequence; tprincipal_cycle.cpp the listener's read handler and what the receive cycle
// asks of the window; tprincipal_controls.cpp the clock, the grid's cells and the mouse controls.

#include "calls/receivecycle.h"
#include "calls/voice.h"
#include "display/messageboxreport.h"
#include "group/groupmessage.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>

class QTcpSocket;
class QTimer;
class QToolButton;
class CallsQuery;
class Database;
class FbClient;
class TAlignLayout;
class Transaction;
class TCallsGrid;
struct GridColumn;
class TIniFile;
class TLabel;
class TMemo;
class TPanel;
class TMediaPlayer;
class TServerSocket;
class GroupClient;

// What the main window takes from outside; tests replace the folder and the side effects.
struct PrincipalEnvironment {
    QString exeDir;                 // folder of config.ini and the media files
    IErrorReport* errors = nullptr; // default: message boxes
    VoiceFactory voiceFactory;      // default: the speech engine
    std::function<QString()> askKey; // default: the key prompt
    std::function<void(int)> pause;  // default: Pausa, serving the event queue for n seconds
    std::function<QDateTime()> clock; // default: the system's local date and time
};

class TPrincipal : public QWidget, private CycleHost {
    Q_OBJECT
public:
    using Environment = PrincipalEnvironment;

    explicit TPrincipal(Environment env = {});
    ~TPrincipal() override;

    // The start-up sequence: reads config.ini, connects the database and opens the calls list,
    // loads configserver.txt, starts the media and, last, switches the listener on. A failing
    // step is reported and the steps after it do not run.
    void FormCreate();
    // True when start-up asked the program to end (config.ini missing).
    bool terminationRequested() const { return m_terminate; }
    // True while the panel can take calls: the listener is on, off for a call, or being switched
    // on again after a failure. False after a start-up that ended before the listener.
    bool canTakeCalls() const;

    // Shows the window maximised, filling the screen also with no window manager.
    void showKiosk();

    // Holds the display for n seconds while serving the event queue.
    void Pausa(int seconds);

    // Line i (from 0) of configserver.txt as loaded at start-up; empty when the file lacks it.
    QString configLine(int index) const override;
    QString exePath(const QString& fileName) const;

    // Elements, by their design names.
    TPanel* Panel5;
    TLabel* Label2;
    TPanel* Panel2;
    TLabel* Label1;
    TPanel* Panel1;
    TPanel* Panel9;
    TPanel* PanelGlobal;
    TPanel* Panel4;
    TPanel* Panel3;
    TPanel* Panel7;
    TPanel* Panel8;
    TPanel* PanelVideo;
    TCallsGrid* Grid;
    TPanel* Panel6;
    QToolButton* SpeedButton1;
    TMemo* w_ConfigTXT;
    TMediaPlayer* Som1;
    TMediaPlayer* VIDEO1;
    QTimer* Timer1;
    QTimer* Timer2;
    TServerSocket* ServerSocket1;

    // Database objects. The client library is loaded when the window is built: a missing
    // library throws EDatabaseError from the constructor.
    std::unique_ptr<FbClient> fbClient;
    std::unique_ptr<Database> Fatura;
    std::unique_ptr<Transaction> TransFatura;
    std::unique_ptr<CallsQuery> GUICHELISTA;

    // Fields.
    QString xsenha;
    std::int32_t tamanhofontenome = 0;
    std::int32_t tamanhofonteservico = 0;
    // How calls show and speak names: [definicao] privacidade "S" is Private.
    NameForm callNames = NameForm::Full;

    // Event handlers.
    void Timer1Timer(QObject* Sender);
    void Timer2Timer(QObject* Sender);
    void ServerSocket1ClientRead(QObject* Sender, QTcpSocket* Socket);
    void GridDrawColumnCell(QObject* Sender, const QRect& Rect, int DataCol, const GridColumn& Column,
                            unsigned State);
    void Label2DblClick(QObject* Sender);
    void Panel1DblClick(QObject* Sender);
    void PanelVideoDblClick(QObject* Sender);
    void SpeedButton1Click(QObject* Sender);

    IErrorReport& errorReport() { return *m_errors; }

    // Design size of the client area in the restored state.
    static constexpr int kDesignWidth = 986;
    static constexpr int kDesignHeight = 749;

private:
    void buildLayout();
    void wireHandlers();
    void runStartup();
    void openCallsList();
    void startupMedia(const TIniFile& ini);
    void openStartupMedium(TMediaPlayer* player);
    void applyCredentials(const TIniFile& ini);
    void readNameSettings(const TIniFile& ini);
    void readStationSettings(const TIniFile& ini);
    void startGroup(const TIniFile& ini);
    // Runs a receive cycle for a message that readMessage gives (a station's or the group's).
    void runCycle(const std::function<QString()>& readMessage);
    // A call from the group: run as a station's call would be, now when a station's could be read,
    // else once the listener is on again, in the order they came.
    void groupCallArrived(const GroupCall& call);
    void runWaitingGroupCalls();
    // The journal's line for the message read last (PAINEL_LOG_CALLS=1).
    void logLine();
    // What the receive cycle asks of the window.
    int nameFontSize() const override { return tamanhofontenome; }
    int serviceFontSize() const override { return tamanhofonteservico; }
    NameForm nameForm() const override { return callNames; }
    bool videoFileExists() const override;
    bool videoOpen() const override;
    void holdVideo() override;
    void resumeVideo() override;
    void resetCallLines() override;
    void showCall(const CallResult& call) override;
    void playNotification() override;
    std::unique_ptr<IVoice> createVoice() override { return m_env.voiceFactory(); }
    void requery() override;
    void pause(int seconds) override { Pausa(seconds); }
    void switchListener(bool on) override;
    void restartListener() override;
    void refreshed() override;
    // The file of that name in the executable's folder, found also when its letter case differs.
    QString besideExe(const QString& fileName) const;

    Environment m_env;
    std::unique_ptr<MessageBoxErrorReport> m_ownErrors;
    IErrorReport* m_errors;
    bool m_terminate = false;
    bool m_startingUp = false; // the database steps of start-up: their boxes wait for its end
    QString m_replayError;     // the replay tick's error, reported once while it repeats
    int m_cyclesRunning = 0; // receive cycles in progress, one inside the other
    struct LastRead {
        QString station;  // its address
        QString message;
        qint64 at = 0;    // milliseconds since the epoch
    } m_lastRead;          // the message read last, for the line of the call shown
    std::unique_ptr<GroupClient> m_group; // none when config.ini has no [grupo]
    std::deque<GroupCall> m_groupWaiting; // calls from the group waiting for the listener
    bool m_groupRunPosted = false;
    // Calls from the group kept while the listener is off; past it the oldest is dropped.
    static constexpr int kMaxGroupWaiting = 64;
};
