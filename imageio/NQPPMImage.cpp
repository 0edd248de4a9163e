// The PPM codec (binary colour form).
//
// The image loaders read the header as lines of at most 255 bytes, as fgets
// does, from a file or a memory buffer alike: the magic line, any comment
// lines, the size line and the maximum-value line. The pixel bytes follow
// the newline of that line directly and are read in one piece, so a buffer
// and a file holding the same bytes give the same image. The maximum value is
// only bounded (256 at most), never applied.
//
// The header reader splits the lines after the magic into words instead, so
// it also takes a size on the magic's line.
#include "imageio/NQPPMImage.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "analysis/NQBitsPerPixelConverter.h"
#include "image/NQException.h"
#include "image/NQLogger.h"
#include "imageio/NQCodecSupport.h"

namespace {

constexpr const char* kModule = "NQPPMImage";
constexpr float kResolution = 200;
constexpr int kLineLimit = 256;
constexpr int kLargestMaximum = 256;

[[noreturn]] void fail(NQExceptionCodes code, const char* text, int line) {
    throw NQException(code, text, kModule, line);
}

constexpr const char* kImageFormatError = "<NQPPMImage::nqLoadImage()> Unknown File Format";
constexpr const char* kHeaderFormatError = "<NQPPMImage::nqLoadHeader()> Unknown File Format";

// At most limit - 1 bytes up to and including a newline; false at the end of
// the data.
bool readLine(NQIOStream& in, std::string& line) {
    line.clear();
    unsigned char c = 0;
    while (static_cast<int>(line.size()) < kLineLimit - 1 && in.nqRead(&c, 1) > 0) {
        line += static_cast<char>(c);
        if (c == '\n')
            break;
    }
    return !line.empty();
}

bool startsWithP6(const std::string& line) {
    return line.size() >= 2 && line[0] == 'P' && line[1] == '6';
}

NQImageHead colourHead(int width, int height) {
    return NQCodecSupport::decodedHead(width, height, 24, kResolution, kResolution);
}

// A decimal integer filling the whole word.
bool wordToInt(const std::string& word, int& value) {
    int parsed = 0;
    std::size_t digits = word[0] == '+' || word[0] == '-' ? 1 : 0;
    if (digits == word.size())
        return false;
    for (; digits < word.size(); ++digits)
        if (!std::isdigit(static_cast<unsigned char>(word[digits])))
            return false;
    if (!NQCodecSupport::scanInts(word, 1, &parsed))
        return false;
    value = parsed;
    return true;
}

// Opens a file for the image loader with the loader's own failure text.
std::unique_ptr<NQFileBasedIO> openForLoading(const char* fileName) {
    try {
        return std::make_unique<NQFileBasedIO>(fileName, "rb");
    } catch (const NQException&) {
        fail(NQ_FILE_OPEN_ERROR, "<NQPPMImage::nqLoadImage()> Could not open incoming image",
             __LINE__);
    }
}

void writeOrFail(bool written, int line) {
    if (!written)
        fail(NQ_IO_ERROR, "<NQPPMImage::nqSaveImage()> Image write failed", line);
}

}  // namespace

NQPPMImage::NQPPMImage() : NQBaseImage("PPM", "ppm", 5) {}

NQPPMImage::~NQPPMImage() = default;

NQPPMImage* NQPPMImage::createImageReader() {
    static NQPPMImage instance;
    return &instance;
}

// ---- recognition --------------------------------------------------------------

bool NQPPMImage::nqSupportImageFile(const char* fileName) {
    NQCodecSupport::FileHandle file(fileName != nullptr ? std::fopen(fileName, "rb") : nullptr);
    if (!file)
        fail(NQ_FILE_OPEN_ERROR, "<NQPPMImage::nqSupportImageFile()> Could not open incoming image",
             __LINE__);
    char magic[2];
    return std::fread(magic, 1, 2, file.get()) == 2 && magic[0] == 'P' && magic[1] == '6';
}

