// Geometric transforms and pixel arithmetic of NQImage.
//
// Every transform builds a new image; the colour variants work on the three
// interleaved bytes of a pixel at once, which gives the same bytes as
// splitting the image into channels, transforming each and merging them, but
// without the three intermediate images. Binary images are handled on their
// packed rows: horizontal flips reverse the bytes of a row through a bit
// reversal table and shift out the padding, bit operations combine whole
// bytes under a mask. Rotation by 90, 180 and 270 degrees is an exact pixel
// permutation; any other angle maps every target pixel back into the source
// (nearest pixel, NQUtils::roundInt), so no target pixel is left undefined.
// Positive angles turn the picture counter-clockwise as seen on screen.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "image/NQBitRow.h"
#include "image/NQException.h"
#include "image/NQImage.h"
#include "image/NQLogger.h"
#include "image/NQPixelBlock.h"
#include "image/NQUtils.h"

namespace {

constexpr const char* kModule = "NQImageTransforms";
constexpr double kPi = 3.14159265358979323846;

[[noreturn]] void fail(NQExceptionCodes code, const char* text, int line) {
    throw NQException(code, text, kModule, line);
}

// A white image of the given size with the depth, colour model and
// resolution of `source`.
NQImage blankLike(const NQImage& source, int width, int height) {
    const long long bytes = static_cast<long long>(width) * height;
    if (width < 0 || height < 0 ||
        (bytes > 0 && NQImage::dataSizeFor(width, height, source.nqGetBitsPerPixel()) == 0))
        fail(NQ_MEMORY_ERROR, "Error Allocating Image Data memory", __LINE__);
    NQImage result;
    result.nqLoadImage(width, height, source.nqGetBitsPerPixel(), true);
    result.nqSetColorModel(source.nqGetColorModel());
    result.nqSetResolution(source.nqGetXResolution(), source.nqGetYResolution());
    result.nqSetResolutionUnits(source.nqGetResolutionUnits());
    result.nqSetResolutionInInches(source.nqImageHead().nqGetResolutionInInches());
    return result;
}

int bytesPerPixel(const NQImage& image) {
    return image.nqGetBitsPerPixel() == 24 ? 3 : 1;
}

// A background colour that may be used on `image`: one of its own colour
// model, or of the unknown model (which means "leave the new image white").
void checkBackground(const NQImage& image, const NQColor& background, int line) {
    const int model = background.nqGetColorModel();
    if (model != NQ_UNKNOWN_COLOR && model != image.nqGetColorModel())
        fail(NQ_INVALID_ARGUMENT,
             "<NQImage::nqShearImage()> Image color model and input color type do not match.",
             line);
}

// The bytes of a background pixel for the image's depth; false when the
// background's model is unknown and the target stays at its white fill.
bool backgroundBytes(const NQImage& image, const NQColor& background,
                     std::array<unsigned char, 3>& out) {
    switch (background.nqGetColorModel()) {
        case NQ_UNKNOWN_COLOR:
            return false;
        case NQ_BINARY:
            out.fill(background.nqGetBinary());
            break;
        case NQ_GRAY:
            out.fill(background.nqGetGray());
            break;
        default:
            out = {background.nqGetRed(), background.nqGetGreen(), background.nqGetBlue()};
    }
    if (image.nqGetBitsPerPixel() == 1)
        out.fill(out[0] != 0 ? 0xFF : 0x00);
    return true;
}

void fillBackground(NQImage& image, const NQColor& background) {
    std::array<unsigned char, 3> bytes;
    if (!backgroundBytes(image, background, bytes))
        return;
    if (image.nqGetBitsPerPixel() != 24 || (bytes[0] == bytes[1] && bytes[1] == bytes[2])) {
        image.nqSetAllPixels(bytes[0]);
        return;
    }
    unsigned char* p = image.nqGetImageData();
    for (std::size_t i = 0; i + 3 <= image.nqGetImageDataSize(); i += 3)
        std::memcpy(p + i, bytes.data(), 3);
}

bool fitsInside(const NQImage& outer, const NQImage& inner, int x, int y) {
    return x >= 0 && y >= 0 &&
           static_cast<long long>(x) + inner.nqGetWidth() <= outer.nqGetWidth() &&
           static_cast<long long>(y) + inner.nqGetHeight() <= outer.nqGetHeight();
}

unsigned char* rowOf(NQImage& image, int y) {
    return image.nqGetImageData() + static_cast<std::size_t>(y) * image.nqGetRowSize();
}
const unsigned char* rowOf(const NQImage& image, int y) {
    return image.nqGetImageData() + static_cast<std::size_t>(y) * image.nqGetRowSize();
}

// Pixel `from` of source row `in` as pixel `to` of result row `out`: one
// bit, or `step` bytes.
inline void copyPixel(const unsigned char* in, int from, unsigned char* out, int to, bool bits,
                      int step) {
    if (bits)
        nqbits::setWhite(out, to, nqbits::isWhite(in, from));
    else
        std::memcpy(out + std::size_t(to) * step, in + std::size_t(from) * step, step);
}

const std::array<unsigned char, 256>& bitReversal() {
    static const std::array<unsigned char, 256> table = [] {
        std::array<unsigned char, 256> t{};
        for (int v = 0; v < 256; ++v) {
            int r = 0;
            for (int b = 0; b < 8; ++b)
                if (v & (1 << b))
                    r |= 0x80 >> b;
            t[v] = static_cast<unsigned char>(r);
        }
        return t;
    }();
    return table;
}

// ---- flips ------------------------------------------------------------------

void flipBitRowHorizontally(const unsigned char* in, unsigned char* out, int rowBytes, int width) {
    const auto& reverse = bitReversal();
    // Reversing the bytes and their bits puts the padding bits at the front;
    // shifting left by their number brings column width - 1 to column 0.
    const int pad = rowBytes * 8 - width;
    for (int k = 0; k < rowBytes; ++k) {
        const unsigned hi = reverse[in[rowBytes - 1 - k]];
        const unsigned lo = k + 1 < rowBytes ? reverse[in[rowBytes - 2 - k]] : 0xFFu;
        out[k] = pad == 0 ? static_cast<unsigned char>(hi)
                          : static_cast<unsigned char>((hi << pad) | (lo >> (8 - pad)));
    }
}

NQImage flipped(const NQImage& source, NQImage::NQDirection direction) {
    NQImage result = blankLike(source, source.nqGetWidth(), source.nqGetHeight());
    const int width = source.nqGetWidth();
    const int height = source.nqGetHeight();
    const std::size_t rowBytes = source.nqGetRowSize();
    for (int y = 0; y < height; ++y) {
        if (direction == NQImage::NQ_VERTICAL) {
            std::memcpy(rowOf(result, y), rowOf(source, height - 1 - y), rowBytes);
            continue;
        }
        const unsigned char* in = rowOf(source, y);
        unsigned char* out = rowOf(result, y);
        if (source.nqGetBitsPerPixel() == 1) {
            flipBitRowHorizontally(in, out, static_cast<int>(rowBytes), width);
            continue;
        }
        const int step = bytesPerPixel(source);
        for (int x = 0; x < width; ++x)
            std::memcpy(out + std::size_t(x) * step, in + std::size_t(width - 1 - x) * step, step);
    }
    return result;
}

// ---- resizing ---------------------------------------------------------------

// Bilinear resampling of 1- or 3-byte pixels; the source position of target
// column i is i / (newWidth / width).
NQImage resizedBilinear(const NQImage& source, int newWidth, int newHeight) {
    NQImage result = blankLike(source, newWidth, newHeight);
    const int width = source.nqGetWidth();
    const int height = source.nqGetHeight();
    if (width <= 0 || height <= 0)
        return result;  // nothing to sample
    const int step = bytesPerPixel(source);
    struct Sample {
        int low, high;
        double fraction;
    };
    auto samples = [](int count, int sourceCount) {
        std::vector<Sample> out(static_cast<std::size_t>(count));
        const double scale = static_cast<double>(count) / sourceCount;
        for (int i = 0; i < count; ++i) {
            const double position = i / scale;
            const int low = std::min(static_cast<int>(std::floor(position)), sourceCount - 1);
            out[i] = {low, std::min(low + 1, sourceCount - 1), position - low};
        }
        return out;
    };
    const std::vector<Sample> columns = samples(newWidth, width);
    const std::vector<Sample> rows = samples(newHeight, height);
    for (int j = 0; j < newHeight; ++j) {
        const unsigned char* top = rowOf(source, rows[j].low);
        const unsigned char* bottom = rowOf(source, rows[j].high);
        const double fy = rows[j].fraction;
        unsigned char* out = rowOf(result, j);
        for (int i = 0; i < newWidth; ++i) {
            const Sample& c = columns[i];
            const double fx = c.fraction;
            for (int k = 0; k < step; ++k) {
                const double value = (1 - fx) * (1 - fy) * top[c.low * step + k] +
                                     fx * (1 - fy) * top[c.high * step + k] +
                                     (1 - fx) * fy * bottom[c.low * step + k] +
                                     fx * fy * bottom[c.high * step + k];
                out[i * step + k] = static_cast<unsigned char>(NQUtils::roundInt(value));
            }
        }
    }
    return result;
}

// ---- rotation ---------------------------------------------------------------

enum class QuarterTurn { None, Quarter, Half, ThreeQuarters };

// The angle rounded to one decimal; the three quarter turns are recognised
// there so that they take the exact permutation.
QuarterTurn quarterTurnOf(double degrees) {
    const double a = NQUtils::roundDouble(degrees, 1);
    if (a == 180 || a == -180)
        return QuarterTurn::Half;
    if (a == 90 || a == -270)
        return QuarterTurn::Quarter;
    if (a == 270 || a == -90)
        return QuarterTurn::ThreeQuarters;
    return QuarterTurn::None;
}

// Source pixel (sx, sy) of target pixel (x, y) for a quarter turn of a
// width x height source.
inline void quarterTurnSource(QuarterTurn turn, int width, int height, int x, int y, int& sx,
                              int& sy) {
    switch (turn) {
        case QuarterTurn::Quarter:
            sx = width - 1 - y, sy = x;
            break;
        case QuarterTurn::Half:
            sx = width - 1 - x, sy = height - 1 - y;
            break;
        default:
            sx = y, sy = height - 1 - x;
            break;
    }
}

NQImage rotatedByQuarterTurn(const NQImage& source, QuarterTurn turn) {
    const int width = source.nqGetWidth();
    const int height = source.nqGetHeight();
    const bool half = turn == QuarterTurn::Half;
    NQImage result = blankLike(source, half ? width : height, half ? height : width);
    const int outWidth = result.nqGetWidth();
    const int outHeight = result.nqGetHeight();
    const bool bits = source.nqGetBitsPerPixel() == 1;
    const int step = bytesPerPixel(source);
    for (int y = 0; y < outHeight; ++y) {
        unsigned char* out = rowOf(result, y);
        for (int x = 0; x < outWidth; ++x) {
            int sx, sy;
            quarterTurnSource(turn, width, height, x, y, sx, sy);
            const unsigned char* in = rowOf(source, sy);
            copyPixel(in, sx, out, x, bits, step);
        }
    }
    return result;
}

NQImage rotatedByAngle(const NQImage& source, double radians, const NQColor& background,
                       bool logOrigin) {
    const int width = source.nqGetWidth();
    const int height = source.nqGetHeight();
    const NQPoint origin(width / 2, height / 2);
    if (logOrigin)
        NQLogger::nqGetInstance()->nqLog(NQ_DEBUG, "Origin: (%d, %d)\n", origin.x, origin.y);
    int minX = origin.x, maxX = origin.x, minY = origin.y, maxY = origin.y;
    const NQPoint corners[4] = {NQPoint(0, 0), NQPoint(width - 1, 0), NQPoint(0, height - 1),
                                NQPoint(width - 1, height - 1)};
    for (const NQPoint& corner : corners) {
        const NQPoint p = NQImage::nqRotatePoint(corner, origin, radians);
        minX = std::min(minX, p.x), maxX = std::max(maxX, p.x);
        minY = std::min(minY, p.y), maxY = std::max(maxY, p.y);
    }
    NQImage result = blankLike(source, maxX + 1 - minX, maxY + 1 - minY);
    fillBackground(result, background);

    const double cosine = std::cos(radians);
    const double sine = std::sin(radians);
    const bool bits = source.nqGetBitsPerPixel() == 1;
    const int step = bytesPerPixel(source);
    for (int y = 0; y < result.nqGetHeight(); ++y) {
        const double dy = y + minY - origin.y;
        // The inverse rotation of (dx, dy), split into its per-row part.
        const double rowX = origin.x - dy * sine;
        const double rowY = origin.y + dy * cosine;
        unsigned char* out = rowOf(result, y);
        for (int x = 0; x < result.nqGetWidth(); ++x) {
            const double dx = x + minX - origin.x;
            const int sx = NQUtils::roundInt(rowX + dx * cosine);
            const int sy = NQUtils::roundInt(rowY + dx * sine);
            if (sx < 0 || sy < 0 || sx >= width || sy >= height)
                continue;
            const unsigned char* in = rowOf(source, sy);
            copyPixel(in, sx, out, x, bits, step);
        }
    }
    return result;
}

// Shared by the byte and bit workers; they differ in their log formats.
NQImage rotated(const NQImage& source, double degrees, const NQColor& background, bool byteLog) {
    const QuarterTurn turn = quarterTurnOf(degrees);
    if (turn != QuarterTurn::None)
        return rotatedByQuarterTurn(source, turn);
    NQLogger* logger = NQLogger::nqGetInstance();
    double radians = NQUtils::roundDouble(degrees, 1) * kPi / 180;
    if (byteLog)
        logger->nqLog(NQ_DEBUG, "rotate angle after radian conversion: %70.67f\n", radians);
    else
        logger->nqLog(NQ_DEBUG, "rotate angle after radian conversion: %f\n", radians);
    radians = NQUtils::roundDouble(radians, 8);
    if (byteLog)
        logger->nqLog(NQ_DEBUG, "rotate angle after round conversion: %70.67f\n", radians);
    else
        logger->nqLog(NQ_DEBUG, "rotate angle after round conversion: %f\n", radians);
    return rotatedByAngle(source, radians, background, byteLog);
}

// ---- shear ------------------------------------------------------------------

// Offset of row y (or column x) of a shear by `amount` over `extent` pixels.
inline int shearOffset(int position, int amount, int extent) {
    return NQUtils::roundInt(static_cast<double>(position) * amount / extent +
                             (amount < 0 ? -static_cast<double>(amount) : 0.0));
}

NQImage sheared(const NQImage& source, int amount, NQImage::NQDirection direction,
                const NQColor& background) {
    const int width = source.nqGetWidth();
    const int height = source.nqGetHeight();
    const long long grow = std::llabs(static_cast<long long>(amount));
    const bool horizontal = direction == NQImage::NQ_HORIZONTAL;
    const long long newWidth = horizontal ? width + grow : width;
    const long long newHeight = horizontal ? height : height + grow;
    if (newWidth > 0x7FFFFFFF || newHeight > 0x7FFFFFFF)
        fail(NQ_MEMORY_ERROR, "Error Allocating Image Data memory", __LINE__);
    NQImage result = blankLike(source, static_cast<int>(newWidth), static_cast<int>(newHeight));
    fillBackground(result, background);
    const bool bits = source.nqGetBitsPerPixel() == 1;
    const int step = bytesPerPixel(source);
    for (int y = 0; y < height; ++y) {
        const unsigned char* in = rowOf(source, y);
        const int rowShift = horizontal ? shearOffset(y, amount, height) : 0;
        for (int x = 0; x < width; ++x) {
            const int tx = x + rowShift;
            const int ty = horizontal ? y : y + shearOffset(x, amount, width);
            unsigned char* out = rowOf(result, ty);
            copyPixel(in, x, out, tx, bits, step);
        }
    }
    return result;
}

// ---- pixel arithmetic -----------------------------------------------------------

// Bits start .. start + 7 of a packed row (MSB first); bits outside the row
// read as 0.
inline unsigned bitsAt(const unsigned char* row, int rowBytes, int start) {
    unsigned value = 0;
    const int firstByte = start >= 0 ? start / 8 : (start - 7) / 8;
    const int shift = start - firstByte * 8;  // 0 to 7
    for (int k = 0; k < 2; ++k) {
        const int index = firstByte + k;
        const unsigned byte = index >= 0 && index < rowBytes ? row[index] : 0u;
        value = (value << 8) | byte;
    }
    return (value >> (8 - shift)) & 0xFFu;
}

void checkBitOperation(const NQImage& target, const NQImage& source, int x, int y) {
    if (target.nqGetBitsPerPixel() != 1)
        fail(NQ_INVALID_CONTENT,
             "<NQImage::nqBinaryBitOperationInImage()> Current image must be binary (B&W).",
             __LINE__);
    if (source.nqGetBitsPerPixel() != 1)
        fail(NQ_INVALID_CONTENT,
             "<NQImage::nqBinaryBitOperationInImage()> Second must be binary (B&W).", __LINE__);
    if (!target.nqHasImageData() || !source.nqHasImageData())
        fail(NQ_NULL_DATA, "<NQImage::nqBinaryBitOperationInImage()> Image Data is NULL!",
             __LINE__);
    if (!fitsInside(target, source, x, y))
        fail(NQ_OUT_OF_BOUNDS,
             "<NQImage::nqBinaryBitOperationInImage()> Second image is out of the boundary of the "
             "current image",
             __LINE__);
}

enum class ByteArithmetic { Add, Subtract };

NQImage combinedBytes(const NQImage& target, const NQImage& source, int x, int y,
                      ByteArithmetic operation) {
    NQImage result(target);
    const int step = bytesPerPixel(target);
    const std::size_t span = std::size_t(source.nqGetWidth()) * step;
    for (int j = 0; j < source.nqGetHeight(); ++j) {
        const unsigned char* in = rowOf(source, j);
        unsigned char* out = rowOf(result, y + j) + std::size_t(x) * step;
        for (std::size_t i = 0; i < span; ++i)
            out[i] = static_cast<unsigned char>(operation == ByteArithmetic::Add ? out[i] + in[i]
                                                                                 : out[i] - in[i]);
    }
    return result;
}

}  // namespace

