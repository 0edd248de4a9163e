// The TIFF codec on libtiff 4.
//
// Pixel data are decoded straight into the block that the NQImage adopts, so a
// page is decoded once and never copied. Every size taken from a file is
// checked before anything is allocated: the image geometry through
// NQImage::dataSizeFor (which caps a block at NQImage::kMaxDataBytes), and the
// strips are read with a limit equal to the room left in the block, so a
// file whose strips decode to more bytes than its declared size cannot write
// past the block, and one whose strips decode to fewer leaves zero bytes.
// libtiff's own allocations are capped through its open options.
//
// Beyond that cap, a page's claim is trusted only as far as its strips can
// back it (NQDecodeLimits): the coded bytes of the page's strips or tiles,
// as far as the file holds them, times the largest ratio that the page's
// compression reaches must cover the bytes that decoding has to produce,
// unless the page's buffers are small anyway. The ratios are the formats'
// own bounds: 64 for PackBits (a two-byte run of 128), about 1365 for LZW
// (strings growing by one byte per 12-bit code between table resets), 1032
// for deflate, and for JPEG one bit per 8 x 8 block in the sparsest
// sampling (nine blocks per 32 x 32 colour pixels, about 2731). CCITT codes
// a blank row in one bit, so its bound grows with the row; rows wider than
// 32768 pixels are held to the ratio of a 32768-pixel row.
//
// Palette indices are read as the first sample of each pixel at their own
// width (1 to 16 bits), so an index never exceeds the colour map, which holds
// 2^bits entries, and extra samples such as alpha are skipped.
//
// Memory buffers are read through the memory files directly, without a
// private copy: a memory file opened for reading never writes to, grows or
// releases the caller's buffer. The close procedure handed to libtiff leaves
// the memory file open; the codec closes it itself, after TIFFClose, so that
// a saved buffer is taken over only when libtiff has written everything.
//
// libtiff's errors and warnings go to handlers given with each handle's open
// options, never to the process-wide ones, so handles on several threads do
// not share a setting. Each message is logged as one line naming libtiff's
// module at NQ_INFO, with libtiff's own text at NQ_DEBUG.
#include "imageio/NQTIFFImage.h"

#include <tiffio.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "image/NQException.h"
#include "image/NQLogger.h"
#include "image/NQPixelBlock.h"
#include "imageio/NQDecodeLimits.h"
#include "imageio/NQIOStream.h"
#include "imageio/NQMemoryFile.h"

namespace {

constexpr const char* kModule = "NQTIFFImage";

NQLogger* logger() {
    return NQLogger::nqGetInstance();
}

[[noreturn]] void fail(NQExceptionCodes code, const char* text, int line) {
    throw NQException(code, text, kModule, line);
}

// Image tags exchanged with TIFF text fields, in load and save order.
struct TextField {
    const char* tagName;
    ttag_t field;
};
constexpr TextField kTextFields[] = {
    {"artist", TIFFTAG_ARTIST},     {"hostcomputer", TIFFTAG_HOSTCOMPUTER},
    {"software", TIFFTAG_SOFTWARE}, {"imagedescription", TIFFTAG_IMAGEDESCRIPTION},
    {"scanner_make", TIFFTAG_MAKE}, {"scanner_model", TIFFTAG_MODEL},
    {"datetime", TIFFTAG_DATETIME}, {"copyright", TIFFTAG_COPYRIGHT},
};

// ---- handles ----------------------------------------------------------------

struct TiffCloser {
    void operator()(TIFF* tif) const noexcept { TIFFClose(tif); }
};
using TiffHandle = std::unique_ptr<TIFF, TiffCloser>;

struct OptionsDeleter {
    void operator()(TIFFOpenOptions* options) const noexcept { TIFFOpenOptionsFree(options); }
};

// libtiff reports through the handlers of the handle's open options, so no
// process-wide handler is touched and libtiff never writes to the standard
// streams. Returning 1 tells libtiff the message is dealt with.
int onLibtiffError(TIFF*, void*, const char* module, const char* format, va_list arguments) {
    NQTIFFImage::nqTIFFError(module, format, arguments);
    return 1;
}

int onLibtiffWarning(TIFF*, void*, const char* module, const char* format, va_list arguments) {
    NQTIFFImage::nqTIFFWarning(module, format, arguments);
    return 1;
}

// Open options with the handlers. Reading also caps any single allocation
// libtiff makes for the handle: the cap guards against sizes taken from a
// file, while a writer's buffers follow the image being saved.
std::unique_ptr<TIFFOpenOptions, OptionsDeleter> openOptions(bool reading) {
    std::unique_ptr<TIFFOpenOptions, OptionsDeleter> options(TIFFOpenOptionsAlloc());
    if (!options)
        return options;
    TIFFOpenOptionsSetErrorHandlerExtR(options.get(), onLibtiffError, nullptr);
    TIFFOpenOptionsSetWarningHandlerExtR(options.get(), onLibtiffWarning, nullptr);
    if (reading)
        TIFFOpenOptionsSetMaxSingleMemAlloc(options.get(),
                                            static_cast<tmsize_t>(NQImage::kMaxDataBytes));
    return options;
}

// Files are read, never memory-mapped ("m"): a mapped file that another
// program shortens while it is decoded ends the process with SIGBUS, and on
// page-sized files reading is also the faster of the two.
TiffHandle openNamed(const char* fileName, const char* mode) {
    if (fileName == nullptr)
        return TiffHandle();
    const bool reading = mode[0] == 'r';
    auto options = openOptions(reading);
    return TiffHandle(TIFFOpenExt(fileName, reading ? "rm" : mode, options.get()));
}

// ---- client I/O over memory files -------------------------------------------

int descriptorOf(thandle_t handle) {
    return static_cast<int>(reinterpret_cast<std::intptr_t>(handle));
}

tmsize_t memRead(thandle_t handle, void* dst, tmsize_t n) {
    if (n < 0 || n > INT_MAX)
        return -1;
    return mfs_read(descriptorOf(handle), dst, static_cast<int>(n));
}

tmsize_t memWrite(thandle_t handle, void* src, tmsize_t n) {
    if (n < 0 || n > INT_MAX)
        return -1;
    return mfs_write(descriptorOf(handle), src, static_cast<int>(n));
}

// libtiff passes negative relative offsets as wrapped unsigned values.
template <int (*Seek)(int, int, int)>
toff_t memSeek(thandle_t handle, toff_t offset, int whence) {
    const auto signedOffset = static_cast<std::int64_t>(offset);
    if (signedOffset < INT_MIN || signedOffset > INT_MAX)
        return static_cast<toff_t>(-1);
    const int position = Seek(descriptorOf(handle), static_cast<int>(signedOffset), whence);
    return position < 0 ? static_cast<toff_t>(-1) : static_cast<toff_t>(position);
}

// The memory file outlives the handle; MemoryFile closes it.
int memClose(thandle_t) {
    return 0;
}

toff_t memSize(thandle_t handle) {
    const int size = mfs_size(descriptorOf(handle));
    return size < 0 ? 0 : static_cast<toff_t>(size);
}

// Not mapped: libtiff reads through memRead.
int memMap(thandle_t, void**, toff_t*) {
    return 0;
}
void memUnmap(thandle_t, void*, toff_t) {}

// One memory file, closed with the object. A block written by the codec is
// released unless it was handed over with release().
class MemoryFile {
public:
    MemoryFile(void* buffer, int size, const char* mode) : fd_(mfs_open(buffer, size, mode)) {}
    ~MemoryFile() {
        if (fd_ < 0)
            return;
        mfs_discard(fd_);
        mfs_close(fd_);
    }
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;

