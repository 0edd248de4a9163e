// The image buffer: storage, header set-up, pixel access, channels,
// sub-images, tags and statistics. Loading and saving through the factory live
// in imageio/NQImageLoading.cpp; the cut by a zone in docmodel.
#include "image/NQImage.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>

#include "image/NQException.h"
#include "image/NQLogger.h"
#include "image/NQPixelBlock.h"

namespace {

constexpr const char* kModule = "NQImage";

std::unique_ptr<unsigned char[]> allocateBytes(std::size_t size) {
    std::unique_ptr<unsigned char[]> block = nqNewPixelBlock(size);
    if (!block)
        throw NQException(NQ_MEMORY_ERROR, "Error Allocating Image Data memory", kModule, __LINE__);
    return block;
}

[[noreturn]] void throwNullData(const char* text, int line) {
    throw NQException(NQ_NULL_DATA, text, kModule, line);
}

}  // namespace

std::size_t NQImage::dataSizeFor(int width, int height, int bitsPerPixel) {
    if (width <= 0 || height <= 0) return 0;
    const int rowSize = NQImageHead::rowSizeFor(width, bitsPerPixel);
    if (rowSize <= 0) return 0;
    const std::uint64_t bytes = std::uint64_t(rowSize) * std::uint64_t(height);
    if (bytes > kMaxDataBytes) return 0;
    return static_cast<std::size_t>(bytes);
}

NQImage::NQImage() = default;

NQImage::NQImage(int width, int height, NQImageHead::NQBitDepths depth) {
    nqLoadImage(width, height, static_cast<int>(depth), true);
}

NQImage::NQImage(int width, int height, int depth) {
    NQLogger::nqGetInstance()->nqLog(
        NQ_ERROR,
        "NQImage::NQImage(int, int, int) is deprecated; use "
        "NQImage::NQImage(int, int, NQImageHead::NQBitDepths)\n");
    nqLoadImage(width, height, depth, true);
}

NQImage::NQImage(unsigned char* data, const NQImageHead& head) {
    if (data == nullptr) throwNullData("NQImage::NQImage() Image Data is NULL!", __LINE__);
    std::unique_ptr<unsigned char[]> owned(data);
    head_ = head;
    head_.nqSetChannels(head_.nqGetBitsPerPixel() == 24 ? 3 : 1);
    head_.nqSetRowSize(NQImageHead::rowSizeFor(head_.nqGetWidth(), head_.nqGetBitsPerPixel()));
    const long long bytes = static_cast<long long>(head_.nqGetRowSize()) * head_.nqGetHeight();
    adoptData(std::move(owned), bytes > 0 ? static_cast<std::size_t>(bytes) : 0);
}

NQImage::NQImage(std::unique_ptr<unsigned char[]> data, const NQImageHead& head)
    : NQImage(data.release(), head) {}

NQImage::NQImage(const NQImage& other) { *this = other; }

NQImage NQImage::nqCopyHead() const {
    NQImage copy;
    copy.head_ = head_;
    copy.corrupted_ = corrupted_;
    return copy;
}

NQImage::NQImage(NQImage&& other) noexcept
    : head_(std::move(other.head_)),
      data_(std::move(other.data_)),
      dataSize_(other.dataSize_),
      corrupted_(other.corrupted_) {
    other.dataSize_ = 0;
}

NQImage::~NQImage() = default;

void NQImage::releaseData() {
    data_.reset();
    dataSize_ = 0;
}

void NQImage::adoptData(std::unique_ptr<unsigned char[]> data, std::size_t size) {
    data_ = std::move(data);
    dataSize_ = size;
}

void NQImage::deriveLayoutFromDepth() {
    const int width = head_.nqGetWidth();
    switch (head_.nqGetBitsPerPixel()) {
        case 1:
            head_.nqSetChannels(1);
            head_.nqSetColorModel(NQ_BINARY);
            head_.nqSetRowSize(NQImageHead::rowSizeFor(width, 1));
            break;
        case 8:
            head_.nqSetChannels(1);
            head_.nqSetColorModel(NQ_GRAY);
            head_.nqSetRowSize(width);
            break;
        case 24:
            head_.nqSetChannels(3);
            head_.nqSetColorModel(NQ_RGBCOLOR);
            head_.nqSetRowSize(NQImageHead::rowSizeFor(width, 24));
            break;
        default: break;
    }
}

