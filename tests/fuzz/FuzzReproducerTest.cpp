// Every saved reproducer of a fuzz finding (tests/fuzz/reproducers/<target>/)
// fed to the code its target exercises, with the sound outcome it must have
// now. `make fuzz-regress` runs the same files through the fuzz targets under
// the sanitizers; this suite states what each one must give.
//
// The files are made by our own code in the shape of the finding:
// tests/imageio/TiffBuilder.h, the seeds of nq_fuzz_seeds with a chunk
// altered, and libjpeg's progression of a blank picture with a scan repeated.

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <set>
#include <string>

#include "fuzz/FuzzImages.h"
#include "image/NQException.h"
#include "imageio/NQBaseImage.h"
#include "imageio/NQJPGImage.h"
#include "imageio/NQPNGImage.h"
#include "imageio/NQTIFFImage.h"
#include "support/TestSupport.h"
#include "xml/NQxml.h"

namespace {

struct Reproducer {
    const char* target;
    const char* file;
    NQExceptionCodes code;
    const char* text;  // the end of the exception's message
};

const Reproducer kReproducers[] = {
    // BitsPerSample and SamplesPerPixel of 65535 made the depth overflow an int.
    {"tiff", "depth-overflow.tif", NQ_UNSUPPORTED,
     "<NQTIFFImage::nqLoadImage()> Unsupported tiff type (may contain alpha channel)"},
    // 19 million palette pixels from 100 bytes of strip: 76 MB and seconds of work.
    {"tiff", "palette-claim-unbacked.tif", NQ_INVALID_CONTENT,
     "<NQTIFFImage::nqLoadImage()> The image claims more pixel data than the file holds"},
    // An ancillary chunk claiming 1.1 GB in a 57-byte file: libpng allocated
    // and cleared it all before finding the file's end.
    {"png", "chunk-length-unbacked.png", NQ_IO_ERROR,
     "<NQPNGImage::nqLoadImage(...)> Unable to create PNG struct."},
    // 120 scans of a 256 x 256 page: every scan costs a pass over all blocks,
    // so 2000 scans of 16 bytes kept a 4-megapixel page busy for 16 seconds.
    {"jpeg", "too-many-scans.jpg", NQ_INVALID_CONTENT,
     "<NQJPGImage::nqLoadImage()> The file has more than 100 scans"},
    // An "=" inside the last value sent the attribute search looking for a
    // quote past the end: std::out_of_range left the reader.
    {"groundtruth", "equals-in-last-value.xml", NQ_INVALID_CONTENT,
     "an attribute value that the attribute search runs past (byte 0 of the element)"},
};

std::string reproducerPath(const Reproducer& r) {
    return std::string(NQ_SOURCE_DIR) + "/tests/fuzz/reproducers/" + r.target + "/" + r.file;
}

NQBaseImage* codecOf(const std::string& target) {
    if (target == "tiff")
        return NQTIFFImage::createImageReader();
    if (target == "png")
        return NQPNGImage::createImageReader();
    if (target == "jpeg")
        return NQJPGImage::createImageReader();
    return nullptr;
}

// The ground-truth reader on the page images of its fuzz target.
void readGroundTruth(const std::string& bytes) {
    nqtest::TempDir dir;
    const NQImage pages[] = {nqfuzz::picture(64, 48, 8, 1), nqfuzz::picture(64, 48, 1, 2)};
    ASSERT_TRUE(nqfuzz::writeMultiPageTiff(dir.file("page.tif"), pages, 2));
    nqfuzz::picture(40, 30, 24, 3).nqSaveImage(dir.file("page.png").c_str());
    nqtest::writeFile(dir.file("doc.xml"), bytes);
    NQxml().nqReadFromXmlFile(dir.file("doc.xml"), dir.path());
}

class FuzzReproducer : public ::testing::TestWithParam<Reproducer> {};

TEST_P(FuzzReproducer, HasItsSoundOutcome) {
    const Reproducer& r = GetParam();
    const std::string bytes = nqtest::readFile(reproducerPath(r));
    ASSERT_FALSE(bytes.empty()) << reproducerPath(r);
    if (std::string(r.target) == "groundtruth") {
        EXPECT_TRUE(nqtest::throwsNQ([&] { readGroundTruth(bytes); }, r.code, r.text));
        return;
    }
    NQBaseImage* codec = codecOf(r.target);
    ASSERT_NE(codec, nullptr) << r.target;
    EXPECT_TRUE(nqtest::throwsNQ(
        [&] { codec->nqLoadImage(bytes.data(), static_cast<int>(bytes.size())); }, r.code, r.text));
}

INSTANTIATE_TEST_SUITE_P(Saved, FuzzReproducer, ::testing::ValuesIn(kReproducers),
                         [](const ::testing::TestParamInfo<Reproducer>& info) {
                             std::string name =
                                 std::string(info.param.target) + "_" + info.param.file;
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c)))
                                     c = '_';
                             return name;
                         });

// A reproducer saved without an entry above would be run by fuzz-regress but
// never checked for its outcome.
TEST(FuzzReproducers, EverySavedFileHasAnExpectedOutcome) {
    std::set<std::string> listed;
    for (const Reproducer& r : kReproducers)
        listed.insert(reproducerPath(r));
    const std::filesystem::path root = std::string(NQ_SOURCE_DIR) + "/tests/fuzz/reproducers";
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
        if (!entry.is_regular_file())
            continue;
        EXPECT_EQ(listed.count(entry.path().string()), 1u) << entry.path();
    }
}

}  // namespace
