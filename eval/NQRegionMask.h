#ifndef NQ_EVAL_NQREGIONMASK_H
#define NQ_EVAL_NQREGIONMASK_H

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "docmodel/NQPolygon.h"
#include "docmodel/NQShape.h"
#include "eval/NQPageInk.h"
#include "image/NQImage.h"

// The mask of a region over its rectangle: the page pixels inside the
// members' outlines, white elsewhere; a member given as run-length text
// instead forces its runs to black. Members are painted in order, later ones
// over earlier ones. The mask is built once and only read afterwards; it
// refers to the page image, which must outlive it.
class NQRegionMask {
public:
    // An empty mask: no pixels, every count 0.
    NQRegionMask() = default;
    // The black runs of a member drawn from run-length text, relative to its
    // outline's bounding rectangle; `used` is false for a member drawn from
    // its outline.
    struct Runs {
        bool used = false;
        std::vector<int> rows, starts, lengths;
    };

    // `outlines` holds one entry per member, `runs` one per member or none
    // (every member drawn from its outline). Raises NQException
    // when the page is colour or has no pixel data. `ink`, when given for the
    // same page image, counts black pixels per row stretch; masks that share
    // one count their overlap with it too.
    NQRegionMask(const NQImage& page, const NQRectShape& rect,
                 const std::vector<NQPolygon>& outlines, const std::vector<Runs>& runs,
                 std::shared_ptr<const NQPageInk> ink = nullptr);

    const NQRectShape& rect() const { return rect_; }
    // Mask pixels that are not white.
    std::int64_t onPixels() const { return onPixels_; }
    // Pixels inside both rectangles where this mask is not white and `other`
    // holds the same value.
    std::int64_t overlap(const NQRegionMask& other) const;
    // "(row,start,end);" for each run of black pixels that ends inside its
    // row, row by row, relative to the rectangle's origin.
    std::string runLengthCode() const;
    // The mask as an image of the rectangle's size and the page's bit depth;
    // an empty image for an empty mask.
    NQImage image() const;
    // Lets go of the page image, which may then go away: onPixels() keeps its
    // count, and overlap(), runLengthCode() and image() raise NQException.
    void releasePage();

private:
    // A stretch [begin, end) of page columns of one mask row: either page
    // pixels or pixels forced black by a run-length member.
    struct Segment {
        int begin;
        int end;
        bool black;
        bool operator==(const Segment& o) const {
            return begin == o.begin && end == o.end && black == o.black;
        }
    };
    // Page rows [top, bottom) whose mask rows are all segments_[first, last).
    struct Band {
        int top;
        int bottom;
        std::uint32_t first;
        std::uint32_t last;
    };

    void paintMembers(const std::vector<NQPolygon>& outlines, const std::vector<Runs>& runs,
                      int left, int top, int right, int bottom);
    // Appends rows [top, bottom) holding `row`, joining the band above when it
    // holds the same segments.
    void appendBand(int top, int bottom, const std::vector<Segment>& row);
    std::int64_t countOnPixels() const;
    // Raises NQException once the page was released.
    void checkPageKept(const char* operation) const;

    const NQImage* page_ = nullptr;
    std::shared_ptr<const NQPageInk> ink_;  // null: count from the page's bits
    NQRectShape rect_;
    std::vector<Band> bands_;  // ascending and disjoint; rows in no band are white
    std::vector<Segment> segments_;
    std::int64_t onPixels_ = 0;
    bool released_ = false;
};

#endif
