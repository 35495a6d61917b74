#include "media/mediadevice.h"

#include "config/errors.h"
#include "media/quietloop.h"

#include <QAudioOutput>
#include <QFileInfo>
#include <QMediaMetaData>
#include <QUrl>
#include <QVideoSink>
#include <cstdio>

namespace {

// A medium that is neither loaded nor failed after this long counts as failed.
constexpr int kOpenTimeoutMs = 15000;
// A stopped medium this close to its length stands at its end.
constexpr qint64 kEndToleranceMs = 40;
// One frame at 25 frames per second, for a video that does not tell its rate.
constexpr qint64 kDefaultFrameMs = 40;

int g_lastDeviceId = 0;

int nextDeviceId() {
    if (++g_lastDeviceId <= 0) g_lastDeviceId = 1;
    return g_lastDeviceId;
}

MediaError fromPlayerError(QMediaPlayer::Error e) {
    switch (e) {
    case QMediaPlayer::NoError:
        return MediaError::None;
    case QMediaPlayer::ResourceError:
        return MediaError::Resource;
    case QMediaPlayer::FormatError:
        return MediaError::Format;
    case QMediaPlayer::NetworkError:
        return MediaError::Network;
    case QMediaPlayer::AccessDeniedError:
        return MediaError::AccessDenied;
    }
    return MediaError::Unknown;
}

QString unknownErrorText() { return QStringLiteral("Unknown error code"); }

void trace(const QString& fileName, const QString& what) {
    std::fprintf(stderr, "media: %s: %s\n", qUtf8Printable(fileName), qUtf8Printable(what));
}

}  // namespace

MediaDevice::MediaDevice(QObject* parent) : QObject(parent) {}

MediaDevice::~MediaDevice() { Close(); }

void MediaDevice::setVideoSink(QVideoSink* sink) {
    m_videoSink = sink;
    if (m_player) m_player->setVideoSink(sink);
}

MediaMode MediaDevice::Mode() const {
    if (!m_open || !m_player) return MediaMode::NotReady;
    switch (m_player->mediaStatus()) {
    case QMediaPlayer::NoMedia:
    case QMediaPlayer::LoadingMedia:
    case QMediaPlayer::InvalidMedia:
        return MediaMode::NotReady;
    default:
        break;
    }
    switch (m_player->playbackState()) {
    case QMediaPlayer::PlayingState:
        return MediaMode::Playing;
    case QMediaPlayer::PausedState:
        return MediaMode::Paused;
    case QMediaPlayer::StoppedState:
        break;
    }
    return MediaMode::Stopped;
}

qint64 MediaDevice::Position() const { return m_open && m_player ? m_player->position() : 0; }

qint64 MediaDevice::Length() const { return m_open && m_player ? m_player->duration() : 0; }

bool MediaDevice::requireOpen() const {
    if (m_opening) return false;
    if (!m_open) throw EMCIDeviceError(QStringLiteral("No MCI device open"));
    return true;
}

void MediaDevice::Open() {
    if (m_opening) return;
    Close();

    m_opening = true;
    m_openFailed = false;
    m_openError = MediaError::None;
    m_openReason.clear();

    auto* player = new QMediaPlayer(this);
    player->setAudioOutput(new QAudioOutput(player));
    if (m_videoSink) player->setVideoSink(m_videoSink);
    connect(player, &QMediaPlayer::errorOccurred, this, &MediaDevice::onError);
    connect(player, &QMediaPlayer::mediaStatusChanged, this, &MediaDevice::onStatus);
    m_player = player;

    if (!m_fileName.isEmpty())
        player->setSource(QUrl::fromLocalFile(QFileInfo(m_fileName).absoluteFilePath()));
    const bool loaded = !m_fileName.isEmpty() && waitForLoad();
    m_opening = false;

    if (!loaded) {
        const MediaError error = m_openError == MediaError::None ? MediaError::Unknown : m_openError;
        const QString reason = m_openReason.isEmpty() ? unknownErrorText() : m_openReason;
        releasePlayer();
        setResult(error, reason);
        throw EMCIDeviceError(reason);
    }

    m_open = true;
    m_deviceId = nextDeviceId();
    m_caps = MediaCapabilities{};
    m_caps.canPlay = true;
    m_caps.hasVideo = player->hasVideo();
    m_caps.canStep = m_caps.hasVideo;
    m_notify = MediaNotify::None;
    m_notifyPending = false;
    setResult(MediaError::None);
}

// Serves the event queue until the medium is loaded or has failed. Socket reads and user input
// wait for later, so no receive cycle and no click starts inside an open; timers are served.
bool MediaDevice::waitForLoad() {
    auto settled = [this] {
        if (!m_player) return true;
        const auto status = m_player->mediaStatus();
        return m_openFailed || status == QMediaPlayer::LoadedMedia || status == QMediaPlayer::InvalidMedia ||
               status == QMediaPlayer::NoMedia;
    };
    if (!settled()) {
        QuietLoop loop;
        connect(m_player, &QMediaPlayer::mediaStatusChanged, &loop, [&] {
            if (settled()) loop.quit();
        });
        connect(m_player, &QMediaPlayer::errorOccurred, &loop, &QEventLoop::quit);
        if (!loop.execFor(kOpenTimeoutMs) && !settled()) {
            trace(m_fileName, QStringLiteral("not loaded after %1 ms").arg(kOpenTimeoutMs));
            return false;
        }
    }
    return !m_openFailed && m_player->mediaStatus() == QMediaPlayer::LoadedMedia;
}