void NQImage::assignHeaderFrom(const NQImage& source) {
    const NQImageHead& from = source.head_;
    if (data_) {
        releaseData();
        head_.nqGetTags().clear();
    }
    head_.nqSetWidth(from.nqGetWidth());
    head_.nqSetHeight(from.nqGetHeight());
    head_.nqSetBitsPerPixel(from.nqGetBitsPerPixel());
    head_.nqSetXResolution(from.nqGetXResolution());
    head_.nqSetYResolution(from.nqGetYResolution());
    head_.nqSetResolutionUnits(from.nqGetResolutionUnits());
    deriveLayoutFromDepth();
    head_.nqSetDataAlignment(NQ_1BYTE_ALIGN);
    if (!from.nqGetTags().empty()) head_.nqSetTags(from.nqGetTags());
    head_.nqSetColorModel(from.nqGetColorModel());
    head_.nqSetDataAlignment(from.nqGetDataAlignment());
}

NQImage& NQImage::operator=(const NQImage& other) {
    if (this == &other)
        throw NQException(NQ_MEMORY_ERROR, "Self Assignment Attempted!", kModule, __LINE__);
    if (!other.data_) {
        // An image without data only passes on its corrupted flag.
        releaseData();
        corrupted_ = other.corrupted_;
        return *this;
    }
    assignHeaderFrom(other);
    std::unique_ptr<unsigned char[]> copy = allocateBytes(other.dataSize_);
    std::memcpy(copy.get(), other.data_.get(), other.dataSize_);
    adoptData(std::move(copy), other.dataSize_);
    corrupted_ = other.corrupted_;
    return *this;
}

NQImage& NQImage::operator=(NQImage&& other) {
    if (this == &other)
        throw NQException(NQ_MEMORY_ERROR, "Self Assignment Attempted!", kModule, __LINE__);
    if (!other.data_) return *this = static_cast<const NQImage&>(other);
    // Same header rules as the copy, but the pixel block changes hands.
    assignHeaderFrom(other);
    adoptData(std::move(other.data_), other.dataSize_);
    other.dataSize_ = 0;
    corrupted_ = other.corrupted_;
    return *this;
}

// ---- header set-up ------------------------------------------------------

void NQImage::nqLoadImage(int width, int height, int bits, bool allocate) {
    head_.nqSetWidth(width);
    head_.nqSetHeight(height);
    head_.nqSetBitsPerPixel(bits);
    head_.nqSetChannels(bits == 24 ? 3 : 1);
    head_.nqSetRowSize(NQImageHead::rowSizeFor(width, bits));
    corrupted_ = false;
    releaseData();
    if (allocate) nqAllocImageData();
}

void NQImage::nqLoadImage(int width, int height, NQImageHead::NQBitDepths bits, bool allocate) {
    nqLoadImage(width, height, static_cast<int>(bits), allocate);
}

void NQImage::nqSetImageHead(int width, int height, int bits, float xRes, float yRes,
                             NQImageHead::NQResolutionUnits units) {
    head_.nqSetWidth(width);
    head_.nqSetHeight(height);
    head_.nqSetBitsPerPixel(bits);
    head_.nqSetXResolution(xRes);
    head_.nqSetYResolution(yRes);
    head_.nqSetResolutionUnits(units);
    deriveLayoutFromDepth();
    head_.nqSetDataAlignment(NQ_1BYTE_ALIGN);
    // A block that no longer matches the geometry would let pixel access run
    // past its end; such a block is dropped rather than reinterpreted.
    if (data_) {
        const long long bytes = static_cast<long long>(head_.nqGetRowSize()) * height;
        if (bytes < 0 || static_cast<std::size_t>(bytes) != dataSize_) releaseData();
    }
}

void NQImage::nqSetImageHead(int width, int height, int bits, float xRes, float yRes,
                             bool unitsInInches) {
    nqSetImageHead(width, height, bits, xRes, yRes,
                   unitsInInches ? NQImageHead::NQ_RES_INCH : NQImageHead::NQ_RES_NONE);
}

