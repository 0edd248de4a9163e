#ifndef NQ_EVAL_NQTHRESHOLDSWEEP_H
#define NQ_EVAL_NQTHRESHOLDSWEEP_H

#include <cstddef>
#include <string>
#include <vector>

#include "eval/NQClassTable.h"

struct NQPageMatch;

// Precision, recall and F-score of one class or of all classes, in percent.
struct NQRates {
    double precision = 0.0;
    double recall = 0.0;
    double fScore = 0.0;
};

// The evaluation repeated at a series of match thresholds ("-sweep"). Each
// page's pair scores are taken once from its match; at every threshold the
// one-to-one selection is run again on the pairs that reach it and counted
// into a class table of that threshold, so each table is the one a run with
// that "-t" would have built.
class NQThresholdSweep {
public:
    // The thresholds LO, LO + STEP, ... up to HI of a text "LO:HI:STEP".
    // Returns false with `problem` set when the text is not such a range.
    static bool parseRange(const std::string& text, std::vector<double>& thresholds,
                           std::string& problem);

    NQThresholdSweep() = default;
    explicit NQThresholdSweep(std::vector<double> thresholds);

    // Counts one compared page at every threshold. `classes` is the run's
    // table after the page was matched: its classes are registered first so
    // that every table numbers them as the run does.
    void addPage(const NQPageMatch& match, const NQClassTable& classes);
    // Adds the pages of `other` (same thresholds) as if they had followed
    // this sweep's pages in one run.
    void merge(const NQThresholdSweep& other);

    const std::vector<double>& thresholds() const { return thresholds_; }
    const NQClassTable& tableAt(std::size_t k) const { return tables_.at(k); }

    // A class at threshold k, and all classes from index `first` on (the
    // means of their rates, as the report's average F-score is a mean).
    NQRates classRates(std::size_t k, const std::string& name) const;
    NQRates overallRates(std::size_t k, std::size_t first) const;
    // The same, averaged over the thresholds.
    NQRates meanClassRates(const std::string& name) const;
    NQRates meanOverallRates(std::size_t first) const;
    // "F@[LO:HI]", the name of the mean overall F-score.
    std::string label() const;

private:
    std::vector<double> thresholds_;
    std::vector<NQClassTable> tables_;  // one per threshold
};

// A threshold as the report and the label write it: without trailing zeros.
std::string thresholdText(double threshold);

#endif
