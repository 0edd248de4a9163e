// Region masks as column segments per page row.
//
// A mask is not held as a pixel image: each page row of it is a short ordered
// list of disjoint column segments, either "page pixels" or "forced black".
// Members are painted in order, a later segment replacing what it covers, so
// the result is what drawing the members pixel by pixel would give. The
// inside columns of an outline come from NQPolygon::insideSpans, which yields
// precisely the pixels for which contains() holds, and every count reads the
// page image directly, row by row (on binary pages a popcount per 64-bit
// word, with masks for the bytes at both ends of a segment). The counts
// therefore equal those of the per-pixel rule while the cost is per
// row and segment plus a scan of the counted pixels, and the memory a few
// bytes per row.
//
// Pixels outside the page image hold no page content, so the mask is white
// there: only the rows and columns of the rectangle that lie on the page are
// held. Runs come from files; they are clipped to the held part in 64-bit
// arithmetic, so no value in them can overflow or reach outside.
#include "eval/NQRegionMask.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>
#include <optional>

#include "eval/NQBitCount.h"
#include "image/NQColor.h"
#include "image/NQException.h"

namespace {

constexpr const char* kModule = "NQRegionMask";

// Row access to a binary or grey page image. Binary: a set bit is white.
struct PageView {
    const unsigned char* data;
    std::size_t rowSize;
    bool binary;
    const NQPageInk* ink;  // the page's black counts, or null

    PageView(const NQImage& image, const NQPageInk* inkOfImage)
        : data(image.nqGetImageData()),
          rowSize(static_cast<std::size_t>(image.nqGetRowSize())),
          binary(image.nqGetBitsPerPixel() == 1),
          ink(inkOfImage) {}

