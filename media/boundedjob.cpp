#include "media/boundedjob.h"

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

namespace {

std::atomic<int> g_given{0};

struct Job {
    std::mutex mutex;
    std::condition_variable ended;
    bool done = false;
    bool givenUp = false;
};

} // namespace

int jobsStillRunning() { return g_given.load(); }

bool runWithin(std::function<void()> job, std::chrono::milliseconds bound) {
    auto state = std::make_shared<Job>();
    auto work = std::make_shared<std::function<void()>>(std::move(job));
    try {
        std::thread([state, work]() mutable {
            (*work)();
            work.reset(); // what the job owns goes here, on this thread
            const std::lock_guard lock(state->mutex);
            state->done = true;
            if (state->givenUp) --g_given;
            state->ended.notify_all();
        }).detach();
    } catch (const std::system_error&) {
        (*work)();
        return true;
    }
    work.reset();
    std::unique_lock lock(state->mutex);
    if (state->ended.wait_for(lock, bound, [&] { return state->done; })) return true;
    state->givenUp = true;
    ++g_given;
    return false;
}