bool NQPPMImage::nqSupportImageBuffer(const void* buffer, int size) {
    const auto* bytes = static_cast<const unsigned char*>(buffer);
    return bytes != nullptr && size >= 2 && bytes[0] == 'P' && bytes[1] == '6';
}

// ---- loading --------------------------------------------------------------------

NQImage NQPPMImage::loadImage(NQIOStream& in) {
    std::string line;
    if (!readLine(in, line) || !startsWithP6(line))
        fail(NQ_UNKNOWN_FORMAT, kImageFormatError, __LINE__);
    bool more = readLine(in, line);
    while (more && line[0] == '#')
        more = readLine(in, line);
    int size[2] = {0, 0};
    if (!more || !NQCodecSupport::scanInts(line, 2, size))
        fail(NQ_UNKNOWN_FORMAT, kImageFormatError, __LINE__);
    int maximum = 0;
    if (!readLine(in, line) || !NQCodecSupport::scanInts(line, 1, &maximum) ||
        maximum > kLargestMaximum)
        fail(NQ_UNKNOWN_FORMAT, kImageFormatError, __LINE__);
    const int width = size[0];
    const int height = size[1];
    if (width < 1 || height < 1)
        fail(NQ_UNKNOWN_FORMAT, kImageFormatError, __LINE__);

    const std::size_t bytes = NQImage::dataSizeFor(width, height, 24);
    // A file too short for the rows is refused before the block is allocated.
    if (bytes != 0 && NQCodecSupport::bytesLeft(in) < bytes)
        fail(NQ_UNKNOWN_FORMAT, kImageFormatError, __LINE__);
    std::unique_ptr<unsigned char[]> data = NQCodecSupport::allocatePixels(
        bytes,
        "<NQPPMImage::nqLoadImage()> Could not allocate enough memory for the uncompressed image",
        kModule, __LINE__);
    // A short file is refused rather than returned with undefined pixels.
    if (in.nqRead(data.get(), static_cast<int>(bytes)) <= 0)
        fail(NQ_UNKNOWN_FORMAT, kImageFormatError, __LINE__);
    return NQImage(std::move(data), colourHead(width, height));
}

NQImage NQPPMImage::nqLoadImage(const char* fileName) {
    std::unique_ptr<NQFileBasedIO> in = openForLoading(fileName);
    return loadImage(*in);
}

// Mode "rb" only reads the caller's buffer.
NQImage NQPPMImage::nqLoadImage(const void* buffer, int size) {
    NQMemoryBasedIO in(const_cast<void*>(buffer), size, "rb");
    return loadImage(in);
}

NQImageHead NQPPMImage::nqLoadHeader(NQIOStream& in) {
    char magic[2] = {0, 0};
    if (in.nqRead(magic, 2) <= 0 || magic[0] != 'P' || (magic[1] != '3' && magic[1] != '6'))
        fail(NQ_UNKNOWN_FORMAT, kHeaderFormatError, __LINE__);
    in.nqSkipWhitespace();
    std::vector<std::string> words;
    while (words.size() < 3) {
        const std::string line = in.nqGetLine();
        if (line.empty())
            fail(NQ_UNKNOWN_FORMAT, kHeaderFormatError, __LINE__);
        std::istringstream split(line);
        for (std::string word; split >> word && word[0] != '#';)
            words.push_back(word);
    }
    int width = 0, height = 0;
    if (words.size() > 3 || !wordToInt(words[0], width) || !wordToInt(words[1], height) ||
        width < 1 || height < 1)
        fail(NQ_UNKNOWN_FORMAT, kHeaderFormatError, __LINE__);
    return colourHead(width, height);
}

NQImageHead NQPPMImage::nqLoadHeader(const char* fileName) {
    NQFileBasedIO in(fileName, "rb");
    return nqLoadHeader(in);
}

