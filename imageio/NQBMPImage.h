#ifndef NQ_IMAGEIO_NQBMPIMAGE_H
#define NQ_IMAGEIO_NQBMPIMAGE_H

#include "imageio/NQBaseImage.h"
#include "imageio/NQIOStream.h"

// The Windows bitmap codec: the 14-byte file header and the 40-byte
// information header, little-endian, then an optional palette and the pixel
// rows from the bottom of the picture up, each padded to 4 bytes.
//
// Loading reads the stream strictly in sequence (the palette is taken to
// follow the 54 header bytes, the rows to follow the palette) and accepts 1,
// 4, 8, 16 and 24 bits per pixel: 1-bit rows become a binary image unchanged,
// 8-bit rows without a palette a grey image, everything else 24-bit RGB.
// Saving writes uncompressed 1-, 8- and 24-bit files. Files and memory
// buffers share the stream-level operations.
class NQBMPImage : public NQBaseImage {
public:
    // The codec's single instance, created on first call.
    static NQBMPImage* createImageReader();
    ~NQBMPImage() override;

    // The first two bytes are "BM".
    bool nqSupportImageFile(const char* fileName) override;
    bool nqSupportImageBuffer(const void* buffer, int size) override;

    // 1-, 8- and 24-bit images; any other depth is refused with code 11.
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
    NQBMPImage();
};

#endif
