// The TIFF codec: round trips over depth, compression and storage, the fields
// it reads and writes, page addressing, refusals, and hostile input.

#include <gtest/gtest.h>

#include <tiffio.h>

#include <cstdlib>
#include <cstring>
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
#include "support/TestSupport.h"
#include "imageio/TiffBuilder.h"

namespace {

NQTIFFImage* codec() { return NQTIFFImage::createImageReader(); }

// A deterministic non-trivial picture of the given depth; odd widths leave
// unused bits in the last byte of 1-bit rows.
NQImage pattern(int bits, int width = 37, int height = 23) {
    NQImage image;
    image.nqSetImageHead(width, height, bits, 300, 300, NQImageHead::NQ_RES_INCH);
    image.nqAllocImageData();
    unsigned char* p = image.nqGetImageData();
    unsigned state = 12345;
    for (std::size_t i = 0; i < image.nqGetImageDataSize(); ++i) {
        state = state * 1103515245u + 12345u;
        p[i] = static_cast<unsigned char>(state >> 16);
    }
    // Some long runs too, so that run-length coders see both kinds of data.
    for (int x = 0; x < image.nqGetRowSize(); ++x) p[x] = 0;
    return image;
}

// Pixel equality that ignores the bits beyond the width of 1-bit rows.
::testing::AssertionResult samePixels(const NQImage& a, const NQImage& b) {
    if (a.nqGetWidth() != b.nqGetWidth() || a.nqGetHeight() != b.nqGetHeight() ||
        a.nqGetBitsPerPixel() != b.nqGetBitsPerPixel())
        return ::testing::AssertionFailure() << "geometry or depth differs";
    for (int y = 0; y < a.nqGetHeight(); ++y) {
        for (int x = 0; x < a.nqGetWidth(); ++x) {
            if (a.nqGetBitsPerPixel() == 24) {
                unsigned char r1, g1, b1, r2, g2, b2;
                a.nqGetPixel(x, y, r1, g1, b1);
                b.nqGetPixel(x, y, r2, g2, b2);
                if (r1 != r2 || g1 != g2 || b1 != b2)
                    return ::testing::AssertionFailure() << "pixel " << x << "," << y;
            } else if (a.nqGetPixelValue(x, y) != b.nqGetPixelValue(x, y)) {
                return ::testing::AssertionFailure() << "pixel " << x << "," << y;
            }
        }
    }
    return ::testing::AssertionSuccess();
}

struct FreeDeleter {
    void operator()(unsigned char* p) const { std::free(p); }
};
using MallocBlock = std::unique_ptr<unsigned char, FreeDeleter>;

std::string saveToMemory(const NQImage& image, int compression, bool minIsWhite) {
    int size = 0;
    MallocBlock block(codec()->nqSaveImageToMem(size, image, compression, minIsWhite));
    return std::string(reinterpret_cast<const char*>(block.get()), static_cast<std::size_t>(size));
}

NQImage loadFromMemory(const std::string& bytes, int page = 1) {
    return codec()->nqLoadImageAtPage(bytes.data(), static_cast<int>(bytes.size()), page);
}

// Writes a file with libtiff itself; `write` sets the fields and the data of
// each page (returning false ends the file).
std::string writeWithLibtiff(const std::string& path, const std::function<void(TIFF*)>& write) {
    TIFF* tif = TIFFOpen(path.c_str(), "w");
    EXPECT_NE(tif, nullptr);
    write(tif);
    TIFFClose(tif);
    return path;
}

// ---- round trips ----------------------------------------------------------------

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
    const NQImage fromMemory = loadFromMemory(inMemory);
    EXPECT_TRUE(samePixels(original, fromFile));
    EXPECT_TRUE(samePixels(original, fromMemory));
    EXPECT_EQ(fromFile.nqGetColorModel(), bits == 1 ? NQ_BINARY : bits == 8 ? NQ_GRAY : NQ_RGBCOLOR);
    EXPECT_EQ(fromFile.nqGetChannels(), bits == 24 ? 3 : 1);
    EXPECT_EQ(fromFile.nqGetDataAlignment(), NQ_1BYTE_ALIGN);
    EXPECT_FLOAT_EQ(fromFile.nqGetXResolution(), 300);
}

