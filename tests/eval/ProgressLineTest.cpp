// The progress line's text and its estimate of the time left.
#include <gtest/gtest.h>

#include <sstream>

#include "eval/NQClassTable.h"
#include "eval/NQProgressLine.h"
#include "eval/NQWexaOptions.h"

namespace {

TEST(ProgressLine, EstimatesTheTimeLeftFromThePairsDoneAndStepsAsideForMessages) {
    double now = 100.0;
    std::ostringstream out;
    NQProgressLine line(out, [&now] { return now; });
    line.runStarted(NQWexaOptions(), 4);
    line.pairStarted(0, 4);
    EXPECT_EQ(out.str(), "\r\033[Kfile 1 of 4, 0:00 elapsed, estimating the time left");
    now = 110.0;  // one pair in 10 s: three more take about 30 s
    line.pairFinished(NQPairRecord());
    out.str("");
    line.pairStarted(1, 4);
    EXPECT_EQ(out.str(), "\r\033[Kfile 2 of 4, 0:10 elapsed, about 0:30 left");
    out.str("");
    line.beforeMessage();
    EXPECT_EQ(out.str(), "\r\033[K");
    now = 185.0;
    line.afterMessage();
    EXPECT_EQ(out.str(), "\r\033[K\r\033[Kfile 2 of 4, 1:25 elapsed, about 4:15 left");
    out.str("");
    line.runFinished(NQClassTable(), 0, true);
    EXPECT_EQ(out.str(), "\r\033[K");
}

}  // namespace
