#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "docmodel/NQPolygon.h"
#include "docmodel/NQShape.h"

namespace {

NQPolygon square() { return NQPolygon(std::vector<int>{0, 10, 10, 0}, std::vector<int>{0, 0, 10, 10}); }

void expectRect(const NQRectShape& r, int x, int y, int w, int h) {
    EXPECT_EQ(r.x, x);
    EXPECT_EQ(r.y, y);
    EXPECT_EQ(r.width, w);
    EXPECT_EQ(r.height, h);
}

// contains() evaluated at every column of the bounding box, as spans.
std::vector<std::pair<int, int>> spansByPixel(const NQPolygon& p, int row) {
    std::vector<std::pair<int, int>> spans;
    for (int x = p.x - 2; x <= p.x + p.width + 2; ++x) {
        if (!p.contains(x, row)) continue;
        if (!spans.empty() && spans.back().second == x)
            ++spans.back().second;
        else
            spans.emplace_back(x, x + 1);
    }
    return spans;
}

}  // namespace

TEST(Polygon, SquareEdgesLeftAndTopInsideRightAndBottomOutside) {
    const NQPolygon p = square();
    EXPECT_TRUE(p.contains(5, 5));
    EXPECT_TRUE(p.contains(0, 5));
    EXPECT_FALSE(p.contains(10, 5));
    EXPECT_TRUE(p.contains(5, 0));
    EXPECT_FALSE(p.contains(5, 10));
    EXPECT_FALSE(p.contains(11, 5));
    EXPECT_TRUE(p.contains(0, 0));
    EXPECT_FALSE(p.contains(10, 10));
    EXPECT_FALSE(p.contains(0, 10));
    EXPECT_FALSE(p.contains(-1, 5));
    EXPECT_TRUE(p.contains(9.5, 9.5));
    EXPECT_TRUE(p.boundCheck(10, 10));  // the bounding test includes both ends
}

TEST(Polygon, BoundsAndConstruction) {
    NQPolygon triangle(std::vector<int>{2, 7, 7}, std::vector<int>{3, 3, 9});
    expectRect(triangle.getBounds(), 2, 3, 5, 6);
    EXPECT_EQ(triangle.getSize(), 3);

    NQPolygon copy = triangle;
    EXPECT_NE(copy.getXpoints(), triangle.getXpoints());
    EXPECT_EQ(copy.getXpoints()[1], 7);

    NQPolygon empty;
    EXPECT_EQ(empty.getSize(), 0);
    expectRect(empty, 0, 0, 0, 0);
    empty.calculateBounds();
    expectRect(empty, 65532, 65532, -131063, -131063);
    EXPECT_FALSE(empty.contains(0, 0));

    const int xs[] = {0, 1};
    const int ys[] = {0, 1};
    try {
        NQPolygon two(xs, ys, 2);
        FAIL() << "two points accepted";
    } catch (const char* message) {
        EXPECT_STREQ(message, "The number of Polygon point should be more than 3");
    }
}

TEST(Polygon, SlantedEdgesFollowTheFloatingPointComparison) {
    // A right triangle with its hypotenuse from (0,0) to (10,10).
    NQPolygon p(std::vector<int>{0, 10, 0}, std::vector<int>{0, 10, 10});
    EXPECT_FALSE(p.contains(5, 5));  // on the slanted edge: outside
    EXPECT_TRUE(p.contains(4, 5));
    EXPECT_TRUE(p.contains(0, 9));
    EXPECT_FALSE(p.contains(6, 5));
}

TEST(Polygon, InsideSpansMatchThePixelTestOnEveryRow) {
    std::mt19937 random(12345);
    std::uniform_int_distribution<int> coordinate(-20, 60);
    std::uniform_int_distribution<int> count(3, 12);
    std::vector<std::pair<int, int>> spans;
    for (int trial = 0; trial < 300; ++trial) {
        std::vector<int> xs, ys;
        const int n = count(random);
        for (int i = 0; i < n; ++i) {
            xs.push_back(coordinate(random));
            // Repeated y values make horizontal edges and shared vertices.
            ys.push_back(trial % 3 == 0 ? coordinate(random) / 10 * 10 : coordinate(random));
        }
        const NQPolygon p(xs, ys);
        for (int row = p.y - 2; row <= p.y + p.height + 2; ++row) {
            p.insideSpans(row, spans);
            ASSERT_EQ(spans, spansByPixel(p, row)) << "trial " << trial << " row " << row;
        }
    }
}

