// Connected components: labelling against a flood fill, shapes that merge
// late or have holes, derived measures, filters, label maps and renderings.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "analysis/NQConnectedComponents.h"
#include "image/NQImage.h"
#include "support/TestSupport.h"

using nqtest::throwsNQ;

namespace {

// A binary image from rows of '#' (black) and '.' (white).
NQImage picture(const std::vector<std::string>& rows) {
    NQImage image(static_cast<int>(rows[0].size()), static_cast<int>(rows.size()),
                  NQImageHead::NQ_1BIT);
    for (std::size_t y = 0; y < rows.size(); ++y)
        for (std::size_t x = 0; x < rows[y].size(); ++x)
            if (rows[y][x] == '#')
                image.nqSetPixel(int(x), int(y), 0);
    return image;
}

bool isBlack(const NQImage& image, int x, int y) {
    return image.nqGetPixelValue(x, y) == 0;
}

// Mass, box and doubled column sum of every 8-connected component, found by
// flood fill, sorted.
using Summary = std::tuple<int, int, int, int, int, long long>;
std::vector<Summary> floodFill(const NQImage& image) {
    const int w = image.nqGetWidth(), h = image.nqGetHeight();
    std::vector<char> seen(std::size_t(w) * h, 0);
    std::vector<Summary> out;
    for (int sy = 0; sy < h; ++sy)
        for (int sx = 0; sx < w; ++sx) {
            if (seen[sy * w + sx] || !isBlack(image, sx, sy))
                continue;
            int mass = 0, left = sx, right = sx, top = sy, bottom = sy;
            long long columns = 0;
            std::vector<std::pair<int, int>> stack{{sx, sy}};
            seen[sy * w + sx] = 1;
            while (!stack.empty()) {
                const auto [x, y] = stack.back();
                stack.pop_back();
                ++mass, columns += 2 * x;
                left = std::min(left, x), right = std::max(right, x);
                top = std::min(top, y), bottom = std::max(bottom, y);
                for (int dy = -1; dy <= 1; ++dy)
                    for (int dx = -1; dx <= 1; ++dx) {
                        const int nx = x + dx, ny = y + dy;
                        if (nx < 0 || ny < 0 || nx >= w || ny >= h || seen[ny * w + nx] ||
                            !isBlack(image, nx, ny))
                            continue;
                        seen[ny * w + nx] = 1;
                        stack.push_back({nx, ny});
                    }
            }
            out.emplace_back(mass, left, top, right, bottom, columns);
        }
    std::sort(out.begin(), out.end());
    return out;
}

std::vector<Summary> labelled(const NQConnectedComponents& ccs) {
    std::vector<Summary> out;
    for (const NQComponent& c : ccs.nqComponents())
        out.emplace_back(c.nqGetMass(), c.nqGetLeft(), c.nqGetTop(), c.nqGetRight(),
                         c.nqGetBottom(),
                         static_cast<long long>(c.nqGetCentroidColumn() * 2 * c.nqGetMass() + 0.5));
    std::sort(out.begin(), out.end());
    return out;
}

class Labelling : public ::testing::TestWithParam<std::tuple<int, int, int>> {};

TEST_P(Labelling, AgreesWithAFloodFillAndItsOwnRuns) {
    const auto [width, height, blackPercent] = GetParam();
    NQImage image(width, height, NQImageHead::NQ_1BIT);
    unsigned state = 99u + width * 31u + height;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            state = state * 1103515245u + 12345u;
            if ((state >> 16) % 100 < unsigned(blackPercent))
                image.nqSetPixel(x, y, 0);
        }
    NQConnectedComponents ccs;
    ccs.nqCreateConnectedComponents(image);
    EXPECT_EQ(labelled(ccs), floodFill(image));

