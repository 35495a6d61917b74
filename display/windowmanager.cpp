#include "display/windowmanager.h"

#include <QByteArray>
#include <QGuiApplication>
#include <QtGui/qguiapplication_platform.h>
#include <cstdlib>
#include <xcb/xcb.h>

namespace {

xcb_atom_t atom(xcb_connection_t* c, const QByteArray& name) {
    xcb_intern_atom_reply_t* reply =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 1, quint16(name.size()), name.constData()), nullptr);
    const xcb_atom_t a = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return a;
}

// The window named by a WINDOW property of another, or none.
xcb_window_t windowProperty(xcb_connection_t* c, xcb_window_t window, xcb_atom_t property) {
    xcb_get_property_reply_t* reply =
        xcb_get_property_reply(c, xcb_get_property(c, 0, window, property, XCB_ATOM_WINDOW, 0, 1), nullptr);
    xcb_window_t found = XCB_WINDOW_NONE;
    if (reply && reply->type == XCB_ATOM_WINDOW && reply->format == 32 && xcb_get_property_value_length(reply) == 4)
        found = *static_cast<const xcb_window_t*>(xcb_get_property_value(reply));
    std::free(reply);
    return found;
}

bool x11WindowManagerRunning(xcb_connection_t* c) {
    const xcb_atom_t check = atom(c, QByteArrayLiteral("_NET_SUPPORTING_WM_CHECK"));
    int screen = 0;
    for (xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c)); it.rem; xcb_screen_next(&it), ++screen) {
        // EWMH: the root names a child window that names itself; a stale property left by a window
        // manager that has gone names a window that no longer exists.
        const xcb_window_t child = windowProperty(c, it.data->root, check);
        if (child != XCB_WINDOW_NONE && windowProperty(c, child, check) == child) return true;
        // ICCCM: a window manager owns the selection WM_Sn of its screen.
        const xcb_atom_t selection = atom(c, "WM_S" + QByteArray::number(screen));
        xcb_get_selection_owner_reply_t* owner =
            xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, selection), nullptr);
        const bool owned = owner && owner->owner != XCB_WINDOW_NONE;
        std::free(owner);
        if (owned) return true;
    }
    return false;
}

} // namespace

bool windowManagerRunning() {
    const QString platform = QGuiApplication::platformName();
    if (platform.startsWith(QStringLiteral("wayland"))) return true;
    if (platform != QStringLiteral("xcb")) return false;
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* c = x11 ? x11->connection() : nullptr;
    return c && x11WindowManagerRunning(c);
}

QRect centredOn(const QRect& available, const QSize& clientSize) {
    QRect r(QPoint(0, 0), clientSize);
    r.moveCenter(available.center());
    return r;
}
