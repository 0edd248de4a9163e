// Reports of whole runs on small pages, with every line worked out by hand.
// Zone rectangles count (width - 1) x (height - 1) pixels from their origin.
#include <gtest/gtest.h>

#include "tests/e2e/E2ESupport.h"
#include "tests/e2e/Fixtures.h"

namespace {

using e2e::Ink;
using e2e::zone;

const char* const kDetailHead =
    "==========================\n"
    "Result of Individual File\n"
    "==========================\n"
    "\n"
    "[O] : Matched, [-] : Detected, [X] : False Alarm\n"
    "\n";

const char* const kSummaryHead =
    "==================\n"
    "Summary of Results\n"
    "==================\n"
    "\n";

const char* const kZonesHead =
    "01. Information on Zones\n"
    "========================\n"
    "\n"
    "Label   Class of Zone             Num. in Result     Num. in G-Truth   Accuracy(F1)\n"
    "-----------------------------------------------------------------------------------\n";

const char* const kMatrixHead =
    "02. Confusion Matrix\n"
    "====================\n"
    "\n";

const char* const kTableHead =
    "03. Result Table\n"
    "================\n"
    "\n"
    "Label      GT    Result   Correct  Precsion    Recall   F-Score   Missing  FalseAlarm\n"
    "-------------------------------------------------------------------------------------\n";

std::string reportOf(const e2e::Workspace& ws, const std::string& name) {
    return e2e::maskTimes(ws.read(name));
}

TEST(Comparison, IdenticalResultScoresFullyWithADiagonalMatrix) {
    // Shows: a result equal to its ground truth pairs every zone at 100 %.
    e2e::Workspace ws;
    e2e::writeTiff(ws.file("images/page.tif"), 200, 100,
                   {{{20, 20, 40, 10}, {100, 20, 40, 10}, {20, 60, 60, 20}}});
    const std::string xml =
        e2e::documentXml("page.tif", 200, 100,
                         {{zone("1", 10, 10, 61, 21, "text"), zone("2", 90, 10, 61, 21, "text"),
                           zone("3", 10, 50, 81, 41, "figure")}});
    ws.write("gt/page.xml", xml);
    ws.write("res/page.xml", xml);
    const std::vector<std::string> words{"-g",     "gt", "-r",         "res",    "-i",
                                         "images", "-o", "report.txt", "-detail"};
    const e2e::Run run = e2e::runWexa(ws.path(), words);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "res/page.xml\n");
    const std::string expected =
        e2e::reportHead(words) + kDetailHead +
        "page.tif\n"
        "========\n"
        "\n"
        "Page ID : 1\n"
        "-------------\n"
        "[O]     1,     text,     1,     text, 100.00%\n"
        "[O]     2,     text,     2,     text, 100.00%\n"
        "[O]     3,   figure,     3,   figure, 100.00%\n"
        "[OVERALL] 3/0/0/3, 100.00%\n"
        "\n" +
        kSummaryHead +
        "- Number of Files : 1\n"
        "- Accuracy of Zone Detecting(average) : 100.00%\n"
        "\n" +
        kZonesHead +
        "1       text                                   2                   2        100.00%\n"
        "2       figure                                 1                   1        100.00%\n"
        "\n" +
        kMatrixHead +
        " Result\\GT  unmatch         1         2\n"
        "---------------------------------------\n"
        "   unmatch 0( 0.0%)* 0( 0.0%)  0( 0.0%) \n"
        "         1 0( 0.0%)  2( 100%)* 0( 0.0%) \n"
        "         2 0( 0.0%)  0( 0.0%)  1( 100%)*\n"
        "\n" +
        kTableHead +
        "    1       2         2         2   100.00%   100.00%   100.00%     0.00%       0.00%\n"
        "    2       1         1         1   100.00%   100.00%   100.00%     0.00%       0.00%\n" +
        e2e::reportEnd();
    EXPECT_EQ(reportOf(ws, "report.txt"), expected);
}

