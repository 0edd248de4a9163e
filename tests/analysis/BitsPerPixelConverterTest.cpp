// Bit-depth conversions between binary, grey and colour images.

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "analysis/NQBitsPerPixelConverter.h"
#include "image/NQException.h"
#include "image/NQImage.h"
#include "support/TestSupport.h"

namespace {

using Converter = NQBitsPerPixelConverter;

NQImage make(int bits, int width, int height) {
    NQImage image;
    image.nqSetImageHead(width, height, bits, 150, 75, NQImageHead::NQ_RES_NONE);
    image.nqAllocImageData();
    return image;
}

NQImage colour(std::initializer_list<unsigned char> rgb, int width) {
    NQImage image = make(24, width, static_cast<int>(rgb.size()) / 3 / width);
    std::copy(rgb.begin(), rgb.end(), image.nqGetImageData());
    return image;
}

void expectSameFrame(const NQImage& result, const NQImage& source, int bits) {
    EXPECT_EQ(result.nqGetWidth(), source.nqGetWidth());
    EXPECT_EQ(result.nqGetHeight(), source.nqGetHeight());
    EXPECT_EQ(result.nqGetBitsPerPixel(), bits);
    EXPECT_FLOAT_EQ(result.nqGetXResolution(), 150);
    EXPECT_FLOAT_EQ(result.nqGetYResolution(), 75);
    EXPECT_EQ(result.nqGetResolutionUnits(), NQImageHead::NQ_RES_NONE);
}

TEST(BitsPerPixelConverter, BinaryExpandsToGreyAndColour) {
    NQImage binary = make(1, 10, 2);
    binary.nqSetPixel(9, 1, static_cast<unsigned char>(0));
    binary.nqSetPixel(0, 0, static_cast<unsigned char>(0));

    const NQImage grey = Converter::nqBinary2Gray(binary);
    expectSameFrame(grey, binary, 8);
    EXPECT_EQ(grey.nqGetColorModel(), NQ_GRAY);
    EXPECT_EQ(grey.nqGetPixelValue(0, 0), 0);
    EXPECT_EQ(grey.nqGetPixelValue(1, 0), 255);
    EXPECT_EQ(grey.nqGetPixelValue(9, 1), 0);
    EXPECT_EQ(grey.nqGetPixelValue(8, 1), 255);

    const NQImage red = Converter::nqBinary2Color(binary, NQColor(200, 10, 20));
    expectSameFrame(red, binary, 24);
    unsigned char r, g, b;
    red.nqGetPixel(9, 1, r, g, b);
    EXPECT_EQ(std::to_string(r) + "," + std::to_string(g) + "," + std::to_string(b), "200,10,20");
    red.nqGetPixel(8, 1, r, g, b);
    EXPECT_EQ(r + g + b, 3 * 255);

    EXPECT_TRUE(
        nqtest::throwsNQ([&] { Converter::nqBinary2Gray(grey); }, NQ_INVALID_INPUT,
                         "<NQBitsPerPixelConverter::nqBinary2Gray> Binary image expected in "
                         "NQImage::nqBinary2Gray!"));
}

TEST(BitsPerPixelConverter, GreyToColourRepeatsTheValue) {
    NQImage grey = make(8, 2, 1);
    grey.nqGetImageData()[0] = 17;
    const NQImage result = Converter::nqGray2Color(grey);
    expectSameFrame(result, grey, 24);
    const unsigned char* p = result.nqGetImageData();
    EXPECT_EQ(std::string(p, p + 6), std::string("\x11\x11\x11\xff\xff\xff"));
    EXPECT_TRUE(nqtest::throwsNQ([&] { Converter::nqGray2Color(result); }, NQ_INVALID_INPUT,
                                 "<NQBitsPerPixelConverter::nqGray2Color()> Gray image expected in "
                                 "NQImage::nqGray2Color!"));
    NQImage noData;
    noData.nqLoadImage(4, 4, 8, false);
    EXPECT_TRUE(nqtest::throwsNQ([&] { Converter::nqGray2Color(noData); }, NQ_NULL_DATA,
                                 "<NQBitsPerPixelConverter::nqGray2Color()> Image Data is NULL!"));
}

TEST(BitsPerPixelConverter, ColourToGreyByAverageAndByWeights) {
    const NQImage image = colour({1, 1, 2, 90, 30, 255}, 2);
    const NQImage average = Converter::nqDownscaleColor2Gray_global(image);
    expectSameFrame(average, image, 8);
    EXPECT_EQ(average.nqGetImageData()[0], 1);
    EXPECT_EQ(average.nqGetImageData()[1], 125);

    EXPECT_EQ(Converter::nqDownscaleColor2Gray_weighted(image, 1, 0, 0).nqGetImageData()[1], 90);
    const NQImage weighted = Converter::nqDownscaleColor2Gray_weighted(image, 1, 2, 1);
    EXPECT_EQ(weighted.nqGetImageData()[1], (90 + 60 + 255) / 4);

    EXPECT_TRUE(nqtest::throwsNQ(
        [&] { Converter::nqDownscaleColor2Gray_weighted(image, 1, -0.5, 1); }, NQ_INVALID_ARGUMENT,
        "All weights must be positive in nqDownscaleColor2Gray_weighted."));
    EXPECT_TRUE(nqtest::throwsNQ([&] { Converter::nqDownscaleColor2Gray_weighted(image, 0, 0, 0); },
                                 NQ_INVALID_ARGUMENT,
                                 "must be above zero in nqDownscaleColor2Gray_weighted."));
    // A grey image would be read three bytes per pixel past its end.
    EXPECT_TRUE(nqtest::throwsNQ([&] { Converter::nqDownscaleColor2Gray_global(average); },
                                 NQ_INVALID_INPUT,
                                 "24-bit color image required in nqDownscaleColor2Gray_global."));
}

TEST(BitsPerPixelConverter, GlobalThresholdSetsWhiteFromTheThresholdUp) {
    NQImage grey = make(8, 9, 1);
    const unsigned char values[9] = {0, 1, 127, 128, 254, 255, 255, 0, 200};
    std::copy(values, values + 9, grey.nqGetImageData());

    const NQImage at128 = Converter::nqDownscaleGray2Binary_global(grey, 128);
    expectSameFrame(at128, grey, 1);
    EXPECT_EQ(at128.nqGetColorModel(), NQ_BINARY);
    // 0b00011110 then pixel 8 (200) in the top bit; the unused bits stay 0.
    EXPECT_EQ(at128.nqGetImageData()[0], 0x1e);
    EXPECT_EQ(at128.nqGetImageData()[1], 0x80);

    EXPECT_EQ(Converter::nqDownscaleGray2Binary_global(grey, 0).nqGetImageData()[0], 0xff);
    EXPECT_EQ(Converter::nqDownscaleGray2Binary_global(grey, 255).nqGetImageData()[0], 0x06);
    for (int bad : {-1, 256})
        EXPECT_TRUE(nqtest::throwsNQ([&] { Converter::nqDownscaleGray2Binary_global(grey, bad); },
                                     NQ_INVALID_INPUT, "threshold must between 0 and 255"));
    EXPECT_TRUE(nqtest::throwsNQ([&] { Converter::nqDownscaleGray2Binary_global(at128, 1); },
                                 NQ_INVALID_INPUT, "An 8-bit Grayscale image is expected"));
}

TEST(BitsPerPixelConverter, ColourReductionKeeps256ColoursAndQuantisesMore) {
    // Exactly 256 colours, chosen so that many share an XOR key.
    NQImage few = make(24, 256, 1);
    for (int i = 0; i < 256; ++i) {
        unsigned char* p = few.nqGetImageData() + 3 * i;
        p[0] = static_cast<unsigned char>(i);
        p[1] = static_cast<unsigned char>(i);
        p[2] = 7;
    }
    bool reduced = true;
    const NQImage kept = Converter::nqDownscale256Color_global(few, reduced);
    EXPECT_FALSE(reduced);
    EXPECT_EQ(std::string(kept.nqGetImageData(), kept.nqGetImageData() + 768),
              std::string(few.nqGetImageData(), few.nqGetImageData() + 768));

    NQImage many = make(24, 257, 1);
    for (int i = 0; i < 257; ++i) {
        unsigned char* p = many.nqGetImageData() + 3 * i;
        p[0] = static_cast<unsigned char>(i % 256);
        p[1] = static_cast<unsigned char>(i / 256);
        p[2] = 0;
    }
    many.nqGetImageData()[0] = 200;
    many.nqGetImageData()[1] = 255;
    many.nqGetImageData()[2] = 42;
    const NQImage quantised = Converter::nqDownscale256Color_global(many, reduced);
    EXPECT_TRUE(reduced);
    const unsigned char* q = quantised.nqGetImageData();
    EXPECT_EQ(q[0], 204);
    EXPECT_EQ(q[1], 255);
    EXPECT_EQ(q[2], 0);
    std::set<int> levels(q, q + 3 * 257);
    EXPECT_TRUE(std::includes(std::set<int>{0, 51, 102, 153, 204, 255}.begin(),
                              std::set<int>{0, 51, 102, 153, 204, 255}.end(), levels.begin(),
                              levels.end()));

    const NQImage binary = make(1, 3, 1);
    EXPECT_EQ(Converter::nqDownscale256Color_global(binary, reduced).nqGetBitsPerPixel(), 24);
    EXPECT_FALSE(reduced);
}

TEST(BitsPerPixelConverter, ConvertImageOnlyScalesUp) {
    NQImage binary = make(1, 3, 1);
    binary.nqSetPixel(1, 0, static_cast<unsigned char>(0));
    const NQImage asColour = Converter::nqConvertImage(binary, NQ_TO_COLOR);
    const unsigned char* p = asColour.nqGetImageData();
    EXPECT_EQ(std::string(p, p + 9), std::string("\xff\xff\xff\0\0\0\xff\xff\xff", 9));
    EXPECT_EQ(Converter::nqConvertImage(binary, NQ_TO_BINARY).nqGetPixelValue(1, 0), 0);

    const NQImage grey = make(8, 2, 2);
    EXPECT_EQ(Converter::nqConvertImage(grey, NQ_TO_COLOR).nqGetBitsPerPixel(), 24);
    EXPECT_TRUE(nqtest::throwsNQ([&] { Converter::nqConvertImage(grey, NQ_TO_BINARY); },
                                 NQ_UNSUPPORTED,
                                 "from Grayscale to Binary before performing this function"));
    const NQImage rgb = make(24, 2, 2);
    EXPECT_TRUE(nqtest::throwsNQ([&] { Converter::nqConvertImage(rgb, NQ_TO_GRAY); },
                                 NQ_UNSUPPORTED,
                                 "from Color to Grayscale before performing this function"));
    EXPECT_TRUE(nqtest::throwsNQ(
        [&] { Converter::nqConvertImage(rgb, static_cast<NQImageConversions>(4)); }, NQ_UNSUPPORTED,
        "Only Supports 1, 8 and 24 bit images!"));
    NQImage odd;
    odd.nqLoadImage(2, 2, 16, false);
    EXPECT_TRUE(nqtest::throwsNQ([&] { Converter::nqConvertImage(odd, NQ_TO_BINARY); },
                                 NQ_UNSUPPORTED, "Only supports Upscaling of images.!"));
    EXPECT_TRUE(
        nqtest::throwsNQ([&] { Converter::nqConvertImage(odd, NQ_TO_GRAY); }, NQ_NOT_IMPLEMENTED,
                         "<NQBitsPerPixelConverter::nqConvertImage()> Not Yet Implemented!"));
}

}  // namespace
