#include "image/NQImageHead.h"

#include <limits>
#include <sstream>

#include "image/NQColor.h"

int NQImageHead::rowSizeFor(int width, int bitsPerPixel) {
    long long bytes;
    switch (bitsPerPixel) {
        case NQ_1BIT: bytes = (static_cast<long long>(width) + 7) / 8; break;
        case NQ_8BIT: bytes = width; break;
        case NQ_24BIT: bytes = 3LL * width; break;
        default: return 0;
    }
    // A row too long for an int cannot be stored; -1 makes every allocation refuse it.
    return bytes > std::numeric_limits<int>::max() ? -1 : static_cast<int>(bytes);
}

namespace {

const char* colorModelName(int model) {
    switch (model) {
        case NQ_UNKNOWN_COLOR: return "NQ_UNKNOWN_COLOR";
        case NQ_BINARY: return "NQ_BINARY";
        case NQ_GRAY: return "NQ_GRAY";
        case NQ_RGBCOLOR: return "NQ_RGBCOLOR";
        case NQ_YUVCOLOR: return "NQ_YUVCOLOR";
        default: return "(INVALID ENTRY)";
    }
}

const char* alignmentName(int alignment) {
    switch (alignment) {
        case NQ_1BYTE_ALIGN: return "NQ_1BYTE_ALIGN";
        case NQ_4BYTE_ALIGN: return "NQ_4BYTE_ALIGN";
        default: return "(INVALID ENTRY)";
    }
}

}  // namespace

std::ostream& operator<<(std::ostream& out, const NQImageHead& head) {
    std::ostringstream text;
    text << "Image Width: " << head.nqGetWidth() << " Image Height: " << head.nqGetHeight()
         << '\n'
         << "Row Size: " << head.nqGetRowSize() << " bytes\n"
         << "Resolution: " << head.nqGetXResolution() << ", " << head.nqGetYResolution() << ' '
         << (head.nqGetResolutionInInches() ? "pixels/inch" : "(unitless)") << '\n'
         << "Bits/Pixel: " << head.nqGetBitsPerPixel() << '\n'
         << "Channels: " << head.nqGetChannels() << '\n'
         << "Color Model: " << colorModelName(head.nqGetColorModel()) << '\n'
         << "Data Alignment: " << alignmentName(head.nqGetDataAlignment()) << '\n'
         << "Image Tags:\n";
    for (const auto& tag : head.nqGetTags().nqGetTags())
        text << ' ' << tag.first << ": " << tag.second << '\n';
    out << text.str();
    return out;
}
