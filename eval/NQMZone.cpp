// Regions, their outlines and their masks.
//
// A region's mask keeps the page pixels that lie inside its members'
// outlines and is white elsewhere; a member with a run-length mask ("-rle")
// instead forces its runs to black. The mask is not held as a pixel image:
// each page row of it is a short ordered list of disjoint column segments,
// either "page pixels" or "forced black". Members are painted in order, later
// ones over earlier ones, exactly as drawing them pixel by pixel would. The
// inside columns of an outline come from NQPolygon::insideSpans, which yields
// precisely the pixels for which contains() holds, and every count reads the
// page image directly, row by row. The counts therefore equal those of the
// per-pixel rule while the cost is per row and segment (plus a byte or a bit
// scan over the counted pixels) and the memory is a few bytes per row.
//
// Pixels outside the page image hold no page content, so the mask is white
// there. Outlines can reach outside the page only through "polygon" or
// "orientation" attributes; coordinates read from attributes are clamped to
// +-2^24 so that no sum of them can overflow.
#include "eval/NQMZone.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "docmodel/NQZone.h"
#include "image/NQColor.h"
#include "image/NQException.h"

namespace {

constexpr const char* kModule = "NQMZone";
constexpr long long kCoordinateLimit = 1LL << 24;

int clampCoordinate(long long value) {
    return static_cast<int>(std::max(-kCoordinateLimit, std::min(kCoordinateLimit, value)));
}

// The integers of a text split at any of ",;()"; runs of separators count as
// one, empty pieces are skipped, a piece that is no number reads as 0.
std::vector<long long> splitNumbers(const std::string& text) {
    std::vector<long long> numbers;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t end = text.find_first_of(",;()", pos);
        const std::size_t stop = end == std::string::npos ? text.size() : end;
        if (stop > pos) {
            const std::string piece = text.substr(pos, stop - pos);
            numbers.push_back(std::strtoll(piece.c_str(), nullptr, 10));
        }
        pos = stop + 1;
    }
    return numbers;
}

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
    while (x < end && (x & 7) != 0) {
        const unsigned char bit = static_cast<unsigned char>(0x80 >> (x & 7));
        if (((a[x >> 3] | b[x >> 3]) & bit) == 0)
            ++count;
        ++x;
    }
    for (; x + 8 <= end; x += 8)
        count += 8 - __builtin_popcount(static_cast<unsigned>(a[x >> 3] | b[x >> 3]));
    for (; x < end; ++x) {
        const unsigned char bit = static_cast<unsigned char>(0x80 >> (x & 7));
        if (((a[x >> 3] | b[x >> 3]) & bit) == 0)
            ++count;
    }
    return count;
}

// Pixels of [begin, end) whose value is not white.
std::int64_t countNonWhite(const PageView& page, int y, int begin, int end) {
    const unsigned char* r = page.row(y);
    if (page.binary)
        return countClearBits(r, r, begin, end);
    std::int64_t count = 0;
    for (int x = begin; x < end; ++x)
        count += r[x] != 255;
    return count;
}

// Pixels of [begin, end) whose value is black.
std::int64_t countBlack(const PageView& page, int y, int begin, int end) {
    const unsigned char* r = page.row(y);
    if (page.binary)
        return countClearBits(r, r, begin, end);
    std::int64_t count = 0;
    for (int x = begin; x < end; ++x)
        count += r[x] == 0;
    return count;
}

// Pixels of [begin, end) that are not white in `a` and equal in `b`.
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

}  // namespace

// ---- construction -------------------------------------------------------------------

NQMZone::NQMZone() = default;

NQMZone::NQMZone(int id, const std::string& lineIdText, const std::string& type, NQZone* zone,
                 bool rle)
    : useRle(rle), id_(id), lineID_(lineIdText), type_(type) {
    addMember(zone, calPolygon(zone));
}

void NQMZone::addZone(NQZone* zone) {
    addMember(zone, calPolygon(zone));
}

void NQMZone::addZone(const NQMZone* other) {
    // Copy first: `other` may be this region. Its outlines are reused, not parsed again.
    const std::vector<NQZone*> members = other->zones_;
    const std::vector<NQPolygon> outlines = other->outlines_;
    for (std::size_t k = 0; k < members.size(); ++k)
        addMember(members[k], outlines[k]);
}

