// Program entry: the application object, the main window, the start-up sequence, the event loop.

#include "app/servicenotifier.h"
#include "app/stopsignals.h"
#include "base/errors.h"
#include "calls/pronunciationfile.h"
#include "db/boundedattach.h"
#include "display/messageboxreport.h"
#include "display/tprincipal.h"

#include <QApplication>
#include <QFont>
#include <QMessageBox>
#include <cstdio>
#include <cstdlib>
#include <iostream>

namespace {

// An attach still running inside the database client library (on a host that does not answer)
// must not have the library's own clean-up run under it as the process ends: then the process
// ends at once, without the clean-up of the libraries.
int endProcess(int code) {
    if (!BoundedAttach::anyRunning()) return code;
    std::fflush(nullptr);
    std::_Exit(code);
}

} // namespace

int main(int argc, char* argv[]) {
    blockStopSignals();
    QApplication app(argc, argv);
    quitOnStopSignals(&app);
    QApplication::setApplicationName(applicationTitle());
    // The design's faces, for any widget that names them: Debian has none of them, and maps
    // "Impact" to a dingbat face.
    QFont::insertSubstitution(QStringLiteral("Impact"), QStringLiteral("Liberation Sans Narrow"));
    QFont::insertSubstitution(QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"));
    QFont::insertSubstitution(QStringLiteral("System"), QStringLiteral("Liberation Sans"));
    ServiceNotifier service;
    service.start();

    std::unique_ptr<TPrincipal> principal;
    try {
        principal = std::make_unique<TPrincipal>();
    } catch (const EPainelError& e) {
        // The main window cannot be built (the database client library is missing): the
        // program reports it and ends before start-up.
        MessageBoxErrorReport().showError(e.text());
        return 1;
    }
    // How this clinic's names are said, read once; a line that cannot be read is reported on
    // standard error and the panel goes on without it.
    loadClinicLexicon(principal->exePath(QLatin1String(kPronunciationFileName)), std::cerr);
    principal->FormCreate();
    if (principal->terminationRequested() || stopRequested()) return endProcess(0);
    if (principal->canTakeCalls())
        service.ready([p = principal.get()] { return p->canTakeCalls(); });
    else
        service.failed();
    principal->showKiosk();
    const int code = QApplication::exec();
    principal.reset();
    return endProcess(code);
}
