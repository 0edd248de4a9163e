// Connected components of binary images and what is derived from them.
//
// Labelling is done by NQConnectedComponentsUtils; this file keeps the
// components, narrows the selection with filters, and derives moments,
// convex hulls, the label map and renderings from the run lists, so every
// derived quantity costs one visit per run (or per pixel for moments and
// label maps) and never a search over the image.
//
// Hulls: the leftmost and the rightmost pixel of each row (the first and the
// last run of the row) form two chains that CONVEXIFY reduces to their
// convex sides; the right chain downwards followed by the left chain upwards
// is the hull, with the repeated corner dropped where the two chains meet in
// a one-pixel top or bottom row.
#include "analysis/NQConnectedComponents.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "analysis/NQConnectedComponentsUtils.h"
#include "image/NQBitRow.h"
#include "image/NQException.h"
#include "image/NQLogger.h"

namespace {

constexpr const char* kModule = "NQConnectedComponents";

// Colours of the colour map that stand out on white, for the default colour
// of each component in colour renderings.
const std::vector<NQColor>& visiblePalette() {
    static const std::vector<NQColor> palette = [] {
        std::vector<NQColor> colours;
        for (int i = 0; i < NQColor::kColorMapSize; ++i) {
            const NQColor c(static_cast<NQColor::NQColorMapValue>(i));
            if (c.nqGetRed() + c.nqGetGreen() + c.nqGetBlue() < 560)
                colours.push_back(c);
        }
        return colours;
    }();
    return palette;
}

// The three bytes a colour paints on a 24-bit image.
void colourBytes(const NQColor& c, unsigned char out[3]) {
    switch (c.nqGetColorModel()) {
        case NQ_RGBCOLOR:
            out[0] = c.nqGetRed(), out[1] = c.nqGetGreen(), out[2] = c.nqGetBlue();
            break;
        case NQ_GRAY:
            out[0] = out[1] = out[2] = c.nqGetGray();
            break;
        case NQ_BINARY:
            out[0] = out[1] = out[2] = c.nqGetBinary();
            break;
        default:
            out[0] = out[1] = out[2] = 0;
    }
}

NQImage whiteImage(int width, int height, int bits, int colourModel) {
    NQImage image;
    image.nqSetImageHead(width, height, bits, 0, 0, NQImageHead::NQ_RES_INCH);
    image.nqAllocImageData();
    image.nqSetColorModel(colourModel);
    return image;
}

// Paints the runs of `component`, shifted by (-dx, -dy), black (or in
// `rgb` on 24-bit images).
void paintRuns(const NQComponent& component, NQImage& image, int dx, int dy,
               const unsigned char* rgb = nullptr) {
    static const unsigned char kBlack[3] = {0, 0, 0};
    if (rgb == nullptr)
        rgb = kBlack;
    const int bits = image.nqGetBitsPerPixel();
    for (const NQDatarun& run : component.nqGetRuns()) {
        unsigned char* row =
            image.nqGetImageData() + std::size_t(run.row - dy) * image.nqGetRowSize();
        const int start = run.start - dx;
        const int end = run.end - dx;
        if (bits == 1) {
            for (int x = start; x < end; ++x)
                nqbits::setWhite(row, x, false);
        } else if (bits == 8) {
            std::memset(row + start, 0, std::size_t(end - start));
        } else {
            for (int x = start; x < end; ++x)
                std::memcpy(row + 3 * std::size_t(x), rgb, 3);
        }
    }
}

}  // namespace

// ---- NQComponent --------------------------------------------------------------

void NQComponent::nqSetMoment(int i, float value) {
    if (i < 0 || i >= kMoments)
        throw NQException(NQ_INVALID_POSITION,
                          "NQComponent::nqSetMoment() Specified moment is outside valid range (0 "
                          "to 9).",
                          kModule, __LINE__);
    moments_[i] = value;
}

float NQComponent::nqGetMoment(int i) const {
    if (i < 0 || i >= kMoments)
        throw NQException(NQ_INVALID_POSITION,
                          "NQComponent::nqGetMoment() Requested moment is outside valid range (0 "
                          "to 9).",
                          kModule, __LINE__);
    return moments_[i];
}

