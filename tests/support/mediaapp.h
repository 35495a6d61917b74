#pragma once
// One QApplication for a media test executable, on the media backend the program uses.

#include "media/mediabackend.h"

#include <QApplication>

inline QApplication* ensureMediaApp() {
    if (auto* app = qobject_cast<QApplication*>(QCoreApplication::instance())) return app;
    selectMediaBackend();
    static int argc = 1;
    static char name[] = "painel_media_test";
    static char* argv[] = {name, nullptr};
    return new QApplication(argc, argv);
}
