#include "analysis/NQNormalize.h"

#include <algorithm>

#include "image/NQException.h"

namespace {

constexpr const char* kModule = "NQNormalize";

}  // namespace

NQImage NQNormalize::nqNormalizeGlobalImage(const NQImage& image) {
    if (!image.nqHasImageData())
        throw NQException(NQ_NULL_DATA, "<NQImage::nqNormalizeGlobalImage()> Image Data is NULL!",
                          kModule, __LINE__);
    NQImage result(image);
    unsigned char* p = result.nqGetImageData();
    const std::size_t size = result.nqGetImageDataSize();
    if (size == 0)
        return result;
    const auto range = std::minmax_element(p, p + size);
    const int low = *range.first;
    const int span = *range.second - low;
    if (span == 0)
        return result;
    for (std::size_t i = 0; i < size; ++i)
        p[i] = static_cast<unsigned char>((p[i] - low) * 255 / span);
    return result;
}

NQImage NQNormalize::nqNormalizeImage(const NQImage& image) {
    if (!image.nqHasImageData())
        throw NQException(NQ_NULL_DATA,
                          "<NQImage::nqNormalizeImage()> NQImage::nqNormalizeImage() Image Data is "
                          "NULL!",
                          kModule, __LINE__);
    switch (image.nqGetBitsPerPixel()) {
        case 1:
            return image;
        case 8:
        case 24:
            return nqNormalizeGlobalImage(image);
        default:
            throw NQException(NQ_NOT_IMPLEMENTED,
                              "<NQImage::nqNormalizeImage()> Invalid depth type, method not "
                              "implemented!",
                              kModule, __LINE__);
    }
}
