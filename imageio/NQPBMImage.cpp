// The PBM codec.
//
// After the two magic bytes the rest of the magic's line is skipped, then
// comment lines (starting with '#') and empty lines; the next line holds the
// width and the height. The binary form follows as rows of (width + 7) / 8
// bytes without padding, read in one piece and inverted into the image. The
// plain form is read character by character into a grey buffer ("1" black,
// "0" white; blanks and newlines skipped, any other byte counts as a column
// but writes nothing) that is thresholded at 127, so a stray byte shifts the
// rest of the picture instead of aborting the load.
//
// The dimensions are checked with NQImage::dataSizeFor before the image block
// is allocated; the plain form's grey buffer grows with the rows read.
#include "imageio/NQPBMImage.h"

#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "analysis/NQBitsPerPixelConverter.h"
#include "image/NQException.h"
#include "image/NQLogger.h"
#include "image/NQPixelBlock.h"
#include "imageio/NQCodecSupport.h"

namespace {

constexpr const char* kModule = "NQPBMImage";
constexpr short kBinaryMagic = 13392;  // "P4" read little-endian
constexpr short kPlainMagic = 12624;   // "P1"
constexpr float kResolution = 200;
constexpr int kThreshold = 127;

NQLogger* logger() {
    return NQLogger::nqGetInstance();
}

[[noreturn]] void fail(NQExceptionCodes code, const char* text, int line) {
    throw NQException(code, text, kModule, line);
}

bool isPbmMagic(const unsigned char* bytes) {
    return bytes[0] == 'P' && (bytes[1] == '4' || bytes[1] == '1');
}

short readMagic(NQIOStream& in) {
    const short magic = in.nqGetShort(NQ_LITTLE_ENDIAN);
    logger()->nqLog(NQ_DEBUG, "\tID is: %d, should be %d or %d\n", magic, kBinaryMagic,
                    kPlainMagic);
    return magic;
}

// Width and height from the first line after the magic's line that is
// neither a comment nor empty; false when there is no such line or it does
// not start with two numbers.
bool readDimensions(NQIOStream& in, int& width, int& height) {
    in.nqGetLine();
    std::string line = in.nqGetLine();
    while (!line.empty() && (line[0] == '#' || line[0] == '\n'))
        line = in.nqGetLine();
    int values[2] = {0, 0};
    if (!NQCodecSupport::scanInts(line, 2, values))
        return false;
    width = values[0];
    height = values[1];
    return width > 0 && height > 0;
}

NQImageHead binaryHead(int width, int height) {
    return NQCodecSupport::decodedHead(width, height, 1, kResolution, kResolution);
}

[[noreturn]] void failRead(int line) {
    logger()->nqLog(NQ_DEBUG, "Image read failed\n");
    fail(NQ_UNKNOWN_FORMAT, "<NQPBMImage::nqLoadImage()> Unknown File Format", line);
}

constexpr const char* kNoMemory =
    "<NQBMPImage::nqLoadImage()> Could not allocate enough memory for the uncompressed image";

NQImage readBinaryForm(NQIOStream& in, int width, int height) {
    const NQImageHead head = binaryHead(width, height);
    const std::size_t bytes = NQImage::dataSizeFor(width, height, 1);
    // A file too short for the rows fails as its read would, before the
    // block is allocated.
    if (bytes != 0 && NQCodecSupport::bytesLeft(in) < bytes)
        failRead(__LINE__);
    std::unique_ptr<unsigned char[]> data =
        NQCodecSupport::allocatePixels(bytes, kNoMemory, kModule, __LINE__);
    const int rowSize = head.nqGetRowSize();
    logger()->nqLog(NQ_DEBUG, "\tWidth: %d\t", width);
    logger()->nqLog(NQ_DEBUG, "\tHeight: %d\n", height);
    logger()->nqLog(NQ_DEBUG, "\tRowsize: %d\n", rowSize);
    logger()->nqLog(NQ_DEBUG, "\tmaxIdx: %d\n", static_cast<int>(bytes));
    // dataSizeFor bounds the block far below INT_MAX.
    if (in.nqRead(data.get(), static_cast<int>(bytes)) <= 0)
        failRead(__LINE__);
    nqInvertBytes(data.get(), bytes);
    return NQImage(std::move(data), head);
}

NQImage readPlainForm(NQIOStream& in, int width, int height) {
    const NQImageHead head =
        NQCodecSupport::decodedHead(width, height, 8, kResolution, kResolution);
    const std::size_t bytes = NQImage::dataSizeFor(width, height, 8);
    if (bytes == 0)
        fail(NQ_MEMORY_ERROR, kNoMemory, __LINE__);
    // Every pixel takes at least one byte of the file, so the grey buffer
    // grows row by row with what was read instead of following the header.
    std::vector<unsigned char> grey;
    // One write position over the whole buffer, one column count per row: the
    // write position never passes the columns counted, so it stays in bounds.
    std::size_t position = 0;
    try {
        for (int y = 0; y < height; ++y) {
            grey.resize(grey.size() + static_cast<std::size_t>(width), 255);
            for (int column = 0; column < width;) {
                unsigned char c = 0;
                if (in.nqRead(&c, 1) <= 0)
                    failRead(__LINE__);
                if (c == '1' || c == '0') {
                    grey[position++] = c == '1' ? 0 : 255;
                    ++column;
                } else if (c != ' ' && c != '\n') {
                    ++column;
                }
            }
        }
    } catch (const std::bad_alloc&) {
        fail(NQ_MEMORY_ERROR, kNoMemory, __LINE__);
    }
    std::unique_ptr<unsigned char[]> data =
        NQCodecSupport::allocatePixels(bytes, kNoMemory, kModule, __LINE__);
    std::memcpy(data.get(), grey.data(), bytes);
    const NQImage greyImage(std::move(data), head);
    return NQBitsPerPixelConverter::nqDownscaleGray2Binary_global(greyImage, kThreshold);
}

// The image reduced to binary for writing.
NQImage binaryOf(const NQImage& image) {
    switch (image.nqGetBitsPerPixel()) {
        case 1:
            return image;
        case 8:
            return NQBitsPerPixelConverter::nqDownscaleGray2Binary_global(image, kThreshold);
        case 24:
            return NQBitsPerPixelConverter::nqDownscaleGray2Binary_global(
                NQBitsPerPixelConverter::nqDownscaleColor2Gray_global(image), kThreshold);
        default:
            fail(NQ_UNSUPPORTED,
                 "<NQPBMImage::nqSaveImage()> Only 1, 8 and 24 bit images can be saved", __LINE__);
    }
}

void writeOrFail(bool written, int line) {
    if (!written)
        fail(NQ_IO_ERROR, "<NQPBMImage::nqSaveImage()> Image write failed", line);
}

}  // namespace

