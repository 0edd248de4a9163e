// The threshold sweep.
//
// A page's scored pairs are sorted once by ascending score with a stable
// sort. The candidates of a threshold t are then the suffix that starts at
// the first score of at least t, in exactly the order that a run with "-t t"
// gives its candidates (it sorts the pairs reaching t by the same stable
// sort, and removing the pairs below t from the front keeps the order of the
// rest). The one-to-one selection is run again on each suffix, since a pair
// that falls below the threshold can free regions for other pairs.
//
// Thresholds are LO + k * STEP, each rounded to its ten-digit decimal text
// and read back, so 0:1:0.1 gives the thresholds of "-t 0.3" and so on, not
// sums carrying binary rounding.
#include "eval/NQThresholdSweep.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "eval/NQPageMatcher.h"
#include "eval/NQWexaOptions.h"

namespace {

constexpr std::size_t kMaxThresholds = 1000;

double meanOf(const std::vector<double>& values) {
    if (values.empty())
        return 0.0;
    double sum = 0.0;
    for (double v : values)
        sum += v;
    return sum / static_cast<double>(values.size());
}

NQRates meanOf(const std::vector<NQRates>& rates) {
    std::vector<double> p, r, f;
    for (const NQRates& rate : rates) {
        p.push_back(rate.precision);
        r.push_back(rate.recall);
        f.push_back(rate.fScore);
    }
    return NQRates{meanOf(p), meanOf(r), meanOf(f)};
}

}  // namespace

std::string thresholdText(double threshold) {
    char text[32];
    std::snprintf(text, sizeof text, "%.10g", threshold);
    return text;
}

bool NQThresholdSweep::parseRange(const std::string& text, std::vector<double>& thresholds,
                                  std::string& problem) {
    thresholds.clear();
    const std::size_t first = text.find(':');
    const std::size_t second = first == std::string::npos ? first : text.find(':', first + 1);
    double low = 0, high = 0, step = 0;
    if (second == std::string::npos || text.find(':', second + 1) != std::string::npos ||
        !NQWexaOptions::readDecimal(text.substr(0, first), low) ||
        !NQWexaOptions::readDecimal(text.substr(first + 1, second - first - 1), high) ||
        !NQWexaOptions::readDecimal(text.substr(second + 1), step)) {
        problem = "expected LO:HI:STEP, three numbers such as 50:95:5";
        return false;
    }
    if (low > high) {
        problem = "LO must not be greater than HI";
        return false;
    }
    if (!(step > 0)) {
        problem = "STEP must be greater than 0";
        return false;
    }
    // A tolerance of a millionth of a step keeps HI when (HI - LO) / STEP
    // comes out a hair below a whole number.
    const double steps = std::floor((high - low) / step + 1e-6);
    if (steps + 1 > static_cast<double>(kMaxThresholds)) {
        problem = "more than " + std::to_string(kMaxThresholds) + " thresholds";
        return false;
    }
    for (double k = 0; k <= steps; ++k)
        thresholds.push_back(std::strtod(thresholdText(low + k * step).c_str(), nullptr));
    return true;
}

NQThresholdSweep::NQThresholdSweep(std::vector<double> thresholds)
    : thresholds_(std::move(thresholds)), tables_(thresholds_.size()) {}

void NQThresholdSweep::addPage(const NQPageMatch& match, const NQClassTable& classes) {
    std::vector<Score> scored;
    scored.reserve(match.overlaps.size());
    for (const NQOverlapPair& pair : match.overlaps)
        scored.push_back(Score{pair.score, pair.resIdx, pair.gtIdx});
    std::stable_sort(scored.begin(), scored.end(), compare_function);

    std::vector<Score> candidates;
    for (std::size_t k = 0; k < thresholds_.size(); ++k) {
        const double threshold = thresholds_[k];
        const auto from = std::lower_bound(scored.begin(), scored.end(), threshold,
                                           [](const Score& s, double t) { return s.score < t; });
        candidates.assign(from, scored.end());
        NQClassTable& table = tables_[k];
        // Sweeps run in the default comparison only, whose class 0 is
        // "unmatch"; a page's own table of the classes it met lacks it.
        table.addType("unmatch");
        for (const std::string& name : classes.getTypeNames())
            table.addType(name);
        match.countSelection(table, NQPageMatcher::getMaxMatch(candidates, match.result, match.gt));
        table.addZoneTotals(match.resultZoneCount, match.gtZoneCount);
    }
}

void NQThresholdSweep::merge(const NQThresholdSweep& other) {
    if (thresholds_.empty()) {
        *this = other;
        return;
    }
    for (std::size_t k = 0; k < tables_.size() && k < other.tables_.size(); ++k)
        tables_[k].merge(other.tables_[k]);
}

NQRates NQThresholdSweep::classRates(std::size_t k, const std::string& name) const {
    const NQClassTable& table = tables_.at(k);
    const double precision = table.getPreciZone(name), recall = table.getRecallZone(name);
    return NQRates{precision, recall, NQClassTable::getFScore(precision, recall)};
}

NQRates NQThresholdSweep::overallRates(std::size_t k, std::size_t first) const {
    const std::vector<std::string>& names = tables_.at(k).getTypeNames();
    std::vector<NQRates> rates;
    for (std::size_t c = first; c < names.size(); ++c)
        rates.push_back(classRates(k, names[c]));
    return meanOf(rates);
}

NQRates NQThresholdSweep::meanClassRates(const std::string& name) const {
    std::vector<NQRates> rates;
    for (std::size_t k = 0; k < thresholds_.size(); ++k)
        rates.push_back(classRates(k, name));
    return meanOf(rates);
}

NQRates NQThresholdSweep::meanOverallRates(std::size_t first) const {
    std::vector<NQRates> rates;
    for (std::size_t k = 0; k < thresholds_.size(); ++k)
        rates.push_back(overallRates(k, first));
    return meanOf(rates);
}

std::string NQThresholdSweep::label() const {
    if (thresholds_.empty())
        return "F@[]";
    return "F@[" + thresholdText(thresholds_.front()) + ":" + thresholdText(thresholds_.back()) +
           "]";
}
