// The JPEG codec on libjpeg (libjpeg-turbo, API version 62).
//
// Every call into libjpeg that can fail runs in a small C-shaped function that
// arms the error manager's jump buffer with setjmp and returns whether it got
// through: the error manager's error_exit logs libjpeg's message and
// long-jumps back there, and the C++ caller throws NQException once control is
// back in its own frame. No object with a destructor lives in a frame that a
// long jump crosses; the decompressor, the file and the pixel block are owned
// by holders created before the jump buffer is armed. The save paths use the
// same error manager, so a fatal compression error becomes an exception too
// instead of libjpeg's default, which ends the process.
//
// The image size is checked against NQImage::kMaxDataBytes right after the
// header is read and before libjpeg starts decompressing (and allocates its
// own whole-image buffers for progressive files), so a small hostile file
// cannot ask for gigabytes. Before that point the claim is also held to what
// the file can back (NQDecodeLimits): Huffman coding spends at least one bit
// on every 8 x 8 block, so a grey picture decodes to at most 512 bytes per
// coded byte, and a colour one, in the sparsest sampling (nine blocks for 32
// x 32 pixels), to about 2731. A larger page from fewer bytes is refused; so
// is an arithmetic-coded one that compresses better than Huffman coding can.
// libjpeg fills what a truncated file lacks, so without this bound a file of
// a few hundred bytes could become a page of a gigabyte. Each scan of a
// progressive file passes over every block of the page, however few bytes
// it has, so the scans read are bounded too: encoders write about ten, and a
// file of more than 100 is refused (2000 scans of 16 bytes each kept a
// 4-megapixel page busy for 16 seconds). Rows are decoded straight into the block
// that the NQImage adopts; CMYK rows go through one row buffer and are reduced to RGB as they
// arrive, so no four-byte copy of the page is ever held.
//
// The memory source hands libjpeg the caller's buffer in blocks of 4096 bytes
// without copying it; past the end it supplies an end-of-image marker with
// libjpeg's "premature end" warning, as libjpeg's file source does, so a
// truncated buffer loads like a truncated file (and is marked corrupted). The
// memory destination drains the compressor into a memory stream; its write
// failure is reported through the same jump.
#include "imageio/NQJPGImage.h"

#include <algorithm>
#include <climits>
#include <csetjmp>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <string>

#include <jerror.h>
#include <sys/stat.h>

#include "analysis/NQBitsPerPixelConverter.h"
#include "image/NQColor.h"
#include "image/NQException.h"
#include "image/NQLogger.h"
#include "image/NQPixelBlock.h"
#include "imageio/NQDecodeLimits.h"
#include "imageio/NQIOStream.h"

