#include "fuzz/FuzzImages.h"

#include <tiffio.h>

#include <memory>

#include "imageio/NQTIFFImage.h"

namespace nqfuzz {

NQImage picture(int width, int height, int bits, unsigned seed) {
    NQImage image;
    image.nqSetImageHead(width, height, bits, 300, 300, NQImageHead::NQ_RES_INCH);
    image.nqAllocImageData();
    unsigned state = seed * 2654435761u;
    for (int y = 0; y < height; ++y) {
        // A blank band in the middle; noise along the left edge; gradients elsewhere.
        const bool blank = y > height / 3 && y < height / 2;
        for (int x = 0; x < width; ++x) {
            state = state * 1103515245u + 12345u;
            const bool noisy = x < width / 8;
            const int level = blank ? 255 : noisy ? int(state >> 24) : (x * 255) / width;
            if (bits == 24)
                image.nqSetPixel(x, y, static_cast<unsigned char>(level),
                                 static_cast<unsigned char>((y * 255) / height),
                                 static_cast<unsigned char>(255 - level));
            else
                image.nqSetPixel(
                    x, y, static_cast<unsigned char>(bits == 1 ? (level > 127) * 255 : level));
        }
    }
    return image;
}

bool writeMultiPageTiff(const std::string& fileName, const NQImage* pages, int count) {
    struct Closer {
        void operator()(TIFF* tif) const noexcept { TIFFClose(tif); }
    };
    std::unique_ptr<TIFF, Closer> tif(TIFFOpen(fileName.c_str(), "w"));
    if (!tif)
        return false;
    NQTIFFImage* codec = NQTIFFImage::createImageReader();
    for (int i = 0; i < count; ++i) {
        const int compression =
            pages[i].nqGetBitsPerPixel() == 1 ? COMPRESSION_CCITTFAX4 : COMPRESSION_LZW;
        codec->nqSaveImage(tif.get(), pages[i], compression, true);
        if (!TIFFWriteDirectory(tif.get()))
            return false;
    }
    return true;
}

}  // namespace nqfuzz
