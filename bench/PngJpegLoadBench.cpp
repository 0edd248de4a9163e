// Times the loading of a 2480 x 3508 page (A4 at 300 dpi) stored as an 8-bit
// grey PNG and as an RGB JPEG, through NQImage and the image factory (from the
// file and from a buffer), against a bare decode of the same file with libpng
// or libjpeg alone (open, read the header, decode every row into one buffer,
// close). The page is drawn here like a scan: lines of word-like blocks of
// dark strokes on a slightly uneven, noisy paper tone, so that the coders see
// the structure and the noise of a real page. Reports the median of several
// runs of each.
//
//   nq_png_jpeg_load_bench [runs]

#include <png.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include <jpeglib.h>
#include <malloc.h>
#include <unistd.h>

#include "bench/BenchSupport.h"
#include "image/NQImage.h"
#include "imageio/NQJPGImage.h"
#include "imageio/NQPNGImage.h"

namespace {

constexpr int kWidth = 2480;
constexpr int kHeight = 3508;

// Grey scan: paper around 230 with noise, ink strokes around 40.
NQImage drawGreyPage() {
    NQImage page(kWidth, kHeight, NQImageHead::NQ_8BIT);
    unsigned state = 2024;
    auto next = [&state](int range) {
        state = state * 1103515245u + 12345u;
        return static_cast<int>((state >> 16) % static_cast<unsigned>(range));
    };
    unsigned char* data = page.nqGetImageData();
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            data[std::size_t(y) * kWidth + x] =
                static_cast<unsigned char>(222 + (x + y) / 800 + next(8));
    for (int top = 200; top + 30 < kHeight - 200; top += 42) {
        int x = 180 + next(40);
        while (x < kWidth - 300) {
            const int word = 30 + next(140);
            for (int stroke = x; stroke < x + word; stroke += 5 + next(4))
                for (int y = top + 8 - (next(3) == 0 ? 8 : 0); y < top + 26; ++y)
                    for (int dx = 0; dx < 2 + next(2); ++dx)
                        data[std::size_t(y) * kWidth + stroke + dx] =
                            static_cast<unsigned char>(30 + next(30));
            x += word + 14 + next(10);
        }
    }
    return page;
}

// The same page on yellowed paper with brown ink.
NQImage tint(const NQImage& grey) {
    NQImage colour(kWidth, kHeight, NQImageHead::NQ_24BIT);
    const unsigned char* g = grey.nqGetImageData();
    unsigned char* c = colour.nqGetImageData();
    for (std::size_t i = 0; i < grey.nqGetImageDataSize(); ++i) {
        c[3 * i] = g[i];
        c[3 * i + 1] = static_cast<unsigned char>(g[i] * 15 / 16);
        c[3 * i + 2] = static_cast<unsigned char>(g[i] * 3 / 4);
    }
    return colour;
}

[[noreturn]] void giveUp(const char* what) {
    std::fprintf(stderr, "bench: %s\n", what);
    std::exit(1);
}

// libpng alone, on an 8-bit grey file: what any caller has to pay at least.
std::size_t bareLibpngDecode(const char* path) {
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr)
        giveUp("cannot open the PNG");
    // An error ends the program, so no jump buffer is needed.
    png_structp png = png_create_read_struct(
        PNG_LIBPNG_VER_STRING, nullptr,
        [](png_structp, png_const_charp) { giveUp("libpng failed"); }, nullptr);
    png_infop info = png_create_info_struct(png);
    png_init_io(png, file);
    png_read_info(png, info);
    png_read_update_info(png, info);
    const std::size_t rowBytes = png_get_rowbytes(png, info);
    const png_uint_32 height = png_get_image_height(png, info);
    std::unique_ptr<unsigned char[]> pixels(new unsigned char[rowBytes * height]);
    std::vector<png_bytep> rows(height);
    for (png_uint_32 y = 0; y < height; ++y)
        rows[y] = pixels.get() + y * rowBytes;
    png_read_image(png, rows.data());
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(file);
    return rowBytes * height;
}

