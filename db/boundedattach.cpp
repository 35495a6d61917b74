#include "db/boundedattach.h"

#include "db/fbclient.h"

#include "base/errors.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

namespace {
std::atomic<int> g_running{0};
}

struct BoundedAttach::Job {
    // Copied from the client: the job may outlive the object that started it.
    decltype(FbClient::attach_database) attachDatabase;
    decltype(FbClient::detach_database) detachDatabase;
    QByteArray name;
    QByteArray dpb;

    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    bool orphaned = false; // nobody will take the connection: the job detaches it
    isc_db_handle handle = 0;
    FbStatus status;

    void run() {
        struct Count {
            ~Count() { --g_running; } // counted up when the thread was made
        } count;
        isc_db_handle made = 0;
        FbStatus result;
        attachDatabase(result.vector(), short(name.size()), name.constData(), &made, short(dpb.size()),
                       dpb.constData());
        const std::lock_guard lock(mutex);
        handle = made;
        status = result;
        done = true;
        if (orphaned) release();
        finished.notify_all();
    }

    // Under the lock: nobody will take the connection.
    void orphan() {
        orphaned = true;
        if (done) release();
    }

    void release() {
        if (!handle) return;
        FbStatus ignored;
        detachDatabase(ignored.vector(), &handle);
        handle = 0;
    }
};

BoundedAttach::BoundedAttach(FbClient& client) : m_client(client) {}

bool BoundedAttach::anyRunning() { return g_running.load() > 0; }

BoundedAttach::~BoundedAttach() {
    if (const std::shared_ptr<Job> job = m_job) {
        const std::lock_guard lock(job->mutex);
        job->orphan();
    }
}

BoundedAttach::Result BoundedAttach::attach(const QByteArray& name, const QByteArray& dpb,
                                            std::chrono::milliseconds bound) {
    if (const std::shared_ptr<Job> previous = m_job) {
        // A failure or a connection left from before is of another moment or another database:
        // only a matching attach still running is waited for, or its connection taken.
        bool usable = false;
        {
            const std::lock_guard lock(previous->mutex);
            usable = previous->name == name && previous->dpb == dpb && (!previous->done || previous->handle);
            if (!usable) previous->orphan();
        }
        if (!usable) m_job.reset();
    }
    if (!m_job) {
        m_job = std::make_shared<Job>();
        m_job->attachDatabase = m_client.attach_database;
        m_job->detachDatabase = m_client.detach_database;
        m_job->name = name;
        m_job->dpb = dpb;
        ++g_running;
        try {
            std::thread([job = m_job] { job->run(); }).detach();
        } catch (const std::system_error& e) {
            --g_running;
            // No thread could be made (no memory or task left): no attach is under way, and the
            // next one tries again.
            m_job.reset();
            throw EDatabaseError(QStringLiteral("Não foi possível iniciar a conexão ao banco de dados: %1")
                                     .arg(QString::fromLocal8Bit(e.what())));
        }
    }
    const std::shared_ptr<Job> job = m_job;
    Result result;
    {
        std::unique_lock lock(job->mutex);
        if (!job->finished.wait_for(lock, bound, [&] { return job->done; })) {
            result.timedOut = true;
            return result;
        }
        result.handle = std::exchange(job->handle, 0);
        result.status = job->status;
    }
    m_job.reset();
    return result;
}
