// The BMP codec: a strictly sequential reader and an uncompressed writer.
//
// The reader never seeks: the palette is taken to follow the 54 header bytes
// and the rows to follow the palette, whatever the data offset says; the
// offset only decides whether there is a palette (55 or more). Rows are read
// whole, with their padding, and converted into the image from the bottom row
// up, so a file that ends early fails on the row it cannot supply; a file
// whose remaining bytes cannot hold the rows fails the same way before the
// image block is allocated, so a short header cannot claim a large block.
//
// Nothing read from a file sizes an allocation without a bound: the image
// block is checked with NQImage::dataSizeFor before it is allocated, and the
// palette is a fixed table of 256 entries. A longer palette is read through
// (its extra entries can name no pixel of a depth of 8 bits or less) and a
// shorter one leaves the missing entries black, so every index of a 4- or
// 8-bit row has a colour. 16-bit pixels are 5-5-5 direct colour whether or not
// a palette precedes them.
#include "imageio/NQBMPImage.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "image/NQException.h"
#include "image/NQLogger.h"
#include "imageio/NQCodecSupport.h"

namespace {

constexpr const char* kModule = "NQBMPImage";
constexpr short kBitmapType = 19778;  // "BM"
constexpr int kHeaderBytes = 54;

NQLogger* logger() {
    return NQLogger::nqGetInstance();
}

[[noreturn]] void fail(NQExceptionCodes code, const std::string& text, int line) {
    throw NQException(code, text, kModule, line);
}

// The two headers in file order.
struct BmpHeaders {
    short type = 0;
    int fileSize = 0;
    int dataOffset = 0;
    int infoSize = 0;
    int width = 0;
    int height = 0;
    short planes = 0;
    short bits = 0;
    int compression = 0;
    int imageSize = 0;
    int xResolution = 0;
    int yResolution = 0;
    int colours = 0;
    int importantColours = 0;

