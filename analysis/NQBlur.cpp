// Smoothing and horizontal gap closing.
//
// nqBlur repeats a 5 x 5 convolution whose weights approximate a small
// Gaussian. The gap closing works on distances along a row: every pixel gets
// the distance to the nearer black pixel of its row (the only one when the
// row has black on one side only, the row width when it has none). The white
// pixel exactly in the middle of a gap gets b + (width - b) / width instead
// of b, a little more than its distance, so that a limit equal to half the
// gap closes every pixel of the gap except that middle one. Two sweeps per
// row (left to right, right to left) give both distances.
#include "analysis/NQBlur.h"

#include <algorithm>

#include "analysis/NQMask.h"
#include "image/NQException.h"

namespace {

constexpr const char* kModule = "NQBlur";

constexpr double kBlurKernel[5][5] = {
    {0, 0, 1, 0, 0}, {0, 8, 21, 8, 0}, {1, 21, 59, 21, 1}, {0, 8, 21, 8, 0}, {0, 0, 1, 0, 0}};

}  // namespace

NQImage NQBlur::nqBlur(const NQImage& image, int iterations) {
    const double* rows[5] = {kBlurKernel[0], kBlurKernel[1], kBlurKernel[2], kBlurKernel[3],
                             kBlurKernel[4]};
    if (iterations < 1)
        return image;
    NQImage result = NQMask::nqMask(image, rows, 5);
    for (int i = 1; i < iterations; ++i)
        result = NQMask::nqMask(result, rows, 5);
    result.nqSetResolution(image.nqGetXResolution(), image.nqGetYResolution());
    return result;
}

void NQBlur::nqHorizontalBlurLoad(const NQImage& grey) {
    if (grey.nqGetBitsPerPixel() != 8)
        throw NQException(
            NQ_INVALID_INPUT,
            "Grayscale represenation of a binary input image required for nqBinaryHorizontalBlur",
            nullptr, 0);
    if (!grey.nqHasImageData())
        throw NQException(NQ_NULL_DATA, "<NQBlur::nqHorizontalBlurLoad()> Image Data is NULL!",
                          kModule, __LINE__);
    map_.clear();
    loaded_ = false;
    const int width = grey.nqGetWidth();
    const int height = grey.nqGetHeight();
    map_.resize(std::size_t(width) * height);
    std::vector<int> left(static_cast<std::size_t>(width));
    for (int y = 0; y < height; ++y) {
        const unsigned char* row = grey.nqGetImageData() + std::size_t(y) * width;
        float* out = map_.data() + std::size_t(y) * width;
        int lastBlack = -1;
        for (int x = 0; x < width; ++x) {
            if (row[x] < 128)
                lastBlack = x;
            left[x] = lastBlack < 0 ? -1 : x - lastBlack;
        }
        int nextBlack = -1;
        for (int x = width - 1; x >= 0; --x) {
            if (row[x] < 128)
                nextBlack = x;
            const int right = nextBlack < 0 ? -1 : nextBlack - x;
            const int a = std::min(left[x], right);
            const int b = std::max(left[x], right);
            if (a < 1)
                out[x] = b >= 0 ? static_cast<float>(b) : static_cast<float>(width);
            else if (a == b)
                out[x] = static_cast<float>(b + static_cast<double>(width - b) / width);
            else
                out[x] = static_cast<float>(a);
        }
    }
    width_ = width;
    height_ = height;
    loaded_ = true;
}

NQImage NQBlur::nqBinaryHorizontalBlur(int distance) const {
    if (!loaded_)
        throw NQException(NQ_NULL_DATA,
                          "<NQBlur::nqBinaryHorizontalBlur(int)>: \n\tImage not yet loaded into "
                          "NQBlur Object",
                          kModule, __LINE__);
    NQImage result;
    result.nqSetImageHead(width_, height_, 8, 0, 0, NQImageHead::NQ_RES_INCH);
    result.nqAllocImageData();
    unsigned char* out = result.nqGetImageData();
    for (std::size_t i = 0; i < map_.size(); ++i)
        out[i] = map_[i] <= distance ? 0 : 255;
    return result;
}

NQImage NQBlur::nqBinaryHorizontalBlur(const NQImage& grey, int distance, bool reload) {
    if (!loaded_ || reload)
        nqHorizontalBlurLoad(grey);
    return nqBinaryHorizontalBlur(distance);
}
