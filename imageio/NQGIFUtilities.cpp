// The GIF decoder.
//
// The file is scanned byte by byte for block introducers ('!' extensions, ','
// images); anything else is stepped over, so junk between blocks costs one
// byte each and never stops the scan. Every frame is decoded with its own
// colour table (local, else global, else a made-up grey ramp) and pasted onto
// a white canvas of the logical-screen size; the pixels a frame's data do not
// reach stay black. Transparency and disposal are not applied.
//
// Frames are decoded straight into RGB. A frame that covers the whole canvas
// and is not interlaced is decoded into the canvas itself, which is the
// block the returned image adopts, and the canvas is painted white only when
// a frame leaves part of it uncovered; so the common single-frame file is
// decoded in one pass, without copies.
//
// Recovery. When the LZW stream of a frame stops early (a bad code, or an end
// code with data behind it), the decoder records the pixel position as a
// break and looks for a place to resume: it maps the stop back into the file,
// looks ahead for four whole sub-blocks of the usual length in a row (where a
// damaged sub-block chain becomes regular again) and, when that place is not
// on the chain it collected, re-collects the data from there. It then searches
// bit by bit for a 12-bit clear code (encoders clear a full table, when codes
// are 12 bits wide) and decodes on with a fresh table from the pixel where
// the output stopped. A field that is a clear code only by chance soon meets
// a bad code; such a run within 99 bytes is dropped and the search goes on
// from the next bit. A resumption that runs further starts a new segment. A
// frame whose data cannot be decoded from the start fails. Lost data shift
// the pixels of later segments, so each segment is moved to the start of a
// row with the horizontal shift that best continues the rows above (cubed
// differences, weighted towards the row ends), which keeps columns straight
// after a break.
//
// Bounds. The canvas and every frame are checked against the library's pixel
// bound before allocation, and a file must hold at least one byte per 40000
// pixels of its screen. Every read of the file, of the collected data and of
// the frames is checked. The frames of a file may cover two screens plus
// 4096 pixels per file byte, so that many frames with little data cannot make
// a small file costly. The work of recovery stays linear in the file: the
// resumption search scans every file byte at most once, the clear-code search
// and the decoding only move forward, re-collections are capped per frame and
// the shift search of the realignment has a fixed budget, after which further
// segments are moved without a shift.
#include "imageio/NQGIFUtilities.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

#include "image/NQException.h"
#include "image/NQImage.h"
#include "image/NQLogger.h"
#include "image/NQPixelBlock.h"

namespace {

constexpr const char* kModule = "NQGIFUtilities";
constexpr std::uint64_t kPixelsPerFileByte = 40000;
constexpr int kMaxCodeWidth = 12;
constexpr std::size_t kTableSize = 4096;
// A resumption that runs further than this many bytes starts a new segment.
constexpr std::size_t kSegmentBytes = 99;
// Re-collections of a frame's data from a resumption point.
constexpr int kMaxRecollections = 64;
// Clear codes found by chance (followed by a bad code within kSegmentBytes)
// that a frame's recovery passes over before it takes such runs as they are.
constexpr int kMaxChanceFinds = 4096;
// Frame pixels a file may ask for per byte, beyond two screens.
constexpr std::uint64_t kFramePixelsPerFileByte = 4096;
// Pixel comparisons the realignment of one frame may spend on shift searches.
constexpr std::uint64_t kRealignBudget = std::uint64_t(1) << 28;

NQLogger* logger() {
    return NQLogger::nqGetInstance();
}

unsigned readLE16(const unsigned char* p) {
    return p[0] | p[1] << 8;
}

// ---- LZW ----------------------------------------------------------------------

// Bits [bit, bit + width) of `data`, least significant bit first. The caller
// has checked that they lie inside the data.
inline unsigned readCode(const unsigned char* data, std::size_t length, std::uint64_t bit,
                         unsigned width) {
    const std::size_t at = static_cast<std::size_t>(bit >> 3);
    std::uint32_t window = data[at];
    if (at + 1 < length)
        window |= std::uint32_t(data[at + 1]) << 8;
    if (at + 2 < length)
        window |= std::uint32_t(data[at + 2]) << 16;
    return (window >> (bit & 7)) & ((1u << width) - 1);
}

// The string table of one LZW run. Entries below the clear code are the
// literals; a string is written backwards by following its prefixes.
struct LzwTable {
    std::uint16_t prefix[kTableSize];
    std::uint16_t length[kTableSize];
    unsigned char suffix[kTableSize];
    unsigned char first[kTableSize];

