#include "display/tprincipal.h"

#include "calls/listener.h"
#include "calls/pausa.h"
#include "display/xinputboxmask.h"
#include "base/errors.h"
#include "db/callsquery.h"
#include "db/database.h"
#include "db/fbclient.h"
#include "db/transaction.h"
#include "display/alignlayout.h"
#include "display/callsgrid.h"
#include "display/colors.h"
#include "display/fonts.h"
#include "display/memo.h"
#include "display/panel.h"
#include "display/windowmanager.h"
#include "group/groupclient.h"
#include "media/mediaplayer.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHeaderView>
#include <QScreen>
#include <QTimer>
#include <QToolButton>

namespace {

TPanel* makePanel(const QString& name, QWidget* parent, const QColor& color, int w, int h) {
    auto* p = new TPanel(name, parent);
    p->setColor(color);
    p->resize(w, h);
    return p;
}

} // namespace

TPrincipal::TPrincipal(Environment env) : m_env(std::move(env)) {
    setObjectName(QStringLiteral("Principal"));
    if (m_env.exeDir.isEmpty()) m_env.exeDir = QCoreApplication::applicationDirPath();
    if (m_env.errors) {
        m_errors = m_env.errors;
    } else {
        m_ownErrors = std::make_unique<MessageBoxErrorReport>();
        // No box's loop may sit inside a receive cycle: while one runs, errors go to standard
        // error at once and their box is shown when the cycles are over.
        m_ownErrors->holdWhile([this] { return m_cyclesRunning > 0 || m_startingUp; });
        m_errors = m_ownErrors.get();
    }
    if (!m_env.voiceFactory) m_env.voiceFactory = createSpVoice;
    if (!m_env.askKey) m_env.askKey = [] { return TImputBoxMask::askKey(); };
    // The key is asked once, for the database and the group alike.
    m_env.askKey = [ask = std::move(m_env.askKey), key = std::optional<QString>()]() mutable {
        if (!key) key = ask();
        return *key;
    };
    if (!m_env.pause) m_env.pause = [](int seconds) { ::Pausa(seconds); };
    if (!m_env.clock) m_env.clock = [] { return QDateTime::currentDateTime(); };
    buildLayout();
    fbClient = std::make_unique<FbClient>();
    Fatura = std::make_unique<Database>(*fbClient);
    TransFatura = std::make_unique<Transaction>(*Fatura);
    GUICHELISTA = std::make_unique<CallsQuery>(*Fatura, *TransFatura);
    Grid->setCallsModel(GUICHELISTA.get());
    wireHandlers();
}

TPrincipal::~TPrincipal() {
    // The media devices are closed; the grid lets go of the list; then the list is closed, the
    // transaction committed and the connection detached, in that order.
    VIDEO1->Close();
    Som1->Close();
    Grid->setCallsModel(nullptr);
    GUICHELISTA.reset();
    TransFatura.reset();
    Fatura.reset();
}

