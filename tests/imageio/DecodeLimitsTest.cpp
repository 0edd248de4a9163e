// The limits a hostile file meets before a codec allocates for it: beyond
// 16 MiB a header's claim must be backed by the file's coded bytes, and a
// TIFF's page walk ends at 10000 pages. Large pages that are legitimately
// coded, up to the formats' best compression, still load.

#include <gtest/gtest.h>

#include <zlib.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "image/NQException.h"
#include "image/NQImage.h"
#include "imageio/NQCodecSupport.h"
#include "imageio/NQIOStream.h"
#include "imageio/NQJPGImage.h"
#include "imageio/NQPNGImage.h"
#include "imageio/NQTIFFImage.h"
#include "imageio/TiffBuilder.h"
#include "support/TestSupport.h"

namespace {

using nqtest::throwsNQ;
using nqtest::TiffBuilder;

const char* const kUnbacked = "The image claims more pixel data than the file holds";

std::string pngBytes(const NQImage& image) {
    nqtest::TempDir dir;
    NQPNGImage::createImageReader()->nqSaveImage(dir.file("p.png").c_str(), image);
    return nqtest::readFile(dir.file("p.png"));
}

std::string jpegBytes(const NQImage& image) {
    int size = 0;
    unsigned char* block = NQJPGImage::createImageReader()->nqSaveImageToMem(size, image);
    std::string bytes(reinterpret_cast<const char*>(block), static_cast<std::size_t>(size));
    std::free(block);
    return bytes;
}

std::string tiffBytes(const NQImage& image) {
    int size = 0;
    unsigned char* block = NQTIFFImage::createImageReader()->nqSaveImageToMem(size, image);
    std::string bytes(reinterpret_cast<const char*>(block), static_cast<std::size_t>(size));
    std::free(block);
    return bytes;
}

// A small PNG whose IHDR claims width x height (its CRC mended).
std::string pngClaiming(std::uint32_t width, std::uint32_t height) {
    std::string bytes = pngBytes(NQImage(29, 17, NQImageHead::NQ_8BIT));
    for (int i = 0; i < 4; ++i) {
        bytes[16 + i] = static_cast<char>(width >> (24 - 8 * i));
        bytes[20 + i] = static_cast<char>(height >> (24 - 8 * i));
    }
    const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(bytes.data() + 12), 17);
    for (int i = 0; i < 4; ++i)
        bytes[29 + i] = static_cast<char>(crc >> (24 - 8 * i));
    return bytes;
}

// A small JPEG whose frame header claims 8000 x 8000 grey pixels.
std::string jpegClaimingHugeFrame() {
    std::string bytes = jpegBytes(NQImage(16, 16, NQImageHead::NQ_8BIT));
    bytes.replace(bytes.find("\xff\xc0") + 5, 4, std::string("\x1f\x40\x1f\x40", 4));
    return bytes;
}

struct Case {
    const char* name;
    NQBaseImage* codec;
    std::function<std::string()> bytes;
    const char* owner;  // the operation named in the refusal
};

class UnbackedClaim : public ::testing::TestWithParam<Case> {};

TEST_P(UnbackedClaim, IsRefusedBeforeAnythingIsDecoded) {
    const std::string bytes = GetParam().bytes();
    EXPECT_TRUE(throwsNQ(
        [&] { GetParam().codec->nqLoadImage(bytes.data(), static_cast<int>(bytes.size())); },
        NQ_INVALID_CONTENT, std::string(GetParam().owner) + " " + kUnbacked));
}