    const unsigned char* row(int y) const { return data + static_cast<std::size_t>(y) * rowSize; }
    unsigned char value(const unsigned char* r, int x) const {
        if (!binary)
            return r[x];
        return (r[x >> 3] & (0x80 >> (x & 7))) ? 255 : 0;
    }
};

// Clear bits of (a | b) in columns [begin, end) of two binary rows: the
// partial bytes at both ends under a mask, the bytes between them eight at a
// time (the order of bits inside a word does not matter to a count).
template <typename BitCount>
inline __attribute__((always_inline)) std::int64_t clearBits(const unsigned char* a,
                                                             const unsigned char* b, int begin,
                                                             int end, BitCount bitCount) {
    if (begin >= end)
        return 0;
    const int first = begin >> 3, last = (end - 1) >> 3;
    const unsigned headMask = 0xFFu >> (begin & 7);
    const unsigned tailMask = (0xFFu << (7 - ((end - 1) & 7))) & 0xFFu;
    auto clearIn = [&](int k, unsigned mask) {
        return bitCount(~static_cast<unsigned>(a[k] | b[k]) & mask);
    };
    if (first == last)
        return clearIn(first, headMask & tailMask);
    std::int64_t count = clearIn(first, headMask) + clearIn(last, tailMask);
    int k = first + 1;
    for (; k + 8 <= last; k += 8)
        count += 64 - bitCount(nqLoadWord(a + k) | nqLoadWord(b + k));
    for (; k < last; ++k)
        count += clearIn(k, 0xFFu);
    return count;
}

std::int64_t clearBitsPortable(const unsigned char* a, const unsigned char* b, int begin, int end) {
    return clearBits(a, b, begin, end, nqPortableBitCount);
}

#ifdef NQ_POPCOUNT_DISPATCH
NQ_POPCOUNT_TARGET std::int64_t clearBitsPopcount(const unsigned char* a, const unsigned char* b,
                                                  int begin, int end) {
    return clearBits(a, b, begin, end, [](std::uint64_t x) { return __builtin_popcountll(x); });
}

std::int64_t countClearBits(const unsigned char* a, const unsigned char* b, int begin, int end) {
    return nqHasPopcount() ? clearBitsPopcount(a, b, begin, end)
                           : clearBitsPortable(a, b, begin, end);
}
#else
std::int64_t countClearBits(const unsigned char* a, const unsigned char* b, int begin, int end) {
    return clearBits(a, b, begin, end, [](std::uint64_t x) { return __builtin_popcountll(x); });
}
#endif

// Pixels of [begin, end) of row y whose value is not white.
std::int64_t countNonWhite(const PageView& page, int y, int begin, int end) {
    const unsigned char* r = page.row(y);
    if (page.binary)
        return countClearBits(r, r, begin, end);
    std::int64_t count = 0;
    for (int x = begin; x < end; ++x)
        count += r[x] != 255;
    return count;
}

// Pixels of [begin, end) of row y whose value is black.
std::int64_t countBlack(const PageView& page, int y, int begin, int end) {
    const unsigned char* r = page.row(y);
    if (page.binary)
        return countClearBits(r, r, begin, end);
    std::int64_t count = 0;
    for (int x = begin; x < end; ++x)
        count += r[x] == 0;
    return count;
}

// Pixels of [begin, end) of row y that are not white in `a` and equal in `b`.
std::int64_t countEqualNonWhite(const PageView& a, const PageView& b, int y, int begin, int end) {
    const unsigned char* ra = a.row(y);
    const unsigned char* rb = b.row(y);
    if (a.binary && b.binary)
        return countClearBits(ra, rb, begin, end);
    std::int64_t count = 0;
    if (!a.binary && !b.binary) {
        for (int x = begin; x < end; ++x)
            count += ra[x] != 255 && ra[x] == rb[x];
        return count;
    }
    for (int x = begin; x < end; ++x) {
        const unsigned char va = a.value(ra, x);
        count += va != 255 && va == b.value(rb, x);
    }
    return count;
}

template <typename Segment>
void appendJoined(std::vector<Segment>& out, const Segment& s) {
    if (!out.empty() && out.back().end == s.begin && out.back().black == s.black)
        out.back().end = s.end;
    else
        out.push_back(s);
}

// Paints `s` over an ordered, disjoint row, keeping it so and joining
// neighbours of one kind. `scratch` is working space, kept by the caller so
// that painting a mask allocates once and not per row.
template <typename Segment>
void paint(std::vector<Segment>& row, const Segment& s, std::vector<Segment>& scratch) {
    if (s.begin >= s.end)
        return;
    if (row.empty() || row.back().end <= s.begin) {
        appendJoined(row, s);
        return;
    }
    std::vector<Segment>& out = scratch;
    out.clear();
    std::size_t k = 0;
    while (k < row.size() && row[k].end <= s.begin)
        out.push_back(row[k++]);
    bool hasRest = false;
    Segment rest = s;
    while (k < row.size() && row[k].begin < s.end) {
        const Segment& old = row[k++];
        if (old.begin < s.begin)
            appendJoined(out, Segment{old.begin, s.begin, old.black});
        if (old.end > s.end) {
            rest = Segment{s.end, old.end, old.black};
            hasRest = true;
        }
    }
    appendJoined(out, s);
    if (hasRest)
        appendJoined(out, rest);
    while (k < row.size())
        appendJoined(out, row[k++]);
    row.swap(out);
}

// Whether an outline is an upright rectangle walked corner to corner: four
// points, each edge running along one axis and the axes taking turns. The
// crossing rule then keeps its left and upper edges and drops its right and
// lower ones: its inside pixels are the columns [x, x + width) of the rows
// [y, y + height) of its bounds. A rectangle zone's outline is of this kind.
bool isUprightRectangle(const NQPolygon& outline) {
    if (outline.getSize() != 4)
        return false;
    const int* xs = outline.getXpoints();
    const int* ys = outline.getYpoints();
    bool alongX[4];
    for (int i = 0; i < 4; ++i) {
        const int j = (i + 1) % 4;
        alongX[i] = xs[j] != xs[i];
        if (alongX[i] == (ys[j] != ys[i]))
            return false;  // a point repeated, or an edge along neither axis
    }
    return alongX[0] != alongX[1] && alongX[1] != alongX[2] && alongX[2] != alongX[3];
}

}  // namespace