void TPrincipal::buildLayout() {
    setWindowTitle(QStringLiteral("Atendimento Eletrônico"));
    setFont(designFont(QStringLiteral("MS Sans Serif"), 8, false));
    QPalette pal = palette();
    pal.setColor(QPalette::Window, colors::buttonFace());
    setPalette(pal);
    setAutoFillBackground(true);
    resize(kDesignWidth, kDesignHeight);

    auto* layout = new TAlignLayout(this);

    // Clock strip.
    Panel5 = makePanel(QStringLiteral("Panel5"), this, colors::skyBlue, kDesignWidth, 73);
    Label2 = new TLabel(QStringLiteral("Label2"), QStringLiteral("Data"), Panel5);
    Label2->setDesignFont(QStringLiteral("Impact"), 28, false, colors::navy);
    Label2->move(8, 14);
    Panel2 = makePanel(QStringLiteral("Panel2"), Panel5, colors::skyBlue, 193, 65);
    Panel2->move(80, 4);
    Panel2->setDesignFont(QStringLiteral("Arial"), 28, true);
    Panel2->setTextColor(colors::navy);
    Panel2->setText(QStringLiteral("/  /"));
    Label1 = new TLabel(QStringLiteral("Label1"), QStringLiteral("Hora"), Panel5);
    Label1->setDesignFont(QStringLiteral("Impact"), 28, false, colors::navy);
    Label1->move(408, 14);
    Panel1 = makePanel(QStringLiteral("Panel1"), Panel5, colors::skyBlue, 161, 65);
    Panel1->move(480, 4);
    Panel1->setDesignFont(QStringLiteral("Arial"), 28, true);
    Panel1->setTextColor(colors::navy);
    Panel1->setText(QStringLiteral("00:00:00"));
    Som1 = new TMediaPlayer(Panel5);
    Som1->setObjectName(QStringLiteral("Som1"));
    Som1->setGeometry(777, 29, 197, 30);
    Som1->setFileName(QStringLiteral("NOTIFY.wav"));
    Som1->hide();
    layout->addAligned(Panel5, TAlignLayout::Top);

    // Header bar.
    Panel9 = makePanel(QStringLiteral("Panel9"), this, colors::navy, kDesignWidth, 83);
    Panel9->setDesignFont(QStringLiteral("Arial"), 36, true);
    Panel9->setTextColor(colors::white);
    Panel9->setText(QStringLiteral("SENHA"));
    layout->addAligned(Panel9, TAlignLayout::Top);

    // Footer and calls list, stacked up from the bottom edge.
    Panel6 = makePanel(QStringLiteral("Panel6"), this, colors::buttonFace(), kDesignWidth, 24);
    Panel6->setRaisedBevel(true);
    Panel6->setAlignLeft(true);
    Panel6->setDesignFont(QStringLiteral("MS Sans Serif"), 8, false);
    Panel6->setTextColor(colors::windowText());
    Panel6->setText(QStringLiteral("        Painel de Chamadas %1 - Atendimento Eletrônico")
                        .arg(QStringLiteral(PAINEL_VERSION)));
    SpeedButton1 = new QToolButton(Panel6);
    SpeedButton1->setObjectName(QStringLiteral("SpeedButton1"));
    SpeedButton1->setAutoRaise(true);
    SpeedButton1->setText(QStringLiteral("X"));
    SpeedButton1->setFont(designFont(QStringLiteral("Arial"), 10, true));
    SpeedButton1->setGeometry(0, 0, 23, 22);
    layout->addAligned(Panel6, TAlignLayout::Bottom);

    Grid = new TCallsGrid(this);
    Grid->resize(kDesignWidth, 187);
    layout->addAligned(Grid, TAlignLayout::Bottom);

    // Call area and video area.
    PanelGlobal = makePanel(QStringLiteral("PanelGlobal"), this, colors::white, kDesignWidth, 382);
    auto* global = new TAlignLayout(PanelGlobal);
    PanelVideo = makePanel(QStringLiteral("PanelVideo"), PanelGlobal, colors::silver, 594, 382);
    global->addAligned(PanelVideo, TAlignLayout::Right);
    auto* video = new TAlignLayout(PanelVideo);
    VIDEO1 = new TMediaPlayer(PanelVideo);
    VIDEO1->setObjectName(QStringLiteral("VIDEO1"));
    VIDEO1->resize(594, 30);
    VIDEO1->setDisplay(PanelVideo);
    video->addAligned(VIDEO1, TAlignLayout::Bottom);
    Panel4 = makePanel(QStringLiteral("Panel4"), PanelGlobal, colors::skyBlue, 392, 382);
    global->addAligned(Panel4, TAlignLayout::Fill);

    auto* call = new TAlignLayout(Panel4);
    Panel3 = makePanel(QStringLiteral("Panel3"), Panel4, colors::skyBlue, 392, 152);
    Panel3->setDesignFont(QStringLiteral("Arial"), 140, true);
    Panel3->setTextColor(colors::red);
    call->addAligned(Panel3, TAlignLayout::Top);
    Panel7 = makePanel(QStringLiteral("Panel7"), Panel4, colors::skyBlue, 392, 46);
    Panel7->setDesignFont(QStringLiteral("Arial"), 48, true);
    Panel7->setTextColor(colors::red);
    Panel7->setText(QStringLiteral("Preferencial"));
    Panel7->hide();
    call->addAligned(Panel7, TAlignLayout::Top);
    Panel8 = makePanel(QStringLiteral("Panel8"), Panel4, colors::skyBlue, 392, 230);
    Panel8->setDesignFont(QStringLiteral("Arial"), 72, true);
    Panel8->setTextColor(colors::windowText());
    call->addAligned(Panel8, TAlignLayout::Fill);

    layout->addAligned(PanelGlobal, TAlignLayout::Fill);

    w_ConfigTXT = new TMemo(QStringLiteral("w_ConfigTXT"), this);
    w_ConfigTXT->setGeometry(811, 409, 185, 41);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(1000);
    Timer2 = new QTimer(this);
    Timer2->setObjectName(QStringLiteral("Timer2"));
    Timer2->setInterval(1000);

    ServerSocket1 = new TServerSocket(this);
}