void NQImage::nqAllocImageData() {
    releaseData();
    const int width = head_.nqGetWidth();
    const int height = head_.nqGetHeight();
    if (head_.nqGetRowSize() < 1 && width > 0 && height > 0)
        head_.nqSetRowSize(NQImageHead::rowSizeFor(width, head_.nqGetBitsPerPixel()));
    const long long rowSize = head_.nqGetRowSize();
    const long long bytes = rowSize * height;
    if (rowSize < 0 || height < 0 || static_cast<unsigned long long>(bytes) > kMaxDataBytes)
        throw NQException(NQ_MEMORY_ERROR, "Error Allocating Image Data memory", kModule, __LINE__);
    std::unique_ptr<unsigned char[]> block = allocateBytes(static_cast<std::size_t>(bytes));
    std::memset(block.get(), 255, static_cast<std::size_t>(bytes));
    adoptData(std::move(block), static_cast<std::size_t>(bytes));
}

void NQImage::nqSetImageData(unsigned char* data) {
    std::unique_ptr<unsigned char[]> owned(data);
    const long long bytes = static_cast<long long>(head_.nqGetRowSize()) * head_.nqGetHeight();
    adoptData(std::move(owned), data != nullptr && bytes > 0 ? static_cast<std::size_t>(bytes) : 0);
}

unsigned char* NQImage::nqGetSafeImageData() const {
    if (!data_) throwNullData("Image Data is NULL!", __LINE__);
    unsigned char* copy = new (std::nothrow) unsigned char[dataSize_ == 0 ? 1 : dataSize_];
    if (copy == nullptr)
        throw NQException(NQ_MEMORY_ERROR, "Error Allocating Image Data memory", kModule, __LINE__);
    std::memcpy(copy, data_.get(), dataSize_);
    return copy;
}

// ---- pixel access ---------------------------------------------------------

std::size_t NQImage::byteIndex(int x, int y) const {
    const std::size_t row = static_cast<std::size_t>(y) * head_.nqGetRowSize();
    switch (head_.nqGetBitsPerPixel()) {
        case 8: return row + x;
        case 24: return row + 3 * static_cast<std::size_t>(x);
        default: return row + x / 8;
    }
}

unsigned char NQImage::nqGetPixelValue(int x, int y) const {
    if (head_.nqGetColorModel() > NQ_GRAY)
        throw NQException(NQ_INVALID_INPUT,
                          "Binary or Gray Scale FORMAT is needed in nqGetPixelScale", kModule,
                          __LINE__);
    if (!data_) throwNullData("Image data is null!!", __LINE__);
    if (!nqIsInside(x, y))
        throw NQException(NQ_INVALID_INPUT, "Out Of Bound!!", kModule, __LINE__);
    const std::size_t index = byteIndex(x, y);
    if (index >= dataSize_) throw NQException(NQ_INVALID_INPUT, "Out Of Bound!!", kModule, __LINE__);
    if (head_.nqGetBitsPerPixel() == 8) return data_[index];
    return (data_[index] & (0x80 >> (x % 8))) ? 255 : 0;
}

void NQImage::nqSetPixel(int x, int y, unsigned char value) {
    if (head_.nqGetColorModel() > NQ_GRAY)
        throw NQException(NQ_INVALID_INPUT, "Binary or Gray Scale FORMAT is needed in nqSetPixel",
                          kModule, __LINE__);
    if (!nqIsInside(x, y)) {
        // One step past the right or bottom edge is tolerated silently.
        if (x == head_.nqGetWidth() || y == head_.nqGetHeight()) return;
        throw NQException(NQ_INVALID_INPUT, "Out Of Bound!! setting pixel ", kModule, __LINE__);
    }
    if (!data_) throwNullData("Image data is null!!", __LINE__);
    const std::size_t index = byteIndex(x, y);
    if (index >= dataSize_)
        throw NQException(NQ_INVALID_INPUT, "Out Of Bound!! setting pixel ", kModule, __LINE__);
    if (head_.nqGetBitsPerPixel() == 8) {
        data_[index] = value;
        return;
    }
    const unsigned char mask = static_cast<unsigned char>(0x80 >> (x % 8));
    if (value != 0)
        data_[index] |= mask;
    else
        data_[index] &= static_cast<unsigned char>(~mask);
}

