// Page comparison: the one-to-one selection, region numbers and "MZID" of
// grouping by line id and of merging, and matrix column widths. Whole
// comparisons are checked through the report by the end-to-end tests.
#include <gtest/gtest.h>

#include <array>
#include <sstream>

#include <boost/filesystem.hpp>

#include "docmodel/NQPage.h"
#include "docmodel/NQZone.h"
#include "tests/eval/EvalSupport.h"

namespace {

using Pairs = std::vector<std::pair<unsigned, unsigned>>;

Pairs pairsOf(const std::vector<Score>& scores) {
    Pairs pairs;
    for (const Score& s : scores)
        pairs.emplace_back(s.resIdx, s.gtIdx);
    return pairs;
}

// A white binary page with the given black rectangles (x, y, width, height).
std::unique_ptr<NQPage> makePage(const std::vector<std::array<int, 4>>& blocks, int width = 200,
                                 int height = 100) {
    NQImage image(width, height, NQImageHead::NQ_1BIT);
    for (const auto& b : blocks)
        for (int y = b[1]; y < b[1] + b[3]; ++y)
            for (int x = b[0]; x < b[0] + b[2]; ++x)
                image.nqSetPixel(x, y, 0);
    return std::make_unique<NQPage>(image, "page-1");
}

NQZone* addZone(NQPage& page, const std::string& id, int x, int y, int w, int h,
                const std::string& type, const std::string& lineId = "-") {
    auto* zone = new NQZone(id, x, y, w, h);
    zone->nqSetTag("qola_type", type);
    if (lineId != "-")
        zone->nqSetTag("lineID", lineId);
    page.nqAppendZone(zone);
    return zone;
}

class WexaPage : public ::testing::Test {
protected:
    std::unique_ptr<NQWexa> make(std::vector<std::string> extra = {}) {
        boost::filesystem::create_directory(dir.file("gt"));
        boost::filesystem::create_directory(dir.file("res"));
        std::vector<std::string> words{"-g", dir.file("gt"),     "-r", dir.file("res"),
                                       "-o", dir.file("out.txt")};
        words.insert(words.end(), extra.begin(), extra.end());
        auto wexa = evaltest::makeWexa(words);
        if (wexa && !wexa->isZoneClassMode())
            wexa->addType("unmatch");
        return wexa;
    }
    std::string file(const std::string& name, const std::string& text) {
        nqtest::writeFile(dir.file(name), text);
        return dir.file(name);
    }

