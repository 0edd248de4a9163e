// One page comparison at full scan size: an A4 page at 300 dpi (2480 x 3508)
// with 100 zones on each side, a third of them polygons. Its cost is shown by
// bench/EvalBench.cpp, not asserted here.
#include <gtest/gtest.h>

#include <sstream>

#include <boost/filesystem.hpp>

#include "bench/FullSizePage.h"
#include "docmodel/NQPage.h"
#include "docmodel/NQZone.h"
#include "tests/eval/EvalSupport.h"

namespace {

using fullsizepage::fillPage;
using fullsizepage::scan;

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
    EXPECT_EQ(paired, static_cast<std::uint32_t>(fullsizepage::kZones));
}

}  // namespace
