// The GIF codec: loading through the library's own decoder and an
// uncompressed-style writer.
//
// Loading reads the whole file (or uses the caller's buffer as it is) and
// hands it to NQGIFUtilities::image_read_gif; the decoded canvas becomes the
// image's pixel block without a copy.
//
// The writer needs no LZW compressor: with a minimum code size of 8 every
// pixel index goes out as a literal 9-bit code. The decoder adds one table
// entry per code after the first, so a clear code before every 254th pixel
// keeps the next free code below 512 and the code width at 9. Colours get
// indices in order of first appearance, found through a small open-addressing
// table keyed by r XOR g XOR b; the state of one save lives in its own
// objects, so saves on different threads do not meet.
#include "imageio/NQGIFImage.h"

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>

#include "analysis/NQBitsPerPixelConverter.h"
#include "image/NQException.h"
#include "image/NQLogger.h"
#include "imageio/NQCodecSupport.h"

namespace {

constexpr const char* kModule = "NQGIFImage";
constexpr float kResolution = 200;
constexpr int kTableEntries = 256;
constexpr int kMaxSide = 65535;
// The writer's clear code goes out before pixel 0 and every 254th pixel.
constexpr std::size_t kPixelsPerClear = 254;

NQLogger* logger() {
    return NQLogger::nqGetInstance();
}

[[noreturn]] void fail(NQExceptionCodes code, const std::string& text, int line) {
    throw NQException(code, text, kModule, line);
}

bool hasGifSignature(const unsigned char* bytes) {
    char lower[6];
    for (int i = 0; i < 6; ++i)
        lower[i] = static_cast<char>(std::tolower(bytes[i]));
    return std::memcmp(lower, "gif87a", 6) == 0 || std::memcmp(lower, "gif89a", 6) == 0;
}

void appendLE16(NQGIFArray<unsigned char>& out, int value) {
    out.push_back(static_cast<unsigned char>(value & 0xff));
    out.push_back(static_cast<unsigned char>((value >> 8) & 0xff));
}

// The whole content of a file.
std::vector<unsigned char> readWholeFile(const char* fileName) {
    NQCodecSupport::FileHandle file(fileName != nullptr ? std::fopen(fileName, "rb") : nullptr);
    if (!file) {
        logger()->nqLog(NQ_ERROR, "<NQGIFImage::nqLoadImage()> Unable to open filename %s\n",
                        fileName != nullptr ? fileName : "");
        fail(NQ_FILE_OPEN_ERROR, "<NQGIFImage::nqLoadImageAtPage()> Could not open incoming image",
             __LINE__);
    }
    std::vector<unsigned char> bytes;
    try {
        long expected = -1;
        if (std::fseek(file.get(), 0, SEEK_END) == 0)
            expected = std::ftell(file.get());
        std::rewind(file.get());
        bytes.resize(expected > 0 ? static_cast<std::size_t>(expected) + 1 : 1 << 16);
        std::size_t used = 0;
        for (;;) {
            used += std::fread(bytes.data() + used, 1, bytes.size() - used, file.get());
            if (used < bytes.size())
                break;
            bytes.resize(bytes.size() * 2);
        }
        bytes.resize(used);
    } catch (const std::bad_alloc&) {
        fail(NQ_MEMORY_ERROR, "<NQGIFImage::nqLoadImage()> Unable to allocate Memory", __LINE__);
    }
    return bytes;
}

// Writes bytes as data sub-blocks of at most 255 bytes, every one but the
// last full.
class SubBlockWriter {
public:
    explicit SubBlockWriter(NQGIFArray<unsigned char>& out) : out_(out) {}

    void put(unsigned char byte) {
        if (fill_ == 0 || fill_ == 255) {
            lengthAt_ = out_.size();
            out_.push_back(0);
            fill_ = 0;
        }
        out_.push_back(byte);
        out_[lengthAt_] = static_cast<unsigned char>(++fill_);
    }

    // Codes packed least significant bit first.
    void code(unsigned value, int width) {
        bits_ |= std::uint64_t(value) << count_;
        count_ += width;
        while (count_ >= 8) {
            put(static_cast<unsigned char>(bits_ & 0xff));
            bits_ >>= 8;
            count_ -= 8;
        }
    }

    // The remaining bits as a last byte, then the terminator.
    void finish() {
        if (count_ > 0)
            put(static_cast<unsigned char>(bits_ & 0xff));
        out_.push_back(0);
    }

private:
    NQGIFArray<unsigned char>& out_;
    std::size_t lengthAt_ = 0;
    int fill_ = 0;
    std::uint64_t bits_ = 0;
    int count_ = 0;
};

}  // namespace

