// One-to-one selection of region pairs and their count in the confusion
// matrix.
//
// The selection tries every start position of the candidate list (sorted by
// ascending score) and runs a greedy pass from there: a candidate is kept when
// neither of its regions is used by a candidate kept before it. Of all passes
// it keeps the one with the most pairs of equal class, then the most pairs of
// any class; ties keep the earlier start. Because the list ascends, a pass
// favours the lower-scoring of two conflicting candidates after its start.
// Each pass is linear, so the selection is quadratic in the candidates.
#include "eval/NQWexa.h"

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
            if (candidate.resIdx >= result.size() || candidate.gtIdx >= gt.size()) continue;
            if (resultUsed[candidate.resIdx] || gtUsed[candidate.gtIdx]) continue;
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
        if (row < 0 || column < 0 || confMatrix.empty()) continue;
        ++confMatrix[row][column];
    }
    for (std::size_t j = 0; j < gt.size(); ++j) {
        if (match.resultOfGt[j] >= 0) continue;
        const int column = typeIndexOf(gt[j].getType());
        if (column < 0 || confMatrix.empty()) continue;
        ++confMatrix[0][column];
    }
}
