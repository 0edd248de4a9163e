// The class table, the statistics taken from the confusion matrix and the
// summary tables, with expected text worked out by hand from the counts.
#include <gtest/gtest.h>

#include <sstream>

#include <boost/filesystem.hpp>

#include "tests/eval/EvalSupport.h"

namespace {

class WexaReport : public ::testing::Test {
protected:
    std::unique_ptr<NQWexa> make(std::vector<std::string> extra = {}) {
        boost::filesystem::create_directory(dir.file("gt"));
        boost::filesystem::create_directory(dir.file("res"));
        std::vector<std::string> words{"-g", dir.file("gt"), "-r", dir.file("res"), "-o",
                                       dir.file("out.txt")};
        words.insert(words.end(), extra.begin(), extra.end());
        return evaltest::makeWexa(words);
    }
    static void count(NQWexa& wexa, const std::string& result, const std::string& gt, int n) {
        for (int i = 0; i < n; ++i) wexa.countPair(result, gt);
    }
    static std::string summaryOf(const NQWexa& wexa) {
        std::ostringstream out;
        wexa.summary(out);
        return out.str();
    }

    nqtest::TempDir dir;
};

TEST_F(WexaReport, AddTypeGrowsTheMatrixAndKeepsCounts) {
    auto wexa = make();
    wexa->addType("unmatch");
    wexa->addType("text");
    wexa->countPair("text", "text");
    wexa->countPair("text", "unmatch");
    wexa->addType("figure");
    wexa->addType("text");  // known names change nothing
    EXPECT_EQ(wexa->getTypeCount(), 3u);
    EXPECT_EQ(wexa->getTypeNames(), (std::vector<std::string>{"unmatch", "text", "figure"}));
    EXPECT_EQ(wexa->getConfCount(1, 1), 1u);
    EXPECT_EQ(wexa->getConfCount(1, 0), 1u);
    for (std::size_t k = 0; k < 3; ++k) {
        EXPECT_EQ(wexa->getConfCount(2, k), 0u);
        EXPECT_EQ(wexa->getConfCount(k, 2), 0u);
    }
    // Unregistered classes are not counted.
    wexa->countPair("table", "text");
    EXPECT_EQ(wexa->getConfCount(1, 1), 1u);
}

TEST_F(WexaReport, StatisticsOfAClassWithoutGroundTruth) {
    auto wexa = make();
    wexa->addType("unmatch");
    wexa->addType("noise");
    count(*wexa, "noise", "unmatch", 3);
    EXPECT_DOUBLE_EQ(wexa->getPreciZone("noise"), 0.0);
    EXPECT_DOUBLE_EQ(wexa->getRecallZone("noise"), 0.0);
    EXPECT_DOUBLE_EQ(NQWexa::getFScore(0.0, 0.0), 0.0);
    EXPECT_EQ(wexa->getMissZone("noise"), 0u);
    EXPECT_DOUBLE_EQ(wexa->getMissZoneRate("noise"), 0.0);
    EXPECT_EQ(wexa->getFalseZone("noise"), 3u);
    EXPECT_DOUBLE_EQ(wexa->getFalseZoneRate("noise"), 100.0);
    EXPECT_DOUBLE_EQ(wexa->getPreciZone("never-registered"), 0.0);
}

TEST_F(WexaReport, SummaryOfMissesFalseAlarmsAndConfusions) {
    auto wexa = make();
    for (const char* name : {"unmatch", "text", "figure"}) wexa->addType(name);
    count(*wexa, "text", "text", 3);
    count(*wexa, "text", "unmatch", 1);    // false alarm
    count(*wexa, "figure", "text", 1);     // confusion
    count(*wexa, "figure", "figure", 1);
    count(*wexa, "unmatch", "figure", 1);  // miss
    // text: 4 in result, 4 in ground truth, 3 correct: 75 % everywhere, 25 % missed and false.
    // figure: 2 and 2, 1 correct: 50 %.
    const std::string expected =
        "==================\n"
        "Summary of Results\n"
        "==================\n"
        "\n"
        "- Number of Files : 0\n"
        "- Accuracy of Zone Detecting(average) : 62.50%\n"
        "\n"
        "01. Information on Zones\n"
        "========================\n"
        "\n"
        "Label   Class of Zone             Num. in Result     Num. in G-Truth   Accuracy(F1)\n"
        "-----------------------------------------------------------------------------------\n"
        "1       text                                   4                   4         75.00%\n"
        "2       figure                                 2                   2         50.00%\n"
        "\n"
        "02. Confusion Matrix\n"
        "====================\n"
        "\n"
        " Result\\GT  unmatch         1         2\n"
        "---------------------------------------\n"
        "   unmatch 0( 0.0%)* 0( 0.0%)  1(50.0%) \n"
        "         1 1(25.0%)  3(75.0%)* 0( 0.0%) \n"
        "         2 0( 0.0%)  1(50.0%)  1(50.0%)*\n"
        "\n"
        "03. Result Table\n"
        "================\n"
        "\n"
        "Label      GT    Result   Correct  Precsion    Recall   F-Score   Missing  FalseAlarm\n"
        "-------------------------------------------------------------------------------------\n"
        "    1       4         4         3    75.00%    75.00%    75.00%    25.00%      25.00%\n"
        "    2       2         2         1    50.00%    50.00%    50.00%    50.00%      50.00%\n";
    EXPECT_EQ(summaryOf(*wexa), expected);
}

TEST_F(WexaReport, WideCountsWidenTheMatrixAndAFullShareHasNoDecimals) {
    auto wexa = make();
    for (const char* name : {"unmatch", "text"}) wexa->addType(name);
    count(*wexa, "text", "text", 12);
    const std::string summary = summaryOf(*wexa);
    // Largest count 12: three count digits, columns of 11.
    EXPECT_NE(summary.find(" Result\\GT   unmatch          1\n"
                           "-------------------------------\n"
                           "   unmatch  0( 0.0%)*  0( 0.0%) \n"
                           "         1  0( 0.0%)  12( 100%)*\n"),
              std::string::npos)
        << summary;
    EXPECT_NE(summary.find("- Accuracy of Zone Detecting(average) : 100.00%\n"),
              std::string::npos);
}

TEST_F(WexaReport, ColumnWidthFollowsTheLargestCount) {
    auto wexa = make();
    for (const char* name : {"unmatch", "text"}) wexa->addType(name);
    EXPECT_EQ(wexa->calSpace(), 10);
    const std::pair<int, int> steps[] = {{9, 10},      {10, 11},      {999, 12},
                                         {9999, 13},   {99999, 14},   {999999, 15},
                                         {1000000, 18}};
    int counted = 0;
    for (const auto& step : steps) {
        count(*wexa, "text", "text", step.first - counted);
        counted = step.first;
        EXPECT_EQ(wexa->calSpace(), step.second) << "largest count " << step.first;
    }
}

TEST_F(WexaReport, ClassOnlySummaryListsClassZeroWithoutMissingColumns) {
    auto wexa = make({"-zoneclass"});
    ASSERT_NE(wexa, nullptr);
    for (const char* name : {"text", "figure"}) wexa->addType(name);
    count(*wexa, "text", "text", 2);
    count(*wexa, "text", "figure", 1);
    // text: row 3, column 2, precision 66.67, recall 100, F 80; figure: row 0, column 1.
    const std::string expected =
        "==================\n"
        "Summary of Results\n"
        "==================\n"
        "\n"
        "- Number of Files : 0\n"
        "- Accuracy of Zone Matching(average) : 40.00%\n"
        "\n"
        "01. Information on Zones\n"
        "========================\n"
        "\n"
        "Label   Class of Zone             Num. in Result     Num. in G-Truth   Accuracy(F1)\n"
        "-----------------------------------------------------------------------------------\n"
        "0       text                                   3                   2         80.00%\n"
        "1       figure                                 0                   1          0.00%\n"
        "\n"
        "02. Confusion Matrix\n"
        "====================\n"
        "\n"
        " Result\\GT         0         1\n"
        "-----------------------------\n"
        "         0 2(66.7%)* 1(33.3%) \n"
        "         1 0( 0.0%)  0( 0.0%)*\n"
        "\n"
        "03. Result Table\n"
        "================\n"
        "\n"
        "Label      GT    Result   Correct  Precsion    Recall   F-Score\n"
        "-----------------------------------------------------\n"
        "    0       2         3         2    66.67%   100.00%    80.00%\n"
        "    1       1         0         0     0.00%     0.00%     0.00%\n";
    EXPECT_EQ(summaryOf(*wexa), expected);
}

}  // namespace
