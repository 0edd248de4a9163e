// Drawing of lines and rectangles onto images. Lines are rasterised with
// Bresenham's integer algorithm along the major axis; every drawn point stamps
// a square pen. Pen squares are shifted (not cut) at the left and top image
// edges and cut at the right and bottom edges. Dashes alternate d drawn and
// d skipped points counted along the major axis, d = thickness x dash length.
#include <algorithm>
#include <cstdlib>

#include "docmodel/NQShape.h"
#include "image/NQException.h"
#include "image/NQImage.h"

namespace {

constexpr const char* kModule = "NQDrawing";

// The pen value for one image depth; resolved before the first pixel is set
// so that an impossible colour changes nothing.
struct Pen {
    bool drawable = false;
    bool threeBytes = false;
    unsigned char r = 0, g = 0, b = 0;  // three-byte pixels
    unsigned char value = 0;            // one-byte and binary pixels
};

Pen resolvePen(const NQImage& image, const NQColor& color) {
    Pen pen;
    const int model = color.nqGetColorModel();
    switch (image.nqGetBitsPerPixel()) {
        case 24:
            pen.drawable = pen.threeBytes = true;
            if (model == NQ_GRAY) {
                pen.r = pen.g = pen.b = color.nqGetGray();
            } else if (model == NQ_RGBCOLOR) {
                pen.r = color.nqGetRed();
                pen.g = color.nqGetGreen();
                pen.b = color.nqGetBlue();
            } else if (model == NQ_BINARY) {
                pen.r = pen.g = pen.b = color.nqGetBinary();
            }
            break;
        case 8:
            pen.drawable = true;
            if (model == NQ_GRAY)
                pen.value = color.nqGetGray();
            else if (model == NQ_RGBCOLOR)
                throw NQException(NQ_INVALID_CONTENT,
                                  "Can not draw RGB color onto a Grayscale image.", kModule,
                                  __LINE__);
            else if (model == NQ_BINARY)
                pen.value = color.nqGetBinary();
            break;
        case 1:
            pen.drawable = true;
            if (model == NQ_GRAY)
                throw NQException(NQ_INVALID_CONTENT, "Can not draw Gray color onto a BW image.",
                                  kModule, __LINE__);
            if (model == NQ_RGBCOLOR)
                throw NQException(NQ_INVALID_CONTENT, "Can not draw RGB color onto a BW image.",
                                  kModule, __LINE__);
            if (model == NQ_BINARY) pen.value = color.nqGetBinary();
            break;
        default: break;
    }
    return pen;
}

void setPenPixel(NQImage& image, const Pen& pen, int x, int y) {
    if (pen.threeBytes)
        image.nqSetPixel(x, y, pen.r, pen.g, pen.b);
    else
        image.nqSetPixel(x, y, pen.value);
}

void stamp(NQImage& image, const Pen& pen, int x, int y, int thickness) {
    const int left = std::max(0, x - thickness / 2);
    const int top = std::max(0, y - thickness / 2);
    const int right = std::min(left + thickness, image.nqGetWidth());
    const int bottom = std::min(top + thickness, image.nqGetHeight());
    for (int row = top; row < bottom; ++row)
        for (int col = left; col < right; ++col) setPenPixel(image, pen, col, row);
}

void drawLine(NQImage& image, const NQColor& color, NQPoint from, NQPoint to, int thickness,
              int style, int dashLength) {
    const Pen pen = resolvePen(image, color);
    if (!pen.drawable) return;
    if (from == to) {
        setPenPixel(image, pen, from.x, from.y);
        return;
    }
    const int period = style == 1 ? thickness * dashLength : 0;
    const int dx = std::abs(to.x - from.x);
    const int dy = std::abs(to.y - from.y);
    const bool xMajor = dx >= dy;
    const int major = xMajor ? dx : dy;
    const int minor = xMajor ? dy : dx;
    const int stepX = to.x > from.x ? 1 : -1;
    const int stepY = to.y > from.y ? 1 : -1;
    int x = from.x, y = from.y;
    long long err = -major;
    for (int i = 0; i <= major; ++i) {
        err += 2LL * minor;
        if (period < 1 || i % (2 * period) < period) stamp(image, pen, x, y, thickness);
        while (err >= 0) {
            if (xMajor)
                y += stepY;
            else
                x += stepX;
            err -= 2LL * major;
        }
        if (xMajor)
            x += stepX;
        else
            y += stepY;
    }
}

}  // namespace

void NQLineShape::nqDrawShape(NQImage* image) {
    if (image == nullptr) return;
    drawLine(*image, nqGetLineColor(), nqGetFirstPoint(), nqGetSecondPoint(), lineThickness,
             lineStyle, dashLength);
}

void NQRectShape::nqDrawShape(NQImage* image) {
    if (image == nullptr) return;
    const int x0 = x, y0 = y;
    const int x1 = x + width - 1, y1 = y + height - 1;
    const NQColor& pen = nqGetLineColor();
    drawLine(*image, pen, {x0, y0}, {x0, y1}, lineThickness, lineStyle, dashLength);
    drawLine(*image, pen, {x0, y1}, {x1, y1}, lineThickness, lineStyle, dashLength);
    drawLine(*image, pen, {x1, y1}, {x1, y0}, lineThickness, lineStyle, dashLength);
    drawLine(*image, pen, {x1, y0}, {x0, y0}, lineThickness, lineStyle, dashLength);
    if (nqIsFilled() && y1 > y0 + 1)
        for (int row = y0 + 1; row <= y1 - 1; ++row)
            drawLine(*image, nqGetFillColor(), {x0 + 1, row}, {x1, row}, 1, 0, dashLength);
}
