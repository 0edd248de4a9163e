// Times the loading of a 2480 x 3508 page (A4 at 300 dpi) written by our own
// encoders as PBM (P4), as 24-bit BMP and as GIF, through NQImage and the
// image factory from the file and from memory, against the least any loader
// pays: reading the file into memory plus one pass that writes every byte of
// the decoded image from the file's bytes. The page is drawn here: lines of
// word-like blocks of thin strokes, in dark blue on white for the colour
// formats. Reports the median of several runs of each.
//
//   nq_own_codecs_load_bench [runs]

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

#include "analysis/NQBitsPerPixelConverter.h"
#include "bench/BenchSupport.h"
#include "image/NQImage.h"
#include "imageio/NQBMPImage.h"
#include "imageio/NQGIFImage.h"
#include "imageio/NQPBMImage.h"

namespace {

std::vector<unsigned char> readFile(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr || std::fseek(file, 0, SEEK_END) != 0)
        std::exit(1);
    std::vector<unsigned char> bytes(static_cast<std::size_t>(std::ftell(file)));
    std::rewind(file);
    if (std::fread(bytes.data(), 1, bytes.size(), file) != bytes.size())
        std::exit(1);
    std::fclose(file);
    return bytes;
}

// The floor: the file read into memory, then every byte of an image-sized
// block written from a byte of the file.
unsigned char readAndOnePass(const std::string& path, std::size_t imageBytes) {
    const std::vector<unsigned char> bytes = readFile(path);
    std::unique_ptr<unsigned char[]> image(new unsigned char[imageBytes]);
    const std::size_t size = bytes.size();
    for (std::size_t i = 0, j = 0; i < imageBytes; ++i) {
        image[i] = static_cast<unsigned char>(~bytes[j]);
        if (++j == size)
            j = 0;
    }
    return image[imageBytes / 2];
}

void timeLoads(const char* label, const NQImage& page, NQBaseImage* codec, const std::string& path,
               int runs) {
    codec->nqSaveImage(path.c_str(), page);
    const std::vector<unsigned char> encoded = readFile(path);
    std::vector<double> floor, fromFile, fromMemory;
    unsigned sink = 0;
    // Each result is released before the next measurement, so that every one
    // finds the same memory free.
    for (int i = 0; i < runs; ++i) {
        auto start = std::chrono::steady_clock::now();
        sink += readAndOnePass(path, page.nqGetImageDataSize());
        floor.push_back(millisecondsSince(start));

        start = std::chrono::steady_clock::now();
        {
            NQImage loaded(path.c_str());
            fromFile.push_back(millisecondsSince(start));
            if (loaded.nqGetImageDataSize() != page.nqGetImageDataSize())
                std::exit(1);
        }

        start = std::chrono::steady_clock::now();
        {
            NQImage buffered(encoded.data(), static_cast<int>(encoded.size()));
            fromMemory.push_back(millisecondsSince(start));
        }
    }
    std::remove(path.c_str());
    std::printf("%s, %zu bytes encoded (checksum %u)\n", label, encoded.size(), sink % 10);
    std::printf("  read file + one pass over the pixels:      %7.2f ms\n", median(floor));
    std::printf("  NQImage(fileName) through the factory:     %7.2f ms\n", median(fromFile));
    std::printf("  NQImage(buffer, size) through the factory: %7.2f ms\n", median(fromMemory));
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 9;
    const std::string stem = "/tmp/nq_own_codecs_load_bench_" + std::to_string(getpid());
    const NQImage page = drawTextPage(2480, 3508);
    const NQImage colour = NQBitsPerPixelConverter::nqBinary2Color(page, 20, 40, 110);

    std::printf("2480 x 3508 page, median of %d runs\n", runs);
    timeLoads("PBM (P4), 1 bit", page, NQPBMImage::createImageReader(), stem + ".pbm", runs);
    timeLoads("BMP, 24 bits", colour, NQBMPImage::createImageReader(), stem + ".bmp", runs);
    timeLoads("GIF, 2 colours", colour, NQGIFImage::createImageReader(), stem + ".gif", runs);
    return 0;
}
