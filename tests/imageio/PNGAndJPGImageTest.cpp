// The PNG and JPEG codecs: round trips of every depth each saves, resolution,
// pages and refusals, truncated and hostile input, and JPEG palette loads.
// Decoding of files from other writers is checked by the corpus test.

#include <gtest/gtest.h>

#include <zlib.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <set>
#include <string>
#include <tuple>

#include "analysis/NQBitsPerPixelConverter.h"
#include "image/NQException.h"
#include "image/NQImage.h"
#include "image/NQLogger.h"
#include "imageio/CorpusManifest.h"
#include "imageio/NQJPGImage.h"
#include "imageio/NQPNGImage.h"
#include "support/TestSupport.h"

namespace {

using nqtest::throwsNQ;

NQPNGImage* png() {
    return NQPNGImage::createImageReader();
}
NQJPGImage* jpg() {
    return NQJPGImage::createImageReader();
}

// Largest sample difference JPEG at quality 95 leaves on the smooth pattern.
constexpr int kJpegMaxError = 4;

// Pseudo-random bytes, or (smooth) gradients and, for 1 bit, 8 x 8 blocks
// that JPEG encodes nearly exactly. 300 dpi.
NQImage pattern(int bits, bool smooth, int width = 37, int height = 23) {
    NQImage image;
    image.nqSetImageHead(width, height, bits, 300, 300, NQImageHead::NQ_RES_INCH);
    image.nqAllocImageData();
    unsigned state = 12345;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            state = state * 1103515245u + 12345u;
            const auto noise = static_cast<unsigned char>(state >> 16);
            if (bits == 1)
                image.nqSetPixel(x, y, smooth ? ((x / 8 + y / 8) % 2) * 255 : noise & 1 ? 255 : 0);
            else if (bits == 8)
                image.nqSetPixel(x, y, smooth ? 40 + 4 * x + 2 * y : noise);
            else if (smooth)
                image.nqSetPixel(x, y, 30 + 5 * x, 200 - 3 * y, 90 + 2 * x + 2 * y);
            else
                image.nqSetPixel(x, y, noise, noise ^ 0x5a, static_cast<unsigned char>(state));
        }
    return image;
}

int codeOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const NQException& e) {
        return e.nqGetErrorID();
    }
    return 0;
}

std::string jpegInMemory(const NQImage& image) {
    int size = 0;
    unsigned char* block = jpg()->nqSaveImageToMem(size, image);
    std::string bytes(reinterpret_cast<const char*>(block), static_cast<std::size_t>(size));
    std::free(block);
    return bytes;
}

NQImage fromMemory(NQBaseImage* codec, const std::string& bytes) {
    return codec->nqLoadImage(bytes.data(), static_cast<int>(bytes.size()));
}

int largestDifference(const NQImage& a, const NQImage& b) {
    int largest = 0;
    for (std::size_t i = 0; i < a.nqGetImageDataSize(); ++i)
        largest = std::max(largest, std::abs(a.nqGetImageData()[i] - b.nqGetImageData()[i]));
    return largest;
}

// (codec name, bits per pixel of the saved image)
class PNGAndJPGRoundTrip : public ::testing::TestWithParam<std::tuple<std::string, int>> {};

TEST_P(PNGAndJPGRoundTrip, FileAndMemoryAgreeAndKeepPixelsAndResolution) {
    const auto [name, bits] = GetParam();
    const bool lossy = name == "JPEG";
    NQBaseImage* codec = lossy ? static_cast<NQBaseImage*>(jpg()) : png();
    const NQImage original = pattern(bits, lossy);
    nqtest::TempDir dir;
    const std::string path = dir.file(lossy ? "page.jpg" : "page.png");
    codec->nqSaveImage(path.c_str(), original);
    const std::string bytes = nqtest::readFile(path);
    if (lossy) {
        EXPECT_EQ(jpegInMemory(original), bytes);
    }

    const NQImage loaded = codec->nqLoadImage(path.c_str());
    EXPECT_EQ(nqtest::canonicalPixels(loaded), nqtest::canonicalPixels(fromMemory(codec, bytes)));
    // JPEG keeps binary pages as grey.
    const NQImage expected =
        lossy && bits == 1 ? NQBitsPerPixelConverter::nqBinary2Gray(original) : original;
    ASSERT_EQ(loaded.nqGetBitsPerPixel(), expected.nqGetBitsPerPixel());
    EXPECT_EQ(loaded.nqGetRowSize(), expected.nqGetRowSize());
    EXPECT_EQ(loaded.nqGetColorModel(), expected.nqGetColorModel());
    if (lossy) {
        EXPECT_LE(largestDifference(expected, loaded), kJpegMaxError);
    } else {
        EXPECT_EQ(nqtest::canonicalPixels(loaded), nqtest::canonicalPixels(expected));
    }
    EXPECT_FALSE(loaded.isImageCorrupted());
    EXPECT_NEAR(loaded.nqGetXResolution(), 300, 0.01);
    EXPECT_EQ(loaded.nqGetDataAlignment(), NQ_1BYTE_ALIGN);
    EXPECT_EQ(codec->nqLoadHeader(path.c_str()).nqGetRowSize(), loaded.nqGetRowSize());
}

