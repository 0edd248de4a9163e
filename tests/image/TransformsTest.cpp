// Transforms of NQImage: exact permutations, resampling, shear, pixel
// arithmetic, colour spaces, measures and the refusal of unsupported input.

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <tuple>

#include "analysis/NQAngle.h"
#include "image/NQImage.h"
#include "support/TestSupport.h"

using nqtest::throwsNQ;

namespace {

// Pixel (x, y) as one number: 0/255 for binary, the byte for grey,
// r << 16 | g << 8 | b for colour.
int pixelAt(const NQImage& image, int x, int y) {
    const unsigned char* row = image.nqGetImageData() + y * image.nqGetRowSize();
    switch (image.nqGetBitsPerPixel()) {
        case 1:
            return (row[x / 8] >> (7 - x % 8)) & 1 ? 255 : 0;
        case 8:
            return row[x];
        default:
            return row[3 * x] << 16 | row[3 * x + 1] << 8 | row[3 * x + 2];
    }
}

// An image of the given depth whose bytes (padding bits included) are
// pseudo-random, so that every pixel is told apart and stray padding shows.
NQImage scrambled(int bits, int width, int height, unsigned seed = 7) {
    NQImage image;
    image.nqSetImageHead(width, height, bits, 200, 100, NQImageHead::NQ_RES_INCH);
    image.nqAllocImageData();
    for (std::size_t i = 0; i < image.nqGetImageDataSize(); ++i) {
        seed = seed * 1103515245u + 12345u;
        image.nqGetImageData()[i] = static_cast<unsigned char>(seed >> 16);
    }
    return image;
}

NQImage greyRow(std::initializer_list<int> values) {
    NQImage image;
    image.nqSetImageHead(static_cast<int>(values.size()), 1, 8, 0, 0, NQImageHead::NQ_RES_INCH);
    image.nqAllocImageData();
    int x = 0;
    for (int v : values)
        image.nqGetImageData()[x++] = static_cast<unsigned char>(v);
    return image;
}

using SourceOf = std::function<std::pair<int, int>(int x, int y, int w, int h)>;

struct Permutation {
    const char* name;
    std::function<NQImage(const NQImage&)> apply;
    bool swapsSides;
    SourceOf source;
};

const NQColor kWhiteGrey(static_cast<unsigned char>(255));

class ExactPermutation : public ::testing::TestWithParam<std::tuple<int, int, int>> {};

TEST_P(ExactPermutation, MovesEveryPixelToItsPlace) {
    const auto [bits, width, height] = GetParam();
    const NQImage source = scrambled(bits, width, height);
    const NQColor none;  // unknown model: no background needed
    const Permutation cases[] = {
        {"flip columns", [](const NQImage& i) { return i.nqFlipImage(NQImage::NQ_HORIZONTAL); },
         false, [](int x, int y, int w, int) { return std::make_pair(w - 1 - x, y); }},
        {"flip rows", [](const NQImage& i) { return i.nqFlipImage(NQImage::NQ_VERTICAL); }, false,
         [](int x, int y, int, int h) { return std::make_pair(x, h - 1 - y); }},
        {"90", [&](const NQImage& i) { return i.nqRotateImage(90, none); }, true,
         [](int x, int y, int w, int) { return std::make_pair(w - 1 - y, x); }},
        {"-270", [&](const NQImage& i) { return i.nqRotateImage(-270.04, none); }, true,
         [](int x, int y, int w, int) { return std::make_pair(w - 1 - y, x); }},
        {"180", [&](const NQImage& i) { return i.nqRotateImage(-180, none); }, false,
         [](int x, int y, int w, int h) { return std::make_pair(w - 1 - x, h - 1 - y); }},
        {"270", [&](const NQImage& i) { return i.nqRotateImage(-90, none); }, true,
         [](int x, int y, int, int h) { return std::make_pair(y, h - 1 - x); }},
        {"0 through the general path", [&](const NQImage& i) { return i.nqRotateImage(0, none); },
         false, [](int x, int y, int, int) { return std::make_pair(x, y); }},
    };
    for (const Permutation& p : cases) {
        SCOPED_TRACE(p.name);
        const NQImage result = p.apply(source);
        ASSERT_EQ(result.nqGetWidth(), p.swapsSides ? height : width);
        ASSERT_EQ(result.nqGetHeight(), p.swapsSides ? width : height);
        EXPECT_EQ(result.nqGetColorModel(), source.nqGetColorModel());
        EXPECT_FLOAT_EQ(result.nqGetXResolution(), 200);
        for (int y = 0; y < result.nqGetHeight(); ++y)
            for (int x = 0; x < result.nqGetWidth(); ++x) {
                const auto [sx, sy] = p.source(x, y, width, height);
                ASSERT_EQ(pixelAt(result, x, y), pixelAt(source, sx, sy)) << x << "," << y;
            }
    }
}

INSTANTIATE_TEST_SUITE_P(OddSizesAndPartialBytes, ExactPermutation,
                         ::testing::Combine(::testing::Values(1, 8, 24),
                                            ::testing::Values(7, 13, 16), ::testing::Values(5, 1)));

TEST(Rotation, GeneralAngleTakesTheCornersBoxAndFillsUncoveredPixels) {
    NQImage source(20, 10, NQImageHead::NQ_24BIT);
    source.nqSetColorModel(NQ_RGBCOLOR);
    source.nqSetPixel(10, 5, 1, 2, 3);
    const NQImage result = source.nqRotateImage(30, NQColor(200, 0, 0));
    // Corners about (10, 5) turned by 30 degrees span columns -1..20 and rows -4..13.
    ASSERT_EQ(result.nqGetWidth(), 22);
    ASSERT_EQ(result.nqGetHeight(), 18);
    EXPECT_EQ(pixelAt(result, 0, 0), 200 << 16);
    EXPECT_EQ(pixelAt(result, 11, 9), 1 << 16 | 2 << 8 | 3);  // the origin stays in place
    EXPECT_TRUE(throwsNQ([&] { source.nqRotateImage(30, kWhiteGrey); }, NQ_INVALID_ARGUMENT,
                         "Image color model and input color type do not match."));
}

TEST(Resize, BilinearForBytesAndPixelCentresForBits) {
    const NQImage up = greyRow({0, 100}).nqResizeImage(4, 1);
    EXPECT_EQ((std::vector<int>{pixelAt(up, 0, 0), pixelAt(up, 1, 0), pixelAt(up, 2, 0),
                                pixelAt(up, 3, 0)}),
              (std::vector<int>{0, 50, 100, 100}));
    const NQImage down = greyRow({0, 100, 200, 250}).nqResizeImage(2, 1);
    EXPECT_EQ(pixelAt(down, 1, 0), 200);

    NQImage bits(3, 1, NQImageHead::NQ_1BIT);
    bits.nqSetPixel(0, 0, 0);
    bits.nqSetPixel(2, 0, 0);
    const NQImage wide = bits.nqResizeImage(6, 1);
    std::string pattern;
    for (int x = 0; x < 6; ++x)
        pattern += pixelAt(wide, x, 0) ? 'W' : 'B';
    EXPECT_EQ(pattern, "BBWWBB");

    const NQImage scaled = scrambled(24, 3, 2).nqResizeImage(1.5);
    EXPECT_EQ(scaled.nqGetWidth(), 5);  // 4.5 rounds up
    EXPECT_EQ(scaled.nqGetHeight(), 3);
}

class Shear : public ::testing::TestWithParam<int> {};

TEST_P(Shear, ShiftsRowsAndColumnsByTheRoundedShare) {
    const int bits = GetParam();
    const NQImage source = scrambled(bits, 4, 3);
    const NQColor none;
    struct Case {
        int amount;
        NQImage::NQDirection direction;
        std::vector<int> offsets;  // per row (horizontal) or column (vertical)
    };
    const Case cases[] = {{2, NQImage::NQ_HORIZONTAL, {0, 1, 1}},
                          {-2, NQImage::NQ_HORIZONTAL, {2, 1, 1}},
                          {3, NQImage::NQ_VERTICAL, {0, 1, 2, 2}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.amount);
        const NQImage result = source.nqShearImage(c.amount, c.direction, none);
        const bool horizontal = c.direction == NQImage::NQ_HORIZONTAL;
        ASSERT_EQ(result.nqGetWidth(), horizontal ? 4 + std::abs(c.amount) : 4);
        ASSERT_EQ(result.nqGetHeight(), horizontal ? 3 : 3 + std::abs(c.amount));
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 4; ++x) {
                const int tx = horizontal ? x + c.offsets[y] : x;
                const int ty = horizontal ? y : y + c.offsets[x];
                ASSERT_EQ(pixelAt(result, tx, ty), pixelAt(source, x, y));
            }
    }
}

