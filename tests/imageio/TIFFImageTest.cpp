// The TIFF codec: round trips, the fields it writes and reads, pages, refusals
// and hostile input. Decoding of files from other writers (every photometric
// path, 16-bit and alpha samples, palettes, YCbCr) is checked by the corpus.

#include <gtest/gtest.h>

#include <tiffio.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "image/NQException.h"
#include "image/NQImage.h"
#include "image/NQLogger.h"
#include "imageio/NQTIFFImage.h"
#include "imageio/TiffBuilder.h"
#include "support/TestSupport.h"
#include "support/TiffWriter.h"

namespace {

using nqtest::throwsNQ;
using nqtest::TiffBuilder;

NQTIFFImage* codec() {
    return NQTIFFImage::createImageReader();
}

// Pseudo-random pixels with one blank row; odd widths leave unused bits.
NQImage pattern(int bits, int width = 37, int height = 23) {
    NQImage image;
    image.nqSetImageHead(width, height, bits, 300, 300, NQImageHead::NQ_RES_INCH);
    image.nqAllocImageData();
    unsigned state = 12345;
    for (std::size_t i = image.nqGetRowSize(); i < image.nqGetImageDataSize(); ++i) {
        state = state * 1103515245u + 12345u;
        image.nqGetImageData()[i] = static_cast<unsigned char>(state >> 16);
    }
    return image;
}

// Equality of every pixel, ignoring the unused bits of 1-bit rows.
::testing::AssertionResult samePixels(const NQImage& a, const NQImage& b) {
    if (a.nqGetWidth() != b.nqGetWidth() || a.nqGetHeight() != b.nqGetHeight() ||
        a.nqGetBitsPerPixel() != b.nqGetBitsPerPixel())
        return ::testing::AssertionFailure() << "geometry or depth differs";
    const int perRow = a.nqGetBitsPerPixel() == 1 ? a.nqGetWidth() : a.nqGetRowSize();
    for (int y = 0; y < a.nqGetHeight(); ++y)
        for (int x = 0; x < perRow; ++x) {
            const bool same =
                a.nqGetBitsPerPixel() == 1
                    ? a.nqGetPixelValue(x, y) == b.nqGetPixelValue(x, y)
                    : a.nqGetImageData()[y * perRow + x] == b.nqGetImageData()[y * perRow + x];
            if (!same)
                return ::testing::AssertionFailure() << "differs at " << x << "," << y;
        }
    return ::testing::AssertionSuccess();
}

std::string saveToMemory(const NQImage& image, int compression, bool minIsWhite) {
    int size = 0;
    unsigned char* block = codec()->nqSaveImageToMem(size, image, compression, minIsWhite);
    std::string bytes(reinterpret_cast<const char*>(block), static_cast<std::size_t>(size));
    std::free(block);
    return bytes;
}

NQImage loadFromMemory(const std::string& bytes, int page = 1) {
    return codec()->nqLoadImageAtPage(bytes.data(), static_cast<int>(bytes.size()), page);
}

// Code of the NQException that `action` throws, 0 when it throws none.
int codeOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const NQException& e) {
        return e.nqGetErrorID();
    }
    return 0;
}

// (bits, compression, min-is-white)
class TIFFRoundTrip : public ::testing::TestWithParam<std::tuple<int, int, bool>> {};

TEST_P(TIFFRoundTrip, FileAndMemoryPreserveEveryPixelAndAgreeByteForByte) {
    const auto [bits, compression, minIsWhite] = GetParam();
    const NQImage original = pattern(bits);
    nqtest::TempDir dir;
    const std::string path = dir.file("page.tif");
    codec()->nqSaveImage(path.c_str(), original, compression, minIsWhite);
    const std::string inMemory = saveToMemory(original, compression, minIsWhite);
    EXPECT_EQ(nqtest::readFile(path), inMemory);

    const NQImage fromFile = codec()->nqLoadImage(path.c_str());
    EXPECT_TRUE(samePixels(original, fromFile));
    EXPECT_TRUE(samePixels(original, loadFromMemory(inMemory)));
    EXPECT_EQ(fromFile.nqGetColorModel(), bits == 1   ? NQ_BINARY
                                          : bits == 8 ? NQ_GRAY
                                                      : NQ_RGBCOLOR);
    EXPECT_EQ(fromFile.nqGetDataAlignment(), NQ_1BYTE_ALIGN);
    EXPECT_FLOAT_EQ(fromFile.nqGetXResolution(), 300);
}

