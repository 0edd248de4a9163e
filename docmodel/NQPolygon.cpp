// Point-in-polygon by crossing numbers with half-open edge rules. For each
// non-horizontal edge, a point strictly left of the edge's left end counts a
// crossing at once; between the ends, the crossing is decided by comparing the
// point's offset with the edge's slope in floating point, division first.
// insideSpans() evaluates the same comparisons once per edge and row: for a
// fixed row each edge's hits form a prefix {x < T} of the columns, so the
// inside columns are those left of an odd number of thresholds. RowScanner
// gives the same spans for rows taken from top to bottom, looking only at
// the edges that cross each row (edges sorted by their upper end, an active
// list dropping those that end above the row), so a tall polygon of many
// points costs per row the edges of that row, not all of them.
#include "docmodel/NQPolygon.h"

#include <algorithm>
#include <cmath>
#include <utility>

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

NQPolygon::NQPolygon(std::vector<int>&& xs, std::vector<int>&& ys) {
    const std::size_t n = std::min(xs.size(), ys.size());
    if (n < 3) throw "The number of Polygon point should be more than 3";
    xs_ = std::move(xs);
    ys_ = std::move(ys);
    xs_.resize(n);
    ys_.resize(n);
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

namespace {

// The column limit of one edge in one row: the edge counts a crossing for
// exactly the columns x < limit. The comparisons are those of contains().
long long edgeThreshold(double row, double curx, double cury, double lastx, double lasty) {
    const double leftx = std::min(curx, lastx);
    const double rightx = std::max(curx, lastx);
    const double originX = cury < lasty ? curx : lastx;
    const double originY = cury < lasty ? cury : lasty;
    // x - originX < c holds for the integers x < originX + ceil(c).
    const double c = (row - originY) / (lasty - cury) * (lastx - curx);
    const double slopeLimit = originX + std::ceil(c);
    return static_cast<long long>(std::min(rightx, std::max(leftx, slopeLimit)));
}

// The inside columns of a row from the sorted limits of the edges that cross
// it: columns left of all k limits lie left of k of them, and each limit
// passed lowers that count by one. `first` and `last` bound the polygon's
// bounding box, `last` exclusive.
void spansFromThresholds(const std::vector<long long>& thresholds, long long first, long long last,
                         std::vector<std::pair<int, int>>& spans) {
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
        if (begin >= last)
            break;
    }
}

}  // namespace

void NQPolygon::insideSpans(int py, std::vector<std::pair<int, int>>& spans) const {
    spans.clear();
    const std::size_t n = xs_.size();
    if (n < 3 || py < y || static_cast<long long>(py) > static_cast<long long>(y) + height)
        return;

    std::vector<long long> thresholds;
    thresholds.reserve(n);
    const double row = py;
    double lastx = xs_[n - 1];
    double lasty = ys_[n - 1];
    for (std::size_t i = 0; i < n; lastx = xs_[i], lasty = ys_[i], ++i) {
        const double curx = xs_[i];
        const double cury = ys_[i];
        if (cury == lasty)
            continue;
        // Each edge covers the rows from its upper end up to, not including, its lower end.
        if (row < std::min(cury, lasty) || row >= std::max(cury, lasty))
            continue;
        thresholds.push_back(edgeThreshold(row, curx, cury, lastx, lasty));
    }
    std::sort(thresholds.begin(), thresholds.end());
    spansFromThresholds(thresholds, x, static_cast<long long>(x) + width + 1, spans);
}

// ---- rows in order ------------------------------------------------------------------

NQPolygon::RowScanner::RowScanner(const NQPolygon& polygon)
    : first_(polygon.x), last_(static_cast<long long>(polygon.x) + polygon.width + 1) {
    const std::size_t n = polygon.xs_.size();
    if (n < 3)
        return;
    // A polygon has at most one edge per point, and the active edges and
    // their thresholds never outnumber the edges: reserving all three up
    // front spares regrowing them while rows are scanned.
    edges_.reserve(n);
    double lastx = polygon.xs_[n - 1];
    double lasty = polygon.ys_[n - 1];
    for (std::size_t i = 0; i < n; lastx = polygon.xs_[i], lasty = polygon.ys_[i], ++i) {
        const double curx = polygon.xs_[i];
        const double cury = polygon.ys_[i];
        if (cury == lasty)
            continue;
        edges_.push_back(Edge{curx, cury, lastx, lasty, static_cast<int>(std::min(cury, lasty)),
                              static_cast<int>(std::max(cury, lasty)), curx == lastx});
    }
    // Often already in order (a rectangle's two edges begin on one row), and
    // stable_sort takes a scratch buffer even then.
    const auto byTop = [](const Edge& a, const Edge& b) { return a.top < b.top; };
    if (!std::is_sorted(edges_.begin(), edges_.end(), byTop))
        std::stable_sort(edges_.begin(), edges_.end(), byTop);
    active_.reserve(edges_.size());
    thresholds_.reserve(edges_.size());
}

int NQPolygon::RowScanner::spans(int py, std::vector<std::pair<int, int>>& out) {
    out.clear();
    if (py < row_) {
        // Asked for an earlier row: start again from the top.
        active_.clear();
        next_ = 0;
    }
    row_ = py;
    while (next_ < edges_.size() && edges_[next_].top <= py) active_.push_back(next_++);
    active_.erase(std::remove_if(active_.begin(), active_.end(),
                                 [&](std::size_t e) { return edges_[e].bottom <= py; }),
                  active_.end());
    // The spans change only where an edge begins or ends, or on every row
    // while a slanted edge crosses.
    long long until = next_ < edges_.size() ? edges_[next_].top
                                            : std::numeric_limits<int>::max();
    thresholds_.clear();
    const double row = py;
    for (std::size_t e : active_) {
        const Edge& edge = edges_[e];
        until = std::min<long long>(until, edge.vertical ? edge.bottom : py + 1LL);
        thresholds_.push_back(edgeThreshold(row, edge.curx, edge.cury, edge.lastx, edge.lasty));
    }
    if (!thresholds_.empty()) {
        std::sort(thresholds_.begin(), thresholds_.end());
        spansFromThresholds(thresholds_, first_, last_, out);
    }
    return static_cast<int>(std::max<long long>(until, py + 1LL));
}
