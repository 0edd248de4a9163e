// Local binarisation of grey images: Niblack, Sauvola, Wolf/Jolion and a
// modified Niblack with histogram analysis.
//
// The image is cut into square tiles of w = 2 trunc(ln N) pixels (N pixels in
// all); each tile gets one threshold from the statistics of a window that
// reaches w / 4 pixels beyond it on every side, and every pixel is compared
// with the threshold of its tile after the threshold grid has been smoothed
// by a three-tile average, first along the rows, then along the columns.
// With inverted-tile detection, tiles that look like light text on a dark
// ground (dark mean, and a strong third moment or little spread compared to
// the page) are thresholded on the statistics of the inverted grey values and
// get the mirrored threshold.
//
// Window statistics come from running sums instead of a pass over every
// window: one pass over the image accumulates, per row, the sums of the grey
// values and of their squares up to each column where a window starts or
// ends, and adds them up down the rows; the sums of a window are then four
// look-ups at its corners (64-bit, since a page's sum of squares exceeds 32
// bits). Mean and standard deviation are taken from those integer sums with
// the same formula NQImage::nqGetStats uses (NQImageStats::varianceFromSums),
// so the result is bit for bit the one of cutting each window out as a
// sub-image and taking its statistics; nqlocal::WindowStatistics::SubImages
// does exactly that, for comparison. The modified method also needs each
// window's histogram, counted directly from the window's pixels.
//
// The three adjustment factors of the modified method (4 k, 4 k, -2.2 k) are
// derived from each call's k, so one call never changes the result of the
// next and concurrent calls share nothing.
#include "analysis/NQLocalBinarization.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>

#include "image/NQException.h"
#include "image/NQLogger.h"

namespace nqlocal {
namespace {

constexpr const char* kModule = "NQLocalBinarization";

struct Adjustments {
    double bimodal;      // BM_k_adj
    double background;   // BG_k_adj
    double lowContrast;  // LC_threshold_factor
};

// Tiles and their statistics windows.
struct Geometry {
    int width = 0, height = 0, tile = 1, reach = 0, across = 0, down = 0;

