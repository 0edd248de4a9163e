#include <gtest/gtest.h>

#include <set>
#include <utility>

#include "docmodel/NQShape.h"
#include "image/NQImage.h"
#include "support/TestSupport.h"

using nqtest::throwsNQ;

namespace {

using Pixels = std::set<std::pair<int, int>>;

NQImage greyCanvas(int width, int height) {
    NQImage image;
    image.nqSetImageHead(width, height, 8, 0, 0, true);
    image.nqAllocImageData();
    return image;
}

// Positions (x, y) whose value differs from white.
Pixels marked(const NQImage& image) {
    Pixels result;
    for (int y = 0; y < image.nqGetHeight(); ++y)
        for (int x = 0; x < image.nqGetWidth(); ++x)
            if (image.nqGetPixelValue(x, y) != 255) result.insert({x, y});
    return result;
}

Pixels box(int x0, int y0, int x1, int y1) {
    Pixels result;
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) result.insert({x, y});
    return result;
}

NQLineShape line(int x1, int y1, int x2, int y2, int thickness = 1) {
    NQLineShape shape(NQPoint(x1, y1), NQPoint(x2, y2));
    shape.nqSetLineColor(NQColor(static_cast<unsigned char>(0)));
    shape.lineThickness = thickness;
    return shape;
}

}  // namespace

TEST(Drawing, NewShapesHaveDefaultPenAndBecomeFilledWithAFillColour) {
    NQRectShape rect;
    EXPECT_FALSE(rect.nqIsFilled());
    EXPECT_EQ(rect.nqGetLineColor().nqGetRed(), 255);
    EXPECT_EQ(rect.nqGetLineColor().nqGetColorModel(), NQ_UNKNOWN_COLOR);
    EXPECT_EQ(rect.nqGetFillColor(), NQColor(0, 0, 0));
    EXPECT_EQ(rect.lineThickness, 1);
    EXPECT_EQ(rect.dashLength, 5);
    rect.nqSetFillColor(NQColor(4));
    EXPECT_TRUE(rect.nqIsFilled());
}

TEST(Drawing, APointLineIgnoresThickness) {
    NQImage image = greyCanvas(6, 6);
    NQLineShape dot = line(2, 2, 2, 2, 5);
    dot.nqDrawShape(&image);
    EXPECT_EQ(marked(image), (Pixels{{2, 2}}));
}

TEST(Drawing, ThickPenSquaresAreShiftedAtTheLeftAndTopAndCutAtTheRightAndBottom) {
    NQImage image = greyCanvas(20, 20);
    NQLineShape horizontal = line(0, 10, 9, 10, 3);
    horizontal.nqDrawShape(&image);
    EXPECT_EQ(marked(image), box(0, 9, 10, 11));

    NQImage corner = greyCanvas(8, 8);
    NQLineShape topLeft = line(0, 0, 0, 0 + 1, 4);  // squares start at column 0 and row 0
    topLeft.nqDrawShape(&corner);
    EXPECT_EQ(marked(corner), box(0, 0, 3, 3));

    NQImage edge = greyCanvas(8, 8);
    NQLineShape bottomRight = line(7, 6, 7, 7, 4);  // squares cut at column 7 and row 7
    bottomRight.nqDrawShape(&edge);
    EXPECT_EQ(marked(edge), box(5, 4, 7, 7));
}

TEST(Drawing, ALineLeftOfTheImageStampsColumnZero) {
    NQImage image = greyCanvas(5, 5);
    NQLineShape outside = line(-3, 1, -3, 3);
    outside.nqDrawShape(&image);
    EXPECT_EQ(marked(image), box(0, 1, 0, 3));
}

TEST(Drawing, DashesAlternateAlongTheMajorAxis) {
    NQImage image = greyCanvas(25, 3);
    NQLineShape dashed = line(0, 0, 19, 0);
    dashed.lineStyle = 1;
    dashed.nqDrawShape(&image);
    Pixels expected = box(0, 0, 4, 0);
    for (const auto& p : box(10, 0, 14, 0)) expected.insert(p);
    EXPECT_EQ(marked(image), expected);

    // With thickness 2 the period is 2 x 5 = 10 points.
    NQImage thick = greyCanvas(30, 4);
    NQLineShape dashed2 = line(1, 1, 25, 1, 2);
    dashed2.lineStyle = 1;
    dashed2.nqDrawShape(&thick);
    Pixels expected2 = box(0, 0, 10, 1);
    for (const auto& p : box(20, 0, 25, 1)) expected2.insert(p);
    EXPECT_EQ(marked(thick), expected2);
}

