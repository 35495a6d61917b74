#pragma once
// One QApplication for a media test executable.

#include <QApplication>

inline QApplication* ensureMediaApp() {
    if (auto* app = qobject_cast<QApplication*>(QCoreApplication::instance())) return app;
    static int argc = 1;
    static char name[] = "painel_media_test";
    static char* argv[] = {name, nullptr};
    return new QApplication(argc, argv);
}
