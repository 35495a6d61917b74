#pragma once
// A flat panel of the window: a background colour and one line of text, centred (or left-aligned),
// cut off at the panel's edges. It never wraps its text, and shrinks it only when told to fit.

#include <QColor>
#include <QString>
#include <QWidget>

// An element of the window that reports double-clicks of the left button.
class TClickable : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;

Q_SIGNALS:
    void doubleClicked();

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
};

class TPanel : public TClickable {
    Q_OBJECT
public:
    explicit TPanel(const QString& name, QWidget* parent = nullptr);

    QString text() const { return m_text; }
    void setText(const QString& text);
    QColor color() const { return m_color; }
    void setColor(const QColor& color);
    void setTextColor(const QColor& color);
    QColor textColor() const { return m_textColor; }
    void setAlignLeft(bool left);
    void setRaisedBevel(bool raised);
    // Font size in points (96 dpi); the face and weight stay.
    void setFontPoints(int points);
    int fontPoints() const { return m_points; }
    void setDesignFont(const QString& face, int points, bool bold);
    // Fitting on: a centred text wider than the panel is drawn whole, without its leading
    // blanks and centred, at the largest size from its font's down to half of it that fits
    // (textfit.h); a text too wide even at half the size is cut as with fitting off. Only the
    // drawing changes: the font size stays as set.
    void setFitToWidth(bool fit);
    bool fitsToWidth() const { return m_fit; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_text;
    QColor m_color;
    QColor m_textColor;
    int m_points = 8;
    bool m_left = false;
    bool m_raised = false;
    bool m_fit = false;
};

// A label of the clock strip: transparent, sized to its text.
class TLabel : public TClickable {
    Q_OBJECT
public:
    TLabel(const QString& name, const QString& text, QWidget* parent = nullptr);
    QString text() const { return m_text; }
    void setDesignFont(const QString& face, int points, bool bold, const QColor& color);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_text;
    QColor m_textColor;
};