// ---- writer ---------------------------------------------------------------------

NQGIFImage::NQLocalGIFImage::NQLocalGIFImage() {
    initStaticData();
}

void NQGIFImage::NQLocalGIFImage::initStaticData() {
    minimumCodeSize_ = clearCode_ = endCode_ = localColorTableSize_ = 0;
    width_ = height_ = 0;
    colourTable_.assign(3 * kTableEntries, 0);
    indices_.clear();
    header_.clear();
}

void NQGIFImage::NQLocalGIFImage::set(const NQGlobalGIFImage* global) {
    const NQImage& image = global->image();
    width_ = image.nqGetWidth();
    height_ = image.nqGetHeight();
    const std::size_t pixels = std::size_t(width_) * std::size_t(height_);
    indices_.resize(pixels);

    constexpr int kSlots = 264;
    std::int32_t colourAt[kSlots];
    unsigned char indexAt[kSlots];
    for (std::int32_t& slot : colourAt)
        slot = -8;
    int colours = 0;
    const unsigned char* p = image.nqGetImageData();
    std::int32_t lastColour = -1;
    unsigned char lastIndex = 0;
    for (std::size_t i = 0; i < pixels; ++i, p += 3) {
        const std::int32_t colour = p[0] << 16 | p[1] << 8 | p[2];
        if (colour != lastColour) {
            int slot = p[0] ^ p[1] ^ p[2];
            while (colourAt[slot] != -8 && colourAt[slot] != colour)
                slot = (slot + 1) % kSlots;
            if (colourAt[slot] != colour) {
                if (colours == kTableEntries)
                    fail(NQ_INVALID_INPUT,
                         "<NQGIFImage::NQLocalGIFImage::makeLocalImage()> Error: Image has too "
                         "many colors: NQGIFImage::nqSaveImage!",
                         __LINE__);
                colourAt[slot] = colour;
                indexAt[slot] = static_cast<unsigned char>(colours);
                std::memcpy(&colourTable_[3 * std::size_t(colours)], p, 3);
                ++colours;
            }
            lastColour = colour;
            lastIndex = indexAt[slot];
        }
        indices_[i] = lastIndex;
    }
    minimumCodeSize_ = 8;
    clearCode_ = 256;
    endCode_ = 257;
    localColorTableSize_ = 8;
    buildHeader();
}

void NQGIFImage::NQLocalGIFImage::buildHeader() {
    header_.clear();
    header_.push_back(',');
    appendLE16(header_, 0);
    appendLE16(header_, 0);
    appendLE16(header_, width_);
    appendLE16(header_, height_);
    // Local table present, not interlaced, 2^(7 + 1) entries.
    header_.push_back(static_cast<unsigned char>(0x80 | ((localColorTableSize_ - 1) & 7)));
    header_.insert(header_.end(), colourTable_.begin(), colourTable_.end());
}

void NQGIFImage::NQLocalGIFImage::getImageData(NQGIFArray<unsigned char>& out) const {
    const int codeWidth = minimumCodeSize_ + 1;
    out.push_back(static_cast<unsigned char>(minimumCodeSize_));
    SubBlockWriter writer(out);
    for (std::size_t i = 0; i < indices_.size(); ++i) {
        if (i % kPixelsPerClear == 0)
            writer.code(static_cast<unsigned>(clearCode_), codeWidth);
        writer.code(indices_[i], codeWidth);
    }
    writer.code(static_cast<unsigned>(endCode_), codeWidth);
    writer.finish();
}

NQGIFImage::NQGlobalGIFImage::NQGlobalGIFImage(const NQImage* image) : image_(image) {
    if (image == nullptr || image->nqGetBitsPerPixel() != 24 || !image->nqHasImageData())
        fail(NQ_INVALID_INPUT,
             "<NQGIFImage::NQGlobalGIFImage::NQGlobalGIFImage()> Image format not recognized in "
             "NQGIFImage::nqSaveImage!",
             __LINE__);
    // The file holds 16-bit sizes; a larger image cannot be written.
    if (image->nqGetWidth() > kMaxSide || image->nqGetHeight() > kMaxSide)
        fail(NQ_INVALID_INPUT,
             "<NQGIFImage::NQGlobalGIFImage::NQGlobalGIFImage()> Image too large for GIF: width "
             "and height must not exceed 65535",
             __LINE__);
    local_.initStaticData();
    local_.set(this);
    buildScreenDescriptor();
}

