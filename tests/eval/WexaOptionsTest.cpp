// Reading of the command line into the evaluator's configuration. The
// messages of refused command lines are checked on the built binary (e2e).
#include <gtest/gtest.h>

#include <boost/filesystem.hpp>

#include "tests/eval/EvalSupport.h"

namespace {

using evaltest::makeWexa;

class WexaOptions : public ::testing::Test {
protected:
    void SetUp() override {
        boost::filesystem::create_directory(dir.file("gt"));
        boost::filesystem::create_directory(dir.file("res"));
        nqtest::writeFile(dir.file("gt.xml"), "<NQ_DOCUMENT/>");
        nqtest::writeFile(dir.file("res.xml"), "<NQ_DOCUMENT/>");
    }
    std::string path(const std::string& name) const { return dir.file(name); }

    nqtest::TempDir dir;
};

TEST_F(WexaOptions, DirectoriesGiveDefaultsAndTheImagePathOfTheGroundTruth) {
    std::string out;
    auto wexa = makeWexa({"-g", path("gt"), "-r", path("res")}, &out);
    ASSERT_NE(wexa, nullptr);
    EXPECT_EQ(out, "The Evaluation result will be exported to \"WEXA-Eval.txt\".\n");
    EXPECT_EQ(wexa->getOutputPath(), "WEXA-Eval.txt");
    EXPECT_EQ(wexa->getImagePath(), path("gt"));
    EXPECT_TRUE(wexa->isDirToDir());
    EXPECT_FALSE(wexa->isFileToFile() || wexa->isDirToFile() || wexa->isFileToDir());
    EXPECT_DOUBLE_EQ(wexa->getMatchThreshold(), 80.0);
    EXPECT_DOUBLE_EQ(wexa->getMergeThreshold(), 80.0);
    EXPECT_FALSE(wexa->isThresholdGiven());
    EXPECT_FALSE(wexa->isDetailMode() || wexa->isVisualMode() || wexa->isSegOnlyMode() ||
                 wexa->isZoneClassMode() || wexa->isAcceptMode() || wexa->isRejectMode() ||
                 wexa->isLineIdMode() || wexa->isMergeMode() || wexa->isRleMode());
    EXPECT_EQ(wexa->getCommandLine(), "wexa -g " + path("gt") + " -r " + path("res") + " ");
    EXPECT_EQ(wexa->getOptions().threads, 1u);
    EXPECT_EQ(makeWexa({"-g", path("gt"), "-r", path("res"), "-j", "64"})->getOptions().threads,
              64u);
}

TEST_F(WexaOptions, PageImageSuffixAndLeastScoreAreKeptAsGiven) {
    const auto plain = makeWexa({"-g", path("gt"), "-r", path("res")});
    EXPECT_EQ(plain->getOptions().pageImageSuffix, "");
    EXPECT_FALSE(plain->getOptions().minScoreGiven);
    const auto given =
        makeWexa({"-g", path("gt"), "-r", path("res"), "-pageimg", "_B", "-minscore", "-0.25"});
    EXPECT_EQ(given->getOptions().pageImageSuffix, "_B");
    EXPECT_TRUE(given->getOptions().minScoreGiven);
    EXPECT_DOUBLE_EQ(given->getOptions().minScore, -0.25);
}

TEST_F(WexaOptions, PathsAreNormalisedLexicallyAndStayRelative) {
    auto wexa = makeWexa({"-g", path("gt") + "/../gt", "-r", path("res") + "//", "-o",
                          "reports/./run.txt", "-i", path("res") + "/../gt"});
    ASSERT_NE(wexa, nullptr);
    EXPECT_EQ(wexa->getGtPath(), path("gt"));
    // A trailing separator is kept as "/." by the path library.
    EXPECT_EQ(wexa->getResultPath(), path("res") + "/.");
    EXPECT_EQ(wexa->getOutputPath(), "reports/run.txt");
    EXPECT_EQ(wexa->getImagePath(), path("gt"));
}

TEST_F(WexaOptions, MergeFileGivesThresholdThenClassList) {
    nqtest::writeFile(path("merge.txt"), "85\ntext:paragraph  text:heading\n\tcaption\n");
    nqtest::writeFile(path("only.txt"), "90");
    nqtest::writeFile(path("empty.txt"), "");

    auto full = makeWexa({"-g", path("gt"), "-r", path("res"), "-o", "x", "-m", path("merge.txt")});
    ASSERT_NE(full, nullptr);
    EXPECT_TRUE(full->isMergeMode());
    EXPECT_DOUBLE_EQ(full->getMergeThreshold(), 85.0);
    EXPECT_EQ(full->getMergeList(),
              (std::vector<std::string>{"text:paragraph", "text:heading", "caption"}));

    auto only = makeWexa({"-g", path("gt"), "-r", path("res"), "-o", "x", "-m", path("only.txt")});
    ASSERT_NE(only, nullptr);
    EXPECT_DOUBLE_EQ(only->getMergeThreshold(), 90.0);
    EXPECT_TRUE(only->getMergeList().empty());

    // No first word: the threshold reads as 0, not as the default.
    auto empty =
        makeWexa({"-g", path("gt"), "-r", path("res"), "-o", "x", "-m", path("empty.txt")});
    ASSERT_NE(empty, nullptr);
    EXPECT_DOUBLE_EQ(empty->getMergeThreshold(), 0.0);
}

TEST_F(WexaOptions, ClassListsCollectEveryWordAndSegOnlyAcceptsZone) {
    nqtest::writeFile(path("accept.txt"), "text figure\ntable");
    auto accept = makeWexa(
        {"-g", path("gt"), "-r", path("res"), "-o", "x", "-az", path("accept.txt"), "-segonly"});
    ASSERT_NE(accept, nullptr);
    EXPECT_TRUE(accept->isAcceptMode());
    EXPECT_TRUE(accept->isSegOnlyMode());
    EXPECT_EQ(accept->getAcceptList(),
              (std::vector<std::string>{"text", "figure", "table", "zone"}));

    auto reject =
        makeWexa({"-g", path("gt"), "-r", path("res"), "-o", "x", "-naz", path("accept.txt")});
    ASSERT_NE(reject, nullptr);
    EXPECT_TRUE(reject->isRejectMode());
    EXPECT_FALSE(reject->isAcceptMode());
    EXPECT_EQ(reject->getRejectList(), (std::vector<std::string>{"text", "figure", "table"}));
}

TEST_F(WexaOptions, AValueThatIsAnOptionNameAlsoActsAsThatOption) {
    auto wexa = makeWexa({"-g", path("gt"), "-r", path("res"), "-o", "-detail", "-lid", "-rle",
                          "-zoneclass", "unknown-word", "-t", "high"});
    ASSERT_NE(wexa, nullptr);
    EXPECT_EQ(wexa->getOutputPath(), "-detail");
    EXPECT_TRUE(wexa->isDetailMode());
    EXPECT_TRUE(wexa->isLineIdMode());
    EXPECT_TRUE(wexa->isRleMode());
    EXPECT_TRUE(wexa->isZoneClassMode());
    // A threshold that is no number reads as 0.
    EXPECT_DOUBLE_EQ(wexa->getMatchThreshold(), 0.0);
    EXPECT_TRUE(wexa->isThresholdGiven());
}

TEST_F(WexaOptions, VisualDirectoryIsCreatedOneLevelDeep) {
    const std::string visual = path("vis");
    auto wexa = makeWexa({"-g", path("gt"), "-r", path("res"), "-o", "x", "-v", visual});
    ASSERT_NE(wexa, nullptr);
    EXPECT_TRUE(wexa->isVisualMode());
    EXPECT_EQ(wexa->getVisualPath(), visual);
    EXPECT_TRUE(boost::filesystem::is_directory(visual));

    std::string out;
    auto deep =
        makeWexa({"-g", path("gt"), "-r", path("res"), "-o", "x", "-v", path("missing/vis")}, &out);
    EXPECT_EQ(deep, nullptr);
    EXPECT_EQ(out, "Visual path " + path("missing/vis") + " can not be created!!!\n");
    EXPECT_FALSE(boost::filesystem::exists(path("missing")));
}

}  // namespace
