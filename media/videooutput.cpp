#include "media/videooutput.h"

#include <cstdio>
#include <gst/gst.h>
#include <gst/video/videooverlay.h>

namespace {

GstPadProbeReturn countFrame(GstPad*, GstPadProbeInfo*, gpointer counter) {
    static_cast<std::atomic<quint64>*>(counter)->fetch_add(1, std::memory_order_relaxed);
    return GST_PAD_PROBE_OK;
}

// The caps that fix the picture's size; any size before the area is known. The size is kept
// even, which every raw video format accepts.
GstCaps* capsForArea(QSize area) {
    const int w = area.width() & ~1, h = area.height() & ~1;
    if (w < 2 || h < 2) return gst_caps_new_empty_simple("video/x-raw");
    return gst_caps_new_simple("video/x-raw", "width", G_TYPE_INT, w, "height", G_TYPE_INT, h, "pixel-aspect-ratio",
                               GST_TYPE_FRACTION, 1, 1, nullptr);
}

GstElement* make(const char* factory) { return gst_element_factory_make(factory, nullptr); }

void addGhostSink(GstElement* bin, GstElement* first) {
    GstPad* pad = gst_element_get_static_pad(first, "sink");
    gst_element_add_pad(bin, gst_ghost_pad_new("sink", pad));
    gst_object_unref(pad);
}

GstCaps* entryCaps(GstElement* bin) {
    GstPad* pad = gst_element_get_static_pad(bin, "sink");
    GstCaps* caps = pad ? gst_pad_get_current_caps(pad) : nullptr;
    if (pad) gst_object_unref(pad);
    return caps;
}

}  // namespace

VideoOutput::VideoOutput(quintptr window, QSize area) {
    m_bin = gst_bin_new("painel-video");
    gst_object_ref_sink(m_bin);
    GstElement* sink = nullptr;
    if (window) {
        GstElement* scale = make("videoscale");
        GstElement* caps = make("capsfilter");
        GstElement* convert = make("videoconvert");
        GstElement* draw = make("ximagesink");
        if (scale && caps && convert && draw) {
            // Scaled in the decoder's format, then converted at the picture's size.
            g_object_set(scale, "add-borders", TRUE, nullptr);
            GstCaps* c = capsForArea(area);
            g_object_set(caps, "caps", c, nullptr);
            gst_caps_unref(c);
            // Mouse and keyboard stay the window's: the sink listens to none of its events.
            g_object_set(draw, "handle-events", FALSE, nullptr);
            gst_video_overlay_set_window_handle(GST_VIDEO_OVERLAY(draw), guintptr(window));
            gst_bin_add_many(GST_BIN(m_bin), scale, caps, convert, draw, nullptr);
            gst_element_link_many(scale, caps, convert, draw, nullptr);
            addGhostSink(m_bin, scale);
            m_scaleCaps = caps;
            m_window = draw;
            sink = draw;
        } else {
            for (GstElement* e : {scale, caps, convert, draw})
                if (e) gst_object_unref(gst_object_ref_sink(e));
            std::fprintf(stderr, "media: GStreamer's X sink or scaler is missing (gstreamer1.0-x, "
                                 "gstreamer1.0-plugins-base): the video is not drawn\n");
        }
    }
    if (!sink) {
        sink = make("fakesink");
        g_object_set(sink, "sync", TRUE, nullptr);
        gst_bin_add(GST_BIN(m_bin), sink);
        addGhostSink(m_bin, sink);
    }
    GstPad* pad = gst_element_get_static_pad(sink, "sink");
    gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_BUFFER, countFrame, &m_frames, nullptr);
    gst_object_unref(pad);
}

VideoOutput::~VideoOutput() { gst_object_unref(m_bin); }

void VideoOutput::setArea(QSize area) {
    if (!m_scaleCaps) return;
    GstCaps* c = capsForArea(area);
    g_object_set(m_scaleCaps, "caps", c, nullptr);
    gst_caps_unref(c);
}

void VideoOutput::expose() {
    if (m_window) gst_video_overlay_expose(GST_VIDEO_OVERLAY(m_window));
}

QSize VideoOutput::videoSize() const {
    GstCaps* caps = entryCaps(m_bin);
    if (!caps) return {};
    int w = 0, h = 0;
    const GstStructure* s = gst_caps_get_structure(caps, 0);
    gst_structure_get_int(s, "width", &w);
    gst_structure_get_int(s, "height", &h);
    gst_caps_unref(caps);
    return {w, h};
}

double VideoOutput::frameRate() const {
    GstCaps* caps = entryCaps(m_bin);
    if (!caps) return 0;
    int n = 0, d = 1;
    const bool known = gst_structure_get_fraction(gst_caps_get_structure(caps, 0), "framerate", &n, &d);
    gst_caps_unref(caps);
    return known && d > 0 ? double(n) / d : 0;
}