    explicit LzwTable(unsigned literals) {
        for (unsigned i = 0; i < literals; ++i) {
            prefix[i] = 0;
            length[i] = 1;
            suffix[i] = first[i] = static_cast<unsigned char>(i);
        }
    }

    // Writes the string of `code` so that it ends at `last` (three bytes a pixel).
    void write(unsigned code, unsigned literals, unsigned char* last,
               const NQGifPalette& palette) const {
        while (code >= literals) {
            std::memcpy(last, palette.rgb[suffix[code]], 3);
            last -= 3;
            code = prefix[code];
        }
        std::memcpy(last, palette.rgb[code], 3);
    }
};

// ---- realignment --------------------------------------------------------------

double cube(int difference) {
    const double d = difference < 0 ? -difference : difference;
    return d * d * d;
}

// ---- frames -------------------------------------------------------------------

bool logFailure(const char* text) {
    logger()->nqLog(NQ_ERROR, "%s", text);
    return false;
}

// The state of one frame's decode with recovery.
class FrameDecoder {
public:
    FrameDecoder(const unsigned char* file, std::size_t fileSize, std::size_t dataStart,
                 std::size_t dataEnd, NQGifBlockData& collected, int minimumCodeSize,
                 const NQGifPalette& palette, unsigned char* frame, std::size_t pixels)
        : file_(file),
          fileSize_(fileSize),
          collected_(collected),
          minimum_(minimumCodeSize),
          palette_(palette),
          frame_(frame),
          pixels_(pixels),
          cursorCollected_(0),
          cursorFile_(dataStart),
          dataEnd_(dataEnd),
          breakCapacity_(std::max<std::size_t>(100, pixels / 2)) {}

    // Decodes the frame; false when its data cannot be decoded from the
    // start. A run that stops on a bad code after some pixels is a break that
    // recovery works on. `breaks` holds the segment starts and the final pixel
    // count when recovery ran.
    bool decode(std::vector<std::size_t>& breaks) {
        NQGifLzwRun run;
        if (!runLzw(run) && run.pixel == 0)
            return logFailure("ERROR in image_read_gif(): Problem with buffer_LZW_decode_new()\n");
        decoded_ = run.pixel;
        if (run.pixel >= pixels_ || !dataRemains(run))
            return true;
        breaks.push_back(run.pixel);
        bool warned = false;
        int chanceFinds = 0;
        std::size_t searchFrom = resumptionBit(run.bit);
        while (run.pixel < pixels_) {
            std::size_t clear = 0;
            if (!NQGIFUtilities::buffer_find_next_clear_code_new(collected_.bytes.data(),
                                                                 collected_.bytes.size(),
                                                                 searchFrom, 1u << minimum_, clear))
                break;
            const std::size_t resumedAt = run.pixel;
            run.bit = clear + kMaxCodeWidth;
            runLzw(run);
            if (run.pixel >= pixels_ || !dataRemains(run))
                break;
            // A bad code soon after the clear code means that the field was a
            // clear code by chance: its output is dropped and the search goes
            // on from the next bit.
            if (run.bit / 8 <= clear / 8 + kSegmentBytes && chanceFinds < kMaxChanceFinds) {
                ++chanceFinds;
                std::memset(frame_ + 3 * resumedAt, 0, 3 * (run.pixel - resumedAt));
                run.pixel = resumedAt;
                searchFrom = clear + 1;
                continue;
            }
            if (breaks.size() < breakCapacity_) {
                breaks.push_back(run.pixel);
            } else if (!warned) {
                logger()->nqLog(NQ_ERROR,
                                "In image_read_gif(): MORE MEMORY SHOULD BE ADDED FOR POSSBIlE "
                                "ERROR LOCATIONS\n");
                warned = true;
            }
            searchFrom = resumptionBit(run.bit);
        }
        if (run.pixel > breaks.back())
            breaks.push_back(run.pixel);
        decoded_ = run.pixel;
        return true;
    }

