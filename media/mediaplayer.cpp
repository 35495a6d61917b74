#include "media/mediaplayer.h"

#include "media/barbutton.h"
#include "media/videopicture.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QPainter>
#include <QPixmap>
#include <QStyle>
#include <cstdio>

namespace {

constexpr int kBarHeight = 30;
constexpr int kButtonWidth = 28;

struct ButtonInfo {
    MPButton button;
    const char* name;
    const char* objectName;
};

constexpr ButtonInfo kButtons[kMPButtonCount] = {
    {MPButton::Play, "Play", "btnPlay"},     {MPButton::Pause, "Pause", "btnPause"},
    {MPButton::Stop, "Stop", "btnStop"},     {MPButton::Next, "Next", "btnNext"},
    {MPButton::Prev, "Prev", "btnPrev"},     {MPButton::Step, "Step", "btnStep"},
    {MPButton::Back, "Back", "btnBack"},     {MPButton::Record, "Record", "btnRecord"},
    {MPButton::Eject, "Eject", "btnEject"},
};

// Record and Eject have no standard icon: a red dot, and a triangle over a bar.
QIcon drawnIcon(MPButton button) {
    QPixmap pix(16, 16);
    pix.fill(Qt::transparent);
    QPainter p(&pix);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    if (button == MPButton::Record) {
        p.setBrush(QColor(200, 0, 0));
        p.drawEllipse(QRectF(3, 3, 10, 10));
    } else {
        p.setBrush(Qt::black);
        const QPointF triangle[] = {{8, 2}, {14, 9}, {2, 9}};
        p.drawPolygon(triangle, 3);
        p.drawRect(QRectF(2, 11, 12, 3));
    }
    return QIcon(pix);
}

QIcon buttonIcon(const QStyle* style, MPButton button) {
    switch (button) {
    case MPButton::Play:
        return style->standardIcon(QStyle::SP_MediaPlay);
    case MPButton::Pause:
        return style->standardIcon(QStyle::SP_MediaPause);
    case MPButton::Stop:
        return style->standardIcon(QStyle::SP_MediaStop);
    case MPButton::Next:
        return style->standardIcon(QStyle::SP_MediaSkipForward);
    case MPButton::Prev:
        return style->standardIcon(QStyle::SP_MediaSkipBackward);
    case MPButton::Step:
        return style->standardIcon(QStyle::SP_MediaSeekForward);
    case MPButton::Back:
        return style->standardIcon(QStyle::SP_MediaSeekBackward);
    case MPButton::Record:
    case MPButton::Eject:
        break;
    }
    return drawnIcon(button);
}

}  // namespace

TMediaPlayer::TMediaPlayer(QWidget* parent) : QWidget(parent) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    for (const ButtonInfo& info : kButtons) {
        auto* b = new TMPButton(this);
        b->setObjectName(QString::fromLatin1(info.objectName));
        b->setAccessibleName(QString::fromLatin1(info.name));
        b->setIcon(buttonIcon(style(), info.button));
        b->setFocusPolicy(Qt::NoFocus);
        b->setFixedWidth(kButtonWidth);
        b->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
        const MPButton button = info.button;
        connect(b, &TMPButton::clicked, this, [this, button] { press(button); });
        row->addWidget(b);
        m_buttons[static_cast<int>(info.button)] = b;
    }
    row->addStretch(1);
    resize(kMPButtonCount * kButtonWidth, kBarHeight);
    connect(&m_device, &MediaDevice::notified, this, &TMediaPlayer::onNotified);
}

TMediaPlayer::~TMediaPlayer() {
    if (m_display) m_display->removeEventFilter(this);
    m_device.Close();
}

void TMediaPlayer::setDisplay(QWidget* display) {
    if (display == m_display) return;
    if (m_display) m_display->removeEventFilter(this);
    delete m_video;
    m_device.setVideoWindow(0);
    m_display = display;
    if (!display) return;
    display->installEventFilter(this);
    if (!m_device.isOpen()) return;
    makeVideo();
    m_video->setVisible(m_device.Capabilities().hasVideo);
}

// The picture is made at the first open: a panel without a video never needs it. Its window is
// the video's from the next open on.
void TMediaPlayer::makeVideo() {
    if (m_video || !m_display) return;
    m_video = new TVideoPicture(m_display);
    m_video->setVisible(false);
    m_video->lower();
    connect(m_video, &TVideoPicture::exposed, this, [this] { m_device.exposePicture(); });
    // Placed before its native window is made, which then has the picture's size from the start.
    placeVideo();
    m_device.setVideoWindow(m_video->drawingWindow());
}

void TMediaPlayer::Open() {
    makeVideo();
    if (m_video) m_device.setVideoWindow(m_video->drawingWindow());
    try {
        m_device.Open();
    } catch (const EPainelError&) {
        setLook(BarLook::AsBuilt);
        if (m_video) m_video->hide();
        throw;
    }
    if (!m_device.isOpen()) return;  // an open already under way
    if (m_video) {
        m_video->setVisible(m_device.Capabilities().hasVideo);
        m_video->lower();
    }
    setLook(BarLook::Stopped);
}

void TMediaPlayer::Close() {
    if (!m_device.isOpen()) return;
    m_device.Close();
    if (m_video) m_video->hide();
    setLook(BarLook::AsBuilt);
}

void TMediaPlayer::press(MPButton button) {
    try {
        run(button);
        if (m_device.isOpen()) setLook(lookForMode(m_device.Mode()));
    } catch (const EPainelError& e) {
        if (m_onError)
            m_onError(e);
        else
            std::fprintf(stderr, "media: %s\n", e.what());
    }
}

void TMediaPlayer::run(MPButton button) {
    switch (button) {
    case MPButton::Play:
        return m_device.Play();
    case MPButton::Pause:
        return m_device.Pause();
    case MPButton::Stop:
        return m_device.Stop();
    case MPButton::Next:
        return m_device.Next();
    case MPButton::Prev:
        return m_device.Previous();
    case MPButton::Step:
        return m_device.Step();
    case MPButton::Back:
        return m_device.Back();
    case MPButton::Record:
        return m_device.StartRecording();
    case MPButton::Eject:
        return m_device.Eject();
    }
}

void TMediaPlayer::setLook(BarLook look) {
    const ButtonStates states = enabledButtons(look, m_device.Capabilities());
    for (int i = 0; i < kMPButtonCount; ++i) m_buttons[i]->setGreyed(!states[i]);
}

void TMediaPlayer::onNotified(MediaNotify kind) {
    if (m_device.Mode() == MediaMode::Stopped) setLook(BarLook::Stopped);
    Q_EMIT notified(kind);
}

// The video takes the display's whole area above the bar, which stands along the display's
// bottom edge when it is one of its children (also before the display's layout has placed it).
void TMediaPlayer::placeVideo() {
    if (!m_video || !m_display) return;
    QRect area = m_display->rect();
    if (parentWidget() == m_display && !isHidden()) area.setHeight(qMax(0, area.height() - height()));
    m_video->setGeometry(area);
    m_device.setPictureSize(area.size());
}

bool TMediaPlayer::event(QEvent* e) {
    switch (e->type()) {
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::Show:
    case QEvent::Hide:
    case QEvent::ParentChange:
        placeVideo();
        break;
    default:
        break;
    }
    return QWidget::event(e);
}

bool TMediaPlayer::eventFilter(QObject* watched, QEvent* e) {
    if (watched == m_display && e->type() == QEvent::Resize) placeVideo();
    return QWidget::eventFilter(watched, e);
}
