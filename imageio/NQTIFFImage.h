#ifndef NQ_IMAGEIO_NQTIFFIMAGE_H
#define NQ_IMAGEIO_NQTIFFIMAGE_H

#include <cstdarg>
#include <memory>

#include "imageio/NQBaseImage.h"

// libtiff's handle type; <tiffio.h> stays out of the library's headers.
typedef struct tiff TIFF;

// The TIFF codec on libtiff, the library's one multi-page format. Files are
// opened by name; memory buffers through libtiff's client I/O over the memory
// files of imageio/NQMemoryFile.h.
//
// Loading: photometric 0 and 1 with 1 or 8 bits per pixel give binary or grey
// images (min-is-white data is inverted so that 0 stays black); RGB and YCbCr
// go through libtiff's RGBA reader; palette images are mapped through their
// colour map. All three give 24-bit colour. Eight text fields become image
// tags (artist, hostcomputer, software, imagedescription, scanner_make,
// scanner_model, datetime, copyright) and are written back on saving.
//
// Saving writes one page in one strip: by default CCITT Group 4 for 1-bit
// images and PackBits otherwise, both min-is-white.
class NQTIFFImage : public NQBaseImage {
public:
    // The codec's single instance, created on first call.
    static NQTIFFImage* createImageReader();
    ~NQTIFFImage() override;

    // "II" or "MM", then 42 in either byte order. A file of fewer than 4 bytes
    // or a buffer of fewer than 8 bytes is not TIFF.
    bool nqSupportImageFile(const char* fileName) override;
    bool nqSupportImageBuffer(const void* buffer, int size) override;

    // Group 4 for 1-bit images, PackBits for others; min-is-white.
    void nqSaveImage(const char* fileName, const NQImage& image) override;
    unsigned char* nqSaveImageToMem(int& size, const NQImage& image) override;
    // compression is a TIFF compression number; CCITT schemes are refused for
    // grey and colour images, LZW, PackBits, JPEG and Deflate for binary ones.
    void nqSaveImage(const char* fileName, const NQImage& image, int compression, bool minIsWhite);
    unsigned char* nqSaveImageToMem(int& size, const NQImage& image, int compression,
                                    bool minIsWhite);
    // Writes the fields and pixels of one image into an open handle.
    void nqSaveImage(TIFF* handle, const NQImage& image, int compression, bool minIsWhite);

    NQImage nqLoadImage(const char* fileName) override;
    NQImage nqLoadImage(const void* buffer, int size) override;
    void nqLoadImage(const char* fileName, NQImage& out);
    void nqLoadImage(const void* buffer, int size, NQImage& out);
    // Works on an open handle; selects directory `page` (from 1).
    NQImage nqLoadImage(TIFF* handle, int page);

    int nqGetTotalPages(const void* buffer, int size) override;
    int nqGetTotalPages(const char* fileName) override;

    NQImage nqLoadImageAtPage(const char* fileName, int page) override;
    NQImage nqLoadImageAtPage(const void* buffer, int size, int page) override;

    NQImageHead nqLoadHeader(const char* fileName) override;
    NQImageHead nqLoadHeader(const void* buffer, int size) override;
    NQImageHead nqLoadHeader(TIFF* handle, int page);
    NQImageHead nqLoadHeaderAtPage(const char* fileName, int page) override;
    NQImageHead nqLoadHeaderAtPage(const void* buffer, int size, int page) override;

    // True when bytes 8 to 16 contain "WANG" (before any zero byte); such
    // files are recognised and counted but not loaded.
    bool nqWangTIFFCheck(const char* fileName);
    bool nqWangTIFFCheck(const void* buffer, int size);

    // A copy of the pixel bytes, inverted for 1- and 8-bit images.
    static std::unique_ptr<unsigned char[]> nqFlipDataForMinIsWhite(const NQImage& image);

    // libtiff handlers: one line at severity NQ_INFO naming the module, and
    // libtiff's own text at NQ_DEBUG.
    static void nqTIFFError(const char* module, const char* format, va_list arguments);
    static void nqTIFFWarning(const char* module, const char* format, va_list arguments);

    // The pages of one file read in ascending order through one open handle:
    // the file is checked and opened once, and each page is reached from the
    // one before, so a file of P pages costs P directory reads in all. The
    // messages are those of nqLoadImageAtPage(fileName, page).
    class PageReader {
    public:
        explicit PageReader(const char* fileName);
        ~PageReader();
        PageReader(const PageReader&) = delete;
        PageReader& operator=(const PageReader&) = delete;

        // Page `page` (from 1); an earlier page than the last one read rewinds.
        NQImage nqLoadPage(int page);

    private:
        struct Handle;
        std::unique_ptr<Handle> handle_;
    };

private:
    NQTIFFImage();
};

#endif
