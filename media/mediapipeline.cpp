#include "media/mediapipeline.h"

#include "media/videooutput.h"

#include <gst/gst.h>

namespace {

// GStreamer's libav decoders go down to a quarter of the size.
constexpr int kMaxSizeReduction = 2;

// How many times the video can be halved and still cover the picture.
int reductionFor(int width, int height, QSize picture) {
    if (picture.isEmpty()) return 0;
    int k = 0;
    while (k < kMaxSizeReduction && (width >> (k + 1)) >= picture.width() && (height >> (k + 1)) >= picture.height()) ++k;
    return k;
}

bool isVideoDecoder(GstElement* element) {
    GstElementFactory* factory = gst_element_get_factory(element);
    const gchar* klass = factory ? gst_element_factory_get_metadata(factory, GST_ELEMENT_METADATA_KLASS) : nullptr;
    return klass && g_strrstr(klass, "Decoder") && g_strrstr(klass, "Video") &&
           g_object_class_find_property(G_OBJECT_GET_CLASS(element), "lowres");
}

struct Reduction {
    GstElement* decoder;
    QSize picture;
};

// Sets the decoder's reduced size from the stream's size, before the decoder opens it.
GstPadProbeReturn chooseReduction(GstPad*, GstPadProbeInfo* info, gpointer data) {
    GstEvent* event = GST_PAD_PROBE_INFO_EVENT(info);
    if (GST_EVENT_TYPE(event) != GST_EVENT_CAPS) return GST_PAD_PROBE_OK;
    GstCaps* caps = nullptr;
    gst_event_parse_caps(event, &caps);
    int w = 0, h = 0;
    const GstStructure* s = caps ? gst_caps_get_structure(caps, 0) : nullptr;
    if (s && gst_structure_get_int(s, "width", &w) && gst_structure_get_int(s, "height", &h)) {
        const auto* r = static_cast<const Reduction*>(data);
        g_object_set(r->decoder, "lowres", reductionFor(w, h, r->picture), nullptr);
    }
    return GST_PAD_PROBE_REMOVE;
}

void freeReduction(gpointer data) { delete static_cast<Reduction*>(data); }

}  // namespace

MediaPipeline::MediaPipeline(const QByteArray& uri, VideoOutput& output, QSize picture)
    : m_output(output), m_picture(output.drawsInWindow() ? picture : QSize()) {
    GstElement* decoder = gst_element_factory_make("uridecodebin", nullptr);
    if (!decoder) {
        m_why = QStringLiteral("GStreamer has no uridecodebin element (gstreamer1.0-plugins-base)");
        return;
    }
    m_pipeline = GST_ELEMENT(gst_object_ref_sink(gst_pipeline_new(nullptr)));
    g_object_set(decoder, "uri", uri.constData(), nullptr);
    gst_bin_add(GST_BIN(m_pipeline), decoder);
    g_signal_connect(decoder, "pad-added", G_CALLBACK(&MediaPipeline::onPadAdded), this);
    g_signal_connect(m_pipeline, "deep-element-added", G_CALLBACK(&MediaPipeline::onElementAdded), this);
}

bool MediaPipeline::soundToNothing() const {
    GstElement* sink = m_audioSink.load();
    if (!sink || !GST_IS_BIN(sink)) return false;
    bool nothing = false;
    GST_OBJECT_LOCK(sink);
    for (GList* child = GST_BIN_CHILDREN(GST_BIN(sink)); child; child = child->next) {
        GstElementFactory* factory = gst_element_get_factory(GST_ELEMENT(child->data));
        if (factory && g_strcmp0(GST_OBJECT_NAME(factory), "fakesink") == 0) nothing = true;
    }
    GST_OBJECT_UNLOCK(sink);
    return nothing;
}

MediaPipeline::~MediaPipeline() {
    if (!m_pipeline) return;
    gst_element_set_state(m_pipeline, GST_STATE_NULL);
    gst_object_unref(m_pipeline);
}

// On the decoder's streaming thread.
void MediaPipeline::onPadAdded(GstElement*, GstPad* pad, void* self) { static_cast<MediaPipeline*>(self)->link(pad); }

void MediaPipeline::onElementAdded(GstElement*, GstElement*, GstElement* element, void* self) {
    auto* me = static_cast<MediaPipeline*>(self);
    if (me->m_picture.isEmpty() || !isVideoDecoder(element)) return;
    GstPad* sink = gst_element_get_static_pad(element, "sink");
    if (!sink) return;
    gst_pad_add_probe(sink, GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM, chooseReduction, new Reduction{element, me->m_picture},
                      freeReduction);
    gst_object_unref(sink);
}

GstElement* MediaPipeline::makeAudioSink() {
    GstElement* bin = gst_bin_new(nullptr);
    GstElement* convert = gst_element_factory_make("audioconvert", nullptr);
    GstElement* resample = gst_element_factory_make("audioresample", nullptr);
    GstElement* sink = gst_element_factory_make("autoaudiosink", nullptr);
    if (!convert || !resample || !sink) {
        for (GstElement* e : {bin, convert, resample, sink})
            if (e) gst_object_unref(gst_object_ref_sink(e));
        return nullptr;
    }
    gst_bin_add_many(GST_BIN(bin), convert, resample, sink, nullptr);
    gst_element_link_many(convert, resample, sink, nullptr);
    m_audioSink.store(sink);
    GstPad* pad = gst_element_get_static_pad(convert, "sink");
    gst_element_add_pad(bin, gst_ghost_pad_new("sink", pad));
    gst_object_unref(pad);
    return bin;
}

// The first stream of each kind is played; further ones are left unlinked.
void MediaPipeline::link(GstPad* pad) {
    GstCaps* caps = gst_pad_get_current_caps(pad);
    if (!caps) caps = gst_pad_query_caps(pad, nullptr);
    const gchar* name = caps && !gst_caps_is_empty(caps) ? gst_structure_get_name(gst_caps_get_structure(caps, 0)) : "";
    const bool video = g_str_has_prefix(name, "video/");
    const bool audio = g_str_has_prefix(name, "audio/");
    if (caps) gst_caps_unref(caps);

    GstElement* branch = nullptr;
    if (video && m_video.load() == 0) branch = m_output.element();
    else if (audio && m_audio.load() == 0) branch = makeAudioSink();
    if (!branch) return;
    gst_bin_add(GST_BIN(m_pipeline), branch);
    gst_element_sync_state_with_parent(branch);
    GstPad* sink = gst_element_get_static_pad(branch, "sink");
    const bool linked = gst_pad_link(pad, sink) == GST_PAD_LINK_OK;
    gst_object_unref(sink);
    if (linked) (video ? m_video : m_audio).fetch_add(1);
}
