// Convolution with a square kernel.
//
// Each channel is convolved as its own contiguous plane. The kernel's anchor
// is o = n - 1 - n / 2 (the centre of an odd kernel): output (r, c) is
// sum kernel[i][j] x input(r - o + i, c - o + j), so only pixels whose whole
// window lies inside the image get a value and the rest of the border stays
// 0. The sum runs over the non-zero weights only, one kernel tap at a time
// across a whole row, then is divided, truncated towards zero and clamped to
// 0..255 (a kernel with negative weights can leave the byte range). When all
// weights are whole numbers (the blur kernel) the sums are exact 32-bit
// integers and the division an integer one, which gives the same result as
// the double computation: a quotient of two integers below 2^31 never rounds
// across a whole number.
#include "analysis/NQMask.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <type_traits>
#include <vector>

#include "image/NQException.h"

namespace {

constexpr const char* kModule = "NQMask";

struct Tap {
    int row, column;
    double weight;
};

// Every weight whole and small enough that a window sum of bytes fits 32 bits.
bool wholeWeights(const std::vector<Tap>& taps) {
    double magnitude = 0;
    for (const Tap& t : taps) {
        if (t.weight != std::trunc(t.weight))
            return false;
        magnitude += std::fabs(t.weight);
    }
    return magnitude * 255 < 2e9;
}

// acc[c] += weight x source[c]. The restrict-qualified parameters tell the
// compiler that the sums and the bytes do not overlap, so the loop is
// vectorised without a run-time alias check.
template <typename Sum>
void accumulateTap(Sum* __restrict acc, const unsigned char* __restrict source, Sum weight,
                   int first, int end) {
    for (int c = first; c < end; ++c)
        acc[c] += weight * source[c];
}

// Convolves a width x height plane into byte `offset` of every `channels`
// bytes of `out`'s pixels.
template <typename Sum>
void convolvePlane(const unsigned char* plane, int width, int height, const std::vector<Tap>& taps,
                   int n, int anchor, Sum divisor, unsigned char* out, int channels, int offset) {
    // Rows and columns whose window row - anchor .. row - anchor + n - 1 fits.
    const int last = n - 1 - anchor;
    const int firstColumn = anchor;
    const int endColumn = width - last;  // exclusive
    if (endColumn <= firstColumn)
        return;
    std::vector<Sum> sums(static_cast<std::size_t>(width));
    for (int r = anchor; r + last < height; ++r) {
        std::fill(sums.begin(), sums.end(), Sum(0));
        for (const Tap& tap : taps)
            accumulateTap(sums.data(),
                          plane + std::size_t(r - anchor + tap.row) * width + (tap.column - anchor),
                          static_cast<Sum>(tap.weight), firstColumn, endColumn);
        unsigned char* target = out + std::size_t(r) * width * channels;
        for (int c = firstColumn; c < endColumn; ++c) {
            const Sum value = std::is_integral<Sum>::value ? sums[c] / divisor
                                                           : Sum(std::trunc(sums[c] / divisor));
            target[std::size_t(c) * channels + offset] =
                static_cast<unsigned char>(std::min(Sum(255), std::max(Sum(0), value)));
        }
    }
}

}  // namespace

NQImage NQMask::nqMask(const NQImage& image, const double* const* kernel, int n) {
    if (kernel == nullptr || n < 1)
        throw NQException(NQ_INVALID_ARGUMENT,
                          "<NQMask::nqMask()> The kernel must be n x n, n >= 1.", kModule,
                          __LINE__);
    if (!image.nqHasImageData())
        throw NQException(NQ_NULL_DATA, "<NQMask::nqMask()> Image Data is NULL!", kModule,
                          __LINE__);
    const int bits = image.nqGetBitsPerPixel();
    if (bits != 8 && bits != 24)
        throw NQException(NQ_INVALID_INPUT, "<NQMask::nqMask()> Grey or color image expected.",
                          kModule, __LINE__);

    std::vector<Tap> taps;
    double weightSum = 0;
    for (int i = 0; i < n; ++i) {
        if (kernel[i] == nullptr)
            throw NQException(NQ_INVALID_ARGUMENT,
                              "<NQMask::nqMask()> The kernel must be n x n, n >= 1.", kModule,
                              __LINE__);
        for (int j = 0; j < n; ++j) {
            weightSum += kernel[i][j];
            if (kernel[i][j] != 0)
                taps.push_back({i, j, kernel[i][j]});
        }
    }
    const double divisor = weightSum >= 1 ? weightSum : 1;
    const int anchor = n - 1 - n / 2;

    // A zeroed block: pixels the kernel cannot reach stay black.
    NQImageHead head;
    head.nqSetWidth(image.nqGetWidth());
    head.nqSetHeight(image.nqGetHeight());
    head.nqSetBitsPerPixel(bits);
    head.nqSetColorModel(bits == 24 ? NQ_RGBCOLOR : image.nqGetColorModel());
    head.nqSetDataAlignment(NQ_1BYTE_ALIGN);
    head.nqSetXResolution(image.nqGetXResolution());
    head.nqSetYResolution(image.nqGetYResolution());
    head.nqSetResolutionUnits(image.nqGetResolutionUnits());
    NQImage result(
        std::unique_ptr<unsigned char[]>(new unsigned char[image.nqGetImageDataSize() + 1]()),
        head);
    const int channels = bits == 24 ? 3 : 1;
    const int width = image.nqGetWidth();
    const int height = image.nqGetHeight();
    const std::size_t pixels = std::size_t(width) * height;
    const bool exact = wholeWeights(taps);
    std::vector<unsigned char> plane(channels == 1 ? 0 : pixels);
    for (int c = 0; c < channels; ++c) {
        const unsigned char* source = image.nqGetImageData();
        if (channels > 1) {
            for (std::size_t i = 0; i < pixels; ++i)
                plane[i] = source[3 * i + c];
            source = plane.data();
        }
        if (exact)
            convolvePlane<std::int32_t>(source, width, height, taps, n, anchor,
                                        static_cast<std::int32_t>(divisor), result.nqGetImageData(),
                                        channels, c);
        else
            convolvePlane<double>(source, width, height, taps, n, anchor, divisor,
                                  result.nqGetImageData(), channels, c);
    }
    return result;
}