    // Pixels [0, decodedPixels()) of the frame were written.
    std::size_t decodedPixels() const { return decoded_; }
    // The file position after the frame's data: the end of the sub-blocks
    // last collected, so that a chain that was found broken and collected
    // again is not scanned for blocks.
    std::size_t dataEnd() const { return dataEnd_; }

private:
    bool runLzw(NQGifLzwRun& run) {
        return NQGIFUtilities::buffer_LZW_decode_new(collected_.bytes.data(),
                                                     collected_.bytes.size(), minimum_, palette_,
                                                     frame_, pixels_, run);
    }

    // Data is left after a stop unless the data ran out or the end code
    // closed it.
    bool dataRemains(const NQGifLzwRun& run) const {
        if (run.stop == NQGifLzwRun::NQ_DATA_END || run.stop == NQGifLzwRun::NQ_COMPLETE)
            return false;
        return (run.bit + 7) / 8 < collected_.bytes.size();
    }

    // The file position of collected byte `at`, walking the sub-block chain
    // forward from the cursor (stops only move forward, so each block is
    // walked once).
    std::size_t filePositionOf(std::size_t at) {
        if (at < cursorCollected_)
            return cursorFile_;
        while (cursorFile_ < fileSize_) {
            const std::size_t length = file_[cursorFile_];
            if (length == 0 || cursorCollected_ + length > at)
                break;
            cursorCollected_ += length;
            cursorFile_ += 1 + length;
        }
        const std::size_t position = cursorFile_ + 1 + (at - cursorCollected_);
        return std::min(position, fileSize_);
    }

    // The first position at or after `from` where four sub-blocks of the usual
    // length follow one another, or fileSize_. Remembered, so that every file
    // byte is examined once.
    std::size_t regularRunFrom(std::size_t from) {
        if (scanned_ && from >= scannedFrom_ && from <= scanFound_)
            return scanFound_;
        const std::size_t step = std::size_t(collected_.usualLength) + 1;
        const auto usual = static_cast<unsigned char>(collected_.usualLength);
        std::size_t found = fileSize_;
        for (std::size_t q = std::max(from, scanned_ ? scanFound_ : from); q + 3 * step < fileSize_;
             ++q) {
            if (file_[q] == usual && file_[q + step] == usual && file_[q + 2 * step] == usual &&
                file_[q + 3 * step] == usual) {
                found = q;
                break;
            }
        }
        scanned_ = true;
        scannedFrom_ = from;
        scanFound_ = found;
        return found;
    }

    // True, with the collected offset of its data, when a sub-block starts at
    // file position `at` on the chain the data were collected from.
    bool onChain(std::size_t at, std::size_t& collectedAt) const {
        std::size_t position = cursorFile_;
        std::size_t offset = cursorCollected_;
        while (position < at && position < fileSize_ && file_[position] != 0) {
            offset += file_[position];
            position += 1 + file_[position];
        }
        collectedAt = offset;
        return position == at;
    }

    // Where the search for a clear code starts after a stop at `stopBit`.
    std::size_t resumptionBit(std::size_t stopBit) {
        const std::size_t stopByte = stopBit / 8;
        const std::size_t resume = regularRunFrom(filePositionOf(stopByte));
        if (resume >= fileSize_)
            return stopBit;
        if (resume == lastResume_)
            return std::max(stopBit, lastResumeBit_);
        std::size_t collectedAt = 0;
        if (onChain(resume, collectedAt)) {
            lastResume_ = resume;
            lastResumeBit_ = collectedAt * 8;
            return std::max(stopBit, lastResumeBit_);
        }
        if (recollections_ >= kMaxRecollections)
            return stopBit;
        // The chain is broken before `resume`: the data from the stop on are
        // taken from the regular sub-blocks instead.
        ++recollections_;
        collected_.bytes.resize(stopByte);
        NQGifBlockData tail;
        dataEnd_ = NQGIFUtilities::buffer_parse_gif_block_new(file_, fileSize_, resume, &tail);
        collected_.bytes.insert(collected_.bytes.end(), tail.bytes.begin(), tail.bytes.end());
        cursorCollected_ = stopByte;
        cursorFile_ = resume;
        lastResume_ = resume;
        lastResumeBit_ = stopByte * 8;
        return stopByte * 8;
    }