INSTANTIATE_TEST_SUITE_P(
    Binary, TIFFRoundTrip,
    ::testing::Combine(::testing::Values(1),
                       ::testing::Values(COMPRESSION_NONE, COMPRESSION_CCITTRLE,
                                         COMPRESSION_CCITTFAX3, COMPRESSION_CCITTFAX4),
                       ::testing::Bool()));
INSTANTIATE_TEST_SUITE_P(
    GreyAndColour, TIFFRoundTrip,
    ::testing::Combine(::testing::Values(8, 24),
                       ::testing::Values(COMPRESSION_NONE, COMPRESSION_LZW, COMPRESSION_PACKBITS,
                                         COMPRESSION_ADOBE_DEFLATE),
                       ::testing::Bool()));

TEST(TIFFImage, DefaultSaveWritesGroup4OrPackBitsAsMinIsWhiteWithInvertedBytes) {
    nqtest::TempDir dir;
    for (int bits : {1, 8}) {
        const NQImage image = pattern(bits, 16, 4);
        const std::string path = dir.file("default" + std::to_string(bits) + ".tif");
        codec()->nqSaveImage(path.c_str(), image);
        TIFF* tif = TIFFOpen(path.c_str(), "r");
        ASSERT_NE(tif, nullptr);
        std::uint16_t compression = 0, photometric = 9;
        TIFFGetField(tif, TIFFTAG_COMPRESSION, &compression);
        TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric);
        EXPECT_EQ(compression, bits == 1 ? COMPRESSION_CCITTFAX4 : COMPRESSION_PACKBITS);
        EXPECT_EQ(photometric, PHOTOMETRIC_MINISWHITE);
        std::vector<unsigned char> raw(image.nqGetImageDataSize());
        ASSERT_EQ(TIFFReadEncodedStrip(tif, 0, raw.data(), static_cast<tmsize_t>(raw.size())),
                  static_cast<tmsize_t>(raw.size()));
        TIFFClose(tif);
        for (std::size_t i = 0; i < raw.size(); ++i)
            ASSERT_EQ(raw[i], static_cast<unsigned char>(~image.nqGetImageData()[i])) << i;
        EXPECT_TRUE(samePixels(image, codec()->nqLoadImage(path.c_str())));
    }
}

TEST(TIFFImage, MinIsWhitePageFromAnotherWriterKeepsBlackBlack) {
    nqtest::TempDir dir;
    // In a min-is-white page a set bit is black: 0x0f is four white pixels,
    // then four black ones.
    const std::string path = writeWithLibtiff(dir.file("miniswhite.tif"), [](TIFF* tif) {
        TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, 8);
        TIFFSetField(tif, TIFFTAG_IMAGELENGTH, 2);
        TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 1);
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
        TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX4);
        unsigned char rows[2] = {0x0f, 0x0f};
        TIFFWriteEncodedStrip(tif, 0, rows, 2);
    });
    const NQImage image = codec()->nqLoadImage(path.c_str());
    EXPECT_EQ(image.nqGetPixelValue(0, 0), 255);
    EXPECT_EQ(image.nqGetPixelValue(3, 1), 255);
    EXPECT_EQ(image.nqGetPixelValue(4, 0), 0);
    EXPECT_EQ(image.nqGetPixelValue(7, 1), 0);
    // Saved again with the default (min-is-white) and loaded: the same pixels.
    EXPECT_TRUE(samePixels(image, loadFromMemory(saveToMemory(image, 4, true))));
}

// ---- fields ---------------------------------------------------------------------

TEST(TIFFImage, TextFieldsTravelAsImageTags) {
    NQImage image = pattern(8, 5, 5);
    const char* names[] = {"artist",       "hostcomputer",  "software", "imagedescription",
                           "scanner_make", "scanner_model", "datetime", "copyright"};
    for (const char* name : names) image.nqSetTag(name, std::string("value of ") + name);
    image.nqSetTag("unrelated", "not a TIFF field");
    const NQImage loaded = loadFromMemory(saveToMemory(image, COMPRESSION_NONE, false));
    for (const char* name : names) EXPECT_EQ(loaded.nqGetTag(name), std::string("value of ") + name);
    EXPECT_FALSE(loaded.nqIsTagSet("unrelated"));
}

