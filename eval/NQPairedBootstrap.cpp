// Paired bootstrap comparison of two systems over the same pages.
//
// Each resample draws as many pages as there are, with replacement; a page
// drawn k times counts k times for both systems. The statistic is recomputed
// from the summed counts of the draw (F-scores are not averaged over pages),
// so a resample is a test set of its own and the full sample gives the
// per-class F-scores of the two reports. The interval is the percentile interval of the
// resampled differences: with N resamples and a confidence of 95 %, the
// values at positions floor(0.025 N) and N - 1 - floor(0.025 N) of the
// sorted differences.
//
// Randomness comes from splitmix64 and a bounded draw of our own, not from
// the standard library's distributions, whose output differs between
// implementations: the same files and seed give the same interval anywhere.
#include "eval/NQPairedBootstrap.h"

#include <algorithm>
#include <cmath>

#include "eval/NQClassTable.h"

std::uint64_t NQSplitMix64::next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

std::uint64_t NQSplitMix64::below(std::uint64_t n) {
    // Values under 2^64 mod n would make the low remainders more likely.
    const std::uint64_t reject = (0 - n) % n;
    for (;;) {
        const std::uint64_t x = next();
        if (x >= reject)
            return x % n;
    }
}

namespace {

// Counts of both systems for every class, summed over some pages.
struct Sums {
    std::vector<std::uint64_t> correctA, resultA, gtA, correctB, resultB, gtB;

    explicit Sums(std::size_t classes)
        : correctA(classes),
          resultA(classes),
          gtA(classes),
          correctB(classes),
          resultB(classes),
          gtB(classes) {}

    void add(const NQPagePair& page, std::uint64_t times) {
        for (std::size_t c = 0; c < correctA.size(); ++c) {
            const NQClassCounts a = c < page.a.size() ? page.a[c] : NQClassCounts();
            const NQClassCounts b = c < page.b.size() ? page.b[c] : NQClassCounts();
            correctA[c] += times * a.correct;
            resultA[c] += times * a.result;
            gtA[c] += times * a.gt;
            correctB[c] += times * b.correct;
            resultB[c] += times * b.result;
            gtB[c] += times * b.gt;
        }
    }
};

double percent(double part, double whole) {
    return whole > 0 ? 100.0 * part / whole : 0.0;
}

double fScore(std::uint64_t correct, std::uint64_t result, std::uint64_t gt) {
    return NQClassTable::getFScore(
        percent(static_cast<double>(correct), static_cast<double>(result)),
        percent(static_cast<double>(correct), static_cast<double>(gt)));
}

// F-scores of both systems per class, then the overall ones, and whether
// each class occurs in either system's counts.
struct Figures {
    std::vector<double> a, b;
    std::vector<char> occurs;
};

Figures figuresOf(const Sums& s) {
    const std::size_t n = s.correctA.size();
    Figures f;
    double sumA = 0, sumB = 0;
    std::size_t countA = 0, countB = 0;
    for (std::size_t c = 0; c < n; ++c) {
        f.a.push_back(fScore(s.correctA[c], s.resultA[c], s.gtA[c]));
        f.b.push_back(fScore(s.correctB[c], s.resultB[c], s.gtB[c]));
        const bool inA = s.resultA[c] + s.gtA[c] > 0, inB = s.resultB[c] + s.gtB[c] > 0;
        f.occurs.push_back(inA || inB);
        if (inA) {
            sumA += f.a[c];
            ++countA;
        }
        if (inB) {
            sumB += f.b[c];
            ++countB;
        }
    }
    f.a.push_back(countA > 0 ? sumA / static_cast<double>(countA) : 0.0);
    f.b.push_back(countB > 0 ? sumB / static_cast<double>(countB) : 0.0);
    f.occurs.push_back(countA + countB > 0);
    return f;
}

}  // namespace

std::vector<NQComparisonRow> NQPairedBootstrap::compare(
    const std::vector<std::string>& classes, const std::vector<NQPagePair>& pages) const {
    const std::size_t rowCount = classes.size() + 1;
    std::vector<NQComparisonRow> rows(rowCount);
    for (std::size_t c = 0; c < classes.size(); ++c)
        rows[c].name = classes[c];
    rows.back().name = "all";
    rows.back().overall = true;

    Sums whole(classes.size());
    for (const NQPagePair& page : pages) {
        whole.add(page, 1);
        // Who is ahead on this page, for each row that occurs on it.
        Sums one(classes.size());
        one.add(page, 1);
        const Figures f = figuresOf(one);
        for (std::size_t r = 0; r < rowCount; ++r) {
            if (!f.occurs[r])
                continue;
            if (f.a[r] > f.b[r])
                ++rows[r].aheadA;
            else if (f.b[r] > f.a[r])
                ++rows[r].aheadB;
            else
                ++rows[r].ties;
        }
    }
    const Figures full = figuresOf(whole);
    for (std::size_t r = 0; r < rowCount; ++r) {
        rows[r].fA = full.a[r];
        rows[r].fB = full.b[r];
        rows[r].difference = full.b[r] - full.a[r];
        rows[r].low = rows[r].high = rows[r].difference;
    }
    if (pages.empty() || resamples == 0)
        return rows;

    std::vector<std::vector<double>> differences(rowCount);
    for (auto& d : differences)
        d.reserve(resamples);
    NQSplitMix64 random(seed);
    std::vector<std::uint64_t> drawn(pages.size());
    for (std::uint32_t k = 0; k < resamples; ++k) {
        std::fill(drawn.begin(), drawn.end(), 0);
        for (std::size_t p = 0; p < pages.size(); ++p)
            ++drawn[random.below(pages.size())];
        Sums sums(classes.size());
        for (std::size_t p = 0; p < pages.size(); ++p)
            if (drawn[p] > 0)
                sums.add(pages[p], drawn[p]);
        const Figures f = figuresOf(sums);
        for (std::size_t r = 0; r < rowCount; ++r)
            differences[r].push_back(f.b[r] - f.a[r]);
    }
    const double tail = std::max(0.0, std::min(1.0, (100.0 - confidence) / 200.0));
    const auto lowAt = static_cast<std::size_t>(std::floor(tail * resamples));
    for (std::size_t r = 0; r < rowCount; ++r) {
        std::vector<double>& d = differences[r];
        std::sort(d.begin(), d.end());
        const std::size_t low = std::min(lowAt, d.size() - 1);
        rows[r].low = d[low];
        rows[r].high = d[d.size() - 1 - low];
    }
    return rows;
}
