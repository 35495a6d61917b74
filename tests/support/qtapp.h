#pragma once
// The one QApplication of a widget test program. It is created at first use and destroyed when
// the tests have run, before the program's static objects go (Qt's test input devices among
// them, which the application's destruction still needs).

#include <QApplication>
#include <gtest/gtest.h>

class TestApplicationEnvironment : public testing::Environment {
public:
    static QApplication& get() {
        if (!s_app) {
            static int argc = 1;
            static char name[] = "painel-test";
            static char* argv[] = {name, nullptr};
            s_app = new QApplication(argc, argv);
        }
        return *s_app;
    }
    void TearDown() override {
        delete s_app;
        s_app = nullptr;
    }

private:
    static inline QApplication* s_app = nullptr;
};

inline testing::Environment* const kTestApplicationEnvironment =
    testing::AddGlobalTestEnvironment(new TestApplicationEnvironment);

inline QApplication& testApplication() { return TestApplicationEnvironment::get(); }

// Shorthand used by the tests.
inline QApplication* ensureApp() { return &testApplication(); }