TEST(TIFFImage, ResolutionIsWrittenAs200WhenZeroAndUnitNoneUnlessInches) {
    NQImage image = pattern(1, 9, 9);
    image.nqSetResolution(0, 0);
    image.nqSetResolutionUnits(NQImageHead::NQ_RES_NONE);
    const NQImageHead head =
        codec()->nqLoadHeader(saveToMemory(image, 4, true).data(),
                              static_cast<int>(saveToMemory(image, 4, true).size()));
    EXPECT_FLOAT_EQ(head.nqGetXResolution(), 200);
    EXPECT_FLOAT_EQ(head.nqGetYResolution(), 200);
    EXPECT_EQ(head.nqGetResolutionUnits(), NQImageHead::NQ_RES_NONE);
    EXPECT_FALSE(head.nqGetResolutionInInches());
}

TEST(TIFFImage, ResolutionUnitsAreReadAsWritten) {
    // (unit field or 0 for none, expected resolution, per inch)
    const std::tuple<int, float, bool> cases[] = {
        {3, 254.f, true}, {2, 100.f, true}, {1, 100.f, false}, {0, 100.f, false}};
    for (const auto& [unit, expected, perInch] : cases) {
        SCOPED_TRACE(unit);
        nqtest::TiffBuilder builder = nqtest::TiffBuilder::basic(2, 1, 8, 1, 1);
        builder.rationalField(282, 100, 1).rationalField(283, 100, 1);
        if (unit != 0) builder.shortField(296, static_cast<std::uint16_t>(unit));
        const std::string bytes = builder.build({std::string(2, '\x10')});
        const NQImageHead head = codec()->nqLoadHeader(bytes.data(), static_cast<int>(bytes.size()));
        EXPECT_NEAR(head.nqGetXResolution(), expected, 1e-3);
        EXPECT_NEAR(head.nqGetYResolution(), expected, 1e-3);
        EXPECT_EQ(head.nqGetResolutionInInches(), perInch);
        EXPECT_EQ(head.nqGetResolutionUnits(),
                  perInch ? NQImageHead::NQ_RES_INCH : NQImageHead::NQ_RES_NONE);
    }
    const std::string noResolution = nqtest::TiffBuilder::basic(2, 1, 8, 1, 1).build({"ab"});
    const NQImageHead head =
        codec()->nqLoadHeader(noResolution.data(), static_cast<int>(noResolution.size()));
    EXPECT_FLOAT_EQ(head.nqGetXResolution(), 200);
    EXPECT_FLOAT_EQ(head.nqGetYResolution(), 200);
}

// ---- photometric paths ----------------------------------------------------------

TEST(TIFFImage, ColourPathsDropAlphaAndHighBytes) {
    nqtest::TempDir dir;
    // A 48-bit RGB page and an RGBA page, each 2 x 1.
    const std::string rgb48 = writeWithLibtiff(dir.file("rgb48.tif"), [](TIFF* tif) {
        TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, 2);
        TIFFSetField(tif, TIFFTAG_IMAGELENGTH, 1);
        TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 16);
        TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 3);
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
        TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        // Multiples of 257, which scale to 8 bits without rounding.
        std::uint16_t samples[6] = {0xffff, 0x0000, 0x8080, 0x1212, 0xfefe, 0x0101};
        TIFFWriteEncodedStrip(tif, 0, samples, sizeof samples);
    });
    const NQImage deep = codec()->nqLoadImage(rgb48.c_str());
    ASSERT_EQ(deep.nqGetBitsPerPixel(), 24);
    const unsigned char expectedDeep[6] = {0xff, 0x00, 0x80, 0x12, 0xfe, 0x01};
    EXPECT_EQ(std::memcmp(deep.nqGetImageData(), expectedDeep, 6), 0);

    const std::string rgba = writeWithLibtiff(dir.file("rgba.tif"), [](TIFF* tif) {
        TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, 2);
        TIFFSetField(tif, TIFFTAG_IMAGELENGTH, 1);
        TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
        TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 4);
        std::uint16_t extra = EXTRASAMPLE_UNASSALPHA;
        TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, &extra);
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
        TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        unsigned char samples[8] = {10, 20, 30, 255, 40, 50, 60, 255};
        TIFFWriteEncodedStrip(tif, 0, samples, sizeof samples);
    });
    const NQImage flat = codec()->nqLoadImage(rgba.c_str());
    const unsigned char expectedFlat[6] = {10, 20, 30, 40, 50, 60};
    EXPECT_EQ(std::memcmp(flat.nqGetImageData(), expectedFlat, 6), 0);
}

