// Binarisation: hand-worked local thresholds, the running sums against the
// plain per-window statistics, a scanned-like page, and the colour methods.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <tuple>
#include <vector>

#include "analysis/NQBitsPerPixelConverter.h"
#include "analysis/NQLocalBinarization.h"
#include "image/NQImage.h"
#include "image/NQLogger.h"
#include "support/TestSupport.h"

using nqtest::throwsNQ;
using Converter = NQBitsPerPixelConverter;

namespace {

const double kUsualK[] = {-0.2, -0.5, -0.5, -0.2};  // by method

NQImage flatGrey(int width, int height, int value) {
    NQImage image;
    image.nqSetImageHead(width, height, 8, 300, 300, NQImageHead::NQ_RES_INCH);
    image.nqAllocImageData();
    image.nqSetAllPixels(static_cast<unsigned char>(value));
    return image;
}

void fill(NQImage& image, int x0, int y0, int x1, int y1, int value) {
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x)
            image.nqGetImageData()[y * image.nqGetWidth() + x] = value;
}

bool black(const NQImage& binary, int x, int y) {
    return binary.nqGetPixelValue(x, y) == 0;
}

// Pixels whose colour differs from expected(x, y): 1 black, 0 white, -1 either.
template <typename Expected>
int mismatches(const NQImage& binary, Expected expected) {
    int wrong = 0;
    for (int y = 0; y < binary.nqGetHeight(); ++y)
        for (int x = 0; x < binary.nqGetWidth(); ++x)
            wrong += expected(x, y) >= 0 && int(black(binary, x, y)) != expected(x, y);
    return wrong;
}

nqlocal::ThresholdGrid grid(
    const NQImage& grey, int method, bool detect,
    nqlocal::WindowStatistics how = nqlocal::WindowStatistics::RunningSums) {
    return nqlocal::thresholdGrid(grey, NQBinarizeType(method), kUsualK[method], detect, how);
}

// A 12 x 12 page has tiles of 2 trunc(ln 144) = 8 pixels and windows
// reaching 2 pixels further. A 4 x 4 block of 40 on 200 puts 16 dark pixels
// in the 10 x 10 window of tile (0, 0): mean 174.4 (m = 174), sdev 58.95.
// Niblack: 174 - 0.2 x 58.95 = 162.2; Sauvola: (1 - 0.5 (1 - 58.95 / 128)) x 174
// = 127.07; Wolf/Jolion with M = 40 and R = 69.83 (the tile's own sdev):
// 0.5 x 174 + 0.5 x 40 + 0.5 x 134 x 58.95 / 69.83 = 163.56. The modified
// method keeps Niblack's value there and lowers the flat tiles to the page's
// background estimate 182.2 - 2 x 17.9 = 146. Flat tiles: m = 200, sdev 0.
TEST(LocalBinarization, HandWorkedThresholdsOfADarkBlock) {
    NQImage page = flatGrey(12, 12, 200);
    fill(page, 0, 0, 4, 4, 40);
    const std::vector<int> expected[] = {
        {162, 200, 200, 200}, {127, 100, 100, 100}, {163, 120, 120, 120}, {162, 146, 146, 146}};
    for (int method = 0; method < 4; ++method) {
        SCOPED_TRACE(method);
        EXPECT_EQ(grid(page, method, false).raw, expected[method]);
        const NQImage result = Converter::nqDownscaleGray2Binary_niblack(
            page, NQBinarizeType(method), kUsualK[method], false);
        EXPECT_EQ(mismatches(result, [](int x, int y) { return int(x < 4 && y < 4); }), 0);
    }
}

// Light text (2 x 2 of 220) on a dark page (30). Tile (0, 0) has a dark mean
// and a large third moment, so it is inverted: its window counts 255 - v
// (mean 217.4, sdev 37.42), Niblack gives 209.5, mirrored 45.5, which keeps
// the ground black and the text white. Without detection the threshold is
// 37 - 7.48 = 29.5 and the whole tile turns white.
TEST(LocalBinarization, InvertedTileIsThresholdedOnItsInvertedStatistics) {
    NQImage page = flatGrey(12, 12, 30);
    fill(page, 2, 2, 4, 4, 220);
    EXPECT_EQ(grid(page, 0, false).raw, (std::vector<int>{29, 30, 30, 30}));
    EXPECT_EQ(grid(page, 0, true).raw, (std::vector<int>{45, 30, 30, 30}));
    const NQImage result = Converter::nqDownscaleGray2Binary_niblack(page, NQ_NIBLACK, -0.2, true);
    EXPECT_FALSE(black(result, 2, 2));
    EXPECT_TRUE(black(result, 0, 0));
    nqtest::captureStdout([&] {  // the deprecated form refuses unknown old names
        EXPECT_FALSE(Converter::nqDownscaleGray2Binary_niblack(
                         page, static_cast<NQ_BINARIZE_TYPE>(7), -0.2, true)
                         .nqHasImageData());
    });
}