namespace {

constexpr const char* kModule = "NQJPGImage";
constexpr int kBlockBytes = 4096;
constexpr float kCentimetresPerInch = 2.54f;
// Decoded bytes per coded byte that Huffman-coded JPEG reaches at most.
constexpr std::uint64_t kMaxGreyRatio = 512;
constexpr std::uint64_t kMaxColourRatio = 2800;
constexpr std::uint64_t kUnknownSize = std::numeric_limits<std::uint64_t>::max();
constexpr int kMaxScans = 100;

NQLogger* logger() {
    return NQLogger::nqGetInstance();
}

[[noreturn]] void fail(NQExceptionCodes code, const std::string& message, int line) {
    throw NQException(code, message, kModule, line);
}

// ---- error manager ----------------------------------------------------------

struct JpegErrorManager {
    jpeg_error_mgr pub;  // first, so that libjpeg's pointer is also ours
    std::jmp_buf jump;
    bool writeFailed;  // set by the memory destination before it gives up
};

JpegErrorManager* errorsOf(j_common_ptr cinfo) {
    return reinterpret_cast<JpegErrorManager*>(cinfo->err);
}

void my_message(j_common_ptr cinfo) {
    char message[JMSG_LENGTH_MAX] = {0};
    (*cinfo->err->format_message)(cinfo, message);
    try {
        logger()->nqLog(NQ_DEBUG, "%s", message);
    } catch (...) {
        // Nothing may leave towards libjpeg.
    }
}

void my_error_exit(j_common_ptr cinfo) {
    (*cinfo->err->output_message)(cinfo);
    std::longjmp(errorsOf(cinfo)->jump, 1);
}

jpeg_error_mgr* installErrorManager(JpegErrorManager& errors) {
    jpeg_std_error(&errors.pub);
    errors.pub.error_exit = my_error_exit;
    errors.pub.output_message = my_message;
    errors.writeFailed = false;
    return &errors.pub;
}

// ---- memory source and destination --------------------------------------------

// libjpeg's progress hook, used to stop a decompressor that reads too many
// scans; the stop goes through the error manager's jump.
struct ScanLimit {
    jpeg_progress_mgr pub;  // first, so that libjpeg's pointer is also ours
    bool exceeded;
};

void stopAfterTooManyScans(j_common_ptr cinfo) {
    if (!cinfo->is_decompressor ||
        reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number <= kMaxScans)
        return;
    reinterpret_cast<ScanLimit*>(cinfo->progress)->exceeded = true;
    ERREXIT(cinfo, JERR_NOTIMPL);
}

struct MemorySource {
    jpeg_source_mgr pub;
    const JOCTET* buffer;
    int size;
    int offset;
    JOCTET reserve[2];  // the end-of-image marker fed after the data
};

void init_mem_source(j_decompress_ptr cinfo) {
    reinterpret_cast<MemorySource*>(cinfo->src)->offset = 0;
}

boolean fill_mem_input_buffer(j_decompress_ptr cinfo) {
    MemorySource* src = reinterpret_cast<MemorySource*>(cinfo->src);
    if (src->offset >= src->size) {
        WARNMS(cinfo, JWRN_JPEG_EOF);
        src->reserve[0] = 0xFF;
        src->reserve[1] = JPEG_EOI;
        src->pub.next_input_byte = src->reserve;
        src->pub.bytes_in_buffer = 2;
        return TRUE;
    }
    const int count = std::min(kBlockBytes, src->size - src->offset);
    src->pub.next_input_byte = src->buffer + src->offset;
    src->pub.bytes_in_buffer = static_cast<std::size_t>(count);
    src->offset += count;
    return TRUE;
}

void skip_mem_input_data(j_decompress_ptr cinfo, long count) {
    if (count <= 0)
        return;
    jpeg_source_mgr* src = cinfo->src;
    while (count > static_cast<long>(src->bytes_in_buffer)) {
        count -= static_cast<long>(src->bytes_in_buffer);
        fill_mem_input_buffer(cinfo);
    }
    src->next_input_byte += count;
    src->bytes_in_buffer -= static_cast<std::size_t>(count);
}

void term_mem_source(j_decompress_ptr) {}

struct MemoryDestination {
    jpeg_destination_mgr pub;
    NQMemoryBasedIO* stream;
    JOCTET* block;
};

void init_mem_destination(j_compress_ptr cinfo) {
    MemoryDestination* dest = reinterpret_cast<MemoryDestination*>(cinfo->dest);
    dest->block = static_cast<JOCTET*>((*cinfo->mem->alloc_small)(
        reinterpret_cast<j_common_ptr>(cinfo), JPOOL_IMAGE, kBlockBytes));
    dest->pub.next_output_byte = dest->block;
    dest->pub.free_in_buffer = kBlockBytes;
}

// Gives up through the error manager, which long-jumps back to the save.
void writeOrGiveUp(j_compress_ptr cinfo, int count) {
    MemoryDestination* dest = reinterpret_cast<MemoryDestination*>(cinfo->dest);
    if (dest->stream->nqWrite(dest->block, count) <= 0) {
        errorsOf(reinterpret_cast<j_common_ptr>(cinfo))->writeFailed = true;
        ERREXIT(cinfo, JERR_FILE_WRITE);
    }
}

boolean empty_mem_output_buffer(j_compress_ptr cinfo) {
    writeOrGiveUp(cinfo, kBlockBytes);
    MemoryDestination* dest = reinterpret_cast<MemoryDestination*>(cinfo->dest);
    dest->pub.next_output_byte = dest->block;
    dest->pub.free_in_buffer = kBlockBytes;
    return TRUE;
}

void term_mem_destination(j_compress_ptr cinfo) {
    const int pending = kBlockBytes - static_cast<int>(cinfo->dest->free_in_buffer);
    if (pending > 0)
        writeOrGiveUp(cinfo, pending);
}

// ---- holders --------------------------------------------------------------------

struct FileCloser {
    void operator()(std::FILE* file) const noexcept { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

// A decompressor and the error manager it is created with. Destroying a
// decompressor twice (or one that is all zero) is harmless, so the holder may
// outlive the loads that destroy it themselves.
struct Decompressor {
    jpeg_decompress_struct cinfo{};
    JpegErrorManager errors{};
    bool created = false;
    Decompressor() = default;
    Decompressor(const Decompressor&) = delete;
    Decompressor& operator=(const Decompressor&) = delete;
    ~Decompressor() {
        if (created)
            jpeg_destroy_decompress(&cinfo);
    }
};

struct Compressor {
    jpeg_compress_struct cinfo{};
    JpegErrorManager errors{};
    bool created = false;
    Compressor() = default;
    Compressor(const Compressor&) = delete;
    Compressor& operator=(const Compressor&) = delete;
    ~Compressor() {
        if (created)
            jpeg_destroy_compress(&cinfo);
    }
};

// Destroys a decompressor when a load leaves, on every path.
class DestroyOnExit {
public:
    explicit DestroyOnExit(jpeg_decompress_struct& cinfo) : cinfo_(cinfo) {}
    ~DestroyOnExit() { jpeg_destroy_decompress(&cinfo_); }
    DestroyOnExit(const DestroyOnExit&) = delete;
    DestroyOnExit& operator=(const DestroyOnExit&) = delete;

private:
    jpeg_decompress_struct& cinfo_;
};

// A memory stream collecting compressed bytes; its block is released unless
// it was handed over.
class MemoryOutput {
public:
    MemoryOutput() : stream_(nullptr, 0, "w") {}
    ~MemoryOutput() {
        if (!handedOver_)
            stream_.nqFreeMemBlock();
    }
    MemoryOutput(const MemoryOutput&) = delete;
    MemoryOutput& operator=(const MemoryOutput&) = delete;

    NQMemoryBasedIO* stream() { return &stream_; }
    bool isOpen() const { return stream_.nqGetDescriptor() >= 0; }
    unsigned char* release(int& size) {
        size = stream_.nqGetMemSize();
        handedOver_ = true;
        return stream_.nqGetMemBlock();
    }

private:
    NQMemoryBasedIO stream_;
    bool handedOver_ = false;
};

// ---- the C-shaped frames that libjpeg may jump back to ------------------------------

// Where a decompressor reads from: the file when given, else the buffer.
struct JpegSource {
    std::FILE* file = nullptr;
    const void* buffer = nullptr;
    int size = 0;
};

// Creates the decompressor and sets its source. The source is passed by
// address so that nothing the frame reads lives in a register that the jump
// back could clobber.
bool createWithSource(Decompressor* d, const JpegSource* source) {
    if (setjmp(d->errors.jump))
        return false;
    jpeg_create_decompress(&d->cinfo);
    if (source->file != nullptr)
        jpeg_stdio_src(&d->cinfo, source->file);
    else
        NQJPGImage::nqSetupMemSrcMgr(&d->cinfo, source->buffer, source->size);
    return true;
}

bool openDecompressor(Decompressor* d, std::FILE* file, const void* buffer, int size) {
    d->cinfo.err = installErrorManager(d->errors);
    // Marked first: creation can fail after it has allocated, and destroying
    // a decompressor that was never created is harmless.
    d->created = true;
    const JpegSource source{file, buffer, size};
    return createWithSource(d, &source);
}

bool readHeader(jpeg_decompress_struct* cinfo, JpegErrorManager* errors) {
    if (setjmp(errors->jump))
        return false;
    jpeg_read_header(cinfo, TRUE);
    return true;
}

bool startDecompress(jpeg_decompress_struct* cinfo, JpegErrorManager* errors) {
    if (setjmp(errors->jump))
        return false;
    jpeg_start_decompress(cinfo);
    return true;
}

// One scanline into `row`; false on an error or when no row came.
bool readScanline(jpeg_decompress_struct* cinfo, JpegErrorManager* errors, JSAMPROW row) {
    if (setjmp(errors->jump))
        return false;
    return jpeg_read_scanlines(cinfo, &row, 1) == 1;
}

bool finishDecompress(jpeg_decompress_struct* cinfo, JpegErrorManager* errors) {
    if (setjmp(errors->jump))
        return false;
    jpeg_finish_decompress(cinfo);
    return true;
}

bool createCompressor(Compressor* c) {
    c->cinfo.err = installErrorManager(c->errors);
    c->created = true;
    if (setjmp(c->errors.jump))
        return false;
    jpeg_create_compress(&c->cinfo);
    return true;
}

struct CompressRequest {
    JDIMENSION width;
    JDIMENSION height;
    int components;
    J_COLOR_SPACE colorSpace;
    UINT16 xDensity;
    UINT16 yDensity;
    int quality;
    const JSAMPLE* pixels;
    std::size_t stride;
};

// Compresses the whole image into the file when given, else into `stream`.
bool compress(Compressor* c, const CompressRequest* request, std::FILE* file,
              NQMemoryBasedIO* stream) {
    jpeg_compress_struct* cinfo = &c->cinfo;
    if (setjmp(c->errors.jump))
        return false;
    if (file != nullptr)
        jpeg_stdio_dest(cinfo, file);
    else
        NQJPGImage::nqSetupMemDstMgr(cinfo, stream);
    cinfo->image_width = request->width;
    cinfo->image_height = request->height;
    cinfo->input_components = request->components;
    cinfo->in_color_space = request->colorSpace;
    jpeg_set_defaults(cinfo);
    cinfo->density_unit = 1;
    cinfo->X_density = request->xDensity;
    cinfo->Y_density = request->yDensity;
    jpeg_set_quality(cinfo, request->quality, TRUE);
    jpeg_start_compress(cinfo, TRUE);
    while (cinfo->next_scanline < cinfo->image_height) {
        JSAMPROW row =
            const_cast<JSAMPROW>(request->pixels + cinfo->next_scanline * request->stride);
        if (jpeg_write_scanlines(cinfo, &row, 1) != 1)
            return false;
    }
    jpeg_finish_compress(cinfo);
    return true;
}

// ---- pixels and header ------------------------------------------------------------

// CMYK to RGB: a key clearly below all three inks scales them, otherwise the
// inks are kept as they are.
void reduceCmykRow(const JSAMPLE* cmyk, unsigned char* rgb, std::size_t width) {
    for (std::size_t x = 0; x < width; ++x, cmyk += 4, rgb += 3) {
        const int c = cmyk[0], m = cmyk[1], y = cmyk[2], k = cmyk[3];
        if (k < c - 16 && k < m - 16 && k < y - 16) {
            rgb[0] = static_cast<unsigned char>((c * k) >> 8);
            rgb[1] = static_cast<unsigned char>((m * k) >> 8);
            rgb[2] = static_cast<unsigned char>((y * k) >> 8);
        } else {
            rgb[0] = static_cast<unsigned char>(c);
            rgb[1] = static_cast<unsigned char>(m);
            rgb[2] = static_cast<unsigned char>(y);
        }
    }
}

// The JFIF density. Units that the pixel load records in the header's
// resolution units as well.
void setResolution(NQImageHead& head, const jpeg_decompress_struct& cinfo, bool setUnits) {
    float x = cinfo.X_density;
    float y = cinfo.Y_density;
    switch (cinfo.density_unit) {
        case 0:
            head.nqSetResolutionInInches(false);
            if (setUnits)
                head.nqSetResolutionUnits(NQImageHead::NQ_RES_NONE);
            break;
        case 2:
            x *= kCentimetresPerInch;
            y *= kCentimetresPerInch;
            [[fallthrough]];
        case 1:
            head.nqSetResolutionInInches(true);
            if (setUnits)
                head.nqSetResolutionUnits(NQImageHead::NQ_RES_INCH);
            break;
        default:
            return;
    }
    head.nqSetXResolution(x);
    head.nqSetYResolution(y);
}

// Grey, colour and CMYK or YCCK files; libjpeg has no RGB conversion for others.
bool isDecodableComponentCount(int components) {
    return components == 1 || components == 3 || components == 4;
}

UINT16 densityOf(float dotsPerInch) {
    // Truncated to an integer; values outside 16 bits cannot be stored.
    if (!(dotsPerInch > 0))
        return 0;
    return dotsPerInch >= 65535.0f ? UINT16(65535) : static_cast<UINT16>(dotsPerInch);
}

// The saved form of an image: 1-bit images become grey; others are used as they are.
struct SaveSource {
    NQImage converted;
    const NQImage* image;
};

void prepareSaveSource(const NQImage& image, const char* owner, SaveSource& source) {
    const std::string prefix = std::string("<NQJPGImage::") + owner + "> ";
    if (!image.nqHasImageData())
        fail(NQ_NULL_DATA, prefix + "Image Data is NULL!", __LINE__);
    source.image = &image;
    if (image.nqGetBitsPerPixel() == 1) {
        source.converted = NQBitsPerPixelConverter::nqBinary2Gray(image);
        source.image = &source.converted;
    }
    const NQImage& saved = *source.image;
    const int components = saved.nqGetBitsPerPixel() == 8 ? 1 : 3;
    const std::size_t stride = static_cast<std::size_t>(saved.nqGetRowSize());
    if ((saved.nqGetBitsPerPixel() != 8 && saved.nqGetBitsPerPixel() != 24) ||
        saved.nqGetWidth() <= 0 || saved.nqGetHeight() <= 0 ||
        stride < std::size_t(saved.nqGetWidth()) * components ||
        stride * std::size_t(saved.nqGetHeight()) > saved.nqGetImageDataSize())
        fail(NQ_NOT_IMPLEMENTED, prefix + "Unsupported jpeg type", __LINE__);
}

CompressRequest requestFor(const NQImage& image, int quality) {
    CompressRequest request{};
    request.width = static_cast<JDIMENSION>(image.nqGetWidth());
    request.height = static_cast<JDIMENSION>(image.nqGetHeight());
    request.components = image.nqGetBitsPerPixel() == 8 ? 1 : 3;
    request.colorSpace = request.components == 1 ? JCS_GRAYSCALE : JCS_RGB;
    request.xDensity = densityOf(image.nqGetXResolution());
    request.yDensity = densityOf(image.nqGetYResolution());
    request.quality = quality;
    request.pixels = image.nqGetImageData();
    request.stride = static_cast<std::size_t>(image.nqGetRowSize());
    return request;
}

}  // namespace

// ---- codec object -------------------------------------------------------------------

NQJPGImage::NQJPGImage() : NQBaseImage("JPEG", "jpeg,jpg", 5) {}

NQJPGImage::~NQJPGImage() = default;

NQJPGImage* NQJPGImage::createImageReader() {
    static NQJPGImage instance;
    return &instance;
}

NQJPGPaletteEntry* NQJPGImage::nqAllocatePalette(int n) {
    palette_.assign(static_cast<std::size_t>(std::max(n, 0)), NQJPGPaletteEntry{});
    requestedColors_ = n;
    paletteRequested_ = true;
    return palette_.data();
}

void NQJPGImage::nqFreePalette() {
    palette_.clear();
    palette_.shrink_to_fit();
    paletteRequested_ = false;
    requestedColors_ = 0;
}

void NQJPGImage::nqSetupMemSrcMgr(jpeg_decompress_struct* cinfo, const void* buffer, int size) {
    if (cinfo->src == nullptr || cinfo->src->fill_input_buffer != fill_mem_input_buffer)
        cinfo->src = static_cast<jpeg_source_mgr*>((*cinfo->mem->alloc_small)(
            reinterpret_cast<j_common_ptr>(cinfo), JPOOL_PERMANENT, sizeof(MemorySource)));
    MemorySource* src = reinterpret_cast<MemorySource*>(cinfo->src);
    src->pub.init_source = init_mem_source;
    src->pub.fill_input_buffer = fill_mem_input_buffer;
    src->pub.skip_input_data = skip_mem_input_data;
    src->pub.resync_to_restart = jpeg_resync_to_restart;
    src->pub.term_source = term_mem_source;
    src->pub.bytes_in_buffer = 0;
    src->pub.next_input_byte = nullptr;
    src->buffer = static_cast<const JOCTET*>(buffer);
    src->size = buffer != nullptr && size > 0 ? size : 0;
    src->offset = 0;
}

void NQJPGImage::nqSetupMemDstMgr(jpeg_compress_struct* cinfo, NQMemoryBasedIO* stream) {
    if (cinfo->dest == nullptr || cinfo->dest->empty_output_buffer != empty_mem_output_buffer)
        cinfo->dest = static_cast<jpeg_destination_mgr*>((*cinfo->mem->alloc_small)(
            reinterpret_cast<j_common_ptr>(cinfo), JPOOL_PERMANENT, sizeof(MemoryDestination)));
    MemoryDestination* dest = reinterpret_cast<MemoryDestination*>(cinfo->dest);
    dest->pub.init_destination = init_mem_destination;
    dest->pub.empty_output_buffer = empty_mem_output_buffer;
    dest->pub.term_destination = term_mem_destination;
    dest->stream = stream;
    dest->block = nullptr;
}

// ---- recognition ----------------------------------------------------------------------

namespace {

bool startsLikeJpeg(const unsigned char* bytes) {
    return (bytes[0] == 0xFF && bytes[1] == 0xD8) || (bytes[0] == 0xD8 && bytes[1] == 0xFF);
}

FileHandle openForReading(const char* fileName) {
    return FileHandle(fileName != nullptr ? std::fopen(fileName, "rb") : nullptr);
}

const char* nameOrEmpty(const char* fileName) {
    return fileName != nullptr ? fileName : "";
}

}  // namespace

bool NQJPGImage::nqSupportImageFile(const char* fileName) {
    FileHandle file = openForReading(fileName);
    if (!file) {
        // The one line a run shows for a page image it cannot open, as for every codec.
        logger()->nqLog(NQ_ERROR, "Can't open %s\n", nameOrEmpty(fileName));
        fail(NQ_FILE_OPEN_ERROR,
             std::string("<NQJPGImage::nqSupportImageFile()> Can't open ") + nameOrEmpty(fileName) +
                 ".",
             __LINE__);
    }
    unsigned char bytes[2];
    return std::fread(bytes, 1, 2, file.get()) == 2 && startsLikeJpeg(bytes);
}

bool NQJPGImage::nqSupportImageBuffer(const void* buffer, int size) {
    return buffer != nullptr && size >= 4 &&
           startsLikeJpeg(static_cast<const unsigned char*>(buffer));
}

// ---- loading from a decompressor -------------------------------------------------------

NQImageHead NQJPGImage::nqLoadHeader(jpeg_decompress_struct& cinfo) {
    JpegErrorManager errors;
    cinfo.err = installErrorManager(errors);
    DestroyOnExit destroy(cinfo);
    if (!readHeader(&cinfo, &errors))
        fail(NQ_INVALID_INPUT, "<NQJPGImage::nqLoadHeader()> Decompression Error!", __LINE__);

    NQImageHead head;
    const int width = static_cast<int>(cinfo.image_width);
    head.nqSetWidth(width);
    head.nqSetHeight(static_cast<int>(cinfo.image_height));
    head.nqSetDataAlignment(NQ_1BYTE_ALIGN);
    int channels = cinfo.num_components;
    if (cinfo.out_color_space == JCS_CMYK)
        channels = 3;
    head.nqSetChannels(channels);
    head.nqSetBitsPerPixel(channels * 8);
    head.nqSetRowSize(width * channels);
    if (channels == 1)
        head.nqSetColorModel(NQ_GRAY);
    else if (channels == 3)
        head.nqSetColorModel(NQ_RGBCOLOR);
    else
        fail(NQ_NOT_IMPLEMENTED, "<NQJPGImage::nqLoadHeader()> Unsupported jpeg type", __LINE__);
    setResolution(head, cinfo, false);
    return head;
}

void NQJPGImage::prepareQuantisation(jpeg_decompress_struct& cinfo) {
    if (requestedColors_ < 8 || requestedColors_ > 256)
        requestedColors_ = 256;
    if (palette_.size() < static_cast<std::size_t>(requestedColors_))
        palette_.assign(static_cast<std::size_t>(requestedColors_), NQJPGPaletteEntry{});
    cinfo.quantize_colors = TRUE;
    cinfo.two_pass_quantize = TRUE;
    cinfo.desired_number_of_colors = requestedColors_;
}

// Replaces the one-byte colour indices at the start of `pixels` by their RGB
// colours, from the last pixel back so that no index is overwritten before it
// is read, and counts the pixels of every colour.
void NQJPGImage::expandQuantised(jpeg_decompress_struct& cinfo, unsigned char* pixels,
                                 std::size_t count) {
    const int colors = std::min(cinfo.actual_number_of_colors, static_cast<int>(palette_.size()));
    JSAMPARRAY map = cinfo.colormap;
    for (int i = 0; i < colors; ++i)
        palette_[static_cast<std::size_t>(i)] = {map[0][i], map[1][i], map[2][i], 0};
    bool reported = false;
    for (std::size_t p = count; p-- > 0;) {
        const int index = pixels[p];
        unsigned char* rgb = pixels + 3 * p;
        if (index >= colors) {
            if (!reported)
                logger()->nqLog("Bounds exceeded in NQJPGImage::nqLoadImage()", NQ_ERROR);
            reported = true;
            rgb[0] = rgb[1] = rgb[2] = 0;
            continue;
        }
        ++palette_[static_cast<std::size_t>(index)].count;
        rgb[0] = map[0][index];
        rgb[1] = map[1][index];
        rgb[2] = map[2][index];
    }
}

void NQJPGImage::countGreyLevels(const unsigned char* pixels, std::size_t count) {
    actualColors_ = 256;
    if (palette_.size() < 256) {
        palette_.assign(256, NQJPGPaletteEntry{});
        requestedColors_ = 256;
        paletteRequested_ = true;
    }
    for (int level = 0; level < 256; ++level) {
        const auto value = static_cast<unsigned char>(level);
        palette_[static_cast<std::size_t>(level)] = {value, value, value, 0};
    }
    for (std::size_t p = 0; p < count; ++p)
        ++palette_[pixels[p]].count;
}

namespace {

// Bytes that the decompressor's source holds: known for the memory source.
std::uint64_t codedBytesOf(const jpeg_decompress_struct& cinfo) {
    if (cinfo.src == nullptr || cinfo.src->fill_input_buffer != fill_mem_input_buffer)
        return kUnknownSize;
    return static_cast<std::uint64_t>(reinterpret_cast<const MemorySource*>(cinfo.src)->size);
}

std::uint64_t sizeOf(std::FILE* file) {
    struct stat status {};
    return fstat(fileno(file), &status) == 0 && status.st_size > 0
               ? static_cast<std::uint64_t>(status.st_size)
               : 0;
}

}  // namespace

NQImage NQJPGImage::nqLoadImage(jpeg_decompress_struct& cinfo) {
    return decodeImage(cinfo, codedBytesOf(cinfo));
}

NQImage NQJPGImage::decodeImage(jpeg_decompress_struct& cinfo, std::uint64_t codedBytes) {
    JpegErrorManager errors;
    cinfo.err = installErrorManager(errors);
    DestroyOnExit destroy(cinfo);
    const char* decompressionError = "<NQJPGImage::nqLoadImage()> Decompression Error!";
    if (!readHeader(&cinfo, &errors))
        fail(NQ_INVALID_INPUT, decompressionError, __LINE__);
    colorSpace_ = cinfo.out_color_space;
    const int components = cinfo.num_components;
    if (!isDecodableComponentCount(components))
        fail(NQ_NOT_IMPLEMENTED, "<NQJPGImage::nqLoadImage()> Unsupported tiff type", __LINE__);
    const int bits = components == 1 ? 8 : 24;
    const std::size_t bytes = NQImage::dataSizeFor(
        static_cast<int>(std::min<JDIMENSION>(cinfo.image_width, INT_MAX)),
        static_cast<int>(std::min<JDIMENSION>(cinfo.image_height, INT_MAX)), bits);
    const char* noMemory = "<NQJPGImage::nqLoadImage()> Unable to allocate Memory";
    if (bytes == 0)
        fail(NQ_MEMORY_ERROR, noMemory, __LINE__);
    // A progressive file keeps two bytes per coefficient of every component.
    const std::uint64_t coefficients =
        cinfo.progressive_mode
            ? 2 * std::uint64_t(cinfo.image_width) * cinfo.image_height * std::uint64_t(components)
            : 0;
    if (!NQDecodeLimits::isClaimBacked(std::max<std::uint64_t>(bytes, coefficients), bytes,
                                       codedBytes,
                                       components == 1 ? kMaxGreyRatio : kMaxColourRatio))
        fail(NQ_INVALID_CONTENT,
             "<NQJPGImage::nqLoadImage()> The image claims more pixel data than the file holds",
             __LINE__);
    const bool quantised = paletteRequested_ && cinfo.out_color_space == JCS_RGB;
    if (quantised)
        prepareQuantisation(cinfo);
    ScanLimit scanLimit{};
    scanLimit.pub.progress_monitor = stopAfterTooManyScans;
    cinfo.progress = &scanLimit.pub;
    // Scans are read while decompression starts, and for some files while
    // rows are read as well.
    auto failDecompression = [&](int line) {
        if (scanLimit.exceeded)
            fail(NQ_INVALID_CONTENT,
                 "<NQJPGImage::nqLoadImage()> The file has more than " + std::to_string(kMaxScans) +
                     " scans",
                 line);
        fail(NQ_INVALID_INPUT, decompressionError, line);
    };
    if (!startDecompress(&cinfo, &errors))
        failDecompression(__LINE__);
    actualColors_ = cinfo.actual_number_of_colors;

    const std::size_t width = cinfo.output_width;
    const std::size_t height = cinfo.output_height;
    const bool cmyk = cinfo.out_color_space == JCS_CMYK;
    const int outputComponents = cinfo.output_components;
    // Quantised rows arrive as indices and are expanded to RGB in place; CMYK
    // rows go through `cmykRow`. Either way the block holds the RGB result.
    if (width * height * (components == 1 ? 1 : 3) != bytes ||
        (cmyk ? outputComponents != 4 : outputComponents != (quantised ? 1 : bits / 8)))
        fail(NQ_NOT_IMPLEMENTED, "<NQJPGImage::nqLoadImage()> Unsupported tiff type", __LINE__);
    std::unique_ptr<unsigned char[]> data = nqNewPixelBlock(bytes);
    std::vector<JSAMPLE> cmykRow;
    if (data && cmyk) {
        try {
            cmykRow.resize(width * 4);
        } catch (const std::bad_alloc&) {
            data.reset();
        }
    }
    if (!data)
        fail(NQ_MEMORY_ERROR, noMemory, __LINE__);
    const std::size_t stride = width * static_cast<std::size_t>(outputComponents);
    while (cinfo.output_scanline < cinfo.output_height) {
        const std::size_t y = cinfo.output_scanline;
        JSAMPROW row = cmyk ? cmykRow.data() : data.get() + y * stride;
        if (!readScanline(&cinfo, &errors, row))
            failDecompression(__LINE__);
        if (cmyk)
            reduceCmykRow(cmykRow.data(), data.get() + y * width * 3, width);
    }
    if (quantised)
        expandQuantised(cinfo, data.get(), width * height);
    else if (paletteRequested_ && cinfo.jpeg_color_space == JCS_GRAYSCALE)
        countGreyLevels(data.get(), width * height);
    if (!finishDecompress(&cinfo, &errors))
        failDecompression(__LINE__);

    NQImageHead head;
    head.nqSetWidth(static_cast<int>(width));
    head.nqSetHeight(static_cast<int>(height));
    head.nqSetChannels(bits / 8);
    head.nqSetBitsPerPixel(bits);
    head.nqSetColorModel(bits == 8 ? NQ_GRAY : NQ_RGBCOLOR);
    head.nqSetRowSize(static_cast<int>(bytes / height));
    head.nqSetDataAlignment(NQ_1BYTE_ALIGN);
    setResolution(head, cinfo, true);
    NQImage image(std::move(data), head);
    if (errors.pub.num_warnings > 0) {
        image.setIsImageCorrupted(true);
        logger()->nqLog("Warning opening jpeg!", NQ_INFO);
    }
    return image;
}

// ---- loading by name or buffer -----------------------------------------------------------

NQImage NQJPGImage::nqLoadImage(const char* fileName) {
    FileHandle file = openForReading(fileName);
    if (!file) {
        logger()->nqLog(NQ_ERROR, "Can't open %s\n", nameOrEmpty(fileName));
        fail(NQ_FILE_OPEN_ERROR, "<NQJPGImage::nqLoadImage()> Cannot open file!", __LINE__);
    }
    Decompressor decompressor;
    if (!openDecompressor(&decompressor, file.get(), nullptr, 0))
        fail(NQ_INVALID_INPUT, "<NQJPGImage::nqLoadImage()> Decompression Error!", __LINE__);
    return decodeImage(decompressor.cinfo, sizeOf(file.get()));
}

NQImage NQJPGImage::nqLoadImage(const void* buffer, int size) {
    Decompressor decompressor;
    if (!openDecompressor(&decompressor, nullptr, buffer, size))
        fail(NQ_INVALID_INPUT, "<NQJPGImage::nqLoadImage()> Decompression Error!", __LINE__);
    return nqLoadImage(decompressor.cinfo);
}

void NQJPGImage::nqLoadImage(const char* fileName, NQImage& out) {
    out = nqLoadImage(fileName);
}

NQImageHead NQJPGImage::nqLoadHeader(const char* fileName) {
    FileHandle file = openForReading(fileName);
    if (!file) {
        logger()->nqLog(NQ_ERROR, "Can't open %s\n", nameOrEmpty(fileName));
        fail(NQ_FILE_OPEN_ERROR, "<NQJPGImage::nqLoadHeader()> Cannot open file!", __LINE__);
    }
    Decompressor decompressor;
    if (!openDecompressor(&decompressor, file.get(), nullptr, 0))
        fail(NQ_INVALID_INPUT, "<NQJPGImage::nqLoadHeader()> Decompression Error!", __LINE__);
    return nqLoadHeader(decompressor.cinfo);
}

NQImageHead NQJPGImage::nqLoadHeader(const void* buffer, int size) {
    Decompressor decompressor;
    if (!openDecompressor(&decompressor, nullptr, buffer, size))
        fail(NQ_INVALID_INPUT, "<NQJPGImage::nqLoadHeader()> Decompression Error!", __LINE__);
    return nqLoadHeader(decompressor.cinfo);
}

// ---- pages ------------------------------------------------------------------------------

int NQJPGImage::nqGetTotalPages(const void*, int) {
    return 1;
}

int NQJPGImage::nqGetTotalPages(const char*) {
    return 1;
}

namespace {

// Page checks of a load by name; `operation` names it in the messages.
void checkNamedPage(const char* operation, const char* fileName, int page, int pages) {
    const std::string prefix = std::string("<NQJPGImage::") + operation + "()>";
    if (page <= 0) {
        logger()->nqLog("JPEG Page number can't be 0 (zero)", NQ_ERROR);
        fail(NQ_INVALID_PAGE, prefix + " JPEG Page number can't be 0 (zero).", __LINE__);
    }
    if (page > pages)
        fail(NQ_INVALID_PAGE,
             prefix + ": Image " + nameOrEmpty(fileName) + " contains only " +
                 std::to_string(pages) + " pages. User requesting page " + std::to_string(page) +
                 ".",
             __LINE__);
}

void checkBufferPage(const char* operation, int page, int pages) {
    const std::string prefix = std::string("<NQJPGImage::") + operation + "()>";
    if (page <= 0)
        fail(NQ_INVALID_PAGE, prefix + " Page number can't be 0 (zero).", __LINE__);
    if (page > pages)
        fail(NQ_INVALID_PAGE,
             prefix + ": Image contains only " + std::to_string(pages) +
                 " pages. User requesting page " + std::to_string(page) + ".",
             __LINE__);
}

}  // namespace

NQImage NQJPGImage::nqLoadImageAtPage(const char* fileName, int page) {
    checkNamedPage("nqLoadImageAtPage", fileName, page, nqGetTotalPages(fileName));
    return nqLoadImage(fileName);
}

NQImage NQJPGImage::nqLoadImageAtPage(const void* buffer, int size, int page) {
    checkBufferPage("nqLoadImageAtPage", page, nqGetTotalPages(buffer, size));
    return nqLoadImage(buffer, size);
}

NQImageHead NQJPGImage::nqLoadHeaderAtPage(const char* fileName, int page) {
    checkNamedPage("nqLoadHeaderAtPage", fileName, page, nqGetTotalPages(fileName));
    return nqLoadHeader(fileName);
}

NQImageHead NQJPGImage::nqLoadHeaderAtPage(const void* buffer, int size, int page) {
    checkBufferPage("nqLoadHeaderAtPage", page, nqGetTotalPages(buffer, size));
    return nqLoadHeader(buffer, size);
}

// ---- saving -------------------------------------------------------------------------------

void NQJPGImage::nqSaveImage(const char* fileName, const NQImage& image) {
    nqSaveImage(fileName, image, kDefaultQuality);
}

unsigned char* NQJPGImage::nqSaveImageToMem(int& size, const NQImage& image) {
    return nqSaveImageToMem(size, image, kDefaultQuality);
}

void NQJPGImage::nqSaveImage(const char* fileName, const NQImage& image, int quality) {
    if (fileName == nullptr)
        return;
    SaveSource source;
    prepareSaveSource(image, "nqSaveImage()", source);
    Compressor compressor;
    if (!createCompressor(&compressor))
        fail(NQ_INVALID_INPUT, "<NQJPGImage::nqSaveImage()> Compression Error!", __LINE__);
    FileHandle file(std::fopen(fileName, "wb"));
    if (!file)
        fail(NQ_IO_ERROR, "<NQJPGImage::nqSaveImage()> Could not open file for writing", __LINE__);
    const CompressRequest request = requestFor(*source.image, quality);
    if (!compress(&compressor, &request, file.get(), nullptr))
        fail(NQ_INVALID_INPUT, "<NQJPGImage::nqSaveImage()> Compression Error!", __LINE__);
    if (std::fclose(file.release()) != 0)
        fail(NQ_IO_ERROR, "<NQJPGImage::nqSaveImage()> Could not write the file", __LINE__);
}

unsigned char* NQJPGImage::nqSaveImageToMem(int& size, const NQImage& image, int quality) {
    SaveSource source;
    prepareSaveSource(image, "nqSaveImageToMem()", source);
    Compressor compressor;
    if (!createCompressor(&compressor))
        fail(NQ_INVALID_INPUT, "<NQJPGImage::nqSaveImageToMem()> Compression Error!", __LINE__);
    MemoryOutput output;
    const char* cannotWrite = "<NQJPGImage::nqSaveImageToMem()> Cannot write to buffer!";
    if (!output.isOpen())
        fail(NQ_MEMORY_ERROR, cannotWrite, __LINE__);
    const CompressRequest request = requestFor(*source.image, quality);
    if (!compress(&compressor, &request, nullptr, output.stream())) {
        if (compressor.errors.writeFailed)
            fail(NQ_MEMORY_ERROR, cannotWrite, __LINE__);
        fail(NQ_INVALID_INPUT, "<NQJPGImage::nqSaveImageToMem()> Compression Error!", __LINE__);
    }
    return output.release(size);
}
