#ifndef NQ_IMAGEIO_NQCODECSUPPORT_H
#define NQ_IMAGEIO_NQCODECSUPPORT_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "image/NQColor.h"
#include "image/NQException.h"
#include "image/NQImageHead.h"
#include "imageio/NQIOStream.h"

// Helpers shared by the single-page codecs that the library writes itself
// (BMP, PBM, PPM, GIF): page checks, checked allocation, the header of a
// decoded image and the hand-over of an encoded memory block.
namespace NQCodecSupport {

// The refusals of a page-addressed load of a single-page format: a page below
// 1 raises code 15 with `zeroText`; a page above 1 raises `beyondCode` with
// `beyondFormat` filled with the page count (1) and the page asked for.
void checkSinglePage(int page, const char* zeroText, NQExceptionCodes beyondCode,
                     const char* beyondFormat, const char* module, int line);

// A block of `bytes` bytes from new[] (contents undefined). A size of 0 means
// that NQImage::dataSizeFor refused the geometry; it raises code 13 with
// `text`, as does an allocation that fails.
std::unique_ptr<unsigned char[]> allocatePixels(std::size_t bytes, const char* text,
                                                const char* module, int line);

// Bytes between the stream's position and its end, for a memory stream or a
// regular file; the largest value when the stream cannot tell. A codec of an
// uncompressed format compares its rows with it before it allocates for
// them, so that a short file is refused before its claim costs memory.
std::uint64_t bytesLeft(NQIOStream& in);

// Header of a decoded image: geometry, the layout of `bits` (1, 8 or 24),
// alignment 1, resolution in inches.
NQImageHead decodedHead(int width, int height, int bits, float xResolution, float yResolution);

// A memory stream that collects what an encoder writes. The block is handed
// over by release(); an encoder that fails before that leaves nothing behind.
class MemoryOutput {
public:
    MemoryOutput() : stream_(nullptr, 0, "w") {}
    ~MemoryOutput() {
        if (!released_)
            stream_.nqFreeMemBlock();
    }
    MemoryOutput(const MemoryOutput&) = delete;
    MemoryOutput& operator=(const MemoryOutput&) = delete;

    // False when no memory file was free.
    bool isOpen() const { return stream_.nqGetDescriptor() >= 0; }
    NQIOStream& stream() { return stream_; }
    // The malloc'ed block, for the caller to free, and its size.
    unsigned char* release(int& size);

private:
    NQMemoryBasedIO stream_;
    bool released_ = false;
};

// A standard-I/O file closed with the object.
struct FileCloser {
    void operator()(std::FILE* file) const noexcept { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

// Reads `count` decimal integers from the start of `text` as sscanf's "%d"
// would (white space, an optional sign, digits), refusing values that no int
// holds. False when the text does not hold them.
bool scanInts(const std::string& text, int count, int* values);

// The printf-style text of a page refusal.
std::string formatPages(const char* format, int pages, int page);

}  // namespace NQCodecSupport

#endif