    const unsigned char* file_;
    std::size_t fileSize_;
    NQGifBlockData& collected_;
    int minimum_;
    const NQGifPalette& palette_;
    unsigned char* frame_;
    std::size_t pixels_;
    // The sub-block that starts at file position cursorFile_ holds collected
    // bytes from cursorCollected_ on.
    std::size_t cursorCollected_;
    std::size_t cursorFile_;
    std::size_t dataEnd_;
    std::size_t breakCapacity_;
    bool scanned_ = false;
    std::size_t scannedFrom_ = 0;
    std::size_t scanFound_ = 0;
    std::size_t lastResume_ = SIZE_MAX;
    std::size_t lastResumeBit_ = 0;
    int recollections_ = 0;
    std::size_t decoded_ = 0;
};

// The colour table of a frame; false when a local table runs past the data.
bool frameTable(const unsigned char* d, std::size_t size, std::size_t& at, unsigned packed,
                const NQGifPalette* global, NQGifPalette& local, const NQGifPalette*& chosen) {
    const int entries = 1 << ((packed & 7) + 1);
    if (packed & 0x80) {
        if (at + 3 * std::size_t(entries) > size) {
            logger()->nqLog(NQ_ERROR,
                            "ERROR in image_read_gif(): File not large enough to support ");
            logger()->nqLog(NQ_ERROR, "local color table; possibly TRUNCATED FILE\n");
            return false;
        }
        local.count = entries;
        std::memcpy(local.rgb, d + at, 3 * std::size_t(entries));
        at += 3 * std::size_t(entries);
        chosen = &local;
    } else if (global != nullptr) {
        chosen = global;
    } else {
        local.count = entries;
        for (int i = 0; i < entries; ++i)
            std::memset(local.rgb[i], 255 * i / entries, 3);
        chosen = &local;
    }
    return true;
}

void paintWhite(NQGifImageFormat& canvas, bool& blank) {
    if (blank)
        std::memset(canvas.data.get(), 255,
                    3 * std::size_t(canvas.width) * std::size_t(canvas.height));
    blank = false;
}

// Decodes the image block whose ',' is at `at` and pastes it onto the canvas;
// `at` moves past the block. False fails the whole decode.
enum class BlockResult { kFailed, kPasted, kOverBudget };

// The canvas is painted white only before the first frame that does not
// cover it (`blank` until then), as a whole-canvas frame replaces every byte.
// A frame larger than the pixels left in `budget` is not decoded.
BlockResult readImageBlock(const unsigned char* d, std::size_t size, std::size_t& at,
                           const NQGifPalette* global, NQGifImageFormat& canvas, bool& blank,
                           std::uint64_t& budget) {
    const int left = static_cast<int>(readLE16(d + at + 1));
    const int top = static_cast<int>(readLE16(d + at + 3));
    const int width = static_cast<int>(readLE16(d + at + 5));
    const int height = static_cast<int>(readLE16(d + at + 7));
    const unsigned packed = d[at + 9];
    if (width > canvas.width - left || height > canvas.height - top)
        return BlockResult::kFailed;
    const std::size_t pixels = std::size_t(width) * std::size_t(height);
    if (pixels > budget)
        return BlockResult::kOverBudget;
    budget -= pixels;
    std::size_t position = at + 10;
    NQGifPalette local;
    const NQGifPalette* palette = nullptr;
    if (!frameTable(d, size, position, packed, global, local, palette))
        return BlockResult::kFailed;
    if (position >= size) {
        logFailure(
            "ERROR in image_read_gif(): Ran out of data before defining,max code size in data "
            "segment - probably truncated file\n");
        return BlockResult::kFailed;
    }
    int minimum = d[position];
    if (minimum + 1 > kMaxCodeWidth)
        minimum = 8;
    NQGifBlockData collected;
    const std::size_t dataStart = position + 1;
    at = NQGIFUtilities::buffer_parse_gif_block_new(d, size, dataStart, &collected);

    if (pixels == 0)
        return BlockResult::kPasted;
    const bool interlaced = (packed & 0x40) != 0;
    const bool wholeCanvas =
        left == 0 && top == 0 && width == canvas.width && height == canvas.height && !interlaced;
    NQGifImageFormat scratch;
    unsigned char* frame = canvas.data.get();
    if (!wholeCanvas) {
        if (!NQGIFUtilities::image_create(scratch, width, height))
            return BlockResult::kFailed;
        frame = scratch.data.get();
        std::memset(frame, 0, 3 * pixels);
    }
    std::vector<std::size_t> breaks;
    FrameDecoder decoder(d, size, dataStart, at, collected, minimum, *palette, frame, pixels);
    if (!decoder.decode(breaks))
        return BlockResult::kFailed;
    at = decoder.dataEnd();
    // Pixels the data did not reach are black, as they are in a frame of its own.
    if (wholeCanvas)
        std::memset(frame + 3 * decoder.decodedPixels(), 0, 3 * (pixels - decoder.decodedPixels()));
    if (interlaced)
        NQGIFUtilities::image_GIF_deinterlace(frame, width, height);
    if (breaks.size() > 1 && !NQGIFUtilities::image_GIF_realign(frame, width, height, breaks)) {
        logFailure("ERROR in image_read_gif(): Problem with image_GIF_realign()\n");
        return BlockResult::kFailed;
    }
    if (!wholeCanvas) {
        paintWhite(canvas, blank);
        NQGIFUtilities::image_paste(frame, width, height, canvas, left, top);
    }
    blank = false;
    return BlockResult::kPasted;
}

}  // namespace

