// Point-in-polygon by crossing numbers with half-open edge rules. For each
// non-horizontal edge, a point strictly left of the edge's left end counts a
// crossing at once; between the ends, the crossing is decided by comparing the
// point's offset with the edge's slope in floating point, division first.
// insideSpans() evaluates the same comparisons once per edge and row: for a
// fixed row each edge's hits form a prefix {x < T} of the columns, so the
// inside columns are those left of an odd number of thresholds.
#include "docmodel/NQPolygon.h"

#include <algorithm>
#include <cmath>

NQPolygon::NQPolygon(const int* xs, const int* ys, int n) {
    if (n < 3) throw "The number of Polygon point should be more than 3";
    xs_.assign(xs, xs + n);
    ys_.assign(ys, ys + n);
    calculateBounds();
}

NQPolygon::NQPolygon(const std::vector<int>& xs, const std::vector<int>& ys) {
    const std::size_t n = std::min(xs.size(), ys.size());
    if (n < 3) throw "The number of Polygon point should be more than 3";
    xs_.assign(xs.begin(), xs.begin() + n);
    ys_.assign(ys.begin(), ys.begin() + n);
    calculateBounds();
}

void NQPolygon::calculateBounds() {
    // The start values are not the extremes of int; an empty polygon keeps them.
    int leastX = 65532, leastY = 65532;
    int greatestX = -65531, greatestY = -65531;
    for (std::size_t i = 0; i < xs_.size(); ++i) {
        leastX = std::min(leastX, xs_[i]);
        greatestX = std::max(greatestX, xs_[i]);
        leastY = std::min(leastY, ys_[i]);
        greatestY = std::max(greatestY, ys_[i]);
    }
    x = leastX;
    y = leastY;
    width = greatestX - leastX;
    height = greatestY - leastY;
}

bool NQPolygon::boundCheck(double px, double py) const {
    return px >= x && px <= static_cast<double>(x) + width && py >= y &&
           py <= static_cast<double>(y) + height;
}

bool NQPolygon::contains(double px, double py) const {
    const std::size_t n = xs_.size();
    if (n < 3) return false;
    if (!boundCheck(px, py)) return false;
    int hits = 0;
    double lastx = xs_[n - 1];
    double lasty = ys_[n - 1];
    for (std::size_t i = 0; i < n; lastx = xs_[i], lasty = ys_[i], ++i) {
        const double curx = xs_[i];
        const double cury = ys_[i];
        if (cury == lasty) continue;
        double leftx;
        if (curx < lastx) {
            if (px >= lastx) continue;
            leftx = curx;
        } else {
            if (px >= curx) continue;
            leftx = lastx;
        }
        double test1, test2;
        if (cury < lasty) {
            if (py < cury || py >= lasty) continue;
            if (px < leftx) {
                ++hits;
                continue;
            }
            test1 = px - curx;
            test2 = py - cury;
        } else {
            if (py < lasty || py >= cury) continue;
            if (px < leftx) {
                ++hits;
                continue;
            }
            test1 = px - lastx;
            test2 = py - lasty;
        }
        if (test1 < test2 / (lasty - cury) * (lastx - curx)) ++hits;
    }
    return (hits & 1) != 0;
}

void NQPolygon::insideSpans(int py, std::vector<std::pair<int, int>>& spans) const {
    spans.clear();
    const std::size_t n = xs_.size();
    if (n < 3 || py < y || static_cast<long long>(py) > static_cast<long long>(y) + height) return;

    // thresholds[e]: the edge counts a crossing for exactly the columns x < T.
    std::vector<long long> thresholds;
    thresholds.reserve(n);
    const double row = py;
    double lastx = xs_[n - 1];
    double lasty = ys_[n - 1];
    for (std::size_t i = 0; i < n; lastx = xs_[i], lasty = ys_[i], ++i) {
        const double curx = xs_[i];
        const double cury = ys_[i];
        if (cury == lasty) continue;
        const double leftx = std::min(curx, lastx);
        const double rightx = std::max(curx, lastx);
        double originX, originY;
        if (cury < lasty) {
            if (row < cury || row >= lasty) continue;
            originX = curx;
            originY = cury;
        } else {
            if (row < lasty || row >= cury) continue;
            originX = lastx;
            originY = lasty;
        }
        // x - originX < c holds for the integers x < originX + ceil(c).
        const double c = (row - originY) / (lasty - cury) * (lastx - curx);
        const double slopeLimit = originX + std::ceil(c);
        const double limit = std::min(rightx, std::max(leftx, slopeLimit));
        thresholds.push_back(static_cast<long long>(limit));
    }
    std::sort(thresholds.begin(), thresholds.end());

    // Columns left of all k thresholds lie left of k of them; each threshold
    // passed lowers that count by one.
    const long long first = x;
    const long long last = static_cast<long long>(x) + width + 1;  // bounding box, inclusive
    const std::size_t k = thresholds.size();
    long long begin = first;
    for (std::size_t i = 0; i <= k; ++i) {
        const long long end = i < k ? std::min(thresholds[i], last) : last;
        const bool inside = ((k - i) & 1) != 0;
        if (inside && end > begin) {
            if (!spans.empty() && spans.back().second == begin)
                spans.back().second = static_cast<int>(end);
            else
                spans.emplace_back(static_cast<int>(begin), static_cast<int>(end));
        }
        begin = std::max(begin, end);
        if (begin >= last) break;
    }
}
