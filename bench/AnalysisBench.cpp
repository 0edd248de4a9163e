// Times the image analysis on an A4 page at 300 dpi (2480 x 3508): connected
// components of a binary text page, the transforms of that page and of its
// grey and colour versions, and the filters. The text page is drawn with the
// library's own line shapes: lines of words made of letter-like strokes
// (stems, bars and diagonals). Reports the median of several runs of each.
//
//   nq_analysis_bench [runs]

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "analysis/NQBitsPerPixelConverter.h"
#include "analysis/NQBlur.h"
#include "analysis/NQConnectedComponents.h"
#include "analysis/NQLocalBinarization.h"
#include "analysis/NQNormalize.h"
#include "bench/BenchSupport.h"
#include "docmodel/NQShape.h"
#include "image/NQImage.h"

namespace {

constexpr int kWidth = 2480;
constexpr int kHeight = 3508;

class Random {
public:
    int next(int range) {
        state_ = state_ * 1103515245u + 12345u;
        return static_cast<int>((state_ >> 16) % static_cast<unsigned>(range));
    }

private:
    unsigned state_ = 2024;
};

void stroke(NQImage& page, int x1, int y1, int x2, int y2, int thickness) {
    NQLineShape line(NQPoint(x1, y1), NQPoint(x2, y2));
    line.nqSetLineColor(NQColor(NQColor::NQ_BW_BLACK));
    line.lineThickness = thickness;
    line.nqDrawShape(&page);
}

NQImage drawTextPage() {
    NQImage page;
    page.nqSetImageHead(kWidth, kHeight, 1, 300, 300, NQImageHead::NQ_RES_INCH);
    page.nqAllocImageData();
    Random random;
    for (int base = 260; base < kHeight - 220; base += 44) {
        int x = 200 + random.next(30);
        while (x < kWidth - 260) {
            const int letters = 2 + random.next(8);
            for (int l = 0; l < letters; ++l, x += 17 + random.next(4)) {
                const int top = base - (random.next(4) == 0 ? 30 : 20);
                const int kind = random.next(4);
                stroke(page, x, top, x, base, 3);  // every letter has a stem
                if (kind == 0)
                    stroke(page, x, base - 10, x + 12, base - 10, 2);
                if (kind == 1)
                    stroke(page, x, top, x + 12, base, 2);
                if (kind == 2)
                    stroke(page, x + 12, base - 20, x + 12, base, 3);
                if (kind == 3)
                    stroke(page, x, base - 20, x + 12, base - 20, 2);
            }
            x += 14 + random.next(12);
        }
    }
    return page;
}

// The text page as a scan: dark ink on paper whose brightness drifts across
// the page, with soft stroke edges and a little noise.
NQImage greyScan(const NQImage& text) {
    NQImage grey = NQBitsPerPixelConverter::nqBinary2Gray(text);
    Random random;
    unsigned char* p = grey.nqGetImageData();
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x, ++p) {
            const int paper = 205 + 30 * x / kWidth + 10 * y / kHeight;
            const int value = (*p ? paper : 45) + random.next(9) - 4;
            *p = static_cast<unsigned char>(std::min(255, std::max(0, value)));
        }
    return grey;
}