    bool hasPalette() const { return bits != 24 && dataOffset >= 55; }
    // Depth of the decoded image.
    int resultBits() const {
        if (bits == 1)
            return 1;
        return bits == 8 && !hasPalette() ? 8 : 24;
    }
};

// Fields missing at the end of the data read as 0, which the checks refuse.
BmpHeaders readHeaders(NQIOStream& in) {
    BmpHeaders h;
    h.type = in.nqGetShort(NQ_LITTLE_ENDIAN);
    h.fileSize = in.nqGetInt(NQ_LITTLE_ENDIAN);
    in.nqGetShort(NQ_LITTLE_ENDIAN);
    in.nqGetShort(NQ_LITTLE_ENDIAN);
    h.dataOffset = in.nqGetInt(NQ_LITTLE_ENDIAN);
    h.infoSize = in.nqGetInt(NQ_LITTLE_ENDIAN);
    h.width = in.nqGetInt(NQ_LITTLE_ENDIAN);
    h.height = in.nqGetInt(NQ_LITTLE_ENDIAN);
    h.planes = in.nqGetShort(NQ_LITTLE_ENDIAN);
    h.bits = in.nqGetShort(NQ_LITTLE_ENDIAN);
    h.compression = in.nqGetInt(NQ_LITTLE_ENDIAN);
    h.imageSize = in.nqGetInt(NQ_LITTLE_ENDIAN);
    h.xResolution = in.nqGetInt(NQ_LITTLE_ENDIAN);
    h.yResolution = in.nqGetInt(NQ_LITTLE_ENDIAN);
    h.colours = in.nqGetInt(NQ_LITTLE_ENDIAN);
    h.importantColours = in.nqGetInt(NQ_LITTLE_ENDIAN);
    logger()->nqLog(NQ_INFO, "ID is: %d, should be %d\n", h.type, kBitmapType);
    logger()->nqLog(NQ_INFO, "File size is %d bytes\n", h.fileSize);
    logger()->nqLog(NQ_INFO, "Offset to image data is %d bytes\n", h.dataOffset);
    return h;
}

// The refusal texts of the header load and of the image load.
struct CheckTexts {
    const char* size;
    const char* compression;
    const char* bits;
};

constexpr CheckTexts kHeaderChecks{
    "<NQBMPImage::nqLoadHeader()> Size, width, and height must be positive values.",
    "<NQBMPImage::nqLoadHeader()> Unknown BMP Compression Method.  Possible compression types are "
    "0-3.",
    "<NQBMPImage::nqLoadHeader()> Encountered unsupported infoheader.bits in bmp file"};

constexpr CheckTexts kImageChecks{
    "<NQBMPImage::nqLoadImage()> Unknown File Format. Size, width, and height must be positive "
    "values.",
    "<NQBMPImage::nqLoadImage()> Unknown BMP Compression Method.  Possible compression types are "
    "0-3.",
    "<NQBMPImage::nqLoadImage()>Encountered unsupported infoheader.bits in bmp file"};

void checkHeaders(const BmpHeaders& h, const CheckTexts& texts) {
    if (h.infoSize == 0 || h.width < 1 || h.height < 1 || h.bits == 0)
        fail(NQ_UNKNOWN_FORMAT, texts.size, __LINE__);
    // The field is unsigned in the file: a negative int is a value above 3.
    if (static_cast<std::uint32_t>(h.compression) > 3)
        fail(NQ_UNKNOWN_FORMAT, texts.compression, __LINE__);
    if (h.bits != 1 && h.bits != 4 && h.bits != 8 && h.bits != 16 && h.bits != 24)
        fail(NQ_UNSUPPORTED, texts.bits, __LINE__);
}

NQImageHead headFor(const BmpHeaders& h) {
    return NQCodecSupport::decodedHead(h.width, h.height, h.resultBits(),
                                       static_cast<float>(h.xResolution),
                                       static_cast<float>(h.yResolution));
}

[[noreturn]] void failRead(int line) {
    logger()->nqLog(NQ_DEBUG, "Image read failed\n");
    fail(NQ_UNKNOWN_FORMAT, "<NQBMPImage::nqLoadImage()> Unknown File Format", line);
}

void readOrFail(NQIOStream& in, void* dst, int n, int line) {
    if (n > 0 && in.nqRead(dst, n) <= 0)
        failRead(line);
}

// Colours of the indices of a 4- or 8-bit image, as red, green, blue.
struct Palette {
    unsigned char rgb[256][3] = {};
};

// Reads all `entries` four-byte entries (blue, green, red, reserved) and keeps
// the first 256.
void readPalette(NQIOStream& in, std::uint32_t entries, Palette& palette) {
    const bool logEntries = logger()->isOkToLog(NQ_DEBUG);
    unsigned char chunk[1024];
    std::uint32_t index = 0;
    while (index < entries) {
        const std::uint32_t count = std::min<std::uint32_t>(entries - index, sizeof chunk / 4);
        readOrFail(in, chunk, static_cast<int>(count * 4), __LINE__);
        for (std::uint32_t i = 0; i < count; ++i, ++index) {
            const unsigned char* entry = chunk + 4 * i;
            if (index < 256) {
                palette.rgb[index][0] = entry[2];
                palette.rgb[index][1] = entry[1];
                palette.rgb[index][2] = entry[0];
            }
            if (logEntries)
                logger()->nqLog(NQ_DEBUG, "%3d\t%3d\t%3d\t%3d\n", static_cast<int>(index), entry[2],
                                entry[1], entry[0]);
        }
    }
}

// Without a palette, 4-bit indices are read as 16 grey levels.
void greyLevels(Palette& palette) {
    for (int i = 0; i < 16; ++i)
        palette.rgb[i][0] = palette.rgb[i][1] = palette.rgb[i][2] =
            static_cast<unsigned char>(17 * i);
}

void logImageFields(const BmpHeaders& h) {
    logger()->nqLog(NQ_INFO, "Image size = %d x %d\n", h.width, h.height);
    logger()->nqLog(NQ_INFO, "Number of colour planes is %d\n", h.planes);
    logger()->nqLog(NQ_INFO, "Bits per pixel is %d\n", h.bits);
    logger()->nqLog(NQ_INFO, "Compression type is %d\n", h.compression);
    logger()->nqLog(NQ_INFO, "infoheader.imagesize  is %d\n", h.imageSize);
    logger()->nqLog(NQ_INFO, "infoheader.xresolution is %d\n", h.xResolution);
    logger()->nqLog(NQ_INFO, "infoheader.yresolution is %d\n", h.yResolution);
    logger()->nqLog(NQ_INFO, "Number of colours is %d\n", h.colours);
    logger()->nqLog(NQ_INFO, "Number of required colours is %d\n", h.importantColours);
}

// Converts one file row (without its padding) into one image row.
void convertRow(int bits, int width, const unsigned char* in, unsigned char* out,
                const Palette& palette) {
    switch (bits) {
        case 1:
        case 8:
            // Binary rows and grey rows without a palette are copied unchanged.
            std::memcpy(out, in, NQImageHead::rowSizeFor(width, bits));
            break;
        case 4:
            for (int x = 0; x < width; ++x, out += 3) {
                const unsigned index = x % 2 == 0 ? in[x / 2] >> 4 : in[x / 2] & 0x0f;
                std::memcpy(out, palette.rgb[index], 3);
            }
            break;
        case 16:
            for (int x = 0; x < width; ++x, in += 2, out += 3) {
                const unsigned value = in[0] | in[1] << 8;
                out[0] = static_cast<unsigned char>(((value >> 10) & 31) * 255 / 31);
                out[1] = static_cast<unsigned char>(((value >> 5) & 31) * 255 / 31);
                out[2] = static_cast<unsigned char>((value & 31) * 255 / 31);
            }
            break;
        case 24:
            for (int x = 0; x < width; ++x, in += 3, out += 3) {
                out[0] = in[2];
                out[1] = in[1];
                out[2] = in[0];
            }
            break;
    }
}

void convertIndexedRow(int width, const unsigned char* in, unsigned char* out,
                       const Palette& palette) {
    for (int x = 0; x < width; ++x, out += 3)
        std::memcpy(out, palette.rgb[in[x]], 3);
}

std::size_t fileRowBytes(int bits, int width) {
    switch (bits) {
        case 1:
            return (std::size_t(width) + 7) / 8;
        case 4:
            return (std::size_t(width) + 1) / 2;
        default:
            return std::size_t(width) * (bits / 8);
    }
}

std::size_t paddingFor(std::size_t rowBytes) {
    return (4 - rowBytes % 4) % 4;
}

// The image's resolution as the integer a BMP header holds.
int resolutionField(float resolution) {
    const double rounded = std::floor(static_cast<double>(resolution) + 0.5);
    if (std::isnan(rounded))
        return 0;
    return static_cast<int>(std::clamp(rounded, double(INT_MIN), double(INT_MAX)));
}

void writeOrFail(bool written, int line) {
    if (!written)
        fail(NQ_IO_ERROR, "<NQBMPImage::nqSaveImage()> Image write failed", line);
}

}  // namespace

