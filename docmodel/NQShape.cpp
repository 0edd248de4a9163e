#include "docmodel/NQShape.h"

#include <algorithm>

NQShape::NQShape() : fillColor_(NQColor::NQ_CM_BLACK) {
    // The default pen is red with the colour model left unknown.
    lineColor_.nqSetRed(255);
}

NQRectShape NQRectShape::nqIntersection(const NQRectShape& a, const NQRectShape& b) {
    const int left = std::max(a.x, b.x);
    const int top = std::max(a.y, b.y);
    const int right = std::min(a.x + a.width - 1, b.x + b.width - 1);
    const int bottom = std::min(a.y + a.height - 1, b.y + b.height - 1);
    if (left <= right && top <= bottom)
        return NQRectShape(left, top, right - left + 1, bottom - top + 1);
    return NQRectShape(0, 0, 0, 0);
}