// ---- inversion ----------------------------------------------------------------

NQImage NQImage::nqReverseByteImage() const {
    if (!data_)
        fail(NQ_NULL_DATA, "<NQImage::nqReverseByteImage()> Image Data is NULL!", __LINE__);
    const int bits = head_.nqGetBitsPerPixel();
    if (bits != 1 && bits != 8)
        fail(NQ_INVALID_INPUT,
             "<NQImage::nqReverseByteImage() Byte or Binary images are expected in "
             "nqReverseByteImage!",
             __LINE__);
    NQImage result(*this);
    nqInvertBytes(result.data_.get(), result.dataSize_);
    return result;
}

NQImage NQImage::nqReverseImage() const {
    if (!data_)
        fail(NQ_NULL_DATA, "<NQImage::nqReverseImage()> Image Data is NULL!", __LINE__);
    const int bits = head_.nqGetBitsPerPixel();
    if (bits != 1 && bits != 8 && bits != 24)
        fail(NQ_UNSUPPORTED,
             "<NQImage::nqReverseImage()> NQImage::nqReverseImage() Unknown Image format. Only "
             "supports 1, 8 and 24 bit images",
             __LINE__);
    // The complement of every byte is the complement of every channel.
    NQImage result(*this);
    nqInvertBytes(result.data_.get(), result.dataSize_);
    return result;
}

