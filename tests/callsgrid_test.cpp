// The calls list's presentation: columns, titles and the colours of its rows by record number,
// current row and focus.

#include "display/callsgrid.h"
#include "display/colors.h"
#include "display/panel.h"
#include "display/tprincipal.h"
#include "tests/support/memorycalls.h"
#include "tests/support/qtapp.h"
#include "tests/support/recordingreport.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>

namespace {

class CallsGridTest : public ::testing::Test {
protected:
    void SetUp() override {
        ensureApp();
        window = std::make_unique<TPrincipal>(TPrincipal::Environment{QString(), &report, {}, {}});
        grid = window->Grid;
        other = new QLineEdit(window->Panel6);
        other->setGeometry(100, 2, 50, 20);
    }
    void load(const QList<MemoryCall>& calls) {
        grid->setCallsModel(makeMemoryCalls(calls, window.get()));
        window->resize(986, 749);
        window->show();
        window->activateWindow();
        QCoreApplication::processEvents();
    }
    // The colour in the middle of the empty part of a data cell (right of its text).
    QColor cellColor(int row, int dataCol) {
        const QImage img = grid->viewport()->grab().toImage();
        const int column = grid->horizontalHeader()->logicalIndex(dataCol);
        const QRect r = grid->visualRect(grid->model()->index(row, column));
        return QColor(img.pixel(r.right() - 4, r.center().y()));
    }
    void focusGrid(bool on) {
        if (on) grid->setFocus(Qt::OtherFocusReason);
        else other->setFocus(Qt::OtherFocusReason);
        QCoreApplication::processEvents();
        ASSERT_EQ(grid->hasFocus(), on);
    }

    RecordingErrorReport report;
    std::unique_ptr<TPrincipal> window;
    TCallsGrid* grid = nullptr;
    QLineEdit* other = nullptr;
};

const QList<MemoryCall> kThree = {{"3", "CONSULTORIO 3", "A-15"}, {"1", "GUICHE 1", "B-7"}, {"2", "GUICHE 2", "C-9"}};

TEST_F(CallsGridTest, ShowsTheThreeColumnsWithTheirTitlesAndWidths) {
    load(kThree);
    const QHeaderView* h = grid->horizontalHeader();
    const struct {
        QString title;
        int width;
        QString firstCell;
    } expected[] = {{QStringLiteral("Nº do guiche"), 178, "3"}, {"Guiche", 420, "CONSULTORIO 3"}, {"Senha", 311, "A-15"}};
    int visible = 0;
    for (int c = 0; c < grid->model()->columnCount(); ++c) visible += !grid->isColumnHidden(c);
    EXPECT_EQ(visible, 3);
    for (int i = 0; i < 3; ++i) {
        const int logical = h->logicalIndex(i);
        EXPECT_EQ(grid->model()->headerData(logical, Qt::Horizontal).toString(), expected[i].title) << i;
        EXPECT_EQ(h->sectionSize(logical), expected[i].width) << i;
        EXPECT_EQ(grid->cellText(0, i), expected[i].firstCell) << i;
    }
    EXPECT_EQ(grid->verticalHeader()->width(), 11);
    EXPECT_EQ(grid->editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_EQ(grid->selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_TRUE(h->sectionsMovable());
}

TEST_F(CallsGridTest, ThreeRecordsWithTheFirstCurrent) {
    load(kThree);
    EXPECT_EQ(grid->currentIndex().row(), 0);
    // Rows read highlight, window colour, band colour, with or without the focus.
    for (bool focus : {true, false}) {
        focusGrid(focus);
        for (int col = 0; col < 3; ++col) {
            EXPECT_EQ(cellColor(0, col), colors::highlight()) << focus << col;
            EXPECT_EQ(cellColor(1, col), colors::window()) << focus << col;
            EXPECT_EQ(cellColor(2, col), colors::band) << focus << col;
        }
    }
}

TEST_F(CallsGridTest, AnEvenCurrentRowIsHighlightedOnlyWhileTheGridHasTheFocus) {
    load(kThree);
    focusGrid(true);
    const QRect second = grid->visualRect(grid->model()->index(1, grid->horizontalHeader()->logicalIndex(1)));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, second.center());
    ASSERT_EQ(grid->currentIndex().row(), 1);
    EXPECT_EQ(cellColor(1, 1), colors::highlight());
    EXPECT_EQ(cellColor(0, 1), colors::band);
    focusGrid(false);
    EXPECT_EQ(cellColor(1, 1), colors::window());
    EXPECT_EQ(cellColor(0, 1), colors::band);
}

TEST_F(CallsGridTest, ASingleRecordIsAlwaysHighlighted) {
    load({{"5", "GUICHE 5", "E-1"}});
    for (bool focus : {true, false}) {
        focusGrid(focus);
        EXPECT_EQ(cellColor(0, 2), colors::highlight()) << focus;
    }
}

TEST_F(CallsGridTest, RecordNumbersFollowTheListNotTheScreen) {
    QList<MemoryCall> many;
    for (int i = 0; i < 40; ++i) many.append({QString::number(i), "GUICHE", QString("A-%1").arg(i)});
    load(many);
    grid->scrollTo(grid->model()->index(21, grid->horizontalHeader()->logicalIndex(1)), QAbstractItemView::PositionAtTop);
    ASSERT_TRUE(grid->viewport()->rect().contains(grid->visualRect(grid->model()->index(22, grid->horizontalHeader()->logicalIndex(1)))));
    QCoreApplication::processEvents();
    // Record 22 (even) keeps the window colour, 23 (odd) the band colour, wherever they are.
    EXPECT_EQ(cellColor(21, 1), colors::window());
    EXPECT_EQ(cellColor(22, 1), colors::band);
    EXPECT_EQ(grid->RecNo(), 1);
}

TEST_F(CallsGridTest, AnEmptyListHasRecordNumberZero) {
    load({});
    EXPECT_EQ(grid->RecNo(), 0);
}

} // namespace