void NQMZone::addMember(NQZone* zone, const NQPolygon& outline) {
    const NQRectShape added = outline.getBounds();
    if (zones_.empty()) {
        rect_ = added;
    } else {
        const int x = std::min(rect_.x, added.x);
        const int y = std::min(rect_.y, added.y);
        const int right = std::max(rect_.x + rect_.width, added.x + added.width);
        const int bottom = std::max(rect_.y + rect_.height, added.y + added.height);
        rect_ = NQRectShape(x, y, right - x, bottom - y);
    }
    zones_.push_back(zone);
    outlines_.push_back(outline);
    imageCached = false;
    mask_ = Mask();
}

std::string NQMZone::getZoneListStr() const {
    std::string text;
    for (std::size_t i = 0; i < zones_.size(); ++i) {
        if (i > 0)
            text += ", ";
        text += zones_[i]->nqGetZoneId();
    }
    return text;
}

// ---- outlines ----------------------------------------------------------------------------

NQPolygon NQMZone::calPolygon(const NQZone* zone) {
    std::vector<int> xs, ys;
    if (zone->nqIsTagSet("polygon")) {
        const std::vector<long long> numbers = splitNumbers(zone->nqGetTag("polygon"));
        for (std::size_t k = 0; k + 1 < numbers.size(); k += 2) {
            xs.push_back(clampCoordinate(numbers[k]));
            ys.push_back(clampCoordinate(numbers[k + 1]));
        }
        if (xs.size() < 3)
            throw NQException(NQ_INVALID_CONTENT,
                              "<NQMZone::calPolygon()> The number of Polygon point should be more "
                              "than 3",
                              kModule, __LINE__);
        return NQPolygon(xs, ys);
    }

    const long long x0 = zone->nqGetZoneOrigin().x;
    const long long y0 = zone->nqGetZoneOrigin().y;
    const long long w = zone->nqGetZoneWidth();
    const long long h = zone->nqGetZoneHeight();
    if (zone->nqIsTagSet("orientation") || zone->nqIsTagSet("orientationD")) {
        double theta = zone->nqIsTagSet("orientation")
                           ? std::atof(zone->nqGetTag("orientation").c_str())
                           : std::atof(zone->nqGetTag("orientationD").c_str()) * 0.0174532925;
        // "nan" and "inf" read as numbers; an angle that is none leaves the zone unturned.
        if (!std::isfinite(theta))
            theta = 0.0;
        const double c = std::cos(theta), s = std::sin(theta);
        const long long offsets[4][2] = {{0, 0}, {w, 0}, {w, -h}, {0, -h}};
        for (const auto& offset : offsets) {
            const double dx = static_cast<double>(offset[0]);
            const double dy = static_cast<double>(offset[1]);
            // Truncation toward zero; the values are far inside long long.
            xs.push_back(clampCoordinate(x0 + static_cast<long long>(dx * c - dy * s)));
            ys.push_back(clampCoordinate(y0 - static_cast<long long>(dx * s + dy * c)));
        }
    } else {
        const long long xs4[4] = {x0, x0 + w - 1, x0 + w - 1, x0};
        const long long ys4[4] = {y0, y0, y0 + h - 1, y0 + h - 1};
        for (int k = 0; k < 4; ++k) {
            xs.push_back(clampCoordinate(xs4[k]));
            ys.push_back(clampCoordinate(ys4[k]));
        }
    }
    return NQPolygon(xs, ys);
}

NQRectShape NQMZone::calRect(const NQZone* zone) {
    return calPolygon(zone).getBounds();
}

bool NQMZone::isOverlap(const NQRectShape& rect) const {
    if (rect.width < 1 || rect.height < 1 || rect_.width < 1 || rect_.height < 1)
        return false;
    return rect.x + rect.width > rect_.x && rect_.x + rect_.width > rect.x &&
           rect.y + rect.height > rect_.y && rect_.y + rect_.height > rect.y;
}

// ---- mask -----------------------------------------------------------------------------------

const NQMZone::Mask& NQMZone::mask() {
    if (!imageCached) {
        buildMask();
        imageCached = true;
    }
    return mask_;
}