TEST(TIFFImage, ColourImageRowsComeTopToBottom) {
    NQImage image(1, 3, NQImageHead::NQ_24BIT);
    image.nqSetPixel(0, 0, 255, 0, 0);
    image.nqSetPixel(0, 2, 0, 0, 255);
    const NQImage loaded = loadFromMemory(saveToMemory(image, COMPRESSION_NONE, false));
    unsigned char r, g, b;
    loaded.nqGetPixel(0, 0, r, g, b);
    EXPECT_EQ(r, 255);
    loaded.nqGetPixel(0, 2, r, g, b);
    EXPECT_EQ(b, 255);
}

TEST(TIFFImage, PaletteIndicesMapThroughTheColourMapDividedBy257) {
    // 8-bit indices: entries 0, 1, 2 hold 65535, 257 and 256 in every channel.
    std::vector<std::uint16_t> map(3 * 256, 0);
    const std::uint16_t values[3] = {65535, 257, 256};
    for (int channel = 0; channel < 3; ++channel)
        for (int i = 0; i < 3; ++i) map[channel * 256 + i] = values[i];
    const std::string eight =
        nqtest::TiffBuilder::basic(3, 1, 8, 1, 3).shortField(320, map).build({{0, 1, 2}});
    const NQImage image = loadFromMemory(eight);
    const unsigned char expected[9] = {255, 255, 255, 1, 1, 1, 0, 0, 0};
    ASSERT_EQ(image.nqGetBitsPerPixel(), 24);
    EXPECT_EQ(std::memcmp(image.nqGetImageData(), expected, 9), 0);
}

TEST(TIFFImage, SubBytePaletteIndicesAreUnpackedWithinTheColourMap) {
    // 4-bit indices 0..15 over two rows of 8; entry i is grey 17 i.
    std::vector<std::uint16_t> map(3 * 16);
    for (int channel = 0; channel < 3; ++channel)
        for (int i = 0; i < 16; ++i) map[channel * 16 + i] = static_cast<std::uint16_t>(257 * 17 * i);
    const std::string strip = "\x01\x23\x45\x67\x89\xab\xcd\xef";
    const std::string bytes =
        nqtest::TiffBuilder::basic(8, 2, 4, 1, 3).shortField(320, map).build({strip});
    const NQImage image = loadFromMemory(bytes);
    for (int i = 0; i < 16; ++i) {
        unsigned char r, g, b;
        image.nqGetPixel(i % 8, i / 8, r, g, b);
        EXPECT_EQ(r, 17 * i) << i;
    }
}

TEST(TIFFImage, PaletteStripsLongerThanTheIndexBufferAreCutOff) {
    // 16-bit indices decode to two bytes per pixel; only one byte per pixel
    // is taken, and nothing is written beyond the index buffer.
    std::vector<std::uint16_t> map(3 * 65536, 0);
    const std::string strip(2 * 64 * 64, '\x07');
    const std::string bytes =
        nqtest::TiffBuilder::basic(64, 64, 16, 1, 3).shortField(320, map).build({strip});
    const NQImage image = loadFromMemory(bytes);
    EXPECT_EQ(image.nqGetImageDataSize(), 64u * 64u * 3u);
}

TEST(TIFFImage, YCbCrPageWithoutSubsamplingIsReadAsTwoByTwo) {
    // One 2 x 2 block: four luma samples, then Cb and Cr (neutral).
    const std::string block = std::string("\x80\x80\x80\x80\x80\x80", 6);
    const std::string bytes = nqtest::TiffBuilder::basic(2, 2, 8, 3, 6).build({block});
    NQLogger* logger = NQLogger::nqGetInstance();
    logger->nqSetLogSeverity(NQ_INFO);
    NQImage image;
    const std::string log = nqtest::captureStdout([&] { image = loadFromMemory(bytes); });
    logger->nqSetLogSeverity(NQ_ERROR);
    EXPECT_NE(log.find("WARNING: YCbCr Subsampling not set or corrupted.\n\tAssuming default of "
                       "(2,2)\n"),
              std::string::npos);
    for (int i = 0; i < 12; ++i) EXPECT_NEAR(image.nqGetImageData()[i], 128, 2) << i;
}

