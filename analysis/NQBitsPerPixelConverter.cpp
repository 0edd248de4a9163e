// Bit-depth conversions.
//
// Binary rows hold 8 pixels per byte, most significant bit first, a set bit
// white; bits beyond the width carry no pixel and are written as 0. Results
// are built with the source's geometry and resolution through nqSetImageHead,
// which also derives the colour model of the new depth.
//
// The 256-colour test counts distinct colours in a small open-addressing
// table of 338 slots keyed by r XOR g XOR b (which is below 256, so the key is
// the home slot) with linear probing; the count stops at the 257th colour, so
// the table never holds more than 257 entries and probing always ends.
#include "analysis/NQBitsPerPixelConverter.h"

#include <cstdint>
#include <cstring>
#include <memory>

#include "image/NQException.h"
#include "image/NQLogger.h"
#include "image/NQPixelBlock.h"

namespace {

constexpr const char* kModule = "NQBitsPerPixelConverter";

[[noreturn]] void fail(NQExceptionCodes code, const char* text, int line) {
    throw NQException(code, text, kModule, line);
}

// The head of an image of the source's geometry and resolution with the
// given depth, without pixels.
NQImage shapeLike(const NQImage& source, int bits) {
    NQImage result;
    result.nqSetImageHead(
        source.nqGetWidth(), source.nqGetHeight(), bits, source.nqGetXResolution(),
        source.nqGetYResolution(),
        static_cast<NQImageHead::NQResolutionUnits>(source.nqGetResolutionUnits()));
    result.nqSetResolutionInInches(source.nqImageHead().nqGetResolutionInInches());
    return result;
}

// A white image of the source's geometry and resolution with the given depth.
NQImage blankLike(const NQImage& source, int bits) {
    NQImage result = shapeLike(source, bits);
    result.nqAllocImageData();
    return result;
}

// The same image with its pixels left unset, for a conversion that writes
// every one of them: a page is then written once instead of twice.
NQImage unfilledLike(const NQImage& source, int bits) {
    const NQImage shape = shapeLike(source, bits);
    const std::size_t bytes =
        std::size_t(NQImageHead::rowSizeFor(source.nqGetWidth(), bits)) * source.nqGetHeight();
    if (bytes == 0)
        return blankLike(source, bits);
    std::unique_ptr<unsigned char[]> block = nqNewPixelBlock(bytes);
    if (!block)
        fail(NQ_MEMORY_ERROR, "Error Allocating Image Data memory", __LINE__);
    return NQImage(std::move(block), shape.nqImageHead());
}

inline bool bitIsSet(const unsigned char* row, int x) {
    return (row[x >> 3] & (0x80 >> (x & 7))) != 0;
}

void requireData(const NQImage& image, const char* text, int line) {
    if (!image.nqHasImageData())
        fail(NQ_NULL_DATA, text, line);
}

// Number of distinct colours, counted up to 257.
int countColoursUpTo257(const NQImage& image) {
    constexpr int kSlots = 338;
    std::int32_t table[kSlots];
    for (std::int32_t& slot : table)
        slot = -1;
    int distinct = 0;
    const unsigned char* p = image.nqGetImageData();
    const std::size_t pixels = std::size_t(image.nqGetWidth()) * image.nqGetHeight();
    for (std::size_t i = 0; i < pixels; ++i, p += 3) {
        const std::int32_t colour = (p[0] << 16) | (p[1] << 8) | p[2];
        int slot = p[0] ^ p[1] ^ p[2];
        while (table[slot] != -1 && table[slot] != colour)
            slot = (slot + 1) % kSlots;
        if (table[slot] == colour)
            continue;
        table[slot] = colour;
        if (++distinct > 256)
            break;
    }
    return distinct;
}

}  // namespace

NQImage NQBitsPerPixelConverter::nqBinary2Gray(const NQImage& image) {
    if (image.nqGetBitsPerPixel() != 1)
        fail(NQ_INVALID_INPUT,
             "<NQBitsPerPixelConverter::nqBinary2Gray> Binary image expected in "
             "NQImage::nqBinary2Gray!",
             __LINE__);
    requireData(image, "<NQBitsPerPixelConverter::nqBinary2Gray> Image Data is NULL!", __LINE__);
    NQImage result = blankLike(image, 8);
    const int width = image.nqGetWidth();
    const int height = image.nqGetHeight();
    for (int y = 0; y < height; ++y) {
        const unsigned char* in = image.nqGetImageData() + std::size_t(y) * image.nqGetRowSize();
        unsigned char* out = result.nqGetImageData() + std::size_t(y) * width;
        for (int x = 0; x < width; ++x)
            out[x] = bitIsSet(in, x) ? 255 : 0;
    }
    return result;
}

