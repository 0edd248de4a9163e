#ifndef NQ_TESTS_SUPPORT_TIFFWRITER_H
#define NQ_TESTS_SUPPORT_TIFFWRITER_H

#include <gtest/gtest.h>
#include <tiffio.h>

#include <memory>
#include <string>
#include <vector>

#include "image/NQImage.h"
#include "imageio/NQTIFFImage.h"

namespace nqtest {

// Writes `pages` as one TIFF file, one directory per page, through the
// codec's handle-level save. Compression -1 takes the codec's default
// (Group 4 for 1-bit pages, PackBits otherwise).
inline void writeTiffPages(const std::string& path, const std::vector<NQImage>& pages,
                           int compression = -1, bool minIsWhite = true) {
    std::unique_ptr<TIFF, void (*)(TIFF*)> tif(TIFFOpen(path.c_str(), "w"), TIFFClose);
    ASSERT_NE(tif, nullptr) << path;
    for (const NQImage& page : pages) {
        const int chosen = compression >= 0                ? compression
                           : page.nqGetBitsPerPixel() == 1 ? COMPRESSION_CCITTFAX4
                                                           : COMPRESSION_PACKBITS;
        NQTIFFImage::createImageReader()->nqSaveImage(tif.get(), page, chosen, minIsWhite);
        ASSERT_EQ(TIFFWriteDirectory(tif.get()), 1) << path;
    }
}

}  // namespace nqtest

#endif
