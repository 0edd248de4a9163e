// The analyses of a run: the threshold sweep against runs at each threshold,
// split and merge counts worked out by hand, the class map and its refusals,
// and the paired bootstrap on systems whose interval is known.
#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <random>

#include "docmodel/NQPage.h"
#include "docmodel/NQZone.h"
#include "eval/NQClassMap.h"
#include "eval/NQPageMatcher.h"
#include "eval/NQPairedBootstrap.h"
#include "eval/NQSplitMerge.h"
#include "eval/NQThresholdSweep.h"
#include "eval/NQWexaOptions.h"

namespace {

using Box = std::array<int, 4>;  // x, y, width, height

struct ZoneSpec {
    Box box;
    std::string type;
};

// A white binary page with black boxes, and its zones.
std::unique_ptr<NQPage> makePage(const std::vector<Box>& ink, const std::vector<ZoneSpec>& zones) {
    NQImage image(200, 100, NQImageHead::NQ_1BIT);
    for (const Box& b : ink)
        for (int y = b[1]; y < b[1] + b[3]; ++y)
            for (int x = b[0]; x < b[0] + b[2]; ++x)
                image.nqSetPixel(x, y, 0);
    auto page = std::make_unique<NQPage>(image, "page-1");
    for (std::size_t k = 0; k < zones.size(); ++k) {
        const Box& b = zones[k].box;
        auto* zone = new NQZone("z" + std::to_string(k), b[0], b[1], b[2], b[3]);
        zone->nqSetTag("qola_type", zones[k].type);
        page->nqAppendZone(zone);
    }
    return page;
}

// A compared page pair that keeps its pages alive with the match.
struct Compared {
    std::unique_ptr<NQPage> result, gt;
    NQClassTable classes;
    NQPageMatch match;

