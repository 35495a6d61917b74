#include "media/mediadevice.h"

#include "base/errors.h"
#include "media/boundedjob.h"
#include "media/gstsystem.h"
#include "media/mediapipeline.h"
#include "media/quietloop.h"
#include "media/videooutput.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QUrl>
#include <atomic>
#include <cstdio>
#include <functional>
#include <memory>
#include <gst/gst.h>

namespace {

// A medium that is neither loaded nor failed after this long counts as failed.
constexpr int kOpenTimeoutMs = 15000;
// An end this close to the length is the length.
constexpr qint64 kEndToleranceMs = 100;
// One frame at 25 frames per second, for a video that does not tell its rate.
constexpr qint64 kDefaultFrameMs = 40;
// A playing medium's position is looked at this often; found at the same place this many looks
// in a row, it stands still.
constexpr int kWatchMs = 500;
constexpr int kStillLooks = 2;
// How long the release of a pipeline that did not answer is waited for: a healthy one is freed
// in some milliseconds.
constexpr int kStuckReleaseMs = 100;

int g_lastDeviceId = 0;

int nextDeviceId() {
    if (++g_lastDeviceId <= 0) g_lastDeviceId = 1;
    return g_lastDeviceId;
}

QString unknownErrorText() { return QStringLiteral("Unknown error code"); }

void trace(const QString& fileName, const QString& what) {
    std::fprintf(stderr, "media: %s: %s\n", qUtf8Printable(fileName), qUtf8Printable(what));
}

MediaError errorKind(const GError* e) {
    if (e->domain == GST_RESOURCE_ERROR) {
        if (e->code == GST_RESOURCE_ERROR_NOT_AUTHORIZED) return MediaError::AccessDenied;
        return MediaError::Resource;
    }
    if (e->domain == GST_STREAM_ERROR || e->domain == GST_CORE_ERROR) return MediaError::Format;
    return MediaError::Unknown;
}

qint64 toMs(gint64 ns) { return ns < 0 ? 0 : ns / GST_MSECOND; }

using MessageRef = std::shared_ptr<GstMessage>;

}  // namespace

// What the pipeline's bus handler needs: the device, and which of its pipelines it serves.
struct MediaDevice::BusLink {
    MediaDevice* device;
    int pipeline;

    // Runs on whichever thread posts the message: the few messages the device uses are handed
    // to the user-interface thread, all of them are taken off the bus. A message dropped here is
    // this handler's to free: each holds its source, and a message never freed keeps the whole
    // pipeline alive after it is released.
    static GstBusSyncReply post(GstBus*, GstMessage* message, gpointer data) {
        switch (GST_MESSAGE_TYPE(message)) {
        case GST_MESSAGE_ERROR:
        case GST_MESSAGE_EOS:
        case GST_MESSAGE_ASYNC_DONE:
            break;
        default:
            gst_message_unref(message);
            return GST_BUS_DROP;
        }
        auto* link = static_cast<BusLink*>(data);
        MediaDevice* device = link->device;
        const int pipeline = link->pipeline;
        const int serial = device->m_flushSerial.load();
        MessageRef ref(message, gst_message_unref);
        QMetaObject::invokeMethod(
            device, [device, pipeline, serial, ref] { device->onBusMessage(pipeline, serial, ref.get()); },
            Qt::QueuedConnection);
        return GST_BUS_DROP;
    }
    static void free(gpointer data) { delete static_cast<BusLink*>(data); }
};

MediaDevice::MediaDevice(QObject* parent) : QObject(parent) {
    m_watch.setInterval(kWatchMs);
    connect(&m_watch, &QTimer::timeout, this, &MediaDevice::watchPlaying);
    m_retry.setSingleShot(true);
    connect(&m_retry, &QTimer::timeout, this, &MediaDevice::retryOpen);
}

MediaDevice::~MediaDevice() {
    Close();
    releasePipeline();
}

void MediaDevice::setPictureSize(QSize size) {
    m_pictureSize = size;
    if (m_output) m_output->setArea(size);
}

void MediaDevice::exposePicture() {
    if (m_output) m_output->expose();
}

quint64 MediaDevice::FramesShown() const { return m_output ? m_output->frames() : 0; }

QSize MediaDevice::VideoSize() const { return m_output && m_caps.hasVideo ? m_output->videoSize() : QSize(); }

MediaMode MediaDevice::Mode() const { return m_open ? m_mode : MediaMode::NotReady; }