INSTANTIATE_TEST_SUITE_P(BitsAndBytes, Shear, ::testing::Values(1, 8));

TEST(Shear, AngleFormTakesTheTangentShareAndRefusesSteepAngles) {
    const NQImage source = scrambled(8, 10, 4);
    const NQColor none;
    EXPECT_EQ(source.nqShearImage(NQAngle(-0.3), NQImage::NQ_VERTICAL, none).nqGetHeight(), 7);
    EXPECT_EQ(source.nqShearImage(NQAngle(0.0), NQImage::NQ_HORIZONTAL, none).nqGetWidth(), 10);
    for (double radians : {3.14159265358979323846 / 2, 2.0})
        EXPECT_TRUE(
            throwsNQ([&] { source.nqShearImage(NQAngle(radians), NQImage::NQ_HORIZONTAL, none); },
                     NQ_INVALID_ARGUMENT, "<NQImage::nqShearImage()> Invalid shear angle."));
}

TEST(PixelArithmetic, SumsDifferencesAndBitOperationsStayInTheOverlap) {
    const NQImage a = greyRow({200, 200, 10});
    const NQImage b = greyRow({100});
    EXPECT_EQ(pixelAt(a.nqAddImage(b, 1, 0), 1, 0), 44);
    EXPECT_EQ(pixelAt(a.nqAddImage(b, 1, 0), 0, 0), 200);
    EXPECT_EQ(pixelAt(a.nqSubtractImage(b, 2, 0), 2, 0), 166);
    EXPECT_TRUE(throwsNQ(
        [&] {
            a.nqAddImage(greyRow({1, 2}), 2, 0);
        },
        NQ_OUT_OF_BOUNDS, "<NQImage::nqAddImage()> Add image is too big!"));

    // A second image straddling a byte boundary of a row whose width is not a
    // multiple of 8.
    const NQImage target = scrambled(1, 13, 2, 3);
    const NQImage second = scrambled(1, 5, 2, 11);
    const NQImage xored = target.nqXorImage(second, 6, 0);
    NQImage pasted = target;
    pasted.nqPasteInImage(second, 6, 0);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 13; ++x) {
            const bool inside = x >= 6 && x < 11;
            const int t = pixelAt(target, x, y);
            const int s = inside ? pixelAt(second, x - 6, y) : 0;
            EXPECT_EQ(pixelAt(xored, x, y), inside ? (t ^ s) : t) << x;
            EXPECT_EQ(pixelAt(pasted, x, y), inside ? s : t) << x;
        }
}

