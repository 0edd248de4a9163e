#ifndef NQ_IMAGE_NQIMAGE_H
#define NQ_IMAGE_NQIMAGE_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "docmodel/NQPoint.h"
#include "image/NQColor.h"
#include "image/NQImageHead.h"

class NQAngle;
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

    // Sample variance (divided by count - 1) of `count` values of 0 to 255
    // given their sum and their sum of squares; 0 for fewer than two values.
    // The image statistics and the window statistics of the local
    // binarisation both use it, so the same sums give the same bits.
    static double varianceFromSums(std::int64_t count, std::int64_t sum,
                                   std::uint64_t sumOfSquares);
};

// The in-memory raster: a header plus one block of height x row size bytes.
// 1 bit per pixel: MSB first, a set bit is white (255), a clear bit black (0).
// 8 bits: one grey byte per pixel. 24 bits: red, green, blue per pixel.
// Rows are unpadded. Newly allocated data is white (every byte 255).
// Copies are deep.
class NQImage {
public:
    enum NQColorChannels : int { NQ_RED = 0, NQ_GREEN = 1, NQ_BLUE = 2 };
    // NQ_HORIZONTAL mirrors the columns, NQ_VERTICAL the rows.
    enum NQDirection : int { NQ_HORIZONTAL = 1, NQ_VERTICAL = 2 };
    enum NQBitOperation : int { NQ_BIT_AND = 1, NQ_BIT_OR = 2, NQ_BIT_XOR = 3 };

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
    // An image with this one's head and no pixel data.
    NQImage nqCopyHead() const;
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

    // ---- transforms: each returns a new image and leaves this one unchanged,
    // except the nqPasteIn... and nqBinaryBitOperationInImage members, which
    // write into this image. Geometric results keep the source's colour model
    // and resolution.
    // Complement of every data byte (1 and 8 bits; nqReverseImage also 24).
    NQImage nqReverseByteImage() const;
    NQImage nqReverseImage() const;
    NQImage nqFlipByteImage(NQDirection direction) const;
    NQImage nqFlipImage(NQDirection direction) const;
    // Bilinear for 8 and 24 bits, nearest pixel centre for 1 bit.
    NQImage nqResizeImage(int width, int height) const;
    NQImage nqResizeImage(double factor) const;
    NQImage nqResizeByteImage(int width, int height) const;
    NQImage nqResizeBitImage(int width, int height) const;
    // Counter-clockwise on screen by `degrees`; 90, 180 and 270 are exact
    // pixel permutations. Uncovered pixels take the background, or stay white
    // when its colour model is unknown.
    NQImage nqRotateImage(double degrees, const NQColor& background) const;
    NQImage nqRotateByteImage(double degrees, const NQColor& background) const;
    NQImage nqRotateBitImage(double degrees, const NQColor& background) const;
    // `point` rotated counter-clockwise on screen about `origin`, rounded.
    static NQPoint nqRotatePoint(const NQPoint& point, const NQPoint& origin, double radians);
    // Shifts rows (NQ_HORIZONTAL) or columns (NQ_VERTICAL) by up to `amount`
    // pixels; the result is |amount| pixels wider or higher.
    NQImage nqShearImage(int amount, NQDirection direction, const NQColor& background) const;
    // Amount height x tan(angle) or width x tan(angle); defined in analysis.
    NQImage nqShearImage(const NQAngle& angle, NQDirection direction,
                         const NQColor& background) const;
    NQImage nqShearBitImage(int amount, NQDirection direction, const NQColor& background) const;
    // Pasting with the top-left corner of `source` at (x, y). The two
    // converting forms are defined in analysis (bit-depth conversion).
    void nqPasteInImage(const NQImage& source, int x, int y);
    NQImage nqPasteImage(const NQImage& source, int x, int y) const;
    // Same-depth copies of the source's rows.
    void nqPasteInByteImage(const NQImage& source, int x, int y);
    NQImage nqPasteByteImage(const NQImage& source, int x, int y) const;
    // Byte sum and difference (this minus source) modulo 256 where the source
    // overlaps; 8 and 24 bits.
    NQImage nqAddImage(const NQImage& source, int x, int y) const;
    NQImage nqSubtractImage(const NQImage& source, int x, int y) const;
    NQImage nqXorImage(const NQImage& source, int x, int y) const;
    void nqBinaryBitOperationInImage(const NQImage& source, int x, int y, NQBitOperation operation);

    // ---- colour spaces (24 bits; the result keeps this image's header) -----
    NQImage nqConvertRGBToBGR() const;
    NQImage nqConvertBGRToRGB() const;
    NQImage nqConvertRGBToYCrCb() const;
    NQImage nqConvertYCrCbToRGB() const;
    NQImage nqConvertToYcrCb() const;     // deprecated form
    NQImage nqConvertYcrCbToRGB() const;  // deprecated form
    // Hue in whole degrees (low 8 bits), saturation 0 or 1, value.
    NQImage nqConvertRGBToHSV() const;
    NQImage nqConvertHSVToRGB() const;
    // Hue in degrees (-1 when undefined: black and grey), saturation 0 to 1,
    // value in the unit of the input.
    static void RGBtoHSV(float r, float g, float b, float* h, float* s, float* v);
    static void HSVtoRGB(float* r, float* g, float* b, float h, float s, float v);

    // ---- measures -------------------------------------------------------------
    // Weighted centroid: dark pixels weigh most in binary and grey images,
    // bright pixels in colour images.
    NQPoint nqCentroid() const;
    NQPoint nqCentroidGray() const;
    NQPoint nqCentroidBinary() const;
    NQPoint nqCentroidColor() const;
    // With corners: the farthest image corner from the centroid. Without: the
    // farthest pixel that carries weight in the centroid (0 for a blank image).
    double nqRmax(bool corners) const;
    double nqRmaxBinary() const;
    double nqRmaxGray() const;
    // The largest of the three channels' grey results.
    double nqRmaxColor() const;

    // The sub-image of the region (x, y, w, h) cut to the bounding box of the
    // connected component of black pixels that is widest, highest, densest or
    // heaviest (the first in labelling order on ties). Grey and colour images
    // are thresholded at `threshold` first (white from it upwards). A region
    // without black pixels comes back whole. Defined in analysis.
    NQImage nqSubImageMaxWidthCC(int x, int y, int w, int h, float threshold) const;
    NQImage nqSubImageMaxHeightCC(int x, int y, int w, int h, float threshold) const;
    NQImage nqSubImageMaxDensityCC(int x, int y, int w, int h, float threshold) const;
    NQImage nqSubImageMaxMassCC(int x, int y, int w, int h, float threshold) const;

    // Deprecated: forward to NQNormalize (defined in analysis).
    NQImage nqNormalizeGlobalImage() const;
    NQImage nqNormalizeColorImage() const;
    NQImage nqNormalizeGrayscaleImage() const;

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