INSTANTIATE_TEST_SUITE_P(EveryDepth, PNGAndJPGRoundTrip,
                         ::testing::Combine(::testing::Values("PNG", "JPEG"),
                                            ::testing::Values(1, 8, 24)));

TEST(PNGAndJPGImage, ResolutionOfFilesWithoutOrWithOtherUnits) {
    NQImage plain = pattern(8, true);
    plain.nqSetResolution(0, 0);
    nqtest::TempDir dir;
    png()->nqSaveImage(dir.file("p.png").c_str(), plain);
    EXPECT_EQ(png()->nqLoadImage(dir.file("p.png").c_str()).nqGetXResolution(), 0);
    // JFIF density: unit byte at 13, X and Y density at 14 and 16.
    std::string bytes = jpegInMemory(plain);
    bytes.replace(13, 5, std::string("\x02\x00\x64\x00\x64", 5));
    const NQImage perCentimetre = fromMemory(jpg(), bytes);
    EXPECT_NEAR(perCentimetre.nqGetYResolution(), 254, 1e-3);
    EXPECT_TRUE(perCentimetre.nqImageHead().nqGetResolutionInInches());
    bytes[13] = 0;
    const NQImage unitless = fromMemory(jpg(), bytes);
    EXPECT_FLOAT_EQ(unitless.nqGetXResolution(), 100);
    EXPECT_EQ(unitless.nqGetResolutionUnits(), NQImageHead::NQ_RES_NONE);
}

TEST(PNGAndJPGImage, OnlyPageOneExistsAndRefusedSavesWriteNothing) {
    nqtest::TempDir dir;
    const std::string path = dir.file("p.png");
    png()->nqSaveImage(path.c_str(), pattern(8, true));
    // PNG: page 2 of an image is code 8, of a header code 15, with one text.
    const char* beyond =
        "<NQPNGImage::nqLoadImageAtPage()> Image only contain 1 pages. User requesting page 2.";
    EXPECT_TRUE(
        throwsNQ([&] { png()->nqLoadImageAtPage(path.c_str(), 2); }, NQ_INVALID_CONTENT, beyond));
    EXPECT_TRUE(
        throwsNQ([&] { png()->nqLoadHeaderAtPage(path.c_str(), 2); }, NQ_INVALID_PAGE, beyond));
    EXPECT_TRUE(throwsNQ([&] { jpg()->nqLoadImageAtPage(path.c_str(), 2); }, NQ_INVALID_PAGE,
                         "<NQJPGImage::nqLoadImageAtPage()>: Image " + path +
                             " contains only 1 pages. User requesting page 2."));
    int size = 0;
    EXPECT_TRUE(throwsNQ([&] { png()->nqSaveImageToMem(size, pattern(8, true)); }, NQ_UNSUPPORTED,
                         "Saving to Memory Not Supported for PNG Yet"));
    EXPECT_THROW(png()->nqSaveImage(dir.file("e.png").c_str(), NQImage()), NQException);
    jpg()->nqSaveImage(nullptr, pattern(8, true));  // writes nothing, raises nothing
    EXPECT_FALSE(std::ifstream(dir.file("e.png")).good());
}