TEST(Paste, ShallowerSourceIsPromotedDeeperImageRaisesTheCopy) {
    NQImage binary(2, 1, NQImageHead::NQ_1BIT);
    binary.nqSetPixel(1, 0, 0);
    NQImage grey = greyRow({7, 7, 7});
    grey.nqPasteInImage(binary, 1, 0);
    EXPECT_EQ(pixelAt(grey, 1, 0), 255);
    EXPECT_EQ(pixelAt(grey, 2, 0), 0);
    EXPECT_TRUE(throwsNQ([&] { binary.nqPasteInImage(grey, 0, 0); }, NQ_OUT_OF_BOUNDS,
                         "Paste image is too big!"));
    const NQImage raised = NQImage(3, 1, NQImageHead::NQ_1BIT).nqPasteImage(greyRow({9}), 2, 0);
    EXPECT_EQ(raised.nqGetBitsPerPixel(), 8);
    EXPECT_EQ(pixelAt(raised, 2, 0), 9);
}

TEST(ColourSpaces, RoundTripsStayWithinTheirArithmetic) {
    NQImage colours(6 * 6 * 6 + 2, 1, NQImageHead::NQ_24BIT);
    colours.nqSetColorModel(NQ_RGBCOLOR);
    int x = 0;
    for (int r = 0; r < 256; r += 51)
        for (int g = 0; g < 256; g += 51)
            for (int b = 0; b < 256; b += 51)
                colours.nqSetPixel(x++, 0, r, g, b);
    colours.nqSetPixel(x++, 0, 0, 0, 106);  // red -1 before clamping
    colours.nqSetPixel(x++, 0, 255, 0, 178);

    const NQImage ycrcb = colours.nqConvertRGBToYCrCb();
    EXPECT_EQ(pixelAt(ycrcb, x - 3, 0), 235 << 16 | 128 << 8 | 128);  // white
    const NQImage back = ycrcb.nqConvertYCrCbToRGB();
    for (int i = 0; i < colours.nqGetWidth(); ++i)
        for (int shift : {16, 8, 0})
            EXPECT_LE(std::abs((pixelAt(back, i, 0) >> shift & 255) -
                               (pixelAt(colours, i, 0) >> shift & 255)),
                      2)
                << i;
}

TEST(ColourSpaces, HsvBytesRoundTripPureAndGreyColours) {
    // Hues below 256 degrees with a saturation of 0 or 1 survive the byte
    // form; the undefined hue of grey is stored as 0.
    const int colours[][3] = {{0, 0, 0},   {128, 128, 128}, {255, 0, 0},  {0, 255, 0},
                              {0, 0, 255}, {255, 128, 0},   {0, 200, 100}};
    NQImage image(7, 1, NQImageHead::NQ_24BIT);
    for (int i = 0; i < 7; ++i)
        image.nqSetPixel(i, 0, colours[i][0], colours[i][1], colours[i][2]);
    const NQImage hsv = image.nqConvertRGBToHSV();
    EXPECT_EQ(pixelAt(hsv, 1, 0), 128);
    EXPECT_EQ(pixelAt(hsv, 6, 0), 150 << 16 | 1 << 8 | 200);
    const NQImage back = hsv.nqConvertHSVToRGB();
    for (int i = 0; i < 7; ++i)
        for (int c = 0; c < 3; ++c)
            EXPECT_LE(std::abs((pixelAt(back, i, 0) >> (16 - 8 * c) & 255) - colours[i][c]), 2)
                << i;
}

