#pragma once
// The one QApplication of a widget test program, created at first use. It is never destroyed:
// at exit Qt's own static objects (the test input devices among them) are already gone.

#include <QApplication>

inline QApplication& testApplication() {
    if (auto* app = qobject_cast<QApplication*>(QCoreApplication::instance())) return *app;
    static int argc = 1;
    static char name[] = "painel-test";
    static char* argv[] = {name, nullptr};
    return *new QApplication(argc, argv);
}
