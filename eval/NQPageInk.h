#ifndef NQ_EVAL_NQPAGEINK_H
#define NQ_EVAL_NQPAGEINK_H

#include <cstdint>
#include <memory>
#include <vector>

#include "image/NQImage.h"

// Running counts of the black pixels along every row of a binary page image,
// so that the black pixels of any stretch of a row are counted in constant
// time. One page comparison counts the same page pixels many times (every
// region once, every overlapping pair again); with these counts each row of
// a region costs the same, however wide it is. Rows are counted in blocks
// when first asked for, so rows that no region covers cost nothing; the
// counts are therefore used by one thread at a time (one page comparison).
// They refer to the image, which must outlive them and stay unchanged.
class NQPageInk {
public:
    // The counts of a binary image with pixel data; null for other images
    // and for rows too wide for 16-bit counts.
    static std::shared_ptr<const NQPageInk> of(const NQImage& page);

    const NQImage& image() const { return *image_; }
    // Black pixels in rows [top, bottom) and columns [begin, end), within the
    // image and with begin <= end.
    std::int64_t black(int top, int bottom, int begin, int end) const;

    explicit NQPageInk(const NQImage& page);

private:
    const NQImage* image_;
    const unsigned char* data_;
    std::size_t rowSize_;
    std::size_t words_;  // 64-bit words per row, the last one possibly partial
    // (words_ + 1) counts per row: the white pixels left of each word.
    std::unique_ptr<std::uint16_t[]> counts_;
    static constexpr int kBlockRows = 16;
    mutable std::vector<std::uint8_t> counted_;  // blocks of rows whose counts are filled in
};

#endif
