#include "display/callsgrid.h"

#include "display/colors.h"
#include "display/fonts.h"

#include <QHeaderView>
#include <QPainterPath>
#include <QScopedValueRollback>

namespace {

const QColor kLineColor(128, 128, 128);

QFont titleFont() { return designFont(QStringLiteral("Arial"), 20, true); }

} // namespace

class TCallsGridDelegate : public QStyledItemDelegate {
public:
    explicit TCallsGridDelegate(TCallsGrid* grid) : QStyledItemDelegate(grid), m_grid(grid) {}
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        m_grid->paintCell(painter, option, index);
    }

private:
    TCallsGrid* m_grid;
};

// The indicator column: flat navy cells; the current row's carries an arrow.
class TIndicatorHeader : public QHeaderView {
public:
    explicit TIndicatorHeader(QTableView* view) : QHeaderView(Qt::Vertical, view), m_view(view) {
        setSectionResizeMode(QHeaderView::Fixed);
        setFixedWidth(11);
    }

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override {
        painter->fillRect(rect, colors::navy);
        if (m_view->currentIndex().isValid() && m_view->currentIndex().row() == logicalIndex) {
            const int cy = rect.center().y();
            QPainterPath arrow;
            arrow.moveTo(rect.left() + 3, cy - 4);
            arrow.lineTo(rect.left() + 7, cy);
            arrow.lineTo(rect.left() + 3, cy + 4);
            arrow.closeSubpath();
            painter->fillPath(arrow, colors::white);
        }
    }
    QSize sizeHint() const override { return {11, 0}; }

private:
    QTableView* m_view;
};

QVariant TTitleProxy::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && m_titles.contains(section))
        return m_titles.value(section);
    if (orientation == Qt::Vertical && role == Qt::DisplayRole) return QString();
    return QIdentityProxyModel::headerData(section, orientation, role);
}

TCallsGrid::TCallsGrid(QWidget* parent)
    : QTableView(parent), m_proxy(new TTitleProxy(this)), m_columns(designColumns()) {
    setObjectName(QStringLiteral("Grid"));
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setShowGrid(false);
    setWordWrap(false);
    setFrameShape(QFrame::Box);
    setLineWidth(1);
    setItemDelegate(new TCallsGridDelegate(this));
    setVerticalHeader(new TIndicatorHeader(this));

    QFont dataFont = designFont(QStringLiteral("Arial"), 30, false);
    setFont(dataFont);
    QPalette pal = palette();
    pal.setColor(QPalette::Base, colors::window());
    setPalette(pal);

    QHeaderView* titles = horizontalHeader();
    titles->setFont(titleFont());
    titles->setSectionsMovable(true);
    titles->setSectionResizeMode(QHeaderView::Interactive);
    titles->setHighlightSections(false);
    titles->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    titles->setStyleSheet(QStringLiteral(
        "QHeaderView::section { background-color: #000080; color: white; border: none;"
        " border-right: 1px solid #808080; padding-left: 2px; }"));
    titles->setFixedHeight(QFontMetrics(titleFont()).height() + 4);
    setStyleSheet(QStringLiteral("QTableCornerButton::section { background-color: #000080; border: none; }"));

    // Rows take their height from the data font.
    verticalHeader()->setDefaultSectionSize(QFontMetrics(dataFont).height() + 3);
}

QList<GridColumn> TCallsGrid::designColumns() {
    return {
        {QStringLiteral("NR_GUICHE_CHAMOU"), QStringLiteral("Nº do guiche"),
         designFont(QStringLiteral("Arial"), 30, false), 178},
        {QStringLiteral("NOMEGUICHE"), QStringLiteral("Guiche"), designFont(QStringLiteral("Arial"), 24, false), 420},
        {QStringLiteral("SENHA1"), QStringLiteral("Senha"), designFont(QStringLiteral("Arial"), 24, false), 311},
    };
}