TEST(TIFFImage, UnsupportedPagesAreRefusedWithTheirOwnCodes) {
    struct Case {
        std::uint16_t bits, samples, photometric;
        NQExceptionCodes code;
        const char* text;
    };
    const Case cases[] = {
        {16, 1, 1, NQ_UNSUPPORTED, "Unsupported tiff type (may contain alpha channel)"},
        {8, 2, 1, NQ_UNSUPPORTED, "Unsupported tiff type (may contain alpha channel)"},
        {4, 3, 2, NQ_NOT_IMPLEMENTED, "<NQTIFFImage::nqLoadImage()> Unsupported tiff type"},
        {8, 4, 5, NQ_UNSUPPORTED, "Image has an unsupported photometric interpretation"},
        {8, 1, 7, NQ_MISSING_FIELD, "Image has an invalid photometric interpretation"},
        {8, 1, 99, NQ_MISSING_FIELD, "Image has an invalid photometric interpretation"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.photometric);
        const std::string bytes =
            nqtest::TiffBuilder::basic(2, 2, c.bits, c.samples, c.photometric)
                .build({std::string(64, '\0')});
        EXPECT_TRUE(nqtest::throwsNQ([&] { loadFromMemory(bytes); }, c.code, c.text));
        EXPECT_TRUE(nqtest::throwsNQ(
            [&] { codec()->nqLoadHeader(bytes.data(), static_cast<int>(bytes.size())); }, c.code,
            c.text));
    }
    const std::string noPhotometric =
        nqtest::TiffBuilder::basic(2, 2, 8, 1, 1).removeField(262).build({"abcd"});
    EXPECT_TRUE(nqtest::throwsNQ([&] { loadFromMemory(noPhotometric); }, NQ_MISSING_FIELD,
                                 "Image has an undefined photometric interpretation"));
    // libtiff 4 reads an 8-bit palette page without a colour map as grey and
    // refuses to open one of fewer bits, so the colour-map refusal is never
    // reached.
    const std::string paletteWithoutMap = nqtest::TiffBuilder::basic(2, 2, 8, 1, 3).build({"abcd"});
    EXPECT_EQ(loadFromMemory(paletteWithoutMap).nqGetBitsPerPixel(), 8);
    const std::string smallPaletteWithoutMap =
        nqtest::TiffBuilder::basic(2, 2, 4, 1, 3).build({"ab"});
    EXPECT_TRUE(nqtest::throwsNQ([&] { loadFromMemory(smallPaletteWithoutMap); }, NQ_UNKNOWN_FORMAT,
                                 "Could not open incoming image"));
}

// ---- recognition and pages ------------------------------------------------------

TEST(TIFFImage, RecognisesBothByteOrdersWithEitherVersionByteOrder) {
    auto buffer = [](const char* head) { return std::string(head, 4) + std::string(4, '\0'); };
    EXPECT_TRUE(codec()->nqSupportImageBuffer(buffer("II*\0").data(), 8));
    EXPECT_TRUE(codec()->nqSupportImageBuffer(buffer("II\0*").data(), 8));
    EXPECT_TRUE(codec()->nqSupportImageBuffer(buffer("MM\0*").data(), 8));
    EXPECT_TRUE(codec()->nqSupportImageBuffer(buffer("MM*\0").data(), 8));
    EXPECT_FALSE(codec()->nqSupportImageBuffer(buffer("IM*\0").data(), 8));
    EXPECT_FALSE(codec()->nqSupportImageBuffer(buffer("II+\0").data(), 8));  // BigTIFF
    EXPECT_FALSE(codec()->nqSupportImageBuffer(buffer("II*\0").data(), 7));
    EXPECT_FALSE(codec()->nqSupportImageBuffer(nullptr, 8));

    nqtest::TempDir dir;
    nqtest::writeFile(dir.file("short.tif"), std::string("II*", 3));
    nqtest::writeFile(dir.file("four.tif"), std::string("II*\0", 4));
    EXPECT_FALSE(codec()->nqSupportImageFile(dir.file("short.tif").c_str()));
    EXPECT_TRUE(codec()->nqSupportImageFile(dir.file("four.tif").c_str()));
    const std::string missing = dir.file("missing.tif");
    const std::string said = nqtest::captureStdout([&] {
        EXPECT_TRUE(nqtest::throwsNQ([&] { codec()->nqSupportImageFile(missing.c_str()); },
                                     NQ_FILE_OPEN_ERROR,
                                     "<NQTIFFImage::nqSupportImageFile()> Can not open file!"));
    });
    // Three typed log calls at error level, each ending its own line.
    EXPECT_EQ(said, "Can't open \n" + missing + "\n\n\n");
}

