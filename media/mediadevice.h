#pragma once
// One media device: a medium opened from a file and played by a GStreamer pipeline, with the
// semantics the panel relies on. Open waits until the medium is loaded; play, pause and resume
// return at once and the medium plays on its own; a play that finds the medium at its end
// rewinds it first (AutoRewind). Failures of play, pause and seek raise nothing: they are kept
// as the last error. A medium that stands still while it plays (GStreamer's PulseAudio sink has
// been seen to stay at the start for good when set playing again) is opened again and played
// from where it stood, and one that stands at its end without the end's notice is taken as
// ended. Everything runs on the user-interface thread.
//
// No call into GStreamer that may wait for the sound system holds that thread past a bound: a
// sound server that hangs keeps a pipeline's state changes and seeks (the PulseAudio sink waits
// for the server to pause or resume its stream), or its streaming thread, waiting for as long as
// it hangs. Each of them runs on a thread of its own and is waited for at most kStateBoundMs; one
// that has not returned by then leaves its pipeline to that thread, and the medium is lost (below).
// A pipeline is stopped and freed on a thread of its own.
//
// A medium whose reopen fails (the sound server hangs or was restarted, the sound output went
// away, the file was replaced) is lost, not closed for good: it is opened again later, at growing
// intervals (kFirstRetryMs doubling up to kLastRetryMs), until that succeeds (while a pipeline
// given up on still waits for the sound system, which still hangs then, no open is tried), and a video that was
// playing plays on from where it stood. While it is lost, the operations do nothing; the first
// says "No MCI device open", the next ones say nothing until it has been opened again. A sound
// whose play failed, or that had a sound output once and now plays to nothing, is opened again
// at its next play, so that a sound server started anew is found.

#include "base/errors.h"
#include "media/mediatypes.h"

#include <QObject>
#include <QSize>
#include <QString>
#include <QTimer>
#include <atomic>
#include <functional>
#include <memory>

// The sound system did not answer within the bound while a medium was being opened: the device
// tries again by itself (see above).
class EMediaUnanswered : public EMCIDeviceError {
    using EMCIDeviceError::EMCIDeviceError;
};

class MediaPipeline;
class QuietLoop;
class VideoOutput;
typedef struct _GstElement GstElement;
typedef struct _GstMessage GstMessage;

class MediaDevice : public QObject {
    Q_OBJECT
public:
    explicit MediaDevice(QObject* parent = nullptr);
    ~MediaDevice() override;  // closes an open device

    const QString& FileName() const { return m_fileName; }
    void setFileName(const QString& path) { m_fileName = path; }
    bool AutoRewind() const { return m_autoRewind; }
    void setAutoRewind(bool on) { m_autoRewind = on; }
    // The native window the video is drawn in, 0 for none (the frames are then taken in time
    // and not drawn). Kept for the following opens.
    void setVideoWindow(quintptr window) { m_window = window; }
    // The size of the picture in that window: the video is scaled into it keeping its aspect.
    void setPictureSize(QSize size);
    // Draws the last frame again (the window was uncovered).
    void exposePicture();
    // Frames that have reached the video's sink since the open; the size of the video as decoded
    // (empty without video).
    quint64 FramesShown() const;
    QSize VideoSize() const;

    bool isOpen() const { return m_open; }
    bool isOpening() const { return m_opening; }
    int DeviceID() const { return m_deviceId; }  // non-zero exactly while open
    const MediaCapabilities& Capabilities() const { return m_caps; }
    MediaError Error() const { return m_error; }
    const QString& ErrorMessage() const { return m_errorMessage; }
    MediaNotify NotifyValue() const { return m_notify; }
    MediaMode Mode() const;
    qint64 Position() const;  // milliseconds from the start
    qint64 Length() const;    // milliseconds

    // Closes the device if open, then opens FileName and returns once the medium is loaded or
    // has failed. A failure raises EMCIDeviceError with the media system's reason ("Unknown
    // error code" when it gives none) and leaves the device closed; when the sound system did
    // not answer it raises EMediaUnanswered and the device is lost: it is opened again later.
    void Open();
    // Does nothing while closed; ends the tries of a lost device.
    void Close();
    // Lost: the medium's reopen failed, and it is being opened again at growing intervals.
    bool isLost() const { return m_lost; }

