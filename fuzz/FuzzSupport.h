#ifndef NQ_FUZZ_FUZZSUPPORT_H
#define NQ_FUZZ_FUZZSUPPORT_H

// Shared by the fuzz targets: a library that logs everything to nowhere, the
// checks that every decoded image and every finished input must pass, and the
// one way to report a broken promise (abort, which libFuzzer records as a
// crash with its input).
//
// An NQException is the sound outcome of a hostile input and is swallowed;
// any other exception leaves the target and is reported by libFuzzer as an
// uncaught exception.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "image/NQException.h"
#include "image/NQImage.h"
#include "image/NQImageHead.h"
#include "image/NQLogger.h"
#include "imageio/NQMemoryFile.h"

namespace nqfuzz {

[[noreturn]] inline void broken(const char* what) {
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
}

// Every message is formatted (so that the logging paths are exercised too)
// and sent to standard output, which goes nowhere; libFuzzer reports on
// standard error.
inline void quietLibrary() {
    if (std::freopen("/dev/null", "w", stdout) == nullptr)
        broken("cannot silence standard output");
    NQLogger::nqGetInstance()->nqSetLogType(NQ_LOG_STDOUT);
    NQLogger::nqGetInstance()->nqSetLogSeverity(NQ_DEBUG);
}

// Runs `action`; false when it threw an NQException.
template <typename Action>
bool attempt(Action action) {
    try {
        action();
        return true;
    } catch (const NQException&) {
        return false;
    }
}

// What every image handed out by a codec must hold: a supported depth, the
// layout of that depth and a block of exactly height x row size bytes.
inline void checkImage(const NQImage& image) {
    const int bits = image.nqGetBitsPerPixel();
    if (bits != 1 && bits != 8 && bits != 24)
        broken("image depth is not 1, 8 or 24");
    if (image.nqGetWidth() <= 0 || image.nqGetHeight() <= 0)
        broken("image without pixels");
    if (!image.nqHasImageData())
        broken("image without data");
    if (image.nqGetRowSize() != NQImageHead::rowSizeFor(image.nqGetWidth(), bits))
        broken("row size does not match width and depth");
    if (image.nqGetImageDataSize() !=
        std::size_t(image.nqGetRowSize()) * std::size_t(image.nqGetHeight()))
        broken("data size does not match the header");
    const int channels = bits == 24 ? 3 : 1;
    if (image.nqGetChannels() != channels)
        broken("channel count does not match the depth");
}

// A header load and an image load of the same page describe the same picture.
inline void checkSameGeometry(const NQImageHead& head, const NQImage& image) {
    if (head.nqGetWidth() != image.nqGetWidth() || head.nqGetHeight() != image.nqGetHeight())
        broken("header and image loads disagree on the size");
}

// Every memory file that a load opened is closed again, whatever happened:
// the first free slot is then slot 0.
inline void checkMemoryFilesClosed() {
    unsigned char byte = 0;
    const int fd = mfs_open(&byte, 1, "r");
    if (fd != 0)
        broken("a memory file was left open");
    mfs_close(fd);
}

}  // namespace nqfuzz

#endif