void NQGIFImage::NQGlobalGIFImage::buildScreenDescriptor() {
    constexpr int kMinimumCodeSize = 8;
    constexpr int kTableBits = 8;
    screenDescriptor_.clear();
    appendLE16(screenDescriptor_, image_->nqGetWidth());
    appendLE16(screenDescriptor_, image_->nqGetHeight());
    screenDescriptor_.push_back(static_cast<unsigned char>(
        0x80 | ((kMinimumCodeSize - 1) & 7) << 4 | ((kTableBits - 1) & 7)));
    screenDescriptor_.push_back(0);
    screenDescriptor_.push_back(0);
}

NQGIFArray<unsigned char> NQGIFImage::NQGlobalGIFImage::getGIFImageData() const {
    const std::size_t pixels = std::size_t(image_->nqGetWidth()) * image_->nqGetHeight();
    NQGIFArray<unsigned char> out;
    // 9 bits a pixel plus clear codes and sub-block lengths.
    out.reserve(pixels * 9 / 8 + pixels / 1000 + 2048);
    static const char kSignature[] = "GIF87a";
    out.insert(out.end(), kSignature, kSignature + 6);
    out.insert(out.end(), screenDescriptor_.begin(), screenDescriptor_.end());
    out.insert(out.end(), local_.colourTable().begin(), local_.colourTable().end());
    out.insert(out.end(), local_.header().begin(), local_.header().end());
    local_.getImageData(out);
    out.push_back(';');
    return out;
}

// ---- codec object -------------------------------------------------------------------

NQGIFImage::NQGIFImage() : NQBaseImage("GIF", "gif", 5) {}

NQGIFImage::~NQGIFImage() = default;

NQGIFImage* NQGIFImage::createImageReader() {
    static NQGIFImage instance;
    return &instance;
}

bool NQGIFImage::nqSupportImageFile(const char* fileName) {
    NQCodecSupport::FileHandle file(fileName != nullptr ? std::fopen(fileName, "rb") : nullptr);
    if (!file) {
        logger()->nqLog(NQ_ERROR, "<NQGIFImage::nqSupportImageFile()>Unable to open filename %s\n",
                        fileName != nullptr ? fileName : "");
        fail(NQ_FILE_OPEN_ERROR, "Could not open incoming image", __LINE__);
    }
    unsigned char signature[6];
    return std::fread(signature, 1, 6, file.get()) == 6 && hasGifSignature(signature);
}

bool NQGIFImage::nqSupportImageBuffer(const void* buffer, int size) {
    return buffer != nullptr && size >= 8 &&
           hasGifSignature(static_cast<const unsigned char*>(buffer));
}

// ---- loading ------------------------------------------------------------------------

void NQGIFImage::nqConvertStructToNQImage(NQGifImageFormat* record, NQImage& out) {
    const NQImageHead head = NQCodecSupport::decodedHead(record->width, record->height, 24,
                                                         static_cast<float>(record->xResolution),
                                                         static_cast<float>(record->yResolution));
    out = NQImage(std::move(record->data), head);
}

NQImage NQGIFImage::decode(const unsigned char* bytes, std::size_t size) {
    NQGifImageFormat record;
    bool decoded = false;
    try {
        decoded = NQGIFUtilities::image_read_gif(bytes, size, record);
    } catch (const std::bad_alloc&) {
        fail(NQ_MEMORY_ERROR, "<NQGIFImage::nqLoadImage()> Unable to allocate Memory", __LINE__);
    }
    if (!decoded)
        fail(NQ_INVALID_CONTENT, "<NQGIFImage::nqLoadImage()> Error in image_read_gif.", __LINE__);
    NQImage image;
    nqConvertStructToNQImage(&record, image);
    return image;
}

void NQGIFImage::nqLoadImage(const char* fileName, NQImage& out) {
    const std::vector<unsigned char> bytes = readWholeFile(fileName);
    out = decode(bytes.data(), bytes.size());
}

NQImage NQGIFImage::nqLoadImage(const char* fileName) {
    NQImage image;
    nqLoadImage(fileName, image);
    return image;
}

// The decoder only reads, so the caller's buffer is used as it is.
NQImage NQGIFImage::nqLoadImage(const void* buffer, int size) {
    return decode(static_cast<const unsigned char*>(buffer),
                  size > 0 ? static_cast<std::size_t>(size) : 0);
}

