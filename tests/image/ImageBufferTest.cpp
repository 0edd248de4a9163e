#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>

#include "image/NQImage.h"
#include "image/NQPixelBlock.h"
#include "support/TestSupport.h"

using nqtest::throwsNQ;

namespace {

NQImage binaryImage(int width, int height) {
    return NQImage(width, height, NQImageHead::NQ_1BIT);
}

}  // namespace

TEST(ImageBuffer, BinaryRowsArePackedMostSignificantBitFirstWithSetBitsWhite) {
    NQImage image = binaryImage(10, 2);
    EXPECT_EQ(image.nqGetRowSize(), 2);
    ASSERT_EQ(image.nqGetImageDataSize(), 4u);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 10; ++x) EXPECT_EQ(image.nqGetPixelValue(x, y), 255);

    image.nqSetPixel(9, 1, 0);  // bit 6 of byte 1 of row 1
    const unsigned char* data = image.nqGetImageData();
    EXPECT_EQ(data[0], 0xFF);
    EXPECT_EQ(data[1], 0xFF);
    EXPECT_EQ(data[2], 0xFF);
    EXPECT_EQ(data[3], 0xBF);
    EXPECT_EQ(image.nqGetPixelValue(9, 1), 0);
    EXPECT_EQ(image.nqGetPixelValue(8, 1), 255);

    image.nqSetPixel(0, 0, 0);
    EXPECT_EQ(data[0], 0x7F);
    image.nqSetPixel(0, 0, 17);  // any non-zero value sets the bit
    EXPECT_EQ(data[0], 0xFF);
}

TEST(ImageBuffer, LayoutFollowsDepth) {
    NQImage grey(7, 3, NQImageHead::NQ_8BIT);
    EXPECT_EQ(grey.nqGetRowSize(), 7);
    EXPECT_EQ(grey.nqGetChannels(), 1);
    EXPECT_EQ(grey.nqGetColorModel(), NQ_UNKNOWN_COLOR);
    EXPECT_EQ(grey.nqGetDataAlignment(), -1);
    NQImage colour(7, 3, NQImageHead::NQ_24BIT);
    EXPECT_EQ(colour.nqGetRowSize(), 21);
    EXPECT_EQ(colour.nqGetChannels(), 3);
    EXPECT_EQ(colour.nqGetImageDataSize(), 63u);
    EXPECT_EQ(colour.nqGetImageData()[62], 255);

    NQImage image;
    image.nqSetImageHead(9, 2, 1, 300.f, 150.f, false);
    EXPECT_EQ(image.nqGetColorModel(), NQ_BINARY);
    EXPECT_EQ(image.nqGetRowSize(), 2);
    EXPECT_EQ(image.nqGetDataAlignment(), NQ_1BYTE_ALIGN);
    EXPECT_EQ(image.nqGetResolutionUnits(), NQImageHead::NQ_RES_NONE);
    EXPECT_FALSE(image.nqHasImageData());
    image.nqAllocImageData();
    EXPECT_EQ(image.nqGetImageDataSize(), 4u);
}

TEST(ImageBuffer, WritesOneStepPastTheRightOrBottomEdgeAreIgnored) {
    NQImage image(4, 3, NQImageHead::NQ_8BIT);
    image.nqSetPixel(4, 0, 0);
    image.nqSetPixel(0, 3, 0);
    image.nqSetPixel(4, 3, 0);
    for (std::size_t i = 0; i < image.nqGetImageDataSize(); ++i)
        EXPECT_EQ(image.nqGetImageData()[i], 255);

    EXPECT_TRUE(throwsNQ([&] { image.nqSetPixel(5, 0, 0); }, NQ_INVALID_INPUT,
                         "Out Of Bound!! setting pixel "));
    EXPECT_TRUE(throwsNQ([&] { image.nqSetPixel(-1, 0, 0); }, NQ_INVALID_INPUT,
                         "Out Of Bound!! setting pixel "));
    EXPECT_TRUE(throwsNQ([&] { image.nqGetPixelValue(4, 0); }, NQ_INVALID_INPUT, "Out Of Bound!!"));
    EXPECT_TRUE(throwsNQ([&] { image.nqGetPixelValue(0, -1); }, NQ_INVALID_INPUT,
                         "Out Of Bound!!"));
}

