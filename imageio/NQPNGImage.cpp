// The PNG codec on libpng 1.6.
//
// Every call into libpng that can fail runs in a small C-shaped function that
// arms libpng's jump buffer with setjmp and returns a status: the error
// handler logs libpng's message and long-jumps back there, and only the C++
// caller, once control is back in its own frame, throws NQException. No
// object with a destructor lives in a frame that a long jump crosses; the
// structures, the file and the pixel block are owned by RAII holders created
// before the jump buffer is armed, so every path releases them.
//
// The transformations are chosen from the header before libpng updates its
// row layout, interlace handling included (libpng 1.6 corrupts interlaced
// images when that is asked for after png_read_update_info). Rows are decoded
// straight into the block that the NQImage adopts, through row pointers into
// it, so a page is decoded once and never copied; saving likewise hands
// libpng row pointers into the image's own block. The block's size is checked
// with NQImage::dataSizeFor before anything is allocated, so a header cannot
// ask for more than the library's cap.
//
// Memory buffers are read through a memory file opened directly on the
// caller's buffer; a read past its end fails and becomes libpng's "Read
// Error", so a truncated buffer fails like a truncated file.
//
// A header's claim is trusted only as far as the file can back it
// (NQDecodeLimits): the filtered rows that the image data must inflate to
// (a filter byte and the untransformed row, per row) may be at most 1032
// times the bytes of the file, deflate's largest ratio, unless the decoded
// image is small anyway. Ancillary chunks that the load does not use are
// skipped unread, since libpng allocates what a chunk's length claims before
// it reads the chunk.
#include "imageio/NQPNGImage.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <csetjmp>
#include <cstdint>
#include <limits>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include <sys/stat.h>

#include "image/NQColor.h"
#include "image/NQException.h"
#include "image/NQLogger.h"
#include "image/NQPixelBlock.h"
#include "imageio/NQDecodeLimits.h"
#include "imageio/NQMemoryFile.h"

namespace {

constexpr const char* kModule = "NQPNGImage";
constexpr int kSignatureBytes = 8;
// pHYs stores pixels per metre.
constexpr float kInchesPerMetre = 39.37f;
// Largest ancillary chunk (decompressed included) and number of such chunks
// kept, for the chunks still read; none is needed for the pixels.
constexpr png_alloc_size_t kMaxChunkBytes = 8 << 20;
constexpr png_uint_32 kMaxAncillaryChunks = 1000;
// Ancillary chunks that play no part in a load (pHYs, tRNS and PLTE do):
// five bytes each, the name and a zero byte.
constexpr png_byte kUnusedChunks[] =
    "bKGD\0cHRM\0eXIf\0gAMA\0hIST\0iCCP\0iTXt\0oFFs\0pCAL\0sCAL\0sPLT\0sRGB\0sTER\0"
    "tEXt\0tIME\0zTXt";
constexpr int kUnusedChunkCount = 16;
// Deflate's largest ratio of inflated to deflated bytes.
constexpr std::uint64_t kMaxInflateRatio = 1032;
// The coded size of an input whose size is not known to the codec.
constexpr std::uint64_t kUnknownSize = std::numeric_limits<std::uint64_t>::max();

NQLogger* logger() {
    return NQLogger::nqGetInstance();
}

// "<NQPNGImage::owner> what", the shape of every message of the codec.
std::string text(const char* owner, const char* what) {
    return std::string("<NQPNGImage::") + owner + "> " + what;
}

[[noreturn]] void fail(NQExceptionCodes code, const std::string& message, int line) {
    throw NQException(code, message, kModule, line);
}

// ---- holders --------------------------------------------------------------

struct FileCloser {
    void operator()(std::FILE* file) const noexcept { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

class PngReadStructs {
public:
    PngReadStructs()
        : png_(png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, &NQPNGImage::nqPNGError,
                                      &NQPNGImage::nqPNGWarning)),
          info_(png_ != nullptr ? png_create_info_struct(png_) : nullptr) {
        // A chunk's length is a claim like any other: libpng's handlers of
        // ancillary chunks allocate (and clear) what the header says, up to
        // 2 GiB, before reading a byte, whatever the malloc cap. The chunks
        // that the load has no use for are skipped unread instead.
        if (png_ != nullptr) {
            png_set_chunk_malloc_max(png_, kMaxChunkBytes);
            png_set_chunk_cache_max(png_, kMaxAncillaryChunks);
            png_set_keep_unknown_chunks(png_, PNG_HANDLE_CHUNK_NEVER, kUnusedChunks,
                                        kUnusedChunkCount);
        }
    }
    ~PngReadStructs() {
        if (png_ != nullptr)
            png_destroy_read_struct(&png_, info_ != nullptr ? &info_ : nullptr, nullptr);
    }
    PngReadStructs(const PngReadStructs&) = delete;
    PngReadStructs& operator=(const PngReadStructs&) = delete;

    png_structp png() const { return png_; }
    png_infop info() const { return info_; }

private:
    png_structp png_;
    png_infop info_;
};

class PngWriteStructs {
public:
    PngWriteStructs()
        : png_(png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, &NQPNGImage::nqPNGError,
                                       &NQPNGImage::nqPNGWarning)),
          info_(png_ != nullptr ? png_create_info_struct(png_) : nullptr) {}
    ~PngWriteStructs() {
        if (png_ != nullptr)
            png_destroy_write_struct(&png_, info_ != nullptr ? &info_ : nullptr);
    }
    PngWriteStructs(const PngWriteStructs&) = delete;
    PngWriteStructs& operator=(const PngWriteStructs&) = delete;