NQImage NQBitsPerPixelConverter::nqGray2Color(const NQImage& image) {
    if (image.nqGetBitsPerPixel() != 8)
        fail(NQ_INVALID_INPUT,
             "<NQBitsPerPixelConverter::nqGray2Color()> Gray image expected in "
             "NQImage::nqGray2Color!",
             __LINE__);
    requireData(image, "<NQBitsPerPixelConverter::nqGray2Color()> Image Data is NULL!", __LINE__);
    NQImage result = blankLike(image, 24);
    const unsigned char* in = image.nqGetImageData();
    unsigned char* out = result.nqGetImageData();
    const std::size_t pixels = std::size_t(image.nqGetWidth()) * image.nqGetHeight();
    for (std::size_t i = 0; i < pixels; ++i, out += 3)
        out[0] = out[1] = out[2] = in[i];
    return result;
}

NQImage NQBitsPerPixelConverter::nqBinary2Color(const NQImage& image, unsigned char red,
                                                unsigned char green, unsigned char blue) {
    if (image.nqGetBitsPerPixel() != 1)
        fail(NQ_INVALID_INPUT,
             "<NQBitsPerPixelConverter::nqBinary2Color()> Binary image expected in "
             "NQImage::nqBinary2Color!",
             __LINE__);
    requireData(image, "<NQBitsPerPixelConverter::nqBinary2Color()> Image Data is NULL!", __LINE__);
    NQImage result = blankLike(image, 24);
    const int width = image.nqGetWidth();
    const int height = image.nqGetHeight();
    for (int y = 0; y < height; ++y) {
        const unsigned char* in = image.nqGetImageData() + std::size_t(y) * image.nqGetRowSize();
        unsigned char* out = result.nqGetImageData() + std::size_t(y) * 3 * width;
        for (int x = 0; x < width; ++x, out += 3) {
            if (bitIsSet(in, x))
                continue;  // already white
            out[0] = red;
            out[1] = green;
            out[2] = blue;
        }
    }
    return result;
}

NQImage NQBitsPerPixelConverter::nqBinary2Color(const NQImage& image, const NQColor& color) {
    return nqBinary2Color(image, color.nqGetRed(), color.nqGetGreen(), color.nqGetBlue());
}

NQImage NQBitsPerPixelConverter::nqDownscaleColor2Gray_global(const NQImage& image) {
    if (image.nqGetBitsPerPixel() != 24)
        fail(NQ_INVALID_INPUT,
             "<NQBitsPerPixelConverter::nqDownscaleColor2Gray_global()> 24-bit color image "
             "required in nqDownscaleColor2Gray_global.",
             __LINE__);
    requireData(image,
                "<NQBitsPerPixelConverter::nqDownscaleColor2Gray_global()> Image Data is NULL!",
                __LINE__);
    NQImage result = unfilledLike(image, 8);
    const unsigned char* in = image.nqGetImageData();
    unsigned char* out = result.nqGetImageData();
    const std::size_t pixels = std::size_t(image.nqGetWidth()) * image.nqGetHeight();
    for (std::size_t i = 0; i < pixels; ++i, in += 3)
        out[i] = static_cast<unsigned char>((in[0] + in[1] + in[2]) / 3);
    return result;
}

NQImage NQBitsPerPixelConverter::nqDownscaleColor2Gray_weighted(const NQImage& image,
                                                                double redWeight,
                                                                double greenWeight,
                                                                double blueWeight) {
    if (image.nqGetBitsPerPixel() != 24)
        fail(NQ_INVALID_INPUT,
             "<NQBitsPerPixelConverter::nqDownscaleColor2Gray_weighted()> 24-bit color image "
             "required in nqDownscaleColor2Gray_weighted.",
             __LINE__);
    if (redWeight < 0 || greenWeight < 0 || blueWeight < 0)
        fail(NQ_INVALID_ARGUMENT,
             "<NQBitsPerPixelConverter::nqDownscaleColor2Gray_weighted()> All weights must be "
             "positive in nqDownscaleColor2Gray_weighted.",
             __LINE__);
    const double sum = redWeight + greenWeight + blueWeight;
    if (!(sum > 0))
        fail(NQ_INVALID_ARGUMENT,
             "<NQBitsPerPixelConverter::nqDownscaleColor2Gray_weighted()> At least one weight "
             "must be above zero in nqDownscaleColor2Gray_weighted.",
             __LINE__);
    requireData(image,
                "<NQBitsPerPixelConverter::nqDownscaleColor2Gray_weighted()> Image Data is NULL!",
                __LINE__);
    NQImage result = blankLike(image, 8);
    const unsigned char* in = image.nqGetImageData();
    unsigned char* out = result.nqGetImageData();
    const std::size_t pixels = std::size_t(image.nqGetWidth()) * image.nqGetHeight();
    for (std::size_t i = 0; i < pixels; ++i, in += 3) {
        const double grey = (in[0] * redWeight + in[1] * greenWeight + in[2] * blueWeight) / sum;
        out[i] = static_cast<unsigned char>(grey > 255 ? 255 : grey);
    }
    return result;
}

