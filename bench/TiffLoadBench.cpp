// Times the loading of a 2480 x 3508 Group 4 page (A4 at 300 dpi) through
// NQImage and the image factory, against a bare libtiff decode of the same
// file (open, TIFFReadEncodedStrip over every strip into one buffer, close).
// The page is drawn here: lines of word-like blocks of thin strokes, so that
// the coder sees the run structure of printed text. Reports the median of
// several runs of each.
//
//   nq_tiff_load_bench [runs]

#include <tiffio.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

#include "bench/BenchSupport.h"
#include "image/NQImage.h"
#include "imageio/NQTIFFImage.h"

namespace {

// libtiff alone: what any caller of the library has to pay at least.
std::size_t bareLibtiffDecode(const char* path) {
    TIFF* tif = TIFFOpen(path, "r");
    if (tif == nullptr)
        std::exit(1);
    std::uint32_t width = 0, height = 0;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height);
    const std::size_t bytes = std::size_t((width + 7) / 8) * height;
    std::unique_ptr<unsigned char[]> buffer(new unsigned char[bytes]);
    std::size_t position = 0;
    for (tstrip_t s = 0; s < TIFFNumberOfStrips(tif); ++s) {
        const tmsize_t got = TIFFReadEncodedStrip(tif, s, buffer.get() + position,
                                                  static_cast<tmsize_t>(bytes - position));
        if (got < 0)
            std::exit(1);
        position += static_cast<std::size_t>(got);
    }
    TIFFClose(tif);
    return position;
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;
    const std::string path = "/tmp/nq_tiff_load_bench_" + std::to_string(getpid()) + ".tif";
    const NQImage page = drawTextPage(2480, 3508);
    page.nqSaveImage(path.c_str());

    std::FILE* file = std::fopen(path.c_str(), "rb");
    std::vector<char> encoded(1 << 22);
    encoded.resize(std::fread(encoded.data(), 1, encoded.size(), file));
    std::fclose(file);

    std::vector<double> bare, viaImage, fromMemory;
    for (int i = 0; i < runs; ++i) {
        auto start = std::chrono::steady_clock::now();
        bareLibtiffDecode(path.c_str());
        bare.push_back(millisecondsSince(start));

        start = std::chrono::steady_clock::now();
        NQImage loaded(path.c_str());
        viaImage.push_back(millisecondsSince(start));

        start = std::chrono::steady_clock::now();
        NQImage buffered(encoded.data(), static_cast<int>(encoded.size()));
        fromMemory.push_back(millisecondsSince(start));
        if (loaded.nqGetImageDataSize() != page.nqGetImageDataSize())
            return 1;
    }
    std::remove(path.c_str());

    std::printf("2480 x 3508 Group 4 page, %zu bytes encoded, median of %d runs\n", encoded.size(),
                runs);
    std::printf("  bare libtiff (TIFFOpen + TIFFReadEncodedStrip): %7.2f ms\n", median(bare));
    std::printf("  NQImage(fileName) through the factory:          %7.2f ms\n", median(viaImage));
    std::printf("  NQImage(buffer, size) through the factory:      %7.2f ms\n", median(fromMemory));
    return 0;
}
