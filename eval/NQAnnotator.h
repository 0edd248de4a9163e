#ifndef NQ_EVAL_NQANNOTATOR_H
#define NQ_EVAL_NQANNOTATOR_H

#include <cstdint>

class NQPage;
struct NQIdPair;
struct NQPageMatch;

// Marks the outcome of a page comparison on the result page, for the
// annotated result files (-v).
class NQAnnotator {
public:
    // With `rleMode` the run-length text of each region's mask is written too.
    explicit NQAnnotator(bool rleMode) : rleMode_(rleMode) {}

    // Every result zone gets its region's outcome ("MATCHED", "DETECTED",
    // "FALSEALRAM") with the partner's id, class and score; every missed
    // ground-truth region is appended to the page as a zone of class
    // "MISSED", named "MISS" + the next value of `missCount`. A missed zone
    // that the page refuses is reported on standard output and left out.
    void annotate(const NQPageMatch& match, NQPage& resultPage, std::uint32_t& missCount) const;
    // Class-only comparison: both classes on a zone that has a partner, and
    // "NQ_CORRECT" as its class when they agree.
    static void annotate(const NQIdPair& pair);

private:
    bool rleMode_;
};

#endif
