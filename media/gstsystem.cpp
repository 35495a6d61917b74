#include "media/gstsystem.h"

#include <gst/gst.h>

bool startMediaSystem(QString* why) {
    static QString failure;
    static const bool started = [] {
        GError* error = nullptr;
        if (gst_init_check(nullptr, nullptr, &error)) return true;
        failure = error ? QString::fromUtf8(error->message) : QStringLiteral("GStreamer could not be started");
        if (error) g_error_free(error);
        return false;
    }();
    if (!started && why) *why = failure;
    return started;
}