// ---- record helpers --------------------------------------------------------------

bool NQGIFUtilities::image_create(NQGifImageFormat& out, int width, int height) {
    const std::size_t bytes = NQImage::dataSizeFor(width, height, 24);
    if (bytes == 0)
        return false;
    out.data = nqNewPixelBlock(bytes);
    if (!out.data)
        return false;
    out.width = width;
    out.height = height;
    return true;
}

void NQGIFUtilities::image_paste(const unsigned char* frame, int width, int height,
                                 NQGifImageFormat& canvas, int left, int top) {
    const std::size_t rowBytes = 3 * std::size_t(width);
    for (int y = 0; y < height; ++y)
        std::memcpy(
            canvas.data.get() + 3 * ((std::size_t(top) + y) * std::size_t(canvas.width) + left),
            frame + std::size_t(y) * rowBytes, rowBytes);
}

void NQGIFUtilities::image_GIF_deinterlace(unsigned char* frame, int width, int height) {
    const std::size_t rowBytes = 3 * std::size_t(width);
    std::vector<unsigned char> stored(frame, frame + rowBytes * std::size_t(height));
    static constexpr int kStart[4] = {0, 4, 2, 1};
    static constexpr int kStep[4] = {8, 8, 4, 2};
    std::size_t source = 0;
    for (int pass = 0; pass < 4; ++pass)
        for (int y = kStart[pass]; y < height; y += kStep[pass], ++source)
            std::memcpy(frame + std::size_t(y) * rowBytes, stored.data() + source * rowBytes,
                        rowBytes);
}

// ---- sub-blocks -----------------------------------------------------------------

std::size_t NQGIFUtilities::buffer_parse_gif_block_new(const unsigned char* buffer,
                                                       std::size_t size, std::size_t start,
                                                       NQGifBlockData* out) {
    std::size_t position = start;
    int lengths[4] = {0, 0, 0, 0};
    int blocks = 0;
    try {
        while (position < size) {
            const std::size_t length = buffer[position++];
            if (length == 0)
                break;
            if (blocks < 4)
                lengths[blocks++] = static_cast<int>(length);
            const std::size_t available = std::min(length, size - position);
            if (out != nullptr)
                out->bytes.insert(out->bytes.end(), buffer + position,
                                  buffer + position + available);
            position += available;
            if (available < length)
                break;
        }
    } catch (const std::bad_alloc&) {
        throw NQException(
            NQ_MEMORY_ERROR,
            "<NQGIFUtilities::buffer_parse_gif_block_new()> Unable to allocate memory", kModule,
            __LINE__);
    }
    if (out != nullptr)
        out->usualLength = blocks == 4 && lengths[0] == lengths[1] && lengths[1] == lengths[2] &&
                                   lengths[2] == lengths[3]
                               ? lengths[0]
                               : 255;
    return position;
}

