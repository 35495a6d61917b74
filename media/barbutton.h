#pragma once
// A button of a player's bar. Greyed, it looks exactly like a disabled button and still runs
// its operation when pressed: the bar's look follows the last press, while the device may have
// been moved meanwhile by the program's own calls.

#include <QToolButton>

class TMPButton : public QToolButton {
    Q_OBJECT
    Q_PROPERTY(bool greyed READ isGreyed WRITE setGreyed)
public:
    using QToolButton::QToolButton;

    bool isGreyed() const { return m_greyed; }
    void setGreyed(bool greyed);

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    bool m_greyed = false;
};