// ---- flips --------------------------------------------------------------------

NQImage NQImage::nqFlipByteImage(NQDirection direction) const {
    if (!data_)
        fail(NQ_NULL_DATA, "<NQImage::nqFlipByteImage()> Image Data is NULL!", __LINE__);
    if (head_.nqGetBitsPerPixel() != 8)
        fail(NQ_UNSUPPORTED,
             "<NQImage::nqFlipByteImage()> not supported format in NQImage::nqFLIPByteImage",
             __LINE__);
    if (direction != NQ_HORIZONTAL && direction != NQ_VERTICAL)
        fail(NQ_NOT_IMPLEMENTED, "<NQImage::nqFlipByteImage()> Not Yet Implemented!", __LINE__);
    return flipped(*this, direction);
}

NQImage NQImage::nqFlipImage(NQDirection direction) const {
    if (direction != NQ_HORIZONTAL && direction != NQ_VERTICAL)
        fail(NQ_INVALID_ARGUMENT,
             "<NQImage::nqFlipImage()> Flip direction must be NQ_HORIZONTAL or NQ_VERTICAL!",
             __LINE__);
    if (!data_)
        fail(NQ_NULL_DATA, "<NQImage::nqFlipImage()> Image Data is NULL!", __LINE__);
    const int bits = head_.nqGetBitsPerPixel();
    if (bits != 1 && bits != 8 && bits != 24)
        fail(NQ_UNSUPPORTED,
             "<NQImage::nqFlipImage()> NQImage::nqFlipImage() Unknown Image format. Only supports "
             "1, 8 and 24 bit images",
             __LINE__);
    return flipped(*this, direction);
}