    nqtest::TempDir dir;
};

// Loose zones (on no page) are enough for regions that are never masked.
struct Regions {
    std::vector<std::unique_ptr<NQZone>> zones;
    std::vector<NQMZone> list;
    void add(const std::string& type) {
        zones.push_back(std::make_unique<NQZone>("z", 0, 0, 10, 10));
        list.emplace_back(static_cast<int>(list.size()), "z", type, zones.back().get(), false);
    }
};

TEST_F(WexaPage, SelectionPrefersMoreSameClassPairsOverEarlierStarts) {
    auto wexa = make();
    Regions result, mixed;
    result.add("text");
    result.add("text");
    mixed.add("figure");
    mixed.add("text");
    // Ascending scores. From the first start, (0,0) (text with figure) blocks
    // both others: no pair of equal class. From the second, (0,1) and (1,0)
    // both hold, (0,1) of equal class, so the later start wins.
    const std::vector<Score> candidates{{81, 0, 0}, {85, 0, 1}, {90, 1, 0}};
    EXPECT_EQ(pairsOf(wexa->getMaxMatch(candidates, result.list, mixed.list)),
              (Pairs{{0, 1}, {1, 0}}));
    EXPECT_TRUE(wexa->getMaxMatch({}, result.list, mixed.list).empty());
}

TEST_F(WexaPage, SelectionKeepsTheLowerScoreOfTwoConflictingCandidates) {
    auto wexa = make();
    Regions result, gt;
    result.add("text");
    gt.add("text");
    gt.add("text");
    // Both starts give one pair of equal class; the tie keeps the earlier start.
    const std::vector<Score> candidates{{85, 0, 0}, {95, 0, 1}};
    const std::vector<Score> chosen = wexa->getMaxMatch(candidates, result.list, gt.list);
    EXPECT_EQ(pairsOf(chosen), (Pairs{{0, 0}}));
    EXPECT_DOUBLE_EQ(chosen[0].score, 85.0);

    // More pairs of any class win when the equal-class counts tie.
    Regions two, other;
    two.add("text");
    two.add("text");
    other.add("figure");
    other.add("figure");
    const std::vector<Score> crossing{{70, 0, 0}, {80, 1, 0}, {90, 1, 1}};
    EXPECT_EQ(pairsOf(wexa->getMaxMatch(crossing, two.list, other.list)), (Pairs{{0, 0}, {1, 1}}));
}

TEST_F(WexaPage, LineIdGroupsZonesOfOneNonEmptyValue) {
    auto wexa = make({"-lid"});
    auto page = makePage({});
    NQZone* a = addZone(*page, "a", 0, 0, 20, 10, "text", "L1");
    NQZone* b = addZone(*page, "b", 0, 20, 20, 10, "figure", "L1");
    NQZone* c = addZone(*page, "c", 0, 40, 20, 10, "text", "");
    NQZone* d = addZone(*page, "d", 0, 60, 20, 10, "text", "");
    NQZone* e = addZone(*page, "e", 50, 0, 20, 10, "text");
    NQZone* f = addZone(*page, "f", 50, 20, 20, 10, "text", "L1");
    std::vector<NQMZone> regions;
    wexa->getZones(*page, regions);
    ASSERT_EQ(regions.size(), 4u);
    EXPECT_EQ(regions[0].getLineID(), "L1");
    EXPECT_EQ(regions[0].getZoneListStr(), "a, b, f");
    EXPECT_EQ(regions[0].getType(), "text");  // the first member's class
    EXPECT_EQ(regions[1].getLineID(), "");
    EXPECT_EQ(regions[2].getLineID(), "");  // an empty line id joins nothing
    EXPECT_EQ(regions[3].getLineID(), "e");
    for (const auto& expected : std::vector<std::pair<NQZone*, std::string>>{
             {a, "0"}, {b, "0"}, {c, "1"}, {d, "2"}, {e, "3"}, {f, "0"}})
        EXPECT_EQ(expected.first->nqGetTag("MZID"), expected.second)
            << expected.first->nqGetZoneId();
    // Every member registers its class, also "figure", which counts no region.
    EXPECT_EQ(wexa->getTypeNames(), (std::vector<std::string>{"unmatch", "text", "figure"}));
}

TEST_F(WexaPage, MergeGroupsListedClassesCoveredByOneGroundTruthRegion) {
    auto wexa = make({"-m", file("merge.txt", "80 text")});
    // Ground truth g1 holds two text lines; g2 holds one.
    const std::vector<std::array<int, 4>> ink{{15, 15, 30, 4}, {15, 25, 30, 4}, {110, 15, 30, 4}};
    auto gtPage = makePage(ink);
    auto resultPage = makePage(ink);
    addZone(*gtPage, "g1", 10, 10, 41, 31, "text");
    addZone(*gtPage, "g2", 100, 10, 51, 31, "text");
    NQZone* r1 = addZone(*resultPage, "r1", 12, 12, 36, 9, "text");
    NQZone* r2 = addZone(*resultPage, "r2", 12, 22, 36, 9, "text");
    NQZone* r3 = addZone(*resultPage, "r3", 12, 12, 36, 19, "figure");  // not in the merge list
    NQZone* r4 = addZone(*resultPage, "r4", 105, 12, 40, 9, "text");    // alone in g2
    NQZone* r5 = addZone(*resultPage, "r5", 60, 60, 20, 20, "text");    // covers nothing
    std::vector<NQMZone> gt, result;
    wexa->getZones(*gtPage, gt);
    wexa->getMZones(*resultPage, result, gt);
    ASSERT_EQ(result.size(), 4u);
    EXPECT_EQ(result[0].getLineID(), "M0");
    EXPECT_EQ(result[0].getZoneListStr(), "r1, r2");
    EXPECT_EQ(result[1].getLineID(), "r4");  // a group of one keeps the zone id
    EXPECT_EQ(result[2].getLineID(), "r3");
    EXPECT_EQ(result[3].getLineID(), "r5");
    for (const auto& expected : std::vector<std::pair<NQZone*, std::string>>{
             {r1, "0"}, {r2, "0"}, {r3, "2"}, {r4, "1"}, {r5, "3"}})
        EXPECT_EQ(expected.first->nqGetTag("MZID"), expected.second)
            << expected.first->nqGetZoneId();
}

TEST_F(WexaPage, MatrixColumnsWidenWithTheLargestCount) {
    auto wexa = make();
    wexa->addType("text");
    const std::pair<int, int> steps[] = {{9, 10},     {10, 11},     {999, 12},    {9999, 13},
                                         {99999, 14}, {999999, 15}, {1000000, 18}};
    EXPECT_EQ(wexa->calSpace(), 10);
    int counted = 0;
    for (const auto& step : steps) {
        for (; counted < step.first; ++counted)
            wexa->countPair("text", "text");
        EXPECT_EQ(wexa->calSpace(), step.second) << "largest count " << step.first;
    }
    // Count 1000000: ten count digits, the "100" share without decimals.
    std::ostringstream summary;
    wexa->summary(summary);
    EXPECT_NE(summary.str().find("   unmatch         0( 0.0%)*         0( 0.0%) \n"
                                 "         1         0( 0.0%)    1000000( 100%)*\n"),
              std::string::npos)
        << summary.str();
}

}  // namespace
