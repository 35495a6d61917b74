#pragma once
// The GStreamer pipeline of one medium: a decoder for the file (uridecodebin) whose decoded
// streams are linked as they appear, the first video stream to the device's video output, the
// first sound stream to the system's audio sink. A video larger than its picture is decoded at
// a reduced size (halved as long as it still covers the picture) where the decoder can.

#include <QSize>
#include <QString>
#include <atomic>

typedef struct _GstElement GstElement;
typedef struct _GstPad GstPad;
class VideoOutput;

class MediaPipeline {
public:
    // A pipeline for the file at uri; output receives the video, whose picture is `picture`
    // large (empty: decoded at its full size). element() is null when GStreamer lacks the
    // elements it needs (why() says which).
    MediaPipeline(const QByteArray& uri, VideoOutput& output, QSize picture);
    ~MediaPipeline();  // stops the pipeline and lets the file go
    MediaPipeline(const MediaPipeline&) = delete;
    MediaPipeline& operator=(const MediaPipeline&) = delete;

    GstElement* element() const { return m_pipeline; }
    const QString& why() const { return m_why; }
    // Decoded streams linked so far.
    int videoStreams() const { return m_video.load(); }
    int audioStreams() const { return m_audio.load(); }
    // True when the sound goes nowhere: the system's audio sink found no sound output and took
    // a sink that plays to nothing.
    bool soundToNothing() const;

private:
    static void onPadAdded(GstElement* decoder, GstPad* pad, void* self);
    static void onElementAdded(GstElement* bin, GstElement* sub, GstElement* element, void* self);
    void link(GstPad* pad);
    GstElement* makeAudioSink();

    GstElement* m_pipeline = nullptr;
    VideoOutput& m_output;
    QSize m_picture;
    QString m_why;
    std::atomic<int> m_video{0};
    std::atomic<int> m_audio{0};
    std::atomic<GstElement*> m_audioSink{nullptr}; // the system's audio sink, once linked
};
