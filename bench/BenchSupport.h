#ifndef NQ_BENCH_BENCHSUPPORT_H
#define NQ_BENCH_BENCHSUPPORT_H

#include <algorithm>
#include <chrono>
#include <vector>

#include "image/NQImage.h"

// Timing helpers shared by the benchmark programs.

inline double millisecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

inline double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// A binary page of text-like lines of words, drawn from a fixed seed, at
// 300 dpi: the page the codec benchmarks encode and decode.
inline NQImage drawTextPage(int width, int height) {
    NQImage page;
    page.nqSetImageHead(width, height, 1, 300, 300, NQImageHead::NQ_RES_INCH);
    page.nqAllocImageData();
    unsigned state = 2024;
    auto next = [&state](int range) {
        state = state * 1103515245u + 12345u;
        return static_cast<int>((state >> 16) % static_cast<unsigned>(range));
    };
    unsigned char* data = page.nqGetImageData();
    const int rowSize = page.nqGetRowSize();
    auto black = [&](int x, int y) { data[y * rowSize + x / 8] &= ~(0x80 >> (x % 8)); };
    for (int top = 200; top + 30 < height - 200; top += 42) {
        int x = 180 + next(40);
        while (x < width - 300) {
            const int word = 30 + next(140);
            for (int stroke = x; stroke < x + word; stroke += 5 + next(4)) {
                const int rise = next(3) == 0 ? 8 : 0;
                for (int y = top + 8 - rise; y < top + 26; ++y)
                    for (int dx = 0; dx < 2 + next(2); ++dx)
                        black(stroke + dx, y);
            }
            x += word + 14 + next(10);
        }
    }
    return page;
}

#endif