NQBMPImage::NQBMPImage() : NQBaseImage("BMP", "bmp", 5) {}

NQBMPImage::~NQBMPImage() = default;

NQBMPImage* NQBMPImage::createImageReader() {
    static NQBMPImage instance;
    return &instance;
}

// ---- recognition --------------------------------------------------------------

bool NQBMPImage::nqSupportImageFile(const char* fileName) {
    NQCodecSupport::FileHandle file(fileName != nullptr ? std::fopen(fileName, "rb") : nullptr);
    if (!file) {
        logger()->nqLog(NQ_ERROR, "Can't open %s\n", fileName != nullptr ? fileName : "");
        fail(NQ_FILE_OPEN_ERROR, "<NQBMPImage::nqSupportImageFile()> Can not open file!", __LINE__);
    }
    unsigned char magic[2];
    return std::fread(magic, 1, 2, file.get()) == 2 && magic[0] == 'B' && magic[1] == 'M';
}

bool NQBMPImage::nqSupportImageBuffer(const void* buffer, int size) {
    const auto* bytes = static_cast<const unsigned char*>(buffer);
    return bytes != nullptr && size >= 2 && bytes[0] == 'B' && bytes[1] == 'M';
}

// ---- loading --------------------------------------------------------------------

NQImageHead NQBMPImage::nqLoadHeader(NQIOStream& in) {
    const BmpHeaders h = readHeaders(in);
    checkHeaders(h, kHeaderChecks);
    return headFor(h);
}