    int tileLeft(int tx) const { return tx * tile; }
    int tileRight(int tx) const { return std::min(width, (tx + 1) * tile); }
    int tileTop(int ty) const { return ty * tile; }
    int tileBottom(int ty) const { return std::min(height, (ty + 1) * tile); }
    int windowLeft(int tx) const { return std::max(0, tileLeft(tx) - reach); }
    int windowRight(int tx) const { return std::min(width, tileRight(tx) + reach); }
    int windowTop(int ty) const { return std::max(0, tileTop(ty) - reach); }
    int windowBottom(int ty) const { return std::min(height, tileBottom(ty) + reach); }
};

// Sums over a tile's own pixels.
struct Tile {
    std::int64_t count = 0, sum = 0, cubes = 0;
    std::uint64_t squares = 0;
    int minimum = 255;
    bool inverted = false;
};

// Grey-level statistics of the normal or of the inverted tiles.
struct ClassStats {
    double sum = 0;
    std::int64_t pixels = 0;
    double spread = 0;  // sum of squared deviations from the class average
    double highVarianceSpread = 0;
    std::int64_t highVariancePixels = 0;
    double average = 0, sdev = 0, adjustedSdev = 0;
};

struct WindowStats {
    std::int64_t count = 0;
    int mean = 0;  // rounded down
    double sdev = 0;
    std::array<std::int64_t, 256> histogram{};
};

using Histogram = std::array<std::int64_t, 256>;

NQLogger* logger() {
    return NQLogger::nqGetInstance();
}

std::vector<Tile> gatherTiles(const NQImage& grey, const Geometry& g) {
    std::vector<Tile> tiles(std::size_t(g.across) * g.down);
    for (int y = 0; y < g.height; ++y) {
        const unsigned char* row = grey.nqGetImageData() + std::size_t(y) * g.width;
        Tile* tileRow = tiles.data() + std::size_t(y / g.tile) * g.across;
        for (int tx = 0; tx < g.across; ++tx) {
            Tile& t = tileRow[tx];
            std::int64_t sum = 0, cubes = 0;
            std::uint64_t squares = 0;
            int minimum = t.minimum;
            for (int x = g.tileLeft(tx); x < g.tileRight(tx); ++x) {
                const std::int64_t v = row[x];
                sum += v;
                squares += std::uint64_t(v * v);
                cubes += v * v * v;
                minimum = std::min<int>(minimum, row[x]);
            }
            t.count += g.tileRight(tx) - g.tileLeft(tx);
            t.sum += sum;
            t.squares += squares;
            t.cubes += cubes;
            t.minimum = minimum;
        }
    }
    return tiles;
}

double sdevOf(std::int64_t count, std::int64_t sum, std::uint64_t squares) {
    return std::sqrt(NQImageStats::varianceFromSums(count, sum, squares));
}

// Sum of cubed deviations from the mean, from the integer sums; the terms
// stay far below 2^63 for the tiles of any image the buffer can hold, and
// long double keeps them exact on x86.
double thirdCentralSum(const Tile& t) {
    const long double n = t.count, s = t.sum, q = t.squares, c = t.cubes;
    return static_cast<double>((n * n * c - 3 * n * s * q + 2 * s * s * s) / (n * n));
}

// Window sums from prefix sums sampled at the columns and rows where windows
// start or end.
class RunningSums {
public:
    RunningSums(const NQImage& grey, const Geometry& g) {
        for (int tx = 0; tx < g.across; ++tx) {
            columns_.push_back(g.windowLeft(tx));
            columns_.push_back(g.windowRight(tx));
        }
        for (int ty = 0; ty < g.down; ++ty) {
            rows_.push_back(g.windowTop(ty));
            rows_.push_back(g.windowBottom(ty));
        }
        for (std::vector<int>* v : {&columns_, &rows_}) {
            std::sort(v->begin(), v->end());
            v->erase(std::unique(v->begin(), v->end()), v->end());
        }
        const std::size_t nx = columns_.size();
        sums_.assign(nx * rows_.size(), 0);
        squares_.assign(nx * rows_.size(), 0);
        std::vector<std::int64_t> columnSums(nx, 0);
        std::vector<std::uint64_t> columnSquares(nx, 0);
        std::size_t nextRow = 0;
        while (nextRow < rows_.size() && rows_[nextRow] == 0)
            ++nextRow;  // all zero
        for (int y = 0; y < g.height; ++y) {
            const unsigned char* row = grey.nqGetImageData() + std::size_t(y) * g.width;
            std::int64_t sum = 0;
            std::uint64_t squares = 0;
            int x = 0;
            for (std::size_t i = 0; i < nx; ++i) {
                for (; x < columns_[i]; ++x) {
                    sum += row[x];
                    squares += unsigned(row[x]) * row[x];
                }
                columnSums[i] += sum;
                columnSquares[i] += squares;
            }
            for (; nextRow < rows_.size() && rows_[nextRow] == y + 1; ++nextRow) {
                std::copy(columnSums.begin(), columnSums.end(), sums_.begin() + nextRow * nx);
                std::copy(columnSquares.begin(), columnSquares.end(),
                          squares_.begin() + nextRow * nx);
            }
        }
    }

    void window(int left, int top, int right, int bottom, std::int64_t& sum,
                std::uint64_t& squares) const {
        const std::size_t nx = columns_.size();
        const std::size_t x0 = indexOf(columns_, left), x1 = indexOf(columns_, right);
        const std::size_t y0 = indexOf(rows_, top) * nx, y1 = indexOf(rows_, bottom) * nx;
        sum = sums_[y1 + x1] - sums_[y0 + x1] - sums_[y1 + x0] + sums_[y0 + x0];
        squares = squares_[y1 + x1] - squares_[y0 + x1] - squares_[y1 + x0] + squares_[y0 + x0];
    }

private:
    static std::size_t indexOf(const std::vector<int>& v, int value) {
        return static_cast<std::size_t>(std::lower_bound(v.begin(), v.end(), value) - v.begin());
    }