// ---- LZW --------------------------------------------------------------------------

bool NQGIFUtilities::buffer_LZW_decode_new(const unsigned char* data, std::size_t length,
                                           int minimumCodeSize, const NQGifPalette& palette,
                                           unsigned char* frame, std::size_t pixels,
                                           NQGifLzwRun& run) {
    const unsigned clear = 1u << minimumCodeSize;
    const unsigned end = clear + 1;
    const unsigned colours = static_cast<unsigned>(palette.count);
    const std::uint64_t bits = std::uint64_t(length) * 8;
    LzwTable table(clear);
    unsigned width = minimumCodeSize + 1;
    unsigned next = clear + 2;
    int previous = -1;
    std::uint64_t bit = run.bit;
    std::size_t pixel = run.pixel;
    const char* warning = nullptr;

    for (;;) {
        if (pixel >= pixels) {
            run.stop = NQGifLzwRun::NQ_COMPLETE;
            break;
        }
        if (bit + width > bits) {
            run.stop = NQGifLzwRun::NQ_DATA_END;
            break;
        }
        const unsigned code = readCode(data, length, bit, width);
        bit += width;
        if (code == clear) {
            width = minimumCodeSize + 1;
            next = clear + 2;
            previous = -1;
            continue;
        }
        if (code == end) {
            run.stop = NQGifLzwRun::NQ_END_CODE;
            break;
        }
        if (code > next || (code == next && (previous < 0 || next >= kTableSize))) {
            warning = code > next ? "WARNING !*!*in buffer_LZW_decode_new(): Invalid code "
                                    "encountered\n"
                                  : "WARNING in buffer_LZW_decode_new(): This is a precarious "
                                    "location\n";
            run.stop = NQGifLzwRun::NQ_BAD_CODE;
            break;
        }
        // A literal is an index itself; it must name a colour of the table.
        if (code < clear && code >= colours) {
            warning =
                "ERROR in buffer_LZW_decode_new(): Attempt made to access uninitialized "
                "value\n";
            run.stop = NQGifLzwRun::NQ_BAD_CODE;
            break;
        }
        const bool repeat = code == next;
        const std::size_t stringLength =
            repeat ? std::size_t(table.length[previous]) + 1 : table.length[code];
        if (stringLength > pixels - pixel) {
            run.stop = NQGifLzwRun::NQ_BAD_CODE;
            break;
        }
        unsigned char* last = frame + 3 * (pixel + stringLength - 1);
        if (repeat) {
            // The previous string followed by its own first index.
            std::memcpy(last, palette.rgb[table.first[previous]], 3);
            table.write(static_cast<unsigned>(previous), clear, last - 3, palette);
        } else {
            table.write(code, clear, last, palette);
        }
        pixel += stringLength;
        if (previous >= 0 && next < kTableSize) {
            table.prefix[next] = static_cast<std::uint16_t>(previous);
            table.suffix[next] = repeat ? table.first[previous] : table.first[code];
            table.first[next] = table.first[previous];
            table.length[next] = static_cast<std::uint16_t>(table.length[previous] + 1);
            ++next;
        }
        previous = static_cast<int>(code);
        if (next >= (1u << width) && width < kMaxCodeWidth)
            ++width;
    }
    if (warning != nullptr)
        logger()->nqLog(NQ_INFO, "%s", warning);
    run.pixel = pixel;
    run.bit = static_cast<std::size_t>(bit);
    return run.stop != NQGifLzwRun::NQ_BAD_CODE;
}

bool NQGIFUtilities::buffer_find_next_clear_code_new(const unsigned char* data, std::size_t length,
                                                     std::size_t fromBit, unsigned code,
                                                     std::size_t& found) {
    const std::uint64_t bits = std::uint64_t(length) * 8;
    for (std::uint64_t bit = fromBit; bit + kMaxCodeWidth <= bits; ++bit) {
        if (readCode(data, length, bit, kMaxCodeWidth) == code) {
            found = static_cast<std::size_t>(bit);
            return true;
        }
    }
    return false;
}