bool NQComponent::nqIsBlack(int x, int y) const {
    // The first run that does not start before (y, x + 1); the run before it
    // is the only one that can hold the pixel.
    auto it = std::lower_bound(runs_.begin(), runs_.end(), NQDatarun{y, x + 1, 0},
                               [](const NQDatarun& a, const NQDatarun& b) {
                                   return a.row != b.row ? a.row < b.row : a.start < b.start;
                               });
    if (it == runs_.begin())
        return false;
    --it;
    return it->row == y && it->start <= x && x < it->end;
}

void NQComponent::nqTranslateComponent(int dx, int dy) {
    left_ += dx;
    right_ += dx;
    top_ += dy;
    bottom_ += dy;
    centroidColumn_ += dx;
    centroidRow_ += dy;
    for (std::vector<NQDatarun>* list : {&runs_, &closedGaps_, &openedGaps_}) {
        for (NQDatarun& run : *list) {
            run.row += dy;
            run.start += dx;
            run.end += dx;
        }
    }
    for (NQPoint& p : hull_) {
        p.x += dx;
        p.y += dy;
    }
}

NQImage NQComponent::nqGetImage() const {
    NQImage image = whiteImage(nqGetWidth(), nqGetHeight(), 8, NQ_GRAY);
    paintRuns(*this, image, left_, top_);
    return image;
}

NQImage NQComponent::nqGetBinaryImage() const {
    NQImage image = whiteImage(nqGetWidth(), nqGetHeight(), 1, NQ_BINARY);
    paintRuns(*this, image, left_, top_);
    return image;
}

NQImage NQComponent::nqGetColorImage() const {
    NQImage image = whiteImage(nqGetWidth(), nqGetHeight(), 24, NQ_RGBCOLOR);
    unsigned char rgb[3];
    colourBytes(color_, rgb);
    paintRuns(*this, image, left_, top_, rgb);
    return image;
}

// ---- NQConnectedComponents ---------------------------------------------------------

void NQConnectedComponents::nqCopyCCs(const NQConnectedComponents& other) {
    calConvexHulls_ = other.calConvexHulls_;
    calMoments_ = other.calMoments_;
    components_ = other.components_;
    selection_ = other.selection_;
    labelMap_ = other.labelMap_;
    labelMapUpToDate_ = other.labelMapUpToDate_;
    height_ = other.height_;
    width_ = other.width_;
    filteredColor_ = other.filteredColor_;
}

void NQConnectedComponents::nqCreateConnectedComponents(const NQImage& image) {
    if (image.nqGetBitsPerPixel() != 1)
        throw NQException(NQ_INVALID_CONTENT,
                          "<NQConnectedComponents::nqCreateConnectedComponents()> Only supports "
                          "Two Bit images (Black and White)",
                          kModule, __LINE__);
    if (!image.nqHasImageData())
        throw NQException(NQ_NULL_DATA,
                          "<NQConnectedComponents::nqCreateConnectedComponents()> Image Data is "
                          "NULL!",
                          kModule, __LINE__);
    labelMapUpToDate_ = false;
    std::vector<int>().swap(labelMap_);
    components_.clear();
    selection_.clear();

    NQConnectedComponentsUtils engine;
    engine.NQCalcConnectedComponents(image);
    components_ = std::move(engine.document().ComponentList);
    const std::vector<NQColor>& palette = visiblePalette();
    for (std::size_t i = 0; i < components_.size(); ++i)
        components_[i].color_ = palette[i % palette.size()];
    width_ = image.nqGetWidth();
    height_ = image.nqGetHeight();
    nqResetCCFilter();
    if (calMoments_)
        nqCalculateMoments();
    if (calConvexHulls_)
        nqCalculateConvexHulls();
}

std::vector<NQComponent> NQConnectedComponents::nqGetFilteredCCs() const {
    std::vector<NQComponent> selected;
    selected.reserve(selection_.size());
    for (int index : selection_)
        selected.push_back(components_[index]);
    return selected;
}

template <typename Keep>
int NQConnectedComponents::filterSelection(Keep keep) {
    if (selection_.empty())
        return 0;
    selection_.erase(std::remove_if(selection_.begin(), selection_.end(),
                                    [&](int index) { return !keep(components_[index]); }),
                     selection_.end());
    return static_cast<int>(selection_.size());
}