// ---- resizing -----------------------------------------------------------------

NQImage NQImage::nqResizeImage(int width, int height) const {
    if (!data_)
        fail(NQ_NULL_DATA, "Image Data is NULL!", __LINE__);
    if (width <= 0 || height <= 0)
        fail(NQ_UNSUPPORTED, "not supported Size <= 0", __LINE__);
    switch (head_.nqGetBitsPerPixel()) {
        case 1:
            return nqResizeBitImage(width, height);
        case 8:
            return nqResizeByteImage(width, height);
        case 24:
            return resizedBilinear(*this, width, height);
        default:
            fail(NQ_UNSUPPORTED, "NQImage::ResizeImage() only supports 1, 8, and 24 bits",
                 __LINE__);
    }
}

NQImage NQImage::nqResizeImage(double factor) const {
    if (!(factor > 0))
        fail(NQ_UNSUPPORTED, "<NQImage::nqResizeImage()> not supported factor <= 0", __LINE__);
    const double width = head_.nqGetWidth() * factor;
    const double height = head_.nqGetHeight() * factor;
    if (width >= 0x7FFFFFFF || height >= 0x7FFFFFFF)
        fail(NQ_MEMORY_ERROR, "Error Allocating Image Data memory", __LINE__);
    return nqResizeImage(NQUtils::roundInt(width), NQUtils::roundInt(height));
}