std::size_t NQImage::checkedColorIndex(int x, int y) const {
    if (head_.nqGetChannels() != 3)
        throw NQException(NQ_INVALID_INPUT, "Color FORMAT is needed in nqSetPixel", kModule,
                          __LINE__);
    if (!nqIsInside(x, y)) throw NQException(NQ_INVALID_INPUT, "Out Of Bound!!", kModule, __LINE__);
    if (!data_) throwNullData("Image data is null!!", __LINE__);
    const std::size_t index =
        static_cast<std::size_t>(y) * head_.nqGetRowSize() + 3 * static_cast<std::size_t>(x);
    if (index + 3 > dataSize_)
        throw NQException(NQ_INVALID_INPUT, "Out Of Bound!!", kModule, __LINE__);
    return index;
}

void NQImage::nqGetPixel(int x, int y, unsigned char& r, unsigned char& g,
                         unsigned char& b) const {
    const std::size_t index = checkedColorIndex(x, y);
    r = data_[index];
    g = data_[index + 1];
    b = data_[index + 2];
}

void NQImage::nqSetPixel(int x, int y, unsigned char r, unsigned char g, unsigned char b) {
    const std::size_t index = checkedColorIndex(x, y);
    data_[index] = r;
    data_[index + 1] = g;
    data_[index + 2] = b;
}

NQColor NQImage::nqGetPixel(int x, int y) const {
    switch (head_.nqGetColorModel()) {
        case NQ_GRAY: return NQColor(nqGetPixelValue(x, y));
        case NQ_RGBCOLOR: {
            unsigned char r, g, b;
            nqGetPixel(x, y, r, g, b);
            return NQColor(r, g, b);
        }
        case NQ_BINARY: {
            NQColor color(NQColor::NQ_BW_BLACK);
            color.nqSetBinary(nqGetPixelValue(x, y));
            return color;
        }
        default:
            throw NQException(NQ_UNSUPPORTED, "<NQImage::nqGetPixel()> Unsupported image color model.",
                              kModule, __LINE__);
    }
}

void NQImage::nqSetPixel(int x, int y, const NQColor& color) {
    if (color.nqGetColorModel() != head_.nqGetColorModel())
        throw NQException(NQ_INVALID_ARGUMENT,
                          "<NQImage::nqSetPixel()> Image color model and input color type do not "
                          "match.",
                          kModule, __LINE__);
    switch (color.nqGetColorModel()) {
        case NQ_GRAY: nqSetPixel(x, y, color.nqGetGray()); break;
        case NQ_RGBCOLOR: nqSetPixel(x, y, color.nqGetRed(), color.nqGetGreen(), color.nqGetBlue()); break;
        case NQ_BINARY: nqSetPixel(x, y, color.nqGetBinary()); break;
        default:
            throw NQException(NQ_UNSUPPORTED, "<NQImage::nqSetPixel()> Unsupported image color model.",
                              kModule, __LINE__);
    }
}

void NQImage::nqSetAllPixels(unsigned char value) {
    if (data_) std::memset(data_.get(), value, dataSize_);
}

void NQImage::nqSetAllPixels(const NQColor& color) {
    if (color.nqGetColorModel() != head_.nqGetColorModel())
        throw NQException(NQ_INVALID_ARGUMENT,
                          "<NQImage::nqSetAllPixels()> Image color model and input color type do "
                          "not match.",
                          kModule, __LINE__);
    switch (color.nqGetColorModel()) {
        case NQ_GRAY: nqSetAllPixels(color.nqGetGray()); break;
        case NQ_BINARY: nqSetAllPixels(color.nqGetBinary()); break;
        case NQ_RGBCOLOR:
            if (color.nqGetRed() == color.nqGetGreen() && color.nqGetRed() == color.nqGetBlue()) {
                nqSetAllPixels(color.nqGetRed());
            } else if (data_) {
                for (std::size_t i = 0; i + 3 <= dataSize_; i += 3) {
                    data_[i] = color.nqGetRed();
                    data_[i + 1] = color.nqGetGreen();
                    data_[i + 2] = color.nqGetBlue();
                }
            }
            break;
        default:
            throw NQException(NQ_UNSUPPORTED,
                              "<NQImage::nqSetAllPixels()> Unsupported image color model.", kModule,
                              __LINE__);
    }
}