TEST(ImageBuffer, PixelAccessChecksModelDataAndChannels) {
    NQImage empty;
    EXPECT_TRUE(throwsNQ([&] { empty.nqGetPixelValue(0, 0); }, NQ_NULL_DATA, "Image data is null!!"));

    NQImage colour(2, 2, NQImageHead::NQ_24BIT);
    EXPECT_TRUE(throwsNQ([&] { NQImage(2, 2, NQImageHead::NQ_8BIT).nqSetPixel(0, 0, 1, 2, 3); },
                         NQ_INVALID_INPUT, "Color FORMAT is needed in nqSetPixel"));
    colour.nqSetPixel(1, 1, 10, 20, 30);
    unsigned char r, g, b;
    colour.nqGetPixel(1, 1, r, g, b);
    EXPECT_EQ(r, 10);
    EXPECT_EQ(g, 20);
    EXPECT_EQ(b, 30);

    // The constructor leaves the model unknown: byte access works, colour access does not.
    NQImage grey(2, 2, NQImageHead::NQ_8BIT);
    EXPECT_EQ(grey.nqGetPixelValue(1, 1), 255);
    EXPECT_TRUE(throwsNQ([&] { grey.nqGetPixel(0, 0); }, NQ_UNSUPPORTED,
                         "<NQImage::nqGetPixel()> Unsupported image color model."));

    NQImage rgb;
    rgb.nqSetImageHead(2, 2, 24, 0, 0, true);
    rgb.nqAllocImageData();
    EXPECT_TRUE(throwsNQ([&] { rgb.nqGetPixelValue(0, 0); }, NQ_INVALID_INPUT,
                         "Binary or Gray Scale FORMAT is needed in nqGetPixelScale"));
    EXPECT_TRUE(throwsNQ([&] { rgb.nqSetPixel(0, 0, NQColor(7)); }, NQ_INVALID_ARGUMENT,
                         "<NQImage::nqSetPixel()> Image color model and input color type do not match."));
    rgb.nqSetPixel(0, 1, NQColor(1, 2, 3));
    EXPECT_EQ(rgb.nqGetPixel(0, 1), NQColor(1, 2, 3));
}

TEST(ImageBuffer, SetAllPixelsFillsByColourModel) {
    NQImage rgb;
    rgb.nqSetImageHead(3, 1, 24, 0, 0, true);
    rgb.nqAllocImageData();
    rgb.nqSetAllPixels(NQColor(7, 7, 7));
    for (std::size_t i = 0; i < 9; ++i) EXPECT_EQ(rgb.nqGetImageData()[i], 7);
    rgb.nqSetAllPixels(NQColor(1, 2, 3));
    const unsigned char expected[9] = {1, 2, 3, 1, 2, 3, 1, 2, 3};
    EXPECT_EQ(std::memcmp(rgb.nqGetImageData(), expected, 9), 0);

    NQImage bw;
    bw.nqSetImageHead(10, 1, 1, 0, 0, true);
    bw.nqAllocImageData();
    bw.nqSetAllPixels(NQColor(NQColor::NQ_BW_BLACK));
    EXPECT_EQ(bw.nqGetPixelValue(9, 0), 0);
    EXPECT_TRUE(throwsNQ([&] { bw.nqSetAllPixels(NQColor(3)); }, NQ_INVALID_ARGUMENT,
                         "<NQImage::nqSetAllPixels()> Image color model and input color type do not match."));
}

TEST(ImageBuffer, CopiesAreDeepAndCarryTagsAndCorruptedFlag) {
    NQImage source(5, 4, NQImageHead::NQ_8BIT);
    source.nqSetTag("artist", "us");
    source.setIsImageCorrupted(true);
    source.nqSetPixel(2, 3, 9);

    NQImage copy(source);
    EXPECT_NE(copy.nqGetImageData(), source.nqGetImageData());
    EXPECT_EQ(copy.nqGetPixelValue(2, 3), 9);
    EXPECT_EQ(copy.nqGetTag("artist"), "us");
    EXPECT_TRUE(copy.isImageCorrupted());
    EXPECT_EQ(copy.nqGetColorModel(), NQ_UNKNOWN_COLOR);  // the source's own model is kept
    copy.nqSetPixel(2, 3, 1);
    EXPECT_EQ(source.nqGetPixelValue(2, 3), 9);

    // Assigning over an image with data drops its tags first.
    NQImage target(1, 1, NQImageHead::NQ_8BIT);
    target.nqSetTag("old", "x");
    NQImage untagged(2, 2, NQImageHead::NQ_1BIT);
    target = untagged;
    EXPECT_FALSE(target.nqIsTagSet("old"));
    EXPECT_EQ(target.nqGetBitsPerPixel(), 1);
    EXPECT_EQ(target.nqGetRowSize(), 1);
    EXPECT_FALSE(target.isImageCorrupted());

    EXPECT_TRUE(throwsNQ([&] { target = target; }, NQ_MEMORY_ERROR, "Self Assignment Attempted!"));
}