INSTANTIATE_TEST_SUITE_P(Binary, TIFFRoundTrip,
                         ::testing::Combine(::testing::Values(1),
                                            ::testing::Values(COMPRESSION_NONE,
                                                              COMPRESSION_CCITTFAX3,
                                                              COMPRESSION_CCITTFAX4),
                                            ::testing::Bool()));
INSTANTIATE_TEST_SUITE_P(GreyAndColour, TIFFRoundTrip,
                         ::testing::Combine(::testing::Values(8, 24),
                                            ::testing::Values(COMPRESSION_NONE, COMPRESSION_LZW,
                                                              COMPRESSION_PACKBITS,
                                                              COMPRESSION_ADOBE_DEFLATE),
                                            ::testing::Bool()));

TEST(TIFFImage, DefaultSaveIsMinIsWhiteGroup4OrPackBitsWithInvertedBytes) {
    for (int bits : {1, 8}) {
        const NQImage image = pattern(bits, 16, 4);
        const std::string bytes = saveToMemory(image, bits == 1 ? 4 : 32773, true);
        nqtest::TempDir dir;
        int size = 0;
        unsigned char* block = codec()->nqSaveImageToMem(size, image);
        EXPECT_EQ(std::string(reinterpret_cast<char*>(block), size), bytes);
        std::free(block);
        nqtest::writeFile(dir.file("d.tif"), bytes);
        TIFF* tif = TIFFOpen(dir.file("d.tif").c_str(), "r");
        std::uint16_t compression = 0, photometric = 9;
        TIFFGetField(tif, TIFFTAG_COMPRESSION, &compression);
        TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric);
        EXPECT_EQ(compression, bits == 1 ? COMPRESSION_CCITTFAX4 : COMPRESSION_PACKBITS);
        EXPECT_EQ(photometric, PHOTOMETRIC_MINISWHITE);
        std::vector<unsigned char> raw(image.nqGetImageDataSize());
        TIFFReadEncodedStrip(tif, 0, raw.data(), static_cast<tmsize_t>(raw.size()));
        TIFFClose(tif);
        for (std::size_t i = 0; i < raw.size(); ++i)
            ASSERT_EQ(raw[i], static_cast<unsigned char>(~image.nqGetImageData()[i])) << i;
    }
}

TEST(TIFFImage, MinIsWhitePageFromAnotherWriterKeepsBlackBlack) {
    nqtest::TempDir dir;
    TIFF* tif = TIFFOpen(dir.file("w.tif").c_str(), "w");
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, 8);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, 1);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 1);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX4);
    unsigned char row = 0x0f;  // four white pixels, then four black ones
    TIFFWriteEncodedStrip(tif, 0, &row, 1);
    TIFFClose(tif);
    const NQImage image = codec()->nqLoadImage(dir.file("w.tif").c_str());
    EXPECT_EQ(image.nqGetPixelValue(3, 0), 255);
    EXPECT_EQ(image.nqGetPixelValue(4, 0), 0);
}

TEST(TIFFImage, TextFieldsAndResolutionTravelWithTheImage) {
    NQImage image = pattern(8, 5, 5);
    const char* names[] = {"artist",       "hostcomputer",  "software", "imagedescription",
                           "scanner_make", "scanner_model", "datetime", "copyright"};
    for (const char* name : names)
        image.nqSetTag(name, std::string("v-") + name);
    image.nqSetTag("unrelated", "x");
    image.nqSetResolution(0, 0);
    image.nqSetResolutionUnits(NQImageHead::NQ_RES_NONE);
    const NQImage loaded = loadFromMemory(saveToMemory(image, COMPRESSION_NONE, false));
    for (const char* name : names)
        EXPECT_EQ(loaded.nqGetTag(name), std::string("v-") + name);
    EXPECT_FALSE(loaded.nqIsTagSet("unrelated"));
    EXPECT_FLOAT_EQ(loaded.nqGetXResolution(), 200);  // 0 is written as 200
    EXPECT_FLOAT_EQ(loaded.nqGetYResolution(), 200);
    EXPECT_EQ(loaded.nqGetResolutionUnits(), NQImageHead::NQ_RES_NONE);
}

