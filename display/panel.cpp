#include "display/panel.h"

#include "display/fonts.h"
#include "display/textfit.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>

TPanel::TPanel(const QString& name, QWidget* parent) : TClickable(parent) {
    setObjectName(name);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TPanel::setText(const QString& text) {
    if (text == m_text) return;
    m_text = text;
    update();
}

void TPanel::setColor(const QColor& color) {
    m_color = color;
    update();
}

void TPanel::setTextColor(const QColor& color) {
    m_textColor = color;
    update();
}

void TPanel::setAlignLeft(bool left) {
    m_left = left;
    update();
}

void TPanel::setRaisedBevel(bool raised) {
    m_raised = raised;
    update();
}

void TPanel::setFontPoints(int points) {
    m_points = points;
    QFont f = font();
    ::setFontPoints(f, points);
    setFont(f);
    update();
}

void TPanel::setFitToWidth(bool fit) {
    m_fit = fit;
    update();
}

void TPanel::setDesignFont(const QString& face, int points, bool bold) {
    m_points = points;
    setFont(designFont(face, points, bold));
    update();
}

void TPanel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), m_color);
    QRect inner = rect();
    if (m_raised) {
        p.setPen(Qt::white);
        p.drawLine(0, 0, width() - 1, 0);
        p.drawLine(0, 0, 0, height() - 1);
        p.setPen(Qt::darkGray);
        p.drawLine(0, height() - 1, width() - 1, height() - 1);
        p.drawLine(width() - 1, 0, width() - 1, height() - 1);
        inner.adjust(1, 1, -1, -1);
    }
    if (m_text.isEmpty()) return;
    p.setClipRect(inner);
    p.setFont(font());
    p.setPen(m_textColor);
    if (m_fit && !m_left)
        if (const std::optional<FittedText> fitted = fitText(font(), m_text, inner.width())) {
            // The ink centred, on the baseline where a vertically centred line has it.
            const QFontMetrics fm(fitted->font);
            const int x = inner.left() + (inner.width() - fitted->ink.width()) / 2 - fitted->ink.left();
            const int y = inner.top() + (inner.height() - fm.height()) / 2 + fm.ascent();
            p.setFont(fitted->font);
            p.drawText(QPoint(x, y), fitted->text);
            return;
        }
    // One line, never wrapped: a text wider than the panel is centred and cut at both ends.
    const int flags = Qt::TextSingleLine | Qt::AlignVCenter | (m_left ? Qt::AlignLeft : Qt::AlignHCenter);
    p.drawText(inner, flags, m_text);
}

TLabel::TLabel(const QString& name, const QString& text, QWidget* parent)
    : TClickable(parent), m_text(text) {
    setObjectName(name);
}

void TLabel::setDesignFont(const QString& face, int points, bool bold, const QColor& color) {
    setFont(designFont(face, points, bold));
    m_textColor = color;
    const QFontMetrics fm(font());
    resize(fm.horizontalAdvance(m_text), fm.height());
    update();
}

void TLabel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setFont(font());
    p.setPen(m_textColor);
    p.drawText(rect(), Qt::TextSingleLine | Qt::AlignLeft | Qt::AlignTop, m_text);
}

void TClickable::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) Q_EMIT doubleClicked();
}
