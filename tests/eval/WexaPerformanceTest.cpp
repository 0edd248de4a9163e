// One page comparison at full scan size: an A4 page at 300 dpi (2480 x 3508)
// with 100 zones on each side, a third of them polygons. Its cost is shown by
// bench/EvalBench.cpp, not asserted here.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include <boost/filesystem.hpp>

#include "docmodel/NQPage.h"
#include "docmodel/NQZone.h"
#include "tests/eval/EvalSupport.h"

namespace {

constexpr int kWidth = 2480, kHeight = 3508, kColumns = 10, kRows = 10;
constexpr int kCellW = kWidth / kColumns, kCellH = kHeight / kRows;

// Text lines of 12 rows every 30 rows inside each cell.
NQImage scan() {
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
std::string ellipse(int x, int y, int w, int h, int n) {
    std::string text;
    for (int k = 0; k < n; ++k) {
        const double a = 2 * M_PI * k / n;
        const int px = x + static_cast<int>(w / 2.0 + (w / 2.0 - 1) * std::cos(a));
        const int py = y + static_cast<int>(h / 2.0 + (h / 2.0 - 1) * std::sin(a));
        text += "(" + std::to_string(px) + "," + std::to_string(py) + ");";
    }
    return text;
}

void fillPage(NQPage& page, int shift, bool result) {
    for (int cy = 0; cy < kRows; ++cy)
        for (int cx = 0; cx < kColumns; ++cx) {
            const int n = cy * kColumns + cx;
            const int x = cx * kCellW + 20 + shift, y = cy * kCellH + 20 + shift;
            const int w = kCellW - 40, h = kCellH - 40;
            auto* zone = new NQZone(std::to_string(n), x, y, w, h);
            zone->nqSetTag("qola_type", (result && n % 9 == 0) ? "figure" : "text");
            if (n % 3 == 0)
                zone->nqSetTag("polygon", ellipse(x, y, w, h, 400));
            page.nqAppendZone(zone);
        }
}

TEST(WexaPerformance, FullSizePageWithHundredZonesPerSide) {
    nqtest::TempDir dir;
    boost::filesystem::create_directory(dir.file("gt"));
    auto wexa = evaltest::makeWexa(
        {"-g", dir.file("gt"), "-r", dir.file("gt"), "-o", dir.file("out.txt"), "-detail"});
    ASSERT_NE(wexa, nullptr);
    wexa->addType("unmatch");
    const NQImage image = scan();
    NQPage gtPage(image, "p"), resultPage(image, "p");
    fillPage(gtPage, 0, false);
    fillPage(resultPage, 6, true);

    std::ostringstream report;
    wexa->compareLPage(resultPage, gtPage, report);

    // Shifted by 6 pixels, every zone still pairs with its twin.
    std::uint32_t paired = 0;
    for (std::size_t r = 1; r < wexa->getTypeCount(); ++r)
        for (std::size_t c = 1; c < wexa->getTypeCount(); ++c)
            paired += wexa->getConfCount(r, c);
    EXPECT_EQ(paired, 100u);
}

}  // namespace