// The row scanner gives the spans of insideSpans() on every row it is asked
// for, and the rows it declares unchanged have those spans too. Polygons of
// many points, staircases (text outlines) and turned rectangles; rows are
// taken from top to bottom, skipping to the next row that may change, and
// once more after a jump back to the top.
TEST(Polygon, RowScannerEqualsInsideSpansRowByRow) {
    std::mt19937 random(2024);
    auto pick = [&random](int low, int high) {
        return std::uniform_int_distribution<int>(low, high)(random);
    };
    std::vector<std::pair<int, int>> scanned, expected;
    for (int trial = 0; trial < 300; ++trial) {
        std::vector<int> xs, ys;
        const int kind = trial % 3;
        if (kind == 0) {
            for (int i = pick(3, 60); i > 0; --i) {
                xs.push_back(pick(-30, 120));
                ys.push_back(pick(-30, 120));
            }
        } else if (kind == 1) {
            // Down the right ends of lines, up the left ends.
            const int lines = pick(1, 6);
            std::vector<int> left, right;
            for (int l = 0; l < lines; ++l) {
                left.push_back(pick(0, 20));
                right.push_back(pick(40, 90));
            }
            for (int l = 0; l < lines; ++l) {
                xs.insert(xs.end(), {right[l], right[l]});
                ys.insert(ys.end(), {l * 17, l * 17 + 17});
            }
            for (int l = lines - 1; l >= 0; --l) {
                xs.insert(xs.end(), {left[l], left[l]});
                ys.insert(ys.end(), {l * 17 + 17, l * 17});
            }
        } else {
            const double a = pick(-180, 180) * 0.0174532925;
            const int w = pick(1, 70), h = pick(1, 40), x0 = pick(0, 50), y0 = pick(0, 50);
            const int offsets[4][2] = {{0, 0}, {w, 0}, {w, -h}, {0, -h}};
            for (const auto& o : offsets) {
                xs.push_back(x0 + static_cast<int>(o[0] * std::cos(a) - o[1] * std::sin(a)));
                ys.push_back(y0 - static_cast<int>(o[0] * std::sin(a) + o[1] * std::cos(a)));
            }
        }
        const NQPolygon p(xs, ys);
        NQPolygon::RowScanner scanner(p);
        for (int pass = 0; pass < 2; ++pass)
            for (int row = p.y - 2; row <= p.y + p.height + 2;) {
                const int until = scanner.spans(row, scanned);
                ASSERT_GT(until, row);
                for (int same = row; same < std::min(until, p.y + p.height + 3); ++same) {
                    p.insideSpans(same, expected);
                    ASSERT_EQ(scanned, expected) << "trial " << trial << " row " << same;
                }
                row = until;
            }
    }
}

TEST(Rectangle, IntersectionSharesPixelsOrIsEmpty) {
    expectRect(NQRectShape::nqIntersection(NQRectShape(0, 0, 10, 10), NQRectShape(5, 5, 10, 10)),
               5, 5, 5, 5);
    expectRect(NQRectShape::nqIntersection(NQRectShape(0, 0, 5, 5), NQRectShape(5, 5, 5, 5)), 0,
               0, 0, 0);
    expectRect(NQRectShape::nqIntersection(NQRectShape(0, 0, 6, 6), NQRectShape(5, 5, 5, 5)), 5,
               5, 1, 1);
    expectRect(NQRectShape::nqIntersection(NQRectShape(3, 4, 2, 2), NQRectShape(0, 0, 100, 100)),
               3, 4, 2, 2);
    const NQRectShape r = NQRectShape::nqIntersection(NQRectShape(0, 0, 4, 4), NQRectShape(1, 1, 1, 1));
    EXPECT_FALSE(r.nqIsFilled());
    EXPECT_EQ(r.lineThickness, 1);
}