TEST(LocalBinarization, FlatPagesComeOutWhiteAndLogTheirWindows) {
    NQLogger* logger = NQLogger::nqGetInstance();
    logger->nqSetLogSeverity(NQ_INFO);
    const std::string log = nqtest::captureStdout([] {
        Converter::nqDownscaleGray2Binary_niblack(flatGrey(1000, 1000, 90), NQ_SAUVOLA, -0.5, true);
    });
    logger->nqSetLogSeverity(NQ_ERROR);
    EXPECT_NE(log.find("Thresh window: 26 x 26. Stats window: 38 x 38.\n"
                       "Running Sauvola's method with parameter k=-0.50.\n"),
              std::string::npos);
    for (int method = 0; method < 4; ++method)
        for (int value : {0, 180, 255})
            EXPECT_EQ(mismatches(Converter::nqDownscaleGray2Binary_niblack(flatGrey(30, 20, value),
                                                                           NQBinarizeType(method),
                                                                           kUsualK[method], true),
                                 [](int, int) { return 0; }),
                      0)
                << method;
}

class RunningSums : public ::testing::TestWithParam<std::tuple<int, int>> {};

TEST_P(RunningSums, GiveTheThresholdsOfPerWindowSubImages) {
    const auto [width, height] = GetParam();
    NQImage page = flatGrey(width, height, 0);
    unsigned state = 17u * width + height;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            state = state * 1103515245u + 12345u;
            // Noise over a ground that is dark on the left and light on the right.
            const int ground = 40 + 180 * x / width;
            page.nqGetImageData()[y * width + x] = (ground + int((state >> 16) % 90)) % 256;
        }
    for (int method = 0; method < 4; ++method)
        for (bool detect : {false, true}) {
            const auto fast = grid(page, method, detect);
            const auto plain = grid(page, method, detect, nqlocal::WindowStatistics::SubImages);
            EXPECT_EQ(fast.raw, plain.raw) << method << detect;
            EXPECT_EQ(fast.smoothed, plain.smoothed) << method << detect;
        }
}

// Tiles of 1, 4, 6, 10, 12, 14 and 16 pixels, with clipped last tiles.
INSTANTIATE_TEST_SUITE_P(WindowSizes, RunningSums,
                         ::testing::Values(std::make_tuple(1, 1), std::make_tuple(4, 2),
                                           std::make_tuple(7, 5), std::make_tuple(1, 150),
                                           std::make_tuple(23, 22), std::make_tuple(40, 31),
                                           std::make_tuple(61, 50)));

// Lines of 3-pixel stems with bars in ink 30 on paper whose brightness drifts
// from 195 to 235, softened by a 3 x 3 average as a scanner does.
struct ScannedPage {
    NQImage grey;
    std::vector<char> ink;
};

ScannedPage scannedPage(int width, int height) {
    ScannedPage page{flatGrey(width, height, 0), std::vector<char>(width * height, 0)};
    for (int base = 24, n = 0; base < height - 12; base += 18)
        for (int x = 12; x < width - 16; x += (++n % 5 == 0) ? 17 : 9)
            for (int y = base - (n % 3 == 0 ? 13 : 9); y <= base; ++y)
                for (int dx = 0; dx < (y == base - 4 && n % 2 ? 6 : 3); ++dx)
                    page.ink[y * width + x + dx] = 1;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            int sum = 0, count = 0;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx) {
                    const int xx = x + dx, yy = y + dy;
                    if (xx < 0 || yy < 0 || xx >= width || yy >= height)
                        continue;
                    sum += page.ink[yy * width + xx] ? 30 : 195 + 40 * xx / width;
                    ++count;
                }
            page.grey.nqGetImageData()[y * width + x] = static_cast<unsigned char>(sum / count);
        }
    return page;
}

TEST(LocalBinarization, ScannedPageBinarisesIntoCleanTextWithEveryMethod) {
    const int width = 240, height = 180;
    const ScannedPage page = scannedPage(width, height);
    // The inside of every stroke must be black, paper two pixels away from
    // ink white; stroke edges may go either way.
    auto expected = [&](int x, int y) {
        int around = 0, near = 0;
        for (int yy = std::max(0, y - 2); yy <= std::min(height - 1, y + 2); ++yy)
            for (int xx = std::max(0, x - 2); xx <= std::min(width - 1, x + 2); ++xx) {
                near += page.ink[yy * width + xx];
                around +=
                    std::abs(xx - x) <= 1 && std::abs(yy - y) <= 1 && page.ink[yy * width + xx];
            }
        return around == 9 ? 1 : near == 0 ? 0 : -1;
    };
    for (int method = 0; method < 4; ++method)
        for (bool detect : {false, true})
            EXPECT_EQ(mismatches(Converter::nqDownscaleGray2Binary_niblack(
                                     page.grey, NQBinarizeType(method), kUsualK[method], detect),
                                 expected),
                      0)
                << method << detect;
}

