// Runs with -j 3 write exactly what runs with -j 1 write: the report (but for
// its time stamps and the command line), standard output, every visual file
// byte for byte and, on the example set, the JSON outcome (but for the
// options) and the page pictures. Shown on the example data set and the real scans in
// each comparison mode, and on a directory whose pairs fail in every way a
// pair can, up to an XML file that ends the run.
#include <gtest/gtest.h>

#include <map>
#include <regex>

#include <boost/filesystem.hpp>
#include <nlohmann/json.hpp>

#include "tests/e2e/E2ESupport.h"
#include "tests/e2e/Fixtures.h"

namespace {

namespace fs = boost::filesystem;
using e2e::zone;

// What a run left behind.
struct Outcome {
    e2e::Run run;
    std::string report;
    std::map<std::string, std::string> visual;  // file name -> bytes
    nlohmann::json json;                        // with -json, without its options
    std::map<std::string, std::string> pictures;
};

std::map<std::string, std::string> filesOf(const std::string& dir) {
    std::map<std::string, std::string> files;
    if (fs::is_directory(dir))
        for (fs::directory_iterator entry(dir), end; entry != end; ++entry)
            files[entry->path().filename().string()] = nqtest::readFile(entry->path().string());
    return files;
}

std::string withoutCommandLine(const std::string& report) {
    static const std::regex command("Command Option : [^\n]*\n");
    return std::regex_replace(e2e::maskTimes(report), command, "Command Option : <words>\n");
}

// `outputs`: with the JSON outcome and the pictures; `visual`: with the
// visual files. Without visual files and pictures the pairs let their page
// images go before they are committed.
Outcome runWith(const std::string& dir, std::vector<std::string> words, const std::string& threads,
                bool outputs, bool visual = true) {
    const std::string tag = "j" + threads + (visual ? "" : "n");
    words.insert(words.end(), {"-o", tag + ".txt", "-j", threads});
    if (visual)
        words.insert(words.end(), {"-v", tag});
    if (outputs)
        words.insert(words.end(), {"-json", tag + ".json"});
    if (outputs && visual)
        words.insert(words.end(), {"-vimg", tag + "-pictures"});
    Outcome outcome;
    outcome.run = e2e::runWexa(dir, words);
    outcome.report = withoutCommandLine(nqtest::readFile(dir + "/" + tag + ".txt"));
    outcome.visual = filesOf(dir + "/" + tag);
    if (outputs) {
        outcome.json = nlohmann::json::parse(nqtest::readFile(dir + "/" + tag + ".json"));
        outcome.json.erase("options");
        outcome.pictures = filesOf(dir + "/" + tag + "-pictures");
    }
    return outcome;
}

void expectSameWithThreeThreads(const std::string& dir, const std::vector<std::string>& words,
                                bool outputs = false) {
    const Outcome one = runWith(dir, words, "1", outputs);
    const Outcome three = runWith(dir, words, "3", outputs);
    EXPECT_EQ(three.run.status, one.run.status);
    EXPECT_EQ(three.run.out, one.run.out);
    EXPECT_EQ(three.run.err, "");
    EXPECT_EQ(three.report, one.report);
    EXPECT_EQ(three.visual, one.visual);
    EXPECT_EQ(three.json, one.json);
    EXPECT_EQ(three.pictures, one.pictures);
}

struct Mode {
    const char* name;
    std::vector<std::string> words;
};

void PrintTo(const Mode& mode, std::ostream* out) {
    *out << mode.name;
}

const std::vector<Mode> kModes{
    {"Detail", {"-detail"}},
    {"LineIds", {"-lid", "-detail"}},
    {"SegmentsMergedRunLengths", {"-segonly", "-m", "merge.txt", "-rle", "-detail"}},
    {"MergedClasses", {"-m", "merge.txt", "-detail"}},
    {"ZoneClass", {"-zoneclass", "-detail"}},
};

class SameWithThreads : public ::testing::TestWithParam<Mode> {
protected:
    void SetUp() override {
        nqtest::writeFile(work.file("merge.txt"),
                          "80 zone text paragraph heading text:paragraph text:heading");
    }
    std::vector<std::string> wordsFor(const std::string& root, const std::string& gt) const {
        std::vector<std::string> words{"-g", root + "/" + gt, "-r", root + "/res",
                                       "-i", root + "/images"};
        words.insert(words.end(), GetParam().words.begin(), GetParam().words.end());
        return words;
    }
    nqtest::TempDir work;
};

TEST_P(SameWithThreads, OnTheExampleDataSet) {
    const std::string root = work.file("example");
    ASSERT_EQ(
        std::system(
            (e2e::quoted(WEXA_EXAMPLE_BINARY) + " " + e2e::quoted(root) + " > /dev/null").c_str()),
        0);
    expectSameWithThreeThreads(work.path(), wordsFor(root, "gt"), true);

    // Without visual files the page images are let go before the commits,
    // which changes nothing the run writes.
    const Outcome kept = runWith(work.path(), wordsFor(root, "gt"), "1", true);
    for (const char* threads : {"1", "3"}) {
        const Outcome released = runWith(work.path(), wordsFor(root, "gt"), threads, true, false);
        EXPECT_EQ(released.run.out, kept.run.out) << threads;
        EXPECT_EQ(released.report, kept.report) << threads;
        EXPECT_EQ(released.json, kept.json) << threads;
    }
}

// The real scans are larger; the modes that reach every reading and matching
// path are enough there.
class SameWithThreadsOnRealScans : public SameWithThreads {};

TEST_P(SameWithThreadsOnRealScans, InTheirMode) {
    const std::string root = fs::path(nqtest::sharedPath("realdata")).lexically_normal().string();
    if (!fs::is_directory(root + "/gt"))
        GTEST_SKIP() << "no real data at " << root;
    const bool lines = GetParam().words.front() == std::string("-lid");
    expectSameWithThreeThreads(work.path(), wordsFor(root, lines ? "gt_lines" : "gt"));
}

INSTANTIATE_TEST_SUITE_P(EveryMode, SameWithThreads, ::testing::ValuesIn(kModes));
INSTANTIATE_TEST_SUITE_P(MainModes, SameWithThreadsOnRealScans,
                         ::testing::Values(kModes[0], kModes[1], kModes[3], kModes[4]));

TEST(SameWithThreadsWhenPairsFail, MessagesStayInFileOrderAndTheRunEndsAtTheSamePair) {
    // a: compared; b: no partner; c: its page image is missing (the codec
    // logs a line, the reader fails); d: a zone outside the page (the reader
    // says so); e: compared; f: cannot be opened (ends the run); g: never read.
    e2e::Workspace ws;
    e2e::writeTiff(ws.file("images/page.tif"), 100, 60, {{{20, 20, 10, 10}, {60, 30, 20, 20}}});
    const std::string xml = e2e::documentXml(
        "page.tif", 100, 60,
        {{zone("1", 15, 15, 21, 21, "text"), zone("2", 55, 25, 30, 30, "figure")}});
    for (const char* name : {"a", "c", "d", "e", "g"})
        ws.write(std::string("gt/") + name + ".xml", xml);
    ws.write("gt/f.xml", xml);
    for (const char* name : {"a", "b", "e", "g"})
        ws.write(std::string("res/") + name + ".xml", xml);
    ws.write("res/c.xml",
             e2e::documentXml("missing.jpg", 100, 60, {{zone("1", 1, 1, 5, 5, "text")}}));
    ws.write(
        "res/d.xml",
        e2e::documentXml("page.tif", 100, 60,
                         {{zone("1", 15, 15, 21, 21, "text"), zone("9", 90, 50, 40, 40, "text")}}));
    fs::create_symlink(ws.file("nowhere.xml"), ws.file("res/f.xml"));
    expectSameWithThreeThreads(ws.path(), {"-g", "gt", "-r", "res", "-i", "images", "-detail"});
    const Outcome three = runWith(ws.path(), {"-g", "gt", "-r", "res", "-i", "images"}, "3", false);
    EXPECT_EQ(three.run.out.substr(three.run.out.size() - 15), "Load XML Error\n");
    EXPECT_EQ(three.visual.count("g.evl.xml"), 0u);
}

}  // namespace
