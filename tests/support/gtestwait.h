#pragma once
// Qt Test's waiting checks (QTRY_VERIFY..., QTRY_COMPARE...) made GoogleTest checks. Qt's own
// report their failure to Qt Test's runner, which these test programs do not use: outside it a
// failure only leaves the test function early, silently, and the test passes. Here a check that
// is still false when its time is up is a GoogleTest failure, which also leaves the function.
//
// tests/CMakeLists.txt puts this header in front of every test source, so that these definitions
// replace Qt's wherever <QTest> is included.

#include <QTest>
#include <gtest/gtest.h>

#undef QTRY_VERIFY_WITH_TIMEOUT
#undef QTRY_VERIFY
#undef QTRY_COMPARE_WITH_TIMEOUT
#undef QTRY_COMPARE

#define QTRY_VERIFY_WITH_TIMEOUT(expr, timeout)                                                    \
    do {                                                                                           \
        if (!QTest::qWaitFor([&] { return bool(expr); }, (timeout)))                               \
            GTEST_FAIL() << "still false after " << (timeout) << " ms: " #expr;                    \
    } while (false)

#define QTRY_COMPARE_WITH_TIMEOUT(actual, expected, timeout)                                       \
    do {                                                                                           \
        (void)QTest::qWaitFor([&] { return (actual) == (expected); }, (timeout));                  \
        ASSERT_EQ((actual), (expected)) << "after waiting " << (timeout) << " ms";                 \
    } while (false)

#define QTRY_VERIFY(expr) QTRY_VERIFY_WITH_TIMEOUT(expr, 5000)
#define QTRY_COMPARE(actual, expected) QTRY_COMPARE_WITH_TIMEOUT(actual, expected, 5000)