bool NQImage::nqIsGrayScaleBW() const {
    if (!data_) throwNullData("<NQImage::nqIsGrayScaleBW()> Image Data is NULL!", __LINE__);
    switch (head_.nqGetBitsPerPixel()) {
        case 1: return true;
        case 8:
            return std::all_of(data_.get(), data_.get() + dataSize_,
                               [](unsigned char v) { return v == 0 || v == 255; });
        case 24:
            throw NQException(NQ_NOT_IMPLEMENTED,
                              "<NQImage::nqIsGrayBW()> Not Implemented for Color Image in "
                              "NQImage::nqIsGrayScaleBW !",
                              kModule, __LINE__);
        default:
            throw NQException(NQ_UNSUPPORTED,
                              "<NQImage::nqIsGrayScaleBW()>  only support 1 and 8 bits", kModule,
                              __LINE__);
    }
}

// ---- channels and sub-images ------------------------------------------------

NQImage NQImage::nqGetChannelImage(NQColorChannels channel) const {
    if (!data_) throwNullData("<NQImage::nqGetChannelImage()> Image Data is NULL!", __LINE__);
    const int bits = head_.nqGetBitsPerPixel();
    if (bits == 8) {
        if (channel != NQ_RED)
            throw NQException(NQ_CHANNEL_OUT_OF_RANGE,
                              "<NQImage::nqGetChannelImage()> channel number is out of bounds!",
                              kModule, __LINE__);
        return *this;
    }
    if (bits != 24)
        throw NQException(NQ_INVALID_INPUT,
                          "<NQImage::nqGetChannelImage()> Color image expected in "
                          "NQImage::nqGetChannel!",
                          kModule, __LINE__);
    if (channel < NQ_RED || channel > NQ_BLUE)
        throw NQException(NQ_CHANNEL_OUT_OF_RANGE,
                          "<NQImage::nqGetChannelImage()> channel is out of bounds in "
                          "NQImage::nqGetChannel!",
                          kModule, __LINE__);
    NQImage result(head_.nqGetWidth(), head_.nqGetHeight(), NQImageHead::NQ_8BIT);
    unsigned char* out = result.nqGetImageData();
    const std::size_t pixels = result.nqGetImageDataSize();
    for (std::size_t i = 0; i < pixels && 3 * i + channel < dataSize_; ++i)
        out[i] = data_[3 * i + channel];
    return result;
}

NQImage NQImage::nqGetChannelImage(int channel) const {
    NQLogger::nqGetInstance()->nqLog(
        NQ_ERROR,
        "NQImage::nqGetChannelImage(int) is deprecated; use "
        "NQImage::nqGetChannelImage(NQImage::NQColorChannels)\n");
    return nqGetChannelImage(static_cast<NQColorChannels>(channel));
}

NQImage NQImage::nqMergeChannelImage(NQImage* red, NQImage* green, NQImage* blue) {
    auto isByteImage = [](const NQImage* image) {
        return image != nullptr && image->nqGetBitsPerPixel() == 8 && image->data_ != nullptr;
    };
    if (!isByteImage(red) || !isByteImage(green) || !isByteImage(blue))
        throw NQException(NQ_INVALID_INPUT,
                          "<NQImage::nqMergeChannelImage()> Byte image expected in "
                          "NQImage::nqMergeChannelImage!",
                          kModule, __LINE__);
    const int width = red->nqGetWidth();
    const int height = red->nqGetHeight();
    NQImage result(width, height, NQImageHead::NQ_24BIT);
    result.head_.nqSetColorModel(NQ_RGBCOLOR);
    unsigned char* out = result.nqGetImageData();
    const NQImage* planes[3] = {red, green, blue};
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const std::size_t target = (static_cast<std::size_t>(y) * width + x) * 3;
            for (int c = 0; c < 3; ++c) {
                const NQImage* plane = planes[c];
                // Planes smaller than the red one leave black where they end.
                out[target + c] = plane->nqIsInside(x, y)
                                      ? plane->data_[static_cast<std::size_t>(y) *
                                                         plane->nqGetRowSize() +
                                                     x]
                                      : 0;
            }
        }
    }
    return result;
}