NQImage NQBitsPerPixelConverter::nqDownscaleGray2Binary_global(const NQImage& image,
                                                               int threshold) {
    if (image.nqGetBitsPerPixel() != 8)
        fail(NQ_INVALID_INPUT,
             "<NQBitsPerPixelConverter::nqDownscaleGray2Binary_global()> An 8-bit Grayscale "
             "image is expected",
             __LINE__);
    if (threshold < 0 || threshold > 255)
        fail(NQ_INVALID_INPUT,
             "<NQBitsPerPixelConverter::nqDownscaleGray2Binary_global()> threshold must between 0 "
             "and 255",
             __LINE__);
    requireData(image,
                "<NQBitsPerPixelConverter::nqDownscaleGray2Binary_global()> Image Data is NULL!",
                __LINE__);
    NQImage result = blankLike(image, 1);
    result.nqSetAllPixels(static_cast<unsigned char>(0));
    const int width = image.nqGetWidth();
    const int height = image.nqGetHeight();
    const int rowSize = result.nqGetRowSize();
    for (int y = 0; y < height; ++y) {
        const unsigned char* in = image.nqGetImageData() + std::size_t(y) * width;
        unsigned char* out = result.nqGetImageData() + std::size_t(y) * rowSize;
        for (int x = 0; x < width; ++x)
            if (in[x] >= threshold)
                out[x >> 3] |= static_cast<unsigned char>(0x80 >> (x & 7));
    }
    return result;
}

NQImage NQBitsPerPixelConverter::nqDownscale256Color_global(const NQImage& image, bool& reduced) {
    reduced = false;
    switch (image.nqGetBitsPerPixel()) {
        case 1:
            return nqBinary2Color(image, 0, 0, 0);
        case 8:
            return nqGray2Color(image);
        case 24:
            break;
        default:
            fail(NQ_UNSUPPORTED,
                 "<NQBitsPerPixelConverter::nqDownscale256Color_global()> Only 1, 8 and 24 bit "
                 "images are supported",
                 __LINE__);
    }
    requireData(image,
                "<NQBitsPerPixelConverter::nqDownscale256Color_global()> Image Data is NULL!",
                __LINE__);
    if (countColoursUpTo257(image) <= 256)
        return image;

    reduced = true;
    NQLogger::nqGetInstance()->nqLog(NQ_INFO, "Color reduction in high color image.\n");
    NQImage result = blankLike(image, 24);
    const unsigned char* in = image.nqGetImageData();
    unsigned char* out = result.nqGetImageData();
    const std::size_t bytes = image.nqGetImageDataSize();
    // Level q of a channel: c / 42.666668 truncated (0 to 5); the value 51 q.
    for (std::size_t i = 0; i < bytes; ++i)
        out[i] = static_cast<unsigned char>(51 * static_cast<int>(in[i] / 42.666668f));
    return result;
}

NQImage NQBitsPerPixelConverter::nqConvertImage(const NQImage& image, NQImageConversions target) {
    if (target < NQ_TO_BINARY || target > NQ_TO_COLOR)
        fail(
            NQ_UNSUPPORTED,
            "<NQBitsPerPixelConverter::nqConvertImage()> NQBitsPerPixelConverter::nqConvertImage() "
            "Only Supports 1, 8 and 24 bit images!",
            __LINE__);
    switch (image.nqGetBitsPerPixel()) {
        case 1:
            if (target == NQ_TO_BINARY)
                return image;
            if (target == NQ_TO_GRAY)
                return nqBinary2Gray(image);
            return nqBinary2Color(image, 0, 0, 0);
        case 8:
            if (target == NQ_TO_BINARY)
                fail(NQ_UNSUPPORTED,
                     "<NQBitsPerPixelConverter::nqConvertImage()> User must downscale from "
                     "Grayscale to Binary before performing this function",
                     __LINE__);
            if (target == NQ_TO_GRAY)
                return image;
            return nqGray2Color(image);
        case 24:
            if (target == NQ_TO_BINARY)
                fail(NQ_UNSUPPORTED,
                     "<NQBitsPerPixelConverter::nqConvertImage()> User must downscale from Color "
                     "to Binary before performing this function",
                     __LINE__);
            if (target == NQ_TO_GRAY)
                fail(NQ_UNSUPPORTED,
                     "<NQBitsPerPixelConverter::nqConvertImage()> User must downscale from Color "
                     "to Grayscale before performing this function",
                     __LINE__);
            return image;
        default:
            if (target == NQ_TO_BINARY)
                fail(NQ_UNSUPPORTED,
                     "<NQBitsPerPixelConverter::nqConvertImage()> "
                     "NQBitsPerPixelConverter::nqConvertImage() Only supports Upscaling of "
                     "images.!",
                     __LINE__);
            fail(NQ_NOT_IMPLEMENTED,
                 "<NQBitsPerPixelConverter::nqConvertImage()> Not Yet Implemented!", __LINE__);
    }
}