INSTANTIATE_TEST_SUITE_P(
    Codecs, UnbackedClaim,
    ::testing::Values(
        Case{"TiffUncompressedGrey", NQTIFFImage::createImageReader(),
             [] { return TiffBuilder::basic(5000, 5000, 8, 1, 1).build({std::string(64, 'x')}); },
             "<NQTIFFImage::nqLoadImage()>"},
        Case{"TiffLzwColour", NQTIFFImage::createImageReader(),
             [] {
                 return TiffBuilder::basic(3000, 3000, 8, 3, 2)
                     .shortField(259, 5)
                     .build({std::string(64, 'x')});
             },
             "<NQTIFFImage::nqLoadImage()>"},
        Case{"TiffGroup4Bilevel", NQTIFFImage::createImageReader(),
             [] {
                 return TiffBuilder::basic(40000, 40000, 1, 1, 0)
                     .shortField(259, 4)
                     .build({std::string(64, '\0')});
             },
             "<NQTIFFImage::nqLoadImage()>"},
        Case{"Png", NQPNGImage::createImageReader(), [] { return pngClaiming(5000, 5000); },
             "<NQPNGImage::nqProcessImage()>"},
        Case{"Jpeg", NQJPGImage::createImageReader(), jpegClaimingHugeFrame,
             "<NQJPGImage::nqLoadImage()>"}),
    [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

// Blank pages above the unbacked size, each coded as tightly as its format
// allows: one bit per row in Group 4, deflate near its 1032 : 1, JPEG's
// shortest blocks.
TEST(DecodeLimits, LargeBlankPagesCodedAtTheFormatsBestRatioStillLoad) {
    const std::string g4 = tiffBytes(NQImage(12000, 12000, NQImageHead::NQ_1BIT));
    const std::string png = pngBytes(NQImage(5000, 4000, NQImageHead::NQ_8BIT));
    const std::string jpeg = jpegBytes(NQImage(5000, 4000, NQImageHead::NQ_8BIT));
    const std::pair<NQBaseImage*, const std::string*> pages[] = {
        {NQTIFFImage::createImageReader(), &g4},
        {NQPNGImage::createImageReader(), &png},
        {NQJPGImage::createImageReader(), &jpeg}};
    for (const auto& [codec, bytes] : pages) {
        const NQImage image = codec->nqLoadImage(bytes->data(), static_cast<int>(bytes->size()));
        EXPECT_GT(image.nqGetImageDataSize(), std::size_t(16) << 20) << codec->getImageName();
        EXPECT_EQ(image.nqGetPixelValue(image.nqGetWidth() - 1, image.nqGetHeight() - 1), 255);
    }
}

// 10001 one-pixel pages chained directory after directory.
std::string tiffWithPages(int pages) {
    auto put = [](std::string& out, std::uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i)
            out.push_back(static_cast<char>(value >> (8 * i)));
    };
    const std::uint16_t tags[][2] = {{256, 1}, {257, 1}, {258, 1}, {262, 1}, {273, 8}, {279, 1}};
    std::string out("II*\0\x0a\0\0\0\xff\0", 10);
    for (int page = 0; page < pages; ++page) {
        put(out, 6, 2);
        for (const auto& tag : tags) {
            put(out, tag[0], 2);
            put(out, 3, 2);
            put(out, 1, 4);
            put(out, tag[1], 4);
        }
        put(out, page + 1 < pages ? static_cast<std::uint32_t>(out.size() + 4) : 0, 4);
    }
    return out;
}

TEST(DecodeLimits, TiffPageWalkEndsAtTenThousandPages) {
    NQTIFFImage* tiff = NQTIFFImage::createImageReader();
    const std::string bytes = tiffWithPages(10001);
    const int size = static_cast<int>(bytes.size());
    EXPECT_TRUE(throwsNQ([&] { tiff->nqGetTotalPages(bytes.data(), size); }, NQ_INVALID_CONTENT,
                         "<NQTIFFImage::nqGetTotalPages()> The file holds more than 10000 pages"));
    EXPECT_EQ(tiff->nqLoadImageAtPage(bytes.data(), size, 10000).nqGetWidth(), 1);
    EXPECT_TRUE(throwsNQ([&] { tiff->nqLoadImageAtPage(bytes.data(), size, 10001); },
                         NQ_INVALID_PAGE, "Invalid page number"));
}

// The uncompressed formats compare their rows with what the stream has left
// before they allocate; a wrong count would refuse sound files or let short
// ones claim memory.
TEST(DecodeLimits, StreamsTellTheBytesLeftAfterTheirPosition) {
    nqtest::TempDir dir;
    const std::string bytes(100, 'x');
    nqtest::writeFile(dir.file("f.bin"), bytes);
    NQMemoryBasedIO memory(const_cast<char*>(bytes.data()), 100, "rb");
    NQFileBasedIO file(dir.file("f.bin").c_str(), "rb");
    char skipped[30];
    for (NQIOStream* stream :
         {static_cast<NQIOStream*>(&memory), static_cast<NQIOStream*>(&file)}) {
        EXPECT_EQ(NQCodecSupport::bytesLeft(*stream), 100u);
        ASSERT_GT(stream->nqRead(skipped, 30), 0);
        EXPECT_EQ(NQCodecSupport::bytesLeft(*stream), 70u);
    }
}

}  // namespace
