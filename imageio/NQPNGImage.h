#ifndef NQ_IMAGEIO_NQPNGIMAGE_H
#define NQ_IMAGEIO_NQPNGIMAGE_H

#include <cstddef>
#include <cstdio>

#include <png.h>

#include "imageio/NQBaseImage.h"

// The PNG codec on libpng 1.6. PNG files have one page.
//
// Loading reduces every accepted PNG to 1-bit grey, 8-bit grey or 24-bit RGB:
// 16-bit samples are stripped to 8 bits, 2- and 4-bit grey is expanded to 8
// bits, palettes are expanded to RGB; 1-bit grey stays binary (PNG's 0 is
// black, 1 white, as in NQImage). Images with an alpha channel are refused,
// and so is anything whose transformed depth is not 1, 8 or 24 (a palette with
// a tRNS chunk expands to RGBA). The resolution comes from the pHYs chunk in
// pixels per inch (0 when the chunk is absent).
//
// Saving writes 1-bit grey, 8-bit grey or 8-bit RGB, not interlaced. Saving to
// memory and saving with a compression argument are refused (code 11).
//
// libpng's fatal errors long-jump back into the codec, which then throws
// NQException; no exception ever passes through libpng.
class NQPNGImage : public NQBaseImage {
public:
    // The codec's single instance, created on first call.
    static NQPNGImage* createImageReader();
    ~NQPNGImage() override;

    // The eight bytes of the PNG signature. A file that cannot be opened
    // raises code 1; a buffer of fewer than 8 bytes is not PNG.
    bool nqSupportImageFile(const char* fileName) override;
    bool nqSupportImageBuffer(const void* buffer, int size) override;

    void nqSaveImage(const char* fileName, const NQImage& image) override;
    // Always refused with code 11.
    unsigned char* nqSaveImageToMem(int& size, const NQImage& image) override;
    void nqSaveImage(const char* fileName, const NQImage& image, int compression);

    NQImage nqLoadImage(const char* fileName) override;
    NQImage nqLoadImage(const void* buffer, int size) override;
    // Loads from a file open for binary reading and positioned at its start;
    // takes the file over and closes it on every path.
    NQImage nqLoadImage(std::FILE* file);
    void nqLoadImage(const char* fileName, NQImage& out);
    // The pixel read on structures whose input is set up and whose signature
    // (8 bytes) has been consumed. The caller keeps and destroys the structures.
    // The input's size is unknown here, so the image is bounded by the pixel
    // cap only; the codec's own loads also bound it by the bytes of the file.
    NQImage nqProcessImage(png_structp png, png_infop info);

    // 1, without looking at the data.
    int nqGetTotalPages(const void* buffer, int size) override;
    int nqGetTotalPages(const char* fileName) override;

    // Page 1 only: page 0 raises code 15, later pages code 8 (image) or 15 (header).
    NQImage nqLoadImageAtPage(const char* fileName, int page) override;
    NQImage nqLoadImageAtPage(const void* buffer, int size, int page) override;

    NQImageHead nqLoadHeader(const char* fileName) override;
    NQImageHead nqLoadHeader(const void* buffer, int size) override;
    NQImageHead nqLoadHeaderAtPage(const char* fileName, int page) override;
    NQImageHead nqLoadHeaderAtPage(const void* buffer, int size, int page) override;

    // libpng handlers. The error handler logs the message at NQ_INFO and
    // long-jumps to the structure's jump buffer; it never returns.
    static void nqPNGError(png_structp png, png_const_charp message);
    static void nqPNGWarning(png_structp png, png_const_charp message);
    // Read procedure over a memory file whose descriptor is the I/O pointer;
    // a short read raises the libpng error "Read Error".
    static void user_read_data(png_structp png, png_bytep data, std::size_t length);

private:
    NQPNGImage();
};

#endif