NQPBMImage::NQPBMImage() : NQBaseImage("PBM", "pbm", 5) {}

NQPBMImage::~NQPBMImage() = default;

NQPBMImage* NQPBMImage::createImageReader() {
    static NQPBMImage instance;
    return &instance;
}

// ---- recognition --------------------------------------------------------------

bool NQPBMImage::nqSupportImageFile(const char* fileName) {
    NQCodecSupport::FileHandle file(fileName != nullptr ? std::fopen(fileName, "rb") : nullptr);
    if (!file) {
        logger()->nqLog(NQ_ERROR, "Can't open %s\n", fileName != nullptr ? fileName : "");
        fail(NQ_FILE_OPEN_ERROR, "<NQPBMImage::nqSupportImageFile()> Can not open file!", __LINE__);
    }
    unsigned char magic[2];
    return std::fread(magic, 1, 2, file.get()) == 2 && isPbmMagic(magic);
}

bool NQPBMImage::nqSupportImageBuffer(const void* buffer, int size) {
    return buffer != nullptr && size >= 2 && isPbmMagic(static_cast<const unsigned char*>(buffer));
}

// ---- loading --------------------------------------------------------------------

NQImageHead NQPBMImage::nqLoadHeader(NQIOStream& in) {
    readMagic(in);
    int width = 0, height = 0;
    if (!readDimensions(in, width, height))
        fail(NQ_UNKNOWN_FORMAT, "<NQPBMImage::nqLoadHeader()> Unknown File Format", __LINE__);
    return binaryHead(width, height);
}

NQImage NQPBMImage::nqLoadImage(NQIOStream& in) {
    const short magic = readMagic(in);
    int width = 0, height = 0;
    if (!readDimensions(in, width, height))
        fail(NQ_UNKNOWN_FORMAT, "<NQPBMImage::nqLoadImage()> Unknown File Format", __LINE__);
    return magic == kBinaryMagic ? readBinaryForm(in, width, height)
                                 : readPlainForm(in, width, height);
}

NQImage NQPBMImage::nqLoadImage(const char* fileName) {
    NQFileBasedIO in(fileName, "rb");
    return nqLoadImage(in);
}