qint64 MediaDevice::queryPosition() const {
    gint64 ns = 0;
    if (m_pipeline && gst_element_query_position(m_pipeline, GST_FORMAT_TIME, &ns)) m_lastPosition = toMs(ns);
    return m_lastPosition;
}

qint64 MediaDevice::Position() const {
    if (!m_open) return 0;
    if (m_atEnd) return m_endPosition;
    if (m_seekTarget >= 0) return m_seekTarget;
    const qint64 p = queryPosition();
    return m_length > 0 ? qMin(p, m_length) : p;
}

qint64 MediaDevice::Length() const { return m_open ? m_length : 0; }

bool MediaDevice::requireOpen() const {
    if (m_opening) return false;
    if (m_lost) {
        // Said once for the whole outage, not at every call or replay tick.
        if (!std::exchange(m_lostReported, true)) throw EMCIDeviceError(QStringLiteral("No MCI device open"));
        return false;
    }
    if (!m_open) throw EMCIDeviceError(QStringLiteral("No MCI device open"));
    return true;
}

void MediaDevice::Open() {
    if (m_opening) return;
    m_retry.stop();
    m_lost = false;
    m_lostReported = false;
    m_retryDelayMs = kFirstRetryMs;
    try {
        openWithin(kOpenTimeoutMs);
    } catch (const EMediaUnanswered&) {
        becomeLost(0);
        throw;
    }
}

void MediaDevice::openWithin(int loadMs) {
    closeMedium();

    m_opening = true;
    m_loaded = false;
    m_openFailed = false;
    m_openUnanswered = false;
    m_openError = MediaError::None;
    m_openReason.clear();

    QString why;
    bool loaded = false;
    if (m_fileName.isEmpty()) {
        // Nothing to open: no reason of the media system's own.
    } else if (!startMediaSystem(&why)) {
        m_openReason = why;
    } else {
        const QByteArray uri = QUrl::fromLocalFile(QFileInfo(m_fileName).absoluteFilePath()).toEncoded();
        m_output = std::make_unique<VideoOutput>(m_window, m_pictureSize);
        m_media = std::make_unique<MediaPipeline>(uri, *m_output, m_pictureSize);
        m_pipeline = m_media->element();
        if (m_pipeline) {
            GstBus* bus = gst_element_get_bus(m_pipeline);
            gst_bus_set_sync_handler(bus, &BusLink::post, new BusLink{this, ++m_pipelineId}, &BusLink::free);
            gst_object_unref(bus);
            loaded = waitForLoad(loadMs);
        } else {
            m_openReason = m_media->why();
        }
    }
    m_opening = false;

    if (!loaded) {
        const MediaError error = m_openError == MediaError::None ? MediaError::Unknown : m_openError;
        const QString reason = m_openReason.isEmpty() ? unknownErrorText() : m_openReason;
        releasePipeline();
        setResult(error, reason);
        if (m_openUnanswered) throw EMediaUnanswered(reason);
        throw EMCIDeviceError(reason);
    }

    m_open = true;
    m_deviceId = nextDeviceId();
    const int videoStreams = m_media->videoStreams();
    gint64 ns = 0;
    m_length = gst_element_query_duration(m_pipeline, GST_FORMAT_TIME, &ns) ? toMs(ns) : 0;
    m_caps = MediaCapabilities{};
    m_caps.canPlay = true;
    m_caps.hasVideo = videoStreams > 0;
    m_caps.canStep = m_caps.hasVideo;
    m_mode = MediaMode::Stopped;
    m_atEnd = false;
    m_seekTarget = -1;
    m_lastPosition = 0;
    m_notify = MediaNotify::None;
    m_notifyPending = false;
    m_playFailed = false;
    const bool sound = m_media->audioStreams() > 0;
    const bool toNothing = sound && m_media->soundToNothing();
    if (sound && !toNothing) m_hadSound = true;
    m_soundLost = toNothing && m_hadSound;
    setResult(MediaError::None);
}