NQImage NQImage::nqResizeByteImage(int width, int height) const {
    if (!data_)
        fail(NQ_NULL_DATA, "<NQImage::nqResizeByteImage()> Image Data is NULL!", __LINE__);
    if (head_.nqGetBitsPerPixel() != 8)
        fail(NQ_UNSUPPORTED, "<NQImage::nqResizeByteImage()> 8-bpp channel image expected.",
             __LINE__);
    if (width < 0 || height < 0)
        fail(NQ_UNSUPPORTED, "<NQImage::nqResizeByteImage()> Negative dimension in output size.",
             __LINE__);
    return resizedBilinear(*this, width, height);
}

NQImage NQImage::nqResizeBitImage(int width, int height) const {
    if (!data_)
        fail(NQ_NULL_DATA, "<NQImage::nqResizeBitImage()> Image Data is NULL!", __LINE__);
    if (head_.nqGetBitsPerPixel() != 1)
        fail(NQ_UNSUPPORTED, "<NQImage::nqResizeBitImage()> BW Image expected.", __LINE__);
    if (width < 0 || height < 0)
        fail(NQ_UNSUPPORTED, "<NQImage::nqResizeBitImage()> Negative dimension in output size.",
             __LINE__);
    NQImage result = blankLike(*this, width, height);
    const long long sourceWidth = head_.nqGetWidth();
    const long long sourceHeight = head_.nqGetHeight();
    if (sourceWidth <= 0 || sourceHeight <= 0)
        return result;
    // Every target pixel takes the source pixel under its centre.
    std::vector<int> columns(static_cast<std::size_t>(width));
    for (int i = 0; i < width; ++i)
        columns[i] = static_cast<int>((2LL * i + 1) * sourceWidth / (2LL * width));
    for (int j = 0; j < height; ++j) {
        const int sy = static_cast<int>((2LL * j + 1) * sourceHeight / (2LL * height));
        const unsigned char* in = rowOf(*this, sy);
        unsigned char* out = rowOf(result, j);
        for (int i = 0; i < width; ++i)
            nqbits::setWhite(out, i, nqbits::isWhite(in, columns[i]));
    }
    return result;
}

