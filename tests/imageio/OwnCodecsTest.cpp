// The BMP, PBM, PPM and GIF codecs: round trips of every depth they save,
// the layouts they write, the decoding rules of hand-made files, GIF frames
// and damaged GIFs, and hostile input. Files of other writers are checked by
// CodecCorpusTest.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "analysis/NQBitsPerPixelConverter.h"
#include "image/NQException.h"
#include "image/NQImage.h"
#include "imageio/NQBMPImage.h"
#include "imageio/NQGIFImage.h"
#include "imageio/NQPBMImage.h"
#include "imageio/NQPPMImage.h"
#include "support/TestSupport.h"

namespace {

using nqtest::throwsNQ;
using Converter = NQBitsPerPixelConverter;

NQBaseImage* codecNamed(const std::string& name) {
    if (name == "BMP")
        return NQBMPImage::createImageReader();
    if (name == "PBM")
        return NQPBMImage::createImageReader();
    if (name == "PPM")
        return NQPPMImage::createImageReader();
    return NQGIFImage::createImageReader();
}

// Pseudo-random pixels; a 24-bit image with `colours` > 0 uses that many
// distinct colours.
NQImage pattern(int bits, int width, int height, int colours = 0) {
    colours = bits == 24 ? colours : 0;
    NQImage image;
    image.nqSetImageHead(width, height, bits, 300, 300, NQImageHead::NQ_RES_INCH);
    image.nqAllocImageData();
    unsigned state = 12345;
    unsigned char* p = image.nqGetImageData();
    for (std::size_t i = 0; i<image.nqGetImageDataSize(); i += colours> 0 ? 3 : 1) {
        state = state * 1103515245u + 12345u;
        const unsigned value = state >> 16;
        if (colours > 0) {
            const unsigned c = value % colours;
            p[i] = static_cast<unsigned char>(c * 37);
            p[i + 1] = static_cast<unsigned char>(c * 11);
            p[i + 2] = static_cast<unsigned char>(c / 7);
        } else {
            p[i] = static_cast<unsigned char>(value);
        }
    }
    return image;
}

// Equality of every pixel, ignoring the unused bits of 1-bit rows.
::testing::AssertionResult samePixels(const NQImage& a, const NQImage& b) {
    if (a.nqGetWidth() != b.nqGetWidth() || a.nqGetHeight() != b.nqGetHeight() ||
        a.nqGetBitsPerPixel() != b.nqGetBitsPerPixel())
        return ::testing::AssertionFailure() << "geometry or depth differs";
    for (int y = 0; y < a.nqGetHeight(); ++y)
        for (int x = 0; x < a.nqGetWidth(); ++x)
            if (a.nqGetPixel(x, y) != b.nqGetPixel(x, y))
                return ::testing::AssertionFailure() << "differs at " << x << "," << y;
    return ::testing::AssertionSuccess();
}

std::string bytesOf(const NQImage& image, const std::string& codec) {
    nqtest::TempDir dir;
    codecNamed(codec)->nqSaveImage(dir.file("x").c_str(), image);
    return nqtest::readFile(dir.file("x"));
}

NQImage fromBytes(const std::string& codec, const std::string& bytes) {
    return codecNamed(codec)->nqLoadImage(bytes.data(), static_cast<int>(bytes.size()));
}

// What a saved image loads back as.
NQImage expectedAfter(const std::string& codec, const NQImage& original) {
    const int bits = original.nqGetBitsPerPixel();
    bool reduced = false;
    if (codec == "GIF")
        return Converter::nqDownscale256Color_global(original, reduced);
    if (codec == "PPM" || (codec == "BMP" && bits == 8))
        return Converter::nqConvertImage(original, NQ_TO_COLOR);
    if (codec == "PBM" && bits != 1) {
        const NQImage grey =
            bits == 8 ? original : Converter::nqDownscaleColor2Gray_global(original);
        return Converter::nqDownscaleGray2Binary_global(grey, 127);
    }
    return original;
}

// (codec, bits, colours of a 24-bit pattern)
class OwnCodecRoundTrip : public ::testing::TestWithParam<std::tuple<std::string, int, int>> {};

TEST_P(OwnCodecRoundTrip, FileAndMemoryGiveTheSameBytesAndPixels) {
    const auto [codec, bits, colours] = GetParam();
    const NQImage original = pattern(bits, 37, 23, colours);
    nqtest::TempDir dir;
    const std::string path = dir.file("page");
    codecNamed(codec)->nqSaveImage(path.c_str(), original);
    const std::string bytes = nqtest::readFile(path);
    if (codec == "BMP" || codec == "PBM") {
        int size = 0;
        unsigned char* block = codecNamed(codec)->nqSaveImageToMem(size, original);
        EXPECT_EQ(std::string(reinterpret_cast<char*>(block), std::size_t(size)), bytes);
        std::free(block);
    } else {
        int size = 0;
        EXPECT_TRUE(throwsNQ(
            [&] { codecNamed(codec)->nqSaveImageToMem(size, original); }, NQ_UNSUPPORTED,
            "Saving to Memory Not Supported for " + codec + " Yet" + (codec == "PPM" ? "!" : "")));
    }
    const NQImage fromFile = codecNamed(codec)->nqLoadImage(path.c_str());
    EXPECT_TRUE(samePixels(fromFile, expectedAfter(codec, original)));
    EXPECT_TRUE(samePixels(fromBytes(codec, bytes), fromFile));
    const NQImageHead head = codecNamed(codec)->nqLoadHeader(path.c_str());
    EXPECT_EQ(head.nqGetBitsPerPixel(), fromFile.nqGetBitsPerPixel());
    EXPECT_EQ(head.nqGetRowSize(), fromFile.nqGetRowSize());
}

INSTANTIATE_TEST_SUITE_P(
    OwnCodecs, OwnCodecRoundTrip,
    ::testing::Values(std::make_tuple("BMP", 1, 0), std::make_tuple("BMP", 8, 0),
                      std::make_tuple("BMP", 24, 0), std::make_tuple("PBM", 1, 0),
                      std::make_tuple("PBM", 8, 0), std::make_tuple("PBM", 24, 0),
                      std::make_tuple("PPM", 8, 0), std::make_tuple("PPM", 24, 0),
                      std::make_tuple("GIF", 1, 0), std::make_tuple("GIF", 8, 0),
                      std::make_tuple("GIF", 24, 256), std::make_tuple("GIF", 24, 0)));

unsigned le32(const std::string& bytes, std::size_t at) {
    return static_cast<unsigned char>(bytes[at]) | static_cast<unsigned char>(bytes[at + 1]) << 8 |
           static_cast<unsigned char>(bytes[at + 2]) << 16 |
           unsigned(static_cast<unsigned char>(bytes[at + 3])) << 24;
}

TEST(OwnCodecs, WriteTheirDocumentedLayouts) {
    // BMP: palette, offset and padded rows.
    const std::string binary = bytesOf(NQImage(10, 3, NQImageHead::NQ_1BIT), "BMP");
    EXPECT_EQ(binary.size(), 54u + 8 + 4 * 3);
    EXPECT_EQ(le32(binary, 10), 62u);
    EXPECT_EQ(le32(binary, 46), 2u);
    EXPECT_EQ(bytesOf(NQImage(3, 2, NQImageHead::NQ_24BIT), "BMP").size(), 54u + 12 * 2);

    // PBM: the size line, then thresholded rows with black as a set bit.
    NQImage grey(3, 1, NQImageHead::NQ_8BIT);
    grey.nqSetPixel(0, 0, static_cast<unsigned char>(0));
    grey.nqSetPixel(1, 0, static_cast<unsigned char>(127));
    grey.nqSetPixel(2, 0, static_cast<unsigned char>(126));
    EXPECT_EQ(bytesOf(grey, "PBM"), std::string("P4\n3 1\n\xBF", 8));

    // GIF: 300 literal codes with clear codes before pixels 0 and 254 make
    // (2 + 300 + 1) x 9 bits = 341 bytes in sub-blocks of 255 and 86.
    const std::string gif = bytesOf(NQImage(300, 1, NQImageHead::NQ_24BIT), "GIF");
    const std::size_t data = 6 + 7 + 768 + 1 + 9 + 768;
    ASSERT_EQ(gif.size(), data + 1 + 1 + 255 + 1 + 86 + 1 + 1);
    EXPECT_EQ(gif.substr(0, 6), "GIF87a");
    EXPECT_EQ(static_cast<unsigned char>(gif[10]), 0xF7);
    EXPECT_EQ(static_cast<unsigned char>(gif[data - 769]), 0x87);
    EXPECT_EQ(gif[data], 8);
    EXPECT_EQ(static_cast<unsigned char>(gif[data + 1]), 255);
    EXPECT_EQ(gif[data + 257], 86);
    EXPECT_EQ(gif.back(), ';');
    const std::string coded = gif.substr(data + 2, 255) + gif.substr(data + 258, 86);
    auto codeAt = [&](std::size_t index) {
        unsigned value = 0;
        for (int b = 0; b < 9; ++b) {
            const std::size_t bit = index * 9 + b;
            value |= ((static_cast<unsigned char>(coded[bit / 8]) >> (bit % 8)) & 1u) << b;
        }
        return value;
    };
    EXPECT_EQ(codeAt(0), 256u);
    EXPECT_EQ(codeAt(255), 256u);
    EXPECT_EQ(codeAt(302), 257u);
}

TEST(OwnCodecs, ReadPortableAnymapsByTheirRules) {
    const NQImage p4 = fromBytes("PBM", std::string("P4\n# comment\n8 1\n\x80", 18));
    EXPECT_EQ(p4.nqGetImageData()[0], 0x7F);
    const NQImage p1 = fromBytes("PBM", "P1\n2 1\n1 0\n");
    EXPECT_EQ(p1.nqGetPixelValue(0, 0), 0);
    EXPECT_EQ(p1.nqGetPixelValue(1, 0), 255);

    // A first pixel byte of value 10 (a newline) is a pixel, from memory too.
    const std::string ppm("P6\n1 1\n256\n\x0A\x14\x1E", 14);
    EXPECT_EQ(fromBytes("PPM", ppm).nqGetPixel(0, 0), NQColor(10, 20, 30));
    nqtest::TempDir dir;
    nqtest::writeFile(dir.file("a.ppm"), ppm);
    EXPECT_EQ(NQImage(dir.file("a.ppm").c_str()).nqGetPixel(0, 0), NQColor(10, 20, 30));
    for (const char* refused :
         {"P6\n1 1\n257\n\x0A\x14\x1E", "P6\n2 1\n255\n\x0A\x14\x1E", "P6 1 1 255\n\x0A\x14\x1E"})
        EXPECT_TRUE(throwsNQ([&] { fromBytes("PPM", refused); }, NQ_UNKNOWN_FORMAT,
                             "<NQPPMImage::nqLoadImage()> Unknown File Format"))
            << refused;
    const std::string oneLine = "P6 5 4 255\n";
    const NQImageHead head = NQPPMImage::createImageReader()->nqLoadHeader(
        oneLine.data(), static_cast<int>(oneLine.size()));
    EXPECT_EQ(head.nqGetWidth() * 10 + head.nqGetHeight(), 54);
}

// A BMP of one row of 8-bit indices after a palette of the given entries.
std::string indexedBmp(const std::vector<unsigned char>& indices, int paletteEntries) {
    std::string file =
        bytesOf(NQImage(static_cast<int>(indices.size()), 1, NQImageHead::NQ_8BIT), "BMP");
    const std::size_t offset = 54 + 4 * std::size_t(paletteEntries);
    file[10] = static_cast<char>(offset);
    file[11] = static_cast<char>(offset >> 8);
    file.replace(46, 4, std::string{static_cast<char>(paletteEntries), 0, 0, 0});
    file.replace(54 + 4 * std::size_t(paletteEntries), indices.size(),
                 std::string(indices.begin(), indices.end()));
    return file;
}

TEST(OwnCodecs, BmpIndicesBeyondAShortPaletteAreBlack) {
    const NQImage image = fromBytes("BMP", indexedBmp({1, 200, 0}, 2));
    EXPECT_EQ(image.nqGetPixel(0, 0), NQColor(1, 1, 1));
    EXPECT_EQ(image.nqGetPixel(1, 0), NQColor(0, 0, 0));
    // Without a palette the rows are grey, and so is the header.
    std::string grey = indexedBmp({5, 6, 7, 8}, 0);
    EXPECT_EQ(fromBytes("BMP", grey).nqGetBitsPerPixel(), 8);
    EXPECT_EQ(NQBMPImage::createImageReader()
                  ->nqLoadHeader(grey.data(), static_cast<int>(grey.size()))
                  .nqGetBitsPerPixel(),
              8);
}

TEST(OwnCodecs, PageZeroAndPagesBeyondTheFirstAreRefused) {
    // codec, image code, header code (file and buffer)
    const std::vector<std::tuple<std::string, NQExceptionCodes, NQExceptionCodes>> codes{
        {"BMP", NQ_INVALID_PAGE, NQ_INVALID_CONTENT},
        {"PBM", NQ_INVALID_CONTENT, NQ_INVALID_PAGE},
        {"PPM", NQ_INVALID_CONTENT, NQ_INVALID_PAGE},
        {"GIF", NQ_INVALID_CONTENT, NQ_INVALID_PAGE}};
    nqtest::TempDir dir;
    for (const auto& [name, imageCode, headerCode] : codes) {
        SCOPED_TRACE(name);
        NQBaseImage* codec = codecNamed(name);
        const std::string path = dir.file(name);
        codec->nqSaveImage(path.c_str(), pattern(24, 4, 3));
        const std::string bytes = nqtest::readFile(path);
        const int size = static_cast<int>(bytes.size());
        EXPECT_EQ(codec->nqLoadImageAtPage(path.c_str(), 1).nqGetWidth(), 4);
        EXPECT_EQ(codec->nqLoadHeaderAtPage(bytes.data(), size, 1).nqGetHeight(), 3);
        EXPECT_EQ(codec->nqGetTotalPages(path.c_str()), 1);
        const std::string zero = "Page number can't be 0 (zero).";
        const std::string beyond = " 1 pages. User requesting page 2.";
        EXPECT_TRUE(
            throwsNQ([&] { codec->nqLoadImageAtPage(path.c_str(), 0); }, NQ_INVALID_PAGE, zero));
        EXPECT_TRUE(throwsNQ([&] { codec->nqLoadHeaderAtPage(bytes.data(), size, -1); },
                             NQ_INVALID_PAGE, zero));
        EXPECT_TRUE(
            throwsNQ([&] { codec->nqLoadImageAtPage(bytes.data(), size, 2); }, imageCode, beyond));
        EXPECT_TRUE(
            throwsNQ([&] { codec->nqLoadHeaderAtPage(path.c_str(), 2); }, headerCode, beyond));
    }
}

// ---- GIF frames ---------------------------------------------------------------

struct GifFrame {
    int left, top, width, height;
    unsigned packed;  // of the image descriptor
    std::string localTable;
    std::vector<unsigned char> indices;
};

// GIF's LZW with a minimum code size of 8: a clear code first and whenever
// the table is full, when the codes are 12 bits wide.
std::string lzwCoded(const std::vector<unsigned char>& indices) {
    std::string out;
    unsigned long long bits = 0;
    int count = 0;
    unsigned width = 9, next = 258;
    auto put = [&](unsigned code) {
        bits |= static_cast<unsigned long long>(code) << count;
        for (count += width; count >= 8; count -= 8, bits >>= 8)
            out += char(bits & 0xff);
    };
    std::map<unsigned, unsigned> table;
    put(256);
    int prefix = -1;
    for (unsigned char c : indices) {
        const auto found = table.find(unsigned(prefix) << 8 | c);
        if (prefix >= 0 && found != table.end()) {
            prefix = int(found->second);
            continue;
        }
        if (prefix >= 0) {
            put(unsigned(prefix));
            if (next < 4096) {
                table[unsigned(prefix) << 8 | c] = next++;
                width += next > (1u << width) && width < 12 ? 1 : 0;
            } else {
                put(256);
                table.clear();
                next = 258;
                width = 9;
            }
        }
        prefix = c;
    }
    if (prefix >= 0)
        put(unsigned(prefix));
    put(257);
    if (count > 0)
        out += char(bits & 0xff);
    return out;
}

// A GIF file of the given screen, global table and frames.
std::string gifFile(int width, int height, const std::string& globalTable,
                    const std::vector<GifFrame>& frames) {
    auto le16 = [](int v) { return std::string{char(v & 0xff), char(v >> 8)}; };
    std::string file = "GIF89a" + le16(width) + le16(height);
    const int tableBits = globalTable.empty() ? 0 : __builtin_ctz(globalTable.size() / 3) - 1;
    file += std::string{char(globalTable.empty() ? 0 : 0x80 | tableBits), 0, 0} + globalTable;
    for (const GifFrame& frame : frames) {
        file += "," + le16(frame.left) + le16(frame.top) + le16(frame.width) + le16(frame.height) +
                char(frame.packed) + frame.localTable + '\x08';
        const std::string coded = lzwCoded(frame.indices);
        for (std::size_t at = 0; at < coded.size(); at += 255)
            file += char(std::min<std::size_t>(255, coded.size() - at)) + coded.substr(at, 255);
        file += '\0';
    }
    return file + ";";
}

std::string greyTable(int entries) {
    std::string table;
    for (int i = 0; i < entries; ++i)
        table += std::string(3, char(i * 20));
    return table;
}

TEST(GIFDecoding, FramesAreDecodedWithTheirTablesAndPastedInOrder) {
    // No table at all: two entries give the grey levels 0 and 127.
    const NQImage grey = fromBytes("GIF", gifFile(2, 1, "", {{0, 0, 2, 1, 0x00, "", {0, 1}}}));
    EXPECT_EQ(grey.nqGetPixel(0, 0), NQColor(0, 0, 0));
    EXPECT_EQ(grey.nqGetPixel(1, 0), NQColor(127, 127, 127));

    // An interlaced frame of 9 rows stores rows 0, 8, 4, 2, 6, 1, 3, 5, 7.
    const NQImage interlaced = fromBytes(
        "GIF", gifFile(1, 9, greyTable(16), {{0, 0, 1, 9, 0x40, "", {0, 1, 2, 3, 4, 5, 6, 7, 8}}}));
    const int rows[9] = {0, 8, 4, 2, 6, 1, 3, 5, 7};
    for (int k = 0; k < 9; ++k)
        EXPECT_EQ(interlaced.nqGetPixel(0, rows[k]).nqGetRed(), k * 20) << "row " << rows[k];

    // Partial frames land at their offsets on a white screen, later ones on top.
    const NQImage pasted = fromBytes(
        "GIF", gifFile(4, 3, greyTable(4),
                       {{1, 1, 2, 1, 0x00, "", {1, 1}},
                        {2, 1, 1, 2, 0x80, std::string("\x09\x08\x07\0\0\0", 6), {0, 0}}}));
    EXPECT_EQ(pasted.nqGetPixel(0, 0), NQColor(255, 255, 255));
    EXPECT_EQ(pasted.nqGetPixel(1, 1), NQColor(20, 20, 20));
    EXPECT_EQ(pasted.nqGetPixel(2, 1), NQColor(9, 8, 7));
    EXPECT_EQ(pasted.nqGetPixel(2, 2), NQColor(9, 8, 7));
    EXPECT_EQ(pasted.nqGetPixel(3, 2), NQColor(255, 255, 255));
}

TEST(GIFDecoding, FramesBeyondTheFileSizeBudgetAreNotDecoded) {
    // Two hundred full-screen frames with no data are black pastes that a
    // 3-kilobyte file may not multiply without end: those beyond two screens
    // plus 4096 pixels per file byte are passed over, the last grey one too.
    std::vector<GifFrame> frames(200, {0, 0, 1000, 1000, 0x00, "", {}});
    frames.back().indices.assign(1000 * 1000, 1);
    const NQImage image = fromBytes("GIF", gifFile(1000, 1000, greyTable(2), frames));
    EXPECT_EQ(image.nqGetPixel(999, 999), NQColor(0, 0, 0));
}

TEST(GIFDecoding, FilesBeyondTheThirtyTwoBitSizeProductPassThePlausibilityTest) {
    const std::string bytes = bytesOf(pattern(8, 400, 200), "GIF");
    ASSERT_GT(bytes.size(), 53688u);
    EXPECT_EQ(fromBytes("GIF", bytes).nqGetWidth(), 400);
}

TEST(GIFDecoding, RealignmentPutsEachSegmentBackInItsColumns) {
    // Rows of the same eight colours; three pixels are lost after pixel 16,
    // so the rest of the decoded data starts in column 3.
    std::vector<unsigned char> row, frame;
    for (int x = 0; x < 8; ++x)
        row.insert(row.end(), {static_cast<unsigned char>(30 * x), 7, 9});
    for (int pixel = 0; pixel < 48; ++pixel)
        if (pixel < 16 || pixel >= 19)
            frame.insert(frame.end(), row.begin() + 3 * (pixel % 8),
                         row.begin() + 3 * (pixel % 8) + 3);
    frame.resize(3 * 48, 0);
    ASSERT_TRUE(NQGIFUtilities::image_GIF_realign(frame.data(), 8, 6, {16, 45}));
    for (int y = 0; y < 5; ++y)
        EXPECT_EQ(std::vector<unsigned char>(frame.begin() + 24 * y, frame.begin() + 24 * (y + 1)),
                  row)
            << "row " << y;
    EXPECT_EQ(std::vector<unsigned char>(frame.begin() + 120, frame.end()),
              std::vector<unsigned char>(24, 0));
}

TEST(GIFDecoding, DamagedDataGiveTheRecoverablePicture) {
    constexpr int kSide = 128;
    std::vector<unsigned char> indices(kSide * kSide);
    std::mt19937 random(11);
    for (unsigned char& index : indices)
        index = static_cast<unsigned char>(random() % 16);
    const std::string intact =
        gifFile(kSide, kSide, greyTable(16), {{0, 0, kSide, kSide, 0x00, "", indices}});
    const NQImage original = fromBytes("GIF", intact);
    const std::string pixels(reinterpret_cast<const char*>(original.nqGetImageData()),
                             original.nqGetImageDataSize());
    auto rowOf = [](const NQImage& image, int y) {
        return std::string(reinterpret_cast<const char*>(image.nqGetImageData()) + 3 * kSide * y,
                           3 * kSide);
    };
    EXPECT_EQ(rowOf(original, 5)[3 * 7], static_cast<char>(indices[5 * kSide + 7] * 20));
    const std::size_t data = 13 + 48 + 10 + 1;

    // Cut inside the data: the rows before the cut load, the rest is black.
    const NQImage cut = fromBytes("GIF", intact.substr(0, intact.size() / 2));
    EXPECT_EQ(rowOf(cut, 40), rowOf(original, 40));
    EXPECT_EQ(rowOf(cut, kSide - 1), std::string(3 * kSide, '\0'));

    // Garbage inside a sub-block, and a sub-block length that breaks the
    // chain: decoding resumes at a later clear code, and the rows after the
    // break are pixels of the picture again.
    std::string garbage = intact;
    for (std::size_t i = 0; i < 20; ++i)
        garbage[data + 256 * 20 + 50 + i] = static_cast<char>(0xE7 ^ i);
    std::string chain = intact;
    chain[data + 256 * 20] = 100;
    for (const std::string& damaged : {garbage, chain}) {
        const NQImage loaded = fromBytes("GIF", damaged);
        EXPECT_EQ(rowOf(loaded, 40), rowOf(original, 40));
        const std::size_t found = pixels.find(rowOf(loaded, kSide - 30));
        EXPECT_TRUE(found != std::string::npos && found % 3 == 0);
    }
}

// ---- hostile input ------------------------------------------------------------

class OwnCodecHostileInput : public ::testing::TestWithParam<std::string> {};

// Loads and header loads end in an image or an NQException, never out of
// bounds (checked under the sanitizers).
void loadQuietly(const std::string& codec, const std::string& bytes) {
    const int size = static_cast<int>(bytes.size());
    try {
        codecNamed(codec)->nqLoadImage(bytes.data(), size);
    } catch (const NQException&) {
    }
    try {
        codecNamed(codec)->nqLoadHeader(bytes.data(), size);
    } catch (const NQException&) {
    }
}

TEST_P(OwnCodecHostileInput, SurvivesEveryTruncationAndRandomDamage) {
    const std::string codec = GetParam();
    const std::string intact = bytesOf(pattern(codec == "PBM" ? 1 : 24, 29, 17, 6), codec);
    for (std::size_t length = 0; length < intact.size(); ++length)
        loadQuietly(codec, intact.substr(0, length));
    std::mt19937 random(7);
    for (int round = 0; round < 400; ++round) {
        std::string damaged = intact;
        for (int hits = 1 + round % 4; hits > 0; --hits)
            damaged[random() % damaged.size()] = static_cast<char>(random());
        loadQuietly(codec, damaged);
    }
}

INSTANTIATE_TEST_SUITE_P(OwnCodecs, OwnCodecHostileInput,
                         ::testing::Values("BMP", "PBM", "PPM", "GIF"));

TEST(OwnCodecs, SizesBeyondThePixelBoundAreRefusedBeforeAllocating) {
    std::string bmp = bytesOf(NQImage(1, 1, NQImageHead::NQ_24BIT), "BMP");
    bmp.replace(18, 8, std::string("\x40\x9C\0\0\x40\x9C\0\0", 8));  // 40000 x 40000
    EXPECT_TRUE(throwsNQ([&] { fromBytes("BMP", bmp); }, NQ_MEMORY_ERROR,
                         "Could not allocate enough memory for the uncompressed image"));
    EXPECT_TRUE(throwsNQ([&] { fromBytes("PBM", "P4\n100000 100000\n"); }, NQ_MEMORY_ERROR,
                         "Could not allocate enough memory for the uncompressed image"));
    EXPECT_TRUE(throwsNQ([&] { fromBytes("PPM", "P6\n20000 20000\n255\n"); }, NQ_MEMORY_ERROR,
                         "Could not allocate enough memory for the uncompressed image"));
    // A screen of 65535 x 65535 passes the plausibility test in a file of
    // this size, but exceeds the pixel bound.
    std::string gif = "GIF89a\xFF\xFF\xFF\xFF" + std::string(110000, ',');
    EXPECT_TRUE(
        throwsNQ([&] { fromBytes("GIF", gif); }, NQ_INVALID_CONTENT, "Error in image_read_gif."));
}

}  // namespace