int NQConnectedComponents::nqFilterCCBoxGreater(float width, float height) {
    return filterSelection(
        [&](const NQComponent& c) { return c.nqGetHeight() >= height && c.nqGetWidth() >= width; });
}

int NQConnectedComponents::nqFilterCCBoxLess(float width, float height) {
    return filterSelection(
        [&](const NQComponent& c) { return c.nqGetHeight() <= height && c.nqGetWidth() <= width; });
}

int NQConnectedComponents::nqFilterCCRemoveLeftRight(int left, int right) {
    return filterSelection(
        [&](const NQComponent& c) { return c.nqGetLeft() >= left && c.nqGetRight() <= right; });
}

int NQConnectedComponents::nqFilterCCRemoveTopBottom(int top, int bottom) {
    return filterSelection(
        [&](const NQComponent& c) { return c.nqGetTop() >= top && c.nqGetBottom() <= bottom; });
}

int NQConnectedComponents::nqFilterCCMassBetween(float low, float high) {
    return filterSelection(
        [&](const NQComponent& c) { return low <= c.nqGetMass() && c.nqGetMass() <= high; });
}

int NQConnectedComponents::nqFilterCCMassLess(float mass) {
    return filterSelection([&](const NQComponent& c) { return c.nqGetMass() <= mass; });
}

int NQConnectedComponents::nqFilterCCMassGreater(float mass) {
    return filterSelection([&](const NQComponent& c) { return c.nqGetMass() >= mass; });
}

int NQConnectedComponents::nqFilterCCDensityBetween(float low, float high) {
    return filterSelection(
        [&](const NQComponent& c) { return low <= c.nqGetDensity() && c.nqGetDensity() <= high; });
}

int NQConnectedComponents::nqFilterCCDensityLess(float density) {
    return filterSelection([&](const NQComponent& c) { return c.nqGetDensity() <= density; });
}

int NQConnectedComponents::nqFilterCCDensityGreater(float density) {
    return filterSelection([&](const NQComponent& c) { return c.nqGetDensity() >= density; });
}

int NQConnectedComponents::nqFilterCCWidthBetween(int low, int high) {
    return filterSelection(
        [&](const NQComponent& c) { return low <= c.nqGetWidth() && c.nqGetWidth() <= high; });
}

int NQConnectedComponents::nqFilterCCHeightBetween(int low, int high) {
    return filterSelection(
        [&](const NQComponent& c) { return low <= c.nqGetHeight() && c.nqGetHeight() <= high; });
}

int NQConnectedComponents::nqResetCCFilter() {
    selection_.resize(components_.size());
    for (std::size_t i = 0; i < selection_.size(); ++i)
        selection_[i] = static_cast<int>(i);
    return static_cast<int>(selection_.size());
}

std::vector<int> NQConnectedComponents::nqGetConnectedCCMap() {
    if (components_.empty())
        throw NQException(NQ_NULL_DATA,
                          "<NQConnectedComponents::nqGetConnectedCCMap()> Need to calculate "
                          "connected components first!",
                          kModule, __LINE__);
    NQLogger* logger = NQLogger::nqGetInstance();
    if (labelMapUpToDate_) {
        logger->nqLog(NQ_DEBUG, "CCMap is up to date.  Just returning vector!");
        return labelMap_;
    }
    logger->nqLog(NQ_DEBUG, "Calculating CCMap");
    try {
        labelMap_.assign(std::size_t(width_) * height_, -1);
    } catch (const std::bad_alloc&) {
        throw NQException(NQ_MEMORY_ERROR, "Error Allocating Image Data memory", kModule, __LINE__);
    }
    for (std::size_t i = 0; i < components_.size(); ++i) {
        for (const NQDatarun& run : components_[i].nqGetRuns()) {
            int* row = labelMap_.data() + std::size_t(run.row) * width_;
            std::fill(row + run.start, row + run.end, static_cast<int>(i));
        }
    }
    labelMapUpToDate_ = true;
    return labelMap_;
}