NQImageHead NQGIFImage::nqLoadHeader(NQIOStream& in) {
    char magic[3];
    if (in.nqRead(magic, 3) <= 0 || std::memcmp(magic, "GIF", 3) != 0)
        fail(NQ_INVALID_CONTENT, "<NQGIFImage::nqLoadHeader()> Missing GIF magic number.",
             __LINE__);
    char version[3];
    if (in.nqRead(version, 3) <= 0 ||
        (std::memcmp(version, "87a", 3) != 0 && std::memcmp(version, "89a", 3) != 0))
        fail(NQ_INVALID_CONTENT, "<NQGIFImage::nqLoadHeader()> Invalid GIF version number.",
             __LINE__);
    unsigned char size[4];
    if (in.nqRead(size, 4) <= 0)
        fail(NQ_INVALID_CONTENT, "<NQGIFImage::nqLoadHeader()> Missing GIF screen size.", __LINE__);
    // The sizes are unsigned 16-bit values, as the decoder reads them.
    return NQCodecSupport::decodedHead(size[0] | size[1] << 8, size[2] | size[3] << 8, 24,
                                       kResolution, kResolution);
}

NQImageHead NQGIFImage::nqLoadHeader(const char* fileName) {
    NQFileBasedIO in(fileName, "rb");
    return nqLoadHeader(in);
}

NQImageHead NQGIFImage::nqLoadHeader(const void* buffer, int size) {
    NQMemoryBasedIO in(const_cast<void*>(buffer), size, "rb");
    return nqLoadHeader(in);
}

// ---- pages ----------------------------------------------------------------------------

int NQGIFImage::nqGetTotalPages(const void*, int) {
    return 1;
}

int NQGIFImage::nqGetTotalPages(const char*) {
    return 1;
}

NQImage NQGIFImage::nqLoadImageAtPage(const char* fileName, int page) {
    NQCodecSupport::checkSinglePage(
        page, "<NQGIFImage::nqLoadImageAtPage()> Page number can't be 0 (zero).",
        NQ_INVALID_CONTENT,
        "<NQGIFImage::nqLoadImageAtPage()> Image only contain %d pages. User requesting page %d.",
        kModule, __LINE__);
    return nqLoadImage(fileName);
}

NQImage NQGIFImage::nqLoadImageAtPage(const void* buffer, int size, int page) {
    NQCodecSupport::checkSinglePage(
        page, "<NQGIFImage::nqLoadImageAtPage()> Page number can't be 0 (zero).",
        NQ_INVALID_CONTENT,
        "<NQGIFImage::nqLoadImageAtPage()> Image only contain %d pages. User requesting page %d.",
        kModule, __LINE__);
    return nqLoadImage(buffer, size);
}

NQImageHead NQGIFImage::nqLoadHeaderAtPage(const char* fileName, int page) {
    NQCodecSupport::checkSinglePage(
        page, "<NQGIFImage::nqLoadHeaderAtPage()> Page number can't be 0 (zero).", NQ_INVALID_PAGE,
        "<NQGIFImage::nqLoadImageAtPage()> Image only contains %d pages. User requesting page %d.",
        kModule, __LINE__);
    return nqLoadHeader(fileName);
}

NQImageHead NQGIFImage::nqLoadHeaderAtPage(const void* buffer, int size, int page) {
    NQCodecSupport::checkSinglePage(
        page, "<NQGIFImage::nqLoadHeaderAtPage()> Page number can't be 0 (zero).", NQ_INVALID_PAGE,
        "<NQGIFImage::nqLoadHeaderAtPage()> Image only contains %d pages. User requesting page "
        "%d.",
        kModule, __LINE__);
    return nqLoadHeader(buffer, size);
}

// ---- saving -----------------------------------------------------------------------------

void NQGIFImage::nqSaveImage(const char* fileName, const NQImage& image) {
    if (!image.nqHasImageData())
        fail(NQ_NULL_DATA, "<NQGIFImage::nqSaveImage()> Image Data is NULL!", __LINE__);
    bool reduced = false;
    const NQImage colours = NQBitsPerPixelConverter::nqDownscale256Color_global(image, reduced);
    const NQGlobalGIFImage file(&colours);
    const NQGIFArray<unsigned char> bytes = file.getGIFImageData();
    NQCodecSupport::FileHandle out(fileName != nullptr ? std::fopen(fileName, "wb") : nullptr);
    if (!out)
        fail(NQ_UNKNOWN_FORMAT, "<NQGIFImage::nqSaveImage()> Could not open file for writing.",
             __LINE__);
    if (std::fwrite(bytes.data(), 1, bytes.size(), out.get()) != bytes.size() ||
        std::fclose(out.release()) != 0)
        fail(NQ_IO_ERROR, "<NQGIFImage::nqSaveImage()> Image write failed", __LINE__);
}

unsigned char* NQGIFImage::nqSaveImageToMem(int&, const NQImage&) {
    fail(NQ_UNSUPPORTED,
         "<NQGIFImage::nqSaveImageToMem()> Saving to Memory Not Supported for GIF Yet", __LINE__);
}