TEST(TIFFImage, ResolutionUnitsOfOtherFiles) {
    // unit field (0: none), resolution read, per inch
    const std::tuple<int, float, bool> cases[] = {
        {3, 254.f, true}, {2, 100.f, true}, {1, 100.f, false}, {0, 100.f, false}};
    for (const auto& [unit, expected, perInch] : cases) {
        TiffBuilder builder = TiffBuilder::basic(2, 1, 8, 1, 1);
        builder.rationalField(282, 100, 1).rationalField(283, 100, 1);
        if (unit != 0)
            builder.shortField(296, static_cast<std::uint16_t>(unit));
        const std::string bytes = builder.build({"ab"});
        const NQImageHead head =
            codec()->nqLoadHeader(bytes.data(), static_cast<int>(bytes.size()));
        EXPECT_NEAR(head.nqGetYResolution(), expected, 1e-3) << unit;
        EXPECT_EQ(head.nqGetResolutionInInches(), perInch) << unit;
    }
    const std::string bare = TiffBuilder::basic(2, 1, 8, 1, 1).build({"ab"});
    EXPECT_FLOAT_EQ(loadFromMemory(bare).nqGetXResolution(), 200);
}

TEST(TIFFImage, PaletteIndexIsTheFirstSampleAtItsOwnWidth) {
    // 4-bit indices 0..15 over two rows of 8; entry i is grey 17 i.
    std::vector<std::uint16_t> map(3 * 16);
    for (int i = 0; i < 48; ++i)
        map[i] = static_cast<std::uint16_t>(257 * 17 * (i % 16));
    const NQImage four = loadFromMemory(TiffBuilder::basic(8, 2, 4, 1, 3)
                                            .shortField(320, map)
                                            .build({"\x01\x23\x45\x67\x89\xab\xcd\xef"}));
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(four.nqGetImageData()[3 * i], 17 * i) << i;

    // 3-bit indices 0..7 straddle byte boundaries.
    std::vector<std::uint16_t> map3(3 * 8);
    for (int i = 0; i < 24; ++i)
        map3[i] = static_cast<std::uint16_t>(257 * 30 * (i % 8));
    const NQImage three = loadFromMemory(
        TiffBuilder::basic(8, 1, 3, 1, 3).shortField(320, map3).build({"\x05\x39\x77"}));
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(three.nqGetImageData()[3 * i], 30 * i) << i;

    // An 8-bit index followed by an alpha sample: the alpha byte is skipped.
    std::vector<std::uint16_t> map8(3 * 256);
    for (int i = 0; i < 3 * 256; ++i)
        map8[i] = static_cast<std::uint16_t>(257 * (i % 256));
    const NQImage withAlpha = loadFromMemory(TiffBuilder::basic(3, 1, 8, 2, 3)
                                                 .shortField(320, map8)
                                                 .build({"\x0a\xff\x14\xff\x1e\xff"}));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(withAlpha.nqGetImageData()), 9),
              "\x0a\x0a\x0a\x14\x14\x14\x1e\x1e\x1e");
}

TEST(TIFFImage, OddPagesAreRefusedOrReadAsLibtiffDecides) {
    const std::string rgb12 = TiffBuilder::basic(2, 2, 4, 3, 2).build({std::string(8, '\0')});
    EXPECT_TRUE(throwsNQ([&] { loadFromMemory(rgb12); }, NQ_NOT_IMPLEMENTED,
                         "<NQTIFFImage::nqLoadImage()> Unsupported tiff type"));
    // libtiff 4 reads an 8-bit palette page without a colour map as grey and
    // will not open one of fewer bits, so the colour-map refusal is unreachable.
    EXPECT_EQ(loadFromMemory(TiffBuilder::basic(2, 2, 8, 1, 3).build({"abcd"})).nqGetBitsPerPixel(),
              8);
    EXPECT_EQ(codeOf([] { loadFromMemory(TiffBuilder::basic(2, 2, 4, 1, 3).build({"ab"})); }),
              NQ_UNKNOWN_FORMAT);
    // Without ImageWidth libtiff will not open the file at all.
    const std::string noWidth = TiffBuilder::basic(4, 4, 8, 1, 1).removeField(256).build({"abcd"});
    EXPECT_TRUE(throwsNQ([&] { loadFromMemory(noWidth); }, NQ_UNKNOWN_FORMAT,
                         "<NQTIFFImage::nqLoadImageAtPage()> Could not open incoming image"));
    EXPECT_TRUE(throwsNQ([&] { codec()->nqGetTotalPages(noWidth.data(), int(noWidth.size())); },
                         NQ_UNKNOWN_FORMAT,
                         "<NQTIFFImage::nqGetTotalPages()> Could not open incoming image"));
}

