#ifndef NQ_ANALYSIS_NQCONNECTEDCOMPONENTS_H
#define NQ_ANALYSIS_NQCONNECTEDCOMPONENTS_H

#include <vector>

#include "docmodel/NQPoint.h"
#include "image/NQColor.h"
#include "image/NQImage.h"

// One horizontal run of black pixels: columns start .. end - 1 of `row`.
struct NQDatarun {
    int row = 0;
    int start = 0;
    int end = 0;

    bool operator==(const NQDatarun& o) const {
        return row == o.row && start == o.start && end == o.end;
    }
};

// One 8-connected group of black pixels of a binary image. Its runs are kept
// in row order (and by start column within a row).
class NQComponent {
public:
    static constexpr int kMoments = 10;

    NQComponent() = default;
    NQComponent(const NQComponent&) = default;
    NQComponent& operator=(const NQComponent&) = default;
    NQComponent(NQComponent&&) noexcept = default;
    NQComponent& operator=(NQComponent&&) noexcept = default;
    virtual ~NQComponent() = default;

    int nqGetMass() const { return mass_; }
    float nqGetCentroidRow() const { return centroidRow_; }
    float nqGetCentroidColumn() const { return centroidColumn_; }
    int nqGetTop() const { return top_; }
    int nqGetBottom() const { return bottom_; }
    int nqGetLeft() const { return left_; }
    int nqGetRight() const { return right_; }
    int nqGetWidth() const { return right_ + 1 - left_; }
    int nqGetHeight() const { return bottom_ + 1 - top_; }
    long long nqGetBoxArea() const { return static_cast<long long>(nqGetWidth()) * nqGetHeight(); }
    float nqGetDensity() const { return static_cast<float>(mass_ / double(nqGetBoxArea())); }
    const std::vector<NQDatarun>& nqGetRuns() const { return runs_; }
    // Gaps of the row above that a run of this component closes from below
    // (the bottoms of holes and upward bays), and gaps between two runs of a
    // row that continue one run of the row above (the tops of holes and
    // downward bays).
    const std::vector<NQDatarun>& nqGetClosedGaps() const { return closedGaps_; }
    const std::vector<NQDatarun>& nqGetOpenedGaps() const { return openedGaps_; }
    // Clockwise from the top right: the right side downwards, then the left
    // side upwards. Empty until hulls are calculated.
    const std::vector<NQPoint>& nqGetHull() const { return hull_; }
    const NQColor& nqGetColor() const { return color_; }
    void nqSetColor(const NQColor& color) { color_ = color; }

    // i from 0 to 9, else code 17.
    void nqSetMoment(int i, float value);
    float nqGetMoment(int i) const;

    bool nqIsBlack(int x, int y) const;
    void nqTranslateComponent(int dx, int dy);
    // The component's box, white, with its pixels black (8 bits), as a
    // binary image, or in its colour on white (24 bits).
    NQImage nqGetImage() const;
    NQImage nqGetBinaryImage() const;
    NQImage nqGetColorImage() const;

private:
    friend class NQConnectedComponentsUtils;
    friend class NQConnectedComponents;

    int mass_ = 0;
    float centroidRow_ = 0;
    float centroidColumn_ = 0;
    int top_ = 0;
    int bottom_ = -1;
    int left_ = 0;
    int right_ = -1;
    std::vector<NQDatarun> runs_;
    std::vector<NQDatarun> closedGaps_;
    std::vector<NQDatarun> openedGaps_;
    std::vector<NQPoint> hull_;
    float moments_[kMoments] = {};
    NQColor color_;
};

// The connected components of the black pixels of a binary image, a
// selection narrowed by filters, moments, convex hulls, a label map and
// renderings.
class NQConnectedComponents {
public:
    NQConnectedComponents() = default;
    NQConnectedComponents(const NQConnectedComponents& other) { nqCopyCCs(other); }
    NQConnectedComponents& operator=(const NQConnectedComponents& other) {
        if (this != &other)
            nqCopyCCs(other);
        return *this;
    }
    virtual ~NQConnectedComponents() = default;

    void setCalConvexHulls(bool on) { calConvexHulls_ = on; }
    bool getCalConvexHalls() const { return calConvexHulls_; }
    void setCalMoments(bool on) { calMoments_ = on; }
    bool getCalMoments() const { return calMoments_; }

    // Labels a 1-bit image (8-connectivity); the selection then holds every
    // component.
    void nqCreateConnectedComponents(const NQImage& image);

    int nqGetNumCCs() const { return static_cast<int>(components_.size()); }
    std::vector<NQComponent> nqGetConnectedComponents() const { return components_; }
    std::vector<NQComponent> nqGetFilteredCCs() const;
    // Read-only views, without copying.
    const std::vector<NQComponent>& nqComponents() const { return components_; }
    const std::vector<int>& nqSelection() const { return selection_; }

    // Each keeps the selected components that pass and returns their number.
    int nqFilterCCBoxGreater(float width, float height);
    int nqFilterCCBoxLess(float width, float height);
    int nqFilterCCRemoveLeftRight(int left, int right);
    int nqFilterCCRemoveTopBottom(int top, int bottom);
    int nqFilterCCMassBetween(float low, float high);
    int nqFilterCCMassLess(float mass);
    int nqFilterCCMassGreater(float mass);
    int nqFilterCCDensityBetween(float low, float high);
    int nqFilterCCDensityLess(float density);
    int nqFilterCCDensityGreater(float density);
    int nqFilterCCWidthBetween(int low, int high);
    int nqFilterCCHeightBetween(int low, int high);
    int nqResetCCFilter();

    // Component index per pixel (row x width + column), -1 for white.
    std::vector<int> nqGetConnectedCCMap();

    // Every component black on a white 8-bit image just large enough.
    NQImage nqRenderCCs() const;
    // Every component in its own colour on a white 24-bit image.
    NQImage nqRenderColorCCs() const;
    // The selected components black on a white image of at least
    // width x height pixels and the given depth (1, 8 or 24).
    NQImage nqRenderFilteredCCs(int width, int height, int bitsPerPixel) const;
    NQImage nqRenderFilteredCCs() const { return nqRenderFilteredCCs(0, 0, 8); }
    // Gives every selected component this colour.
    void nqSetFilteredCCColor(const NQColor& color);

    void nqCalculateMoments();
    void nqCalculateConvexHulls();

private:
    void nqCopyCCs(const NQConnectedComponents& other);
    template <typename Keep>
    int filterSelection(Keep keep);

    bool calConvexHulls_ = false;
    bool calMoments_ = false;
    std::vector<NQComponent> components_;
    std::vector<int> selection_;
    std::vector<int> labelMap_;
    bool labelMapUpToDate_ = false;
    int height_ = 0;
    int width_ = 0;
    NQColor filteredColor_;
};

#endif