// ---- rotation -----------------------------------------------------------------

NQPoint NQImage::nqRotatePoint(const NQPoint& point, const NQPoint& origin, double radians) {
    const double dx = point.x - origin.x;
    const double dy = point.y - origin.y;
    const double c = std::cos(radians);
    const double s = std::sin(radians);
    return NQPoint(NQUtils::roundInt(origin.x + dx * c + dy * s),
                   NQUtils::roundInt(origin.y - dx * s + dy * c));
}

NQImage NQImage::nqRotateImage(double degrees, const NQColor& background) const {
    if (!data_)
        fail(NQ_NULL_DATA, "<NQImage::nqRotateImage()> Image Data is NULL!", __LINE__);
    const int bits = head_.nqGetBitsPerPixel();
    if (bits != 1 && bits != 8 && bits != 24)
        fail(NQ_UNSUPPORTED, "<NQImage::nqRotateImage()> only supports 1, 8, and 24 bits",
             __LINE__);
    checkBackground(*this, background, __LINE__);
    if (bits == 1)
        return nqRotateBitImage(degrees, background);
    return rotated(*this, degrees, background, true);
}

NQImage NQImage::nqRotateByteImage(double degrees, const NQColor& background) const {
    if (!data_)
        fail(NQ_NULL_DATA, "<NQImage::nqRotateByteImage()> Image Data is NULL!", __LINE__);
    if (head_.nqGetBitsPerPixel() != 8)
        fail(NQ_UNSUPPORTED,
             "<NQImage::nqRotateByteImage()> Not a supported format in NQImage::nqResizeByteImage",
             __LINE__);
    checkBackground(*this, background, __LINE__);
    return rotated(*this, degrees, background, true);
}

