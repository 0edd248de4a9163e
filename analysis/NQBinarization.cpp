// Binarisation of colour images by channel thresholds.
//
// A pixel is white exactly when each of its channels reaches that channel's
// threshold. That is what splitting the image into channels, thresholding
// each, averaging the three 0/255 results and thresholding the average at
// 240 amounts to, so it is computed in one pass over the pixels. A threshold
// above 255 (a percentage of a bright channel's range can ask for one) means
// that no value of the channel passes.
//
// The percentage form takes each channel's smallest and largest value; the
// YCrCb form blurs the image and keeps the pixels whose luma Y (of Y, Cr, Cb)
// is at least 195. The blur leaves a two-pixel border that its
// kernel cannot reach at 0; those pixels keep their unblurred colour here, so
// a white page does not come out with a black frame.
#include <algorithm>
#include <cstring>

#include "analysis/NQBitsPerPixelConverter.h"
#include "analysis/NQBlur.h"
#include "image/NQException.h"
#include "image/NQUtils.h"

namespace {

constexpr const char* kModule = "NQBinarization";

[[noreturn]] void fail(NQExceptionCodes code, const char* text, int line) {
    throw NQException(code, text, kModule, line);
}

bool isRgbImage(const NQImage& image) {
    return image.nqGetColorModel() == NQ_RGBCOLOR && image.nqGetBitsPerPixel() == 24;
}

NQImage blackLike(const NQImage& source) {
    NQImage result;
    result.nqSetImageHead(
        source.nqGetWidth(), source.nqGetHeight(), 1, source.nqGetXResolution(),
        source.nqGetYResolution(),
        static_cast<NQImageHead::NQResolutionUnits>(source.nqGetResolutionUnits()));
    result.nqSetResolutionInInches(source.nqImageHead().nqGetResolutionInInches());
    result.nqAllocImageData();
    result.nqSetAllPixels(static_cast<unsigned char>(0));
    return result;
}

// White where every channel reaches its threshold; thresholds may exceed 255.
NQImage channelThresholds(const NQImage& image, const int (&threshold)[3]) {
    NQImage result = blackLike(image);
    const int width = image.nqGetWidth();
    for (int y = 0; y < image.nqGetHeight(); ++y) {
        const unsigned char* in = image.nqGetImageData() + std::size_t(y) * image.nqGetRowSize();
        unsigned char* out = result.nqGetImageData() + std::size_t(y) * result.nqGetRowSize();
        for (int x = 0; x < width; ++x, in += 3)
            if (in[0] >= threshold[0] && in[1] >= threshold[1] && in[2] >= threshold[2])
                out[x >> 3] |= static_cast<unsigned char>(0x80 >> (x & 7));
    }
    return result;
}

}  // namespace

NQImage NQBitsPerPixelConverter::nqDownscaleColor2Binary_threshold(const NQImage& image,
                                                                   int redThreshold,
                                                                   int greenThreshold,
                                                                   int blueThreshold) {
    if (!isRgbImage(image))
        fail(NQ_INVALID_INPUT,
             "<NQBitsPerPixelConverter::nqDownscaleColor2Binary_threshold()> A Color image is "
             "expected in percentThresholdBinarization!!",
             __LINE__);
    if (!image.nqHasImageData())
        fail(NQ_NULL_DATA,
             "<NQBitsPerPixelConverter::nqDownscaleColor2Binary_threshold()> Image Data is NULL!",
             __LINE__);
    const int thresholds[3] = {redThreshold, greenThreshold, blueThreshold};
    for (int t : thresholds)
        if (t < 0 || t > 255)
            fail(NQ_INVALID_INPUT,
                 "<NQBitsPerPixelConverter::nqDownscaleGray2Binary_global()> threshold must "
                 "between 0 and 255",
                 __LINE__);
    return channelThresholds(image, thresholds);
}

