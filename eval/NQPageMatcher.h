#ifndef NQ_EVAL_NQPAGEMATCHER_H
#define NQ_EVAL_NQPAGEMATCHER_H

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "eval/NQMZone.h"

class NQClassTable;
class NQPage;
class NQZone;
struct NQWexaOptions;

// One candidate pairing of a result region and a ground-truth region.
struct Score {
    double score = 0.0;  // match score of the pair, percent
    std::uint32_t resIdx = 0;
    std::uint32_t gtIdx = 0;
};

// Ascending order of scores; a NaN score compares false both ways.
bool compare_function(Score a, Score b);

// What the one-to-one selection gave one region.
struct NQRegionOutcome {
    int partner = -1;    // number of the paired region on the other side, -1 for none
    unsigned kind = 0;   // 2: paired with the same class, 1: with another class, 0: unpaired
    double score = 0.0;  // score of the selected pair, 0 when unpaired
    // Largest score of any pair whose rectangles overlap, below the threshold
    // too; NaN scores are passed over and 0 stands for "no overlapping pair".
    double best = 0.0;
};

// A pair of regions whose rectangles overlap and that share non-white pixels.
struct NQOverlapPair {
    std::uint32_t resIdx = 0;
    std::uint32_t gtIdx = 0;
    std::int64_t pixels = 0;  // non-white page pixels inside both regions
    double score = 0.0;       // match score of the pair
};

// A zone of a compared page and the number of the region it counts in.
struct NQZoneRegion {
    NQZone* zone;
    int region;
};

// The outcome of the default comparison of one page pair: the regions of
// both sides, what the selection gave each of them, and the region of every
// result zone. The regions refer to the zones of both pages, which must
// outlive the value.
struct NQPageMatch {
    std::vector<NQMZone> result;
    std::vector<NQMZone> gt;
    std::vector<NQRegionOutcome> resultOutcome;  // by result region number
    std::vector<NQRegionOutcome> gtOutcome;      // by ground-truth region number
    // The result page's zones left after filtering, in page order. A zone in
    // several merge groups counts in the last of them.
    std::vector<NQZoneRegion> resultZones;
    std::uint32_t resultZoneCount = 0;  // zones left on the result page
    std::uint32_t gtZoneCount = 0;      // zones left on the ground-truth page
    // Every scored pair that shares pixels, whether or not it reached the
    // threshold, in the order scored (by result region, then ground-truth
    // region). Pairs without common pixels have no score and are left out.
    std::vector<NQOverlapPair> overlaps;

    // Counts every pair, false alarm (column 0) and miss (row 0) in the
    // matrix and adds the zone numbers to the totals. The classes must be
    // registered in `table`.
    void updateConfMatrix(NQClassTable& table) const;
    // Counts the regions as `selected` would pair them instead of the
    // selection made; the zone totals are left alone.
    void countSelection(NQClassTable& table, const std::vector<Score>& selected) const;
    // Lets go of the page images in every region (NQMZone::releasePixels).
    void releasePixels();
};

// A result zone of the class-only comparison and the ground-truth zone of
// the same id (null when there is none).
struct NQIdPair {
    NQZone* zone;
    std::string type;
    const NQZone* partner;
    std::string gtType;
};

// Turns the zones of a page pair into regions and pairs them. The matcher
// holds no state of its own beyond the run's options, so one matcher serves
// any number of pages.
class NQPageMatcher {
public:
    explicit NQPageMatcher(const NQWexaOptions& options) : options_(options) {}

    // The default comparison of one page pair. Deletes the zones that the
    // class filters exclude from both pages, writes each zone's region number
    // into its "MZID" attribute, and registers in `classes` every class it
    // meets, in the order met (ground-truth page first).
    NQPageMatch match(NQPage& resultPage, NQPage& gtPage, NQClassTable& classes) const;

    // One side's regions: one per zone, or per shared "lineID" with -lid.
    // Returns the page's zones with their region numbers.
    // `ink`, when given, holds the black counts of the page's image for the
    // regions' masks.
    std::vector<NQZoneRegion> getZones(NQPage& page, std::vector<NQMZone>& regions,
                                       NQClassTable& classes,
                                       const std::shared_ptr<const NQPageInk>& ink = nullptr) const;
    // The result side's regions with -m: one per ground-truth region whose
    // merge group is not empty, then one per zone in no group.
    std::vector<NQZoneRegion> getMZones(NQPage& page, std::vector<NQMZone>& regions,
                                        const std::vector<NQMZone>& gtRegions,
                                        NQClassTable& classes,
                                        const std::shared_ptr<const NQPageInk>& ink = nullptr) const;
    // The one-to-one selection from candidates sorted by ascending score.
    static std::vector<Score> getMaxMatch(const std::vector<Score>& candidates,
                                          const std::vector<NQMZone>& result,
                                          const std::vector<NQMZone>& gt);

    // Renames and drops the zones of both pages by the run's class map; the
    // default comparison does it first itself, the class-only one asks.
    void mapClasses(NQPage& resultPage, NQPage& gtPage) const;

    // The class-only comparison: every top-level result zone, in order, with
    // the ground-truth zone of the same id. Nothing is filtered or changed.
    std::vector<NQIdPair> matchByID(const NQPage& resultPage, const NQPage& gtPage) const;
    // The first top-level zone of the page with this id, or null.
    static NQZone* findZoneByID(const NQPage& page, const std::string& id);

private:
    // Class of a zone as counted: "zone" with -segonly, else its "qola_type".
    std::string regionType(const NQZone& zone) const;
    // Deletes the top-level zones that the accept and reject lists exclude.
    void filterZones(NQPage& page) const;

    const NQWexaOptions& options_;
};

#endif