// ---- realignment ----------------------------------------------------------------

bool NQGIFUtilities::image_GIF_realign(unsigned char* frame, int width, int height,
                                       const std::vector<std::size_t>& breaks) {
    const std::size_t total = std::size_t(width) * std::size_t(height);
    const std::size_t w = static_cast<std::size_t>(width);
    if (breaks.empty() || breaks.front() > total || breaks.back() > total)
        return logFailure(
            "ERROR in image_GIF_realign(): Attempt to access out of bounds value in before[] or "
            "after[]\n");
    const std::vector<unsigned char> copy(frame, frame + 3 * total);
    std::memset(frame + 3 * breaks.front(), 0, 3 * (total - breaks.front()));

    std::vector<double> weight(w);
    for (std::size_t k = 0; k < w; ++k)
        weight[k] = k < w / 2 ? 1.0 - double(k) / width : double(k) / width;
    double cubes[256];
    for (int d = 0; d < 256; ++d)
        cubes[d] = cube(d);

    std::uint64_t budget = kRealignBudget;
    std::size_t destinationRow = breaks.front() / w;
    for (std::size_t i = 0; i + 1 < breaks.size(); ++i) {
        const std::size_t start = breaks[i];
        std::size_t shift = 0;
        // Only shifts whose compared row lies inside the frame are scored.
        if (start + w <= total && budget >= w) {
            const std::size_t shifts = std::min(w, total - start - w + 1);
            const unsigned char* reference =
                frame + 3 * (destinationRow >= 3 ? destinationRow - 3 : 0) * w;
            double best = double(w) * cubes[255] * 3;
            for (std::size_t t = 0; t < shifts && budget >= w; ++t) {
                budget -= w;
                const unsigned char* candidate = copy.data() + 3 * (start + t);
                double score = 0;
                for (std::size_t k = 0; k < w && score < best; ++k) {
                    const unsigned char* a = candidate + 3 * k;
                    const unsigned char* b = reference + 3 * k;
                    score +=
                        weight[k] * (cubes[std::abs(a[0] - b[0])] + cubes[std::abs(a[1] - b[1])] +
                                     cubes[std::abs(a[2] - b[2])]);
                }
                if (score < best) {
                    best = score;
                    shift = t;
                }
            }
        }
        const std::size_t from = start + shift;
        const std::size_t count = breaks[i + 1] > from ? breaks[i + 1] - from : 0;
        const std::size_t to = destinationRow * w;
        if (from + count > total || to + count > total)
            return logFailure(
                "ERROR in image_GIF_realign(): Attempt to access out of bounds value in before[] "
                "or after[]\n");
        std::memcpy(frame + 3 * to, copy.data() + 3 * from, 3 * count);
        destinationRow += count / w;
    }
    return true;
}

// ---- whole file ---------------------------------------------------------------------