// Brings the medium to a stand at its start, serving the event queue meanwhile. Socket reads and
// user input wait for later, so no receive cycle and no click starts inside an open; timers are
// served.
bool MediaDevice::waitForLoad(int loadMs) {
    // The change to PAUSED opens the sound output, which waits for a sound server that hangs.
    const auto changed = std::make_shared<std::atomic<int>>(GST_STATE_CHANGE_FAILURE);
    auto* pipeline = GST_ELEMENT(gst_object_ref(m_pipeline));
    const bool returned = runWithin(
        [pipeline, changed] {
            changed->store(gst_element_set_state(pipeline, GST_STATE_PAUSED));
            gst_object_unref(pipeline);
        },
        std::chrono::milliseconds(kStateBoundMs));
    if (!returned) {
        trace(m_fileName, QStringLiteral("the media system did not answer in %1 ms").arg(kStateBoundMs));
        m_stuck = true;
        m_openUnanswered = true;
        m_openReason = QStringLiteral("O sistema de som não respondeu: o arquivo será aberto de novo quando ele responder");
        return false;
    }
    const auto r = GstStateChangeReturn(changed->load());
    if (r == GST_STATE_CHANGE_NO_PREROLL) return true;
    if (r == GST_STATE_CHANGE_FAILURE) {
        // The reason is already on its way: the bus messages posted so far are handled now.
        QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
        if (!m_openFailed) m_openReason.clear();
        return false;
    }
    if (r == GST_STATE_CHANGE_ASYNC) QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
    if (r == GST_STATE_CHANGE_ASYNC && !m_loaded && !m_openFailed) {
        QuietLoop wait;
        m_openWait = &wait;
        const bool settled = wait.execFor(loadMs);
        m_openWait = nullptr;
        if (!settled && !m_loaded && !m_openFailed) {
            // Its streaming thread may be held by the sound system: it is tried again later.
            trace(m_fileName, QStringLiteral("not loaded after %1 ms").arg(loadMs));
            m_stuck = true;
            m_openUnanswered = true;
            m_openReason = QStringLiteral("O arquivo não carregou em %1 segundos").arg((loadMs + 999) / 1000);
            return false;
        }
    }
    return !m_openFailed;
}

// The pipeline goes, and the file with it; messages it had posted are dropped. Stopping it waits
// for its streaming threads, which a sound server that hangs may hold: it is stopped and freed on a
// thread of its own, waited for at most the bound (not at all when it has not answered already).
void MediaDevice::releasePipeline() {
    ++m_pipelineId;
    m_watch.stop();
    if (m_pipeline) {
        GstBus* bus = gst_element_get_bus(m_pipeline);
        gst_bus_set_sync_handler(bus, nullptr, nullptr, nullptr);
        gst_object_unref(bus);
    }
    m_pipeline = nullptr;
    if (!m_media && !m_output) return;
    const int bound = std::exchange(m_stuck, false) ? kStuckReleaseMs : kStateBoundMs;
    runWithin([media = std::shared_ptr<MediaPipeline>(std::move(m_media)),
               output = std::shared_ptr<VideoOutput>(std::move(m_output))]() mutable {
        media.reset();  // the pipeline first: it draws through the output
        output.reset();
    }, std::chrono::milliseconds(bound));
}

void MediaDevice::Close() {
    m_retry.stop();
    m_lost = false;
    m_lostReported = false;
    closeMedium();
}

void MediaDevice::closeMedium() {
    if (m_opening || !m_open) return;
    releasePipeline();
    m_open = false;
    m_deviceId = 0;
    m_caps = MediaCapabilities{};
    m_mode = MediaMode::NotReady;
    m_notifyPending = false;
    setResult(MediaError::None);
}

void MediaDevice::Play() {
    if (!requireOpen()) return;
    takeNotices();
    if (!m_caps.hasVideo && (m_playFailed || m_soundLost)) {
        // The sound output it had is gone (its server died or was restarted): a new open finds
        // the one there is now.
        restartAt(0);
        return;
    }
    if (m_atEnd) {
        if (!m_autoRewind) {
            // Nothing is left to play.
            setResult(MediaError::None);
            return;
        }
        Rewind();
    }
    startPlaying();
}

// The medium's notices posted while the thread was busy (a spoken call blocks it) are taken now,
// so that a medium that has ended meanwhile is not taken for one still playing.
void MediaDevice::takeNotices() { QCoreApplication::sendPostedEvents(this, QEvent::MetaCall); }