    int fd() const { return fd_; }

    // The written block (malloc'ed, for the caller to free) and its size.
    unsigned char* release(int& size) {
        char* block = nullptr;
        unsigned int length = 0;
        mfs_map(fd_, &block, &length);
        mfs_close(fd_);
        fd_ = -1;
        size = static_cast<int>(length);
        return reinterpret_cast<unsigned char*>(block);
    }

private:
    int fd_;
};

TiffHandle openMemory(const MemoryFile& file, bool reading) {
    if (file.fd() < 0)
        return TiffHandle();
    auto options = openOptions(reading);
    thandle_t handle = reinterpret_cast<thandle_t>(static_cast<std::intptr_t>(file.fd()));
    return TiffHandle(
        TIFFClientOpenExt("", reading ? "r" : "w", handle, memRead, memWrite,
                          reading ? memSeek<mfs_lseekForTIFFRead> : memSeek<mfs_lseek>, memClose,
                          memSize, memMap, memUnmap, options.get()));
}

// ---- recognition ----------------------------------------------------------------

bool hasTiffSignature(const unsigned char* b) {
    if (!((b[0] == 'I' && b[1] == 'I') || (b[0] == 'M' && b[1] == 'M')))
        return false;
    return (b[2] == 42 && b[3] == 0) || (b[2] == 0 && b[3] == 42);
}

// "WANG" in the 9 bytes that follow a file's first 8 (as a C string: a zero
// byte ends it).
bool isWangMarker(const unsigned char* marker) {
    char text[10] = {0};
    std::memcpy(text, marker, 9);
    return std::strstr(text, "WANG") != nullptr;
}

bool streamHasWangMarker(NQIOStream& in) {
    unsigned char skipped[8];
    unsigned char marker[9] = {0};
    if (in.nqRead(skipped, 8) <= 0 || in.nqRead(marker, 9) <= 0)
        return false;
    return isWangMarker(marker);
}

// ---- header helpers -----------------------------------------------------------

void setLayout(NQImageHead& head, int bitsPerPixel) {
    head.nqSetBitsPerPixel(bitsPerPixel);
    switch (bitsPerPixel) {
        case 1:
            head.nqSetChannels(1);
            head.nqSetColorModel(NQ_BINARY);
            break;
        case 8:
            head.nqSetChannels(1);
            head.nqSetColorModel(NQ_GRAY);
            break;
        default:
            head.nqSetChannels(3);
            head.nqSetColorModel(NQ_RGBCOLOR);
            break;
    }
    head.nqSetRowSize(NQImageHead::rowSizeFor(head.nqGetWidth(), bitsPerPixel));
    head.nqSetDataAlignment(NQ_1BYTE_ALIGN);
}

bool isUnsupportedPhotometric(int photometric) {
    switch (photometric) {
        case 4:
        case 5:
        case 8:
        case 9:
        case 10:
        case 32844:
        case 32845:
            return true;
        default:
            return false;
    }
}

// A photometric interpretation that no path of the codec reads.
[[noreturn]] void failPhotometric(int photometric) {
    if (isUnsupportedPhotometric(photometric))
        fail(NQ_UNSUPPORTED,
             "<NQTIFFImage::nqLoadImage()> Image has an unsupported photometric interpretation",
             __LINE__);
    fail(NQ_MISSING_FIELD,
         "<NQTIFFImage::nqLoadImage()> Image has an invalid photometric interpretation", __LINE__);
}

std::uint16_t fieldOr(TIFF* tif, ttag_t tag, std::uint16_t fallback) {
    std::uint16_t value = 0;
    return TIFFGetField(tif, tag, &value) ? value : fallback;
}

// ---- pixel helpers --------------------------------------------------------------

std::unique_ptr<unsigned char[]> allocateZeroed(std::size_t bytes, const char* text, int line) {
    std::unique_ptr<unsigned char[]> block = nqNewPixelBlock(bytes);
    if (!block)
        fail(NQ_MEMORY_ERROR, text, line);
    std::memset(block.get(), 0, bytes == 0 ? 1 : bytes);
    return block;
}

constexpr const char* kNoMemory =
    "<NQTIFFImage::nqLoadImage()> Could not allocate enough memory for the uncompressed image";

// Coded bytes of the page's strips (or tiles), counting no more than the
// file holds; the walk over their byte counts stops once that is reached.
std::uint64_t codedBytesOf(TIFF* tif) {
    const std::uint64_t fileSize = TIFFGetSizeProc(tif)(TIFFClientdata(tif));
    const std::uint32_t striles = TIFFNumberOfStrips(tif);
    std::uint64_t total = 0;
    for (std::uint32_t i = 0; i < striles && total < fileSize; ++i)
        total += std::min(TIFFGetStrileByteCount(tif, i), fileSize);
    return std::min(total, fileSize);
}

// Decoded bytes per coded byte that the page's compression can reach at
// most; `rowBytes` is the decoded row (see the file comment).
std::uint64_t maxCompressionRatio(TIFF* tif, std::uint64_t rowBytes) {
    switch (fieldOr(tif, TIFFTAG_COMPRESSION, COMPRESSION_NONE)) {
        case COMPRESSION_NONE:
            return 1;
        case COMPRESSION_PACKBITS:
            return 64;
        case COMPRESSION_LZW:
            return 1400;
        case COMPRESSION_DEFLATE:
        case COMPRESSION_ADOBE_DEFLATE:
            return 1032;
        case COMPRESSION_JPEG:
        case COMPRESSION_OJPEG:
            return 2800;
        case COMPRESSION_CCITTRLE:
        case COMPRESSION_CCITTRLEW:
        case COMPRESSION_CCITTFAX3:
        case COMPRESSION_CCITTFAX4:
            return 8 * std::clamp<std::uint64_t>(rowBytes, 1, 4096);
        default:
            return NQDecodeLimits::kMaxCompressionRatio;
    }
}

// Refuses a page whose strips cannot hold what it claims; `largestBuffer`
// is the largest block the load allocates, `decodedBytes` what the strips
// must decode to, in rows of `rowBytes`.
void checkClaimBacked(TIFF* tif, std::uint64_t largestBuffer, std::uint64_t decodedBytes,
                      std::uint64_t rowBytes) {
    if (!NQDecodeLimits::isClaimBacked(largestBuffer, decodedBytes, codedBytesOf(tif),
                                       maxCompressionRatio(tif, rowBytes)))
        fail(NQ_INVALID_CONTENT,
             "<NQTIFFImage::nqLoadImage()> The image claims more pixel data than the file holds",
             __LINE__);
}

// Concatenates the decoded strips into `target`, each placed after the bytes
// the previous one gave, never writing beyond `bytes`.
void readStrips(TIFF* tif, unsigned char* target, std::size_t bytes) {
    const tstrip_t strips = TIFFNumberOfStrips(tif);
    std::size_t position = 0;
    for (tstrip_t strip = 0; strip < strips && position < bytes; ++strip) {
        const tmsize_t got = TIFFReadEncodedStrip(tif, strip, target + position,
                                                  static_cast<tmsize_t>(bytes - position));
        if (got < 0)
            fail(NQ_UNKNOWN_FORMAT, "<NQTIFFImage::nqLoadImage()> Read error on input strip",
                 __LINE__);
        position += static_cast<std::size_t>(got);
    }
}

std::unique_ptr<unsigned char[]> readBilevelOrGrey(TIFF* tif, const NQImageHead& head,
                                                   bool minIsWhite) {
    const std::size_t bytes =
        NQImage::dataSizeFor(head.nqGetWidth(), head.nqGetHeight(), head.nqGetBitsPerPixel());
    if (bytes == 0)
        fail(NQ_MEMORY_ERROR, kNoMemory, __LINE__);
    checkClaimBacked(tif, bytes, bytes, std::uint64_t(head.nqGetRowSize()));
    std::unique_ptr<unsigned char[]> data = allocateZeroed(bytes, kNoMemory, __LINE__);
    readStrips(tif, data.get(), bytes);
    if (minIsWhite) {
        logger()->nqLog(NQ_DEBUG, "Fixing the photometric interpretation\n");
        nqInvertBytes(data.get(), bytes);
    }
    return data;
}

std::unique_ptr<unsigned char[]> readThroughRGBA(TIFF* tif, int width, int height) {
    const std::size_t bytes = NQImage::dataSizeFor(width, height, 24);
    if (bytes == 0)
        fail(NQ_MEMORY_ERROR, kNoMemory, __LINE__);
    const std::size_t pixels = bytes / 3;
    // libtiff decodes into a strip or tile buffer of its own before it
    // converts into the raster; the raster is the largest block.
    const std::uint64_t scanline = TIFFScanlineSize64(tif);
    const std::uint64_t decoded = scanline != 0 ? scanline * std::uint64_t(height) : bytes;
    checkClaimBacked(tif, std::max<std::uint64_t>(4 * std::uint64_t(pixels), decoded), decoded,
                     decoded / std::uint64_t(height));
    std::unique_ptr<unsigned char[]> data = allocateZeroed(bytes, kNoMemory, __LINE__);
    std::unique_ptr<std::uint32_t[]> raster(new (std::nothrow) std::uint32_t[pixels]);
    if (!raster)
        fail(NQ_MEMORY_ERROR, kNoMemory, __LINE__);
    // A failed read leaves the image black, without an error.
    if (TIFFReadRGBAImage(tif, static_cast<std::uint32_t>(width),
                          static_cast<std::uint32_t>(height), raster.get(), 0)) {
        // The raster's last row is the top of the picture.
        unsigned char* out = data.get();
        for (int row = height - 1; row >= 0; --row) {
            const std::uint32_t* word = raster.get() + std::size_t(row) * width;
            for (int x = 0; x < width; ++x) {
                *out++ = static_cast<unsigned char>(TIFFGetR(word[x]));
                *out++ = static_cast<unsigned char>(TIFFGetG(word[x]));
                *out++ = static_cast<unsigned char>(TIFFGetB(word[x]));
            }
        }
    }
    return data;
}

// Index of pixel x of a decoded palette row: its first sample. Samples are
// packed most significant bit first into byte-aligned rows, except that
// libtiff hands 16-bit samples over in host byte order. Bytes past the end of
// the row read as 0.
unsigned paletteIndex(const unsigned char* row, std::uint64_t rowBytes, int x, int bitsPerSample,
                      int samples) {
    const std::uint64_t bit = std::uint64_t(x) * bitsPerSample * samples;
    const std::uint64_t at = bit / 8;
    if (bitsPerSample == 16) {
        std::uint16_t value = 0;
        std::memcpy(&value, row + at, 2);
        return value;
    }
    // 24 bits hold any index of up to 15 bits wherever it starts in a byte.
    std::uint32_t window = 0;
    for (std::uint64_t i = at; i < at + 3; ++i)
        window = window << 8 | (i < rowBytes ? row[i] : 0);
    return (window >> (24 - bitsPerSample - static_cast<int>(bit % 8))) &
           ((1u << bitsPerSample) - 1);
}

std::unique_ptr<unsigned char[]> readPalette(TIFF* tif, int width, int height) {
    const int bitsPerSample = fieldOr(tif, TIFFTAG_BITSPERSAMPLE, 1);
    const int samples = fieldOr(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
    if (bitsPerSample < 1 || bitsPerSample > 16)
        fail(NQ_UNSUPPORTED,
             "<NQTIFFImage::nqLoadImage()> Unsupported tiff type (palette indices of more than 16 "
             "bits)",
             __LINE__);
    const std::uint64_t rowBytes = (std::uint64_t(width) * bitsPerSample * samples + 7) / 8;
    const std::uint64_t rawBytes = rowBytes * std::uint64_t(height);
    const char* kNoIndexMemory =
        "<NQTIFFImage::nqLoadImage()> Could not allocate enough memory for the palette_raw_data "
        "image";
    if (NQImage::dataSizeFor(width, height, 8) == 0 || rawBytes > NQImage::kMaxDataBytes)
        fail(NQ_MEMORY_ERROR, kNoIndexMemory, __LINE__);
    const std::size_t bytes = NQImage::dataSizeFor(width, height, 24);
    if (bytes == 0)
        fail(NQ_MEMORY_ERROR, kNoMemory, __LINE__);
    checkClaimBacked(tif, std::max<std::uint64_t>(bytes, rawBytes), rawBytes, rowBytes);
    std::unique_ptr<unsigned char[]> indices =
        allocateZeroed(static_cast<std::size_t>(rawBytes), kNoIndexMemory, __LINE__);
    std::unique_ptr<unsigned char[]> data = allocateZeroed(bytes, kNoMemory, __LINE__);

    // libtiff's colour map holds 2^bits entries, so every index is in range.
    std::uint16_t* red = nullptr;
    std::uint16_t* green = nullptr;
    std::uint16_t* blue = nullptr;
    if (!TIFFGetField(tif, TIFFTAG_COLORMAP, &red, &green, &blue))
        fail(NQ_IO_ERROR, "<NQTIFFImage::nqLoadImage()> Cannot find color map information",
             __LINE__);
    readStrips(tif, indices.get(), static_cast<std::size_t>(rawBytes));

    unsigned char* out = data.get();
    for (int y = 0; y < height; ++y) {
        const unsigned char* row = indices.get() + std::size_t(y) * rowBytes;
        for (int x = 0; x < width; ++x) {
            const unsigned index = paletteIndex(row, rowBytes, x, bitsPerSample, samples);
            *out++ = static_cast<unsigned char>(red[index] / 257);
            *out++ = static_cast<unsigned char>(green[index] / 257);
            *out++ = static_cast<unsigned char>(blue[index] / 257);
        }
    }
    return data;
}

// ---- saving ---------------------------------------------------------------------

// Everything that can refuse an image is checked before a file is touched.
void checkSaveable(const NQImage& image, int compression) {
    if (!image.nqHasImageData())
        fail(NQ_NULL_DATA, "<NQTIFFImage::nqSaveImage()> Image Data is NULL!", __LINE__);
    const int bits = image.nqGetBitsPerPixel();
    if (bits == 8 || bits == 24) {
        if (compression == COMPRESSION_CCITTRLE || compression == COMPRESSION_CCITTFAX3 ||
            compression == COMPRESSION_CCITTFAX4)
            fail(NQ_INVALID_CONTENT,
                 "<NQTIFFImage::nqSaveImage()> Requested compression type not supported for "
                 "grayscale and color tiff images",
                 __LINE__);
    } else if (bits == 1) {
        if (compression == COMPRESSION_LZW || compression == COMPRESSION_PACKBITS ||
            compression == COMPRESSION_JPEG || compression == COMPRESSION_OJPEG ||
            compression == COMPRESSION_DEFLATE)
            fail(NQ_INVALID_CONTENT,
                 "<NQTIFFImage::nqSaveImage()> Requested compression type not supported for "
                 "binary tiff images",
                 __LINE__);
    } else {
        fail(NQ_UNSUPPORTED,
             "<NQTIFFImage::nqSaveImage()> Only 1, 8 and 24 bit images can be saved", __LINE__);
    }
    // libtiff accepts any compression number but, for one it has no encoder
    // for, writes no data while reporting the strip as written.
    if (!TIFFIsCODECConfigured(static_cast<std::uint16_t>(compression)))
        fail(NQ_INVALID_CONTENT,
             "<NQTIFFImage::nqSaveImage()> Requested compression type not supported by libtiff",
             __LINE__);
}

void finishWriting(TIFF* tif) {
    if (!TIFFWriteDirectory(tif))
        fail(NQ_IO_ERROR, "<NQTIFFImage::nqSaveImage()> Error writing the image data", __LINE__);
}

int defaultCompression(const NQImage& image) {
    return image.nqGetBitsPerPixel() == 1 ? COMPRESSION_CCITTFAX4 : COMPRESSION_PACKBITS;
}

}  // namespace

// ---- codec object -----------------------------------------------------------------

NQTIFFImage::NQTIFFImage() : NQBaseImage("TIFF", "tiff,tif", 5) {}

NQTIFFImage::~NQTIFFImage() = default;

NQTIFFImage* NQTIFFImage::createImageReader() {
    static NQTIFFImage instance;
    return &instance;
}

namespace {

// libtiff's own text of a message, for the debug log.
void logLibtiffText(const char* module, const char* format, va_list arguments) {
    if (format == nullptr)
        return;
    char text[512];
    std::vsnprintf(text, sizeof text, format, arguments);
    logger()->nqLog(NQ_DEBUG, "libtiff: %s: %s\n", module != nullptr ? module : "", text);
}

}  // namespace

void NQTIFFImage::nqTIFFError(const char* module, const char* format, va_list arguments) {
    logger()->nqLog(NQ_INFO, "libtiff: Error in %s\n", module != nullptr ? module : "");
    logLibtiffText(module, format, arguments);
}

void NQTIFFImage::nqTIFFWarning(const char* module, const char* format, va_list arguments) {
    logger()->nqLog(NQ_INFO, "libtiff: Warning in %s\n", module != nullptr ? module : "");
    logLibtiffText(module, format, arguments);
}

// ---- recognition ----------------------------------------------------------------

bool NQTIFFImage::nqSupportImageFile(const char* fileName) {
    std::FILE* file = fileName != nullptr ? std::fopen(fileName, "rb") : nullptr;
    if (file == nullptr) {
        // One line, so that a run over many pages reports a missing image readably.
        logger()->nqLog(NQ_ERROR, "Can't open %s\n", fileName != nullptr ? fileName : "");
        fail(NQ_FILE_OPEN_ERROR, "<NQTIFFImage::nqSupportImageFile()> Can not open file!",
             __LINE__);
    }
    // Unbuffered: one read of the few bytes needed, not of a buffer's worth.
    std::setvbuf(file, nullptr, _IONBF, 0);
    unsigned char bytes[9];
    const std::size_t got = std::fread(bytes, 1, sizeof bytes, file);
    std::fclose(file);
    return got >= 4 && hasTiffSignature(bytes);
}

bool NQTIFFImage::nqSupportImageBuffer(const void* buffer, int size) {
    return buffer != nullptr && size >= 8 &&
           hasTiffSignature(static_cast<const unsigned char*>(buffer));
}

bool NQTIFFImage::nqWangTIFFCheck(const char* fileName) {
    // The 17 bytes in one unbuffered read; a file read is all or nothing, so
    // this is the same test as the stream's two reads.
    NQFileBasedIO in(fileName, "r");
    in.nqSetUnbuffered();
    unsigned char head[17];
    return in.nqRead(head, sizeof head) > 0 && isWangMarker(head + 8);
}

bool NQTIFFImage::nqWangTIFFCheck(const void* buffer, int size) {
    // Mode "r" only reads the buffer.
    NQMemoryBasedIO in(const_cast<void*>(buffer), size, "r");
    return streamHasWangMarker(in);
}

// ---- page counts ----------------------------------------------------------------

namespace {

// Directories from the current one on; a file with more than the page bound
// is refused rather than walked to its end.
int countPages(TIFF* tif) {
    int pages = 1;
    while (TIFFReadDirectory(tif))
        if (++pages > NQDecodeLimits::kMaxPages)
            fail(NQ_INVALID_CONTENT,
                 ("<NQTIFFImage::nqGetTotalPages()> The file holds more than " +
                  std::to_string(NQDecodeLimits::kMaxPages) + " pages")
                     .c_str(),
                 __LINE__);
    return pages;
}

}  // namespace

int NQTIFFImage::nqGetTotalPages(const char* fileName) {
    TiffHandle tif = openNamed(fileName, "r");
    if (!tif)
        fail(NQ_UNKNOWN_FORMAT, "<NQTIFFImage::nqGetTotalPages()> Could not open incoming image",
             __LINE__);
    return countPages(tif.get());
}

int NQTIFFImage::nqGetTotalPages(const void* buffer, int size) {
    MemoryFile file(const_cast<void*>(buffer), size, "r");
    TiffHandle tif = openMemory(file, true);
    if (!tif)
        fail(NQ_UNKNOWN_FORMAT, "<NQTIFFImage::nqGetTotalPages()> Could not open incoming image",
             __LINE__);
    return countPages(tif.get());
}

// ---- loading by name or buffer ------------------------------------------------------

NQImage NQTIFFImage::nqLoadImage(const char* fileName) {
    return nqLoadImageAtPage(fileName, 1);
}

NQImage NQTIFFImage::nqLoadImage(const void* buffer, int size) {
    return nqLoadImageAtPage(buffer, size, 1);
}

void NQTIFFImage::nqLoadImage(const char* fileName, NQImage& out) {
    out = nqLoadImage(fileName);
}

void NQTIFFImage::nqLoadImage(const void* buffer, int size, NQImage& out) {
    out = nqLoadImage(buffer, size);
}

NQImageHead NQTIFFImage::nqLoadHeader(const char* fileName) {
    return nqLoadHeaderAtPage(fileName, 1);
}

NQImageHead NQTIFFImage::nqLoadHeader(const void* buffer, int size) {
    return nqLoadHeaderAtPage(buffer, size, 1);
}

namespace {

// The checks and the opening shared by the page and header loads of a file
// or a buffer; `operation` names the load in the messages.
template <typename Source, typename Load>
auto loadPage(const char* operation, int page, const Source& source, Load load) {
    const std::string prefix = std::string("<NQTIFFImage::") + operation + "()> ";
    if (page < 1)
        fail(NQ_INVALID_PAGE, (prefix + "Page number can't be 0 (zero).").c_str(), __LINE__);
    if (source.isWang())
        fail(NQ_INVALID_CONTENT, (prefix + "WANG TIFFs not supported").c_str(), __LINE__);
    auto opened = source.open();
    if (!opened.handle)
        fail(NQ_UNKNOWN_FORMAT, (prefix + "Could not open incoming image").c_str(), __LINE__);
    return load(opened.handle.get());
}

struct OpenedFile {
    TiffHandle handle;
};

struct OpenedBuffer {
    std::unique_ptr<MemoryFile> file;
    TiffHandle handle;
};

struct NamedSource {
    NQTIFFImage& codec;
    const char* fileName;
    bool isWang() const { return codec.nqWangTIFFCheck(fileName); }
    OpenedFile open() const { return {openNamed(fileName, "r")}; }
};

struct BufferSource {
    NQTIFFImage& codec;
    const void* buffer;
    int size;
    bool isWang() const { return codec.nqWangTIFFCheck(buffer, size); }
    OpenedBuffer open() const {
        // Reading never writes to the caller's buffer, so no private copy is made.
        OpenedBuffer opened;
        opened.file = std::make_unique<MemoryFile>(const_cast<void*>(buffer), size, "r");
        opened.handle = openMemory(*opened.file, true);
        return opened;
    }
};

}  // namespace

// ---- pages of one file in order ---------------------------------------------------------

struct NQTIFFImage::PageReader::Handle {
    TiffHandle tif;
};

NQTIFFImage::PageReader::PageReader(const char* fileName) : handle_(std::make_unique<Handle>()) {
    // The checks of a page load by name, made once for the whole file.
    NQTIFFImage& codec = *createImageReader();
    if (codec.nqWangTIFFCheck(fileName))
        fail(NQ_INVALID_CONTENT, "<NQTIFFImage::nqLoadImageAtPage()> WANG TIFFs not supported",
             __LINE__);
    handle_->tif = openNamed(fileName, "r");
    if (!handle_->tif)
        fail(NQ_UNKNOWN_FORMAT, "<NQTIFFImage::nqLoadImageAtPage()> Could not open incoming image",
             __LINE__);
}

NQTIFFImage::PageReader::~PageReader() = default;

NQImage NQTIFFImage::PageReader::nqLoadPage(int page) {
    if (page < 1)
        fail(NQ_INVALID_PAGE, "<NQTIFFImage::nqLoadImageAtPage()> Page number can't be 0 (zero).",
             __LINE__);
    return createImageReader()->nqLoadImage(handle_->tif.get(), page);
}

NQImage NQTIFFImage::nqLoadImageAtPage(const char* fileName, int page) {
    return loadPage("nqLoadImageAtPage", page, NamedSource{*this, fileName},
                    [&](TIFF* tif) { return nqLoadImage(tif, page); });
}

NQImage NQTIFFImage::nqLoadImageAtPage(const void* buffer, int size, int page) {
    return loadPage("nqLoadImageAtPage", page, BufferSource{*this, buffer, size},
                    [&](TIFF* tif) { return nqLoadImage(tif, page); });
}

NQImageHead NQTIFFImage::nqLoadHeaderAtPage(const char* fileName, int page) {
    return loadPage("nqLoadHeaderAtPage", page, NamedSource{*this, fileName},
                    [&](TIFF* tif) { return nqLoadHeader(tif, page); });
}

NQImageHead NQTIFFImage::nqLoadHeaderAtPage(const void* buffer, int size, int page) {
    return loadPage("nqLoadHeaderAtPage", page, BufferSource{*this, buffer, size},
                    [&](TIFF* tif) { return nqLoadHeader(tif, page); });
}

// ---- loading from a handle -----------------------------------------------------------

NQImageHead NQTIFFImage::nqLoadHeader(TIFF* tif, int page) {
    if (page < 1)
        fail(NQ_INVALID_PAGE, "<NQTIFFImage::nqLoadImage()> Page number can't be 0 (zero).",
             __LINE__);
    // Pages count from the first directory. A page at or after the handle's
    // current directory is reached by reading on from there, so pages taken
    // in order cost one directory read each; an earlier page rewinds first.
    if (page > NQDecodeLimits::kMaxPages)
        fail(NQ_INVALID_PAGE, "<NQTIFFImage::nqLoadImage()> Invalid page number", __LINE__);
    const tdir_t target = static_cast<tdir_t>(page - 1);
    tdir_t current = TIFFCurrentDirectory(tif);
    if (current > target) {
        if (!TIFFSetDirectory(tif, 0))
            fail(NQ_INVALID_PAGE, "<NQTIFFImage::nqLoadImage()> Invalid page number", __LINE__);
        current = 0;
    }
    for (; current < target; ++current)
        if (!TIFFReadDirectory(tif))
            fail(NQ_INVALID_PAGE, "<NQTIFFImage::nqLoadImage()> Invalid page number", __LINE__);

    NQImageHead head;
    float xResolution = 0;
    float yResolution = 0;
    if (!TIFFGetField(tif, TIFFTAG_XRESOLUTION, &xResolution)) {
        logger()->nqLog(NQ_INFO,
                        "WARNING in TIFF nqLoadImage(): Failed to get horizontal resolution of "
                        "tiff image. Setting to 200 dpi\n");
        xResolution = 200;
    }
    if (!TIFFGetField(tif, TIFFTAG_YRESOLUTION, &yResolution)) {
        logger()->nqLog(NQ_INFO,
                        "WARNING in tbOpenTiffDD(): Failed to get vertical resolution of tiff "
                        "image. Setting to 200 dpi\n");
        yResolution = 200;
    }
    std::uint16_t unit = 0;
    if (!TIFFGetField(tif, TIFFTAG_RESOLUTIONUNIT, &unit)) {
        logger()->nqLog(NQ_INFO,
                        "WARNING in NQTiffImage(): Failed to read resolution unit, assuming "
                        "none\n");
        head.nqSetResolutionInInches(false);
        head.nqSetResolutionUnits(NQImageHead::NQ_RES_NONE);
    } else if (unit == RESUNIT_CENTIMETER) {
        xResolution *= 2.54f;
        yResolution *= 2.54f;
        head.nqSetResolutionInInches(true);
        head.nqSetResolutionUnits(NQImageHead::NQ_RES_INCH);
    } else if (unit == RESUNIT_INCH) {
        head.nqSetResolutionInInches(true);
        head.nqSetResolutionUnits(NQImageHead::NQ_RES_INCH);
    } else if (unit == RESUNIT_NONE) {
        head.nqSetResolutionInInches(false);
        head.nqSetResolutionUnits(NQImageHead::NQ_RES_NONE);
    }
    head.nqSetXResolution(xResolution);
    head.nqSetYResolution(yResolution);

    std::uint32_t width = 0;
    std::uint32_t height = 0;
    if (!TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width))
        fail(NQ_MISSING_FIELD, "<NQTIFFImage::nqLoadImage()> Image does not define its width",
             __LINE__);
    if (!TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height))
        fail(NQ_MISSING_FIELD, "<NQTIFFImage::nqLoadImage()> Image does not define its height",
             __LINE__);
    // Three bytes per pixel must still give a row size that fits an int.
    if (width > INT_MAX / 3 || height > INT_MAX)
        fail(NQ_UNKNOWN_FORMAT, "<NQTIFFImage::nqLoadImage()> Image dimensions are out of range",
             __LINE__);
    head.nqSetWidth(static_cast<int>(width));
    head.nqSetHeight(static_cast<int>(height));
    head.nqSetDataAlignment(NQ_1BYTE_ALIGN);

    const int bitsPerSample = fieldOr(tif, TIFFTAG_BITSPERSAMPLE, 1);
    std::uint16_t planar = 0;
    if (!TIFFGetField(tif, TIFFTAG_PLANARCONFIG, &planar))
        fail(NQ_MISSING_FIELD,
             "<NQTIFFImage::nqLoadImage()> Either undefined or unsupported TIFFTAG_PLANARCONFIG",
             __LINE__);
    const int samples = fieldOr(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
    // Both are 16-bit fields, so their product needs more than an int.
    const std::int64_t depth = std::int64_t(bitsPerSample) * samples;

    std::uint16_t photometric = 0;
    if (!TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric))
        fail(NQ_MISSING_FIELD,
             "<NQTIFFImage::nqLoadImage()> Image has an undefined photometric interpretation",
             __LINE__);
    logger()->nqLog("TIFFTAG_PHOTOMETRIC is ", NQ_DEBUG);
    logger()->nqLog(static_cast<int>(photometric), NQ_DEBUG);
    logger()->nqLog("\n", NQ_DEBUG);

    switch (photometric) {
        case PHOTOMETRIC_MINISWHITE:
        case PHOTOMETRIC_MINISBLACK:
            if (depth == 1)
                setLayout(head, 1);
            else if (depth == 8)
                setLayout(head, 8);
            else
                fail(NQ_UNSUPPORTED,
                     "<NQTIFFImage::nqLoadImage()> Unsupported tiff type (may contain alpha "
                     "channel)",
                     __LINE__);
            break;
        case PHOTOMETRIC_RGB:
            if (depth < 24)
                fail(NQ_NOT_IMPLEMENTED, "<NQTIFFImage::nqLoadImage()> Unsupported tiff type",
                     __LINE__);
            setLayout(head, 24);
            break;
        case PHOTOMETRIC_PALETTE:
            setLayout(head, 24);
            break;
        case PHOTOMETRIC_YCBCR: {
            setLayout(head, 24);
            std::uint16_t compression = 0;
            if (TIFFGetField(tif, TIFFTAG_COMPRESSION, &compression))
                logger()->nqLog(NQ_DEBUG, "YCbCr Compression Method: %d\n", compression);
            std::uint16_t horizontal = 0;
            std::uint16_t vertical = 0;
            if (TIFFGetField(tif, TIFFTAG_YCBCRSUBSAMPLING, &horizontal, &vertical)) {
                logger()->nqLog(NQ_DEBUG, "\tYCbCr Subsampling: %d,%d\n", horizontal, vertical);
            } else {
                logger()->nqLog(NQ_INFO,
                                "WARNING: YCbCr Subsampling not set or corrupted.\n\tAssuming "
                                "default of (2,2)\n");
                TIFFSetField(tif, TIFFTAG_YCBCRSUBSAMPLING, 2, 2);
            }
            break;
        }
        default:
            failPhotometric(photometric);
    }

    for (const TextField& field : kTextFields) {
        char* text = nullptr;
        if (TIFFGetField(tif, field.field, &text) && text != nullptr)
            head.nqGetTags().nqSetTag(field.tagName, text, false);
    }
    return head;
}