TEST(ImageBuffer, AssigningAnImageWithoutDataKeepsTheHeaderButDropsThePixels) {
    NQImage target(3, 3, NQImageHead::NQ_8BIT);
    NQImage empty;
    empty.setIsImageCorrupted(true);
    target = empty;
    EXPECT_FALSE(target.nqHasImageData());
    EXPECT_EQ(target.nqGetWidth(), 3);
    EXPECT_TRUE(target.isImageCorrupted());
}

// Prefaulting and huge-page advice change how a block is backed, never what
// it holds: bytes written before stay, in fresh memory and in memory in use.
TEST(ImageBuffer, PixelBlocksKeepTheirBytesThroughPrefaulting) {
    for (const std::size_t bytes : {std::size_t(1) << 20, (std::size_t(5) << 20) + 123}) {
        std::unique_ptr<unsigned char[]> block = nqNewPixelBlock(bytes);
        ASSERT_NE(block, nullptr);
        for (std::size_t k = 0; k < bytes; ++k)
            block[k] = static_cast<unsigned char>(k * 7 + 1);
        nqPrefaultFreshMemory(block.get(), bytes);
        std::size_t changed = 0;
        for (std::size_t k = 0; k < bytes; ++k)
            changed += block[k] != static_cast<unsigned char>(k * 7 + 1);
        EXPECT_EQ(changed, 0u) << bytes;
    }
}

TEST(ImageBuffer, MovesHandOverThePixelBlock) {
    NQImage source(6, 2, NQImageHead::NQ_24BIT);
    const unsigned char* block = source.nqGetImageData();
    NQImage moved(std::move(source));
    EXPECT_EQ(moved.nqGetImageData(), block);
    NQImage target(1, 1, NQImageHead::NQ_8BIT);
    target = std::move(moved);
    EXPECT_EQ(target.nqGetImageData(), block);
    EXPECT_EQ(target.nqGetRowSize(), 18);
}

TEST(ImageBuffer, AdoptedBlocksAreOwnedWithoutCopying) {
    NQImageHead head;
    head.nqSetWidth(3);
    head.nqSetHeight(2);
    head.nqSetBitsPerPixel(8);
    auto block = std::make_unique<unsigned char[]>(6);
    block[5] = 42;
    unsigned char* raw = block.get();
    NQImage image(std::move(block), head);
    EXPECT_EQ(image.nqGetImageData(), raw);
    EXPECT_EQ(image.nqGetPixelValue(2, 1), 42);
    EXPECT_TRUE(throwsNQ([&] { NQImage(static_cast<unsigned char*>(nullptr), head); },
                         NQ_NULL_DATA, "NQImage::NQImage() Image Data is NULL!"));
}

TEST(ImageBuffer, HeaderChangesThatNoLongerMatchTheBlockDropIt) {
    NQImage image(4, 4, NQImageHead::NQ_8BIT);
    image.nqSetImageHead(4, 4, 8, 0, 0, true);  // same geometry keeps the pixels
    EXPECT_TRUE(image.nqHasImageData());
    image.nqSetImageHead(400, 400, 8, 0, 0, true);  // would read past the block
    EXPECT_FALSE(image.nqHasImageData());
    EXPECT_TRUE(throwsNQ([&] { image.nqGetPixelValue(300, 300); }, NQ_NULL_DATA,
                         "Image data is null!!"));
}

