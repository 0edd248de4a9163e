// Pictures of compared pages.
//
// The page is copied into a 24-bit image with every grey value moved 3/5 of
// the way to white, so that black print becomes a mid grey and coloured
// outlines stand out on it. Each outline is drawn edge by edge with the
// library's line shapes (a square pen, cut at the page edges), member zone by
// member zone, so a merged region shows every zone it was built from. Missed
// ground-truth regions are drawn first and result regions over them, so a
// result outline stays visible where the two coincide.
#include "eval/NQPictureWriter.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "image/NQException.h"

namespace {

// Page pixels as grey values, row by row; binary and grey pages are read from
// their bytes, anything else through the colour accessor.
void copyLightened(const NQImage& page, NQImage& picture) {
    const int width = page.nqGetWidth(), height = page.nqGetHeight();
    const int depth = page.nqGetBitsPerPixel();
    const unsigned char* data = page.nqGetImageData();
    unsigned char* out = picture.nqGetImageData();
    const std::size_t outRow = static_cast<std::size_t>(picture.nqGetRowSize());
    const std::size_t inRow = static_cast<std::size_t>(page.nqGetRowSize());
    for (int y = 0; y < height; ++y) {
        const unsigned char* in = data + inRow * y;
        unsigned char* px = out + outRow * y;
        for (int x = 0; x < width; ++x, px += 3) {
            unsigned char v;
            if (depth == 1) {
                v = (in[x >> 3] & (0x80 >> (x & 7))) ? 255 : 0;
            } else if (depth == 8) {
                v = in[x];
            } else {
                unsigned char r, g, b;
                page.nqGetPixel(x, y, r, g, b);
                v = static_cast<unsigned char>((r * 299 + g * 587 + b * 114) / 1000);
            }
            px[0] = px[1] = px[2] = NQPictureWriter::lightened(v);
        }
    }
}

// Cuts the segment a-b to the box [lo, hi] in both axes (Liang-Barsky);
// false when nothing of it lies inside. Outline points come from the files
// and may lie far off the page; cutting keeps the drawing proportional to
// the page, not to the coordinates.
bool clipSegment(NQPoint& a, NQPoint& b, double loX, double loY, double hiX, double hiY) {
    const double dx = double(b.x) - a.x, dy = double(b.y) - a.y;
    double t0 = 0.0, t1 = 1.0;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {a.x - loX, hiX - a.x, a.y - loY, hiY - a.y};
    for (int k = 0; k < 4; ++k) {
        if (p[k] == 0) {
            if (q[k] < 0)
                return false;
            continue;
        }
        const double t = q[k] / p[k];
        if (p[k] < 0)
            t0 = std::max(t0, t);
        else
            t1 = std::min(t1, t);
        if (t0 > t1)
            return false;
    }
    const NQPoint start = a;
    a = NQPoint(static_cast<int>(std::lround(start.x + t0 * dx)),
                static_cast<int>(std::lround(start.y + t0 * dy)));
    b = NQPoint(static_cast<int>(std::lround(start.x + t1 * dx)),
                static_cast<int>(std::lround(start.y + t1 * dy)));
    return true;
}

void drawOutlines(NQImage& picture, const NQRegionRecord& region, int pen) {
    NQLineShape edge;
    edge.nqSetLineColor(NQPictureWriter::outcomeColor(region.outcome));
    edge.lineThickness = pen;
    const double loX = -pen, loY = -pen;
    const double hiX = picture.nqGetWidth() + pen, hiY = picture.nqGetHeight() + pen;
    for (const NQPolygon& outline : region.outlines) {
        const int n = outline.getSize();
        const int* xs = outline.getXpoints();
        const int* ys = outline.getYpoints();
        for (int k = 0; k < n; ++k) {
            NQPoint from(xs[k], ys[k]), to(xs[(k + 1) % n], ys[(k + 1) % n]);
            // A zero-length edge would set one unchecked pixel; its
            // neighbours draw that corner anyway.
            if (from == to || !clipSegment(from, to, loX, loY, hiX, hiY) || from == to)
                continue;
            edge.nqSetFirstPoint(from);
            edge.nqSetSecondPoint(to);
            edge.nqDrawShape(&picture);
        }
    }
}

std::string leafName(const std::string& path) {
    const std::string::size_type slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

NQColor NQPictureWriter::outcomeColor(NQOutcome outcome) {
    switch (outcome) {
        case NQOutcome::Matched:
            return NQColor(0, 160, 60);
        case NQOutcome::Detected:
            return NQColor(240, 150, 0);
        case NQOutcome::FalseAlarm:
            return NQColor(220, 0, 0);
        case NQOutcome::Missed:
            return NQColor(0, 90, 230);
    }
    return NQColor(0, 0, 0);
}

int NQPictureWriter::penWidth(int width, int height) {
    return std::max(3, (width + height) / 700);
}

std::string NQPictureWriter::pictureName(const std::string& resultFile, std::size_t pageNumber) {
    std::string stem = leafName(resultFile);
    const std::string::size_type dot = stem.rfind('.');
    if (dot != std::string::npos && dot > 0)
        stem.erase(dot);
    return stem + ".page" + std::to_string(pageNumber) + ".png";
}

NQImage NQPictureWriter::render(const NQPageRecord& page, const NQImage& pageImage) {
    NQImage picture(pageImage.nqGetWidth(), pageImage.nqGetHeight(), NQImageHead::NQ_24BIT);
    copyLightened(pageImage, picture);
    const int pen = penWidth(picture.nqGetWidth(), picture.nqGetHeight());
    for (const NQRegionRecord& region : page.gt)
        if (region.outcome == NQOutcome::Missed)
            drawOutlines(picture, region, pen);
    for (const NQRegionRecord& region : page.result)
        drawOutlines(picture, region, pen);
    return picture;
}

void NQPictureWriter::pageCompared(const NQFilePair& files, const NQPageRecord& page,
                                   const NQImage& pageImage) {
    const std::string path = dir_ + "/" +
                             (files.outputStem.empty() ? pictureName(files.resultFile, page.number)
                                                       : files.outputStem + ".page" +
                                                             std::to_string(page.number) + ".png");
    try {
        render(page, pageImage).nqSaveImage(path.c_str());
    } catch (const NQException&) {
        throw std::runtime_error("Picture file " + path + " can not be written!!!");
    }
}
