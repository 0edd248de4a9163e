// PNG, JPEG, BMP, PBM, PPM and GIF files written by other programs, checked
// against the corpus manifest through the image factory: the codec it picks,
// depth, size and SHA-256 of the pixels (lossless rows) or mean sample within
// the row's tolerance (lossy rows and damaged GIFs), the corrupted mark, exception codes of refused
// rows and page counts. Each file is loaded from its name and from memory, and the two loads must
// agree in every respect.
//
// Unsure rows are checked against their "alt: load" alternative, which is what
// the installed libraries do: libpng 1.6 expands 2- and 4-bit grey without
// turning tRNS into alpha, and libjpeg-turbo decodes arithmetic coding. Unsure
// rows without one (hostile palettes and sizes among them) must load or be
// refused alike from the file and from memory.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "image/NQException.h"
#include "image/NQImage.h"
#include "imageio/CorpusManifest.h"
#include "imageio/NQBaseImage.h"
#include "imageio/NQImageFactory.h"
#include "support/Sha256.h"
#include "support/TestSupport.h"

namespace {

struct Loaded {
    int code = 0;  // the NQException code, 0 when the load succeeded
    NQImage image;
};

template <typename Load>
Loaded attempt(Load load) {
    Loaded loaded;
    try {
        loaded.image = load();
    } catch (const NQException& e) {
        loaded.code = e.nqGetErrorID();
    }
    return loaded;
}

class CodecCorpus : public ::testing::TestWithParam<const char*> {};

TEST_P(CodecCorpus, EveryManifestRowLoadsOrIsRefusedAsListedFromFileAndMemory) {
    const std::string root = nqtest::sharedPath("corpus/");
    if (!std::ifstream(root + "manifest.tsv"))
        GTEST_SKIP() << "no corpus at " << root;
    int checked = 0;
    for (nqtest::ManifestRow row : nqtest::manifestRows(root + "manifest.tsv", GetParam())) {
        SCOPED_TRACE(row.path);
        const bool unsettled = row.expect == "unsure" && !nqtest::adoptLoadAlternative(row);
        const bool lossy = row.format == "jpeg" || row.expect == "load-approx";
        const std::string path = root + row.path;
        const std::string bytes = nqtest::readFile(path);
        const Loaded fromFile = attempt([&] { return NQImage(path.c_str()); });
        const Loaded fromMemory =
            attempt([&] { return NQImage(bytes.data(), static_cast<int>(bytes.size())); });
        // A row the manifest leaves open is only loaded both ways, which must agree.
        if (unsettled) {
            EXPECT_EQ(fromFile.code, fromMemory.code) << "file and memory loads disagree";
            if (fromFile.code == 0 && fromMemory.code == 0) {
                EXPECT_EQ(nqtest::canonicalPixels(fromFile.image),
                          nqtest::canonicalPixels(fromMemory.image));
            }
            ++checked;
            continue;
        }

        const NQBaseImage* codec =
            NQImageFactory::nqGetInstance()->nqIdentifyImageType(path.c_str());
        EXPECT_EQ(codec != nullptr ? codec->getImageName() : "none", row.codec);
        EXPECT_EQ(fromFile.code, fromMemory.code) << "file and memory loads disagree";
        if (row.expect == "refuse") {
            EXPECT_EQ(std::to_string(fromFile.code), row.code);
        } else if (fromFile.code != 0 || fromMemory.code != 0) {
            ADD_FAILURE() << "refused with code " << fromFile.code << "/" << fromMemory.code;
        } else {
            const NQImage& image = fromFile.image;
            EXPECT_EQ(std::to_string(image.nqGetBitsPerPixel()) + " " +
                          std::to_string(image.nqGetWidth()) + "x" +
                          std::to_string(image.nqGetHeight()),
                      row.bpp + " " + row.width + "x" + row.height);
            EXPECT_EQ(nqtest::canonicalPixels(image), nqtest::canonicalPixels(fromMemory.image));
            EXPECT_EQ(image.isImageCorrupted(), fromMemory.image.isImageCorrupted());
            if (lossy) {
                const double tolerance = row.tol.empty() ? 1.0 : std::atof(row.tol.c_str());
                EXPECT_NEAR(nqtest::meanSample(image), std::atof(row.mean.c_str()), tolerance);
            } else {
                EXPECT_EQ(nqtest::sha256Hex(nqtest::canonicalPixels(image)), row.sha256);
            }
            if (!row.corrupted.empty()) {
                EXPECT_EQ(image.isImageCorrupted(), row.corrupted == "1");
            }
        }
        EXPECT_EQ(std::to_string(NQImage::nqGetTotalPages(path.c_str())), row.pages);
        EXPECT_EQ(std::to_string(NQImage::nqGetTotalPages(bytes.data(), int(bytes.size()))),
                  row.pages);
        ++checked;
    }
    EXPECT_GT(checked, 30);
}

INSTANTIATE_TEST_SUITE_P(PngAndJpeg, CodecCorpus, ::testing::Values("png", "jpeg"));
INSTANTIATE_TEST_SUITE_P(OwnCodecs, CodecCorpus, ::testing::Values("bmp", "pnm", "gif"));

}  // namespace