NQImage NQTIFFImage::nqLoadImage(TIFF* tif, int page) {
    const NQImageHead head = nqLoadHeader(tif, page);
    std::uint16_t photometric = 0;
    if (!TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric))
        fail(NQ_MISSING_FIELD,
             "<NQTIFFImage::nqLoadImage()> Image has an undefined photometric interpretation",
             __LINE__);
    const int width = head.nqGetWidth();
    const int height = head.nqGetHeight();
    std::unique_ptr<unsigned char[]> data;
    switch (photometric) {
        case PHOTOMETRIC_MINISWHITE:
        case PHOTOMETRIC_MINISBLACK:
            data = readBilevelOrGrey(tif, head, photometric == PHOTOMETRIC_MINISWHITE);
            break;
        case PHOTOMETRIC_RGB:
        case PHOTOMETRIC_YCBCR:
            data = readThroughRGBA(tif, width, height);
            break;
        case PHOTOMETRIC_PALETTE:
            data = readPalette(tif, width, height);
            break;
        default:
            failPhotometric(photometric);
    }
    return NQImage(std::move(data), head);
}

// ---- saving ---------------------------------------------------------------------------

std::unique_ptr<unsigned char[]> NQTIFFImage::nqFlipDataForMinIsWhite(const NQImage& image) {
    std::unique_ptr<unsigned char[]> copy(image.nqGetSafeImageData());
    const int bits = image.nqGetBitsPerPixel();
    if (bits == 1 || bits == 8) {
        nqInvertBytes(copy.get(), image.nqGetImageDataSize());
    }
    return copy;
}

