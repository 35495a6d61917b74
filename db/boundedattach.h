#pragma once
// Attaching to a database on a host that does not answer takes as long as the operating system
// tries to connect (over two minutes), and the client library's connect time-out covers only part
// of it. So the attach runs on a thread of its own while the window's thread waits for it, at most
// for the bound. Past the bound the attach is left to finish by itself: a connection it still
// makes is kept for the next attach with the same name and parameter block, which takes it at
// once; otherwise it is detached when it ends. At most one attach is in flight: an attach that
// finds the previous one still running waits for that one instead of starting another.

#include "db/fbstatus.h"

#include <QByteArray>
#include <chrono>
#include <ibase.h>
#include <memory>

class FbClient;

class BoundedAttach {
public:
    explicit BoundedAttach(FbClient& client);
    // An attach still running detaches its connection when it ends; one made and not taken is
    // detached now.
    ~BoundedAttach();

    BoundedAttach(const BoundedAttach&) = delete;
    BoundedAttach& operator=(const BoundedAttach&) = delete;

    struct Result {
        isc_db_handle handle = 0; // the attachment, when it succeeded in time
        FbStatus status;          // the client library's status, when it failed in time
        bool timedOut = false;    // still running when the bound was up
    };

    // Throws EDatabaseError when the attach's thread cannot be made.
    Result attach(const QByteArray& name, const QByteArray& dpb, std::chrono::milliseconds bound);

    // True while an attach of any BoundedAttach is inside the client library. A process that
    // ends then must not run the library's own clean-up under it (it ends with _exit instead).
    static bool anyRunning();

private:
    struct Job;
    FbClient& m_client;
    std::shared_ptr<Job> m_job; // the attach in flight, or made and not taken
};