// libjpeg alone, with its standard error handling and 16 rows per call.
std::size_t bareLibjpegDecode(const char* path) {
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr)
        giveUp("cannot open the JPEG");
    jpeg_decompress_struct cinfo{};
    jpeg_error_mgr errors{};
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&cinfo);
    jpeg_stdio_src(&cinfo, file);
    jpeg_read_header(&cinfo, TRUE);
    jpeg_start_decompress(&cinfo);
    const std::size_t stride = std::size_t(cinfo.output_width) * cinfo.output_components;
    std::unique_ptr<unsigned char[]> pixels(new unsigned char[stride * cinfo.output_height]);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW rows[16];
        for (int i = 0; i < 16; ++i)
            rows[i] =
                pixels.get() +
                std::min<std::size_t>(cinfo.output_scanline + i, cinfo.output_height - 1) * stride;
        jpeg_read_scanlines(&cinfo, rows, 16);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    std::fclose(file);
    return stride * cinfo.output_height;
}

std::vector<char> readAll(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        giveUp("cannot read back the page");
    std::vector<char> bytes;
    char block[1 << 16];
    for (std::size_t got; (got = std::fread(block, 1, sizeof block, file)) > 0;)
        bytes.insert(bytes.end(), block, block + got);
    std::fclose(file);
    return bytes;
}

// Times the bare decode and the two NQImage loads of one file and prints them.
void timeLoads(const char* label, const std::string& path, std::size_t expectedBytes,
               std::size_t (*bareDecode)(const char*), int runs) {
    const std::vector<char> encoded = readAll(path);
    std::vector<double> bare, viaImage, fromMemory;
    for (int i = 0; i < runs; ++i) {
        // Each decode's block is released before the next one starts.
        auto start = std::chrono::steady_clock::now();
        std::size_t bytes = bareDecode(path.c_str());
        bare.push_back(millisecondsSince(start));
        if (bytes != expectedBytes)
            giveUp("the bare decode gave the wrong size");

        start = std::chrono::steady_clock::now();
        bytes = NQImage(path.c_str()).nqGetImageDataSize();
        viaImage.push_back(millisecondsSince(start));
        if (bytes != expectedBytes)
            giveUp("the load from the file gave the wrong size");

        start = std::chrono::steady_clock::now();
        bytes = NQImage(encoded.data(), static_cast<int>(encoded.size())).nqGetImageDataSize();
        fromMemory.push_back(millisecondsSince(start));
        if (bytes != expectedBytes)
            giveUp("the load from memory gave the wrong size");
    }
    std::printf("%s, %zu bytes encoded, median of %d runs\n", label, encoded.size(), runs);
    std::printf("  bare decode of the library alone:          %7.2f ms\n", median(bare));
    std::printf("  NQImage(fileName) through the factory:     %7.2f ms\n", median(viaImage));
    std::printf("  NQImage(buffer, size) through the factory: %7.2f ms\n", median(fromMemory));
}

}  // namespace

int main(int argc, char** argv) {
    // Freed blocks stay with the allocator, so that every decode writes into
    // pages that are already mapped: otherwise whichever decode comes first
    // after a release pays the kernel's page faults for its whole block, which
    // is not the decoder's cost.
    mallopt(M_MMAP_THRESHOLD, 1 << 30);
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 11;
    const std::string stem = "/tmp/nq_png_jpeg_load_bench_" + std::to_string(getpid());
    const NQImage grey = drawGreyPage();
    const NQImage colour = tint(grey);
    NQPNGImage::createImageReader()->nqSaveImage((stem + ".png").c_str(), grey);
    NQJPGImage::createImageReader()->nqSaveImage((stem + ".jpg").c_str(), colour);

    timeLoads("2480 x 3508 8-bit grey PNG (libpng)", stem + ".png", grey.nqGetImageDataSize(),
              bareLibpngDecode, runs);
    timeLoads("2480 x 3508 RGB JPEG, quality 95 (libjpeg)", stem + ".jpg",
              colour.nqGetImageDataSize(), bareLibjpegDecode, runs);
    std::remove((stem + ".png").c_str());
    std::remove((stem + ".jpg").c_str());
    return 0;
}