void NQTIFFImage::nqSaveImage(const char* fileName, const NQImage& image) {
    nqSaveImage(fileName, image, defaultCompression(image), true);
}

unsigned char* NQTIFFImage::nqSaveImageToMem(int& size, const NQImage& image) {
    return nqSaveImageToMem(size, image, defaultCompression(image), true);
}

void NQTIFFImage::nqSaveImage(const char* fileName, const NQImage& image, int compression,
                              bool minIsWhite) {
    checkSaveable(image, compression);
    TiffHandle tif = openNamed(fileName, "w");
    if (!tif)
        fail(NQ_IO_ERROR, "<NQTIFFImage::nqSaveImage()> Could not open for writing", __LINE__);
    nqSaveImage(tif.get(), image, compression, minIsWhite);
    finishWriting(tif.get());
}

unsigned char* NQTIFFImage::nqSaveImageToMem(int& size, const NQImage& image, int compression,
                                             bool minIsWhite) {
    checkSaveable(image, compression);
    MemoryFile file(nullptr, 0, "w");
    TiffHandle tif = openMemory(file, false);
    if (!tif)
        fail(NQ_UNKNOWN_FORMAT, "<NQTIFFImage::nqSaveImageToMem()> Could not open incoming image",
             __LINE__);
    nqSaveImage(tif.get(), image, compression, minIsWhite);
    finishWriting(tif.get());
    tif.reset();
    return file.release(size);
}

