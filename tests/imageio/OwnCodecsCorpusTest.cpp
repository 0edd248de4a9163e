// BMP, PBM, PPM and GIF files written by other programs, checked against the
// corpus manifest through the factory: depth, size and SHA-256 of the pixels
// (load rows), mean sample (load-approx rows), exception code (refuse rows)
// and page count. File and memory loads must agree on every row, including
// the unsure ones, which are otherwise only required to load or be refused
// without harm.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "image/NQException.h"
#include "image/NQImage.h"
#include "support/Sha256.h"
#include "support/TestSupport.h"

namespace {

// Columns: path format codec expect code bpp width height sha256 mean tol pages corrupted note
std::vector<std::vector<std::string>> ownCodecRows(const std::string& manifest) {
    const std::set<std::string> formats{"bmp", "pnm", "gif"};
    std::vector<std::vector<std::string>> rows;
    std::ifstream in(manifest);
    std::string line;
    std::getline(in, line);
    while (std::getline(in, line)) {
        std::vector<std::string> cells;
        std::stringstream split(line);
        for (std::string cell; std::getline(split, cell, '\t');)
            cells.push_back(cell);
        cells.resize(14);
        if (formats.count(cells[1]) != 0)
            rows.push_back(cells);
    }
    return rows;
}

// Pixel bytes with the unused bits at the end of 1-bit rows cleared.
std::string canonicalPixels(const NQImage& image) {
    std::string bytes(reinterpret_cast<const char*>(image.nqGetImageData()),
                      image.nqGetImageDataSize());
    const int width = image.nqGetWidth();
    if (image.nqGetBitsPerPixel() == 1 && width % 8 != 0)
        for (int y = 0; y < image.nqGetHeight(); ++y)
            bytes[std::size_t(y + 1) * image.nqGetRowSize() - 1] &=
                static_cast<char>(0xff << (8 - width % 8));
    return bytes;
}

double meanSample(const NQImage& image) {
    double sum = 0;
    for (std::size_t i = 0; i < image.nqGetImageDataSize(); ++i)
        sum += image.nqGetImageData()[i];
    return sum / double(image.nqGetImageDataSize());
}

// Loads from the file and from memory; the exception code, 0 on success.
int load(const std::string& path, NQImage& image) {
    int fileCode = 0, memoryCode = 0;
    NQImage fromMemory;
    try {
        image = NQImage(path.c_str());
    } catch (const NQException& e) {
        fileCode = e.nqGetErrorID();
    }
    const std::string bytes = nqtest::readFile(path);
    try {
        fromMemory = NQImage(bytes.data(), int(bytes.size()));
    } catch (const NQException& e) {
        memoryCode = e.nqGetErrorID();
    }
    EXPECT_EQ(fileCode, memoryCode) << "file and memory loads disagree";
    if (fileCode == 0 && memoryCode == 0) {
        EXPECT_EQ(canonicalPixels(image), canonicalPixels(fromMemory)) << "pixels differ";
    }
    return fileCode;
}

TEST(OwnCodecsCorpus, EveryManifestRowLoadsOrIsRefusedAsListed) {
    const std::string root = nqtest::sharedPath("corpus/");
    if (!std::ifstream(root + "manifest.tsv"))
        GTEST_SKIP() << "no corpus at " << root;
    int checked = 0;
    for (const std::vector<std::string>& row : ownCodecRows(root + "manifest.tsv")) {
        SCOPED_TRACE(row[0]);
        const std::string path = root + row[0];
        NQImage image;
        const int code = load(path, image);
        EXPECT_EQ(std::to_string(NQImage::nqGetTotalPages(path.c_str())), row[11]);
        if (row[3] == "unsure")
            continue;
        ++checked;
        if (row[3] == "refuse") {
            EXPECT_EQ(std::to_string(code), row[4]);
            continue;
        }
        ASSERT_EQ(code, 0) << "refused";
        EXPECT_EQ(std::to_string(image.nqGetBitsPerPixel()) + " " +
                      std::to_string(image.nqGetWidth()) + "x" +
                      std::to_string(image.nqGetHeight()),
                  row[5] + " " + row[6] + "x" + row[7]);
        if (row[3] == "load")
            EXPECT_EQ(nqtest::sha256Hex(canonicalPixels(image)), row[8]);
        else
            EXPECT_NEAR(meanSample(image), std::atof(row[9].c_str()), std::atof(row[10].c_str()));
    }
    EXPECT_GT(checked, 100);
}

}  // namespace
