#ifndef NQ_IMAGE_NQIMAGE_H
#define NQ_IMAGE_NQIMAGE_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "image/NQColor.h"
#include "image/NQImageHead.h"

class NQBaseImage;
class NQZone;

// Per-channel statistics; only the first `channels` entries are meaningful.
struct NQImageStats {
    std::int64_t sum[3] = {0, 0, 0};
    double mean[3] = {0, 0, 0};
    double median[3] = {0, 0, 0};
    double stdDev[3] = {0, 0, 0};
    double skewness[3] = {0, 0, 0};
    double kurtosis[3] = {0, 0, 0};
};

// The in-memory raster: a header plus one block of height x row size bytes.
// 1 bit per pixel: MSB first, a set bit is white (255), a clear bit black (0).
// 8 bits: one grey byte per pixel. 24 bits: red, green, blue per pixel.
// Rows are unpadded. Newly allocated data is white (every byte 255).
// Copies are deep.
class NQImage {
public:
    enum NQColorChannels : int { NQ_RED = 0, NQ_GREEN = 1, NQ_BLUE = 2 };

    // Largest pixel block the library allocates; sizes read from files are
    // checked against it before anything is allocated.
    static constexpr std::size_t kMaxDataBytes = std::size_t(1) << 30;
    // Bytes of pixel data for the given geometry, or 0 when a dimension is not
    // positive, the depth is not 1, 8 or 24, or the block would exceed kMaxDataBytes.
    static std::size_t dataSizeFor(int width, int height, int bitsPerPixel);

    NQImage();
    NQImage(int width, int height, NQImageHead::NQBitDepths depth);
    // Deprecated: takes the depth as a plain int and logs a notice.
    NQImage(int width, int height, int depth);
    // Adopts `data`, which must come from new[] and hold height x row size bytes.
    NQImage(unsigned char* data, const NQImageHead& head);
    NQImage(std::unique_ptr<unsigned char[]> data, const NQImageHead& head);
    // Load through the image factory; defined with the loading members in imageio.
    NQImage(const char* fileName, NQBaseImage* codec = nullptr);
    NQImage(const void* buffer, int size, NQBaseImage* codec = nullptr);
    NQImage(const NQImage& other);
    NQImage(NQImage&& other) noexcept;
    NQImage& operator=(const NQImage& other);
    NQImage& operator=(NQImage&& other);
    virtual ~NQImage();

    // ---- header set-up -------------------------------------------------
    void nqLoadImage(int width, int height, int bits, bool allocate);
    void nqLoadImage(int width, int height, NQImageHead::NQBitDepths bits, bool allocate);
    void nqSetImageHead(int width, int height, int bits, float xRes, float yRes,
                        NQImageHead::NQResolutionUnits units);
    void nqSetImageHead(int width, int height, int bits, float xRes, float yRes,
                        bool unitsInInches);
    void nqAllocImageData();
    // Adopts a new[] block (the old one is released). The block must hold
    // height x row size bytes.
    void nqSetImageData(unsigned char* data);
    unsigned char* nqGetImageData() { return data_.get(); }
    const unsigned char* nqGetImageData() const { return data_.get(); }
    bool nqHasImageData() const { return data_ != nullptr; }
    std::size_t nqGetImageDataSize() const { return data_ ? dataSize_ : 0; }
    // A new[] copy of the pixel bytes that the caller releases with delete[].
    unsigned char* nqGetSafeImageData() const;
    NQImageHead nqGetImageHead() const { return head_; }
    const NQImageHead& nqImageHead() const { return head_; }
    bool isImageCorrupted() const { return corrupted_; }
    void setIsImageCorrupted(bool corrupted) { corrupted_ = corrupted; }

    int nqGetWidth() const { return head_.nqGetWidth(); }
    int nqGetHeight() const { return head_.nqGetHeight(); }
    int nqGetBitsPerPixel() const { return head_.nqGetBitsPerPixel(); }
    int nqGetChannels() const { return head_.nqGetChannels(); }
    int nqGetColorModel() const { return head_.nqGetColorModel(); }
    int nqGetRowSize() const { return head_.nqGetRowSize(); }
    int nqGetDataAlignment() const { return head_.nqGetDataAlignment(); }
    float nqGetXResolution() const { return head_.nqGetXResolution(); }
    float nqGetYResolution() const { return head_.nqGetYResolution(); }
    int nqGetResolutionUnits() const { return head_.nqGetResolutionUnits(); }
    void nqSetColorModel(int model) { head_.nqSetColorModel(model); }
    void nqSetResolution(float xRes, float yRes) {
        head_.nqSetXResolution(xRes);
        head_.nqSetYResolution(yRes);
    }
    void nqSetResolutionUnits(int units) { head_.nqSetResolutionUnits(units); }
    void nqSetResolutionInInches(bool inInches) { head_.nqSetResolutionInInches(inInches); }