NQRegionMask::NQRegionMask(const NQImage& page, const NQRectShape& rect,
                           const std::vector<NQPolygon>& outlines, const std::vector<Runs>& runs,
                           std::shared_ptr<const NQPageInk> ink)
    : rect_(rect) {
    if (page.nqGetColorModel() > NQ_GRAY ||
        (page.nqGetBitsPerPixel() != 1 && page.nqGetBitsPerPixel() != 8))
        throw NQException(NQ_INVALID_INPUT,
                          "<NQMZone::getZoneImage()> Binary or Gray Scale FORMAT is needed",
                          kModule, __LINE__);
    if (!page.nqHasImageData())
        throw NQException(NQ_NULL_DATA, "<NQMZone::getZoneImage()> Image data is null!!", kModule,
                          __LINE__);

    // The rectangle, limited to the page image.
    const int left = std::max(rect.x, 0);
    const int right = std::min(rect.x + rect.width, page.nqGetWidth());
    const int top = std::max(rect.y, 0);
    const int bottom = std::min(rect.y + rect.height, page.nqGetHeight());
    page_ = &page;
    if (ink != nullptr && &ink->image() == &page)
        ink_ = std::move(ink);
    if (bottom > top && right > left)
        paintMembers(outlines, runs, left, top, right, bottom);
    onPixels_ = countOnPixels();
}

void NQRegionMask::appendBand(int top, int bottom, const std::vector<Segment>& row) {
    if (row.empty())
        return;
    if (!bands_.empty()) {
        Band& above = bands_.back();
        if (above.bottom == top && above.last - above.first == row.size() &&
            std::equal(row.begin(), row.end(), segments_.begin() + above.first)) {
            above.bottom = bottom;
            return;
        }
    }
    const auto first = static_cast<std::uint32_t>(segments_.size());
    segments_.insert(segments_.end(), row.begin(), row.end());
    bands_.push_back(Band{top, bottom, first, static_cast<std::uint32_t>(segments_.size())});
}