TEST(TIFFImage, RecognisesBothByteOrdersWithEitherVersionByteOrder) {
    for (const char* head : {"II*\0", "II\0*", "MM\0*", "MM*\0"})
        EXPECT_TRUE(codec()->nqSupportImageBuffer((std::string(head, 4) + "1234").data(), 8));
    EXPECT_FALSE(
        codec()->nqSupportImageBuffer("IM*\0"
                                      "1234",
                                      8));
    EXPECT_FALSE(
        codec()->nqSupportImageBuffer("II+\0"
                                      "1234",
                                      8));  // BigTIFF
    EXPECT_FALSE(
        codec()->nqSupportImageBuffer("II*\0"
                                      "123",
                                      7));

    nqtest::TempDir dir;
    nqtest::writeFile(dir.file("three"), std::string("II*", 3));
    nqtest::writeFile(dir.file("four"), std::string("II*\0", 4));
    EXPECT_FALSE(codec()->nqSupportImageFile(dir.file("three").c_str()));
    EXPECT_TRUE(codec()->nqSupportImageFile(dir.file("four").c_str()));
    const std::string missing = dir.file("missing.tif");
    const std::string said = nqtest::captureStdout([&] {
        EXPECT_TRUE(throwsNQ([&] { codec()->nqSupportImageFile(missing.c_str()); },
                             NQ_FILE_OPEN_ERROR,
                             "<NQTIFFImage::nqSupportImageFile()> Can not open file!"));
    });
    EXPECT_EQ(said, "Can't open " + missing + "\n");
}

TEST(TIFFImage, PagesAreCountedAndAddressedFromOne) {
    nqtest::TempDir dir;
    const std::string path = dir.file("three.tif");
    std::vector<NQImage> pages;
    for (int page = 1; page <= 3; ++page) {
        pages.emplace_back(10 * page, 1, NQImageHead::NQ_8BIT);
        for (int x = 0; x < 10 * page; ++x)
            pages.back().nqSetPixel(x, 0, static_cast<unsigned char>(page));
    }
    nqtest::writeTiffPages(path, pages);
    const std::string bytes = nqtest::readFile(path);
    EXPECT_EQ(codec()->nqGetTotalPages(path.c_str()), 3);
    EXPECT_EQ(codec()->nqGetTotalPages(bytes.data(), static_cast<int>(bytes.size())), 3);
    EXPECT_EQ(codec()->nqLoadImageAtPage(path.c_str(), 2).nqGetImageData()[0], 2);
    EXPECT_EQ(loadFromMemory(bytes, 3).nqGetWidth(), 30);
    EXPECT_EQ(codec()->nqLoadHeaderAtPage(path.c_str(), 3).nqGetWidth(), 30);

    const char* zero = "Page number can't be 0 (zero).";
    EXPECT_TRUE(throwsNQ([&] { codec()->nqLoadImageAtPage(path.c_str(), 0); }, NQ_INVALID_PAGE,
                         std::string("<NQTIFFImage::nqLoadImageAtPage()> ") + zero));
    EXPECT_TRUE(throwsNQ([&] { codec()->nqLoadHeaderAtPage(bytes.data(), int(bytes.size()), -1); },
                         NQ_INVALID_PAGE,
                         std::string("<NQTIFFImage::nqLoadHeaderAtPage()> ") + zero));
    EXPECT_TRUE(throwsNQ([&] { loadFromMemory(bytes, 4); }, NQ_INVALID_PAGE,
                         "<NQTIFFImage::nqLoadImage()> Invalid page number"));

    // A handle that was moved on still counts pages from the first directory.
    TIFF* in = TIFFOpen(path.c_str(), "r");
    EXPECT_EQ(codec()->nqLoadHeader(in, 3).nqGetWidth(), 30);
    EXPECT_EQ(codec()->nqLoadImage(in, 2).nqGetWidth(), 20);
    TIFFClose(in);
}

