// Black pixels of row stretches of a binary page image, counted one of two
// ways.
//
// On processors with AVX-512's vector popcount, from the rows themselves: a
// stretch costs an instruction per 32 bytes of each of its rows, and nothing
// is computed ahead. That reads no more of the page than the comparison asks
// for, where a table would first read the whole page and write a quarter of
// its size again.
//
// Elsewhere, through per-row prefix counts at 64-bit word granularity. For
// row y, counts_[y][w] holds the white (set) bits of words 0 .. w-1; the
// black pixels of a column range are then its width less the difference of
// two table reads, each corrected by a popcount of the first bits of the
// word that holds the range's end. Words are read in memory order and turned
// big-endian, so that the leftmost pixel of a word is its highest bit. The
// last word of a row may be partial: it is read byte by byte and never past
// the row, and bits behind the last pixel are never asked for. Counting set
// bits rather than black ones saves an inversion per word of the page.
// Filling the table costs a popcount per word of the rows it is asked for.
//
// The matcher makes one counter per page image, and both sides of a
// comparison share it when they show the same image.
#include "eval/NQPageInk.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "eval/NQBitCount.h"
#include "image/NQPixelBlock.h"

namespace {

// The word of a row that starts at byte `first`, big-endian, with zero bytes
// beyond the row.
inline std::uint64_t wordAt(const unsigned char* row, std::size_t first, std::size_t rowSize) {
    if (first + 8 <= rowSize)
        return __builtin_bswap64(nqLoadWord(row + first));
    std::uint64_t word = 0;
    for (std::size_t b = 0; b < 8; ++b)
        word = (word << 8) | (first + b < rowSize ? row[first + b] : 0);
    return word;
}

// The counts of a row from word w on, `running` being the set bits before
// it, and the row's total behind its last word.
template <typename BitCount>
inline __attribute__((always_inline)) void countRowFrom(const unsigned char* row,
                                                        std::size_t rowSize, std::size_t words,
                                                        std::size_t w, unsigned running,
                                                        std::uint16_t* out, BitCount bitCount) {
    const std::size_t full = rowSize / 8;
    for (; w < full; ++w) {
        out[w] = static_cast<std::uint16_t>(running);
        running += static_cast<unsigned>(bitCount(nqLoadWord(row + 8 * w)));
    }
    for (; w < words; ++w) {
        out[w] = static_cast<std::uint16_t>(running);
        running += static_cast<unsigned>(bitCount(wordAt(row, 8 * w, rowSize)));
    }
    out[words] = static_cast<std::uint16_t>(running);
}

template <typename BitCount>
inline __attribute__((always_inline)) void countRows(const unsigned char* data, std::size_t rowSize,
                                                     std::size_t words, int top, int bottom,
                                                     std::uint16_t* counts, BitCount bitCount) {
    const std::size_t full = rowSize / 8;
    for (int y = top; y < bottom; ++y) {
        const unsigned char* row = data + static_cast<std::size_t>(y) * rowSize;
        std::uint16_t* out = counts + static_cast<std::size_t>(y) * (words + 1);
        unsigned running = 0;
        std::size_t w = 0;
        // Four words a step: their counts do not depend on each other.
        for (; w + 4 <= full; w += 4) {
            const unsigned c0 = static_cast<unsigned>(bitCount(nqLoadWord(row + 8 * w)));
            const unsigned c1 = static_cast<unsigned>(bitCount(nqLoadWord(row + 8 * w + 8)));
            const unsigned c2 = static_cast<unsigned>(bitCount(nqLoadWord(row + 8 * w + 16)));
            const unsigned c3 = static_cast<unsigned>(bitCount(nqLoadWord(row + 8 * w + 24)));
            out[w] = static_cast<std::uint16_t>(running);
            out[w + 1] = static_cast<std::uint16_t>(running + c0);
            out[w + 2] = static_cast<std::uint16_t>(running + c0 + c1);
            out[w + 3] = static_cast<std::uint16_t>(running + c0 + c1 + c2);
            running += c0 + c1 + c2 + c3;
        }
        countRowFrom(row, rowSize, words, w, running, out, bitCount);
    }
}

// White pixels of a row left of column x.
template <typename BitCount>
inline __attribute__((always_inline)) int whiteBefore(const unsigned char* row,
                                                      const std::uint16_t* counts,
                                                      std::size_t rowSize, int x,
                                                      BitCount bitCount) {
    const std::size_t w = static_cast<std::size_t>(x) >> 6;
    const int n = x & 63;
    if (n == 0)
        return counts[w];
    return counts[w] + bitCount(wordAt(row, 8 * w, rowSize) >> (64 - n));
}

template <typename BitCount>
inline __attribute__((always_inline)) std::int64_t countBlack(
    const unsigned char* data, std::size_t rowSize, std::size_t words, const std::uint16_t* counts,
    int top, int bottom, int begin, int end, BitCount bitCount) {
    std::int64_t white = 0;
    for (int y = top; y < bottom; ++y) {
        const unsigned char* row = data + static_cast<std::size_t>(y) * rowSize;
        const std::uint16_t* rowCounts = counts + static_cast<std::size_t>(y) * (words + 1);
        white += whiteBefore(row, rowCounts, rowSize, end, bitCount) -
                 whiteBefore(row, rowCounts, rowSize, begin, bitCount);
    }
    return static_cast<std::int64_t>(end - begin) * (bottom - top) - white;
}

void countRowsPortable(const unsigned char* data, std::size_t rowSize, std::size_t words, int top,
                       int bottom, std::uint16_t* counts) {
    countRows(data, rowSize, words, top, bottom, counts, nqPortableBitCount);
}

std::int64_t countBlackPortable(const unsigned char* data, std::size_t rowSize, std::size_t words,
                                const std::uint16_t* counts, int top, int bottom, int begin,
                                int end) {
    return countBlack(data, rowSize, words, counts, top, bottom, begin, end, nqPortableBitCount);
}

#ifdef NQ_POPCOUNT_DISPATCH
NQ_POPCOUNT_TARGET void countRowsPopcount(const unsigned char* data, std::size_t rowSize,
                                          std::size_t words, int top, int bottom,
                                          std::uint16_t* counts) {
    countRows(data, rowSize, words, top, bottom, counts,
              [](std::uint64_t x) { return __builtin_popcountll(x); });
}

NQ_POPCOUNT_TARGET std::int64_t countBlackPopcount(const unsigned char* data, std::size_t rowSize,
                                                   std::size_t words, const std::uint16_t* counts,
                                                   int top, int bottom, int begin, int end) {
    return countBlack(data, rowSize, words, counts, top, bottom, begin, end,
                      [](std::uint64_t x) { return __builtin_popcountll(x); });
}
#endif

#ifdef NQ_VECTOR_POPCOUNT_DISPATCH
// Black pixels of rows [top, bottom) and columns [begin, end), with
// begin < end, counted from the rows themselves: the set bits of the bytes
// that hold the columns, 32 bytes an instruction. The first and last of
// those bytes are masked down to the columns' bits, and the masked load of a
// row's last bytes reads none past them. The vectors are 256 bits wide, not
// 512: processors that lower their clock while 512-bit instructions run keep
// it lowered for a while after, and the next page image, decoded right after
// a comparison, then took 6 % longer.
NQ_VECTOR_POPCOUNT_TARGET std::int64_t countBlackVector(const unsigned char* data,
                                                        std::size_t rowSize, int top, int bottom,
                                                        int begin, int end) {
    constexpr std::size_t kStep = 32;
    const std::size_t first = static_cast<std::size_t>(begin) >> 3;
    const std::size_t bytes = ((static_cast<std::size_t>(end) + 7) >> 3) - first;
    const std::size_t lastStart = (bytes - 1) & ~(kStep - 1);  // the last step
    const std::size_t lastBytes = bytes - lastStart;          // 1 to 32
    const __mmask32 lastLoad =
        lastBytes == kStep ? ~__mmask32{0} : static_cast<__mmask32>((1u << lastBytes) - 1);
    // Which bits of each byte of the first and of the last step count.
    alignas(32) unsigned char keepFirst[kStep], keepLast[kStep];
    std::memset(keepFirst, 0xFF, sizeof keepFirst);
    std::memset(keepLast, 0xFF, sizeof keepLast);
    const unsigned endBit = static_cast<unsigned>(end & 7);
    const unsigned char fromBegin = static_cast<unsigned char>(0xFFu >> (begin & 7));
    const unsigned char beforeEnd =
        static_cast<unsigned char>(endBit == 0 ? 0xFFu : (0xFFu << (8 - endBit)) & 0xFFu);
    keepFirst[0] = fromBegin;
    keepLast[lastBytes - 1] = beforeEnd;
    if (lastStart == 0)
        keepLast[0] &= fromBegin;  // one step holds both ends
    const __m256i firstMask = _mm256_load_si256(reinterpret_cast<const __m256i*>(keepFirst));
    const __m256i lastMask = _mm256_load_si256(reinterpret_cast<const __m256i*>(keepLast));

    __m256i sums = _mm256_setzero_si256();
    for (int y = top; y < bottom; ++y) {
        const unsigned char* row = data + static_cast<std::size_t>(y) * rowSize + first;
        if (lastStart > 0) {
            sums = _mm256_add_epi64(
                sums, _mm256_popcnt_epi64(_mm256_and_si256(
                          _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row)), firstMask)));
            for (std::size_t k = kStep; k < lastStart; k += kStep)
                sums = _mm256_add_epi64(sums, _mm256_popcnt_epi64(_mm256_loadu_si256(
                                                  reinterpret_cast<const __m256i*>(row + k))));
        }
        sums = _mm256_add_epi64(
            sums, _mm256_popcnt_epi64(_mm256_and_si256(
                      _mm256_maskz_loadu_epi8(lastLoad, row + lastStart), lastMask)));
    }
    alignas(32) std::int64_t lanes[4];
    _mm256_store_si256(reinterpret_cast<__m256i*>(lanes), sums);
    const std::int64_t white = lanes[0] + lanes[1] + lanes[2] + lanes[3];
    return static_cast<std::int64_t>(end - begin) * (bottom - top) - white;
}
#endif

}  // namespace

