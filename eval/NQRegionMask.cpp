// Region masks as column segments per page row.
//
// A mask is not held as a pixel image: each page row of it is a short ordered
// list of disjoint column segments, either "page pixels" or "forced black".
// Members are painted in order, a later segment replacing what it covers, so
// the result is what drawing the members pixel by pixel would give. The
// inside columns of an outline come from NQPolygon::insideSpans, which yields
// precisely the pixels for which contains() holds, and every count reads the
// page image directly, row by row (a popcount per byte on binary pages). The
// counts therefore equal those of the per-pixel rule while the cost is per
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

#include "image/NQColor.h"
#include "image/NQException.h"

namespace {

constexpr const char* kModule = "NQRegionMask";

// Row access to a binary or grey page image. Binary: a set bit is white.
struct PageView {
    const unsigned char* data;
    std::size_t rowSize;
    bool binary;

    explicit PageView(const NQImage& image)
        : data(image.nqGetImageData()),
          rowSize(static_cast<std::size_t>(image.nqGetRowSize())),
          binary(image.nqGetBitsPerPixel() == 1) {}

    const unsigned char* row(int y) const { return data + static_cast<std::size_t>(y) * rowSize; }
    unsigned char value(const unsigned char* r, int x) const {
        if (!binary)
            return r[x];
        return (r[x >> 3] & (0x80 >> (x & 7))) ? 255 : 0;
    }
};

// Clear bits of (a | b) in columns [begin, end) of two binary rows.
std::int64_t countClearBits(const unsigned char* a, const unsigned char* b, int begin, int end) {
    std::int64_t count = 0;
    int x = begin;
    for (; x < end && (x & 7) != 0; ++x)
        count += ((a[x >> 3] | b[x >> 3]) & (0x80 >> (x & 7))) == 0;
    for (; x + 8 <= end; x += 8)
        count += 8 - __builtin_popcount(static_cast<unsigned>(a[x >> 3] | b[x >> 3]));
    for (; x < end; ++x)
        count += ((a[x >> 3] | b[x >> 3]) & (0x80 >> (x & 7))) == 0;
    return count;
}

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
// neighbours of one kind.
template <typename Segment>
void paint(std::vector<Segment>& row, const Segment& s) {
    if (s.begin >= s.end)
        return;
    if (row.empty() || row.back().end <= s.begin) {
        appendJoined(row, s);
        return;
    }
    std::vector<Segment> out;
    out.reserve(row.size() + 2);
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

}  // namespace

NQRegionMask::NQRegionMask(const NQImage& page, const NQRectShape& rect,
                           const std::vector<NQPolygon>& outlines, const std::vector<Runs>& runs)
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
    top_ = std::max(rect.y, 0);
    const int bottom = std::min(rect.y + rect.height, page.nqGetHeight());
    page_ = &page;
    rows_ = std::max(0, bottom - top_);
    first_.assign(rows_ + 1, 0);
    if (rows_ > 0 && right > left)
        paintMembers(outlines, runs, left, right);
    onPixels_ = countOnPixels();
}

void NQRegionMask::paintMembers(const std::vector<NQPolygon>& outlines,
                                const std::vector<Runs>& runs, int left, int right) {
    const int bottom = top_ + rows_;
    std::vector<std::vector<Segment>> rows(rows_);
    std::vector<std::pair<int, int>> spans;
    for (std::size_t m = 0; m < outlines.size(); ++m) {
        const NQPolygon& outline = outlines[m];
        const int bx = outline.x, by = outline.y;
        if (m < runs.size() && runs[m].used) {
            const Runs& r = runs[m];
            for (std::size_t k = 0; k < r.rows.size(); ++k) {
                const long long y = static_cast<long long>(r.rows[k]) + by;
                if (y < top_ || y >= bottom || r.lengths[k] <= 0)
                    continue;
                const long long begin = static_cast<long long>(r.starts[k]) + bx;
                const long long end = begin + r.lengths[k];
                paint(rows[y - top_],
                      Segment{static_cast<int>(std::max<long long>(begin, left)),
                              static_cast<int>(std::min<long long>(end, right)), true});
            }
            continue;
        }
        // The outline's pixels: columns [bx, bx + bw) and rows [by, by + bh)
        // for which the polygon contains the point.
        const int firstRow = std::max(by, top_);
        const int lastRow = std::min(by + outline.height, bottom);
        const int firstColumn = std::max(bx, left);
        const int lastColumn = std::min(bx + outline.width, right);
        for (int y = firstRow; y < lastRow; ++y) {
            outline.insideSpans(y, spans);
            for (const auto& span : spans)
                paint(rows[y - top_], Segment{std::max(span.first, firstColumn),
                                              std::min(span.second, lastColumn), false});
        }
    }

    first_.clear();
    first_.reserve(rows_ + 1);
    for (const auto& row : rows) {
        first_.push_back(static_cast<std::uint32_t>(segments_.size()));
        segments_.insert(segments_.end(), row.begin(), row.end());
    }
    first_.push_back(static_cast<std::uint32_t>(segments_.size()));
}

