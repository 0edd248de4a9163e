// Centroids and radius measures of NQImage.
//
// The centroid weighs every pixel: binary and grey images by darkness
// (255 - value, a black binary pixel weighing 255), colour images by
// brightness ((r + g + b) / 3). Sums are 64-bit and the centroid is their
// integer quotient. The radius without corners is the distance from the
// centroid to the farthest pixel that carries weight; only the first and the
// last weighted pixel of a row can be farthest in that row, so each row is
// scanned from both ends.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "image/NQBitRow.h"
#include "image/NQException.h"
#include "image/NQImage.h"
#include "image/NQLogger.h"

namespace {

constexpr const char* kModule = "NQImageMeasures";

struct WeightedSums {
    std::uint64_t x = 0, y = 0, weight = 0;
};

void requireCentroidInput(const NQImage& image, int bits, int line) {
    if (!image.nqHasImageData())
        throw NQException(NQ_NULL_DATA, "NQCentroid: Image Data is NULL!", kModule, line);
    if (image.nqGetBitsPerPixel() != bits)
        throw NQException(NQ_UNSUPPORTED, "NQCentroid: Invalid Depth Value", kModule, line);
}

// Weight of pixel x of row `row`; `channel` picks one byte of a 24-bit pixel
// (-1: the pixel's mean brightness).
inline unsigned weightAt(const unsigned char* row, int bits, int channel, int x) {
    switch (bits) {
        case 1:
            return nqbits::isWhite(row, x) ? 0u : 255u;
        case 8:
            return 255u - row[x];
        default:
            if (channel >= 0)
                return 255u - row[3 * x + channel];
            return (row[3 * x] + row[3 * x + 1] + row[3 * x + 2]) / 3u;
    }
}

WeightedSums weightedSums(const NQImage& image, int channel) {
    WeightedSums sums;
    const int bits = image.nqGetBitsPerPixel();
    for (int y = 0; y < image.nqGetHeight(); ++y) {
        const unsigned char* row = image.nqGetImageData() + std::size_t(y) * image.nqGetRowSize();
        std::uint64_t rowWeight = 0, rowX = 0;
        for (int x = 0; x < image.nqGetWidth(); ++x) {
            const unsigned w = weightAt(row, bits, channel, x);
            rowWeight += w;
            rowX += std::uint64_t(w) * x;
        }
        sums.weight += rowWeight;
        sums.x += rowX;
        sums.y += rowWeight * y;
    }
    return sums;
}

NQPoint centroidOf(const WeightedSums& sums) {
    return NQPoint(static_cast<int>(sums.x / sums.weight), static_cast<int>(sums.y / sums.weight));
}

NQPoint darkCentroid(const NQImage& image, int channel) {
    const WeightedSums sums = weightedSums(image, channel);
    if (sums.weight == 0) {
        NQLogger::nqGetInstance()->nqLog(NQ_INFO,
                                         "<NQImage::nqCentroid> Image is blank, no centroid");
        return NQPoint(0, 0);
    }
    return centroidOf(sums);
}

// Distance from `centre` to the farthest pixel of positive weight.
double farthestWeighted(const NQImage& image, int channel, const NQPoint& centre) {
    const int bits = image.nqGetBitsPerPixel();
    const int width = image.nqGetWidth();
    double farthest = 0;
    for (int y = 0; y < image.nqGetHeight(); ++y) {
        const unsigned char* row = image.nqGetImageData() + std::size_t(y) * image.nqGetRowSize();
        int first = 0;
        while (first < width && weightAt(row, bits, channel, first) == 0)
            ++first;
        if (first == width)
            continue;
        int last = width - 1;
        while (weightAt(row, bits, channel, last) == 0)
            --last;
        const double dy = y - centre.y;
        farthest =
            std::max({farthest, std::hypot(first - centre.x, dy), std::hypot(last - centre.x, dy)});
    }
    return farthest;
}

}  // namespace

NQPoint NQImage::nqCentroid() const {
    if (!data_)
        throw NQException(NQ_NULL_DATA, "NQCentroid: Image Data is NULL!", kModule, __LINE__);
    switch (head_.nqGetBitsPerPixel()) {
        case 1:
            return nqCentroidBinary();
        case 8:
            return nqCentroidGray();
        case 24:
            return nqCentroidColor();
        default:
            throw NQException(NQ_UNSUPPORTED, "NQCentroid: Invalid Depth Value", kModule, __LINE__);
    }
}

NQPoint NQImage::nqCentroidGray() const {
    requireCentroidInput(*this, 8, __LINE__);
    return darkCentroid(*this, -1);
}

NQPoint NQImage::nqCentroidBinary() const {
    // The same weights as the grey picture of the image (black 0, white 255).
    requireCentroidInput(*this, 1, __LINE__);
    return darkCentroid(*this, -1);
}

NQPoint NQImage::nqCentroidColor() const {
    requireCentroidInput(*this, 24, __LINE__);
    const WeightedSums sums = weightedSums(*this, -1);
    return sums.weight == 0 ? NQPoint(0, 0) : centroidOf(sums);
}

double NQImage::nqRmax(bool corners) const {
    if (corners) {
        const NQPoint c = nqCentroid();
        const double width = head_.nqGetWidth();
        const double height = head_.nqGetHeight();
        return std::max({std::hypot(c.x, c.y), std::hypot(width - c.x, c.y),
                         std::hypot(width - c.x, height - c.y), std::hypot(c.x, height - c.y)});
    }
    if (!data_)
        throw NQException(NQ_NULL_DATA, "NQCentroid: Image Data is NULL!", kModule, __LINE__);
    switch (head_.nqGetBitsPerPixel()) {
        case 1:
            return nqRmaxBinary();
        case 8:
            return nqRmaxGray();
        case 24:
            return nqRmaxColor();
        default:
            throw NQException(NQ_UNSUPPORTED, "<NQImage::nqRmax()> Invalid depth value", nullptr,
                              0);
    }
}

double NQImage::nqRmaxBinary() const {
    return farthestWeighted(*this, -1, nqCentroidBinary());
}

double NQImage::nqRmaxGray() const {
    return farthestWeighted(*this, -1, nqCentroidGray());
}

double NQImage::nqRmaxColor() const {
    requireCentroidInput(*this, 24, __LINE__);
    double largest = 0;
    for (int channel = 0; channel < 3; ++channel) {
        // Each channel as a grey picture: its own dark-weighted centroid.
        const WeightedSums sums = weightedSums(*this, channel);
        if (sums.weight == 0)
            continue;
        largest = std::max(largest, farthestWeighted(*this, channel, centroidOf(sums)));
    }
    return largest;
}
