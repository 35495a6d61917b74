// The main window's layout: band heights, widths and what hiding an element gives back.

#include "display/callsgrid.h"
#include "display/panel.h"
#include "display/tprincipal.h"
#include "tests/support/printers.h"
#include "tests/support/qtapp.h"
#include "tests/support/recordingreport.h"

#include <QGuiApplication>
#include <QLayout>
#include <QScreen>
#include <QTableView>
#include <QTest>
#include <gtest/gtest.h>

namespace {

class LayoutTest : public ::testing::Test {
protected:
    void SetUp() override {
        ensureApp();
        TPrincipal::Environment env;
        env.errors = &report;
        window = std::make_unique<TPrincipal>(env);
    }
    // Lays the window out at a client size and returns the geometry of an element in the
    // window's coordinates.
    void resizeTo(int w, int h) {
        window->resize(w, h);
        window->show();
        QCoreApplication::processEvents();
        window->layout()->activate();
        for (QLayout* l : window->findChildren<QLayout*>()) l->activate();
    }
    QRect at(QWidget* w) const { return QRect(w->mapTo(window.get(), QPoint(0, 0)), w->size()); }

    RecordingErrorReport report;
    std::unique_ptr<TPrincipal> window;
};

struct Band {
    const char* name;
    int top, height;
};

TEST_F(LayoutTest, RestoredWindowBandsAsDesigned) {
    resizeTo(986, 749);
    const Band bands[] = {{"Panel5", 0, 73}, {"Panel9", 73, 83}, {"PanelGlobal", 156, 382},
                          {"Grid", 538, 187}, {"Panel6", 725, 24}};
    for (const Band& b : bands) {
        auto* w = window->findChild<QWidget*>(b.name);
        ASSERT_NE(w, nullptr) << b.name;
        EXPECT_EQ(at(w), QRect(0, b.top, 986, b.height)) << b.name;
    }
    EXPECT_EQ(at(window->PanelVideo), QRect(392, 156, 594, 382));
    EXPECT_EQ(at(window->Panel4), QRect(0, 156, 392, 382));
    EXPECT_EQ(at(window->Panel3), QRect(0, 156, 392, 152));
    EXPECT_EQ(at(window->Panel8), QRect(0, 308, 392, 230));
}

TEST_F(LayoutTest, OnlyTheFillElementsGrowOnABigScreen) {
    for (QSize size : {QSize(1920, 1080), QSize(1280, 1024), QSize(3840, 2160)}) {
        resizeTo(size.width(), size.height());
        const int w = size.width(), h = size.height();
        EXPECT_EQ(at(window->Panel5), QRect(0, 0, w, 73));
        EXPECT_EQ(at(window->Panel9), QRect(0, 73, w, 83));
        EXPECT_EQ(at(window->Panel6), QRect(0, h - 24, w, 24));
        EXPECT_EQ(at(window->Grid), QRect(0, h - 24 - 187, w, 187));
        EXPECT_EQ(at(window->PanelGlobal), QRect(0, 156, w, h - 156 - 211));
        EXPECT_EQ(at(window->PanelVideo), QRect(w - 594, 156, 594, h - 367));
        EXPECT_EQ(at(window->Panel3), QRect(0, 156, w - 594, 152));
        EXPECT_EQ(at(window->Panel8), QRect(0, 308, w - 594, h - 367 - 152));
        // The clock strip's contents keep their places at its left end.
        EXPECT_EQ(at(window->Panel2), QRect(80, 4, 193, 65));
        EXPECT_EQ(at(window->Panel1), QRect(480, 4, 161, 65));
    }
}

TEST_F(LayoutTest, HidingAnElementGivesItsSpaceBack) {
    resizeTo(986, 749);
    window->Panel7->show();
    resizeTo(986, 749);
    EXPECT_EQ(at(window->Panel3), QRect(0, 156, 392, 152));
    EXPECT_EQ(at(window->Panel7), QRect(0, 308, 392, 46));
    EXPECT_EQ(at(window->Panel8), QRect(0, 354, 392, 184));
    window->Panel7->hide();
    resizeTo(986, 749);
    EXPECT_EQ(at(window->Panel8), QRect(0, 308, 392, 230));

    window->PanelVideo->hide();
    resizeTo(986, 749);
    EXPECT_EQ(at(window->Panel4), QRect(0, 156, 986, 382));
    EXPECT_EQ(at(window->Panel8).width(), 986);

    window->Grid->hide();
    resizeTo(986, 749);
    EXPECT_EQ(at(window->PanelGlobal), QRect(0, 156, 986, 382 + 187));
}

struct FontCase {
    const char* name;
    int pixels;
    bool bold;
    const char* face; // the face installed here that renders it
};

TEST_F(LayoutTest, FontsHaveTheirDesignSizesAt96Dpi) {
    // "Arial" and "MS Sans Serif" are drawn in Liberation Sans; "Impact", a heavy condensed face,
    // in Liberation Sans Narrow bold (Debian's "Impact" would be a dingbat face).
    const FontCase cases[] = {
        {"Panel2", 37, true, "Liberation Sans"},         {"Panel1", 37, true, "Liberation Sans"},
        {"Panel9", 48, true, "Liberation Sans"},         {"Panel3", 187, true, "Liberation Sans"},
        {"Panel7", 64, true, "Liberation Sans"},         {"Panel8", 96, true, "Liberation Sans"},
        {"Panel6", 11, false, "Liberation Sans"},        {"SpeedButton1", 13, true, "Liberation Sans"},
        {"Label2", 37, true, "Liberation Sans Narrow"},  {"Label1", 37, true, "Liberation Sans Narrow"},
    };
    for (const FontCase& c : cases) {
        auto* w = window->findChild<QWidget*>(c.name);
        ASSERT_NE(w, nullptr) << c.name;
        EXPECT_EQ(w->font().pixelSize(), c.pixels) << c.name;
        EXPECT_EQ(w->font().bold(), c.bold) << c.name;
        const QFontInfo shown(w->font());
        EXPECT_EQ(shown.family(), QString::fromLatin1(c.face)) << c.name;
        EXPECT_EQ(shown.bold(), c.bold) << c.name << ": the face has the weight";
    }
}

TEST_F(LayoutTest, InitialTexts) {
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Atendimento Eletrônico"));
    EXPECT_EQ(window->Panel1->text(), QStringLiteral("00:00:00"));
    EXPECT_EQ(window->Panel2->text(), QStringLiteral("/  /"));
    EXPECT_EQ(window->Panel9->text(), QStringLiteral("SENHA"));
    EXPECT_EQ(window->Panel7->text(), QStringLiteral("Preferencial"));
    EXPECT_TRUE(window->Panel7->isHidden());
    EXPECT_TRUE(window->Panel3->text().isEmpty());
    EXPECT_TRUE(window->Panel8->text().isEmpty());
    EXPECT_TRUE(window->Panel6->text().startsWith(QStringLiteral("        ")));
    EXPECT_NE(window->Panel6->text().at(8), u' ');
}

TEST_F(LayoutTest, AWideTextIsCutAtBothEndsNotWrapped) {
    resizeTo(986, 749);
    window->Panel3->setText(QStringLiteral("MMMMMMMMMMMMMMMMMMMM"));
    const QImage img = window->Panel3->grab().toImage();
    // The red text reaches both edges of the panel, on one line, centred vertically.
    const int mid = img.height() / 2;
    int redLeft = 0, redRight = 0;
    for (int y = 0; y < img.height(); ++y) {
        redLeft += QColor(img.pixel(1, y)) == QColor(255, 0, 0);
        redRight += QColor(img.pixel(img.width() - 2, y)) == QColor(255, 0, 0);
    }
    EXPECT_GT(redLeft, 10);
    EXPECT_GT(redRight, 10);
    EXPECT_EQ(QColor(img.pixel(img.width() / 2, 2)), QColor(166, 202, 240)) << mid;
}

} // namespace

namespace {

TEST_F(LayoutTest, TheKioskWindowFillsTheScreenWithoutAWindowManager) {
    window->showKiosk();
    QCoreApplication::processEvents();
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_EQ(window->frameGeometry(), screen);
    EXPECT_TRUE(window->isMaximized());
}

} // namespace