TEST(Comparison, MissesFalseAlarmsAndAConfusionOfOneFilePair) {
    // Shows: a partial pair (88.89 %), a false alarm on white paper, a zone
    // paired with another class and a missed zone, in the file-to-file layout.
    e2e::Workspace ws;
    e2e::writeTiff(ws.file("images/page.tif"), 200, 100,
                   {{{20, 20, 40, 10}, {120, 20, 40, 10}, {20, 60, 40, 20}}});
    ws.write("gt.xml", e2e::documentXml("page.tif", 200, 100,
                                        {{zone("g1", 10, 10, 61, 21, "text"),
                                          zone("g2", 110, 10, 61, 21, "figure"),
                                          zone("g3", 10, 50, 61, 41, "text")}}));
    // r1 holds rows 20..27 of the first block: 320 of g1's 400 pixels.
    ws.write("res.xml", e2e::documentXml("page.tif", 200, 100,
                                         {{zone("r1", 12, 12, 57, 17, "text"),
                                           zone("r2", 110, 60, 61, 31, "text"),
                                           zone("r3", 10, 50, 61, 41, "figure")}}));
    const std::vector<std::string> words{"-g",     "gt.xml",  "-r", "res.xml",   "-i",
                                         "images", "-detail", "-o", "report.txt"};
    const e2e::Run run = e2e::runWexa(ws.path(), words);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "res.xml\n");
    const std::string expected =
        e2e::reportHead(words) + kDetailHead +
        "page.tif\n"
        "========\n"
        "\n"
        "Page ID : 1\n"
        "-------------\n"
        "[O]    r1,     text,    g1,     text, 88.89%\n"
        "[X]    r2,     text\n"
        "[-]    r3,   figure,    g3,     text, 100.00%\n"
        "[OVERALL] 1/1/1/3, 33.33%\n"
        "\n" +
        kSummaryHead +
        "- Number of Files : 1\n"
        "- Accuracy of Zone Detecting(average) : 25.00%\n"
        "\n" +
        kZonesHead +
        "1       text                                   2                   2         50.00%\n"
        "2       figure                                 1                   1          0.00%\n"
        "\n" +
        kMatrixHead +
        " Result\\GT  unmatch         1         2\n"
        "---------------------------------------\n"
        "   unmatch 0( 0.0%)* 0( 0.0%)  1( 100%) \n"
        "         1 1(50.0%)  1(50.0%)* 0( 0.0%) \n"
        "         2 0( 0.0%)  1( 100%)  0( 0.0%)*\n"
        "\n" +
        kTableHead +
        "    1       2         2         1    50.00%    50.00%    50.00%    50.00%      50.00%\n"
        "    2       1         1         0     0.00%     0.00%     0.00%   100.00%     100.00%\n" +
        e2e::reportEnd();
    EXPECT_EQ(reportOf(ws, "report.txt"), expected);
}

TEST(Comparison, ZoneClassComparesClassesOfZonesWithEqualIds) {
    // Shows: -zoneclass pairs by id, reports ids missing from the ground truth
    // on standard output, and writes its own legend, lines and tables.
    e2e::Workspace ws;
    e2e::writeTiff(ws.file("images/page.tif"), 200, 100, {{}});
    ws.write("gt/p.xml", e2e::documentXml("page.tif", 200, 100,
                                          {{zone("1", 10, 10, 21, 21, "text"),
                                            zone("2", 60, 10, 21, 21, "caption")}}));
    ws.write("res/p.xml", e2e::documentXml("page.tif", 200, 100,
                                           {{zone("1", 100, 50, 21, 21, "text"),
                                             zone("2", 10, 10, 21, 21, "figure"),
                                             zone("7", 10, 10, 21, 21, "text")}}));
    const std::vector<std::string> words{"-g",     "gt", "-r",         "res",     "-i",
                                         "images", "-o", "report.txt", "-detail", "-zoneclass"};
    const e2e::Run run = e2e::runWexa(ws.path(), words);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "res/p.xml\nCouldn't find mathcing zone( ID : 7 ) on Ground-truth\n");
    // text: 2 in the result, 1 in the ground truth, 1 correct; figure: 1, 0;
    // caption: 0, 1. F-scores 66.67, 0, 0.
    const std::string expected =
        e2e::reportHead(words) +
        "==========================\n"
        "Result of Individual File\n"
        "==========================\n"
        "\n"
        "[O] : Matched, [X] : Unmatched\n"
        "\n"
        "page.tif\n"
        "========\n"
        "\n"
        "Page ID : 1\n"
        "-------------\n"
        "[O]     1, text\n"
        "[X]     2,  figure, caption\n"
        "[OVERALL] 1/3, 33.33%\n"
        "\n" +
        kSummaryHead +
        "- Number of Files : 1\n"
        "- Accuracy of Zone Matching(average) : 33.33%\n"
        "\n" +
        kZonesHead +
        "0       text                                   1                   1        100.00%\n"
        "1       figure                                 1                   0          0.00%\n"
        "2       caption                                0                   1          0.00%\n"
        "\n" +
        kMatrixHead +
        " Result\\GT         0         1         2\n"
        "---------------------------------------\n"
        "         0 1( 100%)* 0( 0.0%)  0( 0.0%) \n"
        "         1 0( 0.0%)  0( 0.0%)* 1( 100%) \n"
        "         2 0( 0.0%)  0( 0.0%)  0( 0.0%)*\n"
        "\n"
        "03. Result Table\n"
        "================\n"
        "\n"
        "Label      GT    Result   Correct  Precsion    Recall   F-Score\n"
        "-----------------------------------------------------\n"
        "    0       1         1         1   100.00%   100.00%   100.00%\n"
        "    1       0         1         0     0.00%     0.00%     0.00%\n"
        "    2       1         0         0     0.00%     0.00%     0.00%\n" +
        e2e::reportEnd();
    EXPECT_EQ(reportOf(ws, "report.txt"), expected);
}