NQImage NQImage::nqRotateBitImage(double degrees, const NQColor& background) const {
    if (!data_)
        fail(NQ_NULL_DATA, "<NQImage::nqRotateBitImage()> Image Data is NULL!", __LINE__);
    if (head_.nqGetBitsPerPixel() != 1)
        fail(NQ_UNSUPPORTED, "<NQImage::nqRotateBitImage()> BW Image expected.", __LINE__);
    checkBackground(*this, background, __LINE__);
    return rotated(*this, degrees, background, false);
}

// ---- shear --------------------------------------------------------------------

NQImage NQImage::nqShearImage(int amount, NQDirection direction, const NQColor& background) const {
    if (direction != NQ_HORIZONTAL && direction != NQ_VERTICAL)
        fail(NQ_INVALID_ARGUMENT, "<NQImage::nqShearImage()> Invalid shear direction.", __LINE__);
    checkBackground(*this, background, __LINE__);
    if (!data_)
        fail(NQ_NULL_DATA, "<NQImage::nqShearImage()> Image Data is NULL!", __LINE__);
    const int bits = head_.nqGetBitsPerPixel();
    if (bits == 1)
        return nqShearBitImage(amount, direction, background);
    if (bits != 8 && bits != 24)
        fail(NQ_UNSUPPORTED, "<NQImage::nqShearImage()> only supports 1, 8, and 24 bits", __LINE__);
    return sheared(*this, amount, direction, background);
}

NQImage NQImage::nqShearBitImage(int amount, NQDirection direction,
                                 const NQColor& background) const {
    if (direction != NQ_HORIZONTAL && direction != NQ_VERTICAL)
        fail(NQ_INVALID_ARGUMENT, "<NQImage::nqShearImage()> Invalid shear direction.", __LINE__);
    checkBackground(*this, background, __LINE__);
    if (!data_)
        fail(NQ_NULL_DATA, "<NQImage::nqShearImage()> Image Data is NULL!", __LINE__);
    if (head_.nqGetBitsPerPixel() != 1)
        fail(NQ_UNSUPPORTED, "<NQImage::nqShearBitImage()> BW Image expected.", __LINE__);
    return sheared(*this, amount, direction, background);
}

// ---- pasting and pixel arithmetic -------------------------------------------------

void NQImage::nqPasteInByteImage(const NQImage& source, int x, int y) {
    if (!data_ || !source.data_)
        fail(NQ_NULL_DATA, "<NQImage::nqPasteInByteImage()> Image Data is NULL!", __LINE__);
    const int bits = head_.nqGetBitsPerPixel();
    if (source.nqGetBitsPerPixel() != bits || (bits != 1 && bits != 8 && bits != 24))
        fail(NQ_UNSUPPORTED, "<NQImage::nqPasteInByteImage()> Invalid Depth Value", __LINE__);
    if (!fitsInside(*this, source, x, y))
        fail(NQ_OUT_OF_BOUNDS, "<NQImage::nqPasteInByteImage()> Paste image is too big!", __LINE__);
    const int width = source.nqGetWidth();
    for (int j = 0; j < source.nqGetHeight(); ++j) {
        const unsigned char* in = rowOf(source, j);
        unsigned char* out = rowOf(*this, y + j);
        if (bits == 1) {
            for (int i = 0; i < width; ++i)
                nqbits::setWhite(out, x + i, nqbits::isWhite(in, i));
        } else {
            const int step = bytesPerPixel(*this);
            std::memcpy(out + std::size_t(x) * step, in, std::size_t(width) * step);
        }
    }
}

