#ifndef NQ_IMAGEIO_NQPBMIMAGE_H
#define NQ_IMAGEIO_NQPBMIMAGE_H

#include "imageio/NQBaseImage.h"
#include "imageio/NQIOStream.h"

// The portable bitmap codec. Reads the binary ("P4") and the plain ("P1")
// forms into a binary image and writes the binary form. In the file a set bit
// (or a "1") is black; in the image a set bit is white, so P4 bytes are
// inverted both ways. Files and memory buffers share the stream operations.
class NQPBMImage : public NQBaseImage {
public:
    // The codec's single instance, created on first call.
    static NQPBMImage* createImageReader();
    ~NQPBMImage() override;

    // The first two bytes are "P4" or "P1".
    bool nqSupportImageFile(const char* fileName) override;
    bool nqSupportImageBuffer(const void* buffer, int size) override;

    // Grey images are thresholded at 127 and colour images first averaged to
    // grey; binary images are written unchanged.
    void nqSaveImage(const char* fileName, const NQImage& image) override;
    unsigned char* nqSaveImageToMem(int& size, const NQImage& image) override;
    void nqSaveImage(NQIOStream& out, const NQImage& image);

    NQImage nqLoadImage(const char* fileName) override;
    NQImage nqLoadImage(const void* buffer, int size) override;
    NQImage nqLoadImage(NQIOStream& in);

    int nqGetTotalPages(const void* buffer, int size) override;
    int nqGetTotalPages(const char* fileName) override;
    NQImage nqLoadImageAtPage(const char* fileName, int page) override;
    NQImage nqLoadImageAtPage(const void* buffer, int size, int page) override;

    NQImageHead nqLoadHeader(const char* fileName) override;
    NQImageHead nqLoadHeader(const void* buffer, int size) override;
    NQImageHead nqLoadHeader(NQIOStream& in);
    NQImageHead nqLoadHeaderAtPage(const char* fileName, int page) override;
    NQImageHead nqLoadHeaderAtPage(const void* buffer, int size, int page) override;

private:
    NQPBMImage();
};

#endif