void NQRegionMask::paintMembers(const std::vector<NQPolygon>& outlines,
                                const std::vector<Runs>& runs, int left, int top, int right,
                                int bottom) {
    // The usual region, one rectangle zone, is one band of one segment; it
    // is set directly instead of being scanned row by row.
    if (outlines.size() == 1 && (runs.empty() || !runs[0].used) &&
        isUprightRectangle(outlines[0])) {
        const NQPolygon& outline = outlines[0];
        const int firstRow = std::max(outline.y, top);
        const int lastRow = std::min(outline.y + outline.height, bottom);
        const int begin = std::max(outline.x, left);
        const int end = std::min(outline.x + outline.width, right);
        if (firstRow < lastRow && begin < end) {
            segments_.push_back(Segment{begin, end, false});
            bands_.push_back(Band{firstRow, lastRow, 0, 1});
        }
        return;
    }
    // Each member's source of segments, read from the top: the outline's
    // scanner, or the member's runs on held rows, ordered by row. All runs of
    // a member are black, so their order within a row does not change what
    // they paint.
    struct Run {
        int y;
        Segment segment;
    };
    struct Member {
        std::optional<NQPolygon::RowScanner> scanner;
        int firstRow = 0, lastRow = 0, firstColumn = 0, lastColumn = 0;
        std::vector<Run> runs;
        std::size_t nextRun = 0;
    };
    std::vector<Member> members(outlines.size());
    for (std::size_t m = 0; m < outlines.size(); ++m) {
        const NQPolygon& outline = outlines[m];
        const int bx = outline.x, by = outline.y;
        Member& member = members[m];
        if (m < runs.size() && runs[m].used) {
            const Runs& r = runs[m];
            for (std::size_t k = 0; k < r.rows.size(); ++k) {
                const long long y = static_cast<long long>(r.rows[k]) + by;
                if (y < top || y >= bottom || r.lengths[k] <= 0)
                    continue;
                const long long begin = static_cast<long long>(r.starts[k]) + bx;
                const long long end = begin + r.lengths[k];
                member.runs.push_back(
                    Run{static_cast<int>(y),
                        Segment{static_cast<int>(std::max<long long>(begin, left)),
                                static_cast<int>(std::min<long long>(end, right)), true}});
            }
            std::stable_sort(member.runs.begin(), member.runs.end(),
                             [](const Run& a, const Run& b) { return a.y < b.y; });
            continue;
        }
        // The outline's pixels: columns [bx, bx + bw) and rows [by, by + bh)
        // for which the polygon contains the point.
        member.scanner.emplace(outline);
        member.firstRow = std::max(by, top);
        member.lastRow = std::min(by + outline.height, bottom);
        member.firstColumn = std::max(bx, left);
        member.lastColumn = std::min(bx + outline.width, right);
    }

    // Rows are painted in bands: a band ends where any member's segments may
    // change, so that a rectangle is painted once, not once per row.
    std::vector<Segment> row, scratch;
    std::vector<std::pair<int, int>> spans;
    for (int y = top; y < bottom;) {
        int until = bottom;
        row.clear();
        for (Member& member : members) {
            if (!member.scanner) {
                const std::size_t before = member.nextRun;
                for (; member.nextRun < member.runs.size() && member.runs[member.nextRun].y == y;
                     ++member.nextRun)
                    paint(row, member.runs[member.nextRun].segment, scratch);
                if (member.nextRun > before)
                    until = y + 1;
                else if (member.nextRun < member.runs.size())
                    until = std::min(until, member.runs[member.nextRun].y);
                continue;
            }
            if (y < member.firstRow) {
                until = std::min(until, member.firstRow);
                continue;
            }
            if (y >= member.lastRow)
                continue;
            until = std::min({until, member.lastRow, member.scanner->spans(y, spans)});
            for (const auto& span : spans)
                paint(row,
                      Segment{std::max(span.first, member.firstColumn),
                              std::min(span.second, member.lastColumn), false},
                      scratch);
        }
        appendBand(y, until, row);
        y = until;
    }
}

std::int64_t NQRegionMask::countOnPixels() const {
    if (page_ == nullptr)
        return 0;
    const PageView page(*page_, ink_.get());
    std::int64_t count = 0;
    for (const Band& band : bands_)
        for (std::uint32_t k = band.first; k < band.last; ++k) {
            const Segment& s = segments_[k];
            if (s.black) {
                count += static_cast<std::int64_t>(s.end - s.begin) * (band.bottom - band.top);
                continue;
            }
            if (page.ink != nullptr) {
                count += page.ink->black(band.top, band.bottom, s.begin, s.end);
                continue;
            }
            for (int y = band.top; y < band.bottom; ++y)
                count += countNonWhite(page, y, s.begin, s.end);
        }
    return count;
}

void NQRegionMask::releasePage() {
    page_ = nullptr;
    ink_.reset();
    released_ = true;
}

void NQRegionMask::checkPageKept(const char* operation) const {
    if (released_)
        throw NQException(NQ_NULL_DATA,
                          std::string("<NQRegionMask::") + operation +
                              "()> The page image was released",
                          kModule, __LINE__);
}

