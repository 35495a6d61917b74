#pragma once
// One QApplication for a test executable (widgets on the offscreen platform).

#include <QApplication>

inline QApplication* ensureApp() {
    if (auto* app = qobject_cast<QApplication*>(QCoreApplication::instance())) return app;
    static int argc = 1;
    static char name[] = "painel_test";
    static char* argv[] = {name, nullptr};
    return new QApplication(argc, argv);
}
