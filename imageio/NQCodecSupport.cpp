#include "imageio/NQCodecSupport.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <limits>
#include <new>

#include "image/NQPixelBlock.h"

namespace NQCodecSupport {

std::string formatPages(const char* format, int pages, int page) {
    char text[256];
    std::snprintf(text, sizeof text, format, pages, page);
    return text;
}

bool scanInts(const std::string& text, int count, int* values) {
    const char* position = text.c_str();
    for (int i = 0; i < count; ++i) {
        while (std::isspace(static_cast<unsigned char>(*position)))
            ++position;
        const char* digits = *position == '+' || *position == '-' ? position + 1 : position;
        if (!std::isdigit(static_cast<unsigned char>(*digits)))
            return false;
        char* end = nullptr;
        errno = 0;
        const long value = std::strtol(position, &end, 10);
        if (errno == ERANGE || value < INT_MIN || value > INT_MAX)
            return false;
        values[i] = static_cast<int>(value);
        position = end;
    }
    return true;
}

void checkSinglePage(int page, const char* zeroText, NQExceptionCodes beyondCode,
                     const char* beyondFormat, const char* module, int line) {
    if (page < 1)
        throw NQException(NQ_INVALID_PAGE, zeroText, module, line);
    if (page > 1)
        throw NQException(beyondCode, formatPages(beyondFormat, 1, page), module, line);
}

std::unique_ptr<unsigned char[]> allocatePixels(std::size_t bytes, const char* text,
                                                const char* module, int line) {
    std::unique_ptr<unsigned char[]> block(bytes == 0 ? nullptr : nqNewPixelBlock(bytes));
    if (!block)
        throw NQException(NQ_MEMORY_ERROR, text, module, line);
    return block;
}

NQImageHead decodedHead(int width, int height, int bits, float xResolution, float yResolution) {
    NQImageHead head;
    head.nqSetWidth(width);
    head.nqSetHeight(height);
    head.nqSetBitsPerPixel(bits);
    head.nqSetChannels(bits == 24 ? 3 : 1);
    head.nqSetColorModel(bits == 1 ? NQ_BINARY : bits == 8 ? NQ_GRAY : NQ_RGBCOLOR);
    head.nqSetRowSize(NQImageHead::rowSizeFor(width, bits));
    head.nqSetDataAlignment(NQ_1BYTE_ALIGN);
    head.nqSetXResolution(xResolution);
    head.nqSetYResolution(yResolution);
    head.nqSetResolutionInInches(true);
    head.nqSetResolutionUnits(NQImageHead::NQ_RES_INCH);
    return head;
}

std::uint64_t bytesLeft(NQIOStream& in) {
    long long size = -1;
    if (auto* memory = dynamic_cast<NQMemoryBasedIO*>(&in))
        size = memory->nqGetDescriptor() >= 0 ? memory->nqGetMemSize() : -1;
    else if (auto* file = dynamic_cast<NQFileBasedIO*>(&in))
        size = file->nqGetFileSize();
    const long long offset = in.nqGetOffset();
    if (size < 0 || offset < 0)
        return std::numeric_limits<std::uint64_t>::max();
    return offset < size ? static_cast<std::uint64_t>(size - offset) : 0;
}

unsigned char* MemoryOutput::release(int& size) {
    size = stream_.nqGetMemSize();
    unsigned char* block = stream_.nqGetMemBlock();
    stream_.nqClose();
    released_ = true;
    return block;
}

}  // namespace NQCodecSupport