    std::vector<int> columns_, rows_;
    std::vector<std::int64_t> sums_;
    std::vector<std::uint64_t> squares_;
};

// Statistics of one window, from the running sums or from a sub-image.
class WindowSource {
public:
    WindowSource(const NQImage& grey, const Geometry& g, WindowStatistics mode)
        : grey_(grey), g_(g), mode_(mode) {
        if (mode == WindowStatistics::RunningSums)
            sums_ = std::make_unique<RunningSums>(grey, g);
    }

    WindowStats stats(int tx, int ty, bool inverted, bool withHistogram) const {
        const int left = g_.windowLeft(tx), right = g_.windowRight(tx);
        const int top = g_.windowTop(ty), bottom = g_.windowBottom(ty);
        WindowStats w;
        w.count = std::int64_t(right - left) * (bottom - top);
        if (mode_ == WindowStatistics::SubImages) {
            NQImage window = grey_.nqSubImage(left, top, right - left, bottom - top);
            if (inverted)
                window = window.nqReverseImage();
            const NQImageStats s = window.nqGetStats();
            w.mean = static_cast<int>(std::floor(s.mean[0]));
            w.sdev = s.stdDev[0];
            if (withHistogram)
                for (std::size_t i = 0; i < window.nqGetImageDataSize(); ++i)
                    ++w.histogram[window.nqGetImageData()[i]];
            return w;
        }
        std::int64_t sum;
        std::uint64_t squares;
        sums_->window(left, top, right, bottom, sum, squares);
        if (inverted) {
            // Sums of 255 - v from the sums of v.
            squares = std::uint64_t(65025 * w.count - 510 * sum + std::int64_t(squares));
            sum = 255 * w.count - sum;
        }
        w.mean = static_cast<int>(sum / w.count);
        w.sdev = sdevOf(w.count, sum, squares);
        if (withHistogram) {
            for (int y = top; y < bottom; ++y) {
                const unsigned char* row = grey_.nqGetImageData() + std::size_t(y) * g_.width;
                for (int x = left; x < right; ++x)
                    ++w.histogram[inverted ? 255 - row[x] : row[x]];
            }
        }
        return w;
    }

private:
    const NQImage& grey_;
    const Geometry& g_;
    WindowStatistics mode_;
    std::unique_ptr<RunningSums> sums_;
};

// What the modified method needs beyond the window.
struct PageContext {
    const ClassStats* normal;
    const ClassStats* inverted;
    bool smallGrid;
    Adjustments adjust;
};

double modifiedNiblack(const WindowStats& w, double niblack, bool invertedTile,
                       const PageContext& page, int tx, int ty) {
    const Histogram& h = w.histogram;
    const double n = static_cast<double>(w.count);
    int smooth[256];
    std::int64_t cumulative[256];
    std::int64_t running = 0;
    for (int v = 0; v < 256; ++v) {
        const int low = std::max(0, v - 3), high = std::min(255, v + 3);
        std::int64_t sum = 0;
        for (int u = low; u <= high; ++u)
            sum += h[u];
        smooth[v] = static_cast<int>(sum / (high - low + 1));
        running += h[v];
        cumulative[v] = running;
    }
    int mode = w.mean;
    for (int v = w.mean; v < 256; ++v)
        if (smooth[v] > smooth[mode])
            mode = v;
    const int modeCount = smooth[mode];
    const int cutoff = static_cast<int>(0.3 * modeCount);
    int climb = mode;
    for (int v = 96; v < mode; ++v)
        if (smooth[v] >= cutoff + 1) {
            climb = v;
            break;
        }

    const ClassStats& cls = invertedTile ? *page.inverted : *page.normal;
    const double average = invertedTile ? 255 - cls.average : cls.average;
    const double sdev = cls.sdev, adjusted = cls.adjustedSdev;
    std::int64_t foreground = 0;
    int binCount = 0;
    for (int v = 0; v < climb - 5; ++v)
        if (h[v] > 0)
            ++binCount, foreground += h[v];
    const double avgCount = binCount > 0 ? static_cast<double>(foreground) / binCount : 0.0;
    const int background = static_cast<int>(average - 2 * adjusted);
    const std::int64_t belowClimb = climb - 5 >= 0 ? cumulative[climb - 5] : 0;

    NQLogger* log = logger();
    const bool logging = log->isOkToLog(NQ_INFO);
    double threshold = niblack;
    if (page.smallGrid && w.sdev > 2 * sdev) {
        if (logging) {
            log->nqLog(NQ_INFO, "ADJUSTING FOR BIMODAL DISTRIBUTION:\n");
            log->nqLog(NQ_INFO,
                       "mean = %4.8f\tsdev = %4.8f\tsdev_factor = %4.8f\tgsdev = %4.8f\nproduct = "
                       "%4.8f\n",
                       double(w.mean), w.sdev, sdev > 0 ? w.sdev / sdev : 0.0, sdev, sdev * 9.6);
        }
        // Mean and spread of the background part, from the climb index up.
        double count = 0, total = 0;
        for (int v = climb; v < 256; ++v)
            count += h[v], total += double(h[v]) * v;
        const double mean = count > 0 ? total / count : 0;
        double squares = 0;
        for (int v = climb; v < 256; ++v)
            squares += h[v] * (v - mean) * (v - mean);
        const double spread = count > 1 ? std::sqrt(squares / (count - 1)) : 0;
        threshold = spread * page.adjust.bimodal + mean;
    } else {
        const bool sparse = avgCount < 0.00167 * n || binCount <= 0.0714 * average ||
                            average - 0.75 * adjusted <= climb || belowClimb >= 0.25 * n;
        if (sparse && w.sdev < 0.555 * adjusted) {
            if (logging)
                log->nqLog(NQ_INFO, "ADJUSTING FOR PROBABLE BACKGROUND:\n");
            threshold = std::min<double>(background, w.sdev * page.adjust.background + w.mean);
        } else if (!sparse) {
            if (logging)
                log->nqLog(NQ_INFO, "ADJUSTING FOR DROP IN CONTRAST:\n");
            // The first grey level below which the given share of the window
            // lies, but never above the foot of the background peak.
            const double limit = page.adjust.lowContrast * n;
            int t = 0;
            while (t < climb && cumulative[t] < limit)
                ++t;
            threshold = t;
        }
    }
    if (logging) {
        const int shown = static_cast<int>(std::max(-1e9, std::min(1e9, threshold)));
        log->nqLog(NQ_INFO, "(%03d,%03d): mean = %4.8f\tsdev = %4.8f\tgbackground = %d\n", tx, ty,
                   double(w.mean), w.sdev, background);
        log->nqLog(NQ_INFO, "\t\tmode = %d\tmodecount = %d\tnumpixels = %d\n", mode, modeCount,
                   int(w.count));
        log->nqLog(NQ_INFO, "\t\tthreshold = %d (cutoff = %d)\tclimbindex = %d\n", shown, cutoff,
                   climb);
        log->nqLog(NQ_INFO, "\t\tpixeltotal[%d] = %d\tavgcount = %4.8f\tbincount = %d\n", climb - 5,
                   int(belowClimb), avgCount, binCount);
        log->nqLog(NQ_INFO, "\t\tpixeltotal[%d] = %d\tpixeltotal[%d] = %d\n", mode,
                   int(cumulative[mode]), 255, int(cumulative[255]));
    }
    return threshold;
}

const char* methodLine(NQBinarizeType method) {
    switch (method) {
        case NQ_NIBLACK:
            return "Running Niblack's method with parameter k=%4.2f.\n";
        case NQ_SAUVOLA:
            return "Running Sauvola's method with parameter k=%4.2f.\n";
        case NQ_WOLF_JOLION:
            return "Running method of Wolf/Jolion with gain =\t%4.2f.\n";
        default:
            return "Running modified Niblack's method with parameter k =\t%4.2f.\n";
    }
}

void finishClass(ClassStats& c) {
    c.average = c.pixels > 0 ? c.sum / c.pixels : 0;
}

void spreadOfClass(ClassStats& c) {
    c.sdev = c.pixels > 1 ? std::sqrt(c.spread / (c.pixels - 1)) : 0;
    const std::int64_t kept = c.pixels - c.highVariancePixels;
    c.adjustedSdev =
        kept > 1 ? std::sqrt(std::max(0.0, c.spread - c.highVarianceSpread) / (kept - 1)) : c.sdev;
}

// Three-tile averages along one direction, each from the unsmoothed values.
std::vector<int> smoothedAlong(const std::vector<int>& grid, int across, int down,
                               bool horizontal) {
    std::vector<int> out(grid);
    const int length = horizontal ? across : down;
    if (length < 3)
        return out;
    for (int ty = 0; ty < down; ++ty)
        for (int tx = 0; tx < across; ++tx) {
            const int along = horizontal ? tx : ty;
            if (along == 0 || along == length - 1)
                continue;
            const std::size_t i = std::size_t(ty) * across + tx;
            const std::size_t step = horizontal ? 1 : across;
            out[i] = (grid[i - step] + grid[i] + grid[i + step]) / 3;
        }
    return out;
}

}  // namespace

ThresholdGrid thresholdGrid(const NQImage& grey, NQBinarizeType method, double k,
                            bool detectInverted, WindowStatistics statistics) {
    if (grey.nqGetBitsPerPixel() != 8)
        throw NQException(NQ_INVALID_INPUT,
                          "<NQBitsPerPixelConverter::nqDownscaleGray2Binary_niblack()> An 8-bit "
                          "Grayscale image is expected",
                          kModule, __LINE__);
    if (!grey.nqHasImageData())
        throw NQException(NQ_NULL_DATA,
                          "<NQBitsPerPixelConverter::nqDownscaleGray2Binary_niblack()> Image Data "
                          "is NULL!",
                          kModule, __LINE__);
    if (method < NQ_NIBLACK || method > NQ_MODIFIED_NIBLACK)
        throw NQException(NQ_INVALID_ARGUMENT,
                          "<NQBitsPerPixelConverter::nqDownscaleGray2Binary_niblack()> Unknown "
                          "binarization method.",
                          kModule, __LINE__);
    ThresholdGrid grid;
    Geometry g;
    g.width = grey.nqGetWidth();
    g.height = grey.nqGetHeight();
    const std::int64_t pixels = std::int64_t(g.width) * g.height;
    if (pixels <= 0)
        return grid;
    g.tile = 2 * static_cast<int>(std::log(static_cast<double>(pixels)));
    if (g.tile == 0)
        g.tile = 1;
    g.reach = g.tile / 4;
    g.across = (g.width + g.tile - 1) / g.tile;
    g.down = (g.height + g.tile - 1) / g.tile;
    const int statsSize = g.tile + 2 * g.reach;
    NQLogger* log = logger();
    log->nqLog(NQ_INFO, "Thresh window: %d x %d. Stats window: %d x %d.\n", g.tile, g.tile,
               statsSize, statsSize);
    log->nqLog(NQ_INFO, methodLine(method), k);
    const Adjustments adjust{4 * k, 4 * k, -2.2 * k};

    std::vector<Tile> tiles = gatherTiles(grey, g);
    std::int64_t sum = 0;
    std::uint64_t squares = 0;
    int darkest = 255;  // M of Wolf/Jolion
    for (const Tile& t : tiles) {
        sum += t.sum;
        squares += t.squares;
        darkest = std::min(darkest, t.minimum);
    }
    double globalSdev = 0;
    if (detectInverted) {
        globalSdev = sdevOf(pixels, sum, squares);
        log->nqLog(NQ_INFO, "Global graylevel mean: %6.4f\n", double(sum) / pixels);
        log->nqLog(NQ_INFO, "Global graylevel standard deviation: %6.4f\n", globalSdev);
    }

    // Classification, and the largest tile spread R of Wolf/Jolion.
    ClassStats normal, inverted;
    double largestSdev = 0;
    for (Tile& t : tiles) {
        const double mean = double(t.sum) / t.count;
        const double sdev = sdevOf(t.count, t.sum, t.squares);
        largestSdev = std::max(largestSdev, sdev);
        if (detectInverted) {
            const double third = t.count > 1 ? thirdCentralSum(t) / (t.count - 1) : 0;
            t.inverted = !(mean >= 127.5 || (third <= 200 * sdev && sdev >= 0.555 * globalSdev));
        }
        ClassStats& c = t.inverted ? inverted : normal;
        c.sum += double(t.sum);
        c.pixels += t.count;
    }
    log->nqLog(NQ_INFO, "Image dimensions: width = %d\theight = %d\ttotal pixels = %d\n", g.width,
               g.height, int(pixels));
    log->nqLog(NQ_INFO, "Normal sum = %4.1f\ttotal pixels = %d\n", normal.sum, int(normal.pixels));
    log->nqLog(NQ_INFO, "Inverted sum = %4.1f\ttotal pixels = %d\n", inverted.sum,
               int(inverted.pixels));
    log->nqLog(NQ_INFO, "Number of pixels in image: %d\n", int(pixels));
    finishClass(normal);
    finishClass(inverted);

    // Spread of each class about its average; tiles with an RMS deviation
    // above 60 grey levels are counted apart as high-variance tiles.
    for (const Tile& t : tiles) {
        ClassStats& c = t.inverted ? inverted : normal;
        const double a = c.average;
        const double spread =
            std::max(0.0, double(t.squares) - 2 * a * double(t.sum) + double(t.count) * a * a);
        c.spread += spread;
        if (spread > 3600.0 * t.count) {
            c.highVariancePixels += t.count;
            c.highVarianceSpread += spread;
        }
    }
    spreadOfClass(normal);
    spreadOfClass(inverted);
    log->nqLog(NQ_INFO, "Normal text average = %4.8f\tsdev = %4.8f\n", normal.average, normal.sdev);
    log->nqLog(NQ_INFO, "Inverted text average = %4.8f\tsdev = %4.8f\n", inverted.average,
               inverted.sdev);
    log->nqLog(NQ_INFO, "Normal text average (adjusted) = %4.8f\tsdev = %4.8f\n", normal.average,
               normal.adjustedSdev);
    log->nqLog(NQ_INFO, "Inverted text average (adjusted) = %4.8f\tsdev = %4.8f\n",
               inverted.average, inverted.adjustedSdev);
    log->nqLog(NQ_INFO, "nrmtotal = %d\tnrmtotal_adj = %d\tinvtotal = %d\tinvtotal_adj = %d\n",
               int(normal.pixels), int(normal.pixels - normal.highVariancePixels),
               int(inverted.pixels), int(inverted.pixels - inverted.highVariancePixels));

    const PageContext page{
        &normal, &inverted,
        g.across < 76 && g.down < 76 &&
            double(inverted.highVariancePixels) / (inverted.pixels + 1) >= 0.02 &&
            double(normal.highVariancePixels) / (normal.pixels + 1) >= 0.02,
        adjust};

    const WindowSource windows(grey, g, statistics);
    grid.tileSize = g.tile;
    grid.across = g.across;
    grid.down = g.down;
    grid.raw.resize(tiles.size());
    for (int ty = 0; ty < g.down; ++ty)
        for (int tx = 0; tx < g.across; ++tx) {
            const std::size_t i = std::size_t(ty) * g.across + tx;
            const bool flipped = tiles[i].inverted;
            const WindowStats w = windows.stats(tx, ty, flipped, method == NQ_MODIFIED_NIBLACK);
            const double m = w.mean, s = w.sdev;
            double t;
            switch (method) {
                case NQ_SAUVOLA:
                    t = ((1 - s / 128) * k + 1) * m;
                    break;
                case NQ_WOLF_JOLION:
                    // A page of flat tiles has no spread to compare with.
                    t = (k + 1) * m - k * darkest -
                        (largestSdev > 0 ? (m - darkest) * k * s / largestSdev : 0.0);
                    break;
                default:
                    t = k * s + m;
                    break;
            }
            if (method == NQ_MODIFIED_NIBLACK)
                t = modifiedNiblack(w, t, flipped, page, tx, ty);
            if (flipped)
                t = 255 - t;
            grid.raw[i] = static_cast<int>(std::min(255.0, std::max(0.0, t)));
        }
    grid.smoothed =
        smoothedAlong(smoothedAlong(grid.raw, g.across, g.down, true), g.across, g.down, false);
    return grid;
}

NQImage applyThresholds(const NQImage& grey, const ThresholdGrid& grid) {
    NQImage result;
    result.nqSetImageHead(grey.nqGetWidth(), grey.nqGetHeight(), 1, grey.nqGetXResolution(),
                          grey.nqGetYResolution(),
                          static_cast<NQImageHead::NQResolutionUnits>(grey.nqGetResolutionUnits()));
    result.nqSetResolutionInInches(grey.nqImageHead().nqGetResolutionInInches());
    result.nqAllocImageData();
    result.nqSetAllPixels(static_cast<unsigned char>(0));
    const int width = grey.nqGetWidth();
    for (int y = 0; y < grey.nqGetHeight() && grid.across > 0; ++y) {
        const unsigned char* in = grey.nqGetImageData() + std::size_t(y) * width;
        unsigned char* out = result.nqGetImageData() + std::size_t(y) * result.nqGetRowSize();
        const int* thresholds = grid.smoothed.data() + std::size_t(y / grid.tileSize) * grid.across;
        for (int x = 0; x < width; ++x)
            if (in[x] >= thresholds[x / grid.tileSize])
                out[x >> 3] |= static_cast<unsigned char>(0x80 >> (x & 7));
    }
    return result;
}

}  // namespace nqlocal

