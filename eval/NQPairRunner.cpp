// The pair runner: a fixed set of std::thread workers that take the next pair
// index from a shared counter, and the calling thread, which commits the
// pairs in order as their work completes. One mutex guards the counter, the
// completion flags and the stop flag; one condition variable wakes workers
// (room ahead of the commits, a pair of theirs committed, or stop) and the
// committer (a pair finished). Each worker keeps the pairs it worked on until
// their commit, to release them itself.
#include "eval/NQPairRunner.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace {

// Runs one step of pair i; what it throws is returned, to be raised on the
// calling thread.
std::exception_ptr attempt(const std::function<void(std::size_t)>& step, std::size_t i) {
    try {
        step(i);
    } catch (...) {
        return std::current_exception();
    }
    return nullptr;
}

}  // namespace

void NQPairRunner::run(std::size_t count, unsigned threads,
                       const std::function<void(std::size_t)>& work,
                       const std::function<void(std::size_t)>& commit,
                       const std::function<void(std::size_t)>& release) {
    if (threads <= 1 || count <= 1) {
        for (std::size_t i = 0; i < count; ++i) {
            work(i);
            commit(i);
            if (release)
                release(i);
        }
        return;
    }

    const std::size_t ahead = 2 * static_cast<std::size_t>(threads);
    std::mutex mutex;
    std::condition_variable changed;
    std::size_t next = 0;       // first pair no worker has taken
    std::size_t committed = 0;  // pairs committed so far
    bool stop = false;
    std::vector<char> done(count, 0);
    std::vector<std::exception_ptr> failures(count);
    std::exception_ptr releaseFailure;  // the first one, raised once all pairs are committed

    auto worker = [&] {
        // This worker's pairs not released yet, in the order it took them.
        std::deque<std::size_t> mine;
        std::unique_lock<std::mutex> lock(mutex);
        for (;;) {
            while (!stop && !mine.empty() && mine.front() < committed) {
                const std::size_t i = mine.front();
                mine.pop_front();
                lock.unlock();
                const std::exception_ptr failure = attempt(release, i);
                lock.lock();
                if (failure && !releaseFailure)
                    releaseFailure = failure;
            }
            auto releasable = [&] { return !mine.empty() && mine.front() < committed; };
            changed.wait(lock, [&] {
                return stop || (next < count && next < committed + ahead) ||
                       (next >= count && (mine.empty() || releasable()));
            });
            if (stop)
                return;
            if (releasable())
                continue;  // release first, so that the next pair reuses its memory
            if (next >= count)
                return;
            const std::size_t i = next++;
            if (release)
                mine.push_back(i);
            lock.unlock();
            const std::exception_ptr failure = attempt(work, i);
            lock.lock();
            failures[i] = failure;
            done[i] = 1;
            changed.notify_all();
        }
    };

    std::vector<std::thread> workers;
    const unsigned started = static_cast<unsigned>(std::min<std::size_t>(threads, count));
    auto stopAndJoin = [&] {
        {
            std::lock_guard<std::mutex> lock(mutex);
            stop = true;
        }
        changed.notify_all();
        for (std::thread& t : workers)
            t.join();
    };
    try {
        for (unsigned t = 0; t < started; ++t)
            workers.emplace_back(worker);
        for (std::size_t i = 0; i < count; ++i) {
            std::exception_ptr failure;
            {
                std::unique_lock<std::mutex> lock(mutex);
                changed.wait(lock, [&] { return done[i] != 0; });
                failure = failures[i];
            }
            if (failure)
                std::rethrow_exception(failure);
            commit(i);
            {
                std::lock_guard<std::mutex> lock(mutex);
                committed = i + 1;
            }
            changed.notify_all();
        }
    } catch (...) {
        stopAndJoin();
        throw;
    }
    // The workers release the last pairs and leave on their own.
    for (std::thread& t : workers)
        t.join();
    if (releaseFailure)
        std::rethrow_exception(releaseFailure);
}