// A playing medium plays on: setting the state it is in changes nothing.
void MediaDevice::startPlaying() {
    if (m_notifyPending) deliver(MediaNotify::Superseded);
    // Starting a play does not wait for the sound server (the PulseAudio sink resumes its stream
    // without waiting for the answer), so it is made here, at once.
    const bool refused = gst_element_set_state(m_pipeline, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE;
    m_mode = MediaMode::Playing;
    m_notifyPending = true;
    m_watchPosition = -1;
    m_stillLooks = 0;
    m_watch.start();
    if (refused)
        setResult(MediaError::Unknown, QStringLiteral("The device did not play"));
    else
        setResult(MediaError::None);
}

void MediaDevice::watchPlaying() {
    takeNotices();
    if (!m_open || m_opening || !m_pipeline || m_mode != MediaMode::Playing) {
        m_watch.stop();
        return;
    }
    // A seek under way has its own time.
    const qint64 p = m_seekTarget >= 0 ? -1 : queryPosition();
    if (p < 0 || p != m_watchPosition) {
        m_watchPosition = p;
        m_stillLooks = 0;
        return;
    }
    if (++m_stillLooks < kStillLooks) return;
    m_stillLooks = 0;
    m_watchPosition = -1;
    if (m_length > 0 && p >= m_length - kEndToleranceMs) {
        trace(m_fileName, QStringLiteral("stood at its end without the end's notice: taken as ended"));
        onEndOfStream();
        return;
    }
    trace(m_fileName, QStringLiteral("stood still at %1 ms while playing: started again there").arg(p));
    restartAt(p);
}

// A pipeline whose sink has stuck is not brought back by a seek or a state change: the medium
// is opened again on a new pipeline, taken to the position and played, and the play's notice
// comes at the end of the new play. An open that fails leaves the device lost: it is tried again
// later.
void MediaDevice::restartAt(qint64 position) {
    try {
        openWithin(kRecoveryLoadMs);
    } catch (const EMCIDeviceError& e) {
        trace(m_fileName, QStringLiteral("could not be opened again: ") + e.text());
        becomeLost(position);
        return;
    }
    if (position > 0) seekTo(position);
    if (m_pipeline) startPlaying();
}

void MediaDevice::becomeLost(qint64 position) {
    m_lost = true;
    m_lostPosition = position;
    m_retry.start(m_retryDelayMs);
}

void MediaDevice::retryOpen() {
    if (!m_lost) return;
    if (m_opening || jobsStillRunning() > 0) {
        m_retry.start(m_retryDelayMs);
        return;
    }
    try {
        openWithin(kRecoveryLoadMs);
    } catch (const EMCIDeviceError& e) {
        m_retryDelayMs = std::min(2 * m_retryDelayMs, kLastRetryMs);
        trace(m_fileName, QStringLiteral("not opened again (%1): next try in %2 s").arg(e.text()).arg(m_retryDelayMs / 1000));
        m_retry.start(m_retryDelayMs);
        return;
    }
    m_lost = false;
    m_lostReported = false;
    m_retryDelayMs = kFirstRetryMs;
    trace(m_fileName, QStringLiteral("opened again"));
    // A video plays on from where it stood; a sound waits for its next play.
    if (m_caps.hasVideo) {
        if (m_lostPosition > 0) seekTo(m_lostPosition);
        if (m_pipeline) startPlaying();
    }
}

void MediaDevice::Pause() {
    if (!requireOpen()) return;
    takeNotices();
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
    takeNotices();
    if (m_mode == MediaMode::Playing) {
        if (!changeState(GST_STATE_PAUSED)) return;
        m_mode = MediaMode::Paused;
    }
    setResult(MediaError::None);
}

void MediaDevice::Resume() {
    if (!requireOpen()) return;
    takeNotices();
    if (Mode() != MediaMode::Paused) {
        // Only a paused medium resumes; anything else is played.
        Play();
        return;
    }
    startPlaying();
}

void MediaDevice::seekTo(qint64 position) {
    m_flushSerial.fetch_add(1);
    m_seekTarget = position;
    onPipeline([position](GstElement* pipeline) {
        gst_element_seek_simple(pipeline, GST_FORMAT_TIME, GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE),
                                position * GST_MSECOND);
    });
}

// A GstState to set; the GstStateChangeReturn in result.
bool MediaDevice::changeState(int state, int* result) {
    auto changed = std::make_shared<std::atomic<int>>(GST_STATE_CHANGE_FAILURE);
    if (!onPipeline([state, changed](GstElement* pipeline) {
            changed->store(gst_element_set_state(pipeline, GstState(state)));
        }))
        return false;
    if (result) *result = changed->load();
    return true;
}

