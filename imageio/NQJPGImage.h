#ifndef NQ_IMAGEIO_NQJPGIMAGE_H
#define NQ_IMAGEIO_NQJPGIMAGE_H

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <vector>

#include <jpeglib.h>

#include "imageio/NQBaseImage.h"

class NQMemoryBasedIO;

// One colour of a palette load and the number of pixels that use it.
struct NQJPGPaletteEntry {
    unsigned char red;
    unsigned char green;
    unsigned char blue;
    std::uint32_t count;
};

// The JPEG (JFIF) codec on libjpeg (API version 62). JPEG files have one page.
//
// Loading gives 8-bit grey for one-component files and 24-bit RGB for colour
// files; CMYK and YCCK files are reduced to RGB. The resolution comes from the
// JFIF density (dots per centimetre are converted to dots per inch). A file
// whose data libjpeg had to repair (corrupt-data warnings, a missing end) is
// loaded and marked corrupted.
//
// With a palette requested (nqAllocatePalette), colour loads are quantised by
// libjpeg's two-pass quantiser to the requested number of colours and grey
// loads count their 256 levels; the palette and its pixel counts stay in the
// codec until the next load that fills them, so palette loads are not
// re-entrant.
//
// Saving writes baseline JFIF at the given quality (95 by default) with the
// image's resolution in dots per inch: 8-bit images as grey, 24-bit images as
// colour, 1-bit images after conversion to grey.
//
// libjpeg's fatal errors long-jump back into the codec, which then throws
// NQException; no exception ever passes through libjpeg.
class NQJPGImage : public NQBaseImage {
public:
    static constexpr int kDefaultQuality = 95;

    // The codec's single instance, created on first call.
    static NQJPGImage* createImageReader();
    ~NQJPGImage() override;

    // The first two bytes are FF D8 (or D8 FF). A buffer of fewer than 4 bytes
    // is not JPEG; a file that cannot be opened raises code 2.
    bool nqSupportImageFile(const char* fileName) override;
    bool nqSupportImageBuffer(const void* buffer, int size) override;

    void nqSaveImage(const char* fileName, const NQImage& image) override;
    unsigned char* nqSaveImageToMem(int& size, const NQImage& image) override;
    // A null file name writes nothing.
    void nqSaveImage(const char* fileName, const NQImage& image, int quality);
    unsigned char* nqSaveImageToMem(int& size, const NQImage& image, int quality);

    NQImage nqLoadImage(const char* fileName) override;
    NQImage nqLoadImage(const void* buffer, int size) override;
    void nqLoadImage(const char* fileName, NQImage& out);
    // Load from a decompressor whose source is set up. They install their own
    // error manager and destroy the decompressor on every path. The image is
    // bounded by the bytes of the source when it is the memory source, by
    // the pixel cap alone otherwise.
    NQImageHead nqLoadHeader(jpeg_decompress_struct& decompressor);
    NQImage nqLoadImage(jpeg_decompress_struct& decompressor);

    // 1, without looking at the data.
    int nqGetTotalPages(const void* buffer, int size) override;
    int nqGetTotalPages(const char* fileName) override;

    NQImage nqLoadImageAtPage(const char* fileName, int page) override;
    NQImage nqLoadImageAtPage(const void* buffer, int size, int page) override;

    NQImageHead nqLoadHeader(const char* fileName) override;
    NQImageHead nqLoadHeader(const void* buffer, int size) override;
    NQImageHead nqLoadHeaderAtPage(const char* fileName, int page) override;
    NQImageHead nqLoadHeaderAtPage(const void* buffer, int size, int page) override;

    // Makes the decompressor read `size` bytes at `buffer` (not copied) in
    // blocks of 4096; past the end it is fed an end-of-image marker. The
    // source is allocated once per decompressor.
    static void nqSetupMemSrcMgr(jpeg_decompress_struct* decompressor, const void* buffer,
                                 int size);
    // Makes the compressor write into `stream` in blocks of 4096 bytes.
    static void nqSetupMemDstMgr(jpeg_compress_struct* compressor, NQMemoryBasedIO* stream);

    // Requests palette loads with n colours; returns the (zeroed) palette.
    NQJPGPaletteEntry* nqAllocatePalette(int n);
    // Ends palette loads and releases the palette.
    void nqFreePalette();
    const NQJPGPaletteEntry* nqGetPalette() const { return palette_.data(); }
    int nqGetActualColors() const { return actualColors_; }
    // libjpeg's output colour space (J_COLOR_SPACE) of the last pixel load.
    int nqGetColorSpace() const { return colorSpace_; }
    // Loads may run on several threads at once; the two values above are then
    // those of one of the latest loads. Palette loads are a mode of the codec
    // as a whole and are not for use while other threads load JPEG images.

private:
    NQJPGImage();
    // The pixel load from a source of `codedBytes` bytes.
    NQImage decodeImage(jpeg_decompress_struct& decompressor, std::uint64_t codedBytes);
    // Palette steps of a pixel load.
    void prepareQuantisation(jpeg_decompress_struct& decompressor);
    void expandQuantised(jpeg_decompress_struct& decompressor, unsigned char* pixels,
                         std::size_t count);
    void countGreyLevels(const unsigned char* pixels, std::size_t count);

    bool paletteRequested_ = false;
    int requestedColors_ = 0;
    std::atomic<int> actualColors_{0};
    std::vector<NQJPGPaletteEntry> palette_;
    std::atomic<int> colorSpace_{JCS_UNKNOWN};
};

#endif
