// A run split into shards (-shard K/N -part FILE) and put back together by
// wexa merge gives the report and the JSON of the single run, byte for byte
// but for the time and command lines, whatever the order of the parts; the
// merge refuses parts that do not make one run, and writes nothing then.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <regex>

#include <boost/filesystem.hpp>
#include <nlohmann/json.hpp>

#include "tests/e2e/E2ESupport.h"
#include "tests/e2e/Fixtures.h"

namespace {

namespace fs = boost::filesystem;
using e2e::zone;

bool commandFound(const std::string& name) {
    return std::system(("command -v " + name + " >/dev/null 2>&1").c_str()) == 0;
}

std::string scriptPath(const std::string& name) {
    return std::string(NQ_SOURCE_DIR) + "/scripts/" + name;
}

// Runs a shell command in `dir` with WEXA naming the built binary.
int shell(const std::string& dir, const std::string& command) {
    return std::system(("cd " + e2e::quoted(dir) + " && WEXA=" + e2e::quoted(WEXA_BINARY) + " " +
                        command + " >/dev/null 2>&1")
                           .c_str());
}

std::string maskedReport(const std::string& report) {
    static const std::regex command("Command Option : [^\n]*\n");
    return std::regex_replace(e2e::maskTimes(report), command, "Command Option : <command>\n");
}

std::string maskedJson(const std::string& text) {
    nlohmann::ordered_json document = nlohmann::ordered_json::parse(text);
    document["options"]["commandLine"] = "<command>";
    return document.dump(1);
}

// report.txt and report.json of `dir` equal those of `single`, masked.
void expectSameOutputs(const std::string& single, const std::string& dir) {
    for (const char* name : {"report.txt", "report.json"})
        ASSERT_TRUE(fs::is_regular_file(dir + "/" + name)) << dir << "/" << name;
    EXPECT_EQ(maskedReport(nqtest::readFile(dir + "/report.txt")),
              maskedReport(nqtest::readFile(single + "/report.txt")))
        << dir;
    EXPECT_EQ(maskedJson(nqtest::readFile(dir + "/report.json")),
              maskedJson(nqtest::readFile(single + "/report.json")))
        << dir;
}

// A single run in `root`/single and the same run in three shards with the
// parts merged in two orders, in `root`/split and `root`/reversed. The runs
// work in sibling directories, so relative inputs and outputs read the same.
void expectSplitRunEqualsSingleRun(const std::string& root, std::vector<std::string> words) {
    for (const char* dir : {"single", "split", "reversed"})
        fs::create_directory(root + "/" + dir);
    std::vector<std::string> single = words;
    single.insert(single.end(), {"-o", "report.txt", "-json", "report.json"});
    ASSERT_EQ(e2e::runWexa(root + "/single", single).status, 0);

    std::string command = e2e::quoted(scriptPath("wexa-parallel")) +
                          " -n 3 -j 3 -p parts -o report.txt -J report.json --";
    for (const std::string& word : words)
        command += " " + e2e::quoted(word);
    ASSERT_EQ(shell(root + "/split", command), 0);
    const e2e::Run reversed = e2e::runWexa(
        root + "/reversed",
        {"merge", "-o", "report.txt", "-json", "report.json", "../split/parts/part-3.json",
         "../split/parts/part-2.json", "../split/parts/part-1.json"});
    EXPECT_EQ(reversed.status, 0) << reversed.out;
    expectSameOutputs(root + "/single", root + "/split");
    expectSameOutputs(root + "/single", root + "/reversed");
}

// ---- the examples and the real scans under GNU parallel -----------------------------------

struct SplitCase {
    const char* name;
    bool realData;
    std::vector<std::string> words;  // inputs relative to a run directory, then options
};

void PrintTo(const SplitCase& split, std::ostream* out) {
    *out << split.name;
}

class SplitRun : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitRun, MergedThreeShardsGiveTheSingleRunsReportAndJson) {
    if (!commandFound("parallel"))
        GTEST_SKIP() << "GNU parallel is not installed";
    nqtest::TempDir root;
    std::vector<std::string> words;
    if (GetParam().realData) {
        const std::string data =
            fs::path(nqtest::sharedPath("realdata")).lexically_normal().string();
        if (!fs::is_directory(data + "/gt"))
            GTEST_SKIP() << "no real data at " << data;
        words = {
            "-g", data + "/" + GetParam().words[0], "-r", data + "/res", "-i", data + "/images"};
        words.insert(words.end(), GetParam().words.begin() + 1, GetParam().words.end());
    } else {
        ASSERT_EQ(
            std::system((std::string(WEXA_EXAMPLE_BINARY) + " " + root.path() + "/data >/dev/null")
                            .c_str()),
            0);
        nqtest::writeFile(root.file("data/merge.txt"), "80 paragraph zone");
        words = {"-g", "../data/gt", "-r", "../data/res", "-i", "../data/images"};
        words.insert(words.end(), GetParam().words.begin(), GetParam().words.end());
    }
    expectSplitRunEqualsSingleRun(root.path(), words);
}