// One page per case; the report must hold every fragment.
struct DetailCase {
    const char* name;
    std::vector<Ink> ink;
    std::vector<e2e::Zone> gt, result;
    std::vector<std::string> words;  // after -g, -r, -i, -o and -detail
    std::vector<std::pair<std::string, std::string>> files;
    std::vector<std::string> fragments;
};

void PrintTo(const DetailCase& c, std::ostream* out) {
    *out << c.name;
}

class DetailLines : public ::testing::TestWithParam<DetailCase> {};

TEST_P(DetailLines, ReportHoldsTheWorkedOutLines) {
    const DetailCase& c = GetParam();
    e2e::Workspace ws;
    e2e::writeTiff(ws.file("images/page.tif"), 200, 100, {c.ink});
    ws.write("gt/p.xml", e2e::documentXml("page.tif", 200, 100, {c.gt}));
    ws.write("res/p.xml", e2e::documentXml("page.tif", 200, 100, {c.result}));
    for (const auto& file : c.files)
        ws.write(file.first, file.second);
    std::vector<std::string> words{"-g",     "gt", "-r",         "res",    "-i",
                                   "images", "-o", "report.txt", "-detail"};
    words.insert(words.end(), c.words.begin(), c.words.end());
    const e2e::Run run = e2e::runWexa(ws.path(), words);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "res/p.xml\n");
    const std::string report = ws.read("report.txt");
    for (const std::string& fragment : c.fragments)
        EXPECT_NE(report.find(fragment), std::string::npos) << fragment << "\nnot in\n" << report;
}

// Two black blocks of 300 pixels, g1 and g2 around them, r1 around both.
const std::vector<Ink> kTwoBlocks{{15, 15, 30, 10}, {65, 15, 30, 10}};
// Two text lines inside g1 and one inside g2, each found on its own.
const std::vector<Ink> kLines{{15, 15, 30, 4}, {15, 25, 30, 4}, {110, 15, 30, 4}};
const std::vector<e2e::Zone> kLinesGt{zone("g1", 10, 10, 41, 31, "text"),
                                      zone("g2", 100, 10, 51, 31, "text")};
const std::vector<e2e::Zone> kLinesResult{zone("r1", 12, 12, 36, 9, "text"),
                                          zone("r2", 12, 22, 36, 9, "text"),
                                          zone("r3", 105, 12, 40, 9, "text")};
// Three lines of one paragraph; a picture.
const std::vector<Ink> kParagraph{
    {20, 20, 60, 6}, {20, 30, 60, 6}, {20, 40, 60, 6}, {125, 25, 30, 10}};
// Three 10 x 10 blocks with zones of three classes.
const std::vector<Ink> kThree{{15, 15, 10, 10}, {65, 15, 10, 10}, {115, 15, 10, 10}};
const std::vector<e2e::Zone> kThreeZones{zone("1", 10, 10, 21, 21, "text"),
                                         zone("2", 60, 10, 21, 21, "figure"),
                                         zone("3", 110, 10, 21, 21, "caption")};
// r1's RLEIMAGE marks two rows of g1's 200-pixel block: 40 pixels, score 33.33.
const std::vector<e2e::Zone> kRleResult{
    zone("r1", 10, 10, 41, 31, "text", {{"RLEIMAGE", "(10,10,30);(11,10,30);"}})};

