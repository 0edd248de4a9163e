// Page comparison: regions of both sides, scores of overlapping pairs and the
// one-to-one selection; and the class-only comparison by zone id.
//
// Regions are built per side: one per zone, one per shared "lineID" (-lid),
// or, on the result side with -m, one per ground-truth region whose merge
// group covers it. Only pairs whose rectangles overlap are scored; each
// region's mask is built once, on its first score.
//
// The selection tries every start position of the candidate list (sorted by
// ascending score) and runs a greedy pass from there: a candidate is kept when
// neither of its regions is used by a candidate kept before it. Of all passes
// it keeps the one with the most pairs of equal class, then the most pairs of
// any class; ties keep the earlier start. Because the list ascends, a pass
// favours the lower-scoring of two conflicting candidates after its start.
// Each pass is linear, so the selection is quadratic in the candidates.
#include "eval/NQPageMatcher.h"

#include <algorithm>
#include <unordered_map>

#include "docmodel/NQPage.h"
#include "docmodel/NQZone.h"
#include "eval/NQClassTable.h"
#include "eval/NQWexaOptions.h"

bool compare_function(Score a, Score b) {
    return a.score < b.score;
}

namespace {

// A region's rectangle as half-open extents, held apart from the regions so
// that the test of every result region against every ground-truth region
// walks a small array. Overlapping means what NQMZone::isOverlap means.
struct Extent {
    int left, top, right, bottom;
    bool empty;  // narrower or lower than a pixel: overlaps nothing
};

Extent extentOf(const NQRectShape& r) {
    return Extent{r.x, r.y, r.x + r.width, r.y + r.height, r.width < 1 || r.height < 1};
}

bool overlaps(const Extent& a, const Extent& b) {
    return !b.empty && a.right > b.left && b.right > a.left && a.bottom > b.top &&
           b.bottom > a.top;
}

// Counts each result region under its partner's class, or under column 0
// ("unmatch") as a false alarm, and each unpaired ground-truth region in row
// 0 as a miss. A partner is a region number of the other side, -1 for none.
void countPartners(NQClassTable& table, const std::vector<NQMZone>& result,
                   const std::vector<NQMZone>& gt, const std::vector<int>& resultPartner,
                   const std::vector<int>& gtPartner) {
    for (std::size_t i = 0; i < result.size(); ++i) {
        const int row = table.typeIndexOf(result[i].getType());
        const int j = resultPartner[i];
        const int column = j < 0 ? 0 : table.typeIndexOf(gt[j].getType());
        if (row >= 0 && column >= 0)
            table.countCell(row, column);
    }
    for (std::size_t j = 0; j < gt.size(); ++j) {
        const int column = table.typeIndexOf(gt[j].getType());
        if (gtPartner[j] < 0 && column >= 0)
            table.countCell(0, column);
    }
}

}  // namespace

void NQPageMatch::releasePixels() {
    for (NQMZone& region : result)
        region.releasePixels();
    for (NQMZone& region : gt)
        region.releasePixels();
}

void NQPageMatch::updateConfMatrix(NQClassTable& table) const {
    std::vector<int> resultPartner, gtPartner;
    for (const NQRegionOutcome& outcome : resultOutcome)
        resultPartner.push_back(outcome.partner);
    for (const NQRegionOutcome& outcome : gtOutcome)
        gtPartner.push_back(outcome.partner);
    countPartners(table, result, gt, resultPartner, gtPartner);
    table.addZoneTotals(resultZoneCount, gtZoneCount);
}

void NQPageMatch::countSelection(NQClassTable& table, const std::vector<Score>& selected) const {
    std::vector<int> resultPartner(result.size(), -1), gtPartner(gt.size(), -1);
    for (const Score& pair : selected) {
        if (pair.resIdx >= result.size() || pair.gtIdx >= gt.size())
            continue;
        resultPartner[pair.resIdx] = static_cast<int>(pair.gtIdx);
        gtPartner[pair.gtIdx] = static_cast<int>(pair.resIdx);
    }
    countPartners(table, result, gt, resultPartner, gtPartner);
}

