// Convolution, blur, gap closing, normalisation and angles.

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "analysis/NQAngle.h"
#include "analysis/NQBlur.h"
#include "analysis/NQMask.h"
#include "analysis/NQNormalize.h"
#include "image/NQImage.h"
#include "support/TestSupport.h"

using nqtest::throwsNQ;

namespace {

constexpr double kPi = 3.14159265358979323846;

NQImage grey(int width, int height, const std::vector<int>& values) {
    NQImage image;
    image.nqSetImageHead(width, height, 8, 300, 300, NQImageHead::NQ_RES_INCH);
    image.nqAllocImageData();
    for (std::size_t i = 0; i < values.size(); ++i)
        image.nqGetImageData()[i] = static_cast<unsigned char>(values[i]);
    return image;
}

std::vector<int> bytesOf(const NQImage& image) {
    const unsigned char* p = image.nqGetImageData();
    return std::vector<int>(p, p + image.nqGetImageDataSize());
}

class Blur : public ::testing::TestWithParam<int> {};

TEST_P(Blur, KeepsAFlatInsideAndBlackensATwoPixelBorder) {
    NQImage flat;
    flat.nqSetImageHead(7, 6, GetParam(), 300, 150, NQImageHead::NQ_RES_INCH);
    flat.nqAllocImageData();
    flat.nqSetAllPixels(static_cast<unsigned char>(100));
    const NQImage result = NQBlur::nqBlur(flat, 1);
    EXPECT_FLOAT_EQ(result.nqGetYResolution(), 150);
    const int step = GetParam() / 8;
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 7; ++x) {
            const bool inside = x >= 2 && x < 5 && y >= 2 && y < 4;
            for (int c = 0; c < step; ++c)
                EXPECT_EQ(result.nqGetImageData()[(y * 7 + x) * step + c], inside ? 100 : 0);
        }
    EXPECT_EQ(bytesOf(NQBlur::nqBlur(flat, 0)), bytesOf(flat));
}

INSTANTIATE_TEST_SUITE_P(GreyAndColour, Blur, ::testing::Values(8, 24));

TEST(Mask, ZeroSumDividesByOneAndEvenKernelsStayInside) {
    const double difference[3][3] = {{0, 0, 0}, {0, 1, -1}, {0, 0, 0}};
    const double* rows[3] = {difference[0], difference[1], difference[2]};
    const NQImage ramp = grey(4, 3, {10, 30, 60, 20, 10, 30, 60, 20, 10, 30, 60, 20});
    EXPECT_EQ(bytesOf(NQMask::nqMask(ramp, rows, 3)),
              (std::vector<int>{0, 0, 0, 0, 0, 0, 40, 0, 0, 0, 0, 0}));  // 30 - 60 clamps to 0

    // A 2 x 2 kernel anchored at its top-left weight reaches one pixel right
    // and down, so the last row and column keep 0.
    const double ones[2][2] = {{1, 1}, {1, 1}};
    const double* square[2] = {ones[0], ones[1]};
    EXPECT_EQ(bytesOf(NQMask::nqMask(grey(3, 3, {4, 8, 0, 12, 16, 0, 0, 0, 0}), square, 2)),
              (std::vector<int>{10, 6, 0, 7, 4, 0, 0, 0, 0}));
    EXPECT_TRUE(throwsNQ([&] { NQMask::nqMask(NQImage(3, 3, NQImageHead::NQ_1BIT), square, 2); },
                         NQ_INVALID_INPUT, "<NQMask::nqMask()> Grey or color image expected."));
}

TEST(HorizontalBlur, DistancesCloseGapsUpToTheLimit) {
    const NQImage rows =
        grey(5, 3, {0, 255, 255, 255, 0, 255, 255, 255, 255, 255, 255, 255, 0, 255, 255});
    NQBlur blur;
    EXPECT_TRUE(throwsNQ([&] { blur.nqBinaryHorizontalBlur(1); }, NQ_NULL_DATA,
                         "Image not yet loaded into NQBlur Object"));
    blur.nqHorizontalBlurLoad(rows);
    const std::vector<float> expected = {0, 1, 2.6f, 1, 0, 5, 5, 5, 5, 5, 2, 1, 0, 1, 2};
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_FLOAT_EQ(blur.nqGetDistanceMap()[i], expected[i]) << i;
    auto pattern = [](const NQImage& image) {
        std::string s;
        for (int v : bytesOf(image))
            s += v ? 'W' : 'B';
        return s;
    };
    EXPECT_EQ(pattern(blur.nqBinaryHorizontalBlur(1)), "BBWBBWWWWWWBBBW");
    EXPECT_EQ(pattern(blur.nqBinaryHorizontalBlur(rows, 3, false)), "BBBBBWWWWWBBBBB");
    EXPECT_EQ(pattern(blur.nqBinaryHorizontalBlur(5)), std::string(15, 'B'));
    EXPECT_TRUE(throwsNQ([&] { blur.nqHorizontalBlurLoad(NQImage(2, 2, NQImageHead::NQ_1BIT)); },
                         NQ_INVALID_INPUT,
                         "Grayscale represenation of a binary input image required for "
                         "nqBinaryHorizontalBlur"));
}

TEST(Normalize, StretchesToTheFullRange) {
    EXPECT_EQ(bytesOf(NQNormalize::nqNormalizeImage(grey(3, 1, {50, 100, 150}))),
              (std::vector<int>{0, 127, 255}));
    EXPECT_EQ(bytesOf(NQNormalize::nqNormalizeGlobalImage(grey(2, 1, {77, 77}))),
              (std::vector<int>{77, 77}));
    NQImage bits(9, 1, NQImageHead::NQ_1BIT);
    bits.nqGetImageData()[1] = 0x12;  // padding bits too: binary images are not stretched
    EXPECT_EQ(bytesOf(NQNormalize::nqNormalizeImage(bits)), bytesOf(bits));
}

TEST(Angle, UnitsReductionAndQuadrants) {
    EXPECT_DOUBLE_EQ(NQAngle(200, NQ_GRADS).nqRadians(), kPi);
    EXPECT_NEAR(NQAngle(30, 30, 36).nqDegrees(), 30.51, 1e-12);
    NQAngle quarterBack(-kPi / 2);
    quarterBack.nqReduce();
    EXPECT_DOUBLE_EQ(quarterBack.nqRadians(), 3 * kPi / 2);
    EXPECT_EQ(NQAngle(kPi / 2).nqQuadrant(), 0);
    EXPECT_EQ(NQAngle(3.0).nqQuadrant(), 2);
    EXPECT_EQ(NQAngle(7.0).nqQuadrant(), 1);
    EXPECT_EQ(NQAngle(-0.1).nqQuadrant(), 4);
    const NQAngle right(NQ_ANGLE_90);
    EXPECT_TRUE(right.nqIsSpecial());
    EXPECT_FALSE((right + NQAngle(0.0)).nqIsSpecial());
    EXPECT_DOUBLE_EQ((right - NQAngle(NQ_ANGLE_45)).nqRadians(), kPi / 4);
    EXPECT_TRUE(throwsNQ([] { NQAngle(static_cast<NQSpecialAngleType>(6)); }, NQ_INVALID_ARGUMENT,
                         "<NQAngle::NQAngle() Invalid NQSpecialAngleType."));
    EXPECT_TRUE(throwsNQ([] { NQAngle(1.0, static_cast<NQAngleUnits>(3)); }, NQ_INVALID_ARGUMENT,
                         "<NQAngle::NQAngle()> Invalid value for NQAngleUnits."));
}

}  // namespace