void NQMZone::buildMask() {
    mask_ = Mask();
    mask_.first.assign(1, 0);
    if (zones_.empty())
        return;

    const NQImage& page = zones_.front()->nqGetPageImageRef();
    if (page.nqGetColorModel() > NQ_GRAY ||
        (page.nqGetBitsPerPixel() != 1 && page.nqGetBitsPerPixel() != 8))
        throw NQException(NQ_INVALID_INPUT,
                          "<NQMZone::getZoneImage()> Binary or Gray Scale FORMAT is needed",
                          kModule, __LINE__);
    if (!page.nqHasImageData())
        throw NQException(NQ_NULL_DATA, "<NQMZone::getZoneImage()> Image data is null!!", kModule,
                          __LINE__);

    // The region's rectangle, limited to the page image.
    const int left = std::max(rect_.x, 0);
    const int right = std::min(rect_.x + rect_.width, page.nqGetWidth());
    const int top = std::max(rect_.y, 0);
    const int bottom = std::min(rect_.y + rect_.height, page.nqGetHeight());
    mask_.page = &page;
    mask_.top = top;
    mask_.rows = std::max(0, bottom - top);
    if (mask_.rows == 0 || right <= left) {
        mask_.first.assign(mask_.rows + 1, 0);
        return;
    }

    std::vector<std::vector<Segment>> rows(mask_.rows);
    // Paints [begin, end) over what the row holds, keeping it ordered, disjoint
    // and with neighbours of one kind joined.
    auto paint = [&rows, top](int y, int begin, int end, bool black) {
        if (begin >= end)
            return;
        std::vector<Segment>& row = rows[y - top];
        auto append = [](std::vector<Segment>& out, const Segment& s) {
            if (!out.empty() && out.back().end == s.begin && out.back().black == s.black)
                out.back().end = s.end;
            else
                out.push_back(s);
        };
        if (row.empty() || row.back().end <= begin) {
            append(row, Segment{begin, end, black});
            return;
        }
        std::vector<Segment> out;
        out.reserve(row.size() + 2);
        std::size_t k = 0;
        while (k < row.size() && row[k].end <= begin)
            out.push_back(row[k++]);
        bool hasRest = false;
        Segment rest{0, 0, false};
        while (k < row.size() && row[k].begin < end) {
            const Segment& s = row[k++];
            if (s.begin < begin)
                append(out, Segment{s.begin, begin, s.black});
            if (s.end > end) {
                rest = Segment{end, s.end, s.black};
                hasRest = true;
            }
        }
        append(out, Segment{begin, end, black});
        if (hasRest)
            append(out, rest);
        while (k < row.size())
            append(out, row[k++]);
        row.swap(out);
    };

    std::vector<std::pair<int, int>> spans;
    for (std::size_t m = 0; m < zones_.size(); ++m) {
        NQZone* member = zones_[m];
        const NQPolygon& outline = outlines_[m];
        const int bx = outline.x, by = outline.y;
        const std::string rle = useRle ? member->nqGetTag("RLEIMAGE") : std::string();
        if (!rle.empty()) {
            std::vector<int> runRows, starts, lengths;
            getRLEList(rle, runRows, starts, lengths);
            for (std::size_t k = 0; k < runRows.size(); ++k) {
                const long long y = static_cast<long long>(runRows[k]) + by;
                if (y < top || y >= bottom || lengths[k] <= 0)
                    continue;
                const long long begin = static_cast<long long>(starts[k]) + bx;
                const long long end = begin + lengths[k];
                paint(static_cast<int>(y), static_cast<int>(std::max<long long>(begin, left)),
                      static_cast<int>(std::min<long long>(end, right)), true);
            }
            continue;
        }
        // The outline's pixels: columns [bx, bx + bw) and rows [by, by + bh)
        // for which the polygon contains the point.
        const int firstRow = std::max(by, top);
        const int lastRow = std::min(by + outline.height, bottom);
        const int firstColumn = std::max(bx, left);
        const int lastColumn = std::min(bx + outline.width, right);
        for (int y = firstRow; y < lastRow; ++y) {
            outline.insideSpans(y, spans);
            for (const auto& span : spans)
                paint(y, std::max(span.first, firstColumn), std::min(span.second, lastColumn),
                      false);
        }
    }

    mask_.first.clear();
    mask_.first.reserve(mask_.rows + 1);
    for (const auto& row : rows) {
        mask_.first.push_back(static_cast<std::uint32_t>(mask_.segments.size()));
        mask_.segments.insert(mask_.segments.end(), row.begin(), row.end());
    }
    mask_.first.push_back(static_cast<std::uint32_t>(mask_.segments.size()));
}

NQImage NQMZone::getZoneImage() {
    const Mask& m = mask();
    if (m.page == nullptr)
        return NQImage();
    const int bits = m.page->nqGetBitsPerPixel();
    if (NQImage::dataSizeFor(rect_.width, rect_.height, bits) == 0)
        return NQImage();
    NQImage image(rect_.width, rect_.height, static_cast<NQImageHead::NQBitDepths>(bits));
    const PageView page(*m.page);
    for (int r = 0; r < m.rows; ++r) {
        const int y = m.top + r;
        const unsigned char* source = page.row(y);
        for (std::uint32_t k = m.first[r]; k < m.first[r + 1]; ++k) {
            const Segment& s = m.segments[k];
            for (int x = s.begin; x < s.end; ++x)
                image.nqSetPixel(x - rect_.x, y - rect_.y,
                                 s.black ? static_cast<unsigned char>(0) : page.value(source, x));
        }
    }
    return image;
}