// ---- regions of a page --------------------------------------------------------------

std::string NQPageMatcher::regionType(const NQZone& zone) const {
    return options_.segOnlyMode ? std::string("zone") : zone.nqGetTag("qola_type");
}

void NQPageMatcher::filterZones(NQPage& page) const {
    if (!options_.acceptMode && !options_.rejectMode)
        return;
    std::vector<NQZone*> dropped;
    for (NQZone* zone : page.nqGetZoneList()) {
        // The zone's own class decides, also under -segonly.
        const std::string type = zone->nqGetTag("qola_type");
        if ((options_.acceptMode && !options_.checkAccZone(type)) ||
            (options_.rejectMode && options_.checkNotAccZone(type)))
            dropped.push_back(zone);
    }
    for (NQZone* zone : dropped)
        page.nqDeleteZone(zone);
}

std::vector<NQZoneRegion> NQPageMatcher::getZones(
    NQPage& page, std::vector<NQMZone>& regions, NQClassTable& classes,
    const std::shared_ptr<const NQPageInk>& ink) const {
    filterZones(page);
    regions.clear();
    regions.reserve(page.nqGetZoneList().size());
    std::vector<NQZoneRegion> zones;
    // First region of each line id text; regions of single zones take part
    // too, under their zone id.
    std::unordered_map<std::string, std::size_t> byLineId;
    for (NQZone* zone : page.nqGetZoneList()) {
        const std::string type = regionType(*zone);
        classes.addType(type);
        std::string lineId = zone->nqGetZoneId();
        if (options_.lineIdMode && zone->nqIsTagSet("lineID")) {
            lineId = zone->nqGetTag("lineID");
            const auto found = lineId.empty() ? byLineId.end() : byLineId.find(lineId);
            if (found != byLineId.end()) {
                NQMZone& region = regions[found->second];
                region.addZone(zone);
                zone->nqSetTag("MZID", std::to_string(region.getID()));
                zones.push_back(NQZoneRegion{zone, region.getID()});
                continue;
            }
        }
        const int number = static_cast<int>(regions.size());
        regions.emplace_back(number, lineId, type, zone, options_.rleMode);
        regions.back().useInk(ink);
        if (options_.lineIdMode)
            byLineId.emplace(lineId, regions.size() - 1);
        zone->nqSetTag("MZID", std::to_string(number));
        zones.push_back(NQZoneRegion{zone, number});
    }
    return zones;
}

std::vector<NQZoneRegion> NQPageMatcher::getMZones(
    NQPage& page, std::vector<NQMZone>& regions, const std::vector<NQMZone>& gtRegions,
    NQClassTable& classes, const std::shared_ptr<const NQPageInk>& ink) const {
    filterZones(page);
    regions.clear();
    regions.reserve(page.nqGetZoneList().size() + gtRegions.size());
    std::vector<NQZoneRegion> zones;
    for (NQZone* zone : page.nqGetZoneList())
        zones.push_back(NQZoneRegion{zone, -1});

    // For each ground-truth region, the zones (in page order) whose non-white
    // pixels it covers by at least the merge threshold.
    std::vector<std::vector<std::size_t>> groups(gtRegions.size());
    for (std::size_t k = 0; k < zones.size(); ++k) {
        NQZone* zone = zones[k].zone;
        const std::string type = regionType(*zone);
        classes.addType(type);
        if (!options_.isMergeList(type))
            continue;
        NQMZone trial(0, zone->nqGetZoneId(), type, zone, options_.rleMode);
        trial.useInk(ink);
        for (std::size_t j = 0; j < gtRegions.size(); ++j) {
            if (!trial.isOverlap(gtRegions[j].getRect()))
                continue;
            if (gtRegions[j].getCoverScore(trial) >= options_.mergeThreshold)
                groups[j].push_back(k);
        }
    }

    int merged = 0;
    for (const auto& group : groups) {
        if (group.empty())
            continue;
        const int number = static_cast<int>(regions.size());
        NQZone* first = zones[group.front()].zone;
        const std::string idText =
            group.size() == 1 ? first->nqGetZoneId() : "M" + std::to_string(merged++);
        regions.emplace_back(number, idText, regionType(*first), first, options_.rleMode);
        regions.back().useInk(ink);
        for (std::size_t g = 1; g < group.size(); ++g)
            regions.back().addZone(zones[group[g]].zone);
        // A zone in several groups keeps the number of the last.
        for (std::size_t k : group)
            zones[k].region = number;
    }
    for (NQZoneRegion& entry : zones) {
        if (entry.region >= 0)
            continue;
        entry.region = static_cast<int>(regions.size());
        regions.emplace_back(entry.region, entry.zone->nqGetZoneId(), regionType(*entry.zone),
                             entry.zone, options_.rleMode);
        regions.back().useInk(ink);
    }
    for (const NQZoneRegion& entry : zones)
        entry.zone->nqSetTag("MZID", std::to_string(entry.region));
    return zones;
}