std::shared_ptr<const NQPageInk> NQPageInk::of(const NQImage& page, Counting counting) {
    // The last word of a row may count padding bits, so the limit leaves a word of room.
    if (page.nqGetBitsPerPixel() != 1 || !page.nqHasImageData() || page.nqGetWidth() < 1 ||
        page.nqGetWidth() > std::numeric_limits<std::uint16_t>::max() - 64)
        return nullptr;
    return std::make_shared<const NQPageInk>(page, counting);
}

NQPageInk::NQPageInk(const NQImage& page, Counting counting)
    : image_(&page),
      data_(page.nqGetImageData()),
      rowSize_(static_cast<std::size_t>(page.nqGetRowSize())),
      words_((rowSize_ + 7) / 8) {
#ifdef NQ_VECTOR_POPCOUNT_DISPATCH
    if (counting == Counting::Best && nqHasVectorPopcount())
        return;  // counted from the rows themselves: no table
#endif
    const std::size_t entries = static_cast<std::size_t>(page.nqGetHeight()) * (words_ + 1);
    counts_.reset(new std::uint16_t[entries]);
    nqPrefaultFreshMemory(counts_.get(), entries * sizeof(std::uint16_t));
    counted_.assign(static_cast<std::size_t>(page.nqGetHeight() + kBlockRows - 1) / kBlockRows, 0);
}

std::int64_t NQPageInk::black(int top, int bottom, int begin, int end) const {
#ifdef NQ_VECTOR_POPCOUNT_DISPATCH
    if (!counts_)
        return begin < end && top < bottom
                   ? countBlackVector(data_, rowSize_, top, bottom, begin, end)
                   : 0;
#endif
    // Fill in the blocks of rows not counted yet.
    const int height = image_->nqGetHeight();
    for (int block = top / kBlockRows; block * kBlockRows < bottom; ++block) {
        if (counted_[block])
            continue;
        counted_[block] = 1;
        const int first = block * kBlockRows, last = std::min(first + kBlockRows, height);
#ifdef NQ_POPCOUNT_DISPATCH
        if (nqHasPopcount())
            countRowsPopcount(data_, rowSize_, words_, first, last, counts_.get());
        else
#endif
            countRowsPortable(data_, rowSize_, words_, first, last, counts_.get());
    }
#ifdef NQ_POPCOUNT_DISPATCH
    if (nqHasPopcount())
        return countBlackPopcount(data_, rowSize_, words_, counts_.get(), top, bottom, begin, end);
#endif
    return countBlackPortable(data_, rowSize_, words_, counts_.get(), top, bottom, begin, end);
}
