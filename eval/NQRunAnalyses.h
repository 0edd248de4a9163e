#ifndef NQ_EVAL_NQRUNANALYSES_H
#define NQ_EVAL_NQRUNANALYSES_H

#include <optional>

#include "eval/NQSplitMerge.h"
#include "eval/NQThresholdSweep.h"

class NQClassTable;
struct NQPageMatch;
struct NQWexaOptions;

// The analyses a run's options ask for (-sweep, -splitmerge), over some of
// its pages. Pages can be taken by separate objects, one per file pair, and
// merged in file order: the result is what one object taking every page in
// that order gives.
class NQRunAnalyses {
public:
    NQRunAnalyses() = default;
    explicit NQRunAnalyses(const NQWexaOptions& options);

    bool any() const { return sweep_.has_value() || splits_.has_value(); }
    // One page of the default comparison; `classes` holds (at least) the
    // classes its matching met, in the order met.
    void addPage(const NQPageMatch& match, const NQClassTable& classes);
    void merge(const NQRunAnalyses& other);

    // Null when the run does not ask for it.
    const NQThresholdSweep* sweep() const { return sweep_ ? &*sweep_ : nullptr; }
    const NQSplitMerge* splitMerge() const { return splits_ ? &*splits_ : nullptr; }

private:
    std::optional<NQThresholdSweep> sweep_;
    std::optional<NQSplitMerge> splits_;
};

#endif