// ---- selection ----------------------------------------------------------------------------

std::vector<Score> NQPageMatcher::getMaxMatch(const std::vector<Score>& candidates,
                                              const std::vector<NQMZone>& result,
                                              const std::vector<NQMZone>& gt) {
    std::vector<Score> best;
    std::size_t bestSame = 0, bestOther = 0;
    std::vector<char> resultUsed(result.size(), 0), gtUsed(gt.size(), 0);
    // Whether each candidate pairs regions of one class, compared once rather
    // than on every start: 2 for the same class, 1 for another, 0 for a
    // candidate that names no region.
    std::vector<char> kind(candidates.size(), 0);
    for (std::size_t k = 0; k < candidates.size(); ++k) {
        const Score& candidate = candidates[k];
        if (candidate.resIdx < result.size() && candidate.gtIdx < gt.size())
            kind[k] = result[candidate.resIdx].getType() == gt[candidate.gtIdx].getType() ? 2 : 1;
    }
    std::vector<Score> trial;
    for (std::size_t start = 0; start < candidates.size(); ++start) {
        trial.clear();
        std::size_t same = 0, other = 0;
        for (std::size_t k = start; k < candidates.size(); ++k) {
            const Score& candidate = candidates[k];
            if (kind[k] == 0 || resultUsed[candidate.resIdx] || gtUsed[candidate.gtIdx])
                continue;
            resultUsed[candidate.resIdx] = 1;
            gtUsed[candidate.gtIdx] = 1;
            trial.push_back(candidate);
            if (kind[k] == 2)
                ++same;
            else
                ++other;
        }
        for (const Score& kept : trial) {
            resultUsed[kept.resIdx] = 0;
            gtUsed[kept.gtIdx] = 0;
        }
        if (same > bestSame || (same == bestSame && other > bestOther)) {
            best = trial;
            bestSame = same;
            bestOther = other;
        }
    }
    return best;
}

void NQPageMatcher::mapClasses(NQPage& resultPage, NQPage& gtPage) const {
    options_.classMap.apply(gtPage, NQClassMap::Side::GroundTruth);
    options_.classMap.apply(resultPage, NQClassMap::Side::Result);
}