TEST(PNGAndJPGImage, TruncatedFilesFailCleanlyAndAlikeFromFileAndMemory) {
    nqtest::TempDir dir;
    for (NQBaseImage* codec : {static_cast<NQBaseImage*>(png()), static_cast<NQBaseImage*>(jpg())})
        for (int bits : {1, 24}) {
            const std::string path = dir.file("whole");
            codec->nqSaveImage(path.c_str(), pattern(bits, false, 61, 40));
            const std::string whole = nqtest::readFile(path);
            for (std::size_t length = 0; length < whole.size(); length += 5) {
                const std::string cut = whole.substr(0, length);
                nqtest::writeFile(path, cut);
                int fromFile = codeOf([&] { codec->nqLoadImage(path.c_str()); });
                EXPECT_EQ(fromFile, codeOf([&] { fromMemory(codec, cut); }))
                    << codec->getImageName() << " " << bits << " bits cut at " << length;
                // A JPEG cut after its tables loads with whatever was decoded, marked.
                if (fromFile == 0 && codec == jpg() && length > 0) {
                    EXPECT_TRUE(codec->nqLoadImage(path.c_str()).isImageCorrupted());
                }
            }
        }
    // libpng's own message reaches the log.
    png()->nqSaveImage(dir.file("p.png").c_str(), pattern(24, false));
    const std::string cut = nqtest::readFile(dir.file("p.png")).substr(0, 200);
    NQLogger::nqGetInstance()->nqSetLogSeverity(NQ_INFO);
    const std::string logged = nqtest::captureStdout([&] {
        EXPECT_TRUE(throwsNQ([&] { fromMemory(png(), cut); }, NQ_IO_ERROR,
                             "<NQPNGImage::nqProcessImage()> Error during image read."));
    });
    NQLogger::nqGetInstance()->nqSetLogSeverity(NQ_ERROR);
    EXPECT_NE(logged.find("libPNG Error Read Error\n"), std::string::npos) << logged;
}

TEST(PNGAndJPGImage, HugeClaimedSizeIsRefusedBeforeAllocating) {
    // PNG: IHDR width and height at 16 and 20, its CRC at 29.
    nqtest::TempDir dir;
    png()->nqSaveImage(dir.file("p.png").c_str(), pattern(8, true));
    std::string bytes = nqtest::readFile(dir.file("p.png"));
    bytes.replace(16, 8, std::string("\x00\x0f\x42\x3f\x00\x0f\x42\x3f", 8));  // 999999
    const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(bytes.data() + 12), 17);
    for (int i = 0; i < 4; ++i)
        bytes[29 + i] = static_cast<char>(crc >> (24 - 8 * i));
    EXPECT_EQ(png()->nqLoadHeader(bytes.data(), int(bytes.size())).nqGetWidth(), 999999);
    EXPECT_TRUE(throwsNQ([&] { fromMemory(png(), bytes); }, NQ_MEMORY_ERROR,
                         "Could not allocate enough memory for the uncompressed image"));
    // JPEG: the frame header's height and width follow FF C0, length and precision.
    std::string jpeg = jpegInMemory(pattern(24, true));
    jpeg.replace(jpeg.find("\xff\xc0") + 5, 4, std::string("\xfd\xe8\xfd\xe8", 4));  // 65000
    EXPECT_EQ(jpg()->nqLoadHeader(jpeg.data(), int(jpeg.size())).nqGetHeight(), 65000);
    EXPECT_TRUE(throwsNQ([&] { fromMemory(jpg(), jpeg); }, NQ_MEMORY_ERROR,
                         "<NQJPGImage::nqLoadImage()> Unable to allocate Memory"));
}

TEST(JPGImage, PaletteLoadsUseTheRequestedColoursAndCountEveryPixel) {
    const std::string colour = jpegInMemory(pattern(24, true, 64, 48));
    auto distinctColours = [](const NQImage& image) {
        std::set<long> colours;
        const unsigned char* p = image.nqGetImageData();
        for (std::size_t i = 0; i < image.nqGetImageDataSize(); i += 3)
            colours.insert(p[i] << 16 | p[i + 1] << 8 | p[i + 2]);
        return colours.size();
    };
    auto countedPixels = [] {
        long total = 0;
        for (int i = 0; i < jpg()->nqGetActualColors(); ++i)
            total += jpg()->nqGetPalette()[i].count;
        return total;
    };
    jpg()->nqAllocatePalette(16);
    EXPECT_LE(distinctColours(fromMemory(jpg(), colour)), 16u);
    EXPECT_LE(jpg()->nqGetActualColors(), 16);
    EXPECT_EQ(countedPixels(), 64 * 48);
    EXPECT_EQ(fromMemory(jpg(), jpegInMemory(pattern(8, true, 64, 48))).nqGetBitsPerPixel(), 8);
    EXPECT_EQ(jpg()->nqGetActualColors(), 256);  // grey pages count their levels
    EXPECT_EQ(countedPixels(), 64 * 48);
    jpg()->nqFreePalette();
    EXPECT_GT(distinctColours(fromMemory(jpg(), colour)), 16u);
}

}  // namespace