TEST(ImageBuffer, AllocationRefusesHugeAndNegativeSizes) {
    NQImage image;
    EXPECT_TRUE(throwsNQ([&] { image.nqLoadImage(100000, 100000, 24, true); }, NQ_MEMORY_ERROR,
                         "Error Allocating Image Data memory"));
    EXPECT_TRUE(throwsNQ([&] { image.nqLoadImage(10, -5, 8, true); }, NQ_MEMORY_ERROR,
                         "Error Allocating Image Data memory"));
    EXPECT_EQ(NQImage::dataSizeFor(100000, 100000, 1), 0u);
    EXPECT_EQ(NQImage::dataSizeFor(2480, 3508, 1), 310u * 3508u);
    EXPECT_EQ(NQImage::dataSizeFor(0, 5, 8), 0u);
    EXPECT_EQ(NQImage::dataSizeFor(5, 5, 16), 0u);
    EXPECT_EQ(NQImage::dataSizeFor(2147483647, 1, 24), 0u);
    EXPECT_EQ(NQImageHead::rowSizeFor(2147483647, 24), -1);
    EXPECT_EQ(NQImageHead::rowSizeFor(2147483647, 1), 268435456);
    EXPECT_TRUE(throwsNQ([&] { image.nqLoadImage(2147483647, 1, 24, true); }, NQ_MEMORY_ERROR,
                         "Error Allocating Image Data memory"));
}

TEST(ImageBuffer, GreyScaleBlackAndWhiteTest) {
    NQImage grey(3, 1, NQImageHead::NQ_8BIT);
    grey.nqSetPixel(0, 0, 0);
    EXPECT_TRUE(grey.nqIsGrayScaleBW());
    grey.nqSetPixel(1, 0, 128);
    EXPECT_FALSE(grey.nqIsGrayScaleBW());
    EXPECT_TRUE(binaryImage(3, 3).nqIsGrayScaleBW());
    EXPECT_TRUE(throwsNQ([] { NQImage(1, 1, NQImageHead::NQ_24BIT).nqIsGrayScaleBW(); },
                         NQ_NOT_IMPLEMENTED,
                         "<NQImage::nqIsGrayBW()> Not Implemented for Color Image in NQImage::nqIsGrayScaleBW !"));
    EXPECT_TRUE(throwsNQ([] { NQImage().nqIsGrayScaleBW(); }, NQ_NULL_DATA,
                         "<NQImage::nqIsGrayScaleBW()> Image Data is NULL!"));
}

TEST(ImageBuffer, ChannelsSplitAndMerge) {
    NQImage colour(2, 1, NQImageHead::NQ_24BIT);
    colour.nqSetPixel(0, 0, 10, 20, 30);
    colour.nqSetPixel(1, 0, 40, 50, 60);
    NQImage g = colour.nqGetChannelImage(NQImage::NQ_GREEN);
    EXPECT_EQ(g.nqGetBitsPerPixel(), 8);
    EXPECT_EQ(g.nqGetPixelValue(0, 0), 20);
    EXPECT_EQ(g.nqGetPixelValue(1, 0), 50);
    EXPECT_TRUE(throwsNQ([&] { colour.nqGetChannelImage(static_cast<NQImage::NQColorChannels>(3)); },
                         NQ_CHANNEL_OUT_OF_RANGE,
                         "<NQImage::nqGetChannelImage()> channel is out of bounds in NQImage::nqGetChannel!"));
    EXPECT_TRUE(throwsNQ([&] { g.nqGetChannelImage(NQImage::NQ_BLUE); }, NQ_CHANNEL_OUT_OF_RANGE,
                         "<NQImage::nqGetChannelImage()> channel number is out of bounds!"));

    NQImage r = colour.nqGetChannelImage(NQImage::NQ_RED);
    NQImage b = colour.nqGetChannelImage(NQImage::NQ_BLUE);
    NQImage merged = NQImage::nqMergeChannelImage(&r, &g, &b);
    EXPECT_EQ(std::memcmp(merged.nqGetImageData(), colour.nqGetImageData(), 6), 0);
    NQImage bw = binaryImage(2, 1);
    EXPECT_TRUE(throwsNQ([&] { NQImage::nqMergeChannelImage(&r, &bw, &b); }, NQ_INVALID_INPUT,
                         "<NQImage::nqMergeChannelImage()> Byte image expected in NQImage::nqMergeChannelImage!"));
}