INSTANTIATE_TEST_SUITE_P(
    Cases, DetailLines,
    ::testing::Values(
        // One result zone over two ground-truth zones pairs with the first
        // (66.67 % each); the second is missed, half of the class.
        DetailCase{"ResultZoneOverTwoGroundTruthZones",
                   kTwoBlocks,
                   {zone("g1", 10, 10, 41, 21, "text"), zone("g2", 60, 10, 41, 21, "text")},
                   {zone("r1", 10, 10, 91, 21, "text")},
                   {"-t", "60"},
                   {},
                   {"[O]    r1,     text,    g1,     text, 66.67%\n[OVERALL] 1/0/0/1, 100.00%\n",
                    "   unmatch 0( 0.0%)* 1(50.0%) \n         1 0( 0.0%)  1( 100%)*\n",
                    "    1       2         1         1   100.00%    50.00%    66.67%    50.00%"
                    "       0.00%\n"}},
        // With -m the two lines inside g1 form region M0 and pair with it.
        DetailCase{"MergeFileJoinsLinesOfOneGroundTruthZone",
                   kLines,
                   kLinesGt,
                   kLinesResult,
                   {"-m", "merge.txt"},
                   {{"merge.txt", "80\ntext\n"}},
                   {"[O]    M0,     text,    g1,     text, 100.00%\n"
                    "       M0 : r1, r2\n"
                    "[O]    r3,     text,    g2,     text, 100.00%\n"
                    "[OVERALL] 2/0/0/2, 100.00%\n"}},
        // Without -m each line covers half of g1 (66.67 %): false alarms and a miss.
        DetailCase{"WithoutMergeTheLinesAreFalseAlarms",
                   kLines,
                   kLinesGt,
                   kLinesResult,
                   {},
                   {},
                   {"[X]    r1,     text\n"
                    "[X]    r2,     text\n"
                    "[O]    r3,     text,    g2,     text, 100.00%\n"
                    "[OVERALL] 1/0/2/3, 33.33%\n"}},
        // With -lid the three lines of L7 are one ground-truth region; an empty
        // line id stands alone. Regions, not zones, are counted.
        DetailCase{"LineIdGroupsGroundTruthLines",
                   kParagraph,
                   {zone("a", 15, 17, 71, 11, "text", {{"lineID", "L7"}}),
                    zone("b", 15, 27, 71, 11, "text", {{"lineID", "L7"}}),
                    zone("c", 15, 37, 71, 11, "text", {{"lineID", "L7"}}),
                    zone("d", 120, 20, 41, 21, "figure", {{"lineID", ""}})},
                   {zone("r1", 12, 15, 79, 35, "text"), zone("r2", 120, 20, 41, 21, "figure")},
                   {"-lid"},
                   {},
                   {"[O]    r1,     text,    L7,     text, 100.00%\n"
                    "[O]    r2,   figure,      ,   figure, 100.00%\n"
                    "[OVERALL] 2/0/0/2, 100.00%\n",
                    "1       text                                   1                   1"
                    "        100.00%\n"}},
        // -az keeps the listed classes on both sides.
        DetailCase{"AcceptListKeepsListedClasses",
                   kThree,
                   kThreeZones,
                   kThreeZones,
                   {"-az", "accept.txt"},
                   {{"accept.txt", "caption text"}},
                   {"[O]     1,     text,     1,     text, 100.00%\n"
                    "[O]     3,  caption,     3,  caption, 100.00%\n"
                    "[OVERALL] 2/0/0/2, 100.00%\n",
                    "1       text                                   1                   1"
                    "        100.00%\n"
                    "2       caption                                1                   1"
                    "        100.00%\n\n"}},
        // -naz drops the listed classes on both sides.
        DetailCase{"RejectListDropsListedClasses",
                   kThree,
                   kThreeZones,
                   kThreeZones,
                   {"-naz", "reject.txt"},
                   {{"reject.txt", "text"}},
                   {"------\n1       figure                                 1                   1"
                    "        100.00%\n"
                    "2       caption                                1                   1"
                    "        100.00%\n\n"}},
        // -segonly counts every zone as "zone", whatever the classes.
        DetailCase{"SegOnlyCountsEveryZoneAsZone",
                   kThree,
                   kThreeZones,
                   {zone("1", 10, 10, 21, 21, "figure"), zone("2", 60, 10, 21, 21, "caption"),
                    zone("3", 110, 10, 21, 21, "text")},
                   {"-segonly"},
                   {},
                   {"[O]     1,     zone,     1,     zone, 100.00%\n",
                    "------\n1       zone                                   3                   3"
                    "        100.00%\n\n"}},
        // Without -rle the outline counts; with it the run-length mask does.
        DetailCase{"OutlineWithoutRle",
                   {{20, 20, 20, 10}},
                   {zone("g1", 10, 10, 41, 31, "text")},
                   kRleResult,
                   {},
                   {},
                   {"[O]    r1,     text,    g1,     text, 100.00%\n"}},
        DetailCase{"RunLengthMaskWithRle",
                   {{20, 20, 20, 10}},
                   {zone("g1", 10, 10, 41, 31, "text")},
                   kRleResult,
                   {"-rle"},
                   {},
                   {"[X]    r1,     text\n[OVERALL] 0/0/1/1, 0.00%\n"}},
        DetailCase{"RunLengthMaskBelowALowerThreshold",
                   {{20, 20, 20, 10}},
                   {zone("g1", 10, 10, 41, 31, "text")},
                   kRleResult,
                   {"-rle", "-t", "33"},
                   {},
                   {"[O]    r1,     text,    g1,     text, 33.33%\n"}}),
    [](const ::testing::TestParamInfo<DetailCase>& info) { return std::string(info.param.name); });

}  // namespace
