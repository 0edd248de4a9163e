// TIFF files written by other programs, checked against the corpus manifest:
// depth, size and SHA-256 of the pixel buffer (lossless rows), mean sample
// value (lossy rows), the exception code (refused rows) and the page count.
// Every row is loaded from the file and from memory; both must agree.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "image/NQException.h"
#include "image/NQImage.h"
#include "imageio/NQImageFactory.h"
#include "support/Sha256.h"
#include "support/TestSupport.h"

namespace {

struct ManifestRow {
    std::string path;  // relative to the corpus folder, without "#N"
    int page = 1;
    std::string expect, code, bpp, width, height, sha256, mean, tol, pages;
};

std::vector<ManifestRow> readTiffRows(const std::string& manifest) {
    std::vector<ManifestRow> rows;
    std::ifstream in(manifest);
    std::string line;
    std::getline(in, line);  // column names
    while (std::getline(in, line)) {
        std::vector<std::string> cells;
        std::stringstream split(line);
        std::string cell;
        while (std::getline(split, cell, '\t')) cells.push_back(cell);
        cells.resize(14);
        if (cells[1] != "tiff") continue;
        ManifestRow row;
        row.path = cells[0];
        const std::string::size_type hash = row.path.find('#');
        if (hash != std::string::npos) {
            row.page = std::atoi(row.path.c_str() + hash + 1);
            row.path.erase(hash);
        }
        row.expect = cells[3];
        row.code = cells[4];
        row.bpp = cells[5];
        row.width = cells[6];
        row.height = cells[7];
        row.sha256 = cells[8];
        row.mean = cells[9];
        row.tol = cells[10];
        row.pages = cells[11];
        rows.push_back(row);
    }
    return rows;
}

// Pixel bytes with the bits beyond the width of every 1-bit row cleared.
std::string canonicalPixels(const NQImage& image) {
    std::string bytes(reinterpret_cast<const char*>(image.nqGetImageData()),
                      image.nqGetImageDataSize());
    const int width = image.nqGetWidth();
    if (image.nqGetBitsPerPixel() == 1 && width % 8 != 0) {
        const int rowSize = image.nqGetRowSize();
        const auto keep = static_cast<unsigned char>(0xff << (8 - width % 8));
        for (int y = 0; y < image.nqGetHeight(); ++y)
            bytes[std::size_t(y) * rowSize + rowSize - 1] &= static_cast<char>(keep);
    }
    return bytes;
}

double meanSample(const NQImage& image) {
    const std::string bytes = canonicalPixels(image);
    double sum = 0;
    std::size_t count = 0;
    if (image.nqGetBitsPerPixel() == 1) {
        for (int y = 0; y < image.nqGetHeight(); ++y)
            for (int x = 0; x < image.nqGetWidth(); ++x, ++count)
                sum += image.nqGetPixelValue(x, y);
    } else {
        for (unsigned char c : bytes) sum += c, ++count;
    }
    return count == 0 ? 0 : sum / count;
}

// Loads page `page` from the file and from memory. Returns the exception code
// (0 when both loads succeed); a disagreement between the two paths fails.
int loadBothWays(const std::string& path, int page, NQImage& image) {
    NQImageFactory* factory = NQImageFactory::nqGetInstance();
    int fileCode = 0, memoryCode = 0;
    NQImage fromMemory;
    try {
        image = page == 1 ? factory->nqLoadImage(path.c_str())
                          : factory->nqLoadImageAtPage(path.c_str(), page);
    } catch (const NQException& e) {
        fileCode = e.nqGetErrorID();
    }
    const std::string bytes = nqtest::readFile(path);
    try {
        fromMemory = factory->nqLoadImageAtPage(bytes.data(), static_cast<int>(bytes.size()), page);
    } catch (const NQException& e) {
        memoryCode = e.nqGetErrorID();
    }
    EXPECT_EQ(fileCode, memoryCode) << "file and memory loads disagree";
    if (fileCode == 0 && memoryCode == 0) {
        EXPECT_EQ(nqtest::sha256Hex(canonicalPixels(image)),
                  nqtest::sha256Hex(canonicalPixels(fromMemory)))
            << "file and memory pixels differ";
    }
    return fileCode;
}

TEST(TIFFCorpus, EveryManifestRowLoadsOrIsRefusedAsListed) {
    const std::string root = nqtest::sharedPath("corpus/");
    std::ifstream probe(root + "manifest.tsv");
    if (!probe) GTEST_SKIP() << "corpus not present at " << root;
    const std::vector<ManifestRow> rows = readTiffRows(root + "manifest.tsv");
    ASSERT_FALSE(rows.empty());

    int checked = 0;
    for (const ManifestRow& row : rows) {
        SCOPED_TRACE(row.path + " page " + std::to_string(row.page));
        if (row.expect == "unsure") continue;
        const std::string path = root + row.path;
        NQImage image;
        const int code = loadBothWays(path, row.page, image);
        if (row.expect == "refuse") {
            EXPECT_EQ(std::to_string(code), row.code);
        } else {
            ASSERT_EQ(code, 0) << "refused a file that should load";
            EXPECT_EQ(std::to_string(image.nqGetBitsPerPixel()), row.bpp);
            EXPECT_EQ(std::to_string(image.nqGetWidth()), row.width);
            EXPECT_EQ(std::to_string(image.nqGetHeight()), row.height);
            if (row.expect == "load")
                EXPECT_EQ(nqtest::sha256Hex(canonicalPixels(image)), row.sha256);
            else
                EXPECT_NEAR(meanSample(image), std::atof(row.mean.c_str()),
                            std::atof(row.tol.c_str()));
        }
        if (!row.pages.empty()) {
            const std::string bytes = nqtest::readFile(path);
            if (row.pages == "E4") {
                EXPECT_TRUE(nqtest::throwsNQ([&] { NQImage::nqGetTotalPages(path.c_str()); },
                                             NQ_UNKNOWN_FORMAT, "Could not open incoming image"));
            } else {
                EXPECT_EQ(std::to_string(NQImage::nqGetTotalPages(path.c_str())), row.pages);
                EXPECT_EQ(std::to_string(NQImage::nqGetTotalPages(
                              bytes.data(), static_cast<int>(bytes.size()))),
                          row.pages);
            }
        }
        ++checked;
    }
    EXPECT_GT(checked, 90);
}

}  // namespace
