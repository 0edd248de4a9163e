// Regions: outlines, masks, pixel counts, scores and run-length texts. The
// masks are checked against a pixel-by-pixel reference of the mask rule.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <optional>
#include <random>

#include "docmodel/NQPage.h"
#include "docmodel/NQZone.h"
#include "eval/NQMZone.h"
#include "eval/NQPageInk.h"
#include "support/TestSupport.h"

namespace {

// A page whose pixel (x, y) has the value `pixel(x, y)` (0 or 255 for binary pages).
std::unique_ptr<NQPage> makePage(int width, int height, NQImageHead::NQBitDepths bits,
                                 const std::function<unsigned char(int, int)>& pixel) {
    NQImage image(width, height, bits);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.nqSetPixel(x, y, pixel(x, y));
    return std::make_unique<NQPage>(image, "p1");
}

NQZone* addZone(NQPage& page, const std::string& id, int x, int y, int w, int h,
                const std::vector<std::pair<std::string, std::string>>& tags = {}) {
    auto* zone = new NQZone(id, x, y, w, h);
    for (const auto& tag : tags)
        zone->nqSetTag(tag.first, tag.second);
    page.nqAppendZone(zone);
    return zone;
}

std::vector<std::pair<int, int>> points(const NQPolygon& polygon) {
    std::vector<std::pair<int, int>> list;
    for (int i = 0; i < polygon.getSize(); ++i)
        list.emplace_back(polygon.getXpoints()[i], polygon.getYpoints()[i]);
    return list;
}

using Points = std::vector<std::pair<int, int>>;

// The mask rule pixel by pixel: members in order, outline pixels copy the
// page value, run-length pixels are set to 0; outside the page stays white.
std::vector<int> referenceMask(const std::vector<NQZone*>& members, bool useRle,
                               const NQRectShape& rect, const NQImage& page) {
    std::vector<int> mask(static_cast<std::size_t>(rect.width) * rect.height, 255);
    auto set = [&](long long x, long long y, int value) {
        const long long mx = x - rect.x, my = y - rect.y;
        if (mx < 0 || my < 0 || mx >= rect.width || my >= rect.height)
            return;
        if (x < 0 || y < 0 || x >= page.nqGetWidth() || y >= page.nqGetHeight())
            return;
        mask[my * rect.width + mx] = value;
    };
    for (NQZone* member : members) {
        const NQPolygon outline = NQMZone::calPolygon(member);
        if (useRle && !member->nqGetTag("RLEIMAGE").empty()) {
            std::vector<int> rows, starts, lengths;
            NQMZone::getRLEList(member->nqGetTag("RLEIMAGE"), rows, starts, lengths);
            for (std::size_t k = 0; k < rows.size(); ++k)
                for (int n = 0; n < lengths[k]; ++n)
                    set(starts[k] + outline.x + n, rows[k] + outline.y, 0);
            continue;
        }
        for (int j = 0; j < outline.height; ++j)
            for (int i = 0; i < outline.width; ++i) {
                const int x = outline.x + i, y = outline.y + j;
                if (!outline.contains(x, y))
                    continue;
                if (x < 0 || y < 0 || x >= page.nqGetWidth() || y >= page.nqGetHeight())
                    continue;
                set(x, y, page.nqGetPixelValue(x, y));
            }
    }
    return mask;
}

std::int64_t referenceOverlap(const std::vector<int>& a, const NQRectShape& ra,
                              const std::vector<int>& b, const NQRectShape& rb) {
    std::int64_t count = 0;
    for (int y = std::max(ra.y, rb.y); y < std::min(ra.y + ra.height, rb.y + rb.height); ++y)
        for (int x = std::max(ra.x, rb.x); x < std::min(ra.x + ra.width, rb.x + rb.width); ++x) {
            const int va = a[(y - ra.y) * ra.width + (x - ra.x)];
            const int vb = b[(y - rb.y) * rb.width + (x - rb.x)];
            count += va != 255 && va == vb;
        }
    return count;
}

TEST(MZoneOutline, RectangleOrientationAndPolygonRules) {
    NQZone plain("a", 10, 20, 100, 50);
    EXPECT_EQ(points(NQMZone::calPolygon(&plain)),
              (Points{{10, 20}, {109, 20}, {109, 69}, {10, 69}}));
    const NQRectShape rect = NQMZone::calRect(&plain);
    EXPECT_EQ(std::vector<int>({rect.x, rect.y, rect.width, rect.height}),
              std::vector<int>({10, 20, 99, 49}));

    NQZone flat("b", 0, 100, 10, 5);
    flat.nqSetTag("orientation", "0");
    EXPECT_EQ(points(NQMZone::calPolygon(&flat)),
              (Points{{0, 100}, {10, 100}, {10, 105}, {0, 105}}));

    // 90 degrees counter-clockwise on the page about the origin corner. The
    // constant makes the angle a little short of pi/2, so cos is about 1.8e-9:
    // 10 - 4 cos truncates to 9 for the third point.
    NQZone turned("c", 50, 50, 10, 4);
    turned.nqSetTag("orientationD", "90");
    EXPECT_EQ(points(NQMZone::calPolygon(&turned)),
              (Points{{50, 50}, {50, 40}, {54, 41}, {54, 50}}));
    // "orientation" (radians) wins over "orientationD".
    turned.nqSetTag("orientation", "0");
    EXPECT_EQ(points(NQMZone::calPolygon(&turned)),
              (Points{{50, 50}, {60, 50}, {60, 54}, {50, 54}}));
    // An angle that is not a finite number leaves the zone unturned.
    turned.nqSetTag("orientation", "nan");
    EXPECT_EQ(points(NQMZone::calPolygon(&turned)),
              (Points{{50, 50}, {60, 50}, {60, 54}, {50, 54}}));

    NQZone shaped("d", 0, 0, 1, 1);
    shaped.nqSetTag("polygon", "(10,20)(110,20)(110,70)(10,70)");
    const Points expected{{10, 20}, {110, 20}, {110, 70}, {10, 70}};
    EXPECT_EQ(points(NQMZone::calPolygon(&shaped)), expected);
    shaped.nqSetTag("polygon", "10,20;;110, 20;110,70;10,70");
    EXPECT_EQ(points(NQMZone::calPolygon(&shaped)), expected);
    // Seven numbers: the odd last one is ignored; a piece that is no number reads as 0.
    shaped.nqSetTag("polygon", "1,2,3,4,x,6,7");
    EXPECT_EQ(points(NQMZone::calPolygon(&shaped)), (Points{{1, 2}, {3, 4}, {0, 6}}));
    shaped.nqSetTag("polygon", "(1,2)(3,4)");
    EXPECT_TRUE(nqtest::throwsNQ([&] { NQMZone::calPolygon(&shaped); }, NQ_INVALID_CONTENT,
                                 "<NQMZone::calPolygon()> The number of Polygon point should be "
                                 "more than 3"));
}

TEST(MZoneOutline, RegionRectangleGrowsOverItsMembersAndRectanglesThatTouchDoNotOverlap) {
    NQZone a("a", 10, 10, 11, 11), b("b", 40, 5, 11, 21);
    NQMZone region(0, "L1", "text", &a, false);
    region.addZone(&b);
    const NQRectShape rect = region.getRect();
    EXPECT_EQ(std::vector<int>({rect.x, rect.y, rect.width, rect.height}),
              std::vector<int>({10, 5, 40, 20}));
    EXPECT_EQ(region.getZoneCnt(), 2u);
    EXPECT_EQ(region.getZoneListStr(), "a, b");
    EXPECT_TRUE(region.isOverlap(NQRectShape(49, 24, 5, 5)));
    EXPECT_FALSE(region.isOverlap(NQRectShape(50, 5, 5, 5)));    // touches the right edge
    EXPECT_FALSE(region.isOverlap(NQRectShape(0, 0, 10, 100)));  // touches the left edge
    EXPECT_FALSE(region.isOverlap(NQRectShape(20, 10, 0, 5)));   // empty
}

// Masks and counts of regions with every kind of member on binary and grey
// pages equal those of the pixel rule.
class MZoneMask : public ::testing::TestWithParam<NQImageHead::NQBitDepths> {};

TEST_P(MZoneMask, EqualsThePixelRuleForEveryKindOfMember) {
    const NQImageHead::NQBitDepths bits = GetParam();
    auto page = makePage(97, 61, bits, [bits](int x, int y) -> unsigned char {
        const int v = (x * 7 + y * 13 + (x * y) % 5) % 11;
        if (bits == NQImageHead::NQ_1BIT)
            return v < 5 ? 0 : 255;
        return v < 4 ? static_cast<unsigned char>(v * 40) : 255;
    });
    NQZone* plain = addZone(*page, "plain", 3, 4, 30, 20);
    NQZone* star = addZone(*page, "star", 20, 10, 40, 40,
                           {{"polygon", "(20,30)(38,10)(44,28)(60,22)(48,40)(52,50)(30,44)"}});
    NQZone* tilted = addZone(*page, "tilted", 55, 30, 25, 12, {{"orientationD", "-23.5"}});
    NQZone* beyond =
        addZone(*page, "beyond", 80, 40, 10, 10, {{"polygon", "(80,40)(97,30)(97,61)(70,61)"}});
    NQZone* runs = addZone(*page, "runs", 10, 30, 20, 20,
                           {{"RLEIMAGE", "(0,0,5);(2,3,30);(4,-2,4);(30,0,3);(1,7,7)"}});

    const std::vector<std::vector<NQZone*>> groups{
        {plain}, {star}, {tilted}, {beyond}, {runs}, {plain, runs, star}, {star, tilted, beyond}};
    for (bool useRle : {false, true}) {
        std::vector<NQMZone> regions;
        std::vector<std::vector<int>> references;
        for (const auto& members : groups) {
            NQMZone region(0, "", "text", members.front(), useRle);
            for (std::size_t k = 1; k < members.size(); ++k)
                region.addZone(members[k]);
            references.push_back(
                referenceMask(members, useRle, region.getRect(), page->nqGetPageImageRef()));
            regions.push_back(region);
        }
        for (std::size_t g = 0; g < regions.size(); ++g) {
            SCOPED_TRACE("group " + std::to_string(g) + (useRle ? " with -rle" : ""));
            const NQRectShape rect = regions[g].getRect();
            const NQImage mask = regions[g].getZoneImage();
            ASSERT_EQ(mask.nqGetWidth(), rect.width);
            ASSERT_EQ(mask.nqGetHeight(), rect.height);
            ASSERT_EQ(mask.nqGetBitsPerPixel(), static_cast<int>(bits));
            std::int64_t on = 0;
            for (int y = 0; y < rect.height; ++y)
                for (int x = 0; x < rect.width; ++x) {
                    const int expected = references[g][y * rect.width + x];
                    ASSERT_EQ(mask.nqGetPixelValue(x, y), expected) << "at " << x << "," << y;
                    on += expected != 255;
                }
            EXPECT_EQ(regions[g].cntONPixel(), on);
            for (std::size_t h = 0; h < regions.size(); ++h)
                EXPECT_EQ(
                    regions[g].cntOverlapPixel(regions[h]),
                    referenceOverlap(references[g], rect, references[h], regions[h].getRect()))
                    << "with group " << h;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(BinaryAndGrey, MZoneMask,
                         ::testing::Values(NQImageHead::NQ_1BIT, NQImageHead::NQ_8BIT));

// The run-length text of a reference mask: closed runs of 0 per row.
std::string referenceRunLengths(const std::vector<int>& mask, const NQRectShape& rect) {
    std::string text;
    for (int y = 0; y < rect.height; ++y)
        for (int x = 0, start = -1; x < rect.width; ++x) {
            const bool black = mask[y * rect.width + x] == 0;
            if (black && start < 0)
                start = x;
            if (!black && start >= 0) {
                text += "(" + std::to_string(y) + "," + std::to_string(start) + "," +
                        std::to_string(x) + ");";
                start = -1;
            }
        }
    return text;
}

// Random pages and regions of random members: polygons reaching off the
// page, turned and plain rectangles, upright rectangles given as polygons
// from any corner either way round, walks over a rectangle's corners that
// are no rectangle, and run-length masks with runs outside the rectangle,
// painted in random order over each other. With `ink`, binary
// pages are counted through a page ink counter that counts that way.
void expectRandomRegionsEqualThePixelRule(unsigned seed, int trials, int smallest, int largest,
                                          std::optional<NQPageInk::Counting> ink) {
    std::mt19937 random(seed);
    auto pick = [&random](int low, int high) {
        return std::uniform_int_distribution<int>(low, high)(random);
    };
    for (int trial = 0; trial < trials; ++trial) {
        SCOPED_TRACE("trial " + std::to_string(trial));
        const int width = pick(smallest, largest), height = pick(20, 90);
        const bool binary = trial % 2 == 0;
        static const unsigned char kGrey[] = {0, 0, 40, 128, 254, 255, 255, 255};
        auto page =
            makePage(width, height, binary ? NQImageHead::NQ_1BIT : NQImageHead::NQ_8BIT,
                     [&](int, int) { return binary ? (pick(0, 2) ? 255 : 0) : kGrey[pick(0, 7)]; });
        std::vector<NQMZone> regions;
        std::vector<std::vector<int>> references;
        for (int r = 0; r < 3; ++r) {
            std::vector<NQZone*> members;
            for (int k = pick(1, 4); k > 0; --k) {
                const int x = pick(0, width - 3), y = pick(0, height - 3);
                NQZone* zone = addZone(*page, "z", x, y, pick(2, width - x), pick(2, height - y));
                const int kind = pick(0, 4);
                std::string text;
                if (kind == 4) {
                    const int x0 = pick(-10, width), x1 = pick(x0 + 1, width + 10);
                    const int y0 = pick(-10, height), y1 = pick(y0 + 1, height + 10);
                    const std::pair<int, int> corners[4] = {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}};
                    // Corner indices: a rectangle from any corner either way
                    // round, or walks that turn back along an edge.
                    static const int kWalks[][4] = {{0, 1, 2, 3}, {1, 2, 3, 0}, {2, 1, 0, 3},
                                                    {3, 2, 1, 0}, {0, 1, 0, 3}, {0, 3, 2, 3}};
                    for (const int c : kWalks[pick(0, 5)])
                        text += "(" + std::to_string(corners[c].first) + "," +
                                std::to_string(corners[c].second) + ")";
                    zone->nqSetTag("polygon", text);
                }
                for (int n = kind == 0 ? pick(3, 9) : kind == 3 ? pick(0, 12) : 0; n > 0; --n)
                    text += kind == 0 ? "(" + std::to_string(pick(-15, width + 15)) + "," +
                                            std::to_string(pick(-15, height + 15)) + ")"
                                      : "(" + std::to_string(pick(-5, height)) + "," +
                                            std::to_string(pick(-10, width)) + "," +
                                            std::to_string(pick(-10, width + 20)) + ");";
                if (kind == 0)
                    zone->nqSetTag("polygon", text);
                if (kind == 1)
                    zone->nqSetTag("orientationD", std::to_string(pick(-180, 180)));
                if (kind == 3)
                    zone->nqSetTag("RLEIMAGE", text + "(0,0,1)");
                members.push_back(zone);
            }
            regions.emplace_back(r, "", "text", members.front(), true);
            for (std::size_t k = 1; k < members.size(); ++k)
                regions.back().addZone(members[k]);
            if (ink)
                regions.back().useInk(NQPageInk::of(page->nqGetPageImageRef(), *ink));
            references.push_back(
                referenceMask(members, true, regions.back().getRect(), page->nqGetPageImageRef()));
        }
        for (std::size_t g = 0; g < regions.size(); ++g) {
            const NQRectShape rect = regions[g].getRect();
            const NQImage mask = regions[g].getZoneImage();
            std::int64_t on = 0;
            for (int y = 0; y < rect.height; ++y)
                for (int x = 0; x < rect.width; ++x) {
                    const int expected = references[g][y * rect.width + x];
                    ASSERT_EQ(mask.nqGetPixelValue(x, y), expected) << g << " at " << x << "," << y;
                    on += expected != 255;
                }
            EXPECT_EQ(regions[g].cntONPixel(), on) << g;
            EXPECT_EQ(regions[g].getRunLengthCode(), referenceRunLengths(references[g], rect)) << g;
            for (std::size_t h = 0; h < regions.size(); ++h)
                EXPECT_EQ(
                    regions[g].cntOverlapPixel(regions[h]),
                    referenceOverlap(references[g], rect, references[h], regions[h].getRect()))
                    << g << " with " << h;
        }
    }
}

TEST(MZoneMask, RandomRegionsEqualThePixelRule) {
    expectRandomRegionsEqualThePixelRule(7, 150, 20, 90, std::nullopt);
}

// Wide rows exercise the word-wide counts: whole 64-bit words and 32-byte
// steps, partial words and bytes at both ends and the partial last word of a
// row, counted both ways.
TEST(MZoneMask, RandomRegionsCountedThroughPageInkEqualThePixelRule) {
    for (const auto counting : {NQPageInk::Counting::Best, NQPageInk::Counting::Table})
        expectRandomRegionsEqualThePixelRule(11, 60, 60, 1300, counting);
}

TEST(MZoneScore, HarmonicMeanOfBothCoveragesAndUndefinedWithoutCommonPixels) {
    // Black block of 10 x 10 at (10, 10); everything else white.
    auto page = makePage(60, 40, NQImageHead::NQ_1BIT, [](int x, int y) -> unsigned char {
        return (x >= 10 && x < 20 && y >= 10 && y < 20) ? 0 : 255;
    });
    NQZone* gtZone = addZone(*page, "g", 5, 5, 21, 21);
    NQZone* same = addZone(*page, "s", 5, 5, 21, 21);
    NQZone* half = addZone(*page, "h", 15, 0, 31, 31);  // covers columns 15..44: 50 black pixels
    NQZone* blank = addZone(*page, "b", 30, 5, 21, 21);
    NQMZone gt(0, "g", "text", gtZone, false), twin(0, "s", "text", same, false),
        right(1, "h", "text", half, false), empty(2, "b", "text", blank, false);

    EXPECT_DOUBLE_EQ(twin.getMatchScore(gt), 100.0);
    EXPECT_DOUBLE_EQ(gt.getCoverScore(twin), 100.0);
    // 50 of gt's 100 and all 50 of right's pixels: p = 50, r = 100.
    EXPECT_EQ(right.cntOverlapPixel(gt), 50);
    EXPECT_DOUBLE_EQ(right.getMatchScore(gt), 2 * 50.0 * 100.0 / 150.0);
    EXPECT_DOUBLE_EQ(gt.getCoverScore(right), 100.0);
    EXPECT_DOUBLE_EQ(right.getCoverScore(gt), 50.0);
    // No non-white pixel in common (and none at all in `empty`).
    EXPECT_TRUE(std::isnan(empty.getMatchScore(gt)));
    EXPECT_TRUE(std::isnan(gt.getCoverScore(empty)));
    NQMZone emptyTwin(3, "b", "text", blank, false);
    EXPECT_TRUE(std::isnan(empty.getMatchScore(emptyTwin)));
}

TEST(MZoneScore, AddingAMemberDropsTheCachedMask) {
    auto page = makePage(40, 20, NQImageHead::NQ_8BIT, [](int, int) -> unsigned char { return 0; });
    NQZone* a = addZone(*page, "a", 0, 0, 11, 11);
    NQZone* b = addZone(*page, "b", 20, 0, 11, 11);
    NQMZone region(0, "a", "text", a, false);
    EXPECT_EQ(region.cntONPixel(), 100);
    region.addZone(b);
    // Rectangle 0..29 x 0..9; both members' 10 x 10 outlines inside.
    EXPECT_EQ(region.cntONPixel(), 200);
}

// Regions compared before their page image is let go keep their counts;
// whatever would read the pixels again fails instead of reading freed memory.
TEST(MZoneScore, ReleasedPixelsKeepTheCountsAndRefuseNewReads) {
    auto page = makePage(40, 20, NQImageHead::NQ_1BIT, [](int x, int) -> unsigned char {
        return x < 15 ? 0 : 255;
    });
    NQZone* a = addZone(*page, "a", 0, 0, 11, 11);
    NQZone* b = addZone(*page, "b", 5, 0, 21, 11);
    NQZone* c = addZone(*page, "c", 0, 10, 11, 10);
    NQMZone left(0, "a", "text", a, false), wide(1, "b", "text", b, false),
        unused(2, "c", "text", c, false);
    ASSERT_EQ(left.cntONPixel(), 100);
    ASSERT_EQ(wide.cntONPixel(), 100);
    ASSERT_EQ(left.cntOverlapPixel(wide), 50);

    for (NQMZone* region : {&left, &wide, &unused})
        region->releasePixels();
    page->nqReleasePageImagePixels();
    EXPECT_EQ(page->nqGetPageWidth(), 40);
    EXPECT_EQ(page->nqGetPageHeight(), 20);
    EXPECT_FALSE(page->nqCheckPageImageData());
    EXPECT_EQ(left.cntONPixel(), 100);
    EXPECT_TRUE(nqtest::throwsNQ([&] { left.cntOverlapPixel(wide); }, NQ_NULL_DATA,
                                 "The page image was released"));
    EXPECT_THROW(wide.getRunLengthCode(), NQException);
    EXPECT_THROW(unused.cntONPixel(), NQException);  // never counted, and no pixels left
}

TEST(MZoneRunLength, OneEntryPerClosedRunOfBlackRelativeToTheMask) {
    // Mask of 3 x 3 (zone 4 x 4): row 2 holds 0, 0, 255; row 0 is black to the edge.
    auto page = makePage(10, 10, NQImageHead::NQ_8BIT, [](int x, int y) -> unsigned char {
        if (y == 3)
            return x < 3 ? 0 : 255;
        if (y == 1)
            return 0;
        if (y == 2)
            return x == 2 ? 0 : 128;
        return 255;
    });
    NQZone* zone = addZone(*page, "z", 1, 1, 4, 4);
    NQMZone region(0, "z", "text", zone, false);
    EXPECT_EQ(region.getRunLengthCode(), "(1,1,2);(2,0,2);");

    std::vector<int> rows, starts, lengths;
    NQMZone::getRLEList("(2,0,2);(5,4,9);(7,1", rows, starts, lengths);
    EXPECT_EQ(rows, (std::vector<int>{2, 5}));
    EXPECT_EQ(starts, (std::vector<int>{0, 4}));
    EXPECT_EQ(lengths, (std::vector<int>{2, 5}));
}

TEST(MZoneRobustness, HostileAttributesStayInsideThePageAndCostLittle) {
    auto page =
        makePage(100, 100, NQImageHead::NQ_1BIT, [](int, int) -> unsigned char { return 0; });
    // A far negative polygon point, a run of two billion pixels and overflowing numbers.
    NQZone* far = addZone(*page, "far", 0, 0, 10, 10,
                          {{"polygon", "(-2000000000,0)(50,-99999999999)(100,100)"}});
    NQZone* runs = addZone(*page, "runs", 0, 0, 10, 10,
                           {{"RLEIMAGE", "(5,-2000000000,2000000000);(99999999999,0,5)"}});
    NQMZone a(0, "far", "text", far, false), b(1, "runs", "text", runs, true);
    const std::int64_t onA = a.cntONPixel(), onB = b.cntONPixel();
    EXPECT_GT(onA, 0);
    EXPECT_LE(onA, 100 * 100);
    EXPECT_EQ(onB, 9);  // row 5 of the 9 x 9 rectangle, limited to it
    EXPECT_LE(a.cntOverlapPixel(b), onB);
}

TEST(MZoneRobustness, ColourOrMissingPageIsAnErrorNotACrash) {
    NQImage colour(10, 10, NQImageHead::NQ_24BIT);
    NQPage page(colour, "c");
    auto* zone = new NQZone("z", 0, 0, 5, 5);
    page.nqAppendZone(zone);
    NQMZone region(0, "z", "text", zone, false);
    EXPECT_TRUE(nqtest::throwsNQ([&] { region.cntONPixel(); }, NQ_INVALID_INPUT,
                                 "Binary or Gray Scale FORMAT is needed"));

    NQZone loose("l", 0, 0, 5, 5);
    NQMZone orphan(0, "l", "text", &loose, false);
    EXPECT_THROW(orphan.cntONPixel(), NQException);
}

}  // namespace
