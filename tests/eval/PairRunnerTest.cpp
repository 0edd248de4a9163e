// The pair runner: commits in index order on the calling thread, each after
// its own work, with work on several threads finishing out of order, and
// releases each pair where its work ran; a failed
// work step is raised at its commit point and a failed commit stops the run.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>
#include <vector>

#include "eval/NQPairRunner.h"

namespace {

// Work that takes longer for lower indices, so that later pairs finish first.
void slowerFirst(std::size_t i, std::size_t count) {
    std::this_thread::sleep_for(std::chrono::microseconds(200 * (count - i)));
}

// Also: each pair is released once, after its commit, on the thread that did its work.
TEST(PairRunner, CommitsInOrderOnTheCallingThreadAfterEachWork) {
    for (unsigned threads : {1u, 3u}) {
        const std::size_t count = 12;
        std::vector<std::atomic<bool>> worked(count), isCommitted(count);
        std::vector<std::thread::id> workedOn(count), releasedOn(count);
        std::atomic<int> released{0};
        std::vector<std::size_t> committed;
        std::atomic<int> concurrent{0}, mostConcurrent{0};
        const std::thread::id caller = std::this_thread::get_id();
        NQPairRunner::run(
            count, threads,
            [&](std::size_t i) {
                const int now = ++concurrent;
                for (int seen = mostConcurrent; now > seen;)
                    mostConcurrent.compare_exchange_weak(seen, now);
                slowerFirst(i, count);
                workedOn[i] = std::this_thread::get_id();
                worked[i] = true;
                --concurrent;
            },
            [&](std::size_t i) {
                EXPECT_EQ(std::this_thread::get_id(), caller);
                EXPECT_TRUE(worked[i]);
                committed.push_back(i);
                isCommitted[i] = true;
            },
            [&](std::size_t i) {
                EXPECT_TRUE(isCommitted[i]);
                EXPECT_EQ(releasedOn[i], std::thread::id());
                releasedOn[i] = std::this_thread::get_id();
                ++released;
            });
        ASSERT_EQ(committed.size(), count);
        for (std::size_t i = 0; i < count; ++i) {
            EXPECT_EQ(committed[i], i);
            EXPECT_EQ(releasedOn[i], workedOn[i]) << i;
        }
        EXPECT_EQ(released, static_cast<int>(count));
        EXPECT_LE(mostConcurrent, static_cast<int>(threads));
    }
}

TEST(PairRunner, FailuresStopTheRunAtTheirPairWithNoThreadLeft) {
    for (unsigned threads : {1u, 3u}) {
        // A failed work step: the pairs before it are committed, it and later ones are not.
        std::vector<std::size_t> committed;
        EXPECT_THROW(NQPairRunner::run(
                         10, threads,
                         [](std::size_t i) {
                             if (i == 4)
                                 throw std::runtime_error("work");
                         },
                         [&](std::size_t i) { committed.push_back(i); }),
                     std::runtime_error);
        EXPECT_EQ(committed, (std::vector<std::size_t>{0, 1, 2, 3}));

        // A failed commit: no work starts beyond the pairs allowed ahead of it.
        std::atomic<std::size_t> started{0};
        EXPECT_THROW(NQPairRunner::run(
                         100, threads, [&](std::size_t) { ++started; },
                         [](std::size_t i) {
                             if (i == 2)
                                 throw std::logic_error("commit");
                         }),
                     std::logic_error);
        EXPECT_LE(started.load(), 3 + 2 * threads);
    }
}

}  // namespace
