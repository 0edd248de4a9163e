// The analyses of a run on small pages worked out by hand: threshold sweeps,
// split and merge counts, class maps, the --fail-under gate and the paired
// comparison of two runs' JSON files.
#include <gtest/gtest.h>

#include <sstream>

#include <boost/filesystem.hpp>
#include <nlohmann/json.hpp>

#include "support/JsonSchema.h"
#include "tests/e2e/E2ESupport.h"
#include "tests/e2e/Fixtures.h"

namespace {

using e2e::zone;
using Words = std::vector<std::string>;

// Text: the result zone holds the 150-pixel block of a 200-pixel region
// (score 2*100*75/175 = 85.71); figure: an exact pair (score 100). Classes
// are numbered text 1, figure 2.
const std::vector<e2e::Ink> kInk{{10, 10, 15, 10}, {30, 10, 5, 10}, {100, 10, 20, 20}};

struct Pages {
    e2e::Workspace ws;
    explicit Pages(const std::vector<e2e::Zone>& result,
                   const std::vector<e2e::Zone>& gt = {zone("g1", 5, 5, 35, 20, "text"),
                                                       zone("g2", 95, 5, 30, 30, "figure")}) {
        e2e::writeTiff(ws.file("images/page.tif"), 200, 100, {kInk});
        ws.write("gt/page.xml", e2e::documentXml("page.tif", 200, 100, {gt}));
        ws.write("res/page.xml", e2e::documentXml("page.tif", 200, 100, {result}));
    }
    e2e::Run run(Words more) const {
        Words words{"-g", "gt", "-r", "res", "-i", "images", "-o", "report.txt"};
        words.insert(words.end(), more.begin(), more.end());
        return e2e::runWexa(ws.path(), words);
    }
    std::string report() const { return e2e::maskTimes(ws.read("report.txt")); }
};

const std::vector<e2e::Zone> kCrossing{zone("r1", 5, 5, 22, 20, "text"),
                                       zone("r2", 95, 5, 30, 30, "figure")};

// The report from the summary on, without the closing line.
std::string tail(const std::string& report) {
    const std::size_t from = report.find("==================\nSummary");
    return report.substr(from, report.rfind(e2e::reportEnd()) - from);
}

TEST(Analyses, SweepScoresAPairOnlyUpToTheStepItFallsBelow) {
    // Shows: the text pair (85.71) holds at 60, 70 and 80 and not at 90; the
    // sweep section follows the unchanged summary.
    Pages pages(kCrossing);
    ASSERT_EQ(pages.run({}).status, 0);
    const std::string plain = tail(pages.report());
    ASSERT_EQ(pages.run({"-sweep", "60:90:10"}).status, 0);
    EXPECT_EQ(tail(pages.report()), plain +
                                        "\n"
                                        "04. Threshold Sweep\n"
                                        "===================\n"
                                        "\n"
                                        "Threshold  Label  Precision     Recall    F-Score\n"
                                        "-------------------------------------------------\n"
                                        "    60.00      1    100.00%    100.00%    100.00%\n"
                                        "    60.00      2    100.00%    100.00%    100.00%\n"
                                        "    60.00    all    100.00%    100.00%    100.00%\n"
                                        "    70.00      1    100.00%    100.00%    100.00%\n"
                                        "    70.00      2    100.00%    100.00%    100.00%\n"
                                        "    70.00    all    100.00%    100.00%    100.00%\n"
                                        "    80.00      1    100.00%    100.00%    100.00%\n"
                                        "    80.00      2    100.00%    100.00%    100.00%\n"
                                        "    80.00    all    100.00%    100.00%    100.00%\n"
                                        "    90.00      1      0.00%      0.00%      0.00%\n"
                                        "    90.00      2    100.00%    100.00%    100.00%\n"
                                        "    90.00    all     50.00%     50.00%     50.00%\n"
                                        "     mean      1     75.00%     75.00%     75.00%\n"
                                        "     mean      2    100.00%    100.00%    100.00%\n"
                                        "     mean    all     87.50%     87.50%     87.50%\n"
                                        "\n"
                                        "- F@[60:90] : 87.50%\n");
}

// Label, precision, recall and F-score of each class row of section 3.
std::vector<std::string> resultTableRates(const std::string& report) {
    std::istringstream lines(report.substr(report.find("03. Result Table")));
    std::vector<std::string> rows;
    std::string line;
    for (int skip = 0; skip < 5 && std::getline(lines, line); ++skip) {
    }
    while (std::getline(lines, line) && !line.empty()) {
        std::istringstream fields(line);
        std::string label, gt, result, correct, p, r, f;
        fields >> label >> gt >> result >> correct >> p >> r >> f;
        rows.push_back(label + " " + p + " " + r + " " + f);
    }
    return rows;
}

TEST(Analyses, SweepRowsAreTheResultTablesOfRunsAtEachThreshold) {
    // Shows: on conflicting pairs of both classes, every sweep row equals the
    // result table and average line of a run with that -t.
    Pages pages({zone("r1", 5, 5, 22, 20, "text"), zone("r2", 20, 5, 20, 20, "text"),
                 zone("r3", 95, 5, 18, 30, "figure"), zone("r4", 98, 5, 30, 30, "text")});
    ASSERT_EQ(pages.run({"-sweep", "0:100:20"}).status, 0);
    const std::string swept = pages.report();
    for (const char* threshold : {"0", "20", "40", "60", "80", "100"}) {
        ASSERT_EQ(pages.run({"-t", threshold}).status, 0);
        const std::string single = pages.report();
        const std::string average =
            single.substr(single.find("(average) : ") + 12,
                          single.find("%\n\n01.") - single.find("(average) : ") - 12);
        std::ostringstream at;
        at << std::fixed;
        at.precision(2);
        at << std::stod(threshold);
        std::vector<std::string> rows;
        std::istringstream lines(swept.substr(swept.find("04. Threshold Sweep")));
        for (std::string line; std::getline(lines, line);) {
            std::istringstream fields(line);
            std::string t, label, p, r, f;
            fields >> t >> label >> p >> r >> f;
            if (t != at.str())
                continue;
            if (label == "all")
                EXPECT_EQ(f, average + "%") << "at " << threshold;
            else
                rows.push_back(label + " " + p + " " + r + " " + f);
        }
        EXPECT_EQ(rows, resultTableRates(single)) << "at " << threshold;
    }
}

TEST(Analyses, SplitMergeSectionCountsASplitInThreeAndTwoMergedIntoOne) {
    // Shows: a text region of 100 ink pixels held by result zones of 40, 40,
    // 15 and 5 of them is split in three (5 % is no fair share); figures of
    // 100 and 50 pixels inside one result zone are merged.
    e2e::Workspace ws;
    e2e::writeTiff(ws.file("images/page.tif"), 200, 100,
                   {{{10, 10, 10, 4},
                     {30, 10, 10, 4},
                     {50, 10, 5, 3},
                     {70, 10, 5, 1},
                     {100, 10, 10, 10},
                     {130, 10, 10, 5}}});
    ws.write("gt/page.xml", e2e::documentXml("page.tif", 200, 100,
                                             {{zone("g1", 5, 5, 75, 15, "text"),
                                               zone("g2", 95, 5, 20, 20, "figure"),
                                               zone("g3", 125, 5, 20, 20, "figure")}}));
    ws.write(
        "res/page.xml",
        e2e::documentXml("page.tif", 200, 100,
                         {{zone("r1", 5, 5, 20, 15, "text"), zone("r2", 27, 5, 20, 15, "text"),
                           zone("r3", 48, 5, 10, 15, "text"), zone("r4", 68, 5, 10, 15, "text"),
                           zone("r5", 95, 5, 50, 20, "figure")}}));
    ASSERT_EQ(e2e::runWexa(ws.path(), {"-g", "gt", "-r", "res", "-o", "report.txt", "-i", "images",
                                       "-splitmerge"})
                  .status,
              0);
    const std::string report = e2e::maskTimes(ws.read("report.txt"));
    EXPECT_EQ(
        report.substr(report.find("\n\n04. ")),
        "\n\n04. Split and Merge Errors\n"
        "==========================\n"
        "\n"
        "- Fair share of a ground-truth region's ink : 10.00%\n"
        "\n"
        "Label  Class of Zone          Split   Parts  Split Ink  Merges  Merged  Merged Ink\n"
        "----------------------------------------------------------------------------------\n"
        "    1  text                       1       3    100.00%       0       0       0.00%\n"
        "    2  figure                     0       0      0.00%       1       2      60.00%\n"
        "  all                             1       3     40.00%       1       2      60.00%\n" +
            std::string(e2e::reportEnd()));
}

TEST(Analyses, JsonGainsTheAnalysesAndStaysAsItWasOtherwise) {
    Pages pages(kCrossing);
    pages.ws.write("map.txt", "gt unused other\n");
    ASSERT_EQ(pages.run({"-json", "out.json"}).status, 0);
    const nlohmann::json plain = nlohmann::json::parse(pages.ws.read("out.json"));
    ASSERT_EQ(
        pages.run({"-json", "out.json", "-sweep", "60:90:10", "-splitmerge", "-map", "map.txt"})
            .status,
        0);
    nlohmann::json out = nlohmann::json::parse(pages.ws.read("out.json"));
    EXPECT_EQ(
        nqtest::JsonSchemaCheck(nlohmann::json::parse(nqtest::readFile(
                                    std::string(NQ_SOURCE_DIR) + "/docs/wexa-result.schema.json")))
            .check(out),
        "");
    EXPECT_EQ(out["sweep"]["label"], "F@[60:90]");
    EXPECT_EQ(out["sweep"]["meanFScore"], 87.5);
    EXPECT_EQ(out["sweep"]["classes"][0]["fScore"], nlohmann::json({100.0, 100.0, 100.0, 0.0}));
    EXPECT_EQ(out["splitMerge"]["total"]["groundTruthInk"], 600);
    EXPECT_EQ(out["options"]["map"], nlohmann::json({"gt unused other"}));
    for (const char* key : {"sweep", "splitMerge"})
        out.erase(key);
    out["options"].erase("map");
    out["options"]["commandLine"] = plain["options"]["commandLine"];
    EXPECT_EQ(out, plain);
}

TEST(Analyses, MapJoinsTwoClassesAndDropsAThirdBeforeMatching) {
    // Shows: with result classes title and body mapped to text and noise
    // dropped, the report is that of a result holding the mapped classes.
    Pages mapped({zone("r1", 5, 5, 22, 20, "text"), zone("r2", 95, 5, 30, 30, "figure"),
                  zone("r3", 28, 5, 10, 20, "text")});
    ASSERT_EQ(mapped.run({}).status, 0);
    Pages taxonomy({zone("r1", 5, 5, 22, 20, "title"), zone("r2", 95, 5, 30, 30, "figure"),
                    zone("r3", 28, 5, 10, 20, "body"), zone("r4", 150, 50, 20, 20, "noise")});
    taxonomy.ws.write("map.txt", "res title text\nres body text\nres noise -\n");
    const e2e::Run run = taxonomy.run({"-map", "map.txt"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "res/page.xml\n");
    EXPECT_EQ(tail(taxonomy.report()), tail(mapped.report()));

    taxonomy.ws.write("bad.txt", "res title text\ntitle text\n# fine\nres body *\n");
    const e2e::Run refused = taxonomy.run({"-map", "bad.txt", "-o", "refused.txt"});
    EXPECT_EQ(refused.status, 0);
    EXPECT_EQ(refused.out,
              "bad.txt line 2: expected \"gt NAME TARGET\" or \"res NAME TARGET\"\n"
              "bad.txt line 4: * can only stand for a name, not for a target\n");
    EXPECT_FALSE(boost::filesystem::exists(taxonomy.ws.file("refused.txt")));
}

struct Gate {
    const char* bar;
    int status;
    const char* out;
};

class FailUnder : public ::testing::TestWithParam<Gate> {};

TEST_P(FailUnder, ExitStatusFollowsTheAverageFScore) {
    // Shows: at -t 90 the text pair fails and the average is 50.00 %.
    Pages pages(kCrossing);
    Words words{"-t", "90"};
    if (*GetParam().bar != '\0')
        words.insert(words.end(), {"--fail-under", GetParam().bar});
    const e2e::Run run = pages.run(words);
    EXPECT_EQ(run.status, GetParam().status);
    EXPECT_EQ(run.out, std::string("res/page.xml\n") + GetParam().out);
}

INSTANTIATE_TEST_SUITE_P(Bars, FailUnder,
                         ::testing::Values(Gate{"", 0, ""}, Gate{"50", 0, ""}, Gate{"0", 0, ""},
                                           Gate{"50.01", 1,
                                                "The average F-score 50.00% is below 50.01%\n"}));

TEST(Analyses, FailUnderFailsARunThatStoppedEarly) {
    Pages pages(kCrossing);
    boost::filesystem::create_symlink(pages.ws.file("nowhere.xml"), pages.ws.file("res/zz.xml"));
    pages.ws.write("gt/zz.xml", "");
    const e2e::Run run = pages.run({"--fail-under", "0"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out,
              "res/page.xml\nLoad XML Error\n"
              "The run stopped early, which --fail-under counts as a failure\n");
    EXPECT_EQ(pages.run({}).status, 0);
}

// Three pages of two text zones and a figure; system A finds the first text
// zone and the figure of each page, system B everything.
class Compare : public ::testing::Test {
protected:
    void SetUp() override {
        const std::vector<e2e::Ink> ink{{10, 10, 20, 10}, {10, 40, 20, 10}, {100, 10, 20, 20}};
        e2e::writeTiff(ws.file("images/page.tif"), 200, 100, {ink, ink, ink});
        const std::vector<e2e::Zone> all{zone("t1", 5, 5, 30, 20, "text"),
                                         zone("t2", 5, 35, 30, 20, "text"),
                                         zone("f1", 95, 5, 30, 30, "figure")};
        const std::vector<e2e::Zone> some{all[0], all[2]};
        ws.write("gt/page.xml", e2e::documentXml("page.tif", 200, 100, {all, all, all}));
        boost::filesystem::create_directory(ws.file("a"));
        boost::filesystem::create_directory(ws.file("b"));
        ws.write("a/page.xml", e2e::documentXml("page.tif", 200, 100, {some, some, some}));
        ws.write("b/page.xml", e2e::documentXml("page.tif", 200, 100, {all, all, all}));
    }
    void evaluate(const std::string& result, const std::string& json, Words more = {}) {
        Words words{"-g", "gt", "-r", result, "-i", "images", "-o", "report.txt", "-json", json};
        words.insert(words.end(), more.begin(), more.end());
        ASSERT_EQ(e2e::runWexa(ws.path(), words).status, 0);
    }
    e2e::Run compare(const std::string& a, const std::string& b) {
        return e2e::runWexa(ws.path(), {"compare", a, b});
    }

    e2e::Workspace ws;
};

const char* const kCompareHead =
    "- Number of Pages : 3\n"
    "- Bootstrap : 1000 resamples of the pages, seed 1\n"
    "\n"
    "Class of Zone             F(A)      F(B)     B - A            95% interval  A ahead  B ahead"
    "   Ties\n"
    "-------------------------------------------------------------------------------------------"
    "--------\n";

TEST_F(Compare, IdenticalSystemsDifferByZeroAndABetterOneOnEveryPage) {
    // Shows: A's text F-score is 66.67 % on every page and every resample
    // (recall 50 %), so the interval of B - A is the point itself.
    evaluate("a", "a.json");
    evaluate("b", "b.json");
    const e2e::Run same = compare("a.json", "a.json");
    EXPECT_EQ(same.status, 0);
    EXPECT_EQ(same.out,
              std::string("Paired comparison of A = a.json and B = a.json\n\n") + kCompareHead +
                  "text                    66.67%    66.67%     0.00%    [   0.00%,    0.00%]"
                  "        0        0      3\n"
                  "figure                 100.00%   100.00%     0.00%    [   0.00%,    0.00%]"
                  "        0        0      3\n"
                  "all                     83.33%    83.33%     0.00%    [   0.00%,    0.00%]"
                  "        0        0      3\n");
    const e2e::Run better = compare("a.json", "b.json");
    EXPECT_EQ(better.status, 0);
    EXPECT_EQ(better.out,
              std::string("Paired comparison of A = a.json and B = b.json\n\n") + kCompareHead +
                  "text                    66.67%   100.00%    33.33%    [  33.33%,   33.33%]"
                  "        0        3      0\n"
                  "figure                 100.00%   100.00%     0.00%    [   0.00%,    0.00%]"
                  "        0        0      3\n"
                  "all                     83.33%   100.00%    16.67%    [  16.67%,   16.67%]"
                  "        0        3      0\n");
}

TEST_F(Compare, RefusesOtherOptionsAndOtherGroundTruth) {
    evaluate("a", "a.json");
    evaluate("b", "t70.json", {"-t", "70"});
    const e2e::Run options = compare("a.json", "t70.json");
    EXPECT_EQ(options.status, 2);
    EXPECT_EQ(options.err,
              "a.json and t70.json were evaluated with different options: matchThreshold is 80.0 "
              "in a.json and 70.0 in t70.json\n");

    // The same names, one zone of the second page of another class.
    boost::filesystem::create_directory(ws.file("gt2"));
    const std::string gt = ws.read("gt/page.xml");
    const std::size_t second = gt.find("figure", gt.find("pageID=\"2\""));
    ws.write("gt2/page.xml", gt.substr(0, second) + "table" + gt.substr(second + 6));
    ASSERT_EQ(e2e::runWexa(ws.path(), {"-g", "gt2", "-r", "b", "-i", "images", "-o", "r2.txt",
                                       "-json", "gt2.json"})
                  .status,
              0);
    const e2e::Run truth = compare("a.json", "gt2.json");
    EXPECT_EQ(truth.status, 2);
    EXPECT_EQ(truth.err,
              "a.json and gt2.json are not evaluations of the same ground truth: the ground-truth "
              "regions of page.xml page 2 differ\n");
    EXPECT_EQ(compare("a.json", "missing.json").err, "missing.json is not found\n");
    EXPECT_EQ(e2e::runWexa(ws.path(), {"compare", "a.json"}).status, 2);
}

}  // namespace
