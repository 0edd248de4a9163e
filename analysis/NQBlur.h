#ifndef NQ_ANALYSIS_NQBLUR_H
#define NQ_ANALYSIS_NQBLUR_H

#include <vector>

#include "image/NQImage.h"

// Smoothing with a fixed 5 x 5 kernel, and horizontal gap closing of binary
// text lines through a map of distances to the nearest black pixel of a row.
class NQBlur {
public:
    NQBlur() = default;
    virtual ~NQBlur() = default;

    // `iterations` passes of NQMask with the 5 x 5 kernel (weights sum to
    // 179); zero or fewer passes give a copy. Each pass blackens a two-pixel
    // border.
    static NQImage nqBlur(const NQImage& image, int iterations);

    // Builds the distance map of the grey picture of a binary image (values
    // below 128 are black). Refuses other depths (code 7).
    void nqHorizontalBlurLoad(const NQImage& grey);
    // Black where the map is at most `distance`, white elsewhere. Throws code 5
    // without a loaded map.
    NQImage nqBinaryHorizontalBlur(int distance) const;
    // Loads `grey` first unless a map is present and `reload` is false.
    NQImage nqBinaryHorizontalBlur(const NQImage& grey, int distance, bool reload);

    bool nqIsLoaded() const { return loaded_; }
    const std::vector<float>& nqGetDistanceMap() const { return map_; }

private:
    std::vector<float> map_;
    int width_ = 0;
    int height_ = 0;
    bool loaded_ = false;
};

#endif
