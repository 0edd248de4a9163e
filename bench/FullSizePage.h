#ifndef NQ_BENCH_FULLSIZEPAGE_H
#define NQ_BENCH_FULLSIZEPAGE_H

// One page comparison at full scan size, shared by the evaluation benchmark
// and its test: an A4 page at 300 dpi (2480 x 3508) of text-like lines in a
// 10 x 10 grid of cells, with one zone per cell on each side, a third of them
// polygons of 400 points. The result side is shifted by a few pixels and calls
// every ninth zone a figure.
#include <cmath>
#include <string>

#include "docmodel/NQPage.h"
#include "docmodel/NQZone.h"
#include "image/NQImage.h"

namespace fullsizepage {

constexpr int kWidth = 2480, kHeight = 3508, kColumns = 10, kRows = 10;
constexpr int kCellW = kWidth / kColumns, kCellH = kHeight / kRows;
constexpr int kZones = kColumns * kRows;

// Text lines of 12 rows every 30 rows inside each cell.
inline NQImage scan() {
    NQImage image(kWidth, kHeight, NQImageHead::NQ_1BIT);
    unsigned char* data = image.nqGetImageData();
    const int rowSize = image.nqGetRowSize();
    for (int cy = 0; cy < kRows; ++cy)
        for (int cx = 0; cx < kColumns; ++cx)
            for (int y = cy * kCellH + 30; y < (cy + 1) * kCellH - 30; ++y) {
                if ((y % 30) >= 12)
                    continue;
                const int lineEnd = (cx + 1) * kCellW - 30 - ((y / 30) % 4) * 25;
                for (int x = cx * kCellW + 30; x < lineEnd; ++x)
                    if ((x / 7 + y / 3) % 5 != 0)
                        data[y * rowSize + x / 8] &= ~(0x80 >> (x % 8));
            }
    return image;
}

// A polygon text of `n` points on an ellipse inside the rectangle.
inline std::string ellipse(int x, int y, int w, int h, int n) {
    std::string text;
    for (int k = 0; k < n; ++k) {
        const double a = 2 * M_PI * k / n;
        const int px = x + static_cast<int>(w / 2.0 + (w / 2.0 - 1) * std::cos(a));
        const int py = y + static_cast<int>(h / 2.0 + (h / 2.0 - 1) * std::sin(a));
        text += "(" + std::to_string(px) + "," + std::to_string(py) + ");";
    }
    return text;
}

// One zone per cell, moved by `shift` pixels; the result side names every
// ninth zone a figure.
inline void fillPage(NQPage& page, int shift, bool result) {
    for (int n = 0; n < kZones; ++n) {
        const int x = (n % kColumns) * kCellW + 20 + shift,
                  y = (n / kColumns) * kCellH + 20 + shift;
        const int w = kCellW - 40, h = kCellH - 40;
        auto* zone = new NQZone(std::to_string(n), x, y, w, h);
        zone->nqSetTag("qola_type", (result && n % 9 == 0) ? "figure" : "text");
        if (n % 3 == 0)
            zone->nqSetTag("polygon", ellipse(x, y, w, h, 400));
        page.nqAppendZone(zone);
    }
}

}  // namespace fullsizepage

#endif