    Compared(const std::vector<Box>& ink, const std::vector<ZoneSpec>& resultZones,
             const std::vector<ZoneSpec>& gtZones, double threshold = 80.0)
        : result(makePage(ink, resultZones)), gt(makePage(ink, gtZones)) {
        NQWexaOptions options;
        options.matchThreshold = threshold;
        classes.addType("unmatch");
        match = NQPageMatcher(options).match(*result, *gt, classes);
    }
};

// Text: the result zone holds the 150-pixel block of a 200-pixel region
// (score 2*100*75/175 = 85.71); figure: an exact pair (score 100).
const std::vector<Box> kInk{{10, 10, 15, 10}, {30, 10, 5, 10}, {100, 10, 20, 20}};
const std::vector<ZoneSpec> kGt{{{5, 5, 35, 20}, "text"}, {{95, 5, 30, 30}, "figure"}};
const std::vector<ZoneSpec> kResult{{{5, 5, 22, 20}, "text"}, {{95, 5, 30, 30}, "figure"}};

void expectRates(const NQRates& rates, double precision, double recall, double fScore) {
    EXPECT_NEAR(rates.precision, precision, 1e-9);
    EXPECT_NEAR(rates.recall, recall, 1e-9);
    EXPECT_NEAR(rates.fScore, fScore, 1e-9);
}

TEST(ThresholdSweep, PairFallsBelowBetweenTwoSteps) {
    std::vector<double> thresholds;
    std::string problem;
    ASSERT_TRUE(NQThresholdSweep::parseRange("60:90:10", thresholds, problem));
    EXPECT_EQ(thresholds, (std::vector<double>{60, 70, 80, 90}));
    NQThresholdSweep sweep(thresholds);
    Compared page(kInk, kResult, kGt);
    sweep.addPage(page.match, page.classes);

    // Up to 80 both pairs hold; at 90 the text pair is a false alarm and a miss.
    for (std::size_t k = 0; k < 3; ++k)
        expectRates(sweep.overallRates(k, 1), 100, 100, 100);
    expectRates(sweep.classRates(3, "text"), 0, 0, 0);
    expectRates(sweep.classRates(3, "figure"), 100, 100, 100);
    expectRates(sweep.overallRates(3, 1), 50, 50, 50);
    expectRates(sweep.meanClassRates("text"), 75, 75, 75);
    expectRates(sweep.meanOverallRates(1), 87.5, 87.5, 87.5);
    EXPECT_EQ(sweep.label(), "F@[60:90]");
}

TEST(ThresholdSweep, RefusesRangesThatAreNotLoHiStep) {
    std::vector<double> thresholds;
    std::string problem;
    for (const char* bad : {"50:95", "50:95:5:1", "a:95:5", "50::5", "95:50:5", "50:95:0",
                            "50:95:-5", "0:100:0.01", "nan:95:5"})
        EXPECT_FALSE(NQThresholdSweep::parseRange(bad, thresholds, problem)) << bad;
    // Decimal steps give the thresholds their decimal texts name, HI included.
    ASSERT_TRUE(NQThresholdSweep::parseRange("0:0.3:0.1", thresholds, problem));
    EXPECT_EQ(thresholds, (std::vector<double>{0, 0.1, 0.2, 0.3}));
}

// Random pages with overlapping, conflicting zones of two classes: the table
// of every sweep threshold is the table of a comparison at that threshold.
TEST(ThresholdSweep, EachThresholdCountsAsAComparisonAtThatThreshold) {
    std::mt19937 random(7);
    auto pick = [&random](int low, int high) {
        return std::uniform_int_distribution<int>(low, high)(random);
    };
    auto boxes = [&](int n) {
        std::vector<Box> list;
        for (int k = 0; k < n; ++k)
            list.push_back({pick(0, 150), pick(0, 70), pick(5, 50), pick(5, 30)});
        return list;
    };
    auto zones = [&](int n) {
        std::vector<ZoneSpec> list;
        for (const Box& b : boxes(n))
            list.push_back({b, pick(0, 1) ? "text" : "figure"});
        return list;
    };
    std::vector<double> thresholds;
    std::string problem;
    ASSERT_TRUE(NQThresholdSweep::parseRange("0:100:12.5", thresholds, problem));
    for (int trial = 0; trial < 40; ++trial) {
        const std::vector<Box> ink = boxes(8);
        const std::vector<ZoneSpec> resultZones = zones(6), gtZones = zones(5);
        NQThresholdSweep sweep(thresholds);
        Compared swept(ink, resultZones, gtZones);
        sweep.addPage(swept.match, swept.classes);
        for (std::size_t k = 0; k < thresholds.size(); ++k) {
            Compared single(ink, resultZones, gtZones, thresholds[k]);
            single.match.updateConfMatrix(single.classes);
            const NQClassTable& table = sweep.tableAt(k);
            ASSERT_EQ(table.getTypeNames(), single.classes.getTypeNames());
            for (std::size_t r = 0; r < table.getTypeCount(); ++r)
                for (std::size_t c = 0; c < table.getTypeCount(); ++c)
                    ASSERT_EQ(table.getConfCount(r, c), single.classes.getConfCount(r, c))
                        << "trial " << trial << " threshold " << thresholds[k];
        }
    }
}

TEST(SplitMerge, CountsOneRegionSplitInThreeAndTwoMergedIntoOne) {
    // Ground-truth text region of 100 ink pixels in blocks of 40, 40, 15 and
    // 5, each held by its own result zone; the 5 % one is no fair share.
    // Two figure regions of 100 and 50 pixels, both inside one result zone.
    const std::vector<Box> ink{{10, 10, 10, 4}, {30, 10, 10, 4},   {50, 10, 5, 3},
                               {70, 10, 5, 1},  {100, 10, 10, 10}, {130, 10, 10, 5}};
    const std::vector<ZoneSpec> gt{
        {{5, 5, 75, 15}, "text"}, {{95, 5, 20, 20}, "figure"}, {{125, 5, 20, 20}, "figure"}};
    const std::vector<ZoneSpec> result{{{5, 5, 20, 15}, "text"},
                                       {{27, 5, 20, 15}, "text"},
                                       {{48, 5, 10, 15}, "text"},
                                       {{68, 5, 10, 15}, "text"},
                                       {{95, 5, 50, 20}, "figure"}};
    Compared page(ink, result, gt);

    NQSplitMerge splits;
    splits.addPage(page.match);
    const NQSplitMerge::Counts text = splits.classCounts("text");
    EXPECT_EQ(text.gtRegions, 1u);
    EXPECT_EQ(text.split, 1u);
    EXPECT_EQ(text.splitParts, 3u);
    EXPECT_EQ(text.splitInk, 100);
    EXPECT_EQ(text.merges, 0u);
    const NQSplitMerge::Counts figure = splits.classCounts("figure");
    EXPECT_EQ(figure.split, 0u);
    EXPECT_EQ(figure.merges, 1u);
    EXPECT_EQ(figure.mergedRegions, 2u);
    EXPECT_EQ(figure.mergedInk, 150);
    EXPECT_EQ(splits.total().gtInk, 250);
    EXPECT_DOUBLE_EQ(inkShare(splits.total().splitInk, splits.total().gtInk), 40.0);

    // At a fair share of 50 % the 40-pixel parts no longer count, the
    // swallowed figures still do.
    NQSplitMerge strict(50.0);
    strict.addPage(page.match);
    EXPECT_EQ(strict.total().split, 0u);
    EXPECT_EQ(strict.total().merges, 1u);
    EXPECT_EQ(strict.total().mergedRegions, 2u);
}

TEST(ClassMap, JoinsTwoClassesAndDropsAThird) {
    std::vector<std::string> problems;
    const NQClassMap map = NQClassMap::parse(
        "# result taxonomy onto ours\nres title text\nres body text\n\nres noise -\ngt * other\n",
        "map.txt", problems);
    EXPECT_TRUE(problems.empty());
    auto page = makePage({}, {{{0, 0, 10, 10}, "title"},
                              {{20, 0, 10, 10}, "noise"},
                              {{40, 0, 10, 10}, "body"},
                              {{60, 0, 10, 10}, "figure"}});
    map.apply(*page, NQClassMap::Side::Result);
    std::vector<std::string> types;
    for (const NQZone* zone : page->nqGetZoneList())
        types.push_back(zone->nqGetTag("qola_type"));
    EXPECT_EQ(types, (std::vector<std::string>{"text", "text", "figure"}));
    // "*" catches every name of its side only, a class without a name too.
    EXPECT_EQ(map.target(NQClassMap::Side::GroundTruth, ""), "other");
    EXPECT_EQ(map.target(NQClassMap::Side::GroundTruth, "title"), "other");
    EXPECT_EQ(map.target(NQClassMap::Side::Result, "figure"), "figure");
}

TEST(ClassMap, ReportsEveryBadLineWithItsNumber) {
    std::vector<std::string> problems;
    NQClassMap::parse("gt a b\nres a\nboth a b\ngt a c\nres x *\ngt b c d\n", "m", problems);
    EXPECT_EQ(problems, (std::vector<std::string>{
                            "m line 2: expected \"gt NAME TARGET\" or \"res NAME TARGET\"",
                            "m line 3: the side must be gt or res, not both",
                            "m line 4: a is mapped twice for gt (first on line 1)",
                            "m line 5: * can only stand for a name, not for a target",
                            "m line 6: expected \"gt NAME TARGET\" or \"res NAME TARGET\""}));
}

TEST(PairedBootstrap, SplitMixGivesTheReferenceSequence) {
    NQSplitMix64 random(0);
    EXPECT_EQ(random.next(), 0xE220A8397B1DCDAFULL);
    EXPECT_EQ(random.next(), 0x6E789E6AA1B965F4ULL);
    EXPECT_EQ(random.next(), 0x06C45D188009454FULL);
}

// Pages of two classes; on page p system A finds correctA(p) of 4 text regions.
std::vector<NQPagePair> pagesOf(const std::vector<std::uint32_t>& correctA,
                                const std::vector<std::uint32_t>& correctB) {
    std::vector<NQPagePair> pages;
    for (std::size_t p = 0; p < correctA.size(); ++p)
        pages.push_back(
            NQPagePair{{{correctA[p], 4, 4}, {1, 1, 1}}, {{correctB[p], 4, 4}, {1, 1, 1}}});
    return pages;
}

TEST(PairedBootstrap, IntervalsOfIdenticalAndOfAlwaysBetterSystems) {
    const std::vector<std::string> classes{"text", "figure"};
    const NQPairedBootstrap bootstrap;
    for (const NQComparisonRow& row :
         bootstrap.compare(classes, pagesOf({1, 2, 3, 4, 2}, {1, 2, 3, 4, 2}))) {
        EXPECT_EQ(row.difference, 0.0) << row.name;
        EXPECT_EQ(row.low, 0.0) << row.name;
        EXPECT_EQ(row.high, 0.0) << row.name;
        EXPECT_EQ(row.ties, 5u) << row.name;
    }

    const std::vector<NQComparisonRow> rows =
        bootstrap.compare(classes, pagesOf({1, 2, 3, 0, 2}, {2, 4, 4, 1, 3}));
    const NQComparisonRow& text = rows[0];
    // A: 8 of 20 correct (F 40), B: 14 of 20 (F 70).
    EXPECT_DOUBLE_EQ(text.fA, 40.0);
    EXPECT_DOUBLE_EQ(text.fB, 70.0);
    EXPECT_DOUBLE_EQ(text.difference, 30.0);
    EXPECT_GT(text.low, 0.0);
    EXPECT_LE(text.low, text.difference);
    EXPECT_GE(text.high, text.difference);
    EXPECT_EQ(text.aheadB, 5u);
    EXPECT_DOUBLE_EQ(rows.back().difference, 15.0);  // figure ties at 100
    EXPECT_GT(rows.back().low, 0.0);
    // The same seed gives the same interval.
    const std::vector<NQComparisonRow> again =
        bootstrap.compare(classes, pagesOf({1, 2, 3, 0, 2}, {2, 4, 4, 1, 3}));
    EXPECT_EQ(again[0].low, text.low);
    EXPECT_EQ(again[0].high, text.high);
}

}  // namespace