    // Runs in row order cover exactly the black pixels, each once.
    std::vector<int> map = ccs.nqComponents().empty() ? std::vector<int>(width * height, -1)
                                                      : ccs.nqGetConnectedCCMap();
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            ASSERT_EQ(map[y * width + x] >= 0, isBlack(image, x, y));
    for (const NQComponent& c : ccs.nqComponents()) {
        const auto& runs = c.nqGetRuns();
        EXPECT_TRUE(std::is_sorted(runs.begin(), runs.end(), [](auto& a, auto& b) {
            return a.row != b.row ? a.row < b.row : a.start < b.start;
        }));
        for (const NQDatarun& r : runs)
            EXPECT_TRUE(c.nqIsBlack(r.end - 1, r.row));
    }
}

INSTANTIATE_TEST_SUITE_P(RandomPages, Labelling,
                         ::testing::Values(std::make_tuple(1, 1, 100), std::make_tuple(9, 1, 50),
                                           std::make_tuple(1, 12, 50), std::make_tuple(13, 7, 40),
                                           std::make_tuple(64, 33, 45), std::make_tuple(71, 40, 60),
                                           std::make_tuple(300, 200, 100),
                                           std::make_tuple(127, 90, 20)));

TEST(ConnectedComponents, ShapesThatMergeLateOrHaveHoles) {
    struct Shape {
        const char* name;
        std::vector<std::string> rows;
        int components;
        std::size_t closedGaps, openedGaps;
    };
    const Shape shapes[] = {
        {"corner contact", {"#..", ".#.", "..#"}, 1, 0, 0},
        {"one white between", {"#.#"}, 2, 0, 0},
        {"U closed by the last row", {"#...#", "#...#", "#####"}, 1, 1, 0},
        {"ring with a hole", {".###.", "#...#", "#...#", ".###."}, 1, 1, 1},
        {"comb joined at the bottom", {"#.#.#.#", "#.#.#.#", "#######"}, 1, 3, 0},
        {"spiral", {"#######", "#.....#", "#.###.#", "#.#...#", "#.#####"}, 1, 1, 1},
    };
    for (const Shape& s : shapes) {
        SCOPED_TRACE(s.name);
        NQConnectedComponents ccs;
        ccs.nqCreateConnectedComponents(picture(s.rows));
        ASSERT_EQ(ccs.nqGetNumCCs(), s.components);
        const NQComponent& c = ccs.nqComponents()[0];
        EXPECT_EQ(c.nqGetClosedGaps().size(), s.closedGaps);
        EXPECT_EQ(c.nqGetOpenedGaps().size(), s.openedGaps);
    }
}

TEST(ConnectedComponents, MomentsHullsFiltersAndLabelMap) {
    NQConnectedComponents ccs;
    ccs.setCalMoments(true);
    ccs.setCalConvexHulls(true);
    ccs.nqCreateConnectedComponents(picture({"###.#...", "....##..", "....###.", "....####"}));
    ASSERT_EQ(ccs.nqGetNumCCs(), 2);
    const NQComponent& bar = ccs.nqComponents()[0];  // finished first: not continued in row 1
    EXPECT_EQ(bar.nqGetMass(), 3);
    EXPECT_FLOAT_EQ(bar.nqGetCentroidColumn(), 1);
    EXPECT_FLOAT_EQ(bar.nqGetDensity(), 1);
    EXPECT_FLOAT_EQ(bar.nqGetMoment(3), 2.0f / 3);
    EXPECT_FLOAT_EQ(bar.nqGetMoment(5), 0);
    const NQComponent& triangle = ccs.nqComponents()[1];
    EXPECT_EQ(triangle.nqGetHull(), (std::vector<NQPoint>{{4, 0}, {7, 3}, {4, 3}}));
    EXPECT_TRUE(throwsNQ([&] { triangle.nqGetMoment(10); }, NQ_INVALID_POSITION,
                         "Requested moment is outside valid range (0 to 9)."));

    EXPECT_EQ(ccs.nqFilterCCMassGreater(3), 2);
    EXPECT_EQ(ccs.nqFilterCCDensityLess(0.5f), 0);
    EXPECT_EQ(ccs.nqFilterCCWidthBetween(1, 3), 0);  // empty selection stays empty
    EXPECT_EQ(ccs.nqResetCCFilter(), 2);
    EXPECT_EQ(ccs.nqFilterCCBoxLess(3, 1), 1);
    const NQImage rendered = ccs.nqRenderFilteredCCs(10, 2, 1);
    EXPECT_EQ(rendered.nqGetWidth(), 10);
    EXPECT_EQ(rendered.nqGetHeight(), 2);
    EXPECT_EQ(rendered.nqGetPixelValue(2, 0), 0);
    EXPECT_EQ(rendered.nqGetPixelValue(4, 0), 255);  // the triangle is not selected

    NQConnectedComponents single;
    single.nqCreateConnectedComponents(picture({".#", ".."}));
    EXPECT_EQ(single.nqGetConnectedCCMap(), (std::vector<int>{-1, 0, -1, -1}));
    NQComponent moved = single.nqComponents()[0];
    moved.nqTranslateComponent(5, 3);
    EXPECT_TRUE(moved.nqIsBlack(6, 3));
    EXPECT_FALSE(moved.nqIsBlack(1, 0));
}