// Mode "rb" only reads the caller's buffer.
NQImage NQPBMImage::nqLoadImage(const void* buffer, int size) {
    NQMemoryBasedIO in(const_cast<void*>(buffer), size, "rb");
    return nqLoadImage(in);
}

NQImageHead NQPBMImage::nqLoadHeader(const char* fileName) {
    NQFileBasedIO in(fileName, "rb");
    return nqLoadHeader(in);
}

NQImageHead NQPBMImage::nqLoadHeader(const void* buffer, int size) {
    NQMemoryBasedIO in(const_cast<void*>(buffer), size, "rb");
    return nqLoadHeader(in);
}

// ---- pages ------------------------------------------------------------------------

int NQPBMImage::nqGetTotalPages(const void*, int) {
    return 1;
}

int NQPBMImage::nqGetTotalPages(const char*) {
    return 1;
}

NQImage NQPBMImage::nqLoadImageAtPage(const char* fileName, int page) {
    NQCodecSupport::checkSinglePage(
        page, "<NQPBMImage::nqLoadImageAtPage()> Page number can't be 0 (zero).",
        NQ_INVALID_CONTENT,
        "<NQPBMImage::nqLoadImageAtPage()> Image only contain %d pages. User requesting page %d.",
        kModule, __LINE__);
    return nqLoadImage(fileName);
}

NQImage NQPBMImage::nqLoadImageAtPage(const void* buffer, int size, int page) {
    NQCodecSupport::checkSinglePage(
        page, "<NQPBMImage::nqLoadImageAtPage()> Page number can't be 0 (zero).",
        NQ_INVALID_CONTENT,
        "<NQPBMImage::nqLoadImageAtPage()> Image only contain %d pages. User requesting page %d.",
        kModule, __LINE__);
    return nqLoadImage(buffer, size);
}

NQImageHead NQPBMImage::nqLoadHeaderAtPage(const char* fileName, int page) {
    NQCodecSupport::checkSinglePage(
        page, "<NQPBMImage::nqLoadHeaderAtPage()> Page number can't be 0 (zero).", NQ_INVALID_PAGE,
        "<NQPBMImage::nqLoadHeaderAtPage()> Image only contain %d pages. User requesting page %d.",
        kModule, __LINE__);
    return nqLoadHeader(fileName);
}

NQImageHead NQPBMImage::nqLoadHeaderAtPage(const void* buffer, int size, int page) {
    NQCodecSupport::checkSinglePage(
        page, "<NQPBMImage::nqLoadHeaderAtPage()> Page number can't be 0 (zero).", NQ_INVALID_PAGE,
        "<NQPBMImage::nqLoadHeaderAtPage()> Image only contain %d pages. User requesting page %d.",
        kModule, __LINE__);
    return nqLoadHeader(buffer, size);
}

// ---- saving -------------------------------------------------------------------------

void NQPBMImage::nqSaveImage(NQIOStream& out, const NQImage& image) {
    if (!image.nqHasImageData())
        fail(NQ_NULL_DATA, "<NQPBMImage::nqSaveImage()> Image Data is NULL!", __LINE__);
    const NQImage binary = binaryOf(image);
    char size[64];
    const int length =
        std::snprintf(size, sizeof size, "\n%d %d\n", binary.nqGetWidth(), binary.nqGetHeight());
    writeOrFail(out.nqWriteShort(kBinaryMagic, NQ_LITTLE_ENDIAN) > 0, __LINE__);
    writeOrFail(out.nqWrite(size, length) > 0, __LINE__);

    const std::size_t bytes = binary.nqGetImageDataSize();
    std::vector<unsigned char> inverted(binary.nqGetImageData(), binary.nqGetImageData() + bytes);
    for (unsigned char& byte : inverted)
        byte = static_cast<unsigned char>(~byte);
    writeOrFail(out.nqWrite(inverted.data(), static_cast<int>(bytes)) > 0, __LINE__);
}

void NQPBMImage::nqSaveImage(const char* fileName, const NQImage& image) {
    NQFileBasedIO out(fileName, "wb");
    nqSaveImage(out, image);
    writeOrFail(out.nqClose(), __LINE__);
}

unsigned char* NQPBMImage::nqSaveImageToMem(int& size, const NQImage& image) {
    NQCodecSupport::MemoryOutput out;
    if (!out.isOpen())
        fail(NQ_IO_ERROR, "<NQPBMImage::nqSaveImageToMem()> No memory file is free", __LINE__);
    nqSaveImage(out.stream(), image);
    return out.release(size);
}
