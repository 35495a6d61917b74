// The calls list's presentation: columns, titles and the colours of its rows by record number,
// current row and focus.

#include "display/callsgrid.h"
#include "display/colors.h"
#include "display/panel.h"
#include "display/fonts.h"
#include "display/tprincipal.h"
#include "tests/support/colorprint.h"
#include "tests/support/memorycalls.h"
#include "tests/support/qtapp.h"
#include "tests/support/recordingreport.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QPainter>
#include <QTest>
#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>

namespace {

class CallsGridTest : public ::testing::Test {
protected:
    void SetUp() override {
        ensureApp();
        TPrincipal::Environment env;
        env.errors = &report;
        window = std::make_unique<TPrincipal>(env);
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

// How much of an area the glyphs of a text cover, in pixels' worth: each pixel counts by how far
// its colour has gone from the background towards the text colour.
double ink(const QImage& img, const QRect& area, const QColor& background, const QColor& text) {
    const auto channel = [](const QColor& c) { return c.red() + c.green() + c.blue(); };
    const double span = channel(text) - channel(background);
    double sum = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            sum += std::clamp((channel(QColor(img.pixel(x, y))) - channel(background)) / span, 0.0, 1.0);
    return sum;
}

// The ink of a text written in a font, on its own.
double referenceInk(const QString& text, const QFont& font, const QColor& background, const QColor& color) {
    const QFontMetrics metrics(font);
    QImage img(metrics.horizontalAdvance(text) + 8, metrics.height() + 8, QImage::Format_RGB32);
    img.fill(background);
    QPainter p(&img);
    p.setFont(font);
    p.setPen(color);
    p.drawText(QPoint(4, 4 + metrics.ascent()), text);
    p.end();
    return ink(img, img.rect(), background, color);
}

// The font, among sizes and weights near the design's, whose text has the ink measured (the
// sizes differ by a quarter of ink or more, and so do the weights).
struct FontGuess {
    int points;
    bool bold;
};
FontGuess nearestFont(double measured, const QString& text, const QColor& background, const QColor& color) {
    FontGuess best{0, false};
    double bestError = 1e9;
    for (int points : {16, 20, 24, 30, 36})
        for (bool bold : {false, true}) {
            const double want = referenceInk(text, designFont(QStringLiteral("Arial"), points, bold), background, color);
            const double error = std::abs(measured - want) / want;
            if (error < bestError) {
                bestError = error;
                best = {points, bold};
            }
        }
    EXPECT_LT(bestError, 0.08) << text.toStdString() << ": no such font writes it so";
    return best;
}

TEST_F(CallsGridTest, TheTitleRowIsFlatNavyWithWhiteBoldTitlesOf20Points) {
    load(kThree);
    QHeaderView* titles = grid->horizontalHeader();
    const QImage img = titles->grab().toImage();
    const char* texts[] = {"Nº do guiche", "Guiche", "Senha"};
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(texts[i]);
        const int logical = titles->logicalIndex(i);
        const QRect section(titles->sectionViewportPosition(logical), 0, titles->sectionSize(logical), img.height());
        // Flat: the edges are navy like the rest, no raised bevel; only the line between columns
        // (the last pixel column) is grey.
        for (int x = section.left(); x < section.right(); ++x) {
            ASSERT_EQ(QColor(img.pixel(x, 0)), colors::navy) << x;
            ASSERT_EQ(QColor(img.pixel(x, img.height() - 1)), colors::navy) << x;
        }
        for (int y = 0; y < img.height(); ++y) ASSERT_EQ(QColor(img.pixel(section.left(), y)), colors::navy) << y;
        // White text, of the ink of "Arial" bold 20 pt.
        const QString text = QString::fromUtf8(texts[i]);
        const double measured = ink(img, section.adjusted(0, 0, -1, 0), colors::navy, colors::white);
        const FontGuess font = nearestFont(measured, text, colors::navy, colors::white);
        EXPECT_EQ(font.points, 20);
        EXPECT_TRUE(font.bold);
    }
    // The title row takes its height from the title font.
    EXPECT_GE(img.height(), QFontMetrics(designFont(QStringLiteral("Arial"), 20, true)).height());
}

TEST_F(CallsGridTest, TheFirstColumnIsWrittenIn30PointsTheOthersIn24) {
    load({{"1", "GUICHE 1", "A-1"}, {"41", "RECEPCAO GUICHE 41", "REC-141"}});
    const QImage img = grid->viewport()->grab().toImage();
    const int expected[] = {30, 24, 24};
    for (int col = 0; col < 3; ++col) {
        SCOPED_TRACE(col);
        // The second record: black text on the window colour.
        const QRect cell = grid->visualRect(grid->model()->index(1, grid->horizontalHeader()->logicalIndex(col)));
        const double measured = ink(img, cell.adjusted(0, 0, -2, 0), colors::window(), colors::black);
        const FontGuess font = nearestFont(measured, grid->cellText(1, col), colors::window(), colors::black);
        EXPECT_EQ(font.points, expected[col]);
        EXPECT_FALSE(font.bold);
    }
    // Data rows take their height from the data font.
    EXPECT_GE(grid->rowHeight(1), QFontMetrics(designFont(QStringLiteral("Arial"), 30, false)).height());
}

TEST_F(CallsGridTest, TheIndicatorColumnIsFlatNavyWithAnArrowAtTheCurrentRow) {
    load(kThree);
    QHeaderView* indicator = grid->verticalHeader();
    // The rows of the indicator column that are not plain navy, each with its white arrow.
    const auto marked = [&] {
        const QImage img = indicator->grab().toImage();
        QList<int> rows;
        for (int row = 0; row < 3; ++row) {
            const QRect r(0, indicator->sectionViewportPosition(row), img.width(), indicator->sectionSize(row));
            int white = 0, other = 0;
            for (int y = r.top(); y <= r.bottom(); ++y)
                for (int x = r.left(); x <= r.right(); ++x) {
                    const QColor c(img.pixel(x, y));
                    if (c == colors::white) ++white;
                    else if (c != colors::navy) ++other;
                }
            if (white + other == 0) continue;
            rows << row;
            EXPECT_GE(white, 8) << "an arrow, not a speck: row " << row;
            EXPECT_LE(other, white) << "white on navy, its edges smoothed: row " << row;
        }
        return rows;
    };
    EXPECT_EQ(indicator->width(), 11);
    EXPECT_EQ(marked(), QList<int>{0});
    const QRect third = grid->visualRect(grid->model()->index(2, grid->horizontalHeader()->logicalIndex(1)));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, third.center());
    ASSERT_EQ(grid->currentIndex().row(), 2);
    EXPECT_EQ(marked(), QList<int>{2});
}

TEST_F(CallsGridTest, AnEmptyListHasRecordNumberZero) {
    load({});
    EXPECT_EQ(grid->RecNo(), 0);
}

} // namespace
