// Page comparison: regions of both sides, scores of overlapping pairs, the
// one-to-one selection and its count in the confusion matrix, and the
// class-only comparison by zone id.
//
// Regions are built per side: one per zone, one per shared "lineID" (-lid),
// or, on the result side with -m, one per ground-truth region whose merge
// group covers it.
//
// The selection tries every start position of the candidate list (sorted by
// ascending score) and runs a greedy pass from there: a candidate is kept when
// neither of its regions is used by a candidate kept before it. Of all passes
// it keeps the one with the most pairs of equal class, then the most pairs of
// any class; ties keep the earlier start. Because the list ascends, a pass
// favours the lower-scoring of two conflicting candidates after its start.
// Each pass is linear, so the selection is quadratic in the candidates.
#include "eval/NQWexa.h"

#include <algorithm>
#include <iomanip>
#include <iostream>
#include <unordered_map>

#include "docmodel/NQPage.h"
#include "docmodel/NQZone.h"

std::vector<Score> NQWexa::getMaxMatch(const std::vector<Score>& candidates,
                                       const std::vector<NQMZone>& result,
                                       const std::vector<NQMZone>& gt) const {
    std::vector<Score> best;
    std::size_t bestSame = 0, bestOther = 0;
    std::vector<char> resultUsed(result.size(), 0), gtUsed(gt.size(), 0);
    std::vector<Score> trial;
    for (std::size_t start = 0; start < candidates.size(); ++start) {
        trial.clear();
        std::size_t same = 0, other = 0;
        for (std::size_t k = start; k < candidates.size(); ++k) {
            const Score& candidate = candidates[k];
            if (candidate.resIdx >= result.size() || candidate.gtIdx >= gt.size())
                continue;
            if (resultUsed[candidate.resIdx] || gtUsed[candidate.gtIdx])
                continue;
            resultUsed[candidate.resIdx] = 1;
            gtUsed[candidate.gtIdx] = 1;
            trial.push_back(candidate);
            if (result[candidate.resIdx].getType() == gt[candidate.gtIdx].getType())
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

void NQWexa::updateConfMatrix(const std::vector<NQMZone>& result, const std::vector<NQMZone>& gt,
                              const PageMatch& match) {
    // Column and row 0 are "unmatch": false alarms and misses.
    for (std::size_t i = 0; i < result.size(); ++i) {
        const int row = typeIndexOf(result[i].getType());
        const int j = match.gtOfResult[i];
        const int column = j < 0 ? 0 : typeIndexOf(gt[j].getType());
        if (row < 0 || column < 0 || confMatrix.empty())
            continue;
        ++confMatrix[row][column];
    }
    for (std::size_t j = 0; j < gt.size(); ++j) {
        if (match.resultOfGt[j] >= 0)
            continue;
        const int column = typeIndexOf(gt[j].getType());
        if (column < 0 || confMatrix.empty())
            continue;
        ++confMatrix[0][column];
    }
}

// ---- regions of a page --------------------------------------------------------------

std::string NQWexa::regionType(const NQZone& zone) const {
    return segOnlyMode ? std::string("zone") : zone.nqGetTag("qola_type");
}

bool NQWexa::checkAccZone(const std::string& name) const {
    return std::find(acceptList.begin(), acceptList.end(), name) != acceptList.end();
}

bool NQWexa::checkNotAccZone(const std::string& name) const {
    return std::find(rejectList.begin(), rejectList.end(), name) != rejectList.end();
}

bool NQWexa::isMergeList(const std::string& name) const {
    return std::find(mergeList.begin(), mergeList.end(), name) != mergeList.end();
}

void NQWexa::filterZones(NQPage& page) const {
    if (!acceptMode && !rejectMode)
        return;
    std::vector<NQZone*> dropped;
    for (NQZone* zone : page.nqGetZoneList()) {
        // The zone's own class decides, also under -segonly.
        const std::string type = zone->nqGetTag("qola_type");
        if ((acceptMode && !checkAccZone(type)) || (rejectMode && checkNotAccZone(type)))
            dropped.push_back(zone);
    }
    for (NQZone* zone : dropped)
        page.nqDeleteZone(zone);
}

void NQWexa::getZones(NQPage& page, std::vector<NQMZone>& regions) {
    filterZones(page);
    regions.clear();
    // First region of each line id text; regions of single zones take part
    // too, under their zone id.
    std::unordered_map<std::string, std::size_t> byLineId;
    for (NQZone* zone : page.nqGetZoneList()) {
        const std::string type = regionType(*zone);
        addType(type);
        std::string lineId = zone->nqGetZoneId();
        if (lineIdMode && zone->nqIsTagSet("lineID")) {
            lineId = zone->nqGetTag("lineID");
            const auto found = lineId.empty() ? byLineId.end() : byLineId.find(lineId);
            if (found != byLineId.end()) {
                NQMZone& region = regions[found->second];
                region.addZone(zone);
                zone->nqSetTag("MZID", std::to_string(region.getID()));
                continue;
            }
        }
        const int number = static_cast<int>(regions.size());
        regions.emplace_back(number, lineId, type, zone, rleMode);
        byLineId.emplace(lineId, regions.size() - 1);
        zone->nqSetTag("MZID", std::to_string(number));
    }
}

void NQWexa::getMZones(NQPage& page, std::vector<NQMZone>& regions,
                       std::vector<NQMZone>& gtRegions) {
    filterZones(page);
    regions.clear();
    const std::vector<NQZone*> zones(page.nqGetZoneList().begin(), page.nqGetZoneList().end());

    // For each ground-truth region, the zones (in page order) whose non-white
    // pixels it covers by at least the merge threshold.
    std::vector<std::vector<std::size_t>> groups(gtRegions.size());
    std::vector<char> grouped(zones.size(), 0);
    for (std::size_t k = 0; k < zones.size(); ++k) {
        const std::string type = regionType(*zones[k]);
        addType(type);
        if (!isMergeList(type))
            continue;
        NQMZone trial(0, zones[k]->nqGetZoneId(), type, zones[k], rleMode);
        for (std::size_t j = 0; j < gtRegions.size(); ++j) {
            if (!trial.isOverlap(gtRegions[j].getRect()))
                continue;
            if (gtRegions[j].getCoverScore(trial) >= mergeThreshold) {
                groups[j].push_back(k);
                grouped[k] = 1;
            }
        }
    }

    int merged = 0;
    for (const auto& group : groups) {
        if (group.empty())
            continue;
        const int number = static_cast<int>(regions.size());
        NQZone* first = zones[group.front()];
        const std::string idText =
            group.size() == 1 ? first->nqGetZoneId() : "M" + std::to_string(merged++);
        regions.emplace_back(number, idText, regionType(*first), first, rleMode);
        for (std::size_t g = 1; g < group.size(); ++g)
            regions.back().addZone(zones[group[g]]);
        // A zone in several groups keeps the number of the last.
        for (std::size_t k : group)
            zones[k]->nqSetTag("MZID", std::to_string(number));
    }
    for (std::size_t k = 0; k < zones.size(); ++k) {
        if (grouped[k])
            continue;
        const int number = static_cast<int>(regions.size());
        regions.emplace_back(number, zones[k]->nqGetZoneId(), regionType(*zones[k]), zones[k],
                             rleMode);
        zones[k]->nqSetTag("MZID", std::to_string(number));
    }
}

NQZone* NQWexa::findZoneByID(NQPage& page, const std::string& id) const {
    for (NQZone* zone : page.nqGetZoneList())
        if (zone->nqGetZoneId() == id)
            return zone;
    return nullptr;
}

// ---- page comparison ----------------------------------------------------------------------

void NQWexa::compareLPage(NQPage& resultPage, NQPage& gtPage, std::ostream& report) {
    std::vector<NQMZone> gt, result;
    getZones(gtPage, gt);
    if (mergeMode)
        getMZones(resultPage, result, gt);
    else
        getZones(resultPage, result);
    const std::size_t R = result.size(), G = gt.size();

    // Scores of every pair whose rectangles overlap; those reaching the
    // threshold are candidates. NaN (nothing in common) reaches no threshold.
    PageMatch match;
    match.gtOfResult.assign(R, -1);
    match.kindOfResult.assign(R, 0);
    match.pairScore.assign(R, 0.0);
    match.resultOfGt.assign(G, -1);
    match.bestOfResult.assign(R, 0.0);
    match.bestOfGt.assign(G, 0.0);
    std::vector<Score> candidates;
    for (std::size_t i = 0; i < R; ++i) {
        for (std::size_t j = 0; j < G; ++j) {
            if (!result[i].isOverlap(gt[j].getRect()))
                continue;
            const double score = result[i].getMatchScore(gt[j]);
            if (score > match.bestOfResult[i])
                match.bestOfResult[i] = score;
            if (score > match.bestOfGt[j])
                match.bestOfGt[j] = score;
            if (score >= matchThreshold)
                candidates.push_back(
                    Score{score, static_cast<std::uint32_t>(i), static_cast<std::uint32_t>(j)});
        }
    }
    // Counted once every region has been scored, so that a page that fails
    // (an unreadable outline or page image) leaves the totals alone.
    resultZoneTotal += static_cast<std::uint32_t>(resultPage.nqGetZoneList().size());
    gtZoneTotal += static_cast<std::uint32_t>(gtPage.nqGetZoneList().size());

    std::stable_sort(candidates.begin(), candidates.end(), compare_function);
    for (const Score& pair : getMaxMatch(candidates, result, gt)) {
        match.gtOfResult[pair.resIdx] = static_cast<int>(pair.gtIdx);
        match.resultOfGt[pair.gtIdx] = static_cast<int>(pair.resIdx);
        match.kindOfResult[pair.resIdx] =
            result[pair.resIdx].getType() == gt[pair.gtIdx].getType() ? 2 : 1;
        match.pairScore[pair.resIdx] = pair.score;
    }

    updateConfMatrix(result, gt, match);
    if (detailMode) {
        report << "Page ID : " << resultPage.nqGetPageId() << "\n-------------\n";
        printDetail(result, gt, match, report);
    }
    if (visualMode)
        saveVisual(result, gt, resultPage, match);
}

void NQWexa::compareCPage(NQPage& resultPage, NQPage& gtPage, std::ostream& report) {
    resultZoneTotal += static_cast<std::uint32_t>(resultPage.nqGetZoneList().size());
    gtZoneTotal += static_cast<std::uint32_t>(gtPage.nqGetZoneList().size());
    if (detailMode)
        report << "Page ID : " << resultPage.nqGetPageId() << "\n-------------\n";

    unsigned total = 0, correct = 0;
    for (NQZone* zone : resultPage.nqGetZoneList()) {
        ++total;
        const std::string& id = zone->nqGetZoneId();
        const std::string type = zone->nqGetTag("qola_type");
        addType(type);
        const NQZone* partner = findZoneByID(gtPage, id);
        if (partner == nullptr) {
            std::cout << "Couldn't find mathcing zone( ID : " << id << " ) on Ground-truth\n";
            continue;
        }
        const std::string gtType = partner->nqGetTag("qola_type");
        addType(gtType);
        countPair(type, gtType);
        const bool same = type == gtType;
        if (same)
            ++correct;
        if (detailMode) {
            const int width = static_cast<int>(getTypeMaxLength()) + 1;
            report << (same ? "[O] " : "[X] ") << std::right << std::setw(5) << id << ','
                   << std::setw(width) << type;
            if (!same)
                report << ',' << std::setw(width) << gtType;
            report << '\n';
        }
        if (visualMode) {
            zone->nqSetTag("RS_Type", type);
            zone->nqSetTag("GT_Type", gtType);
            // With different classes the zone keeps its own class.
            if (same)
                zone->nqSetTag("qola_type", "NQ_CORRECT");
        }
    }
    if (detailMode) {
        // A page without result zones has no share; it is written as 0.00.
        const double share = total > 0 ? 100.0 * correct / total : 0.0;
        report << "[OVERALL] " << correct << '/' << total << ", " << std::fixed
               << std::setprecision(2) << share << "%\n\n";
    }
}