void TPrincipal::wireHandlers() {
    connect(Timer1, &QTimer::timeout, this, [this] { Timer1Timer(Timer1); });
    connect(Timer2, &QTimer::timeout, this, [this] { Timer2Timer(Timer2); });
    connect(ServerSocket1, &TServerSocket::ClientRead, this, &TPrincipal::ServerSocket1ClientRead);
    connect(ServerSocket1, &TServerSocket::ClientError, this,
            [this](const QString& text) { m_errors->showError(text); });
    // A stranger knocking is for the journal, not for a box on the waiting room's screen.
    connect(ServerSocket1, &TServerSocket::Refused, this, [](const QString& text) { logError(text); });
    // Calls from the group that waited for the listener (a counter call's cycle) run now.
    connect(ServerSocket1, &TServerSocket::ActiveChanged, this, [this](bool on) {
        if (on && !m_groupWaiting.empty()) runWaitingGroupCalls();
    });
    Grid->setOnDrawColumnCell([this](QObject* sender, const QRect& rect, int dataCol, const GridColumn& column,
                                     unsigned state) { GridDrawColumnCell(sender, rect, dataCol, column, state); });
    connect(GUICHELISTA.get(), &CallsQuery::fetchFailed, this,
            [this](const QString& text) { m_errors->showError(text); }, Qt::QueuedConnection);
    VIDEO1->setErrorHandler([this](const EPainelError& e) { m_errors->showError(e.text()); });
    connect(Label2, &TClickable::doubleClicked, this, [this] { Label2DblClick(Label2); });
    connect(Panel1, &TClickable::doubleClicked, this, [this] { Panel1DblClick(Panel1); });
    connect(PanelVideo, &TClickable::doubleClicked, this, [this] { PanelVideoDblClick(PanelVideo); });
    connect(SpeedButton1, &QToolButton::clicked, this, [this] { SpeedButton1Click(SpeedButton1); });
    Timer1->start();
}

void TPrincipal::showKiosk() {
    // A window manager maximises the window and restores it to a client area of 986 x 749 centred
    // on the screen. Without one a maximised window would stay at its restored size: give it the
    // screen's geometry.
    if (QScreen* screen = QGuiApplication::primaryScreen())
        setGeometry(windowManagerRunning() ? centredOn(screen->availableGeometry(), QSize(986, 749))
                                           : screen->availableGeometry());
    showMaximized();
}

void TPrincipal::Pausa(int seconds) { m_env.pause(seconds); }

QString TPrincipal::configLine(int index) const { return w_ConfigTXT->line(index); }

QString TPrincipal::exePath(const QString& fileName) const {
    return QDir(m_env.exeDir).filePath(fileName);
}

QString TPrincipal::besideExe(const QString& fileName) const {
    const QString exact = exePath(fileName);
    if (QFileInfo::exists(exact)) return exact;
    for (const QString& name : QDir(m_env.exeDir).entryList(QDir::Files))
        if (name.compare(fileName, Qt::CaseInsensitive) == 0) return exePath(name);
    return QString();
}

bool TPrincipal::videoFileExists() const { return !besideExe(QStringLiteral("VIDEO.WMV")).isEmpty(); }
