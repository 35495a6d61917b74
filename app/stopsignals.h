#pragma once
// Ending the panel by a signal. SIGTERM (systemd stopping the unit, kill) and SIGINT (Ctrl-C)
// end the program as the close button does: the event loop returns, the main window is
// destroyed, the calls-list transaction is committed and the connection detached.
//
// The Firebird client catches both signals for itself once it has attached to a database, and
// then only shuts its own connections down, leaving the program running. So the signals are
// blocked in every thread from the start of the program, and read on the user-interface thread
// from a signalfd instead: nobody else's handler ever runs.

class QObject;

// The first thing in main(), before any thread is started (threads inherit the blocked set).
void blockStopSignals();

// Once the application object exists: a stop signal quits the application's event loops.
// Start-up runs before the main event loop, so main() asks stopRequested() after it.
void quitOnStopSignals(QObject* parent);

// True once a stop signal has arrived.
bool stopRequested();