// The operation runs on a thread of its own, with a reference of its own to the pipeline. One that
// has not returned within the bound is waiting for the sound system: the pipeline is left to it,
// freed once it returns, and the medium is lost and opened again later.
bool MediaDevice::onPipeline(const std::function<void(GstElement*)>& operation) {
    if (!m_pipeline) return false;
    auto* pipeline = GST_ELEMENT(gst_object_ref(m_pipeline));
    if (runWithin(
            [pipeline, operation] {
                operation(pipeline);
                gst_object_unref(pipeline);
            },
            std::chrono::milliseconds(kStateBoundMs)))
        return true;
    trace(m_fileName, QStringLiteral("the media system did not answer in %1 ms: opened again later").arg(kStateBoundMs));
    const qint64 position = m_lastPosition;
    m_stuck = true;
    closeMedium();
    becomeLost(position);
    return false;
}

// Held at a position, stopped.
void MediaDevice::stopAt(qint64 position, bool atEnd) {
    if (m_notifyPending) deliver(MediaNotify::Aborted);
    if (!changeState(GST_STATE_PAUSED)) return;
    seekTo(position);
    if (!m_pipeline) return;
    m_mode = MediaMode::Stopped;
    m_atEnd = atEnd;
    m_endPosition = m_length;
    setResult(MediaError::None);
}

void MediaDevice::Rewind() {
    if (!requireOpen()) return;
    stopAt(0, false);
}

void MediaDevice::Stop() {
    if (!requireOpen()) return;
    stopAt(0, false);
}

// The picture shows the last frame.
void MediaDevice::Next() {
    if (!requireOpen()) return;
    stopAt(qMax<qint64>(0, m_length - frameMs()), true);
}

void MediaDevice::Previous() {
    if (!requireOpen()) return;
    stopAt(0, false);
}

qint64 MediaDevice::frameMs() const {
    const double rate = m_output ? m_output->frameRate() : 0;
    return rate > 0 ? qMax<qint64>(1, qRound64(1000.0 / rate)) : kDefaultFrameMs;
}

void MediaDevice::stepBy(qint64 delta) {
    if (!m_caps.canStep) {
        setResult(MediaError::Unsupported, QStringLiteral("The device cannot step"));
        return;
    }
    if (m_notifyPending) deliver(MediaNotify::Aborted);
    const qint64 from = Position();
    // A held medium shows the frame it stands on.
    if (m_mode != MediaMode::Paused && !changeState(GST_STATE_PAUSED)) return;
    m_mode = MediaMode::Paused;
    m_atEnd = false;
    seekTo(qBound<qint64>(0, from + delta, m_length));
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

void MediaDevice::onBusMessage(int pipeline, int flushSerial, GstMessage* message) {
    if (pipeline != m_pipelineId || !m_pipeline) return;
    const bool current = flushSerial == m_flushSerial.load();
    switch (GST_MESSAGE_TYPE(message)) {
    case GST_MESSAGE_ERROR:
        onError(message);
        break;
    case GST_MESSAGE_EOS:
        if (current) onEndOfStream();
        break;
    case GST_MESSAGE_ASYNC_DONE:
        if (m_opening) m_loaded = true;
        if (current) m_seekTarget = -1;
        break;
    default:
        break;
    }
    if (m_openWait && (m_loaded || m_openFailed)) m_openWait->quit();
}

// While opening, the first failure is the reason the open gives. Later, a failure ends the
// play: the medium stands stopped, and a later play starts it again.
void MediaDevice::onError(GstMessage* message) {
    GError* error = nullptr;
    gst_message_parse_error(message, &error, nullptr);
    const QString text = error && error->message ? QString::fromUtf8(error->message) : QString();
    const MediaError kind = error ? errorKind(error) : MediaError::Unknown;
    if (error) g_error_free(error);
    if (m_opening) {
        if (!m_openFailed) {
            m_openFailed = true;
            m_openError = kind;
            m_openReason = text;
        }
        return;
    }
    const QString reason = text.isEmpty() ? unknownErrorText() : text;
    trace(m_fileName, reason);
    setResult(kind, reason);
    if (!changeState(GST_STATE_READY)) return;
    m_mode = MediaMode::Stopped;
    m_seekTarget = -1;
    m_lastPosition = 0;
    m_playFailed = true;
    if (m_notifyPending) deliver(MediaNotify::Failure);
}

void MediaDevice::onEndOfStream() {
    if (m_mode != MediaMode::Playing) return;
    const qint64 reached = queryPosition();
    if (!changeState(GST_STATE_PAUSED)) return;
    m_mode = MediaMode::Stopped;
    m_atEnd = true;
    m_endPosition = reached <= 0 || reached >= m_length - kEndToleranceMs ? m_length : reached;
    if (m_notifyPending) deliver(MediaNotify::Successful);
}