// ---- counts and scores --------------------------------------------------------------------

std::int64_t NQMZone::cntONPixel() {
    mask();
    if (mask_.onPixels >= 0)
        return mask_.onPixels;
    std::int64_t count = 0;
    if (mask_.page != nullptr) {
        const PageView page(*mask_.page);
        for (int r = 0; r < mask_.rows; ++r)
            for (std::uint32_t k = mask_.first[r]; k < mask_.first[r + 1]; ++k) {
                const Segment& s = mask_.segments[k];
                count +=
                    s.black ? s.end - s.begin : countNonWhite(page, mask_.top + r, s.begin, s.end);
            }
    }
    mask_.onPixels = count;
    return count;
}

std::int64_t NQMZone::cntOverlapPixel(NQMZone& other) {
    const int x = std::max(rect_.x, other.rect_.x);
    const int y = std::max(rect_.y, other.rect_.y);
    const int right = std::min(rect_.x + rect_.width, other.rect_.x + other.rect_.width);
    const int bottom = std::min(rect_.y + rect_.height, other.rect_.y + other.rect_.height);
    if (right - x < 1 || bottom - y < 1)
        return 0;

    const Mask& a = mask();
    const Mask& b = other.mask();
    if (a.page == nullptr || b.page == nullptr)
        return 0;
    const PageView pageA(*a.page), pageB(*b.page);
    const int firstRow = std::max({y, a.top, b.top});
    const int lastRow = std::min({bottom, a.top + a.rows, b.top + b.rows});
    std::int64_t count = 0;
    for (int row = firstRow; row < lastRow; ++row) {
        std::uint32_t i = a.first[row - a.top], iEnd = a.first[row - a.top + 1];
        std::uint32_t j = b.first[row - b.top], jEnd = b.first[row - b.top + 1];
        while (i < iEnd && j < jEnd) {
            const Segment& sa = a.segments[i];
            const Segment& sb = b.segments[j];
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

double NQMZone::getMatchScore(NQMZone& other) {
    const std::int64_t overlap = cntOverlapPixel(other);
    // No common pixel: both coverages are 0 and their harmonic mean is 0/0.
    if (overlap == 0)
        return std::numeric_limits<double>::quiet_NaN();
    const double p = 100.0 * static_cast<double>(overlap) / static_cast<double>(cntONPixel());
    const double r = 100.0 * static_cast<double>(overlap) / static_cast<double>(other.cntONPixel());
    return 2 * p * r / (p + r);
}

double NQMZone::getCoverScore(NQMZone& other) {
    const std::int64_t overlap = cntOverlapPixel(other);
    const std::int64_t on = other.cntONPixel();
    if (on == 0)
        return std::numeric_limits<double>::quiet_NaN();
    return 100.0 * static_cast<double>(overlap) / static_cast<double>(on);
}

// ---- run-length texts ---------------------------------------------------------------------------

std::string NQMZone::getRunLengthCode() {
    const Mask& m = mask();
    std::string text;
    if (m.page == nullptr)
        return text;
    const PageView page(*m.page);
    const long long maskRight = static_cast<long long>(rect_.x) + rect_.width;
    auto write = [&](int y, long long begin, long long end) {
        text += "(" + std::to_string(y - rect_.y) + "," + std::to_string(begin - rect_.x) + "," +
                std::to_string(end - rect_.x) + ");";
    };
    for (int r = 0; r < m.rows; ++r) {
        const int y = m.top + r;
        const unsigned char* source = page.row(y);
        long long runStart = -1;        // page column where the open run of black began
        long long covered = LLONG_MIN;  // end of the last segment seen
        for (std::uint32_t k = m.first[r]; k < m.first[r + 1]; ++k) {
            const Segment& s = m.segments[k];
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

void NQMZone::getRLEList(const std::string& text, std::vector<int>& rows, std::vector<int>& starts,
                         std::vector<int>& lengths) {
    const std::vector<long long> numbers = splitNumbers(text);
    for (std::size_t k = 0; k + 2 < numbers.size(); k += 3) {
        const int row = clampCoordinate(numbers[k]);
        const int start = clampCoordinate(numbers[k + 1]);
        const int end = clampCoordinate(numbers[k + 2]);
        rows.push_back(row);
        starts.push_back(start);
        lengths.push_back(end - start);
    }
}