NQImage NQBMPImage::nqLoadImage(NQIOStream& in) {
    const BmpHeaders h = readHeaders(in);
    checkHeaders(h, kImageChecks);
    logImageFields(h);

    Palette palette;
    if (h.hasPalette()) {
        const std::uint32_t entries =
            h.colours != 0 ? static_cast<std::uint32_t>(h.colours) : std::uint32_t(1) << h.bits;
        readPalette(in, entries, palette);
    } else if (h.bits == 4) {
        greyLevels(palette);
    }

    const NQImageHead head = headFor(h);
    const std::size_t bytes = NQImage::dataSizeFor(h.width, h.height, head.nqGetBitsPerPixel());
    // The row size of every depth is below the 3 x width of a 24-bit row,
    // which dataSizeFor bounds.
    const std::size_t rowBytes = fileRowBytes(h.bits, h.width);
    const std::size_t readBytes = rowBytes + paddingFor(rowBytes);
    if (bytes != 0 && NQCodecSupport::bytesLeft(in) < std::uint64_t(readBytes) * h.height)
        failRead(__LINE__);
    std::unique_ptr<unsigned char[]> data = NQCodecSupport::allocatePixels(
        bytes,
        "<NQBMPImage::nqLoadImage()> Could not allocate enough memory for the uncompressed image",
        kModule, __LINE__);

    std::vector<unsigned char> row(readBytes);
    const std::size_t outRow = static_cast<std::size_t>(head.nqGetRowSize());
    const bool indexed8 = h.bits == 8 && h.hasPalette();
    for (int y = h.height - 1; y >= 0; --y) {
        readOrFail(in, row.data(), static_cast<int>(readBytes), __LINE__);
        unsigned char* out = data.get() + std::size_t(y) * outRow;
        if (indexed8)
            convertIndexedRow(h.width, row.data(), out, palette);
        else
            convertRow(h.bits, h.width, row.data(), out, palette);
    }
    return NQImage(std::move(data), head);
}

NQImage NQBMPImage::nqLoadImage(const char* fileName) {
    NQFileBasedIO in(fileName, "rb");
    return nqLoadImage(in);
}

// Mode "rb" only reads the caller's buffer.
NQImage NQBMPImage::nqLoadImage(const void* buffer, int size) {
    NQMemoryBasedIO in(const_cast<void*>(buffer), size, "rb");
    return nqLoadImage(in);
}

NQImageHead NQBMPImage::nqLoadHeader(const char* fileName) {
    NQFileBasedIO in(fileName, "rb");
    return nqLoadHeader(in);
}

NQImageHead NQBMPImage::nqLoadHeader(const void* buffer, int size) {
    NQMemoryBasedIO in(const_cast<void*>(buffer), size, "rb");
    return nqLoadHeader(in);
}

// ---- pages ------------------------------------------------------------------------

int NQBMPImage::nqGetTotalPages(const void*, int) {
    return 1;
}

int NQBMPImage::nqGetTotalPages(const char*) {
    return 1;
}

NQImage NQBMPImage::nqLoadImageAtPage(const char* fileName, int page) {
    NQCodecSupport::checkSinglePage(
        page, "<NQBMPImage::nqLoadImageAtPage()> Page number can't be 0 (zero).", NQ_INVALID_PAGE,
        "<NQBMPImage::nqLoadImageAtPage()> Image only contain %d pages. User requesting page %d.",
        kModule, __LINE__);
    return nqLoadImage(fileName);
}

NQImage NQBMPImage::nqLoadImageAtPage(const void* buffer, int size, int page) {
    NQCodecSupport::checkSinglePage(
        page, "<NQBMPImage::nqLoadImageAtPage()> Page number can't be 0 (zero).", NQ_INVALID_PAGE,
        "<NQBMPImage::nqLoadImageAtPage()> Image only contain %d pages. User requesting page %d.",
        kModule, __LINE__);
    return nqLoadImage(buffer, size);
}

NQImageHead NQBMPImage::nqLoadHeaderAtPage(const char* fileName, int page) {
    NQCodecSupport::checkSinglePage(
        page, "<NQBMPImage::nqLoadHeaderAtPage()> Page number can't be 0 (zero).",
        NQ_INVALID_CONTENT,
        "<NQBMPImage::nqLoadHeaderAtPage()> Image only contains %d pages. User requesting page "
        "%d.",
        kModule, __LINE__);
    return nqLoadHeader(fileName);
}

NQImageHead NQBMPImage::nqLoadHeaderAtPage(const void* buffer, int size, int page) {
    NQCodecSupport::checkSinglePage(
        page, "<NQBMPImage::nqLoadHeaderAtPage()> Page number can't be 0 (zero).",
        NQ_INVALID_CONTENT,
        "<NQBMPImage::nqLoadHeaderAtPage()> Image only contain %d pages. User requesting page %d.",
        kModule, __LINE__);
    return nqLoadHeader(buffer, size);
}

// ---- saving -------------------------------------------------------------------------