TEST(TIFFImage, PagesAreCountedAndAddressedFromOne) {
    nqtest::TempDir dir;
    const std::string path = writeWithLibtiff(dir.file("three.tif"), [](TIFF* tif) {
        for (int page = 1; page <= 3; ++page) {
            TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, 10 * page);
            TIFFSetField(tif, TIFFTAG_IMAGELENGTH, 2);
            TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
            TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
            std::vector<unsigned char> rows(20 * page, static_cast<unsigned char>(page));
            TIFFWriteEncodedStrip(tif, 0, rows.data(), static_cast<tmsize_t>(rows.size()));
            TIFFWriteDirectory(tif);
        }
    });
    const std::string bytes = nqtest::readFile(path);
    EXPECT_EQ(codec()->nqGetTotalPages(path.c_str()), 3);
    EXPECT_EQ(codec()->nqGetTotalPages(bytes.data(), static_cast<int>(bytes.size())), 3);

    const NQImage second = codec()->nqLoadImageAtPage(path.c_str(), 2);
    EXPECT_EQ(second.nqGetWidth(), 20);
    EXPECT_EQ(second.nqGetImageData()[0], 2);
    EXPECT_EQ(loadFromMemory(bytes, 3).nqGetWidth(), 30);
    EXPECT_EQ(codec()->nqLoadHeaderAtPage(path.c_str(), 3).nqGetWidth(), 30);

    EXPECT_TRUE(nqtest::throwsNQ([&] { codec()->nqLoadImageAtPage(path.c_str(), 0); },
                                 NQ_INVALID_PAGE,
                                 "<NQTIFFImage::nqLoadImageAtPage()> Page number can't be 0 (zero)."));
    EXPECT_TRUE(nqtest::throwsNQ([&] { loadFromMemory(bytes, 0); }, NQ_INVALID_PAGE,
                                 "<NQTIFFImage::nqLoadImageAtPage()> Page number can't be 0 (zero)."));
    EXPECT_TRUE(nqtest::throwsNQ([&] { codec()->nqLoadHeaderAtPage(path.c_str(), 0); },
                                 NQ_INVALID_PAGE,
                                 "<NQTIFFImage::nqLoadHeaderAtPage()> Page number can't be 0 (zero)."));
    EXPECT_TRUE(nqtest::throwsNQ([&] { codec()->nqLoadImageAtPage(path.c_str(), 4); },
                                 NQ_INVALID_PAGE, "<NQTIFFImage::nqLoadImage()> Invalid page number"));
    EXPECT_TRUE(nqtest::throwsNQ([&] { loadFromMemory(bytes, 4); }, NQ_INVALID_PAGE,
                                 "<NQTIFFImage::nqLoadImage()> Invalid page number"));

    // A handle that was moved on still counts pages from the first directory.
    TIFF* tif = TIFFOpen(path.c_str(), "r");
    EXPECT_EQ(codec()->nqLoadHeader(tif, 3).nqGetWidth(), 30);
    EXPECT_EQ(codec()->nqLoadImage(tif, 2).nqGetWidth(), 20);
    TIFFClose(tif);
}

TEST(TIFFImage, WangFilesAreRecognisedAndCountedButNotLoaded) {
    const std::string wang =
        nqtest::TiffBuilder::basic(4, 2, 8, 1, 1).build({std::string("xWANGabc", 8)});
    const int size = static_cast<int>(wang.size());
    nqtest::TempDir dir;
    nqtest::writeFile(dir.file("wang.tif"), wang);
    const std::string path = dir.file("wang.tif");
    EXPECT_TRUE(codec()->nqSupportImageBuffer(wang.data(), size));
    EXPECT_EQ(codec()->nqGetTotalPages(path.c_str()), 1);
    EXPECT_TRUE(nqtest::throwsNQ([&] { codec()->nqLoadImage(path.c_str()); }, NQ_INVALID_CONTENT,
                                 "<NQTIFFImage::nqLoadImageAtPage()> WANG TIFFs not supported"));
    EXPECT_TRUE(nqtest::throwsNQ([&] { codec()->nqLoadImage(wang.data(), size); },
                                 NQ_INVALID_CONTENT,
                                 "<NQTIFFImage::nqLoadImageAtPage()> WANG TIFFs not supported"));
    EXPECT_TRUE(nqtest::throwsNQ([&] { codec()->nqLoadHeader(path.c_str()); }, NQ_INVALID_CONTENT,
                                 "<NQTIFFImage::nqLoadHeaderAtPage()> WANG TIFFs not supported"));
    EXPECT_TRUE(nqtest::throwsNQ([&] { codec()->nqLoadHeader(wang.data(), size); },
                                 NQ_INVALID_CONTENT,
                                 "<NQTIFFImage::nqLoadHeaderAtPage()> WANG TIFFs not supported"));

    // After a zero byte the marker is not seen.
    const std::string hidden =
        nqtest::TiffBuilder::basic(4, 2, 8, 1, 1).build({std::string("x\0WANGab", 8)});
    EXPECT_EQ(loadFromMemory(hidden).nqGetWidth(), 4);
}

