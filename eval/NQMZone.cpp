// Regions and their outlines.
//
// A region keeps the outline of each member, parsed once when the member is
// added, and builds its mask (eval/NQRegionMask) from them on the first pixel
// query after the last change. Outlines can reach outside the page only
// through "polygon" or "orientation" attributes; coordinates read from
// attributes are clamped to +-2^24 so that no sum of them can overflow.
#include "eval/NQMZone.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <string_view>
#include <utility>

#include "docmodel/NQZone.h"
#include "image/NQException.h"
#include "image/NQUtils.h"

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
    auto isSeparator = [](char c) { return c == ',' || c == ';' || c == '(' || c == ')'; };
    while (pos < text.size()) {
        std::size_t stop = pos;
        while (stop < text.size() && !isSeparator(text[stop]))
            ++stop;
        // The number stops at the first character that is not part of it, at
        // the latest at the separator that ends the piece, so it is read in
        // place.
        if (stop > pos)
            numbers.push_back(NQUtils::readDecimal(text.c_str() + pos));
        pos = stop + 1;
    }
    return numbers;
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

void NQMZone::addMember(NQZone* zone, NQPolygon outline) {
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
    outlines_.push_back(std::move(outline));
    imageCached = false;
    mask_ = NQRegionMask();
}

void NQMZone::useInk(std::shared_ptr<const NQPageInk> ink) {
    ink_ = std::move(ink);
    imageCached = false;
    mask_ = NQRegionMask();
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
    // The tags that shape the outline, found in one pass over the zone's few
    // tags: names of other lengths are passed over without a comparison.
    const std::string* polygon = nullptr;
    const std::string* radians = nullptr;
    const std::string* degrees = nullptr;
    for (const auto& tag : zone->nqGetTags().nqGetTags()) {
        const std::string_view name = tag.first;
        if (name == "polygon")
            polygon = &tag.second;
        else if (name == "orientation")
            radians = &tag.second;
        else if (name == "orientationD")
            degrees = &tag.second;
    }
    std::vector<int> xs, ys;
    xs.reserve(4);
    ys.reserve(4);
    if (polygon != nullptr) {
        const std::vector<long long> numbers = splitNumbers(*polygon);
        for (std::size_t k = 0; k + 1 < numbers.size(); k += 2) {
            xs.push_back(clampCoordinate(numbers[k]));
            ys.push_back(clampCoordinate(numbers[k + 1]));
        }
        if (xs.size() < 3)
            throw NQException(NQ_INVALID_CONTENT,
                              "<NQMZone::calPolygon()> The number of Polygon point should be more "
                              "than 3",
                              kModule, __LINE__);
        return NQPolygon(std::move(xs), std::move(ys));
    }

    const long long x0 = zone->nqGetZoneOrigin().x;
    const long long y0 = zone->nqGetZoneOrigin().y;
    const long long w = zone->nqGetZoneWidth();
    const long long h = zone->nqGetZoneHeight();
    if (radians != nullptr || degrees != nullptr) {
        double theta = radians != nullptr ? std::atof(radians->c_str())
                                          : std::atof(degrees->c_str()) * 0.0174532925;
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
    return NQPolygon(std::move(xs), std::move(ys));
}

NQRectShape NQMZone::calRect(const NQZone* zone) {
    return calPolygon(zone).getBounds();
}

// ---- mask, counts and scores -------------------------------------------------------------

const NQRegionMask& NQMZone::mask() const {
    if (imageCached)
        return mask_;
    if (zones_.empty()) {
        mask_ = NQRegionMask();
    } else {
        // Without run-length text every member is drawn from its outline.
        std::vector<NQRegionMask::Runs> runs(useRle ? zones_.size() : 0);
        for (std::size_t m = 0; m < runs.size(); ++m) {
            const std::string text = zones_[m]->nqGetTag("RLEIMAGE");
            runs[m].used = !text.empty();
            getRLEList(text, runs[m].rows, runs[m].starts, runs[m].lengths);
        }
        mask_ = NQRegionMask(zones_.front()->nqGetPageImageRef(), rect_, outlines_, runs, ink_);
    }
    imageCached = true;
    return mask_;
}

void NQMZone::releasePixels() {
    ink_.reset();
    if (imageCached)
        mask_.releasePage();
}

NQImage NQMZone::getZoneImage() const {
    return mask().image();
}

std::int64_t NQMZone::cntONPixel() const {
    return mask().onPixels();
}

std::int64_t NQMZone::cntOverlapPixel(const NQMZone& other) const {
    return mask().overlap(other.mask());
}

double NQMZone::getMatchScore(const NQMZone& other) const {
    return matchScore(cntOverlapPixel(other), cntONPixel(), other.cntONPixel());
}

double NQMZone::matchScore(std::int64_t overlap, std::int64_t on, std::int64_t otherOn) {
    // No common pixel: both coverages are 0 and their harmonic mean is 0/0.
    if (overlap == 0)
        return std::numeric_limits<double>::quiet_NaN();
    const double p = 100.0 * static_cast<double>(overlap) / static_cast<double>(on);
    const double r = 100.0 * static_cast<double>(overlap) / static_cast<double>(otherOn);
    return 2 * p * r / (p + r);
}

double NQMZone::getCoverScore(const NQMZone& other) const {
    const std::int64_t overlap = cntOverlapPixel(other);
    const std::int64_t on = other.cntONPixel();
    if (on == 0)
        return std::numeric_limits<double>::quiet_NaN();
    return 100.0 * static_cast<double>(overlap) / static_cast<double>(on);
}

// ---- run-length texts ---------------------------------------------------------------------------

std::string NQMZone::getRunLengthCode() const {
    return mask().runLengthCode();
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