NQImage NQConnectedComponents::nqRenderCCs() const {
    if (components_.empty())
        return NQImage(1, 1, NQImageHead::NQ_8BIT);
    int width = 0, height = 0;
    for (const NQComponent& c : components_) {
        width = std::max(width, c.nqGetRight() + 1);
        height = std::max(height, c.nqGetBottom() + 1);
    }
    NQImage image(width, height, NQImageHead::NQ_8BIT);
    for (const NQComponent& c : components_)
        paintRuns(c, image, 0, 0);
    return image;
}

NQImage NQConnectedComponents::nqRenderColorCCs() const {
    int width = 1, height = 1;
    for (const NQComponent& c : components_) {
        width = std::max(width, c.nqGetRight() + 1);
        height = std::max(height, c.nqGetBottom() + 1);
    }
    NQImage image = whiteImage(width, height, 24, NQ_RGBCOLOR);
    for (const NQComponent& c : components_) {
        unsigned char rgb[3];
        colourBytes(c.nqGetColor(), rgb);
        paintRuns(c, image, 0, 0, rgb);
    }
    return image;
}

NQImage NQConnectedComponents::nqRenderFilteredCCs(int width, int height, int bitsPerPixel) const {
    if (bitsPerPixel != 1 && bitsPerPixel != 8 && bitsPerPixel != 24)
        throw NQException(NQ_UNSUPPORTED,
                          "<NQConnectedComponents::nqRenderFilteredCCs()> Only 1, 8 and 24 bit "
                          "images are supported",
                          kModule, __LINE__);
    for (int index : selection_) {
        width = std::max(width, components_[index].nqGetRight() + 1);
        height = std::max(height, components_[index].nqGetBottom() + 1);
    }
    // Nothing selected and no size asked for: the one-pixel image of an empty
    // rendering.
    NQImage image(std::max(width, 1), std::max(height, 1),
                  static_cast<NQImageHead::NQBitDepths>(bitsPerPixel));
    for (int index : selection_)
        paintRuns(components_[index], image, 0, 0);
    return image;
}

void NQConnectedComponents::nqSetFilteredCCColor(const NQColor& color) {
    filteredColor_ = color;
    for (int index : selection_)
        components_[index].color_ = color;
}

void NQConnectedComponents::nqCalculateMoments() {
    for (NQComponent& c : components_) {
        double m[NQComponent::kMoments] = {};
        m[0] = c.mass_;
        for (const NQDatarun& run : c.runs_) {
            const double dy = run.row - static_cast<double>(c.centroidRow_);
            for (int x = run.start; x < run.end; ++x) {
                const double dx = x - static_cast<double>(c.centroidColumn_);
                m[1] += dx;
                m[2] += dy;
                m[3] += dx * dx;
                m[4] += dx * dy;
                m[5] += dy * dy;
                m[6] += dx * dx * dx;
                m[7] += dx * dx * dy;
                m[8] += dx * dy * dy;
                m[9] += dy * dy * dy;
            }
        }
        c.moments_[0] = static_cast<float>(m[0]);
        for (int i = 1; i < NQComponent::kMoments; ++i)
            c.moments_[i] = m[0] > 0 ? static_cast<float>(m[i] / m[0]) : 0.f;
    }
}

void NQConnectedComponents::nqCalculateConvexHulls() {
    for (NQComponent& c : components_) {
        std::vector<NQPoint> left, right;
        const std::vector<NQDatarun>& runs = c.runs_;
        for (std::size_t i = 0; i < runs.size();) {
            std::size_t last = i;
            while (last + 1 < runs.size() && runs[last + 1].row == runs[i].row)
                ++last;
            left.emplace_back(runs[i].start, runs[i].row);
            right.emplace_back(runs[last].end - 1, runs[i].row);
            i = last + 1;
        }
        NQConnectedComponentsUtils::CONVEXIFY(left, NQConnectedComponentsUtils::lessequal);
        NQConnectedComponentsUtils::CONVEXIFY(right, NQConnectedComponentsUtils::greaterequal);
        std::vector<NQPoint> hull = right;
        for (auto it = left.rbegin(); it != left.rend(); ++it)
            if (hull.empty() || *it != hull.back())
                hull.push_back(*it);
        if (hull.size() > 1 && hull.front() == hull.back())
            hull.pop_back();
        c.hull_ = std::move(hull);
    }
}
