// TIFF files written by other programs, checked against the corpus manifest:
// depth, size and SHA-256 of the pixel buffer (lossless rows), mean sample
// (lossy rows), exception code (refused rows) and page count. Every page is
// loaded from the file and from memory, and the two must agree.
//
// Rows marked unsure are checked against the alternative their note names
// when it has one (palettes of fewer than 8 bits per index, which are
// unpacked). One alternative is deliberately not followed: rdf.tif holds an
// 8-bit index and an alpha sample per pixel; the codec takes the index of
// each pixel rather than one byte per pixel of the interleaved samples, so
// only its depth and size are compared.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "image/NQException.h"
#include "image/NQImage.h"
#include "imageio/CorpusManifest.h"
#include "support/Sha256.h"
#include "support/TestSupport.h"

namespace {

// Columns: path format codec expect code bpp width height sha256 mean tol pages corrupted note
std::vector<std::vector<std::string>> tiffRows(const std::string& manifest) {
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
        if (cells[1] == "tiff")
            rows.push_back(cells);
    }
    return rows;
}

using nqtest::canonicalPixels;
using nqtest::meanSample;

// Loads a page from the file and from memory; the exception code, 0 on success.
int load(const std::string& path, int page, NQImage& image) {
    int fileCode = 0, memoryCode = 0;
    NQImage fromMemory;
    try {
        image = page == 1 ? NQImage(path.c_str()) : NQImage::nqLoadImageAtPage(path.c_str(), page);
    } catch (const NQException& e) {
        fileCode = e.nqGetErrorID();
    }
    const std::string bytes = nqtest::readFile(path);
    try {
        fromMemory = NQImage::nqLoadImageAtPage(bytes.data(), int(bytes.size()), page);
    } catch (const NQException& e) {
        memoryCode = e.nqGetErrorID();
    }
    EXPECT_EQ(fileCode, memoryCode) << "file and memory loads disagree";
    if (fileCode == 0 && memoryCode == 0) {
        EXPECT_EQ(canonicalPixels(image), canonicalPixels(fromMemory)) << "pixels differ";
    }
    return fileCode;
}

TEST(TIFFCorpus, EveryManifestRowLoadsOrIsRefusedAsListed) {
    const std::string root = nqtest::sharedPath("corpus/");
    if (!std::ifstream(root + "manifest.tsv"))
        GTEST_SKIP() << "no corpus at " << root;
    int checked = 0;
    for (std::vector<std::string> row : tiffRows(root + "manifest.tsv")) {
        SCOPED_TRACE(row[0]);
        const std::string::size_type hash = row[0].find('#');
        const int page = hash == std::string::npos ? 1 : std::atoi(row[0].c_str() + hash + 1);
        const std::string path = root + row[0].substr(0, hash);
        const std::string::size_type alt = row[13].find("alt: load ");
        if (row[3] == "unsure") {
            if (alt == std::string::npos)
                continue;
            // "alt: load <bpp> <w>x<h> sha256 <hash> ..."
            std::stringstream words(row[13].substr(alt + 10));
            std::string size, label;
            words >> row[5] >> size >> label >> row[8];
            row[6] = size.substr(0, size.find('x'));
            row[7] = size.substr(size.find('x') + 1);
            row[3] = row[0] == "tiff/pillow/rdf.tif" ? "size" : "load";
        }
        NQImage image;
        const int code = load(path, page, image);
        if (row[3] == "refuse") {
            EXPECT_EQ(std::to_string(code), row[4]);
        } else if (code != 0) {
            ADD_FAILURE() << "refused with code " << code;
        } else {
            EXPECT_EQ(std::to_string(image.nqGetBitsPerPixel()) + " " +
                          std::to_string(image.nqGetWidth()) + "x" +
                          std::to_string(image.nqGetHeight()),
                      row[5] + " " + row[6] + "x" + row[7]);
            if (row[3] == "load") {
                EXPECT_EQ(nqtest::sha256Hex(canonicalPixels(image)), row[8]);
            } else if (row[3] == "load-approx") {
                EXPECT_NEAR(meanSample(image), std::atof(row[9].c_str()),
                            std::atof(row[10].c_str()));
            }
        }
        if (row[11] == "E4") {
            EXPECT_TRUE(nqtest::throwsNQ([&] { NQImage::nqGetTotalPages(path.c_str()); },
                                         NQ_UNKNOWN_FORMAT, "Could not open incoming image"));
        } else if (!row[11].empty()) {
            const std::string bytes = nqtest::readFile(path);
            EXPECT_EQ(std::to_string(NQImage::nqGetTotalPages(path.c_str())), row[11]);
            EXPECT_EQ(std::to_string(NQImage::nqGetTotalPages(bytes.data(), int(bytes.size()))),
                      row[11]);
        }
        ++checked;
    }
    EXPECT_GT(checked, 100);
}

}  // namespace
