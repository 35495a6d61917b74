#include "media/videopicture.h"

#include <QGuiApplication>
#include <QPainter>

TVideoPicture::TVideoPicture(QWidget* parent)
    : QWidget(parent), m_native(QGuiApplication::platformName() == QLatin1String("xcb")) {
    // Clicks on the picture belong to the display (it has a double-click of its own).
    setAttribute(Qt::WA_TransparentForMouseEvents);
    if (m_native) {
        setAttribute(Qt::WA_PaintOnScreen);
        setAttribute(Qt::WA_NoSystemBackground);
        setAttribute(Qt::WA_OpaquePaintEvent);
    }
}

// The native window is made here, with the size the picture has by then: one made at once
// would report its first size back later and undo the placing.
quintptr TVideoPicture::drawingWindow() {
    if (!m_native) return 0;
    setAttribute(Qt::WA_DontCreateNativeAncestors);
    setAttribute(Qt::WA_NativeWindow);
    return quintptr(winId());
}

QPaintEngine* TVideoPicture::paintEngine() const { return m_native ? nullptr : QWidget::paintEngine(); }

void TVideoPicture::paintEvent(QPaintEvent*) {
    if (m_native) {
        Q_EMIT exposed();
        return;
    }
    QPainter(this).fillRect(rect(), Qt::black);
}
