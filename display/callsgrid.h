#pragma once
// The calls list: a read-only grid of today's calls with a title row, a narrow indicator column
// that marks the current row with an arrow, vertical lines only, and three columns (the calling
// counter's number, the counter's name, the ticket). Whole rows are selected; columns can be
// widened and moved with the mouse.
//
// The grid paints each data cell itself first (the column's font on the window colour, or the
// highlight colours for the selected row while the grid holds the focus) and then hands the cell
// to a paint callback with its rectangle, column and draw state, while the cell's record is the
// list's active record.

#include <QFont>
#include <QIdentityProxyModel>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QTableView>
#include <functional>

// The draw state of a data cell.
enum GridDrawState : unsigned { gdSelected = 1, gdFocused = 2 };

// The canvas of the cell being painted: colours and font that the standard cell drawing uses.
struct GridCanvas {
    QPainter* painter;
    QColor brush;
    QFont font;
    QColor fontColor;
};

struct GridColumn {
    QString fieldName;
    QString title;
    QFont font;
    int width;
};

// Shows the grid's own column titles over the model's field labels.
class TTitleProxy : public QIdentityProxyModel {
    Q_OBJECT
public:
    using QIdentityProxyModel::QIdentityProxyModel;
    void setTitle(int column, const QString& title) { m_titles[column] = title; }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    QHash<int, QString> m_titles;
};

class TCallsGrid : public QTableView {
    Q_OBJECT
public:
    explicit TCallsGrid(QWidget* parent = nullptr);

    // The columns as designed, in order.
    static QList<GridColumn> designColumns();

    // Shows the model's fields named by the columns; the model names its fields by
    // headerData(section, Qt::Horizontal, Qt::UserRole). The first record becomes current
    // whenever the model is reset (the list opened again).
    void setCallsModel(QAbstractItemModel* model);

    // The record number (from 1) of the list's active record: the row being painted while a
    // cell paints, else the current row; 0 for an empty list.
    int RecNo() const;

    GridCanvas& Canvas() { return *m_canvas; }

    // Fills the rectangle with the canvas brush and writes the text 3 px right of the left edge
    // and 2 px below the top, in the canvas font and colour, clipped to the cell.
    void DefaultDrawColumnCell(const QRect& rect, const QString& text);

    using DrawColumnCell = std::function<void(QObject* sender, const QRect& rect, int dataCol,
                                              const GridColumn& column, unsigned state)>;
    void setOnDrawColumnCell(DrawColumnCell handler) { m_onDraw = std::move(handler); }

    // The text of a data cell.
    QString cellText(int row, int dataCol) const;
    int dataColumnCount() const { return int(m_columns.size()); }

private:
    friend class TCallsGridDelegate;
    void paintCell(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index);
    void makeFirstRecordCurrent();
    int dataColOf(int modelColumn) const;

    TTitleProxy* m_proxy;
    QMetaObject::Connection m_resetConnection;
    QMetaObject::Connection m_insertConnection;
    QList<GridColumn> m_columns;
    QList<int> m_modelColumns; // model column of each data column
    GridCanvas* m_canvas = nullptr;
    int m_paintingRow = -1;
    DrawColumnCell m_onDraw;
};
