#ifndef NQ_EVAL_NQPROGRESSLINE_H
#define NQ_EVAL_NQPROGRESSLINE_H

#include <cstddef>
#include <functional>
#include <ostream>
#include <string>

#include "eval/NQRunObserver.h"

// A progress line on a terminal: "file k of N", the time elapsed and an
// estimate of the time left, rewritten in place. It steps aside (erases
// itself) for every line the driver writes on standard output and is erased
// when the run ends, so the terminal keeps only what a run without it shows.
class NQProgressLine : public NQRunObserver {
public:
    using Clock = std::function<double()>;  // seconds from any fixed point

    // Whether standard error is a terminal; scripted runs get no progress line.
    static bool wanted();

    explicit NQProgressLine(std::ostream& out, Clock clock = steadySeconds);

    void runStarted(const NQWexaOptions& options, std::size_t pairCount) override;
    void pairStarted(std::size_t index, std::size_t pairCount) override;
    void pairFinished(const NQPairRecord& pair) override;
    bool readsPageImages() const override { return false; }
    void runFinished(const NQClassTable& classes, std::uint32_t fileCount, bool complete) override;
    void beforeMessage() override;
    void afterMessage() override;

    // "file 2 of 5, 0:07 elapsed, about 0:11 left"; a negative `left` is not
    // known yet.
    static std::string text(std::size_t file, std::size_t files, double elapsed, double left);
    static double steadySeconds();

private:
    void draw();
    void erase();

    std::ostream& out_;
    Clock clock_;
    double start_ = 0.0;
    std::size_t files_ = 0;
    std::size_t current_ = 0;  // 1-based number of the pair being compared
    std::size_t done_ = 0;
    bool shown_ = false;
};

#endif
