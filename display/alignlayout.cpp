#include "display/alignlayout.h"

#include <QWidget>

#include <algorithm>

TAlignLayout::TAlignLayout(QWidget* parent) : QLayout(parent) {
    setContentsMargins(0, 0, 0, 0);
    setSpacing(0);
}

TAlignLayout::~TAlignLayout() {
    for (const Entry& e : m_entries) delete e.item;
}

void TAlignLayout::addAligned(QWidget* widget, Align align) {
    addChildWidget(widget);
    m_entries.append({new QWidgetItem(widget), align});
    invalidate();
}

void TAlignLayout::addItem(QLayoutItem* item) { m_entries.append({item, Fill}); }

QLayoutItem* TAlignLayout::itemAt(int index) const {
    return index >= 0 && index < m_entries.size() ? m_entries[index].item : nullptr;
}

QLayoutItem* TAlignLayout::takeAt(int index) {
    if (index < 0 || index >= m_entries.size()) return nullptr;
    return m_entries.takeAt(index).item;
}

int TAlignLayout::count() const { return int(m_entries.size()); }

QSize TAlignLayout::sizeHint() const { return {0, 0}; }

QSize TAlignLayout::minimumSize() const { return {0, 0}; }

void TAlignLayout::setGeometry(const QRect& rect) {
    QLayout::setGeometry(rect);
    QRect left = rect;
    const auto height = [](const QLayoutItem* item) { return item->widget()->height(); };
    const auto width = [](const QLayoutItem* item) { return item->widget()->width(); };
    // The element's own size is kept in its fixed dimension; the other follows the space left.
    for (Align pass : {Top, Bottom, Right, Fill}) {
        for (const Entry& e : m_entries) {
            if (e.align != pass || e.item->isEmpty()) continue;
            QRect r;
            switch (pass) {
            case Top:
                r = QRect(left.left(), left.top(), left.width(), height(e.item));
                left.setTop(left.top() + r.height());
                break;
            case Bottom:
                r = QRect(left.left(), left.bottom() + 1 - height(e.item), left.width(), height(e.item));
                left.setBottom(left.bottom() - r.height());
                break;
            case Right:
                r = QRect(left.right() + 1 - width(e.item), left.top(), width(e.item), left.height());
                left.setRight(left.right() - r.width());
                break;
            case Fill:
                r = QRect(left.topLeft(), QSize(std::max(0, left.width()), std::max(0, left.height())));
                break;
            }
            e.item->widget()->setGeometry(r);
        }
    }
}