NQPageMatch NQPageMatcher::match(NQPage& resultPage, NQPage& gtPage, NQClassTable& classes) const {
    mapClasses(resultPage, gtPage);
    NQPageMatch match;
    // Black counts of a binary page image pay for themselves once both sides
    // have regions to compare; the two pages of a file pair usually share one
    // image and then one table.
    const NQImage& gtImage = gtPage.nqGetPageImageRef();
    const NQImage& resultImage = resultPage.nqGetPageImageRef();
    std::shared_ptr<const NQPageInk> gtInk, resultInk;
    if (!gtPage.nqGetZoneList().empty() && !resultPage.nqGetZoneList().empty()) {
        gtInk = NQPageInk::of(gtImage);
        resultInk = &resultImage == &gtImage ? gtInk : NQPageInk::of(resultImage);
    }
    getZones(gtPage, match.gt, classes, gtInk);
    if (options_.mergeMode)
        match.resultZones = getMZones(resultPage, match.result, match.gt, classes, resultInk);
    else
        match.resultZones = getZones(resultPage, match.result, classes, resultInk);
    const std::size_t R = match.result.size(), G = match.gt.size();
    match.resultOutcome.assign(R, NQRegionOutcome());
    match.gtOutcome.assign(G, NQRegionOutcome());

    // Scores of every pair whose rectangles overlap; those reaching the
    // threshold are candidates. NaN (nothing in common) reaches no threshold.
    std::vector<Score> candidates;
    std::vector<Extent> gtExtents(G);
    for (std::size_t j = 0; j < G; ++j)
        gtExtents[j] = extentOf(match.gt[j].getRect());
    for (std::size_t i = 0; i < R; ++i) {
        const Extent resultExtent = extentOf(match.result[i].getRect());
        if (resultExtent.empty)
            continue;
        for (std::size_t j = 0; j < G; ++j) {
            if (!overlaps(resultExtent, gtExtents[j]))
                continue;
            const NQMZone& result = match.result[i];
            const NQMZone& gt = match.gt[j];
            const std::int64_t shared = result.cntOverlapPixel(gt);
            const double score = NQMZone::matchScore(shared, result.cntONPixel(), gt.cntONPixel());
            match.resultOutcome[i].best = std::max(match.resultOutcome[i].best, score);
            match.gtOutcome[j].best = std::max(match.gtOutcome[j].best, score);
            const auto resIdx = static_cast<std::uint32_t>(i),
                       gtIdx = static_cast<std::uint32_t>(j);
            if (shared > 0)
                match.overlaps.push_back(NQOverlapPair{resIdx, gtIdx, shared, score});
            if (score >= options_.matchThreshold)
                candidates.push_back(Score{score, resIdx, gtIdx});
        }
    }
    match.resultZoneCount = static_cast<std::uint32_t>(resultPage.nqGetZoneList().size());
    match.gtZoneCount = static_cast<std::uint32_t>(gtPage.nqGetZoneList().size());

    std::stable_sort(candidates.begin(), candidates.end(), compare_function);
    for (const Score& pair : getMaxMatch(candidates, match.result, match.gt)) {
        const unsigned kind =
            match.result[pair.resIdx].getType() == match.gt[pair.gtIdx].getType() ? 2 : 1;
        NQRegionOutcome& r = match.resultOutcome[pair.resIdx];
        NQRegionOutcome& g = match.gtOutcome[pair.gtIdx];
        r.partner = static_cast<int>(pair.gtIdx);
        g.partner = static_cast<int>(pair.resIdx);
        r.kind = g.kind = kind;
        r.score = g.score = pair.score;
    }
    return match;
}

// ---- class-only comparison ------------------------------------------------------------------

NQZone* NQPageMatcher::findZoneByID(const NQPage& page, const std::string& id) {
    for (NQZone* zone : page.nqGetZoneList())
        if (zone->nqGetZoneId() == id)
            return zone;
    return nullptr;
}

std::vector<NQIdPair> NQPageMatcher::matchByID(const NQPage& resultPage,
                                               const NQPage& gtPage) const {
    std::vector<NQIdPair> pairs;
    for (NQZone* zone : resultPage.nqGetZoneList()) {
        const NQZone* partner = findZoneByID(gtPage, zone->nqGetZoneId());
        pairs.push_back(NQIdPair{zone, zone->nqGetTag("qola_type"), partner,
                                 partner != nullptr ? partner->nqGetTag("qola_type") : ""});
    }
    return pairs;
}