NQImage NQBitsPerPixelConverter::nqDownscaleGray2Binary_niblack(const NQImage& image,
                                                                NQBinarizeType algorithm, double k,
                                                                bool detect_inverted) {
    const nqlocal::ThresholdGrid grid = nqlocal::thresholdGrid(
        image, algorithm, k, detect_inverted, nqlocal::WindowStatistics::RunningSums);
    return nqlocal::applyThresholds(image, grid);
}

NQImage NQBitsPerPixelConverter::nqDownscaleGray2Binary_niblack(const NQImage& image,
                                                                NQ_BINARIZE_TYPE algorithm,
                                                                double k, bool detect_inverted) {
    NQLogger::nqGetInstance()->nqLog(
        NQ_ERROR,
        "NQBitsPerPixelConverter::nqDownscaleGray2Binary_niblack(const NQImage&, "
        "NQ_BINARIZE_TYPE, double, bool) is deprecated.\n"
        "Use NQBitsPerPixelConverter::nqDownscaleGray2Binary_niblack(const NQImage&, "
        "NQBinarizeType, double, bool) instead.\n");
    if (algorithm < NQ_BINARIZE_NIBLACK || algorithm > NQ_BINARIZE_MODIFIED_NIBLACK)
        return NQImage();
    return nqDownscaleGray2Binary_niblack(image, static_cast<NQBinarizeType>(algorithm), k,
                                          detect_inverted);
}