TEST(TIFFImage, WangFilesAreRecognisedAndCountedButNotLoaded) {
    const std::string wang = TiffBuilder::basic(4, 2, 8, 1, 1).build({"xWANGabc"});
    const int size = static_cast<int>(wang.size());
    nqtest::TempDir dir;
    nqtest::writeFile(dir.file("wang.tif"), wang);
    const std::string path = dir.file("wang.tif");
    EXPECT_TRUE(codec()->nqSupportImageFile(path.c_str()));
    EXPECT_EQ(codec()->nqGetTotalPages(path.c_str()), 1);
    const char* image = "<NQTIFFImage::nqLoadImageAtPage()> WANG TIFFs not supported";
    const char* header = "<NQTIFFImage::nqLoadHeaderAtPage()> WANG TIFFs not supported";
    EXPECT_TRUE(throwsNQ([&] { codec()->nqLoadImage(path.c_str()); }, NQ_INVALID_CONTENT, image));
    EXPECT_TRUE(
        throwsNQ([&] { codec()->nqLoadImage(wang.data(), size); }, NQ_INVALID_CONTENT, image));
    EXPECT_TRUE(throwsNQ([&] { codec()->nqLoadHeader(path.c_str()); }, NQ_INVALID_CONTENT, header));
    // After a zero byte the marker is not seen.
    const std::string hidden =
        TiffBuilder::basic(4, 2, 8, 1, 1).build({std::string("x\0WANGab", 8)});
    EXPECT_EQ(loadFromMemory(hidden).nqGetWidth(), 4);
}

TEST(TIFFImage, RefusedSavesLeaveAnExistingFileUntouched) {
    nqtest::TempDir dir;
    const std::string path = dir.file("precious.tif");
    nqtest::writeFile(path, "precious");
    EXPECT_TRUE(
        throwsNQ([&] { codec()->nqSaveImage(path.c_str(), pattern(1), COMPRESSION_LZW, true); },
                 NQ_INVALID_CONTENT,
                 "<NQTIFFImage::nqSaveImage()> Requested compression type not supported "
                 "for binary tiff images"));
    EXPECT_TRUE(throwsNQ([&] { codec()->nqSaveImage(path.c_str(), pattern(8), 3, true); },
                         NQ_INVALID_CONTENT,
                         "<NQTIFFImage::nqSaveImage()> Requested compression type not supported "
                         "for grayscale and color tiff images"));
    // libtiff would write a file without pixel data for a number it has no
    // encoder for, and report success.
    EXPECT_TRUE(throwsNQ([&] { codec()->nqSaveImage(path.c_str(), pattern(8), 12345, true); },
                         NQ_INVALID_CONTENT,
                         "Requested compression type not supported by libtiff"));
    EXPECT_TRUE(throwsNQ([&] { codec()->nqSaveImage(path.c_str(), NQImage()); }, NQ_NULL_DATA,
                         "Image Data is NULL!"));
    EXPECT_EQ(nqtest::readFile(path), "precious");
    EXPECT_TRUE(
        throwsNQ([&] { codec()->nqSaveImage(dir.file("no/dir/x.tif").c_str(), pattern(8)); },
                 NQ_IO_ERROR, "<NQTIFFImage::nqSaveImage()> Could not open for writing"));
}

TEST(TIFFImage, HugeClaimedSizeIsRefusedBeforeAllocating) {
    for (std::uint16_t photometric : {0, 1, 2, 3}) {
        TiffBuilder builder = TiffBuilder::basic(100000, 100000, photometric == 0 ? 1 : 8,
                                                 photometric == 2 ? 3 : 1, photometric);
        if (photometric == 3)
            builder.shortField(320, std::vector<std::uint16_t>(3 * 256));
        const std::string bytes = builder.build({std::string(16, '\0')});
        EXPECT_EQ(codec()->nqLoadHeader(bytes.data(), int(bytes.size())).nqGetWidth(), 100000);
        EXPECT_TRUE(throwsNQ([&] { loadFromMemory(bytes); }, NQ_MEMORY_ERROR,
                             photometric == 3 ? "palette_raw_data image" : "uncompressed image"))
            << photometric;
    }
}

