#ifndef NQ_EVAL_NQPAIRRUNNER_H
#define NQ_EVAL_NQPAIRRUNNER_H

#include <cstddef>
#include <functional>

// Runs the file pairs of an evaluation on several threads while keeping
// everything that a reader of the run sees in file order. Each pair has two
// steps: its work (reading and comparing, on any thread, touching nothing
// shared) and its commit (counting, report lines, messages, visual file, on
// the calling thread, strictly in index order, each after its own work).
//
// With one thread both steps run on the calling thread, pair after pair.
// With N, the calling thread and N - 1 workers do the work, and it runs
// ahead of the commits by at most twice the number of threads, so that the
// memory held by finished but uncommitted pairs stays bounded.
//
// A third, optional step, release, runs after a pair's commit on the thread
// that did its work (with one thread, right after the commit): what a work
// step allocated is then freed where it was allocated, which spares the
// calling thread that work and the allocator its locking across threads.
//
// An exception from a work step is raised from run() when its pair would
// have been committed; an exception from a commit stops the workers (pairs
// not started are not started), waits for the running ones and leaves run().
// Either way no thread is left running, and the pairs not released are left
// to the caller. An exception from a release is raised once every pair is
// committed (with one thread, at once).
class NQPairRunner {
public:
    static void run(std::size_t count, unsigned threads,
                    const std::function<void(std::size_t)>& work,
                    const std::function<void(std::size_t)>& commit,
                    const std::function<void(std::size_t)>& release = {});
};

#endif