TEST(Drawing, SteepAndReversedLinesFollowBresenham) {
    NQImage image = greyCanvas(5, 10);
    NQLineShape steep = line(3, 8, 1, 0);
    steep.nqDrawShape(&image);
    const Pixels got = marked(image);
    EXPECT_EQ(got.size(), 9u);  // one point per row
    EXPECT_TRUE(got.count({3, 8}) && got.count({1, 0}));
    for (int y = 0; y <= 8; ++y) {
        int count = 0;
        for (int x = 0; x < 5; ++x) count += got.count({x, y});
        EXPECT_EQ(count, 1) << y;
    }
}

TEST(Drawing, PenColourMustSuitTheImageDepth) {
    NQImage grey = greyCanvas(4, 4);
    NQLineShape red = line(0, 0, 3, 0);
    red.nqSetLineColor(NQColor(255, 0, 0));
    EXPECT_TRUE(throwsNQ([&] { red.nqDrawShape(&grey); }, NQ_INVALID_CONTENT,
                         "Can not draw RGB color onto a Grayscale image."));
    EXPECT_TRUE(marked(grey).empty());

    NQImage bw(4, 4, NQImageHead::NQ_1BIT);
    NQLineShape greyPen = line(0, 0, 3, 0);
    EXPECT_TRUE(throwsNQ([&] { greyPen.nqDrawShape(&bw); }, NQ_INVALID_CONTENT,
                         "Can not draw Gray color onto a BW image."));
    EXPECT_TRUE(throwsNQ([&] { red.nqDrawShape(&bw); }, NQ_INVALID_CONTENT,
                         "Can not draw RGB color onto a BW image."));

    // A colour of unknown model paints black, whatever the depth.
    NQLineShape unknown(NQPoint(0, 1), NQPoint(3, 1));
    unknown.nqDrawShape(&bw);
    EXPECT_EQ(bw.nqGetPixelValue(2, 1), 0);
    NQImage colour(4, 4, NQImageHead::NQ_24BIT);
    unknown.nqDrawShape(&colour);
    unsigned char r, g, b;
    colour.nqGetPixel(3, 1, r, g, b);
    EXPECT_EQ(r + g + b, 0);
    NQLineShape greyOnColour = line(0, 2, 3, 2);
    greyOnColour.nqSetLineColor(NQColor(static_cast<unsigned char>(77)));
    greyOnColour.nqDrawShape(&colour);
    colour.nqGetPixel(0, 2, r, g, b);
    EXPECT_EQ(r, 77);
    EXPECT_EQ(b, 77);
}

TEST(Drawing, RectanglesDrawFourEdgesAndFillUpToTheRightEdge) {
    NQImage image = greyCanvas(10, 10);
    NQRectShape rect(1, 1, 5, 4);
    rect.nqSetLineColor(NQColor(static_cast<unsigned char>(0)));
    rect.nqSetFillColor(NQColor(static_cast<unsigned char>(100)));
    rect.nqDrawShape(&image);
    for (int y = 1; y <= 4; ++y)
        for (int x = 1; x <= 5; ++x) {
            const bool edge = x == 1 || y == 1 || y == 4;
            EXPECT_EQ(image.nqGetPixelValue(x, y), edge ? 0 : 100) << x << "," << y;
        }
    EXPECT_EQ(marked(image), box(1, 1, 5, 4));

    NQImage flat = greyCanvas(5, 5);
    NQRectShape low(0, 0, 3, 2);
    low.nqSetLineColor(NQColor(static_cast<unsigned char>(0)));
    low.nqSetFillColor(NQColor(static_cast<unsigned char>(100)));
    low.nqDrawShape(&flat);
    EXPECT_EQ(marked(flat), box(0, 0, 2, 1));
    EXPECT_EQ(flat.nqGetPixelValue(1, 0), 0);

    NQImage single = greyCanvas(3, 3);
    NQRectShape dot(1, 1, 1, 1);
    dot.nqSetLineColor(NQColor(static_cast<unsigned char>(0)));
    dot.nqDrawShape(&single);
    EXPECT_EQ(marked(single), (Pixels{{1, 1}}));
}