std::int64_t NQRegionMask::overlap(const NQRegionMask& other) const {
    checkPageKept("overlap");
    other.checkPageKept("overlap");
    const int x = std::max(rect_.x, other.rect_.x);
    const int y = std::max(rect_.y, other.rect_.y);
    const int right = std::min(rect_.x + rect_.width, other.rect_.x + other.rect_.width);
    const int bottom = std::min(rect_.y + rect_.height, other.rect_.y + other.rect_.height);
    if (right - x < 1 || bottom - y < 1 || page_ == nullptr || other.page_ == nullptr)
        return 0;

    // Walk the bands of both masks together; where two bands share rows,
    // their segments are intersected once and the pieces counted row by row.
    const PageView pageA(*page_, ink_.get()), pageB(*other.page_, other.ink_.get());
    std::int64_t count = 0;
    auto a = bands_.begin(), b = other.bands_.begin();
    while (a != bands_.end() && b != other.bands_.end()) {
        const int top = std::max({a->top, b->top, y});
        const int end = std::min({a->bottom, b->bottom, bottom});
        if (top >= bottom)
            break;
        for (std::uint32_t i = a->first, j = b->first; top < end && i < a->last && j < b->last;) {
            const Segment& sa = segments_[i];
            const Segment& sb = other.segments_[j];
            const int lo = std::max({sa.begin, sb.begin, x});
            const int hi = std::min({sa.end, sb.end, right});
            if (lo < hi) {
                // A black run counts the other side's black pixels; on one
                // page image, a page pixel that is not white equals itself.
                const NQPageInk* ink = sa.black                      ? pageB.ink
                                       : sb.black                    ? pageA.ink
                                       : pageA.ink == pageB.ink      ? pageA.ink
                                                                     : nullptr;
                if (sa.black && sb.black)
                    count += static_cast<std::int64_t>(hi - lo) * (end - top);
                else if (ink != nullptr)
                    count += ink->black(top, end, lo, hi);
                else
                    for (int row = top; row < end; ++row)
                        count += sa.black   ? countBlack(pageB, row, lo, hi)
                                 : sb.black ? countBlack(pageA, row, lo, hi)
                                            : countEqualNonWhite(pageA, pageB, row, lo, hi);
            }
            if (sa.end <= sb.end)
                ++i;
            else
                ++j;
        }
        if (a->bottom <= b->bottom)
            ++a;
        else
            ++b;
    }
    return count;
}

std::string NQRegionMask::runLengthCode() const {
    checkPageKept("runLengthCode");
    std::string text;
    if (page_ == nullptr)
        return text;
    const PageView page(*page_, ink_.get());
    const long long maskRight = static_cast<long long>(rect_.x) + rect_.width;
    auto write = [&](int y, long long begin, long long end) {
        text += "(" + std::to_string(y - rect_.y) + "," + std::to_string(begin - rect_.x) + "," +
                std::to_string(end - rect_.x) + ");";
    };
    for (const Band& band : bands_)
        for (int y = band.top; y < band.bottom; ++y) {
            const unsigned char* source = page.row(y);
            long long runStart = -1;        // page column where the open run of black began
            long long covered = LLONG_MIN;  // end of the last segment seen
            for (std::uint32_t k = band.first; k < band.last; ++k) {
                const Segment& s = segments_[k];
                // A gap between segments is white and closes the run.
                if (runStart >= 0 && s.begin > covered) {
                    write(y, runStart, covered);
                    runStart = -1;
                }
                for (int x = s.begin; x < s.end; ++x) {
                    const bool black = s.black || page.value(source, x) == 0;
                    if (black && runStart < 0)
                        runStart = x;
                    if (!black && runStart >= 0) {
                        write(y, runStart, x);
                        runStart = -1;
                    }
                }
                covered = s.end;
            }
            // A run that reaches the right edge of the mask is never closed and not written.
            if (runStart >= 0 && covered < maskRight)
                write(y, runStart, covered);
        }
    return text;
}

NQImage NQRegionMask::image() const {
    checkPageKept("image");
    if (page_ == nullptr)
        return NQImage();
    const int bits = page_->nqGetBitsPerPixel();
    if (NQImage::dataSizeFor(rect_.width, rect_.height, bits) == 0)
        return NQImage();
    NQImage image(rect_.width, rect_.height, static_cast<NQImageHead::NQBitDepths>(bits));
    const PageView page(*page_, ink_.get());
    for (const Band& band : bands_)
        for (int y = band.top; y < band.bottom; ++y) {
            const unsigned char* source = page.row(y);
            for (std::uint32_t k = band.first; k < band.last; ++k) {
                const Segment& seg = segments_[k];
                for (int x = seg.begin; x < seg.end; ++x)
                    image.nqSetPixel(x - rect_.x, y - rect_.y,
                                     seg.black ? static_cast<unsigned char>(0)
                                               : page.value(source, x));
            }
        }
    return image;
}
