#pragma once
// A private X server (Xvfb) for tests and benchmarks that need a real window system: started on
// a display number it picks itself, stopped when the object goes.

#include <QSize>
#include <QString>

class XvfbServer {
public:
    // Starts Xvfb with one screen of the given size and depth 24; display() is empty when it
    // could not be started (why() says why).
    explicit XvfbServer(QSize screen);
    ~XvfbServer();
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    // ":N", or empty.
    const QString& display() const { return m_display; }
    const QString& why() const { return m_why; }

private:
    long long m_pid = -1;
    QString m_display;
    QString m_why;
};
