// The standard error report: the text rule, one box at a time, and handlers that never throw.

#include "base/errors.h"
#include "display/messageboxreport.h"
#include "tests/support/qtapp.h"
#include "tests/support/recordingreport.h"

#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

TEST(ErrorReportText, AddsAFullStopByTheRule) {
    const struct {
        QString in, out;
    } cases[] = {
        {"No MCI device open", "No MCI device open."},
        {"'x' is not a valid integer value", "'x' is not a valid integer value."},
        {"Done.", "Done."},
        {"Ends with a blank ", "Ends with a blank "},
        {"Ends with a comma,", "Ends with a comma,"},
        {"Ends with a slash/", "Ends with a slash/."},
        {"Ends with a digit 7", "Ends with a digit 7."},
        {"Ends with a bracket)", "Ends with a bracket)"},
        {QStringLiteral("Não encontrei arquivo"), QStringLiteral("Não encontrei arquivo.")},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(errorReportText(c.in), c.out) << c.in.toStdString();
}

TEST(Guarded, ReportsWhatTheBodyRaisesAfterTheRestore) {
    RecordingErrorReport report;
    QStringList order;
    const bool done = guarded(
        report, [&] { throw EConvertError("'cr' is not a valid integer value"); },
        [&] { order.append(QString("restore, %1 errors so far").arg(report.errors.size())); });
    EXPECT_FALSE(done);
    EXPECT_EQ(order, QStringList{"restore, 0 errors so far"});
    EXPECT_EQ(report.errors, QStringList{"'cr' is not a valid integer value."});
}

TEST(Guarded, AFailingRestoreDoesNotHideTheError) {
    RecordingErrorReport report;
    guarded(report, [] { throw EMCIDeviceError("No MCI device open"); },
            [] { throw ESocketError("port in use"); });
    EXPECT_EQ(report.errors, QStringList{"No MCI device open."});
}

TEST(Guarded, ACompletedBodyReportsNothing) {
    RecordingErrorReport report;
    int runs = 0;
    EXPECT_TRUE(guarded(report, [&] { ++runs; }));
    EXPECT_EQ(runs, 1);
    EXPECT_TRUE(report.errors.isEmpty());
}

TEST(MessageBoxReport, AtMostOneBoxIsOpenAtATime) {
    ensureApp();
    qunsetenv("PAINEL_ERRORS");
    MessageBoxErrorReport report;
    int boxesSeen = 0;
    bool secondReturnedWhileOpen = false;
    QString boxText;
    QTimer::singleShot(100, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        boxesSeen += box != nullptr;
        if (box) boxText = box->text();
        report.showError("second error"); // must not open a box inside the box
        secondReturnedWhileOpen = report.boxOpen();
        if (box) box->accept();
    });
    report.showError("first error");
    EXPECT_EQ(boxesSeen, 1);
    EXPECT_EQ(boxText, QStringLiteral("first error."));
    EXPECT_TRUE(secondReturnedWhileOpen);
    EXPECT_FALSE(report.boxOpen());
}

TEST(MessageBoxReport, ABoxIsHeldWhileBusyAndShownOnceNoLonger) {
    ensureApp();
    qunsetenv("PAINEL_ERRORS");
    MessageBoxErrorReport report;
    bool busy = true;
    report.holdWhile([&] { return busy; });
    QStringList boxes;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            boxes << box->text();
            box->accept();
        }
    });
    watch.start(20);

    report.showError("first while busy"); // returns at once: no box while busy
    report.showError("second while busy");
    EXPECT_FALSE(report.boxOpen());
    EXPECT_TRUE(report.holding());
    report.release(); // still busy: nothing yet
    QTest::qWait(200);
    EXPECT_TRUE(boxes.isEmpty());

    busy = false;
    report.release();
    QTRY_COMPARE_WITH_TIMEOUT(boxes, QStringList{"first while busy."}, 3000);
    EXPECT_FALSE(report.holding());
    QTest::qWait(200);
    EXPECT_EQ(boxes.size(), 1) << "the errors held meanwhile are on standard error only";

    report.showError("when idle"); // not busy: the box opens now, before this returns
    EXPECT_EQ(boxes, (QStringList{"first while busy.", "when idle."}));
}

} // namespace
