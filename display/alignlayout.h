#pragma once
// Places a container's children by alignment: top elements stacked down from the top edge,
// bottom elements stacked up from the bottom, right elements at the right edge of what is left,
// one fill element in the rest. A hidden element takes no space. Elements at a fixed position
// are not in the layout: they keep their own geometry.

#include <QLayout>
#include <QList>

class TAlignLayout : public QLayout {
public:
    enum Align { Top, Bottom, Right, Fill };

    explicit TAlignLayout(QWidget* parent = nullptr);
    ~TAlignLayout() override;

    // Elements of one alignment are placed in the order they were added (the upper or lowest
    // first).
    void addAligned(QWidget* widget, Align align);

    void addItem(QLayoutItem* item) override;
    QLayoutItem* itemAt(int index) const override;
    QLayoutItem* takeAt(int index) override;
    int count() const override;
    QSize sizeHint() const override;
    QSize minimumSize() const override;
    void setGeometry(const QRect& rect) override;

private:
    struct Entry {
        QLayoutItem* item;
        Align align;
    };
    QList<Entry> m_entries;
};