NQImage NQImage::nqSubImage(int x, int y, int width, int height) const {
    if (!data_) throwNullData("Image Data is NULL!", __LINE__);
    if (x < 0 || y < 0 || width < 0 || height < 0 ||
        static_cast<long long>(x) + width > head_.nqGetWidth() ||
        static_cast<long long>(y) + height > head_.nqGetHeight())
        throw NQException(NQ_INVALID_INPUT,
                          "Out Of Bounds!! Sub-image must have coordinates within the larger image",
                          kModule, __LINE__);
    const int bits = head_.nqGetBitsPerPixel();
    if (bits == 8) return nqSubByteImage(x, y, width, height);
    if (bits != 1 && bits != 24)
        throw NQException(NQ_UNSUPPORTED, "NQImage::SubImage() only supports 1, 8, and 24 bits",
                          kModule, __LINE__);

    NQImage result;
    result.nqLoadImage(width, height, bits, true);
    result.head_.nqSetXResolution(head_.nqGetXResolution());
    result.head_.nqSetYResolution(head_.nqGetYResolution());
    result.head_.nqSetResolutionUnits(head_.nqGetResolutionUnits());
    result.head_.nqSetColorModel(head_.nqGetColorModel());
    result.head_.nqSetDataAlignment(head_.nqGetDataAlignment());
    const std::size_t srcRow = head_.nqGetRowSize();
    const std::size_t dstRow = result.nqGetRowSize();
    unsigned char* out = result.nqGetImageData();
    if (bits == 24) {
        for (int j = 0; j < height; ++j)
            std::memcpy(out + j * dstRow, data_.get() + (y + j) * srcRow + 3 * std::size_t(x),
                        3 * std::size_t(width));
        return result;
    }
    // 1 bit: shift each row left so that column x becomes bit 7 of byte 0.
    const int shift = x % 8;
    const std::size_t firstByte = x / 8;
    for (int j = 0; j < height; ++j) {
        const unsigned char* src = data_.get() + (y + j) * srcRow;
        unsigned char* dst = out + j * dstRow;
        for (std::size_t k = 0; k < dstRow; ++k) {
            const std::size_t s = firstByte + k;
            const unsigned hi = s < srcRow ? src[s] : 0xFF;
            const unsigned lo = s + 1 < srcRow ? src[s + 1] : 0xFF;
            dst[k] = shift == 0 ? static_cast<unsigned char>(hi)
                                : static_cast<unsigned char>((hi << shift) | (lo >> (8 - shift)));
        }
    }
    return result;
}

NQImage NQImage::nqSubByteImage(int x, int y, int width, int height) const {
    if (!data_) throwNullData("<NQImage::nqSubByteImage()>Image Data is NULL!", __LINE__);
    if (head_.nqGetBitsPerPixel() != 8)
        throw NQException(NQ_INVALID_INPUT,
                          "<NQImage::nqSubByteImage()>An 8-bit Grayscale image is expected", kModule,
                          __LINE__);
    // Callers other than nqSubImage get the same bounds check; reading outside
    // the block is never allowed.
    if (x < 0 || y < 0 || width < 0 || height < 0 ||
        static_cast<long long>(x) + width > head_.nqGetWidth() ||
        static_cast<long long>(y) + height > head_.nqGetHeight())
        throw NQException(NQ_INVALID_INPUT,
                          "Out Of Bounds!! Sub-image must have coordinates within the larger image",
                          kModule, __LINE__);
    NQImage result;
    result.nqLoadImage(width, height, 8, true);
    result.head_.nqSetXResolution(head_.nqGetXResolution());
    result.head_.nqSetYResolution(head_.nqGetYResolution());
    result.head_.nqSetResolutionUnits(head_.nqGetResolutionUnits());
    const std::size_t srcRow = head_.nqGetRowSize();
    for (int j = 0; j < height; ++j)
        std::memcpy(result.nqGetImageData() + std::size_t(j) * width,
                    data_.get() + (y + j) * srcRow + x, std::size_t(width));
    return result;
}

NQImage* NQImage::nqCopyImage() const { return new NQImage(*this); }

void NQImage::nqSetTag(const std::string& name, const std::string& value, bool overwrite) {
    head_.nqGetTags().setTagFor("NQImage", name, value, overwrite);
}

// ---- statistics -------------------------------------------------------------