std::int64_t NQRegionMask::countOnPixels() const {
    if (page_ == nullptr)
        return 0;
    const PageView page(*page_);
    std::int64_t count = 0;
    for (int r = 0; r < rows_; ++r)
        for (std::uint32_t k = first_[r]; k < first_[r + 1]; ++k) {
            const Segment& s = segments_[k];
            count += s.black ? s.end - s.begin : countNonWhite(page, top_ + r, s.begin, s.end);
        }
    return count;
}

std::int64_t NQRegionMask::overlap(const NQRegionMask& other) const {
    const int x = std::max(rect_.x, other.rect_.x);
    const int y = std::max(rect_.y, other.rect_.y);
    const int right = std::min(rect_.x + rect_.width, other.rect_.x + other.rect_.width);
    const int bottom = std::min(rect_.y + rect_.height, other.rect_.y + other.rect_.height);
    if (right - x < 1 || bottom - y < 1 || page_ == nullptr || other.page_ == nullptr)
        return 0;

    const PageView pageA(*page_), pageB(*other.page_);
    const int firstRow = std::max({y, top_, other.top_});
    const int lastRow = std::min({bottom, top_ + rows_, other.top_ + other.rows_});
    std::int64_t count = 0;
    for (int row = firstRow; row < lastRow; ++row) {
        std::uint32_t i = first_[row - top_], iEnd = first_[row - top_ + 1];
        std::uint32_t j = other.first_[row - other.top_], jEnd = other.first_[row - other.top_ + 1];
        while (i < iEnd && j < jEnd) {
            const Segment& sa = segments_[i];
            const Segment& sb = other.segments_[j];
            const int lo = std::max({sa.begin, sb.begin, x});
            const int hi = std::min({sa.end, sb.end, right});
            if (lo < hi) {
                if (sa.black && sb.black)
                    count += hi - lo;
                else if (sa.black)
                    count += countBlack(pageB, row, lo, hi);
                else if (sb.black)
                    count += countBlack(pageA, row, lo, hi);
                else
                    count += countEqualNonWhite(pageA, pageB, row, lo, hi);
            }
            if (sa.end <= sb.end)
                ++i;
            else
                ++j;
        }
    }
    return count;
}

std::string NQRegionMask::runLengthCode() const {
    std::string text;
    if (page_ == nullptr)
        return text;
    const PageView page(*page_);
    const long long maskRight = static_cast<long long>(rect_.x) + rect_.width;
    auto write = [&](int y, long long begin, long long end) {
        text += "(" + std::to_string(y - rect_.y) + "," + std::to_string(begin - rect_.x) + "," +
                std::to_string(end - rect_.x) + ");";
    };
    for (int r = 0; r < rows_; ++r) {
        const int y = top_ + r;
        const unsigned char* source = page.row(y);
        long long runStart = -1;        // page column where the open run of black began
        long long covered = LLONG_MIN;  // end of the last segment seen
        for (std::uint32_t k = first_[r]; k < first_[r + 1]; ++k) {
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
    if (page_ == nullptr)
        return NQImage();
    const int bits = page_->nqGetBitsPerPixel();
    if (NQImage::dataSizeFor(rect_.width, rect_.height, bits) == 0)
        return NQImage();
    NQImage image(rect_.width, rect_.height, static_cast<NQImageHead::NQBitDepths>(bits));
    const PageView page(*page_);
    for (int r = 0; r < rows_; ++r) {
        const int y = top_ + r;
        const unsigned char* source = page.row(y);
        for (std::uint32_t k = first_[r]; k < first_[r + 1]; ++k) {
            const Segment& s = segments_[k];
            for (int x = s.begin; x < s.end; ++x)
                image.nqSetPixel(x - rect_.x, y - rect_.y,
                                 s.black ? static_cast<unsigned char>(0) : page.value(source, x));
        }
    }
    return image;
}
