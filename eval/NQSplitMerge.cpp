// Split and merge counts.
//
// The pairs that the matcher scored already carry the pixels each pair
// shares, so no mask is compared again: a pass over those pairs marks which
// result regions take a fair share of which ground-truth regions, and the
// counts follow from the marks. The share is measured against the
// ground-truth region's ink on both sides of the question, so a small stray
// result region touching two columns is no merge, while one that swallows
// two paragraphs is. Ground-truth regions that no pair touches still add
// their ink to the totals, which is why every ground-truth mask is built.
#include "eval/NQSplitMerge.h"

#include <vector>

#include "eval/NQPageMatcher.h"

double inkShare(std::int64_t part, std::int64_t whole) {
    return whole > 0 ? 100.0 * static_cast<double>(part) / static_cast<double>(whole) : 0.0;
}

void NQSplitMerge::addPage(const NQPageMatch& match) {
    const std::size_t G = match.gt.size(), R = match.result.size();
    std::vector<std::int64_t> ink(G);
    for (std::size_t j = 0; j < G; ++j)
        ink[j] = match.gt[j].cntONPixel();

    std::vector<std::uint32_t> parts(G, 0);
    std::vector<std::vector<std::uint32_t>> taken(R);  // ground-truth regions per result region
    for (const NQOverlapPair& pair : match.overlaps) {
        if (pair.gtIdx >= G || pair.resIdx >= R || ink[pair.gtIdx] <= 0)
            continue;
        if (inkShare(pair.pixels, ink[pair.gtIdx]) >= fairShare_) {
            ++parts[pair.gtIdx];
            taken[pair.resIdx].push_back(pair.gtIdx);
        }
    }

    for (std::size_t j = 0; j < G; ++j) {
        for (Counts* counts : {&byClass_[match.gt[j].getType()], &total_}) {
            ++counts->gtRegions;
            counts->gtInk += ink[j];
            if (parts[j] >= 2) {
                ++counts->split;
                counts->splitParts += parts[j];
                counts->splitInk += ink[j];
            }
        }
    }

    std::vector<char> merged(G, 0);
    for (std::size_t i = 0; i < R; ++i) {
        if (taken[i].size() < 2)
            continue;
        Counts& counts = byClass_[match.result[i].getType()];
        ++counts.merges;
        ++total_.merges;
        for (std::uint32_t j : taken[i]) {
            ++counts.mergedRegions;
            counts.mergedInk += ink[j];
            merged[j] = 1;
        }
    }
    for (std::size_t j = 0; j < G; ++j) {
        if (merged[j]) {
            ++total_.mergedRegions;
            total_.mergedInk += ink[j];
        }
    }
}

namespace {

void add(NQSplitMerge::Counts& to, const NQSplitMerge::Counts& from) {
    to.gtRegions += from.gtRegions;
    to.gtInk += from.gtInk;
    to.split += from.split;
    to.splitParts += from.splitParts;
    to.splitInk += from.splitInk;
    to.merges += from.merges;
    to.mergedRegions += from.mergedRegions;
    to.mergedInk += from.mergedInk;
}

}  // namespace

void NQSplitMerge::merge(const NQSplitMerge& other) {
    for (const auto& entry : other.byClass_)
        add(byClass_[entry.first], entry.second);
    add(total_, other.total_);
}

NQSplitMerge::Counts NQSplitMerge::classCounts(const std::string& name) const {
    const auto found = byClass_.find(name);
    return found == byClass_.end() ? Counts() : found->second;
}