double NQImageStats::varianceFromSums(std::int64_t count, std::int64_t sum,
                                      std::uint64_t sumOfSquares) {
    if (count < 2) return 0.0;
    // With sum = q count + r, the central sum of squares is
    // sum (v - q)^2 - r^2 / count; the first term is an exact integer, so the
    // only roundings are the last subtraction and division.
    const std::int64_t q = sum / count;
    const std::int64_t r = sum % count;
    const std::int64_t aroundQ =
        static_cast<std::int64_t>(sumOfSquares) - q * q * count - 2 * q * r;
    const double central =
        static_cast<double>(aroundQ) - static_cast<double>(r) * static_cast<double>(r) / count;
    return central > 0 ? central / static_cast<double>(count - 1) : 0.0;
}

namespace {

// Moments of one channel given its histogram of 256 values.
void channelMoments(const std::uint64_t (&histogram)[256], std::uint64_t count, double& mean,
                    double& median, double& stdDev, double& skewness, double& kurtosis) {
    std::uint64_t sum = 0, sumOfSquares = 0;
    for (int v = 0; v < 256; ++v) {
        sum += histogram[v] * v;
        sumOfSquares += histogram[v] * v * v;
    }
    mean = count > 0 ? static_cast<double>(sum) / count : 0.0;

    median = 0;
    if (count > 0) {
        // The middle value (or the average of the two middle values).
        const std::uint64_t lowRank = (count - 1) / 2;
        const std::uint64_t highRank = count / 2;
        int low = -1, high = -1;
        std::uint64_t seen = 0;
        for (int v = 0; v < 256 && high < 0; ++v) {
            seen += histogram[v];
            if (low < 0 && seen > lowRank) low = v;
            if (seen > highRank) high = v;
        }
        median = (low + high) / 2.0;
    }

    if (count < 2) {
        stdDev = 0;
        skewness = std::numeric_limits<double>::quiet_NaN();
        kurtosis = std::numeric_limits<double>::quiet_NaN();
        return;
    }
    double m3 = 0, m4 = 0;
    for (int v = 0; v < 256; ++v) {
        if (histogram[v] == 0) continue;
        const double d = v - mean;
        const double n = static_cast<double>(histogram[v]);
        m3 += n * d * d * d;
        m4 += n * d * d * d * d;
    }
    const double variance = NQImageStats::varianceFromSums(
        static_cast<std::int64_t>(count), static_cast<std::int64_t>(sum), sumOfSquares);
    stdDev = std::sqrt(variance);
    skewness = (m3 / count) / (variance * stdDev);
    kurtosis = (m4 / count) / (variance * variance);
}

}  // namespace

NQImageStats NQImage::nqGetStats() const {
    NQImageStats stats;
    if (!data_) return stats;
    const int width = head_.nqGetWidth();
    const int height = head_.nqGetHeight();
    const std::uint64_t count = width > 0 && height > 0 ? std::uint64_t(width) * height : 0;
    const int bits = head_.nqGetBitsPerPixel();
    const int channels = bits == 24 ? 3 : 1;
    std::uint64_t histogram[3][256] = {};
    const std::size_t rowSize = head_.nqGetRowSize();
    for (int y = 0; y < height; ++y) {
        const unsigned char* row = data_.get() + y * rowSize;
        for (int x = 0; x < width; ++x) {
            if (bits == 1)
                ++histogram[0][(row[x / 8] & (0x80 >> (x % 8))) ? 255 : 0];
            else if (bits == 8)
                ++histogram[0][row[x]];
            else if (bits == 24)
                for (int c = 0; c < 3; ++c) ++histogram[c][row[3 * x + c]];
        }
    }
    for (int c = 0; c < channels; ++c) {
        std::uint64_t sum = 0;
        for (int v = 0; v < 256; ++v) sum += histogram[c][v] * v;
        stats.sum[c] = static_cast<std::int64_t>(sum);
        channelMoments(histogram[c], count, stats.mean[c], stats.median[c], stats.stdDev[c],
                       stats.skewness[c], stats.kurtosis[c]);
    }
    if (bits == 1) {
        // Binary images report the black pixels as their sum and a median of 0.
        stats.sum[0] = static_cast<std::int64_t>(histogram[0][0]);
        stats.median[0] = 0;
    }
    return stats;
}