TEST(Measures, CentroidsWeighByDarknessOrBrightness) {
    NQImage grey(5, 3, NQImageHead::NQ_8BIT);
    grey.nqSetPixel(0, 0, 155);  // weight 100
    grey.nqSetPixel(4, 2, 55);   // weight 200
    EXPECT_EQ(grey.nqCentroid(), NQPoint(2, 1));
    EXPECT_DOUBLE_EQ(grey.nqRmax(false), std::hypot(2, 1));
    EXPECT_DOUBLE_EQ(grey.nqRmax(true), std::hypot(3, 2));

    NQImage binary(5, 3, NQImageHead::NQ_1BIT);
    binary.nqSetPixel(1, 0, 0);
    binary.nqSetPixel(4, 2, 0);
    EXPECT_EQ(binary.nqCentroid(), NQPoint(2, 1));

    NQImage colour(4, 3, NQImageHead::NQ_24BIT);
    colour.nqSetAllPixels(static_cast<unsigned char>(0));
    EXPECT_EQ(colour.nqCentroid(), NQPoint(0, 0));
    colour.nqSetPixel(2, 1, 255, 255, 255);
    EXPECT_EQ(colour.nqCentroid(), NQPoint(2, 1));
    EXPECT_EQ(NQImage(3, 3, NQImageHead::NQ_8BIT).nqRmax(false), 0);
}

struct Refusal {
    const char* what;
    std::function<void()> action;
    NQExceptionCodes code;
};

TEST(Transforms, RefuseDepthsAndImagesTheyDoNotHandle) {
    const NQImage bits = scrambled(1, 9, 2), grey = scrambled(8, 9, 2),
                  colour = scrambled(24, 9, 2);
    NQImage noData;
    noData.nqLoadImage(9, 2, 8, false);
    const NQColor none;
    const Refusal refusals[] = {
        {"reverse bytes of colour", [&] { colour.nqReverseByteImage(); }, NQ_INVALID_INPUT},
        {"flip bytes of bits", [&] { bits.nqFlipByteImage(NQImage::NQ_VERTICAL); }, NQ_UNSUPPORTED},
        {"flip direction", [&] { grey.nqFlipImage(static_cast<NQImage::NQDirection>(3)); },
         NQ_INVALID_ARGUMENT},
        {"resize bits of grey", [&] { grey.nqResizeBitImage(3, 3); }, NQ_UNSUPPORTED},
        {"resize to nothing", [&] { grey.nqResizeImage(0, 3); }, NQ_UNSUPPORTED},
        {"rotate bytes of colour", [&] { colour.nqRotateByteImage(10, none); }, NQ_UNSUPPORTED},
        {"shear direction",
         [&] { grey.nqShearImage(2, static_cast<NQImage::NQDirection>(0), none); },
         NQ_INVALID_ARGUMENT},
        {"add bits", [&] { bits.nqAddImage(bits, 0, 0); }, NQ_UNSUPPORTED},
        {"add other depth", [&] { grey.nqAddImage(colour, 0, 0); }, NQ_NOT_IMPLEMENTED},
        {"xor grey", [&] { grey.nqXorImage(bits, 0, 0); }, NQ_INVALID_CONTENT},
        {"paste deeper", [&] { NQImage(bits).nqPasteInImage(grey, 0, 0); }, NQ_UNSUPPORTED},
        {"YCrCb of grey", [&] { grey.nqConvertRGBToYCrCb(); }, NQ_INVALID_INPUT},
        {"HSV of bits", [&] { bits.nqConvertHSVToRGB(); }, NQ_INVALID_INPUT},
        {"grey centroid of colour", [&] { colour.nqCentroidGray(); }, NQ_UNSUPPORTED},
        {"flip without data", [&] { noData.nqFlipImage(NQImage::NQ_VERTICAL); }, NQ_NULL_DATA},
        {"rotate without data", [&] { noData.nqRotateImage(45, none); }, NQ_NULL_DATA},
        {"centroid without data", [&] { noData.nqCentroid(); }, NQ_NULL_DATA},
        {"paste without data", [&] { NQImage(grey).nqPasteInImage(noData, 0, 0); }, NQ_NULL_DATA},
    };
    for (const Refusal& r : refusals)
        EXPECT_TRUE(throwsNQ(r.action, r.code, "")) << r.what;
}

}  // namespace
