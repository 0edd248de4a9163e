#ifndef NQ_DOCMODEL_NQPOLYGON_H
#define NQ_DOCMODEL_NQPOLYGON_H

#include <limits>
#include <utility>
#include <vector>

#include "docmodel/NQShape.h"

// A polygon of integer points. The inherited rectangle is its bounding box:
// x = least x, y = least y, width = greatest x - least x, height likewise
// (no + 1).
class NQPolygon : public NQRectShape {
public:
    NQPolygon() = default;
    // Throws the C string "The number of Polygon point should be more than 3"
    // for fewer than three points.
    NQPolygon(const int* xs, const int* ys, int n);
    NQPolygon(const std::vector<int>& xs, const std::vector<int>& ys);
    // The same, taking over the two vectors instead of copying them.
    NQPolygon(std::vector<int>&& xs, std::vector<int>&& ys);

    int getSize() const { return static_cast<int>(xs_.size()); }
    const int* getXpoints() const { return xs_.data(); }
    const int* getYpoints() const { return ys_.data(); }
    NQRectShape getBounds() const { return NQRectShape(x, y, width, height); }
    void calculateBounds();
    bool boundCheck(double px, double py) const;

    // Crossing-number test. Points on a left or upper edge tend to count as
    // inside and points on a right or lower edge as outside; these edge rules
    // decide which pixels belong to a zone.
    bool contains(double px, double py) const;
    bool contains(int px, int py) const {
        return contains(static_cast<double>(px), static_cast<double>(py));
    }

    // The columns of row `py` for which contains() is true, as half-open
    // [begin, end) spans in ascending order. Gives exactly the pixels of the
    // per-pixel test at a cost per row instead of per pixel.
    void insideSpans(int py, std::vector<std::pair<int, int>>& spans) const;

    // insideSpans() for rows asked in ascending order, at a cost per row of
    // the edges that cross it. An earlier row than the last one starts the
    // scan again. The polygon must outlive the scanner and stay unchanged.
    class RowScanner {
    public:
        explicit RowScanner(const NQPolygon& polygon);
        // Sets `out` to the spans of row py and returns the first row after
        // it whose spans may differ: rows in between have the same spans,
        // as where only vertical edges cross them.
        int spans(int py, std::vector<std::pair<int, int>>& out);

    private:
        struct Edge {
            double curx, cury, lastx, lasty;
            int top, bottom;  // the edge crosses rows [top, bottom)
            bool vertical;
        };
        std::vector<Edge> edges_;          // by ascending top
        std::vector<std::size_t> active_;  // edges that have begun and may not have ended
        std::vector<long long> thresholds_;
        std::size_t next_ = 0;  // first edge not yet begun
        int row_ = std::numeric_limits<int>::min();
        long long first_, last_;
    };

    static int min(int a, int b) { return a < b ? a : b; }
    static int max(int a, int b) { return a > b ? a : b; }

private:
    std::vector<int> xs_;
    std::vector<int> ys_;
};

#endif