NQImage NQImage::nqPasteByteImage(const NQImage& source, int x, int y) const {
    if (!data_)
        fail(NQ_NULL_DATA, "<NQImage::nqPasteByteImage()> Image Data is NULL!", __LINE__);
    NQImage result(*this);
    result.nqPasteInByteImage(source, x, y);
    return result;
}

NQImage NQImage::nqAddImage(const NQImage& source, int x, int y) const {
    if (!data_ || !source.data_)
        fail(NQ_NULL_DATA, "<NQImage::nqAddImage()> Image Data is NULL!", __LINE__);
    if (source.nqGetBitsPerPixel() != head_.nqGetBitsPerPixel())
        fail(NQ_NOT_IMPLEMENTED, "<NQImage::nqAddImage()> Both colors must have same color depth",
             __LINE__);
    if (head_.nqGetBitsPerPixel() != 8 && head_.nqGetBitsPerPixel() != 24)
        fail(NQ_UNSUPPORTED, "<NQImage::nqAddImage()> Only 8 and 24 bit images can be added",
             __LINE__);
    if (!fitsInside(*this, source, x, y))
        fail(NQ_OUT_OF_BOUNDS, "<NQImage::nqAddImage()> Add image is too big!", __LINE__);
    return combinedBytes(*this, source, x, y, ByteArithmetic::Add);
}

NQImage NQImage::nqSubtractImage(const NQImage& source, int x, int y) const {
    if (!data_ || !source.data_)
        fail(NQ_NULL_DATA, "<NQImage::nqSubtractImage()> Image Data is NULL!", __LINE__);
    if (source.nqGetBitsPerPixel() != head_.nqGetBitsPerPixel())
        fail(NQ_NOT_IMPLEMENTED,
             "<NQImage::nqSubtractImage()>Both colors must have same color depth", __LINE__);
    if (head_.nqGetBitsPerPixel() != 8 && head_.nqGetBitsPerPixel() != 24)
        fail(NQ_UNSUPPORTED,
             "<NQImage::nqSubtractImage()> Only 8 and 24 bit images can be subtracted", __LINE__);
    if (!fitsInside(*this, source, x, y))
        fail(NQ_OUT_OF_BOUNDS, "<NQImage::nqSubtractImage()>Add image is too big!", __LINE__);
    return combinedBytes(*this, source, x, y, ByteArithmetic::Subtract);
}

NQImage NQImage::nqXorImage(const NQImage& source, int x, int y) const {
    checkBitOperation(*this, source, x, y);
    NQImage result(*this);
    result.nqBinaryBitOperationInImage(source, x, y, NQ_BIT_XOR);
    return result;
}

void NQImage::nqBinaryBitOperationInImage(const NQImage& source, int x, int y,
                                          NQBitOperation operation) {
    checkBitOperation(*this, source, x, y);
    const int width = source.nqGetWidth();
    if (width == 0)
        return;
    const int sourceRowBytes = source.nqGetRowSize();
    const int firstByte = x / 8;
    const int lastByte = (x + width - 1) / 8;
    for (int j = 0; j < source.nqGetHeight(); ++j) {
        const unsigned char* in = rowOf(source, j);
        unsigned char* out = rowOf(*this, y + j);
        for (int k = firstByte; k <= lastByte; ++k) {
            // Target byte k covers columns 8k .. 8k + 7, source columns 8k - x on.
            const int firstColumn = std::max(8 * k, x) - 8 * k;
            const int lastColumn = std::min(8 * k + 7, x + width - 1) - 8 * k;
            const unsigned mask = (0xFFu >> firstColumn) & (0xFFu << (7 - lastColumn)) & 0xFFu;
            const unsigned value = bitsAt(in, sourceRowBytes, 8 * k - x);
            unsigned combined;
            switch (operation) {
                case NQ_BIT_AND:
                    combined = out[k] & value;
                    break;
                case NQ_BIT_OR:
                    combined = out[k] | value;
                    break;
                default:
                    combined = out[k] ^ value;
                    break;
            }
            out[k] = static_cast<unsigned char>((out[k] & ~mask) | (combined & mask));
        }
    }
}