    // ---- pixel access (x = column, y = row) ------------------------------
    bool nqIsInside(int x, int y) const {
        return x >= 0 && y >= 0 && x < head_.nqGetWidth() && y < head_.nqGetHeight();
    }
    unsigned char nqGetPixelValue(int x, int y) const;
    // Writes at x == width or y == height are ignored without an error.
    void nqSetPixel(int x, int y, unsigned char value);
    void nqGetPixel(int x, int y, unsigned char& r, unsigned char& g, unsigned char& b) const;
    void nqSetPixel(int x, int y, unsigned char r, unsigned char g, unsigned char b);
    NQColor nqGetPixel(int x, int y) const;
    void nqSetPixel(int x, int y, const NQColor& color);
    void nqSetAllPixels(unsigned char value);
    void nqSetAllPixels(const NQColor& color);
    bool nqIsGrayScaleBW() const;

    // ---- channels and sub-images ----------------------------------------
    NQImage nqGetChannelImage(NQColorChannels channel) const;
    NQImage nqGetChannelImage(int channel) const;  // deprecated form
    static NQImage nqMergeChannelImage(NQImage* red, NQImage* green, NQImage* blue);
    NQImage nqSubImage(int x, int y, int width, int height) const;
    NQImage nqSubByteImage(int x, int y, int width, int height) const;
    // Cut by a zone's x, y, width and height (defined with the document model).
    NQImage nqSubImage(const NQZone& zone) const;
    NQImage* nqCopyImage() const;

    // ---- tags --------------------------------------------------------------
    void nqSetTag(const std::string& name, const std::string& value, bool overwrite = true);
    std::string nqGetTag(const std::string& name) const { return head_.nqGetTags().nqGetTag(name); }
    bool nqIsTagSet(const std::string& name) const { return head_.nqGetTags().nqIsTagSet(name); }
    void nqDeleteTag(const std::string& name) { head_.nqGetTags().nqDeleteTag(name); }

    NQImageStats nqGetStats() const;

    // ---- loading and saving through the image factory (defined in imageio) --
    void nqLoadImage(const char* fileName, NQBaseImage* codec = nullptr);
    void nqLoadImage(const void* buffer, int size, NQBaseImage* codec = nullptr);
    static NQImage nqLoadImageAtPage(const char* fileName, int page);
    static NQImage nqLoadImageAtPage(const void* buffer, int size, int page);
    static NQImageHead nqLoadHeader(const char* fileName, NQBaseImage* codec = nullptr);
    static NQImageHead nqLoadHeader(const void* buffer, int size, NQBaseImage* codec = nullptr);
    static NQImageHead nqLoadHeaderAtPage(const char* fileName, int page);
    static NQImageHead nqLoadHeaderAtPage(const void* buffer, int size, int page);
    static int nqGetTotalPages(const char* fileName);
    static int nqGetTotalPages(const void* buffer, int size);
    void nqSaveImage(const char* fileName, NQBaseImage* codec = nullptr) const;
    // A malloc'ed buffer that the caller releases with free.
    unsigned char* nqSaveImageToMem(int& size, NQBaseImage* codec) const;

private:
    void releaseData();
    void adoptData(std::unique_ptr<unsigned char[]> data, std::size_t size);
    // Channels, colour model and row size derived from the bits per pixel.
    void deriveLayoutFromDepth();
    // Header steps of an assignment from an image with data.
    void assignHeaderFrom(const NQImage& source);
    // Index of the byte that holds pixel (x, y); the caller has checked bounds.
    std::size_t byteIndex(int x, int y) const;
    // Index of the first byte of a three-byte pixel, after the checks of the
    // colour accessors.
    std::size_t checkedColorIndex(int x, int y) const;

    NQImageHead head_;
    std::unique_ptr<unsigned char[]> data_;
    std::size_t dataSize_ = 0;
    bool corrupted_ = false;
};

#endif