TEST(ImageBuffer, BinarySubImagesShiftColumnsToTheStart) {
    // A 20-pixel row with black pixels at 3, 9 and 17.
    NQImage image = binaryImage(20, 2);
    for (int x : {3, 9, 17}) image.nqSetPixel(x, 1, 0);
    image.nqSetPixel(0, 0, 0);

    NQImage sub = image.nqSubImage(3, 1, 15, 1);
    EXPECT_EQ(sub.nqGetWidth(), 15);
    EXPECT_EQ(sub.nqGetRowSize(), 2);
    EXPECT_EQ(sub.nqGetColorModel(), image.nqGetColorModel());
    for (int x = 0; x < 15; ++x)
        EXPECT_EQ(sub.nqGetPixelValue(x, 0), (x == 0 || x == 6 || x == 14) ? 0 : 255) << x;

    NQImage whole = image.nqSubImage(0, 0, 20, 2);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 20; ++x)
            EXPECT_EQ(whole.nqGetPixelValue(x, y), image.nqGetPixelValue(x, y));

    EXPECT_TRUE(throwsNQ([&] { image.nqSubImage(1, 0, 20, 1); }, NQ_INVALID_INPUT,
                         "Out Of Bounds!! Sub-image must have coordinates within the larger image"));
    EXPECT_TRUE(throwsNQ([&] { image.nqSubImage(0, 0, -3, 1); }, NQ_INVALID_INPUT,
                         "Out Of Bounds!! Sub-image must have coordinates within the larger image"));
}

TEST(ImageBuffer, GreyAndColourSubImagesCopyTheWindow) {
    NQImage grey(4, 3, NQImageHead::NQ_8BIT);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x) grey.nqSetPixel(x, y, static_cast<unsigned char>(10 * y + x));
    NQImage sub = grey.nqSubImage(1, 1, 2, 2);
    EXPECT_EQ(sub.nqGetPixelValue(0, 0), 11);
    EXPECT_EQ(sub.nqGetPixelValue(1, 1), 22);

    NQImage colour(3, 2, NQImageHead::NQ_24BIT);
    colour.nqSetPixel(2, 1, 1, 2, 3);
    NQImage csub = colour.nqSubImage(2, 1, 1, 1);
    unsigned char r, g, b;
    csub.nqGetPixel(0, 0, r, g, b);
    EXPECT_EQ(r + g + b, 6);
}

TEST(ImageBuffer, StatisticsOfTinyImages) {
    NQImage grey(2, 2, NQImageHead::NQ_8BIT);
    grey.nqSetPixel(0, 0, 0);
    grey.nqSetPixel(1, 0, 10);
    grey.nqSetPixel(0, 1, 20);
    grey.nqSetPixel(1, 1, 30);
    NQImageStats s = grey.nqGetStats();
    EXPECT_EQ(s.sum[0], 60);
    EXPECT_DOUBLE_EQ(s.mean[0], 15.0);
    EXPECT_DOUBLE_EQ(s.median[0], 15.0);  // average of the two middle values
    EXPECT_NEAR(s.stdDev[0], std::sqrt(500.0 / 3.0), 1e-12);
    EXPECT_NEAR(s.skewness[0], 0.0, 1e-12);

    NQImage one(1, 1, NQImageHead::NQ_8BIT);
    NQImageStats single = one.nqGetStats();
    EXPECT_EQ(single.stdDev[0], 0.0);
    EXPECT_TRUE(std::isnan(single.skewness[0]));

    NQImage bw = binaryImage(3, 1);
    bw.nqSetPixel(0, 0, 0);
    NQImageStats bs = bw.nqGetStats();
    EXPECT_EQ(bs.sum[0], 1);  // the black pixels
    EXPECT_DOUBLE_EQ(bs.mean[0], 170.0);
    EXPECT_EQ(bs.median[0], 0.0);

    NQImage colour(1, 3, NQImageHead::NQ_24BIT);
    colour.nqSetPixel(0, 0, 1, 2, 3);
    NQImageStats cs = colour.nqGetStats();
    EXPECT_EQ(cs.sum[2], 3 + 255 + 255);
    EXPECT_DOUBLE_EQ(cs.median[0], 255.0);
}
