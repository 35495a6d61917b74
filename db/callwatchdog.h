#pragma once
// A client library call that waits on a server which stopped answering (a hung server process,
// a host that lost power, a cut cable) would hold the window's thread for as long as the
// operating system keeps the connection: minutes, or for ever. The watchdog is a thread of its
// own that watches the call in progress on an attachment and, when its time is up, aborts the
// attachment with fb_cancel_operation(fb_cancel_abort): the client library lets another thread
// make that call while the first is blocked, closes the attachment's network connection, and the
// blocked call returns at once with a network error. Every later call on that attachment fails
// at once too, so the attachment is of no further use and is dropped by its owner.
//
// One call is watched at a time (everything runs on the window's thread). The cancel runs under
// the watchdog's lock, so the attachment cannot be detached while it is being cancelled.

#include <chrono>
#include <condition_variable>
#include <ibase.h>
#include <mutex>
#include <thread>

class FbClient;

class CallWatchdog {
public:
    using Clock = std::chrono::steady_clock;

    explicit CallWatchdog(FbClient& client);
    ~CallWatchdog();

    CallWatchdog(const CallWatchdog&) = delete;
    CallWatchdog& operator=(const CallWatchdog&) = delete;

    // A call on the attachment begins; it may run until the deadline.
    void arm(isc_db_handle attachment, Clock::time_point deadline);
    // The call has returned. True when it was aborted because its time was up (then, or a
    // moment before it returned by itself: the attachment is aborted either way).
    bool disarm();

private:
    void run();

    FbClient& m_client;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_armed = false;
    bool m_fired = false;
    bool m_quit = false;
    bool m_idle = false; // the thread waits for a call to watch
    isc_db_handle m_attachment = 0;
    Clock::time_point m_deadline;
    unsigned m_generation = 0; // one a call watched
    std::thread m_thread; // started at the first call watched
};