// ---- saving refusals ------------------------------------------------------------

TEST(TIFFImage, RefusedCompressionLeavesAnExistingFileUntouched) {
    nqtest::TempDir dir;
    const std::string path = dir.file("precious.tif");
    nqtest::writeFile(path, "precious");
    EXPECT_TRUE(nqtest::throwsNQ(
        [&] { codec()->nqSaveImage(path.c_str(), pattern(1), COMPRESSION_LZW, true); },
        NQ_INVALID_CONTENT,
        "<NQTIFFImage::nqSaveImage()> Requested compression type not supported for binary tiff "
        "images"));
    EXPECT_TRUE(nqtest::throwsNQ(
        [&] { codec()->nqSaveImage(path.c_str(), pattern(8), COMPRESSION_CCITTFAX3, true); },
        NQ_INVALID_CONTENT,
        "<NQTIFFImage::nqSaveImage()> Requested compression type not supported for grayscale and "
        "color tiff images"));
    EXPECT_EQ(nqtest::readFile(path), "precious");
    int size = 0;
    EXPECT_TRUE(nqtest::throwsNQ(
        [&] { codec()->nqSaveImageToMem(size, pattern(24), COMPRESSION_CCITTFAX4, true); },
        NQ_INVALID_CONTENT, "not supported for grayscale and color tiff images"));
}

TEST(TIFFImage, SavingFailuresAreReported) {
    nqtest::TempDir dir;
    EXPECT_TRUE(nqtest::throwsNQ(
        [&] { codec()->nqSaveImage(dir.file("no/such/dir/x.tif").c_str(), pattern(8)); },
        NQ_IO_ERROR, "<NQTIFFImage::nqSaveImage()> Could not open for writing"));
    EXPECT_TRUE(nqtest::throwsNQ([&] { codec()->nqSaveImage(dir.file("x.tif").c_str(), NQImage()); },
                                 NQ_NULL_DATA, "Image Data is NULL!"));
    // libtiff would write a file without data for a compression it has no
    // encoder for.
    EXPECT_TRUE(nqtest::throwsNQ(
        [&] { codec()->nqSaveImage(dir.file("y.tif").c_str(), pattern(8), 12345, true); },
        NQ_INVALID_CONTENT,
        "<NQTIFFImage::nqSaveImage()> Requested compression type not supported by libtiff"));
    EXPECT_FALSE(std::ifstream(dir.file("y.tif")).good());
}

// ---- hostile input --------------------------------------------------------------

TEST(TIFFImage, HugeClaimedSizeIsRefusedBeforeAllocating) {
    for (std::uint16_t photometric : {0, 1, 2, 3}) {
        SCOPED_TRACE(photometric);
        const std::uint16_t samples = photometric == 2 ? 3 : 1;
        const std::uint16_t bits = photometric == 0 ? 1 : 8;
        nqtest::TiffBuilder builder =
            nqtest::TiffBuilder::basic(100000, 100000, bits, samples, photometric);
        if (photometric == 3) builder.shortField(320, std::vector<std::uint16_t>(3 * 256, 0));
        const std::string bytes = builder.build({std::string(16, '\0')});
        // The header alone is fine.
        EXPECT_EQ(codec()->nqLoadHeader(bytes.data(), static_cast<int>(bytes.size())).nqGetWidth(),
                  100000);
        EXPECT_TRUE(nqtest::throwsNQ([&] { loadFromMemory(bytes); }, NQ_MEMORY_ERROR,
                                     photometric == 3 ? "palette_raw_data image"
                                                      : "for the uncompressed image"));
    }
}