INSTANTIATE_TEST_SUITE_P(
    DataSets, SplitRun,
    ::testing::Values(SplitCase{"ExampleRegions", false, {"-detail", "-v", "vis"}},
                      SplitCase{"ExampleZoneClass", false, {"-detail", "-zoneclass"}},
                      SplitCase{"ExampleMergedLines",
                                false,
                                {"-detail", "-segonly", "-m", "../data/merge.txt", "-lid", "-rle"}},
                      SplitCase{"RealRegions", true, {"gt", "-detail"}},
                      SplitCase{"RealLines", true, {"gt_lines", "-detail", "-lid"}}),
    [](const ::testing::TestParamInfo<SplitCase>& info) { return info.param.name; });

// ---- class order and widths, text bytes ---------------------------------------------------

// Three pairs, one per shard of three. The detail lines' class fields widen
// on a's second zone (a class met mid-page), on b (a -lid member's class,
// which no region of the page is counted under) and are kept on c, whose
// class is not UTF-8; a merge must render each page against the classes of
// every shard before it.
class ShardWorkspace : public ::testing::Test {
protected:
    void SetUp() override {
        e2e::writeTiff(ws.file("images/page.tif"), 100, 60, {{{15, 15, 10, 10}, {55, 15, 10, 10}}});
        const auto doc = [](const std::vector<e2e::Zone>& zones) {
            return e2e::documentXml("page.tif", 100, 60, {zones});
        };
        const std::vector<e2e::Zone> a{zone("1", 10, 10, 20, 20, "text"),
                                       zone("2", 50, 10, 20, 20, "much-longer-class-name")};
        ws.write("gt/a.xml", doc(a));
        ws.write("res/a.xml", doc(a));
        ws.write("gt/b.xml", doc({zone("1", 10, 10, 20, 20, "text", {{"lineID", "L1"}}),
                                  zone("2", 50, 10, 20, 20, "member-class-longer-than-any-other",
                                       {{"lineID", "L1"}})}));
        ws.write("res/b.xml", doc({zone("1", 10, 10, 20, 20, "text")}));
        const std::vector<e2e::Zone> c{zone("1", 10, 10, 20, 20, "caf\xe9")};
        ws.write("gt/c.xml", doc(c));
        ws.write("res/c.xml", doc(c));
    }

    // Runs shard k of n into part `name`.
    e2e::Run shard(int k, int n, const std::string& name, std::vector<std::string> extra = {}) {
        std::vector<std::string> words{
            "-g",      "gt",     "-r",
            "res",     "-i",     "images",
            "-detail", "-shard", std::to_string(k) + "/" + std::to_string(n),
            "-part",   name};
        words.insert(words.end(), extra.begin(), extra.end());
        return e2e::runWexa(ws.path(), words);
    }

    e2e::Run merge(const std::vector<std::string>& parts) {
        std::vector<std::string> words{"merge", "-o", "merged.txt", "-json", "merged.json"};
        words.insert(words.end(), parts.begin(), parts.end());
        return e2e::runWexa(ws.path(), words);
    }

    e2e::Workspace ws;
};

class ShardWidths : public ShardWorkspace, public ::testing::WithParamInterface<const char*> {};

TEST_P(ShardWidths, MergeRendersEveryPageAgainstTheClassesOfTheShardsBefore) {
    fs::create_directory(ws.file("single"));
    ASSERT_EQ(
        e2e::runWexa(ws.path(), {"-g", "gt", "-r", "res", "-i", "images", "-detail", GetParam(),
                                 "-o", "single/report.txt", "-json", "single/report.json"})
            .status,
        0);
    for (int k = 1; k <= 3; ++k)
        ASSERT_EQ(shard(k, 3, "part-" + std::to_string(k) + ".json", {GetParam()}).status, 0);
    fs::create_directory(ws.file("merged"));
    const e2e::Run merged =
        e2e::runWexa(ws.path(), {"merge", "-o", "merged/report.txt", "-json", "merged/report.json",
                                 "part-2.json", "part-3.json", "part-1.json"});
    ASSERT_EQ(merged.status, 0) << merged.out;
    const std::string report = nqtest::readFile(ws.file("merged/report.txt"));
    EXPECT_NE(report.find("caf\xe9"), std::string::npos);
    // The merged JSON names its own report and JSON; the rest is the single run's.
    const std::string single = nqtest::readFile(ws.file("single/report.json"));
    nqtest::writeFile(ws.file("single/report.json"),
                      std::regex_replace(single, std::regex("\"single/"), "\"merged/"));
    expectSameOutputs(ws.file("single"), ws.file("merged"));
}

INSTANTIATE_TEST_SUITE_P(Comparisons, ShardWidths, ::testing::Values("-lid", "-zoneclass"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                             return std::string(info.param + 1);
                         });

// ---- refusals -----------------------------------------------------------------------------