NQImage NQBitsPerPixelConverter::nqDownscaleColor2Binary_percentThreshold(const NQImage& image,
                                                                          double share) {
    if (!(share >= 0.0 && share <= 1.0))
        fail(NQ_INVALID_INPUT,
             "<NQBitsPerPixelConverter::nqDownscaleColor2Binary_percentThreshold()> Percentage "
             "must be from 0.0 to 1.0 !!",
             __LINE__);
    if (!isRgbImage(image))
        fail(NQ_INVALID_INPUT,
             "<NQBitsPerPixelConverter::nqDownscaleColor2Binary_percentThreshold()> A Color image "
             "is expected in percentThresholdBinarization!!",
             __LINE__);
    if (!image.nqHasImageData())
        fail(NQ_NULL_DATA,
             "<NQBitsPerPixelConverter::nqDownscaleColor2Binary_percentThreshold()> Image Data is "
             "NULL!",
             __LINE__);
    // Minimum and maximum are kept independently: a value can lower the
    // minimum and raise the maximum at once (the first one does both).
    int low[3] = {255, 255, 255}, high[3] = {0, 0, 0};
    const unsigned char* p = image.nqGetImageData();
    const std::size_t pixels = std::size_t(image.nqGetWidth()) * image.nqGetHeight();
    for (std::size_t i = 0; i < pixels; ++i, p += 3)
        for (int c = 0; c < 3; ++c) {
            low[c] = std::min<int>(low[c], p[c]);
            high[c] = std::max<int>(high[c], p[c]);
        }
    int thresholds[3];
    for (int c = 0; c < 3; ++c)
        thresholds[c] = static_cast<int>(share * (low[c] + high[c]));
    return channelThresholds(image, thresholds);
}

NQImage NQBitsPerPixelConverter::nqDownscalePercentThresholdBinarization(const NQImage& image,
                                                                         double percent) {
    if (!(percent >= 0.0 && percent <= 100.0))
        fail(NQ_INVALID_INPUT,
             "<NQBitsPerPixelConverter::nqDownscalePercentThresholdBinarization()> Percentage must "
             "be from 0 to 100 !!",
             __LINE__);
    return nqDownscaleColor2Binary_percentThreshold(image, percent / 100);
}

NQImage NQBitsPerPixelConverter::nqDownscaleYCrCbBinarization(const NQImage& image) {
    if (image.nqGetBitsPerPixel() != 24 || image.nqGetChannels() != 3)
        fail(NQ_INVALID_INPUT,
             "<NQBitsPerPixelConverter::nqDownscaleYCrCbBinarization()> A Color image is "
             "expected in nqDownscaleYCrCbBinarization!!",
             __LINE__);
    if (!image.nqHasImageData())
        fail(NQ_NULL_DATA,
             "<NQBitsPerPixelConverter::nqDownscaleYCrCbBinarization()> Image Data is NULL!",
             __LINE__);
    NQImage blurred = NQBlur::nqBlur(image, 1);
    const int width = image.nqGetWidth();
    const int height = image.nqGetHeight();
    const std::size_t rowBytes = image.nqGetRowSize();
    constexpr int kBorder = 2;
    for (int y = 0; y < height; ++y) {
        const unsigned char* in = image.nqGetImageData() + y * rowBytes;
        unsigned char* out = blurred.nqGetImageData() + y * rowBytes;
        if (y < kBorder || y >= height - kBorder) {
            std::memcpy(out, in, rowBytes);
            continue;
        }
        for (int x = 0; x < std::min(kBorder, width); ++x) {
            std::memcpy(out + 3 * x, in + 3 * x, 3);
            std::memcpy(out + 3 * (width - 1 - x), in + 3 * (width - 1 - x), 3);
        }
    }
    // Thresholds (195, 0, 0) on Y, Cr, Cb: only the luma can fail, so it is
    // computed alone, with the expression of nqConvertRGBToYCrCb.
    NQImage result = blackLike(image);
    for (int y = 0; y < height; ++y) {
        const unsigned char* in = blurred.nqGetImageData() + y * rowBytes;
        unsigned char* out = result.nqGetImageData() + std::size_t(y) * result.nqGetRowSize();
        for (int x = 0; x < width; ++x, in += 3) {
            const double r = in[0], g = in[1], b = in[2];
            if (NQUtils::roundInt(0.257 * r + 0.504 * g + 0.098 * b + 16) >= 195)
                out[x >> 3] |= static_cast<unsigned char>(0x80 >> (x & 7));
        }
    }
    return result;
}
