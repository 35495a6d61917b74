// The clock and the window's mouse controls.

#include "display/callsgrid.h"
#include "display/clockformat.h"
#include "display/fonts.h"
#include "display/panel.h"
#include "display/tprincipal.h"
#include "tests/support/printers.h"
#include "tests/support/qtapp.h"
#include "tests/support/recordingreport.h"

#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {

// Fits as the clock strip's panels do: "Arial" bold 28 pt in 161 (time) and 193 (date) pixels.
TextFits fitsPixels(int width) {
    return [metrics = QFontMetrics(designFont(QStringLiteral("Arial"), 28, true)), width](const QString& text) {
        return metrics.horizontalAdvance(text) <= width;
    };
}

TEST(ClockFormat, TheLocalesFormatWhereItFitsElse24HoursAndNumbers) {
    ensureApp();
    const QTime t(18, 17, 0);
    const QDate d(2026, 12, 9);
    const struct {
        QLocale locale;
        QString time, date;
    } cases[] = {
        {QLocale(QLocale::Portuguese, QLocale::Brazil), "18:17:00", "09/12/2026"},
        // "6:17:00 PM" is wider than the clock: 24 hours; its numeric date fits.
        {QLocale(QLocale::English, QLocale::UnitedStates), "18:17:00", "12/9/26"},
        // No regional formats of its own: its date names the month.
        {QLocale::c(), "18:17:00", "09/12/2026"},
        {QLocale(QLocale::German, QLocale::Germany), "18:17:00", "09.12.26"},
        {QLocale(QLocale::Finnish, QLocale::Finland), "18.17.00", "9.12.2026"},
        {QLocale(QLocale::Spanish, QLocale::Spain), "18:17:00", "9/12/26"},
        // Hours, minutes and seconds written out are too wide.
        {QLocale(QLocale::French, QLocale::Canada), "18:17:00", "2026-12-09"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.locale.name().toStdString());
        EXPECT_EQ(clockTimeText(t, c.locale, fitsPixels(161)), c.time);
        EXPECT_EQ(clockDateText(d, c.locale, fitsPixels(193)), c.date);
    }
}

TEST(ClockFormat, AFormatThatDoesNotFitOrNamesTheMonthFallsBack) {
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    const QLocale br(QLocale::Portuguese, QLocale::Brazil);
    const auto always = [](const QString&) { return true; };
    const auto never = [](const QString&) { return false; };
    // With room enough the locale's own formats stand, AM/PM and all.
    EXPECT_EQ(clockTimeText(QTime(18, 17, 0), us, always), QStringLiteral("6:17:00 PM"));
    EXPECT_EQ(clockDateFormat(us, always), QStringLiteral("M/d/yy"));
    EXPECT_EQ(clockTimeFormat(br, never), QStringLiteral("HH:mm:ss"));
    EXPECT_EQ(clockDateFormat(br, never), QStringLiteral("dd/MM/yyyy"));
    // The widest time is measured, in the morning and in the afternoon.
    QStringList measured;
    clockTimeFormat(us, [&](const QString& text) { measured << text; return true; });
    EXPECT_EQ(measured, QStringList({"10:58:58 AM", "10:58:58 PM"}));
    // A date that names the month is no numeric date, whatever room there is.
    EXPECT_EQ(clockDateFormat(QLocale::c(), always), QStringLiteral("dd/MM/yyyy"));
}

TEST(ClockFormat, TheTimeZoneGoesAndQuotedTextStays) {
    const struct {
        const char* format;
        const char* without;
    } cases[] = {
        {"HH:mm:ss t", "HH:mm:ss"},
        {"h:mm:ss AP t", "h:mm:ss AP"},
        {"t HH:mm:ss", "HH:mm:ss"},
        {"H:mm:ss (t)", "H:mm:ss"},
        {"h:mm:ss AP, t", "h:mm:ss AP"},
        {"HH:mm:ss tttt", "HH:mm:ss"},
        {"HH 'h' mm 'min' ss 's' t", "HH 'h' mm 'min' ss 's'"},
        {"HH:mm:ss 'tarde' t", "HH:mm:ss 'tarde'"},
        {"HH 'o''clock t' mm t ss", "HH 'o''clock t' mm ss"},
        {"H:mm:ss 'ч'. t", "H:mm:ss 'ч'."},
        {"HH:mm:ss", "HH:mm:ss"},
        {"'t' HH", "'t' HH"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(withoutTimeZone(QString::fromUtf8(c.format)), QString::fromUtf8(c.without)) << c.format;
}

class WindowControlsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ensureApp();
        TPrincipal::Environment env;
        env.errors = &report;
        window = std::make_unique<TPrincipal>(env);
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
    // Whatever the system's locale (this test runs in pt_BR, en_US and C): 24-hour time with
    // seconds and a date of numbers, each inside its panel.
    const QString time = window->Panel1->text();
    const QTime shown = QTime::fromString(time, QStringLiteral("HH:mm:ss"));
    ASSERT_TRUE(shown.isValid()) << time.toStdString();
    EXPECT_LE(std::abs(shown.secsTo(QTime::currentTime())), 2);
    const QString date = window->Panel2->text();
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^[0-9]+[./-][0-9]+[./-][0-9]+$")).match(date).hasMatch())
        << date.toStdString();
    for (const TPanel* panel : {window->Panel1, window->Panel2})
        EXPECT_LE(QFontMetrics(panel->font()).horizontalAdvance(panel->text()), panel->width())
            << panel->text().toStdString();
    const QString first = window->Panel1->text();
    QTRY_VERIFY_WITH_TIMEOUT(window->Panel1->text() != first, 3000);
}

// The clock shows what the window's clock says, read at each tick: past midnight the date turns
// with the time.
TEST(WindowClock, EachTickShowsTheTimeAndDateOfThatMoment) {
    ensureApp();
    RecordingErrorReport report;
    QDateTime now(QDate(2026, 12, 9), QTime(23, 59, 58));
    TPrincipal::Environment env;
    env.errors = &report;
    env.clock = [&] { return now; };
    TPrincipal window(env);
    const QString dayBefore = window.Panel2->text();
    window.Timer1Timer(window.Timer1);
    EXPECT_EQ(window.Panel1->text(), QStringLiteral("23:59:58"));
    const QString december9 = window.Panel2->text();
    EXPECT_NE(december9, dayBefore);
    now = QDateTime(QDate(2026, 12, 10), QTime(0, 0, 1));
    window.Timer1Timer(window.Timer1);
    EXPECT_EQ(window.Panel1->text(), QStringLiteral("00:00:01"));
    EXPECT_NE(window.Panel2->text(), december9);
    EXPECT_TRUE(window.Panel2->text().contains(QStringLiteral("10"))) << window.Panel2->text().toStdString();
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