TEST(TIFFImage, StripThatDoesNotDecodeIsAReadError) {
    nqtest::TempDir dir;
    const std::string garbage(64, '\x5a');
    for (std::uint16_t compression : {COMPRESSION_ADOBE_DEFLATE, COMPRESSION_LZW}) {
        SCOPED_TRACE(compression);
        const std::string bytes = nqtest::TiffBuilder::basic(8, 8, 8, 1, 1)
                                      .shortField(259, compression)
                                      .build({garbage});
        nqtest::writeFile(dir.file("bad.tif"), bytes);
        const char* text = "<NQTIFFImage::nqLoadImage()> Read error on input strip";
        EXPECT_TRUE(nqtest::throwsNQ([&] { loadFromMemory(bytes); }, NQ_UNKNOWN_FORMAT, text));
        EXPECT_TRUE(nqtest::throwsNQ([&] { codec()->nqLoadImage(dir.file("bad.tif").c_str()); },
                                     NQ_UNKNOWN_FORMAT, text));
    }
    // Uncompressed data that the strip byte count places beyond the end.
    const std::string lying =
        nqtest::TiffBuilder::basic(64, 64, 8, 1, 1).build({"x"}, {64 * 64});
    nqtest::writeFile(dir.file("lying.tif"), lying);
    EXPECT_TRUE(nqtest::throwsNQ([&] { loadFromMemory(lying); }, NQ_UNKNOWN_FORMAT,
                                 "Read error on input strip"));
    EXPECT_TRUE(nqtest::throwsNQ([&] { codec()->nqLoadImage(dir.file("lying.tif").c_str()); },
                                 NQ_UNKNOWN_FORMAT, "Read error on input strip"));
}

TEST(TIFFImage, TruncatedFilesFailCleanlyAndAlikeFromFileAndMemory) {
    nqtest::TempDir dir;
    const std::string path = dir.file("cut.tif");
    for (int bits : {1, 8, 24}) {
        const std::string whole = saveToMemory(pattern(bits, 61, 40), bits == 1 ? 4 : 5, true);
        for (std::size_t length = 0; length < whole.size(); length += 3) {
            SCOPED_TRACE(std::to_string(bits) + " bits, " + std::to_string(length) + " bytes");
            const std::string cut = whole.substr(0, length);
            nqtest::writeFile(path, cut);
            int memoryCode = 0, fileCode = 0;
            try {
                loadFromMemory(cut);
            } catch (const NQException& e) {
                memoryCode = e.nqGetErrorID();
            }
            try {
                codec()->nqLoadImage(path.c_str());
            } catch (const NQException& e) {
                fileCode = e.nqGetErrorID();
            }
            EXPECT_EQ(memoryCode, fileCode);
        }
    }
}

TEST(TIFFImage, MissingWidthMakesTheFileUnopenable) {
    const std::string bytes = nqtest::TiffBuilder::basic(4, 4, 8, 1, 1).removeField(256).build(
        {std::string(16, '\0')});
    EXPECT_TRUE(nqtest::throwsNQ([&] { loadFromMemory(bytes); }, NQ_UNKNOWN_FORMAT,
                                 "<NQTIFFImage::nqLoadImageAtPage()> Could not open incoming image"));
    EXPECT_TRUE(nqtest::throwsNQ(
        [&] { codec()->nqGetTotalPages(bytes.data(), static_cast<int>(bytes.size())); },
        NQ_UNKNOWN_FORMAT, "<NQTIFFImage::nqGetTotalPages()> Could not open incoming image"));
}

TEST(TIFFImage, LibtiffMessagesGoToTheLogNotToTheStandardStreams) {
    const std::string bytes = nqtest::TiffBuilder::basic(8, 8, 8, 1, 1)
                                  .shortField(259, COMPRESSION_ADOBE_DEFLATE)
                                  .build({std::string(64, '\x5a')});
    ::testing::internal::CaptureStderr();
    const std::string out = nqtest::captureStdout([&] {
        EXPECT_THROW(loadFromMemory(bytes), NQException);
    });
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(out, "");

    NQLogger::nqGetInstance()->nqSetLogSeverity(NQ_INFO);
    const std::string logged = nqtest::captureStdout([&] {
        EXPECT_THROW(loadFromMemory(bytes), NQException);
    });
    NQLogger::nqGetInstance()->nqSetLogSeverity(NQ_ERROR);
    EXPECT_NE(logged.find("libtiff: Error in ZIPDecode\n"), std::string::npos) << logged;
}

}  // namespace