TEST(TIFFImage, StripThatDoesNotDecodeIsAReadErrorFromFileAndMemory) {
    nqtest::TempDir dir;
    const std::string undecodable[] = {
        TiffBuilder::basic(8, 8, 8, 1, 1).shortField(259, 8).build({std::string(64, 'Z')}),
        TiffBuilder::basic(8, 8, 8, 1, 1).shortField(259, 5).build({std::string(64, 'Z')}),
        // The strip byte count claims more bytes than the file holds.
        TiffBuilder::basic(64, 64, 8, 1, 1).build({"x"}, {64 * 64}),
    };
    for (const std::string& bytes : undecodable) {
        nqtest::writeFile(dir.file("bad.tif"), bytes);
        const char* text = "<NQTIFFImage::nqLoadImage()> Read error on input strip";
        EXPECT_TRUE(throwsNQ([&] { loadFromMemory(bytes); }, NQ_UNKNOWN_FORMAT, text));
        EXPECT_TRUE(throwsNQ([&] { codec()->nqLoadImage(dir.file("bad.tif").c_str()); },
                             NQ_UNKNOWN_FORMAT, text));
    }
}

TEST(TIFFImage, TruncatedFilesFailCleanlyAndAlikeFromFileAndMemory) {
    nqtest::TempDir dir;
    const std::string path = dir.file("cut.tif");
    for (int bits : {1, 8, 24}) {
        const std::string whole = saveToMemory(pattern(bits, 61, 40), bits == 1 ? 4 : 5, true);
        for (std::size_t length = 0; length < whole.size(); length += 3) {
            const std::string cut = whole.substr(0, length);
            nqtest::writeFile(path, cut);
            EXPECT_EQ(codeOf([&] { loadFromMemory(cut); }),
                      codeOf([&] { codec()->nqLoadImage(path.c_str()); }))
                << bits << " bits cut at " << length;
        }
    }
}

TEST(TIFFImage, LibtiffMessagesGoToTheLogNotToTheStandardStreams) {
    const std::string bytes =
        TiffBuilder::basic(8, 8, 8, 1, 1).shortField(259, 8).build({std::string(64, 'Z')});
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(nqtest::captureStdout([&] { EXPECT_THROW(loadFromMemory(bytes), NQException); }), "");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    NQLogger::nqGetInstance()->nqSetLogSeverity(NQ_INFO);
    const std::string logged =
        nqtest::captureStdout([&] { EXPECT_THROW(loadFromMemory(bytes), NQException); });
    NQLogger::nqGetInstance()->nqSetLogSeverity(NQ_ERROR);
    EXPECT_NE(logged.find("libtiff: Error in ZIPDecode\n"), std::string::npos) << logged;
}

TEST(TIFFImage, LibtiffTextReachesTheDebugLogWithoutTouchingTheProcessWideHandlers) {
    const std::string bytes =
        TiffBuilder::basic(8, 8, 8, 1, 1).shortField(259, 8).build({std::string(64, 'Z')});
    nqtest::TempDir dir;
    nqtest::writeFile(dir.file("bad.tif"), bytes);
    const TIFFErrorHandler errors = TIFFSetErrorHandler(nullptr);
    const TIFFErrorHandler warnings = TIFFSetWarningHandler(nullptr);
    TIFFSetErrorHandler(errors);
    TIFFSetWarningHandler(warnings);

    NQLogger::nqGetInstance()->nqSetLogSeverity(NQ_DEBUG);
    const std::string logged = nqtest::captureStdout([&] {
        EXPECT_THROW(codec()->nqLoadImage(dir.file("bad.tif").c_str()), NQException);
        EXPECT_THROW(loadFromMemory(bytes), NQException);
    });
    NQLogger::nqGetInstance()->nqSetLogSeverity(NQ_ERROR);
    // Both the one-line note and libtiff's own text, for the named file and the buffer.
    EXPECT_NE(logged.find("libtiff: Error in ZIPDecode\nlibtiff: ZIPDecode: "), std::string::npos)
        << logged;
    EXPECT_NE(logged.rfind("libtiff: ZIPDecode: "), logged.find("libtiff: ZIPDecode: "));
    EXPECT_EQ(TIFFSetErrorHandler(errors), errors);
    EXPECT_EQ(TIFFSetWarningHandler(warnings), warnings);
}

}  // namespace
