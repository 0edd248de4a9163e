#ifndef NQ_DOCMODEL_NQSHAPE_H
#define NQ_DOCMODEL_NQSHAPE_H

#include "docmodel/NQPoint.h"
#include "image/NQColor.h"

class NQImage;

// A drawable shape with a pen (colour, thickness, solid or dashed) and an
// optional fill colour. Drawing is defined with the image core.
class NQShape {
public:
    NQShape();
    NQShape(const NQShape&) = default;
    NQShape& operator=(const NQShape&) = default;
    virtual ~NQShape() = default;

    virtual void nqDrawShape(NQImage* image) = 0;

    void nqSetLineColor(const NQColor& color) { lineColor_ = color; }
    // Setting a fill colour makes the shape filled.
    void nqSetFillColor(const NQColor& color) {
        fillColor_ = color;
        filled_ = true;
    }
    const NQColor& nqGetLineColor() const { return lineColor_; }
    const NQColor& nqGetFillColor() const { return fillColor_; }
    bool nqIsFilled() const { return filled_; }

    int lineStyle = 0;   // 1 = dashed, anything else solid
    int dashLength = 5;  // dash and gap length, in pen widths
    int lineThickness = 1;

private:
    NQColor lineColor_;
    NQColor fillColor_;
    bool filled_ = false;
};

class NQLineShape : public NQShape {
public:
    NQLineShape() = default;
    NQLineShape(const NQPoint& first, const NQPoint& second) : first_(first), second_(second) {}

    void nqDrawShape(NQImage* image) override;

    NQPoint nqGetFirstPoint() const { return first_; }
    void nqSetFirstPoint(const NQPoint& p) { first_ = p; }
    NQPoint nqGetSecondPoint() const { return second_; }
    void nqSetSecondPoint(const NQPoint& p) { second_ = p; }

private:
    NQPoint first_;
    NQPoint second_;
};

// Axis-aligned rectangle covering columns x .. x + width - 1 and rows
// y .. y + height - 1.
class NQRectShape : public NQShape {
public:
    NQRectShape() = default;
    NQRectShape(int px, int py, int w, int h) : x(px), y(py), width(w), height(h) {}

    void nqDrawShape(NQImage* image) override;

    // The overlap of two rectangles, or (0, 0, 0, 0) when they share no pixel;
    // the result has default shape attributes.
    static NQRectShape nqIntersection(const NQRectShape& a, const NQRectShape& b);

    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

#endif