void TCallsGrid::setCallsModel(QAbstractItemModel* source) {
    disconnect(m_resetConnection);
    disconnect(m_insertConnection);
    m_proxy->setSourceModel(source);
    m_modelColumns.clear();
    if (!source) {
        setModel(nullptr);
        return;
    }
    setModel(m_proxy);
    QAbstractItemModel* model = m_proxy;
    QHeaderView* titles = horizontalHeader();
    for (int c = 0; c < model->columnCount(); ++c) setColumnHidden(c, true);
    for (int i = 0; i < m_columns.size(); ++i) {
        int found = -1;
        for (int c = 0; c < model->columnCount(); ++c)
            if (model->headerData(c, Qt::Horizontal, Qt::UserRole).toString() == m_columns[i].fieldName)
                found = c;
        m_modelColumns.append(found);
        if (found < 0) continue;
        m_proxy->setTitle(found, m_columns[i].title);
        setColumnHidden(found, false);
        titles->moveSection(titles->visualIndex(found), i);
        setColumnWidth(found, m_columns[i].width);
    }
    m_resetConnection = connect(model, &QAbstractItemModel::modelReset, this, &TCallsGrid::makeFirstRecordCurrent);
    // An opened list gets its first rows after the reset that emptied it.
    m_insertConnection = connect(model, &QAbstractItemModel::rowsInserted, this, [this] {
        if (!currentIndex().isValid()) makeFirstRecordCurrent();
    });
    makeFirstRecordCurrent();
}

void TCallsGrid::makeFirstRecordCurrent() {
    if (!model() || model()->rowCount() == 0 || m_modelColumns.isEmpty() || m_modelColumns[0] < 0) return;
    setCurrentIndex(model()->index(0, m_modelColumns[0]));
    scrollToTop();
}

int TCallsGrid::dataColOf(int modelColumn) const { return int(m_modelColumns.indexOf(modelColumn)); }

int TCallsGrid::RecNo() const {
    if (!model() || model()->rowCount() == 0) return 0;
    if (m_paintingRow >= 0) return m_paintingRow + 1;
    return currentIndex().isValid() ? currentIndex().row() + 1 : 1;
}

QString TCallsGrid::cellText(int row, int dataCol) const {
    if (!model() || dataCol < 0 || dataCol >= m_modelColumns.size() || m_modelColumns[dataCol] < 0) return {};
    return model()->index(row, m_modelColumns[dataCol]).data(Qt::DisplayRole).toString();
}

void TCallsGrid::DefaultDrawColumnCell(const QRect& rect, const QString& text) {
    QPainter* p = m_canvas->painter;
    p->save();
    p->setClipRect(rect);
    p->fillRect(rect, m_canvas->brush);
    p->setFont(m_canvas->font);
    p->setPen(m_canvas->fontColor);
    const QFontMetrics fm(m_canvas->font);
    p->drawText(QPoint(rect.left() + 3, rect.top() + 2 + fm.ascent()), text);
    p->restore();
}

void TCallsGrid::paintCell(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) {
    const int dataCol = dataColOf(index.column());
    if (dataCol < 0) return;
    // The cell is the rectangle left of its column line.
    const QRect rect = option.rect.adjusted(0, 0, -1, 0);
    unsigned state = 0;
    if (option.state & QStyle::State_Selected) state |= gdSelected;
    if (hasFocus() && currentIndex() == index) state |= gdFocused;

    GridCanvas canvas{painter, colors::window(), m_columns[dataCol].font, colors::black};
    if ((state & gdSelected) && hasFocus()) {
        canvas.brush = colors::highlight();
        canvas.fontColor = colors::highlightText();
    }
    QScopedValueRollback<GridCanvas*> useCanvas(m_canvas, &canvas);
    QScopedValueRollback<int> active(m_paintingRow, index.row());
    const QString text = cellText(index.row(), dataCol);
    DefaultDrawColumnCell(rect, text);
    if (m_onDraw) m_onDraw(this, rect, dataCol, m_columns[dataCol], state);

    painter->save();
    painter->setPen(kLineColor);
    painter->drawLine(option.rect.topRight(), option.rect.bottomRight());
    painter->restore();
}
