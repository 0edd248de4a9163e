// The pair runner: the calling thread and a fixed set of std::thread workers
// take the next pair index from a shared counter; the calling thread also
// commits the pairs in order as their work completes, and works on a pair
// itself only while the next commit waits. One mutex guards the counter, the
// completion flags and the stop flag; one condition variable wakes workers
// (room ahead of the commits, a pair of theirs committed, or stop) and the
// committer (a pair finished, or room ahead). Each thread keeps the pairs it
// worked on until their commit, to release them itself.
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
    std::size_t next = 0;       // first pair no thread has taken
    std::size_t committed = 0;  // pairs committed so far
    bool stop = false;
    std::vector<char> done(count, 0);
    std::vector<char> byCaller(count, 0);  // worked on by the calling thread
    std::vector<std::exception_ptr> failures(count);
    std::exception_ptr releaseFailure;  // the first one, raised once all pairs are committed

    auto mayTake = [&] { return next < count && next < committed + ahead; };
    // Takes the next pair and works on it; called and left with the lock held.
    auto workOnNext = [&](std::unique_lock<std::mutex>& lock) {
        const std::size_t i = next++;
        lock.unlock();
        const std::exception_ptr failure = attempt(work, i);
        lock.lock();
        failures[i] = failure;
        done[i] = 1;
        changed.notify_all();
        return i;
    };

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
                return stop || mayTake() || (next >= count && (mine.empty() || releasable()));
            });
            if (stop)
                return;
            if (releasable())
                continue;  // release first, so that the next pair reuses its memory
            if (next >= count)
                return;
            const std::size_t i = workOnNext(lock);
            if (release)
                mine.push_back(i);
        }
    };

    // The calling thread is one of the threads that work: it starts one
    // worker fewer, so that the threads of a run are as many as asked for
    // and a commit never waits for, or pre-empts, a busy worker's core.
    std::vector<std::thread> workers;
    const unsigned started = static_cast<unsigned>(std::min<std::size_t>(threads, count)) - 1;
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
        // Commits the pairs in order as their work is done; while the next
        // one is not done, works on a pair of its own if one may be taken.
        for (std::size_t i = 0; i < count; ++i) {
            std::exception_ptr failure;
            {
                std::unique_lock<std::mutex> lock(mutex);
                while (!done[i]) {
                    if (mayTake())
                        byCaller[workOnNext(lock)] = 1;
                    else
                        changed.wait(lock, [&] { return done[i] != 0 || mayTake(); });
                }
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
            if (byCaller[i] && release) {
                const std::exception_ptr releaseFailed = attempt(release, i);
                std::lock_guard<std::mutex> lock(mutex);
                if (releaseFailed && !releaseFailure)
                    releaseFailure = releaseFailed;
            }
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