    // A state change that does not return within this is waited for no longer
    // (generous: on a loaded machine the sound server answers a healthy change late).
    static constexpr int kStateBoundMs = 2500;
    // The longest the reopen of a lost or stuck medium waits for it to load.
    static constexpr int kRecoveryLoadMs = 3000;
    static constexpr int kFirstRetryMs = 1000;
    static constexpr int kLastRetryMs = 60000;

    // The operations below raise EMCIDeviceError "No MCI device open" on a closed device and do
    // nothing else. A call that arrives while the device is still opening (from a timer served
    // by the open's wait) is dropped.
    void Play();       // from the current position; rewinds first at the end of the medium
    void Pause();      // playing: PauseOnly; paused: Resume; anything else: nothing
    void PauseOnly();  // holds a playing medium at its position
    void Resume();     // continues a paused medium; otherwise Play
    void Rewind();     // stops at the start
    void Stop();       // stops; the medium goes back to its start
    void Next();       // stops at the end of the medium
    void Previous();   // stops at the start
    void Step();       // holds the medium and moves one frame forward (devices with video)
    void Back();       // holds the medium and moves one frame back (devices with video)
    void StartRecording();  // no device here records: recorded as unsupported
    void Eject();           // no device here ejects: recorded as unsupported

Q_SIGNALS:
    // A play or resume has ended, for the reason given.
    void notified(MediaNotify kind);

private:
    struct BusLink;
    bool requireOpen() const;
    void takeNotices();
    void openWithin(int loadMs);
    void closeMedium();
    bool waitForLoad(int loadMs);
    void releasePipeline();
    void becomeLost(qint64 position);
    bool changeState(int state, int* result = nullptr);
    bool onPipeline(const std::function<void(GstElement*)>& operation);
    void retryOpen();
    void startPlaying();
    void watchPlaying();
    void restartAt(qint64 position);
    void stopAt(qint64 position, bool atEnd);
    void seekTo(qint64 position);
    void stepBy(qint64 delta);
    qint64 frameMs() const;
    qint64 queryPosition() const;
    void setResult(MediaError error, const QString& message = QString());
    void deliver(MediaNotify kind);
    void onBusMessage(int pipeline, int flushSerial, GstMessage* message);
    void onError(GstMessage* message);
    void onEndOfStream();

    QString m_fileName;
    bool m_autoRewind = true;
    quintptr m_window = 0;
    QSize m_pictureSize;

    std::unique_ptr<VideoOutput> m_output;  // outlives the pipeline, which draws through it
    std::unique_ptr<MediaPipeline> m_media;
    GstElement* m_pipeline = nullptr;       // m_media's
    int m_pipelineId = 0;                // messages of an older pipeline are dropped
    std::atomic<int> m_flushSerial{0};   // messages from before the latest seek are stale
    bool m_open = false;
    bool m_opening = false;
    int m_deviceId = 0;
    MediaCapabilities m_caps;
    MediaError m_error = MediaError::None;
    QString m_errorMessage;
    MediaNotify m_notify = MediaNotify::None;
    bool m_notifyPending = false;

    MediaMode m_mode = MediaMode::NotReady;
    qint64 m_length = 0;
    bool m_atEnd = false;        // stopped at the end of the medium
    qint64 m_endPosition = 0;    // where it ended
    qint64 m_seekTarget = -1;    // a seek under way, until it is done
    mutable qint64 m_lastPosition = 0;
    // While playing: the position seen at the last look, and how many looks in a row found it
    // there.
    QTimer m_watch;
    qint64 m_watchPosition = -1;
    int m_stillLooks = 0;

    // Lost and being opened again: the next try, its interval, where the medium stood.
    QTimer m_retry;
    int m_retryDelayMs = kFirstRetryMs;
    bool m_lost = false;
    mutable bool m_lostReported = false;
    qint64 m_lostPosition = 0;
    bool m_playFailed = false;   // the last play ended in an error
    bool m_hadSound = false;     // an open found a sound output once
    bool m_soundLost = false;    // ... and this one plays to nothing
    bool m_stuck = false;        // the pipeline did not answer: it is freed without waiting

    // The open under way: its wait, whether the medium is ready, and its first failure.
    QuietLoop* m_openWait = nullptr;
    bool m_loaded = false;
    bool m_openFailed = false;
    bool m_openUnanswered = false;
    MediaError m_openError = MediaError::None;
    QString m_openReason;
};