void NQTIFFImage::nqSaveImage(TIFF* tif, const NQImage& image, int compression, bool minIsWhite) {
    checkSaveable(image, compression);
    const int bits = image.nqGetBitsPerPixel();
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, static_cast<std::uint32_t>(image.nqGetWidth()));
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, static_cast<std::uint32_t>(image.nqGetHeight()));
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, bits == 24 ? 8 : bits);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, compression);
    if (bits == 24) {
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
        TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 3);
    } else {
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC,
                     minIsWhite ? PHOTOMETRIC_MINISWHITE : PHOTOMETRIC_MINISBLACK);
    }
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(
        tif, TIFFTAG_RESOLUTIONUNIT,
        image.nqGetResolutionUnits() == NQImageHead::NQ_RES_INCH ? RESUNIT_INCH : RESUNIT_NONE);
    const float xResolution = image.nqGetXResolution();
    const float yResolution = image.nqGetYResolution();
    TIFFSetField(tif, TIFFTAG_XRESOLUTION,
                 static_cast<double>(xResolution == 0 ? 200 : xResolution));
    TIFFSetField(tif, TIFFTAG_YRESOLUTION,
                 static_cast<double>(yResolution == 0 ? 200 : yResolution));
    for (const TextField& field : kTextFields)
        if (image.nqIsTagSet(field.tagName))
            TIFFSetField(tif, field.field, image.nqGetTag(field.tagName).c_str());

    const tmsize_t bytes = static_cast<tmsize_t>(image.nqGetImageDataSize());
    std::unique_ptr<unsigned char[]> flipped;
    // Without a predictor (never set here) libtiff does not modify the data
    // it encodes, so the image's own block can be handed over.
    void* pixels = const_cast<unsigned char*>(image.nqGetImageData());
    // Colour data are the same either way; only 1- and 8-bit data are inverted.
    if (minIsWhite && bits != 24) {
        flipped = nqFlipDataForMinIsWhite(image);
        pixels = flipped.get();
    }
    if (TIFFWriteEncodedStrip(tif, 0, pixels, bytes) < 0)
        fail(NQ_IO_ERROR, "<NQTIFFImage::nqSaveImage()> Error writing the image data", __LINE__);
}
