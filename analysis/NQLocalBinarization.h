#ifndef NQ_ANALYSIS_NQLOCALBINARIZATION_H
#define NQ_ANALYSIS_NQLOCALBINARIZATION_H

#include <vector>

#include "analysis/NQBitsPerPixelConverter.h"
#include "image/NQImage.h"

// The stages of NQBitsPerPixelConverter::nqDownscaleGray2Binary_niblack,
// open to tests and benchmarks.
namespace nqlocal {

// How the statistics of each tile's window are gathered: from running sums
// over the whole image (the fast way), or by cutting the window out as a
// sub-image and taking its NQImage statistics (the plain way, one pass over
// the window per tile).
enum class WindowStatistics { RunningSums, SubImages };

struct ThresholdGrid {
    int tileSize = 1;
    int across = 0;
    int down = 0;
    std::vector<int> raw;       // per tile, row by row, before smoothing
    std::vector<int> smoothed;  // after the horizontal and vertical passes
};

// Throws like nqDownscaleGray2Binary_niblack for input that is not 8-bit grey.
ThresholdGrid thresholdGrid(const NQImage& grey, NQBinarizeType method, double k,
                            bool detectInverted, WindowStatistics statistics);

// White where a pixel reaches the smoothed threshold of its tile.
NQImage applyThresholds(const NQImage& grey, const ThresholdGrid& grid);

}  // namespace nqlocal

#endif
