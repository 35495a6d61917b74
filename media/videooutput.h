#pragma once
// Where a medium's video goes: drawn by GStreamer straight into a native window (scaled to the
// picture's area keeping its aspect, black borders around it), or, without a window, taken in
// time by a sink that draws nothing. Either way the frames that reach the sink are counted, and
// the size and rate of the video that enters it can be read.

#include <QSize>
#include <QtGlobal>
#include <atomic>

typedef struct _GstElement GstElement;

class VideoOutput {
public:
    // window: the native window to draw in, 0 for none; area: its size.
    VideoOutput(quintptr window, QSize area);
    ~VideoOutput();
    VideoOutput(const VideoOutput&) = delete;
    VideoOutput& operator=(const VideoOutput&) = delete;

    // The sink to give the pipeline (this object keeps a reference of its own).
    GstElement* element() const { return m_bin; }
    bool drawsInWindow() const { return m_window != nullptr; }

    // The picture's area changed: the video is scaled to it from the next frame on.
    void setArea(QSize area);
    // The window was uncovered: the last frame is drawn again.
    void expose();

    quint64 frames() const { return m_frames.load(std::memory_order_relaxed); }
    // The size and frame rate of the video as decoded (empty and 0 before the first frame).
    QSize videoSize() const;
    double frameRate() const;

private:
    GstElement* m_bin = nullptr;
    GstElement* m_scaleCaps = nullptr;  // the size the picture is scaled to
    GstElement* m_window = nullptr;     // the element drawing in the window
    std::atomic<quint64> m_frames{0};
};