void report(const char* name, int runs, const std::function<void()>& action) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        action();
        times.push_back(millisecondsSince(start));
    }
    std::printf("  %-44s %9.2f ms\n", name, median(times));
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const NQImage text = drawTextPage();
    const NQImage grey = greyScan(text);
    const NQImage colour = NQBitsPerPixelConverter::nqGray2Color(grey);
    const NQColor none;

    NQConnectedComponents counted;
    counted.nqCreateConnectedComponents(text);
    std::printf("2480 x 3508 text page, %d connected components; median of %d runs\n",
                counted.nqGetNumCCs(), runs);

    std::printf("binary page\n");
    report("connected components", runs, [&] {
        NQConnectedComponents ccs;
        ccs.nqCreateConnectedComponents(text);
    });
    report("connected components + moments + hulls", runs, [&] {
        NQConnectedComponents ccs;
        ccs.setCalMoments(true);
        ccs.setCalConvexHulls(true);
        ccs.nqCreateConnectedComponents(text);
    });
    report("label map", runs, [&] { NQConnectedComponents(counted).nqGetConnectedCCMap(); });
    report("reverse", runs, [&] { text.nqReverseImage(); });
    report("flip columns", runs, [&] { text.nqFlipImage(NQImage::NQ_HORIZONTAL); });
    report("flip rows", runs, [&] { text.nqFlipImage(NQImage::NQ_VERTICAL); });
    report("rotate 90", runs, [&] { text.nqRotateImage(90, none); });
    report("rotate 180", runs, [&] { text.nqRotateImage(180, none); });
    report("rotate 2.5", runs, [&] { text.nqRotateImage(2.5, none); });
    report("resize to half", runs, [&] { text.nqResizeImage(0.5); });
    report("shear 60 columns", runs, [&] { text.nqShearImage(60, NQImage::NQ_HORIZONTAL, none); });
    report("xor with itself", runs, [&] { text.nqXorImage(text, 0, 0); });
    report("centroid", runs, [&] { text.nqCentroid(); });
    report("radius without corners", runs, [&] { text.nqRmax(false); });

    std::printf("grey page\n");
    report("flip columns", runs, [&] { grey.nqFlipImage(NQImage::NQ_HORIZONTAL); });
    report("rotate 270", runs, [&] { grey.nqRotateImage(270, none); });
    report("rotate 2.5", runs, [&] { grey.nqRotateImage(2.5, none); });
    report("resize to half", runs, [&] { grey.nqResizeImage(0.5); });
    report("shear 60 rows", runs, [&] { grey.nqShearImage(60, NQImage::NQ_VERTICAL, none); });
    report("add", runs, [&] { grey.nqAddImage(grey, 0, 0); });
    report("normalise", runs, [&] { NQNormalize::nqNormalizeImage(grey); });
    report("blur", runs, [&] { NQBlur::nqBlur(grey, 1); });

    std::printf("colour page\n");
    report("rotate 90", runs, [&] { colour.nqRotateImage(90, none); });
    report("resize to half", runs, [&] { colour.nqResizeImage(0.5); });
    report("RGB to YCrCb", runs, [&] { colour.nqConvertRGBToYCrCb(); });
    report("RGB to HSV", runs, [&] { colour.nqConvertRGBToHSV(); });
    report("blur", runs, [&] { NQBlur::nqBlur(colour, 1); });

    std::printf("binarisation of the grey page\n");
    const char* methods[] = {"Niblack", "Sauvola", "Wolf/Jolion", "modified Niblack"};
    const double usualK[] = {-0.2, -0.5, -0.5, -0.2};
    for (int method = 0; method < 4; ++method)
        for (bool detect : {false, true}) {
            const std::string name =
                std::string(methods[method]) + (detect ? ", inverted tiles detected" : "");
            report(name.c_str(), runs, [&] {
                NQBitsPerPixelConverter::nqDownscaleGray2Binary_niblack(
                    grey, static_cast<NQBinarizeType>(method), usualK[method], detect);
            });
        }
    // The threshold grids alone, with the two ways of gathering window
    // statistics.
    for (auto statistics :
         {nqlocal::WindowStatistics::RunningSums, nqlocal::WindowStatistics::SubImages})
        for (int method : {0, 3}) {
            const std::string name =
                std::string(methods[method]) + " grid, " +
                (statistics == nqlocal::WindowStatistics::RunningSums ? "running sums"
                                                                      : "windows as sub-images");
            report(name.c_str(), runs, [&] {
                nqlocal::thresholdGrid(grey, static_cast<NQBinarizeType>(method), usualK[method],
                                       true, statistics);
            });
        }
    std::printf("binarisation of the colour page\n");
    report("channel thresholds", runs, [&] {
        NQBitsPerPixelConverter::nqDownscaleColor2Binary_threshold(colour, 128, 128, 128);
    });
    report("percentage thresholds", runs,
           [&] { NQBitsPerPixelConverter::nqDownscalePercentThresholdBinarization(colour, 50); });
    report("YCrCb", runs, [&] { NQBitsPerPixelConverter::nqDownscaleYCrCbBinarization(colour); });
    return 0;
}
