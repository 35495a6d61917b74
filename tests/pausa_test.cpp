// The pause: its length, the events it serves, and that it waits instead of spinning.

#include "calls/pausa.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <ctime>
#include <gtest/gtest.h>

namespace {

double cpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

class PausaTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "pausa_test";
        static char* argv[] = {name, nullptr};
        if (!QCoreApplication::instance()) new QCoreApplication(argc, argv);
    }
};

TEST_F(PausaTest, LastsMoreThanItsSecondsWithNoEventAtAll) {
    for (int seconds : {1, 2}) {
        QElapsedTimer t;
        t.start();
        Pausa(seconds);
        EXPECT_GT(t.nsecsElapsed(), qint64(seconds) * 1000000000) << seconds;
        EXPECT_LT(t.elapsed(), seconds * 1000 + 1000) << seconds;
    }
}

TEST_F(PausaTest, APauseOfZeroOrLessReturnsAtOnce) {
    // It waits for the clock to move on, not for an event: with none at all it still returns.
    for (int seconds : {0, -1, -3600}) {
        QElapsedTimer t;
        t.start();
        Pausa(seconds);
        EXPECT_LT(t.elapsed(), 500) << seconds;
    }
}

TEST_F(PausaTest, ServesTimersAndPostedCallsWhileItHolds) {
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start(100);
    bool posted = false;
    QMetaObject::invokeMethod(QCoreApplication::instance(), [&] { posted = true; }, Qt::QueuedConnection);
    Pausa(1);
    EXPECT_TRUE(posted);
    EXPECT_GE(ticks, 5);
}

TEST_F(PausaTest, ServesTheQueueAtLeastOnceEvenForZeroSeconds) {
    bool posted = false;
    QMetaObject::invokeMethod(QCoreApplication::instance(), [&] { posted = true; }, Qt::QueuedConnection);
    Pausa(0);
    EXPECT_TRUE(posted);
}

TEST_F(PausaTest, NestedPauseRunsToItsEndAndTheOuterEndsAfterItsOwnTime) {
    QElapsedTimer t;
    t.start();
    qint64 innerEnded = -1;
    QTimer::singleShot(200, [&] {
        Pausa(2);
        innerEnded = t.elapsed();
    });
    Pausa(1);
    // The outer pause cannot return before the nested one inside it; it then ends at once.
    EXPECT_GE(innerEnded, 2200);
    EXPECT_GE(t.elapsed(), innerEnded);
    EXPECT_LT(t.elapsed() - innerEnded, 500);
}

TEST_F(PausaTest, CostsAlmostNoProcessorTime) {
    const double before = cpuSeconds();
    Pausa(2);
    const double used = cpuSeconds() - before;
    // A pause that polled would use about 2 s of processor time.
    EXPECT_LT(used, 0.2) << used;
}

} // namespace
