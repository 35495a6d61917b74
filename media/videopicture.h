#pragma once
// The video's picture on its display. On X it is a native window of its own, in which GStreamer
// draws the frames itself: Qt paints nothing there and only tells when it was uncovered. On a
// platform without native windows for it (offscreen) it is a black area.

#include <QWidget>

class TVideoPicture : public QWidget {
    Q_OBJECT
public:
    explicit TVideoPicture(QWidget* parent);

    // The window GStreamer draws in; 0 when the frames are not drawn.
    quintptr drawingWindow();

Q_SIGNALS:
    void exposed();

protected:
    QPaintEngine* paintEngine() const override;
    void paintEvent(QPaintEvent* e) override;

private:
    bool m_native;
};