// Light paper (220) with a noisy grey quadrant (144 to 156). The window of
// the last tile lies in the quadrant; it is probable background there, so its
// threshold is min(page background estimate, m + 4 k sdev): the estimate (141)
// for k = -0.2 and m - 3.6 sdev for k = -0.9, also when a call with another k
// came first.
TEST(LocalBinarization, EachCallUsesItsOwnK) {
    NQImage page = flatGrey(48, 48, 220);
    unsigned state = 1;
    for (int y = 24; y < 48; ++y)
        for (int x = 24; x < 48; ++x) {
            state = state * 1103515245u + 12345u;
            page.nqGetImageData()[y * 48 + x] = 150 + int((state >> 16) % 13) - 6;
        }
    const NQImageStats window = page.nqSubImage(39, 39, 9, 9).nqGetStats();
    auto lastTile = [&](double k) {
        return nqlocal::thresholdGrid(page, NQ_MODIFIED_NIBLACK, k, false,
                                      nqlocal::WindowStatistics::RunningSums)
            .raw.back();
    };
    EXPECT_EQ(lastTile(-0.2), 141);
    EXPECT_EQ(lastTile(-0.9), int(std::floor(window.mean[0]) - 3.6 * window.stdDev[0]));
}

TEST(ColourBinarization, ChannelAndPercentageThresholds) {
    NQImage colour(241, 1, NQImageHead::NQ_24BIT);
    colour.nqSetColorModel(NQ_RGBCOLOR);
    colour.nqSetPixel(0, 0, 100, 100, 100);
    colour.nqSetPixel(1, 0, 100, 100, 99);
    const NQImage fixed = Converter::nqDownscaleColor2Binary_threshold(colour, 100, 100, 100);
    EXPECT_FALSE(black(fixed, 0, 0));
    EXPECT_TRUE(black(fixed, 1, 0));

    // Red from 10 to 250 gives a red threshold of 130 at 50 %, whatever the
    // order of the pixels.
    for (bool descending : {false, true}) {
        for (int x = 0; x < 241; ++x)
            colour.nqSetPixel(x, 0, descending ? 250 - x : 10 + x, 0, 0);
        const NQImage half = Converter::nqDownscalePercentThresholdBinarization(colour, 50);
        EXPECT_FALSE(black(half, 120, 0));                    // red 130
        EXPECT_TRUE(black(half, descending ? 121 : 119, 0));  // red 129
    }
    // A threshold above 255 lets nothing through instead of failing.
    colour.nqSetAllPixels(static_cast<unsigned char>(250));
    EXPECT_TRUE(black(Converter::nqDownscaleColor2Binary_percentThreshold(colour, 1.0), 5, 0));
    EXPECT_TRUE(throwsNQ([&] { Converter::nqDownscalePercentThresholdBinarization(colour, 101); },
                         NQ_INVALID_INPUT, "Percentage must be from 0 to 100 !!"));
    EXPECT_TRUE(
        throwsNQ([&] { Converter::nqDownscaleColor2Binary_threshold(flatGrey(2, 2, 0), 1, 1, 1); },
                 NQ_INVALID_INPUT, "A Color image is expected in percentThresholdBinarization!!"));
}

TEST(ColourBinarization, YCrCbKeepsDarkPixelsAndAWhiteBorder) {
    NQImage page(20, 12, NQImageHead::NQ_24BIT);
    page.nqSetColorModel(NQ_RGBCOLOR);
    for (int x = 6; x < 12; ++x)
        page.nqSetPixel(x, 6, 20, 20, 90);
    // Black under the line, white (border included) three pixels away.
    EXPECT_EQ(mismatches(Converter::nqDownscaleYCrCbBinarization(page),
                         [](int x, int y) {
                             return y == 6 && x >= 6 && x < 12          ? 1
                                    : y > 3 && y < 9 && x > 3 && x < 14 ? -1
                                                                        : 0;
                         }),
              0);
    EXPECT_TRUE(throwsNQ([] { Converter::nqDownscaleYCrCbBinarization(flatGrey(4, 4, 9)); },
                         NQ_INVALID_INPUT,
                         "A Color image is expected in nqDownscaleYCrCbBinarization!!"));
}

}  // namespace
