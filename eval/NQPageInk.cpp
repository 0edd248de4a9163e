// Per-row prefix counts of black pixels at 64-bit word granularity.
//
// For row y, counts_[y][w] holds the white (set) bits of words 0 .. w-1; the
// black pixels of a column range are then its width less the difference of
// two table reads, each corrected by a popcount of the first bits of the
// word that holds the range's end. Words are read in memory order and turned
// big-endian, so that the leftmost pixel of a word is its highest bit. The
// last word of a row may be partial: it is read byte by byte and never past
// the row, and bits behind the last pixel are never asked for. Counting set
// bits rather than black ones saves an inversion per word of the page.
//
// Filling the table costs a popcount per word of the rows it is asked for
// (eight words an instruction on processors with AVX-512's vector popcount);
// the matcher makes one per page image, and both sides of a comparison share
// it when they show the same image.
#include "eval/NQPageInk.h"

#include <algorithm>
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
// The same table eight words at a time: the eight counts of a step are
// summed up across the lanes in three shifted additions, and the table
// takes each lane's sum less its own count, plus what the row held before.
NQ_VECTOR_POPCOUNT_TARGET void countRowsVector(const unsigned char* data, std::size_t rowSize,
                                               std::size_t words, int top, int bottom,
                                               std::uint16_t* counts) {
    const std::size_t full = rowSize / 8;
    // Lane i takes lane i - 1, i - 2 or i - 4; lanes without one get 0.
    const __m512i back1 = _mm512_set_epi64(6, 5, 4, 3, 2, 1, 0, 0);
    const __m512i back2 = _mm512_set_epi64(5, 4, 3, 2, 1, 0, 0, 0);
    const __m512i back4 = _mm512_set_epi64(3, 2, 1, 0, 0, 0, 0, 0);
    const __m512i lastLane = _mm512_set1_epi64(7);
    for (int y = top; y < bottom; ++y) {
        const unsigned char* row = data + static_cast<std::size_t>(y) * rowSize;
        std::uint16_t* out = counts + static_cast<std::size_t>(y) * (words + 1);
        __m512i running = _mm512_setzero_si512();
        std::size_t w = 0;
        for (; w + 8 <= full; w += 8) {
            const __m512i ones = _mm512_popcnt_epi64(_mm512_loadu_si512(row + 8 * w));
            __m512i sums = ones;
            sums = _mm512_add_epi64(sums, _mm512_maskz_permutexvar_epi64(0xFE, back1, sums));
            sums = _mm512_add_epi64(sums, _mm512_maskz_permutexvar_epi64(0xFC, back2, sums));
            sums = _mm512_add_epi64(sums, _mm512_maskz_permutexvar_epi64(0xF0, back4, sums));
            const __m512i before = _mm512_add_epi64(running, _mm512_sub_epi64(sums, ones));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + w),
                             _mm512_maskz_cvtepi64_epi16(0xFF, before));
            running =
                _mm512_add_epi64(running, _mm512_maskz_permutexvar_epi64(0xFF, lastLane, sums));
        }
        // (The masked forms throughout: GCC's plain ones warn about an
        // undefined pass-through operand.)
        // The rest of the row, fewer than 64 bytes, in one step too: the
        // masked load reads no byte past the row and gives zero bytes
        // instead, as the last partial word is read elsewhere.
        const std::size_t left = rowSize - 8 * w;
        const __m512i ones = _mm512_popcnt_epi64(
            _mm512_maskz_loadu_epi8(left >= 64 ? ~__mmask64{0} : (__mmask64{1} << left) - 1,
                                    row + 8 * w));
        __m512i sums = ones;
        sums = _mm512_add_epi64(sums, _mm512_maskz_permutexvar_epi64(0xFE, back1, sums));
        sums = _mm512_add_epi64(sums, _mm512_maskz_permutexvar_epi64(0xFC, back2, sums));
        sums = _mm512_add_epi64(sums, _mm512_maskz_permutexvar_epi64(0xF0, back4, sums));
        const __m512i before = _mm512_add_epi64(running, _mm512_sub_epi64(sums, ones));
        const std::size_t lanes = words - w;  // at most 8
        _mm512_mask_cvtepi64_storeu_epi16(out + w, static_cast<__mmask8>((1u << lanes) - 1),
                                          before);
        std::uint64_t total[8];
        _mm512_storeu_si512(total, _mm512_add_epi64(running, sums));
        out[words] = static_cast<std::uint16_t>(total[7]);
    }
}
#endif

}  // namespace

std::shared_ptr<const NQPageInk> NQPageInk::of(const NQImage& page) {
    // The last word of a row may count padding bits, so the limit leaves a word of room.
    if (page.nqGetBitsPerPixel() != 1 || !page.nqHasImageData() || page.nqGetWidth() < 1 ||
        page.nqGetWidth() > std::numeric_limits<std::uint16_t>::max() - 64)
        return nullptr;
    return std::make_shared<const NQPageInk>(page);
}

NQPageInk::NQPageInk(const NQImage& page)
    : image_(&page),
      data_(page.nqGetImageData()),
      rowSize_(static_cast<std::size_t>(page.nqGetRowSize())),
      words_((rowSize_ + 7) / 8),
      counts_(new std::uint16_t[static_cast<std::size_t>(page.nqGetHeight()) * (words_ + 1)]),
      counted_(static_cast<std::size_t>(page.nqGetHeight() + kBlockRows - 1) / kBlockRows, 0) {
    nqPrefaultFreshMemory(counts_.get(), static_cast<std::size_t>(page.nqGetHeight()) *
                                             (words_ + 1) * sizeof(std::uint16_t));
}

std::int64_t NQPageInk::black(int top, int bottom, int begin, int end) const {
    // Fill in the blocks of rows not counted yet.
    const int height = image_->nqGetHeight();
    for (int block = top / kBlockRows; block * kBlockRows < bottom; ++block) {
        if (counted_[block])
            continue;
        counted_[block] = 1;
        const int first = block * kBlockRows, last = std::min(first + kBlockRows, height);
#ifdef NQ_VECTOR_POPCOUNT_DISPATCH
        if (nqHasVectorPopcount()) {
            countRowsVector(data_, rowSize_, words_, first, last, counts_.get());
            continue;
        }
#endif
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
