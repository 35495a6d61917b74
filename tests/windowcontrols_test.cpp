// The clock and the window's mouse controls.

#include "display/callsgrid.h"
#include "display/clockformat.h"
#include "display/panel.h"
#include "display/tprincipal.h"
#include "tests/support/qtapp.h"
#include "tests/support/recordingreport.h"

#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {

TEST(ClockFormat, TimeWithSecondsAndANumericDateByLocale) {
    const QTime t(14, 5, 9);
    const QDate d(2026, 12, 9);
    const struct {
        QLocale locale;
        QString time, date;
    } cases[] = {
        {QLocale(QLocale::Portuguese, QLocale::Brazil), "14:05:09", "09/12/2026"},
        {QLocale::c(), "14:05:09", "09/12/2026"},
        {QLocale(QLocale::German, QLocale::Germany), "14:05:09", "09.12.26"},
        {QLocale(QLocale::English, QLocale::UnitedStates), "2:05:09 PM", "12/9/26"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(clockTimeText(t, c.locale), c.time) << c.locale.name().toStdString();
        EXPECT_EQ(clockDateText(d, c.locale), c.date) << c.locale.name().toStdString();
    }
}

class WindowControlsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ensureApp();
        window = std::make_unique<TPrincipal>(TPrincipal::Environment{QString(), &report, {}, {}});
        window->resize(986, 749);
        window->show();
        QCoreApplication::processEvents();
    }
    RecordingErrorReport report;
    std::unique_ptr<TPrincipal> window;
};

TEST_F(WindowControlsTest, TheClockTicksEverySecondWithTheTimeAndDate) {
    EXPECT_TRUE(window->Timer1->isActive());
    EXPECT_EQ(window->Timer1->interval(), 1000);
    QTRY_VERIFY_WITH_TIMEOUT(window->Panel1->text() != QStringLiteral("00:00:00"), 3000);
    const QTime shown = QTime::fromString(window->Panel1->text(), QStringLiteral("HH:mm:ss"));
    ASSERT_TRUE(shown.isValid()) << window->Panel1->text().toStdString();
    EXPECT_LE(std::abs(shown.secsTo(QTime::currentTime())), 2);
    EXPECT_EQ(window->Panel2->text(), clockDateText(QDate::currentDate(), QLocale::system()));
    const QString first = window->Panel1->text();
    QTRY_VERIFY_WITH_TIMEOUT(window->Panel1->text() != first, 3000);
}

TEST_F(WindowControlsTest, DoubleClicksOnTheClockHideAndShowTheList) {
    const int globalHeight = window->PanelGlobal->height();
    QTest::mouseDClick(window->Panel1, Qt::LeftButton);
    QCoreApplication::processEvents();
    EXPECT_TRUE(window->Grid->isHidden());
    EXPECT_EQ(window->Panel9->text(), QStringLiteral("PAINEL DE CHAMADOS"));
    EXPECT_EQ(window->PanelGlobal->height(), globalHeight + 187);
    QTest::mouseDClick(window->Panel1, Qt::LeftButton);
    QCoreApplication::processEvents();
    EXPECT_FALSE(window->Grid->isHidden());
    EXPECT_EQ(window->Panel9->text(), QStringLiteral("PAINEL DE CHAMADOS"));
    EXPECT_EQ(window->PanelGlobal->height(), globalHeight);
}

TEST_F(WindowControlsTest, TheCloseButtonClosesTheWindowAndEndsTheProgram) {
    QTimer::singleShot(100, [&] { QTest::mouseClick(window->SpeedButton1, Qt::LeftButton); });
    QTimer::singleShot(5000, [] { QCoreApplication::exit(99); }); // only if closing failed
    EXPECT_EQ(QApplication::exec(), 0);
    EXPECT_FALSE(window->isVisible());
}

} // namespace
