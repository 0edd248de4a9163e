#ifndef NQ_EVAL_NQPAGEINK_H
#define NQ_EVAL_NQPAGEINK_H

#include <cstdint>
#include <memory>
#include <vector>

#include "image/NQImage.h"

// The black pixels of any stretch of rows of a binary page image, counted
// fast. One page comparison counts the same page pixels many times (every
// region once, every overlapping pair again). Where the processor counts 64
// bytes an instruction, the rows are counted as asked; elsewhere running
// counts along every row make each row of a stretch cost the same, however
// wide it is. Those rows are counted in blocks when first asked for, so rows
// that no region covers cost nothing; a counter is therefore used by one
// thread at a time (one page comparison). It refers to the image, which must
// outlive it and stay unchanged.
class NQPageInk {
public:
    // Best: the faster way on this processor. Table: the running counts on
    // any processor, so that both ways can be checked on one.
    enum class Counting { Best, Table };

    // The counter of a binary image with pixel data; null for other images
    // and for rows too wide for 16-bit counts.
    static std::shared_ptr<const NQPageInk> of(const NQImage& page,
                                               Counting counting = Counting::Best);

    const NQImage& image() const { return *image_; }
    // Black pixels in rows [top, bottom) and columns [begin, end), within the
    // image and with begin <= end.
    std::int64_t black(int top, int bottom, int begin, int end) const;

    explicit NQPageInk(const NQImage& page, Counting counting = Counting::Best);

private:
    const NQImage* image_;
    const unsigned char* data_;
    std::size_t rowSize_;
    std::size_t words_;  // 64-bit words per row, the last one possibly partial
    // (words_ + 1) counts per row: the white pixels left of each word; null
    // when the rows are counted as asked.
    std::unique_ptr<std::uint16_t[]> counts_;
    static constexpr int kBlockRows = 16;
    mutable std::vector<std::uint8_t> counted_;  // blocks of rows whose counts are filled in
};

#endif
