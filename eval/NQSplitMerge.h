#ifndef NQ_EVAL_NQSPLITMERGE_H
#define NQ_EVAL_NQSPLITMERGE_H

#include <cstdint>
#include <map>
#include <string>

struct NQPageMatch;

// Split and merge errors of a run, from the pixels that the regions of each
// page pair share. A result region takes a fair share of a ground-truth
// region when the pixels they share are at least `fairShare` percent of the
// ground-truth region's non-white pixels (its ink). A ground-truth region is
// split when two or more result regions take a fair share of it; a result
// region merges when it takes a fair share of two or more ground-truth
// regions. Splits count under the ground-truth class, merges under the
// result class.
class NQSplitMerge {
public:
    static constexpr double kDefaultFairShare = 10.0;

    struct Counts {
        std::uint32_t gtRegions = 0;      // ground-truth regions of the class
        std::int64_t gtInk = 0;           // their ink
        std::uint32_t split = 0;          // ground-truth regions split
        std::uint32_t splitParts = 0;     // result regions taking a fair share of those
        std::int64_t splitInk = 0;        // ink of the split regions
        std::uint32_t merges = 0;         // result regions that merge
        std::uint32_t mergedRegions = 0;  // ground-truth regions they merge, per merge
        std::int64_t mergedInk = 0;       // ink of those, per merge
    };

    explicit NQSplitMerge(double fairShare = kDefaultFairShare) : fairShare_(fairShare) {}

    // Counts one compared page; builds the mask of every ground-truth region
    // for its ink, so the page image must still be alive.
    void addPage(const NQPageMatch& match);
    // Adds the pages of `other`; counts are sums, so the order does not matter.
    void merge(const NQSplitMerge& other);

    double fairShare() const { return fairShare_; }
    // The counts of a class; all 0 for a class that never occurred.
    Counts classCounts(const std::string& name) const;
    // Over all classes. Here a ground-truth region merged by several result
    // regions counts once in mergedRegions and mergedInk.
    const Counts& total() const { return total_; }

private:
    double fairShare_;
    std::map<std::string, Counts> byClass_;
    Counts total_;
};

// 100 * part / whole; 0 for an empty whole.
double inkShare(std::int64_t part, std::int64_t whole);

#endif
