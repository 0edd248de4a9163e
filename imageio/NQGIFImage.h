#ifndef NQ_IMAGEIO_NQGIFIMAGE_H
#define NQ_IMAGEIO_NQGIFIMAGE_H

#include <vector>

#include "imageio/NQBaseImage.h"
#include "imageio/NQGIFUtilities.h"
#include "imageio/NQIOStream.h"

// The growable array the GIF writer assembles its output in.
template <typename T>
using NQGIFArray = std::vector<T>;

// The GIF codec, on the library's own decoder (NQGIFUtilities) and writer. A
// GIF is one page: all frames are pasted onto one canvas of the logical-screen
// size, and the result is a 24-bit RGB image. Damaged and truncated files give
// as much picture as can be recovered.
//
// Saving writes a GIF87a file with one 256-entry colour table (global and
// local alike) and every pixel as a literal 9-bit code, with a clear code
// every 254 pixels, so the file needs no compressor. Images with more than 256
// colours are first mapped onto a 6 x 6 x 6 palette. Saving to memory is not
// offered.
class NQGIFImage : public NQBaseImage {
public:
    class NQGlobalGIFImage;

    // One image of the written file: its colour list, the index of every
    // pixel, its descriptor and its coded data.
    class NQLocalGIFImage {
    public:
        NQLocalGIFImage();
        // Collects the colours of the file's image in order of first
        // appearance; code 7 when there are more than 256.
        void set(const NQGlobalGIFImage* global);
        // The image separator, the descriptor and the local colour table.
        void buildHeader();
        // Appends the minimum code size, the data sub-blocks and their
        // terminator to `out`.
        void getImageData(NQGIFArray<unsigned char>& out) const;
        // The coding parameters of an empty image.
        void initStaticData();

        const NQGIFArray<unsigned char>& colourTable() const { return colourTable_; }
        const NQGIFArray<unsigned char>& header() const { return header_; }

    private:
        int minimumCodeSize_ = 0;
        int clearCode_ = 0;
        int endCode_ = 0;
        int localColorTableSize_ = 0;  // bits
        int width_ = 0;
        int height_ = 0;
        NQGIFArray<unsigned char> colourTable_;  // 256 entries of red, green, blue
        NQGIFArray<unsigned char> indices_;      // one per pixel
        NQGIFArray<unsigned char> header_;
    };

    // The whole written file of one 24-bit image.
    class NQGlobalGIFImage {
    public:
        // Code 7 when the image is not 24-bit or too large for a GIF.
        explicit NQGlobalGIFImage(const NQImage* image);
        void buildScreenDescriptor();
        // Signature, screen descriptor, global table, the image and the trailer.
        NQGIFArray<unsigned char> getGIFImageData() const;

        const NQImage& image() const { return *image_; }

    private:
        const NQImage* image_;
        NQLocalGIFImage local_;
        NQGIFArray<unsigned char> screenDescriptor_;
    };

    // The codec's single instance, created on first call.
    static NQGIFImage* createImageReader();
    ~NQGIFImage() override;

    // The first six bytes are "GIF87a" or "GIF89a" in any case.
    bool nqSupportImageFile(const char* fileName) override;
    bool nqSupportImageBuffer(const void* buffer, int size) override;

    void nqSaveImage(const char* fileName, const NQImage& image) override;
    // Always raises code 11.
    unsigned char* nqSaveImageToMem(int& size, const NQImage& image) override;

    NQImage nqLoadImage(const char* fileName) override;
    NQImage nqLoadImage(const void* buffer, int size) override;
    void nqLoadImage(const char* fileName, NQImage& out);

    // One page, whatever the file holds.
    int nqGetTotalPages(const void* buffer, int size) override;
    int nqGetTotalPages(const char* fileName) override;
    NQImage nqLoadImageAtPage(const char* fileName, int page) override;
    NQImage nqLoadImageAtPage(const void* buffer, int size, int page) override;

    // The logical-screen size from the first ten bytes.
    NQImageHead nqLoadHeader(const char* fileName) override;
    NQImageHead nqLoadHeader(const void* buffer, int size) override;
    NQImageHead nqLoadHeader(NQIOStream& in);
    NQImageHead nqLoadHeaderAtPage(const char* fileName, int page) override;
    NQImageHead nqLoadHeaderAtPage(const void* buffer, int size, int page) override;

    // Builds the image from a decoded record, taking its pixel block over.
    void nqConvertStructToNQImage(NQGifImageFormat* record, NQImage& out);

private:
    NQGIFImage();
    NQImage decode(const unsigned char* bytes, std::size_t size);
};

#endif
