// painel-makemedia FOLDER [VIDEO_SECONDS]: writes a notification chime NOTIFY.WAV and a test
// video VIDEO.WMV into FOLDER, for a demo set-up of the panel.

#include "tools/testmedia.h"

#include <QCoreApplication>
#include <QDir>
#include <cstdio>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() < 2 || args.size() > 3) {
        std::fprintf(stderr, "usage: painel-makemedia FOLDER [VIDEO_SECONDS]\n");
        return 2;
    }
    bool ok = true;
    const int seconds = args.size() == 3 ? args[2].toInt(&ok) : 20;
    if (!ok || seconds <= 0) {
        std::fprintf(stderr, "painel-makemedia: bad number of seconds: %s\n", qUtf8Printable(args[2]));
        return 2;
    }
    const QDir dir(args[1]);
    if (!QDir().mkpath(dir.path())) {
        std::fprintf(stderr, "painel-makemedia: cannot make %s\n", qUtf8Printable(dir.path()));
        return 1;
    }
    QString why;
    if (!testmedia::writeChimeWav(dir.filePath(QStringLiteral("NOTIFY.WAV")), 1500, &why)) {
        std::fprintf(stderr, "painel-makemedia: NOTIFY.WAV: %s\n", qUtf8Printable(why));
        return 1;
    }
    if (!testmedia::writeTestVideo(dir.filePath(QStringLiteral("VIDEO.WMV")), seconds, true, &why)) {
        std::fprintf(stderr, "painel-makemedia: VIDEO.WMV: %s\n", qUtf8Printable(why));
        return 1;
    }
    return 0;
}