TEST_F(ShardWorkspace, MergeRefusesPartsThatDoNotMakeOneRunAndWritesNothing) {
    for (int k = 1; k <= 3; ++k)
        ASSERT_EQ(shard(k, 3, "part-" + std::to_string(k) + ".json").status, 0);
    ASSERT_EQ(shard(3, 3, "threshold.json", {"-t", "50"}).status, 0);
    ASSERT_EQ(shard(2, 4, "quarter.json").status, 0);
    ASSERT_EQ(shard(1, 5, "fifth-1.json").status, 0);
    ASSERT_EQ(shard(3, 5, "fifth-3.json").status, 0);
    fs::copy_file(ws.file("part-2.json"), ws.file("part-2-again.json"));
    const std::string whole = nqtest::readFile(ws.file("part-1.json"));
    ws.write("cut.json", whole.substr(0, whole.size() / 2));
    ws.write("res/d.xml", ws.read("res/a.xml"));
    ws.write("gt/d.xml", ws.read("gt/a.xml"));
    ASSERT_EQ(shard(3, 3, "more-files.json").status, 0);
    fs::remove(ws.file("res/d.xml"));
    ws.write("gt/b0.xml", ws.read("gt/a.xml"));
    fs::create_symlink(ws.file("nowhere.xml"), ws.file("res/b0.xml"));  // Load XML Error
    ASSERT_EQ(shard(3, 3, "stopped.json").out, "Load XML Error\n");

    const struct {
        std::vector<std::string> parts;
        std::string message;
    } refusals[] = {
        {{"part-1.json", "part-2.json", "threshold.json"},
         "Parts part-1.json and threshold.json were run with different options "
         "(matchThreshold)."},
        {{"part-1.json", "part-2.json", "more-files.json"},
         "Parts part-1.json and more-files.json were run over different file lists."},
        {{"part-1.json", "quarter.json"},
         "Parts part-1.json and quarter.json are shards of different splits (1/3 and 2/4)."},
        {{"part-3.json", "part-2.json", "part-1.json", "part-2-again.json"},
         "File res/b.xml would be counted twice: parts part-2.json and part-2-again.json are "
         "both shard 2/3."},
        {{"fifth-3.json", "fifth-1.json"}, "Missing shards of 5: 2, 4, 5."},
        {{"fifth-1.json"}, "Missing shards of 5: 2-5."},
        {{"part-1.json", "stopped.json", "part-3.json"},
         "Part stopped.json is incomplete: its run stopped at an XML file that could not be "
         "opened."},
        {{"part-1.json", "nothing.json"}, "Part file nothing.json can not be read!!!"},
        {{"cut.json"}, "cut.json is not a wexa part file: parse error at line "},
        {{"part-1.json", "gt/a.xml"}, "gt/a.xml is not a wexa part file: parse error at line "},
    };
    for (const auto& refusal : refusals) {
        const e2e::Run run = merge(refusal.parts);
        EXPECT_EQ(run.status, 1) << refusal.message;
        EXPECT_EQ(run.out.substr(0, refusal.message.size()), refusal.message);
        EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 1) << run.out;
        EXPECT_FALSE(fs::exists(ws.file("merged.txt")) || fs::exists(ws.file("merged.json")))
            << refusal.message;
    }
}

TEST_F(ShardWorkspace, ShardTakesItsSliceAndBadValuesEndTheRun) {
    // Without -part the shard writes the report of its slice alone; a -part
    // run writes no report and does not announce the default one.
    const e2e::Run alone = e2e::runWexa(
        ws.path(), {"-g", "gt", "-r", "res", "-i", "images", "-shard", "2/3", "-o", "b.txt"});
    EXPECT_EQ(alone.out, "res/b.xml\n");
    EXPECT_NE(ws.read("b.txt").find("- Number of Files : 1\n"), std::string::npos);
    EXPECT_EQ(shard(3, 3, "part.json").out, "res/c.xml\n");
    EXPECT_EQ(shard(3, 3, "no/part.json").out,
              "Part file no/part.json can not be written!!!\nres/c.xml\n");
    EXPECT_FALSE(fs::exists(ws.file("WEXA-Eval.txt")));
    for (const char* value : {"0/3", "4/3", "3", "1/0", "-1/3", "1/3x", "1//3"})
        EXPECT_EQ(
            e2e::runWexa(ws.path(), {"-g", "gt", "-r", "res", "-shard", value}).out,
            std::string("The -shard option requires K/N with 1 <= K <= N, not ") + value + ".\n");
}

// ---- Slurm --------------------------------------------------------------------------------

TEST_F(ShardWorkspace, SlurmJobArrayAndMergeJobGiveTheSingleRunsReport) {
    if (!commandFound("sbatch") || std::system("timeout 4 sinfo >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "no Slurm cluster answers";
    ASSERT_EQ(e2e::runWexa(ws.path(),
                           {"-g", "gt", "-r", "res", "-i", "images", "-detail", "-o", "single.txt"})
                  .status,
              0);
    ASSERT_EQ(shell(ws.path(), "timeout 300 " + e2e::quoted(scriptPath("wexa-slurm")) +
                                   " -w -n 3 -p parts -o merged.txt -- -g gt -r res -i images "
                                   "-detail"),
              0)
        << nqtest::readFile(ws.file("parts/merge.log"));
    EXPECT_EQ(maskedReport(ws.read("merged.txt")), maskedReport(ws.read("single.txt")));
}

}  // namespace
