#pragma once
// A widget standing in for a video's display, counting the double-clicks it gets.

#include <QMouseEvent>
#include <QWidget>

class CountingDisplay : public QWidget {
public:
    int doubleClicks = 0;

protected:
    void mouseDoubleClickEvent(QMouseEvent* e) override {
        ++doubleClicks;
        e->accept();
    }
};