TEST(ConnectedComponents, SubImagesAreCutToTheChosenComponent) {
    // A wide bar and a tall, heavier bar inside the region (1, 0, 9, 5).
    const NQImage page =
        picture({".......#..", ".####..#..", ".......#..", ".......#..", ".......#.."});
    const NQImage wide = page.nqSubImageMaxWidthCC(1, 0, 9, 5, 128);
    EXPECT_EQ(wide.nqGetWidth(), 4);
    EXPECT_EQ(wide.nqGetHeight(), 1);
    const NQImage heavy = page.nqSubImageMaxMassCC(1, 0, 9, 5, 128);
    EXPECT_EQ(heavy.nqGetWidth(), 1);
    EXPECT_EQ(heavy.nqGetHeight(), 5);
    EXPECT_EQ(page.nqSubImageMaxHeightCC(0, 0, 3, 1, 128).nqGetWidth(), 3);  // no black: whole
}

TEST(ConnectedComponents, WhitePagesRendersAndRefusals) {
    NQConnectedComponents ccs;
    ccs.nqCreateConnectedComponents(NQImage(20, 5, NQImageHead::NQ_1BIT));
    EXPECT_EQ(ccs.nqGetNumCCs(), 0);
    EXPECT_EQ(ccs.nqRenderCCs().nqGetWidth(), 1);
    EXPECT_TRUE(throwsNQ([&] { ccs.nqGetConnectedCCMap(); }, NQ_NULL_DATA,
                         "Need to calculate connected components first!"));

    ccs.nqCreateConnectedComponents(picture({"..#", "##."}));
    ccs.nqSetFilteredCCColor(NQColor(10, 20, 30));
    const NQImage colour = ccs.nqRenderColorCCs();
    unsigned char r, g, b;
    colour.nqGetPixel(0, 1, r, g, b);
    EXPECT_EQ(r + g + b, 60);
    const NQImage drawn = ccs.nqRenderCCs();
    EXPECT_EQ(drawn.nqGetPixelValue(2, 0) + drawn.nqGetPixelValue(0, 0), 255);

    EXPECT_TRUE(
        throwsNQ([&] { ccs.nqCreateConnectedComponents(NQImage(3, 3, NQImageHead::NQ_8BIT)); },
                 NQ_INVALID_CONTENT, "Only supports Two Bit images (Black and White)"));
    NQImage noData;
    noData.nqLoadImage(4, 4, 1, false);
    EXPECT_TRUE(throwsNQ([&] { ccs.nqCreateConnectedComponents(noData); }, NQ_NULL_DATA,
                         "<NQConnectedComponents::nqCreateConnectedComponents()> Image Data is "
                         "NULL!"));
}

}  // namespace