    png_structp png() const { return png_; }
    png_infop info() const { return info_; }

private:
    png_structp png_;
    png_infop info_;
};

// A memory file reading the caller's buffer, closed with the object.
class MemoryReader {
public:
    MemoryReader(const void* buffer, int size)
        : fd_(buffer != nullptr && size > 0 ? mfs_open(const_cast<void*>(buffer), size, "r") : -1) {
    }
    ~MemoryReader() {
        if (fd_ >= 0)
            mfs_close(fd_);
    }
    MemoryReader(const MemoryReader&) = delete;
    MemoryReader& operator=(const MemoryReader&) = delete;

    int fd() const { return fd_; }

private:
    int fd_;
};

// ---- the C-shaped frames that libpng may jump back to -------------------------

// Geometry and row layout after the transformations.
struct PngLayout {
    png_uint_32 width;
    png_uint_32 height;
    int channels;
    int bitDepth;
    std::size_t rowBytes;
    png_uint_32 xPixelsPerMetre;
    png_uint_32 yPixelsPerMetre;
    std::size_t filteredRowBytes;  // before the transformations, filter byte included
};

enum class InfoStatus : int { kRead, kHasAlpha, kLibraryError };

// Reads the chunks up to the image data, chooses the transformations and
// fills `layout`. The signature has been consumed already.
InfoStatus readLayout(png_structp png, png_infop info, PngLayout* layout) {
    if (setjmp(png_jmpbuf(png)))
        return InfoStatus::kLibraryError;
    png_set_sig_bytes(png, kSignatureBytes);
    png_read_info(png, info);
    layout->filteredRowBytes = png_get_rowbytes(png, info) + 1;
    const int colorType = png_get_color_type(png, info);
    if ((colorType & PNG_COLOR_MASK_ALPHA) != 0)
        return InfoStatus::kHasAlpha;
    const int bitDepth = png_get_bit_depth(png, info);
    if (bitDepth == 16)
        png_set_strip_16(png);
    if (bitDepth == 2 || bitDepth == 4)
        png_set_expand_gray_1_2_4_to_8(png);
    if (colorType == PNG_COLOR_TYPE_PALETTE)
        png_set_palette_to_rgb(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    layout->width = png_get_image_width(png, info);
    layout->height = png_get_image_height(png, info);
    layout->channels = png_get_channels(png, info);
    layout->bitDepth = png_get_bit_depth(png, info);
    layout->rowBytes = png_get_rowbytes(png, info);
    layout->xPixelsPerMetre = png_get_x_pixels_per_meter(png, info);
    layout->yPixelsPerMetre = png_get_y_pixels_per_meter(png, info);
    return InfoStatus::kRead;
}

// Decodes every row (all passes of an interlaced image) through `rows`.
bool readRows(png_structp png, png_bytepp rows) {
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_read_image(png, rows);
    return true;
}

struct PngSaveLayout {
    png_uint_32 width;
    png_uint_32 height;
    int bitDepth;
    int colorType;
    png_uint_32 pixelsPerMetre[2];  // 0: no pHYs chunk
};

bool writeImage(png_structp png, png_infop info, const PngSaveLayout* layout, png_bytepp rows) {
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_set_IHDR(png, info, layout->width, layout->height, layout->bitDepth, layout->colorType,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (layout->pixelsPerMetre[0] != 0 && layout->pixelsPerMetre[1] != 0)
        png_set_pHYs(png, info, layout->pixelsPerMetre[0], layout->pixelsPerMetre[1],
                     PNG_RESOLUTION_METER);
    png_write_info(png, info);
    png_write_image(png, rows);
    png_write_end(png, nullptr);
    return true;
}

// ---- reading ------------------------------------------------------------------------

// Who names itself in the messages of one load.
struct LoadOwners {
    const char* open;          // "nqLoadImage()": open, signature and structure failures
    const char* libraryError;  // "nqLoadImage(...)": a libpng error before the pixel read
    const char* layout;        // "nqProcessImage()": alpha and unsupported depths
};
constexpr LoadOwners kImageLoad{"nqLoadImage()", "nqLoadImage(...)", "nqProcessImage()"};
constexpr LoadOwners kHeaderLoad{"nqLoadHeader()", "nqLoadHeader(...)", "nqLoadHeader()"};

// The header that a layout gives; depths other than 1, 8 and 24 are refused.
NQImageHead headerOf(const PngLayout& layout, const LoadOwners& owners) {
    const int bits = layout.channels * layout.bitDepth;
    if (bits != 1 && bits != 8 && bits != 24)
        fail(NQ_NOT_IMPLEMENTED, text(owners.layout, "Unsupported png type"), __LINE__);
    // libpng caps width and height far below this; the check keeps the casts sound.
    if (layout.width > INT_MAX / 3 || layout.height > INT_MAX || layout.rowBytes > INT_MAX)
        fail(NQ_MEMORY_ERROR,
             text(owners.layout, "Could not allocate enough memory for the uncompressed image"),
             __LINE__);
    NQImageHead head;
    head.nqSetWidth(static_cast<int>(layout.width));
    head.nqSetHeight(static_cast<int>(layout.height));
    head.nqSetBitsPerPixel(bits);
    head.nqSetChannels(layout.channels);
    head.nqSetColorModel(bits == 1 ? NQ_BINARY : bits == 8 ? NQ_GRAY : NQ_RGBCOLOR);
    head.nqSetRowSize(static_cast<int>(layout.rowBytes));
    head.nqSetXResolution(static_cast<float>(layout.xPixelsPerMetre) / kInchesPerMetre);
    head.nqSetYResolution(static_cast<float>(layout.yPixelsPerMetre) / kInchesPerMetre);
    return head;
}

// The header of the image; `filteredBytes`, when given, receives the bytes
// that the image data must inflate to.
NQImageHead readHeader(png_structp png, png_infop info, const LoadOwners& owners,
                       std::uint64_t* filteredBytes = nullptr) {
    PngLayout layout{};
    switch (readLayout(png, info, &layout)) {
        case InfoStatus::kHasAlpha:
            fail(NQ_NOT_IMPLEMENTED,
                 text(owners.layout,
                      "Unsupported PNG type: Alpha Component stripping will result in image "
                      "corruption"),
                 __LINE__);
        case InfoStatus::kLibraryError:
            fail(NQ_IO_ERROR, text(owners.libraryError, "Unable to create PNG struct."), __LINE__);
        case InfoStatus::kRead:
            break;
    }
    if (filteredBytes != nullptr)
        *filteredBytes = std::uint64_t(layout.filteredRowBytes) * layout.height;
    return headerOf(layout, owners);
}

bool hasSignature(const unsigned char* bytes) {
    return png_sig_cmp(bytes, 0, kSignatureBytes) == 0;
}

void checkStructs(const PngReadStructs& structs, const LoadOwners& owners) {
    if (structs.png() == nullptr || structs.info() == nullptr)
        fail(NQ_NULL_DATA, text(owners.open, "Unable to create PNG struct."), __LINE__);
}

// Bytes of an open file; 0 for one whose size cannot be told.
std::uint64_t sizeOf(std::FILE* file) {
    struct stat status {};
    return fstat(fileno(file), &status) == 0 && status.st_size > 0
               ? static_cast<std::uint64_t>(status.st_size)
               : 0;
}

// Checks the signature of an open file and runs `decode` on structures
// reading the rest of it; `decode` gets the file's size too.
template <typename Decode>
auto decodeFile(FileHandle file, const LoadOwners& owners, Decode decode) {
    unsigned char signature[kSignatureBytes];
    if (std::fread(signature, 1, kSignatureBytes, file.get()) != kSignatureBytes ||
        !hasSignature(signature))
        fail(NQ_INVALID_INPUT, text(owners.open, "PNG header did not match expected."), __LINE__);
    PngReadStructs structs;
    checkStructs(structs, owners);
    png_init_io(structs.png(), file.get());
    return decode(structs.png(), structs.info(), sizeOf(file.get()));
}

// The same over a memory file on the caller's buffer.
template <typename Decode>
auto decodeBuffer(const void* buffer, int size, const LoadOwners& owners, Decode decode) {
    MemoryReader reader(buffer, size);
    unsigned char signature[kSignatureBytes];
    if (mfs_read(reader.fd(), signature, kSignatureBytes) != kSignatureBytes ||
        !hasSignature(signature))
        fail(NQ_INVALID_INPUT, text(owners.open, "PNG header did not match expected."), __LINE__);
    PngReadStructs structs;
    checkStructs(structs, owners);
    png_set_read_fn(structs.png(), reinterpret_cast<png_voidp>(std::intptr_t(reader.fd())),
                    &NQPNGImage::user_read_data);
    return decode(structs.png(), structs.info(), std::uint64_t(size > 0 ? size : 0));
}

FileHandle openForReading(const char* fileName) {
    return FileHandle(fileName != nullptr ? std::fopen(fileName, "rb") : nullptr);
}

// The resolution in pixels per metre for a pHYs chunk, 0 when there is none
// (or none that fits the chunk).
png_uint_32 pixelsPerMetre(float dotsPerInch) {
    const double value = std::round(double(dotsPerInch) * double(kInchesPerMetre));
    return value >= 1 && value <= double(PNG_UINT_31_MAX) ? static_cast<png_uint_32>(value) : 0;
}

// The pixel read of an input of `codedBytes` bytes.
NQImage decodePixels(png_structp png, png_infop info, std::uint64_t codedBytes) {
    std::uint64_t filteredBytes = 0;
    NQImageHead head = readHeader(png, info, kImageLoad, &filteredBytes);
    head.nqSetDataAlignment(NQ_1BYTE_ALIGN);
    const std::size_t rowBytes = static_cast<std::size_t>(head.nqGetRowSize());
    const std::size_t bytes =
        NQImage::dataSizeFor(head.nqGetWidth(), head.nqGetHeight(), head.nqGetBitsPerPixel());
    const char* noMemory = "Could not allocate enough memory for the uncompressed image";
    if (bytes == 0 || bytes != rowBytes * std::size_t(head.nqGetHeight()))
        fail(NQ_MEMORY_ERROR, text("nqProcessImage()", noMemory), __LINE__);
    if (!NQDecodeLimits::isClaimBacked(std::max<std::uint64_t>(bytes, filteredBytes), filteredBytes,
                                       codedBytes, kMaxInflateRatio))
        fail(NQ_INVALID_CONTENT,
             text("nqProcessImage()", "The image claims more pixel data than the file holds"),
             __LINE__);
    std::unique_ptr<unsigned char[]> data = nqNewPixelBlock(bytes);
    if (!data)
        fail(NQ_MEMORY_ERROR, text("nqProcessImage()", noMemory), __LINE__);
    std::vector<png_bytep> rows(static_cast<std::size_t>(head.nqGetHeight()));
    for (std::size_t y = 0; y < rows.size(); ++y)
        rows[y] = data.get() + y * rowBytes;
    if (!readRows(png, rows.data()))
        fail(NQ_IO_ERROR, text("nqProcessImage()", "Error during image read."), __LINE__);
    return NQImage(std::move(data), head);
}

}  // namespace

// ---- codec object ---------------------------------------------------------------

NQPNGImage::NQPNGImage() : NQBaseImage("PNG", "png", 5) {}

NQPNGImage::~NQPNGImage() = default;

NQPNGImage* NQPNGImage::createImageReader() {
    static NQPNGImage instance;
    return &instance;
}

void NQPNGImage::nqPNGError(png_structp png, png_const_charp message) {
    if (message != nullptr) {
        try {
            logger()->nqLog(NQ_INFO, "libPNG Error %s\n", message);
        } catch (...) {
            // Nothing may leave towards libpng; the jump below reports the error.
        }
    }
    png_longjmp(png, 1);
}

void NQPNGImage::nqPNGWarning(png_structp, png_const_charp message) {
    if (message == nullptr)
        return;
    try {
        logger()->nqLog(NQ_INFO, "libPNG WarningL %s\n", message);
    } catch (...) {
        // A warning never fails a load.
    }
}

void NQPNGImage::user_read_data(png_structp png, png_bytep data, std::size_t length) {
    const int fd = static_cast<int>(reinterpret_cast<std::intptr_t>(png_get_io_ptr(png)));
    if (length > std::size_t(INT_MAX) ||
        mfs_read(fd, data, static_cast<int>(length)) != static_cast<int>(length))
        png_error(png, "Read Error");
}

// ---- recognition ------------------------------------------------------------------

bool NQPNGImage::nqSupportImageFile(const char* fileName) {
    FileHandle file = openForReading(fileName);
    if (!file) {
        // The one line a run shows for a page image it cannot open, as for every codec.
        logger()->nqLog(NQ_ERROR, "Can't open %s\n", fileName != nullptr ? fileName : "");
        fail(NQ_IO_ERROR, text("nqSupportImageFile()", "File could not be opened."), __LINE__);
    }
    unsigned char signature[kSignatureBytes];
    return std::fread(signature, 1, kSignatureBytes, file.get()) == kSignatureBytes &&
           hasSignature(signature);
}

bool NQPNGImage::nqSupportImageBuffer(const void* buffer, int size) {
    return buffer != nullptr && size >= kSignatureBytes &&
           hasSignature(static_cast<const unsigned char*>(buffer));
}

// ---- loading ------------------------------------------------------------------------

NQImage NQPNGImage::nqProcessImage(png_structp png, png_infop info) {
    return decodePixels(png, info, kUnknownSize);
}

NQImage NQPNGImage::nqLoadImage(std::FILE* file) {
    return decodeFile(FileHandle(file), kImageLoad, decodePixels);
}

NQImage NQPNGImage::nqLoadImage(const char* fileName) {
    FileHandle file = openForReading(fileName);
    if (!file)
        fail(NQ_IO_ERROR, text("nqLoadImage()", "File could not be opened."), __LINE__);
    return nqLoadImage(file.release());
}

NQImage NQPNGImage::nqLoadImage(const void* buffer, int size) {
    return decodeBuffer(buffer, size, kImageLoad, decodePixels);
}

void NQPNGImage::nqLoadImage(const char* fileName, NQImage& out) {
    out = nqLoadImage(fileName);
}

NQImageHead NQPNGImage::nqLoadHeader(const char* fileName) {
    FileHandle file = openForReading(fileName);
    if (!file)
        fail(NQ_IO_ERROR, text("nqLoadHeader()", "File could not be opened."), __LINE__);
    return decodeFile(std::move(file), kHeaderLoad,
                      [](png_structp png, png_infop info, std::uint64_t) {
                          return readHeader(png, info, kHeaderLoad);
                      });
}

NQImageHead NQPNGImage::nqLoadHeader(const void* buffer, int size) {
    return decodeBuffer(buffer, size, kHeaderLoad,
                        [](png_structp png, png_infop info, std::uint64_t) {
                            return readHeader(png, info, kHeaderLoad);
                        });
}

// ---- pages --------------------------------------------------------------------------

int NQPNGImage::nqGetTotalPages(const void*, int) {
    return 1;
}

int NQPNGImage::nqGetTotalPages(const char*) {
    return 1;
}

namespace {

[[noreturn]] void failPageBeyondEnd(NQExceptionCodes code, int pages, int page) {
    fail(code,
         "<NQPNGImage::nqLoadImageAtPage()> Image only contain " + std::to_string(pages) +
             " pages. User requesting page " + std::to_string(page) + ".",
         __LINE__);
}

void checkPageNumber(int page, const char* owner) {
    if (page < 1)
        fail(NQ_INVALID_PAGE, text(owner, "Page number can't be 0 (zero)."), __LINE__);
}

}  // namespace

NQImage NQPNGImage::nqLoadImageAtPage(const char* fileName, int page) {
    checkPageNumber(page, "nqLoadImageAtPage()");
    const int pages = nqGetTotalPages(fileName);
    if (page > pages)
        failPageBeyondEnd(NQ_INVALID_CONTENT, pages, page);
    return nqLoadImage(fileName);
}

NQImage NQPNGImage::nqLoadImageAtPage(const void* buffer, int size, int page) {
    checkPageNumber(page, "nqLoadImageAtPage()");
    const int pages = nqGetTotalPages(buffer, size);
    if (page > pages)
        failPageBeyondEnd(NQ_INVALID_CONTENT, pages, page);
    return nqLoadImage(buffer, size);
}

NQImageHead NQPNGImage::nqLoadHeaderAtPage(const char* fileName, int page) {
    checkPageNumber(page, "nqLoadHeaderAtPage()");
    const int pages = nqGetTotalPages(fileName);
    if (page > pages)
        failPageBeyondEnd(NQ_INVALID_PAGE, pages, page);
    return nqLoadHeader(fileName);
}

NQImageHead NQPNGImage::nqLoadHeaderAtPage(const void* buffer, int size, int page) {
    // The buffer form names the image load in its page-0 text.
    checkPageNumber(page, "nqLoadImageAtPage()");
    const int pages = nqGetTotalPages(buffer, size);
    if (page > pages)
        failPageBeyondEnd(NQ_INVALID_PAGE, pages, page);
    return nqLoadHeader(buffer, size);
}

// ---- saving -------------------------------------------------------------------------

void NQPNGImage::nqSaveImage(const char* fileName, const NQImage& image) {
    if (!image.nqHasImageData())
        fail(NQ_NULL_DATA, text("nqSaveImage()", "Image Data is NULL!"), __LINE__);
    const int bits = image.nqGetBitsPerPixel();
    const int width = image.nqGetWidth();
    const int height = image.nqGetHeight();
    const int rowSize = image.nqGetRowSize();
    // Rows are handed to libpng in place, so the block must hold them all.
    if ((bits != 1 && bits != 8 && bits != 24) || width <= 0 || height <= 0 ||
        rowSize < NQImageHead::rowSizeFor(width, bits) ||
        std::size_t(rowSize) * std::size_t(height) > image.nqGetImageDataSize())
        fail(NQ_NOT_IMPLEMENTED, text("nqSaveImage()", "Unsupported png type"), __LINE__);

    FileHandle file(fileName != nullptr ? std::fopen(fileName, "wb") : nullptr);
    if (!file)
        fail(NQ_IO_ERROR, text("nqSaveImage()", "File could not be opened."), __LINE__);
    PngWriteStructs structs;
    if (structs.png() == nullptr || structs.info() == nullptr)
        fail(NQ_NULL_DATA, text("nqSaveImage()", "Unable to create PNG struct."), __LINE__);
    png_init_io(structs.png(), file.get());

    PngSaveLayout layout{};
    layout.width = static_cast<png_uint_32>(width);
    layout.height = static_cast<png_uint_32>(height);
    layout.bitDepth = bits == 1 ? 1 : 8;
    layout.colorType = bits == 24 ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_GRAY;
    // The resolution travels in a pHYs chunk, so that a saved page loads
    // back with the resolution it had.
    layout.pixelsPerMetre[0] = pixelsPerMetre(image.nqGetXResolution());
    layout.pixelsPerMetre[1] = pixelsPerMetre(image.nqGetYResolution());
    // libpng copies every row before filtering it and never writes to it.
    unsigned char* pixels = const_cast<unsigned char*>(image.nqGetImageData());
    std::vector<png_bytep> rows(static_cast<std::size_t>(height));
    for (std::size_t y = 0; y < rows.size(); ++y)
        rows[y] = pixels + y * std::size_t(rowSize);
    if (!writeImage(structs.png(), structs.info(), &layout, rows.data()))
        fail(NQ_IO_ERROR, text("nqSaveImage()", "Error during image write."), __LINE__);
    if (std::fclose(file.release()) != 0)
        fail(NQ_IO_ERROR, text("nqSaveImage()", "Error during image write."), __LINE__);
}

void NQPNGImage::nqSaveImage(const char*, const NQImage&, int) {
    fail(NQ_UNSUPPORTED, text("nqSaveImage(compression_type)", "Not Yet Supported!"), __LINE__);
}

unsigned char* NQPNGImage::nqSaveImageToMem(int&, const NQImage&) {
    fail(NQ_UNSUPPORTED, text("nqSaveImageToMem()", "Saving to Memory Not Supported for PNG Yet"),
         __LINE__);
}
