// Refused command lines: one line on standard output, exit status 0, and no
// report file; and the report of a run that compares no file.
#include <gtest/gtest.h>

#include <boost/filesystem.hpp>

#include "tests/e2e/E2ESupport.h"

namespace {

namespace fs = boost::filesystem;

struct RefusedLine {
    const char* name;
    std::vector<std::string> words;
    std::string out;
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const RefusedLine& line, std::ostream* out) {
    *out << line.name;
}

class RefusedCommandLine : public ::testing::TestWithParam<RefusedLine> {
protected:
    void SetUp() override {
        fs::create_directory(dir.file("gt"));
        fs::create_directory(dir.file("res"));
        nqtest::writeFile(dir.file("page.xml"), "<NQ_DOCUMENT/>");
        nqtest::writeFile(dir.file("classes.txt"), "text");
    }
    nqtest::TempDir dir;
};

TEST_P(RefusedCommandLine, PrintsOneLineAndEndsWithStatusZeroWithoutReport) {
    const RefusedLine& line = GetParam();
    const e2e::Run run = e2e::runWexa(dir.path(), line.words);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, line.out);
    EXPECT_EQ(run.err, "");
    EXPECT_FALSE(fs::exists(dir.file("WEXA-Eval.txt")));
    EXPECT_FALSE(fs::exists(dir.file("out.txt")));
}

const std::string kNeedG = "This program requires \"-g [DIR | FILE]\" option. \n";
const std::string kNeedR = "This program requires \"-r [DIR | FILE]\" option. \n";
const std::string kDefaultOut = "The Evaluation result will be exported to \"WEXA-Eval.txt\".\n";

INSTANTIATE_TEST_SUITE_P(
    EveryMessage, RefusedCommandLine,
    ::testing::Values(
        RefusedLine{"NoOptionAtAll", {}, kNeedG},
        RefusedLine{"UnknownWordsOnly", {"-x", "--verbose"}, kNeedG},
        RefusedLine{"MissingR", {"-g", "gt", "-o", "out.txt"}, kNeedR},
        // The path check happens when -g is met, before the later -az/-naz conflict.
        RefusedLine{"GroundTruthMissingBeforeConflict",
                    {"-g", "nope", "-az", "classes.txt", "-naz", "classes.txt"},
                    "Ground truth path nope is not found!!!\n"},
        RefusedLine{"ResultMissing",
                    {"-g", "gt", "-r", "./nope/"},
                    "Output path ./nope/ is not found!!!\n"},
        RefusedLine{"ImageMissing",
                    {"-g", "gt", "-r", "res", "-i", "pics"},
                    "Image path pics is not found!!!\n"},
        RefusedLine{"MergeFileMissing",
                    {"-g", "gt", "-r", "res", "-m", "merge.txt"},
                    "merge.txt is not found\n"},
        RefusedLine{
            "MergeFileIsADirectory", {"-g", "gt", "-r", "res", "-m", "gt"}, "gt is not found\n"},
        RefusedLine{"AcceptFileMissing",
                    {"-g", "gt", "-r", "res", "-az", "accept.txt"},
                    "accept.txt is not found\n"},
        RefusedLine{"RejectFileMissing",
                    {"-g", "gt", "-r", "res", "-naz", "reject.txt"},
                    "reject.txt is not found\n"},
        RefusedLine{"AcceptWithReject",
                    {"-g", "gt", "-r", "res", "-naz", "classes.txt", "-az", "classes.txt"},
                    "-ac and -nac options can not be used together.\n"},
        // The conflicts are checked before the missing -g.
        RefusedLine{"SegOnlyWithZoneClass",
                    {"-segonly", "-zoneclass"},
                    "-segonly and -zoneclass options can not be used together.\n"},
        RefusedLine{"ZoneClassWithSegOnly",
                    {"-zoneclass", "-r", "res", "-segonly"},
                    "-segonly and -zoneclass options can not be used together.\n"},
        RefusedLine{"PartWithSweep",
                    {"-part", "p.json", "-sweep", "50:90:10"},
                    "-part and -sweep options can not be used together.\n"},
        RefusedLine{"PartWithSplitMerge",
                    {"-splitmerge", "-part", "p.json"},
                    "-part and -splitmerge options can not be used together.\n"},
        RefusedLine{"GroundTruthFileWithoutImagePath",
                    {"-g", "page.xml", "-r", "res", "-o", "out.txt"},
                    "Image path should be provided when Ground truth path is not a directory\n"},
        RefusedLine{"DefaultReportNamedBeforeMissingImagePath",
                    {"-g", "page.xml", "-r", "page.xml"},
                    kDefaultOut + "Image path should be provided when Ground truth path is not a "
                                  "directory\n"},
        RefusedLine{"OptionWithoutValue",
                    {"-g", "gt", "-r", "res", "-t"},
                    "The -t option requires a value.\n"},
        RefusedLine{"VisualDirectoryWithoutParent",
                    {"-g", "gt", "-r", "res", "-v", "no/vis"},
                    "Visual path no/vis can not be created!!!\n"},
        RefusedLine{"PictureDirectoryWithoutParent",
                    {"-g", "gt", "-r", "res", "-vimg", "no/pics"},
                    "Picture path no/pics can not be created!!!\n"},
        RefusedLine{"ThreadsNotAWholeNumber",
                    {"-g", "gt", "-r", "res", "-j", "2x"},
                    "The -j option requires a number of threads from 1 to 64.\n"},
        RefusedLine{"ThreadsBeyondTheLimit",
                    {"-j", "65", "-g", "gt"},
                    "The -j option requires a number of threads from 1 to 64.\n"},
        RefusedLine{"ThreadsZero",
                    {"-g", "gt", "-r", "res", "-j", "0"},
                    "The -j option requires a number of threads from 1 to 64.\n"},
        RefusedLine{"MinScoreNotANumber",
                    {"-g", "gt", "-r", "res", "-minscore", "0.5x"},
                    "The -minscore option requires a number.\n"},
        RefusedLine{"MinScoreNotFinite",
                    {"-minscore", "nan", "-g", "gt"},
                    "The -minscore option requires a number.\n"}),
    [](const ::testing::TestParamInfo<RefusedLine>& info) { return std::string(info.param.name); });