bool NQGIFUtilities::image_read_gif(const unsigned char* d, std::size_t size,
                                    NQGifImageFormat& out) {
    if (d == nullptr || size <= 11) {
        logger()->nqLog(NQ_ERROR,
                        "ERROR in image_read_gif(): Minimum size of GIF file header is at least 12 "
                        "bytes (> %d read)\n",
                        static_cast<int>(size));
        return false;
    }
    if (std::memcmp(d, "GIF", 3) != 0)
        return logFailure("ERROR in image_read_gif(): May not be a GIF FILE,SHOULD BE GIF\n");
    if (std::memcmp(d + 3, "87a", 3) != 0 && std::memcmp(d + 3, "89a", 3) != 0)
        return logFailure(
            "ERROR in image_read_gif(): May not be a GIF FILE, invalid version number,SHOULD BE "
            "87a or 89a\n");
    const int screenWidth = static_cast<int>(readLE16(d + 6));
    const int screenHeight = static_cast<int>(readLE16(d + 8));
    if (screenWidth < 1 || screenHeight < 1)
        return false;

    // At least one file byte per 40000 screen pixels; the product is formed
    // in 64 bits so that large files are not refused by an overflow.
    const auto sizeTimes = [size](std::uint64_t factor) {
        return static_cast<long long>(std::uint64_t(size) * factor);
    };
    const std::uint64_t screenPixels = std::uint64_t(screenWidth) * std::uint64_t(screenHeight);
    logger()->nqLog(NQ_DEBUG, "%lld > 0\n", sizeTimes(kPixelsPerFileByte));
    if (std::uint64_t(size) * kPixelsPerFileByte < screenPixels) {
        logger()->nqLog(NQ_ERROR,
                        "Failed in buffSize check\n\theight: %d  width:  %d\n\tbuffSize:  "
                        "%lld\n\tbuffSize * 4000000: %lld\n",
                        screenWidth, screenHeight, static_cast<long long>(size),
                        sizeTimes(kPixelsPerFileByte));
        return false;
    }
    logger()->nqLog(NQ_INFO,
                    "buffSize check passed\n\theight: %d  width:  %d\n\tbuffSize:  "
                    "%lld\n\tbuffSize * 4000000: %lld\n",
                    screenWidth, screenHeight, static_cast<long long>(size), sizeTimes(4000000));

    NQGifImageFormat canvas;
    if (!image_create(canvas, screenWidth, screenHeight))
        return logFailure("ERROR in image_read_gif(): Not enough memory for the screen\n");
    bool blank = true;
    // Every frame costs its area, however little data it has: the frames of a
    // file may cover two screens plus 4096 pixels per file byte (LZW data
    // hold well under 1500 pixels a byte), so that a small file cannot ask for
    // pastes without end.
    std::uint64_t frameBudget = 2 * screenPixels + kFramePixelsPerFileByte * std::uint64_t(size);

    NQGifPalette global;
    global.count = 256;
    const bool hasGlobal = (d[10] & 0x80) != 0;
    std::size_t at = 13;
    if (hasGlobal) {
        const int entries = 1 << ((d[10] & 7) + 1);
        if (size < 13 + 3 * std::size_t(entries)) {
            logger()->nqLog(NQ_DEBUG,
                            "ERROR in image_read_gif(): File not large enough to,support global "
                            "color table - SEVERELY TRUNCATED FILE\n");
            return false;
        }
        global.count = entries;
        std::memcpy(global.rgb, d + 13, 3 * std::size_t(entries));
        at += 3 * std::size_t(entries);
    }
    if (at >= size || (d[at] != ',' && d[at] != '!' && d[at] != ';'))
        return false;

    int pasted = 0;
    while (at < size) {
        if (d[at] == '!') {
            if (at + 1 >= size) {
                ++at;
                continue;
            }
            const unsigned label = d[at + 1];
            if (label == 0xFF) {
                if (size - at < 14) {
                    logger()->nqLog(NQ_DEBUG,
                                    "ERROR in image_read_gif(): Not enough data for complete "
                                    "Application extension header\n");
                    return false;
                }
                at = buffer_parse_gif_block_new(d, size, at + 14, nullptr);
            } else if (label == 0xFE) {
                at = buffer_parse_gif_block_new(d, size, at + 2, nullptr);
            } else if (label == 0xF9) {
                if (size - at < 8)
                    break;
                // A block size of 4 without its terminator is no graphic
                // control block: scanning goes on after the label.
                at += d[at + 2] == 4 && d[at + 7] != 0 ? 2 : 8;
            } else {
                at += 2;
            }
        } else if (d[at] == ',') {
            if (size - at < 10) {
                ++at;
                continue;
            }
            const BlockResult result = readImageBlock(d, size, at, hasGlobal ? &global : nullptr,
                                                      canvas, blank, frameBudget);
            if (result == BlockResult::kFailed)
                return false;
            if (result == BlockResult::kOverBudget) {
                logger()->nqLog(NQ_INFO,
                                "In image_read_gif(): frames beyond the decoding budget are "
                                "ignored\n");
                break;
            }
            ++pasted;
        } else {
            ++at;
        }
    }
    if (pasted == 0)
        return false;
    paintWhite(canvas, blank);
    out = std::move(canvas);
    return true;
}
