// painel-makemedia FOLDER [VIDEO_SECONDS]: writes a notification chime NOTIFY.WAV and a test
// video VIDEO.WMV into FOLDER, for a demo set-up of the panel.
// painel-makemedia --chime FILE: writes the notification chime alone (the package's NOTIFY.WAV).

#include "tools/testmedia.h"

#include <QCoreApplication>
#include <QDir>
#include <cstdio>

namespace {

constexpr int kChimeMs = 1400;

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    QString why;
    if (args.size() == 3 && args[1] == QStringLiteral("--chime")) {
        if (!testmedia::writeChimeWav(args[2], kChimeMs, &why)) {
            std::fprintf(stderr, "painel-makemedia: %s: %s\n", qUtf8Printable(args[2]), qUtf8Printable(why));
            return 1;
        }
        return 0;
    }
    if (args.size() < 2 || args.size() > 3) {
        std::fprintf(stderr, "usage: painel-makemedia FOLDER [VIDEO_SECONDS]\n"
                             "       painel-makemedia --chime FILE\n");
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
    if (!testmedia::writeChimeWav(dir.filePath(QStringLiteral("NOTIFY.WAV")), kChimeMs, &why)) {
        std::fprintf(stderr, "painel-makemedia: NOTIFY.WAV: %s\n", qUtf8Printable(why));
        return 1;
    }
    if (!testmedia::writeTestVideo(dir.filePath(QStringLiteral("VIDEO.WMV")), seconds, true, &why)) {
        std::fprintf(stderr, "painel-makemedia: VIDEO.WMV: %s\n", qUtf8Printable(why));
        return 1;
    }
    return 0;
}
