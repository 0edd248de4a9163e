#ifndef NQ_TESTS_IMAGEIO_CORPUSMANIFEST_H
#define NQ_TESTS_IMAGEIO_CORPUSMANIFEST_H

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "image/NQImage.h"

// Reading the codec corpus manifest (../shared/corpus/manifest.tsv) and
// measuring decoded images the way its rows are written.
namespace nqtest {

struct ManifestRow {
    std::string path, format, codec, expect, code, bpp, width, height, sha256, mean, tol, pages,
        corrupted, note;
};

// The rows of one format folder, in file order.
inline std::vector<ManifestRow> manifestRows(const std::string& manifest,
                                             const std::string& format) {
    std::vector<ManifestRow> rows;
    std::ifstream in(manifest);
    std::string line;
    std::getline(in, line);
    while (std::getline(in, line)) {
        std::vector<std::string> cells;
        std::stringstream split(line);
        for (std::string cell; std::getline(split, cell, '\t');)
            cells.push_back(cell);
        cells.resize(14);
        if (cells[1] == format)
            rows.push_back({cells[0], cells[1], cells[2], cells[3], cells[4], cells[5], cells[6],
                            cells[7], cells[8], cells[9], cells[10], cells[11], cells[12],
                            cells[13]});
    }
    return rows;
}

// Takes over the alternative "alt: load <bpp> <w>x<h> sha256 <hash> mean <m>"
// of an unsure row; false when the note names none.
inline bool adoptLoadAlternative(ManifestRow& row) {
    const std::string::size_type alt = row.note.find("alt: load ");
    if (alt == std::string::npos)
        return false;
    std::stringstream words(row.note.substr(alt + 10));
    std::string size, label;
    words >> row.bpp >> size >> label >> row.sha256 >> label >> row.mean;
    row.width = size.substr(0, size.find('x'));
    row.height = size.substr(size.find('x') + 1);
    row.expect = "load";
    return true;
}

// Pixel bytes with the unused bits at the end of 1-bit rows cleared.
inline std::string canonicalPixels(const NQImage& image) {
    std::string bytes(reinterpret_cast<const char*>(image.nqGetImageData()),
                      image.nqGetImageDataSize());
    const int width = image.nqGetWidth();
    if (image.nqGetBitsPerPixel() == 1 && width % 8 != 0)
        for (int y = 0; y < image.nqGetHeight(); ++y)
            bytes[std::size_t(y + 1) * image.nqGetRowSize() - 1] &=
                static_cast<char>(0xff << (8 - width % 8));
    return bytes;
}

// Mean sample value; 1-bit pixels count as 0 or 255.
inline double meanSample(const NQImage& image) {
    double sum = 0;
    if (image.nqGetBitsPerPixel() == 1) {
        for (int y = 0; y < image.nqGetHeight(); ++y)
            for (int x = 0; x < image.nqGetWidth(); ++x)
                sum += image.nqGetPixelValue(x, y);
        return sum / (double(image.nqGetWidth()) * image.nqGetHeight());
    }
    for (std::size_t i = 0; i < image.nqGetImageDataSize(); ++i)
        sum += image.nqGetImageData()[i];
    return sum / double(image.nqGetImageDataSize());
}

}  // namespace nqtest

#endif