NQImageHead NQPPMImage::nqLoadHeader(const void* buffer, int size) {
    NQMemoryBasedIO in(const_cast<void*>(buffer), size, "rb");
    return nqLoadHeader(in);
}

// ---- pages ------------------------------------------------------------------------

int NQPPMImage::nqGetTotalPages(const void*, int) {
    return 1;
}

int NQPPMImage::nqGetTotalPages(const char*) {
    return 1;
}

NQImage NQPPMImage::nqLoadImageAtPage(const char* fileName, int page) {
    NQCodecSupport::checkSinglePage(
        page, "<NQPPMImage::nqLoadImageAtPage()> Page number can't be 0 (zero).",
        NQ_INVALID_CONTENT,
        "<NQPPMImage::nqLoadImageAtPage()> Image only contain %d pages. User requesting page %d.",
        kModule, __LINE__);
    return nqLoadImage(fileName);
}

NQImage NQPPMImage::nqLoadImageAtPage(const void* buffer, int size, int page) {
    NQCodecSupport::checkSinglePage(
        page, "<NQPPMImage::nqLoadImageAtPage()> Page number can't be 0 (zero).",
        NQ_INVALID_CONTENT,
        "<NQPPMImage::nqLoadImageAtPage()> Image only contain %d pages. User requesting page %d.",
        kModule, __LINE__);
    return nqLoadImage(buffer, size);
}

NQImageHead NQPPMImage::nqLoadHeaderAtPage(const char* fileName, int page) {
    NQCodecSupport::checkSinglePage(
        page, "<NQPPMImage::nqLoadHeaderAtPage()> Page number can't be 0 (zero).", NQ_INVALID_PAGE,
        "<NQPPMImage::nqLoadHeaderAtPage()> Image only contain %d pages. User requesting page %d.",
        kModule, __LINE__);
    return nqLoadHeader(fileName);
}

NQImageHead NQPPMImage::nqLoadHeaderAtPage(const void* buffer, int size, int page) {
    NQCodecSupport::checkSinglePage(
        page, "<NQPPMImage::nqLoadHeaderAtPage()> Page number can't be 0 (zero).", NQ_INVALID_PAGE,
        "<NQPPMImage::nqLoadHeaderAtPage()> Image only contain %d pages. User requesting page %d.",
        kModule, __LINE__);
    return nqLoadHeader(buffer, size);
}

// ---- saving -------------------------------------------------------------------------

void NQPPMImage::nqSaveImage(const char* fileName, const NQImage& image) {
    if (!image.nqHasImageData())
        fail(NQ_NULL_DATA, "<NQPPMImage::nqSaveImage()> Image Data is NULL!", __LINE__);
    const NQImage colour = image.nqGetBitsPerPixel() == 24
                               ? image
                               : NQBitsPerPixelConverter::nqConvertImage(image, NQ_TO_COLOR);
    NQCodecSupport::FileHandle file(fileName != nullptr ? std::fopen(fileName, "wb") : nullptr);
    if (!file)
        fail(NQ_FILE_OPEN_ERROR, "<NQPPMImage::nqSaveImage()> Could not open output image file",
             __LINE__);
    const std::size_t bytes = colour.nqGetImageDataSize();
    writeOrFail(
        std::fprintf(file.get(), "P6\n%d %d\n255\n", colour.nqGetWidth(), colour.nqGetHeight()) > 0,
        __LINE__);
    writeOrFail(std::fwrite(colour.nqGetImageData(), 1, bytes, file.get()) == bytes, __LINE__);
    writeOrFail(std::fclose(file.release()) == 0, __LINE__);
}

unsigned char* NQPPMImage::nqSaveImageToMem(int&, const NQImage&) {
    fail(NQ_UNSUPPORTED,
         "<NQPPMImage::nqSaveImageToMem()> Saving to Memory Not Supported for PPM Yet!", __LINE__);
}