// The media system lets the file go at once; the player object itself goes at the next turn of
// the event loop, so that a close reached from one of its own signals is safe.
void MediaDevice::releasePlayer() {
    QMediaPlayer* player = m_player;
    m_player = nullptr;
    if (!player) return;
    player->disconnect(this);
    player->setSource(QUrl());
    player->setVideoSink(nullptr);
    player->deleteLater();
}

void MediaDevice::Close() {
    if (m_opening || !m_open) return;
    releasePlayer();
    m_open = false;
    m_deviceId = 0;
    m_caps = MediaCapabilities{};
    m_notifyPending = false;
    setResult(MediaError::None);
}

// The end of the medium: reported as such, or a stopped medium standing at its length (after
// Next, or a media system that does not report the end).
bool MediaDevice::atEnd() const {
    if (m_player->mediaStatus() == QMediaPlayer::EndOfMedia) return true;
    if (m_player->playbackState() != QMediaPlayer::StoppedState) return false;
    const qint64 length = m_player->duration();
    return length > 0 && m_player->position() >= length - kEndToleranceMs;
}

void MediaDevice::Play() {
    if (!requireOpen()) return;
    if (atEnd()) {
        if (!m_autoRewind) {
            // Nothing is left to play.
            setResult(MediaError::None);
            return;
        }
        Rewind();
    }
    startPlaying();
}

void MediaDevice::startPlaying() {
    if (m_notifyPending) deliver(MediaNotify::Superseded);
    // A playing medium plays on: the media system ignores a play while playing.
    m_player->play();
    m_notifyPending = true;
    setResult(MediaError::None);
}

void MediaDevice::Pause() {
    if (!requireOpen()) return;
    switch (Mode()) {
    case MediaMode::Playing:
        PauseOnly();
        break;
    case MediaMode::Paused:
        Resume();
        break;
    default:
        break;
    }
}

void MediaDevice::PauseOnly() {
    if (!requireOpen()) return;
    if (m_player->playbackState() == QMediaPlayer::PlayingState) m_player->pause();
    setResult(MediaError::None);
}

void MediaDevice::Resume() {
    if (!requireOpen()) return;
    if (Mode() != MediaMode::Paused) {
        // Only a paused medium resumes; anything else is played.
        Play();
        return;
    }
    startPlaying();
}

// Stopping resets the media system's position to the start; the seek makes sure of it for a
// medium that had already stopped at its end.
void MediaDevice::stopAt(qint64 position) {
    if (m_notifyPending) deliver(MediaNotify::Aborted);
    m_player->stop();
    m_player->setPosition(position);
    setResult(MediaError::None);
}

void MediaDevice::Rewind() {
    if (!requireOpen()) return;
    stopAt(0);
}

void MediaDevice::Stop() {
    if (!requireOpen()) return;
    stopAt(0);
}

void MediaDevice::Next() {
    if (!requireOpen()) return;
    stopAt(m_player->duration());
}

void MediaDevice::Previous() {
    if (!requireOpen()) return;
    stopAt(0);
}

qint64 MediaDevice::frameMs() const {
    const double rate = m_player->metaData().value(QMediaMetaData::VideoFrameRate).toDouble();
    return rate > 0 ? qMax<qint64>(1, qRound64(1000.0 / rate)) : kDefaultFrameMs;
}

void MediaDevice::stepBy(qint64 delta) {
    if (!m_caps.canStep) {
        setResult(MediaError::Unsupported, QStringLiteral("The device cannot step"));
        return;
    }
    if (m_notifyPending) deliver(MediaNotify::Aborted);
    // A held medium shows the frame it stands on.
    if (m_player->playbackState() != QMediaPlayer::PausedState) m_player->pause();
    m_player->setPosition(qBound<qint64>(0, m_player->position() + delta, m_player->duration()));
    setResult(MediaError::None);
}

void MediaDevice::Step() {
    if (!requireOpen()) return;
    stepBy(frameMs());
}

void MediaDevice::Back() {
    if (!requireOpen()) return;
    stepBy(-frameMs());
}

void MediaDevice::StartRecording() {
    if (!requireOpen()) return;
    setResult(MediaError::Unsupported, QStringLiteral("The device cannot record"));
}

void MediaDevice::Eject() {
    if (!requireOpen()) return;
    setResult(MediaError::Unsupported, QStringLiteral("The device cannot eject"));
}

void MediaDevice::setResult(MediaError error, const QString& message) {
    m_error = error;
    m_errorMessage = message;
}

void MediaDevice::deliver(MediaNotify kind) {
    m_notifyPending = false;
    m_notify = kind;
    Q_EMIT notified(kind);
}

void MediaDevice::onStatus(QMediaPlayer::MediaStatus status) {
    if (status == QMediaPlayer::EndOfMedia && m_notifyPending) deliver(MediaNotify::Successful);
}

// While opening, the first failure is the reason the open gives. Later, a failure ends the
// play: the media system may leave its state at playing although nothing plays (a missing
// plug-in does that), so the medium is stopped, at the next turn of the event loop rather than
// inside the media system's own signal.
void MediaDevice::onError(QMediaPlayer::Error error, const QString& text) {
    if (m_opening) {
        if (!m_openFailed) {
            m_openFailed = true;
            m_openError = fromPlayerError(error);
            m_openReason = text;
        }
        return;
    }
    const QString reason = text.isEmpty() ? unknownErrorText() : text;
    trace(m_fileName, reason);
    setResult(fromPlayerError(error), reason);
    QPointer<QMediaPlayer> player = m_player;
    QMetaObject::invokeMethod(
        this,
        [this, player] {
            if (!player || player != m_player) return;
            if (player->playbackState() != QMediaPlayer::StoppedState) player->stop();
            if (m_notifyPending) deliver(MediaNotify::Failure);
        },
        Qt::QueuedConnection);
}
