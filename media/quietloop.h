#pragma once
// A local event loop for a wait that must not start other work. It serves timers and posted
// events; user input and socket notices (connections, reads) wait until it ends.
//
// The flags ExcludeUserInputEvents and ExcludeSocketNotifiers alone do not do it: Qt's GLib event
// dispatcher, the usual one on Linux, ignores ExcludeSocketNotifiers. So while the loop runs, a
// socket notifier that fires is switched off before its socket hears of it, and switched on
// again when the loop ends; the socket then gets its notice as usual.

#include <QEventLoop>

class QuietLoop : public QEventLoop {
    Q_OBJECT
public:
    using QEventLoop::QEventLoop;

    // Runs until quit() or until timeoutMs has passed; false when the time ran out.
    bool execFor(int timeoutMs);

    // True while a quiet loop runs: work that would serve the whole event queue for long (a
    // message box) waits until it ends, or the sockets would wait with it.
    static bool running();
};
