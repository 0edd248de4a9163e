#ifndef NQ_IMAGEIO_NQPPMIMAGE_H
#define NQ_IMAGEIO_NQPPMIMAGE_H

#include "imageio/NQBaseImage.h"
#include "imageio/NQIOStream.h"

// The portable pixmap codec for the binary colour form ("P6"): 24-bit RGB
// images in and out. The image loaders expect the magic, the size and the
// maximum value on lines of their own (comment lines may come before the
// size line); the header reader also takes other arrangements. Saving to
// memory is not offered.
class NQPPMImage : public NQBaseImage {
public:
    // The codec's single instance, created on first call.
    static NQPPMImage* createImageReader();
    ~NQPPMImage() override;

    // The content starts with "P6".
    bool nqSupportImageFile(const char* fileName) override;
    bool nqSupportImageBuffer(const void* buffer, int size) override;

    // Binary and grey images are first expanded to 24-bit colour.
    void nqSaveImage(const char* fileName, const NQImage& image) override;
    // Always raises code 11.
    unsigned char* nqSaveImageToMem(int& size, const NQImage& image) override;

    NQImage nqLoadImage(const char* fileName) override;
    NQImage nqLoadImage(const void* buffer, int size) override;

    int nqGetTotalPages(const void* buffer, int size) override;
    int nqGetTotalPages(const char* fileName) override;
    NQImage nqLoadImageAtPage(const char* fileName, int page) override;
    NQImage nqLoadImageAtPage(const void* buffer, int size, int page) override;

    NQImageHead nqLoadHeader(const char* fileName) override;
    NQImageHead nqLoadHeader(const void* buffer, int size) override;
    // Accepts "P3" and "P6"; the size may share lines with the magic, the
    // maximum value and comments.
    NQImageHead nqLoadHeader(NQIOStream& in);
    NQImageHead nqLoadHeaderAtPage(const char* fileName, int page) override;
    NQImageHead nqLoadHeaderAtPage(const void* buffer, int size, int page) override;

private:
    NQPPMImage();
    NQImage loadImage(NQIOStream& in);
};

#endif
