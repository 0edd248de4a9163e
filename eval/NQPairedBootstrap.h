#ifndef NQ_EVAL_NQPAIREDBOOTSTRAP_H
#define NQ_EVAL_NQPAIREDBOOTSTRAP_H

#include <cstdint>
#include <string>
#include <vector>

// The splitmix64 generator: a 64-bit state advanced by a constant and mixed;
// the same seed gives the same numbers on every platform and compiler.
class NQSplitMix64 {
public:
    explicit NQSplitMix64(std::uint64_t seed) : state_(seed) {}
    std::uint64_t next();
    // A number in [0, n), without the bias of a plain remainder; n > 0.
    std::uint64_t below(std::uint64_t n);

private:
    std::uint64_t state_;
};

// What one system's evaluation counted for one class on one page.
struct NQClassCounts {
    std::uint32_t correct = 0;  // regions of the class paired with the class
    std::uint32_t result = 0;   // result regions counted under the class
    std::uint32_t gt = 0;       // ground-truth regions counted under the class
};

// One page as both systems' evaluations counted it; both vectors are indexed
// by the comparison's class list.
struct NQPagePair {
    std::vector<NQClassCounts> a;
    std::vector<NQClassCounts> b;
};

// The comparison of one class, or of all classes (`overall`).
struct NQComparisonRow {
    std::string name;
    bool overall = false;
    double fA = 0.0;
    double fB = 0.0;
    double difference = 0.0;  // fB - fA
    double low = 0.0;         // the confidence interval of the difference
    double high = 0.0;
    std::uint32_t aheadA = 0;  // pages on which A's F-score is higher
    std::uint32_t aheadB = 0;
    std::uint32_t ties = 0;
};

// Paired bootstrap over pages: the pages are drawn with replacement, as many
// as there are, and the F-scores of both systems are computed on the same
// draw, so their difference keeps the pairing of the pages.
struct NQPairedBootstrap {
    std::uint32_t resamples = 1000;
    std::uint64_t seed = 1;
    double confidence = 95.0;  // percent

    // One row per class of `classes`, then the overall row. The F-score of a
    // class comes from its counts summed over the pages; the overall F-score
    // of a system is the mean over the classes that occur in its counts, as
    // in the report's average.
    std::vector<NQComparisonRow> compare(const std::vector<std::string>& classes,
                                         const std::vector<NQPagePair>& pages) const;
};

#endif