TEST(WexaRun, MixedLayoutWritesHeadEmptySummaryAndEnd) {
    // A ground-truth directory with a result file compares nothing.
    nqtest::TempDir dir;
    fs::create_directory(dir.file("gt"));
    nqtest::writeFile(dir.file("res.xml"), "<NQ_DOCUMENT/>");
    const std::vector<std::string> words{"-g", "gt", "-r", "res.xml", "-detail"};
    const e2e::Run run = e2e::runWexa(dir.path(), words);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, kDefaultOut);
    const std::string expected =
        e2e::reportHead(words) +
        "==========================\n"
        "Result of Individual File\n"
        "==========================\n"
        "\n"
        "[O] : Matched, [-] : Detected, [X] : False Alarm\n"
        "\n"
        "==================\n"
        "Summary of Results\n"
        "==================\n"
        "\n"
        "- Number of Files : 0\n"
        "- Accuracy of Zone Detecting(average) : 0.00%\n"
        "\n"
        "01. Information on Zones\n"
        "========================\n"
        "\n"
        "Label   Class of Zone             Num. in Result     Num. in G-Truth   Accuracy(F1)\n"
        "-----------------------------------------------------------------------------------\n"
        "\n"
        "02. Confusion Matrix\n"
        "====================\n"
        "\n"
        " Result\\GT  unmatch\n"
        "-------------------\n"
        "   unmatch 0( 0.0%)*\n"
        "\n"
        "03. Result Table\n"
        "================\n"
        "\n"
        "Label      GT    Result   Correct  Precsion    Recall   F-Score   Missing  FalseAlarm\n"
        "-------------------------------------------------------------------------------------\n" +
        e2e::reportEnd();
    EXPECT_EQ(e2e::maskTimes(nqtest::readFile(dir.file("WEXA-Eval.txt"))), expected);
}

}  // namespace