void NQBMPImage::nqSaveImage(NQIOStream& out, const NQImage& image) {
    if (!image.nqHasImageData())
        fail(NQ_NULL_DATA, "<NQBMPImage::nqSaveImage()> Image Data is NULL!", __LINE__);
    const int bits = image.nqGetBitsPerPixel();
    if (bits != 1 && bits != 8 && bits != 24)
        fail(NQ_UNSUPPORTED, "<NQBMPImage::nqSaveImage()> Only 1, 8 and 24 bit images can be saved",
             __LINE__);
    const int width = image.nqGetWidth();
    const int height = image.nqGetHeight();
    const std::size_t rowBytes = static_cast<std::size_t>(image.nqGetRowSize());
    const std::size_t padding = paddingFor(rowBytes);
    // At most kMaxDataBytes plus 3 bytes a row: within an int.
    const int dataSize = static_cast<int>((rowBytes + padding) * std::size_t(height));
    const int paletteEntries = bits == 1 ? 2 : bits == 8 ? 256 : 0;
    const int offset = kHeaderBytes + 4 * paletteEntries;

    bool ok = out.nqWriteShort(kBitmapType, NQ_LITTLE_ENDIAN) > 0;
    ok = ok && out.nqWriteInt(dataSize + offset, NQ_LITTLE_ENDIAN) > 0;
    ok = ok && out.nqWriteShort(0, NQ_LITTLE_ENDIAN) > 0;
    ok = ok && out.nqWriteShort(0, NQ_LITTLE_ENDIAN) > 0;
    ok = ok && out.nqWriteInt(offset, NQ_LITTLE_ENDIAN) > 0;
    ok = ok && out.nqWriteInt(40, NQ_LITTLE_ENDIAN) > 0;
    ok = ok && out.nqWriteInt(width, NQ_LITTLE_ENDIAN) > 0;
    ok = ok && out.nqWriteInt(height, NQ_LITTLE_ENDIAN) > 0;
    ok = ok && out.nqWriteShort(1, NQ_LITTLE_ENDIAN) > 0;
    ok = ok && out.nqWriteShort(static_cast<short>(bits), NQ_LITTLE_ENDIAN) > 0;
    ok = ok && out.nqWriteInt(0, NQ_LITTLE_ENDIAN) > 0;
    ok = ok && out.nqWriteInt(dataSize, NQ_LITTLE_ENDIAN) > 0;
    ok = ok && out.nqWriteInt(resolutionField(image.nqGetXResolution()), NQ_LITTLE_ENDIAN) > 0;
    ok = ok && out.nqWriteInt(resolutionField(image.nqGetYResolution()), NQ_LITTLE_ENDIAN) > 0;
    ok = ok && out.nqWriteInt(paletteEntries, NQ_LITTLE_ENDIAN) > 0;
    ok = ok && out.nqWriteInt(0, NQ_LITTLE_ENDIAN) > 0;
    writeOrFail(ok, __LINE__);

    if (paletteEntries > 0) {
        std::vector<unsigned char> table(4 * std::size_t(paletteEntries));
        // Entry i of the grey table is i, i, i, i; the binary table is black, white.
        for (int i = 0; i < paletteEntries; ++i)
            std::memset(&table[4 * std::size_t(i)], bits == 1 ? 255 * i : i, 4);
        writeOrFail(out.nqWrite(table.data(), static_cast<int>(table.size())) > 0, __LINE__);
    }

    std::vector<unsigned char> row(rowBytes + padding, 0);
    const unsigned char* pixels = image.nqGetImageData();
    for (int y = height - 1; y >= 0; --y) {
        const unsigned char* in = pixels + std::size_t(y) * rowBytes;
        if (bits == 24) {
            for (int x = 0; x < width; ++x) {
                row[3 * std::size_t(x)] = in[3 * std::size_t(x) + 2];
                row[3 * std::size_t(x) + 1] = in[3 * std::size_t(x) + 1];
                row[3 * std::size_t(x) + 2] = in[3 * std::size_t(x)];
            }
        } else {
            std::memcpy(row.data(), in, rowBytes);
        }
        writeOrFail(out.nqWrite(row.data(), static_cast<int>(row.size())) > 0, __LINE__);
    }
}

void NQBMPImage::nqSaveImage(const char* fileName, const NQImage& image) {
    NQFileBasedIO out(fileName, "wb");
    nqSaveImage(out, image);
    writeOrFail(out.nqClose(), __LINE__);
}

unsigned char* NQBMPImage::nqSaveImageToMem(int& size, const NQImage& image) {
    NQCodecSupport::MemoryOutput out;
    if (!out.isOpen())
        fail(NQ_IO_ERROR, "<NQBMPImage::nqSaveImageToMem()> No memory file is free", __LINE__);
    nqSaveImage(out.stream(), image);
    return out.release(size);
}
