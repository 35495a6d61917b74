#include "media/barbutton.h"

#include <QStyleOptionToolButton>
#include <QStylePainter>

void TMPButton::setGreyed(bool greyed) {
    if (greyed == m_greyed) return;
    m_greyed = greyed;
    update();
}

// Drawn as the style draws a disabled button: no enabled state, the disabled colours, the
// icon's disabled pixmap.
void TMPButton::paintEvent(QPaintEvent* e) {
    if (!m_greyed) {
        QToolButton::paintEvent(e);
        return;
    }
    QStylePainter p(this);
    QStyleOptionToolButton option;
    initStyleOption(&option);
    option.state &= ~(QStyle::State_Enabled | QStyle::State_MouseOver);
    option.palette.setCurrentColorGroup(QPalette::Disabled);
    p.drawComplexControl(QStyle::CC_ToolButton, option);
}
