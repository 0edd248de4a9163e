// What a run writes besides its report: the JSON outcome (-json), page
// pictures (-vimg), the progress line on a terminal, and the help and
// version texts. None of them changes standard output, the report or the
// annotated files.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <regex>

#include <boost/filesystem.hpp>
#include <nlohmann/json.hpp>

#include "image/NQImage.h"
#include "support/JsonSchema.h"
#include "tests/e2e/E2ESupport.h"
#include "tests/e2e/Fixtures.h"

namespace {

namespace fs = boost::filesystem;
using e2e::zone;
using nlohmann::json;

std::string twoDecimals(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.2f", value);
    return text;
}

// The lines of one summary section, from its title to the empty line after its table.
std::vector<std::string> sectionRows(const std::string& report, const std::string& title) {
    std::vector<std::string> rows;
    std::istringstream lines(report.substr(report.find(title)));
    std::string line;
    int rules = 0;  // the title's "===" line, then the table's "---" line
    while (std::getline(lines, line)) {
        if (rules == 2 && line.empty())
            break;
        if (rules == 2)
            rows.push_back(line);
        else if (!line.empty() && (line[0] == '=' || line[0] == '-'))
            ++rules;
    }
    return rows;
}

// Every number of the report's summary and "[OVERALL]" lines against the JSON.
void expectJsonAgreesWithReport(const json& out, const std::string& report) {
    const bool zoneClass = out["comparison"] == "zoneClass";
    EXPECT_NE(report.find("- Number of Files : " +
                          std::to_string(out["summary"]["files"].get<int>()) + "\n"),
              std::string::npos);
    EXPECT_NE(report.find("(average) : " + twoDecimals(out["summary"]["averageFScore"]) + "%\n"),
              std::string::npos);

    const json& classes = out["classes"];
    EXPECT_FALSE(classes.empty());
    const auto zones = sectionRows(report, "01. Information on Zones");
    const auto table = sectionRows(report, "03. Result Table");
    ASSERT_EQ(zones.size(), classes.size());
    ASSERT_EQ(table.size(), classes.size());
    for (std::size_t k = 0; k < classes.size(); ++k) {
        const json& c = classes[k];
        std::ostringstream zoneRow, tableRow;
        zoneRow << c["index"] << " " << c["name"].get<std::string>() << " " << c["result"] << " "
                << c["groundTruth"] << " " << twoDecimals(c["fScore"]) << "%";
        tableRow << c["index"] << " " << c["groundTruth"] << " " << c["result"] << " "
                 << c["correct"];
        for (const char* rate : {"precision", "recall", "fScore", "missingRate", "falseAlarmRate"})
            if (!zoneClass || std::string(rate).find("Rate") == std::string::npos)
                tableRow << " " << twoDecimals(c[rate]) << "%";
        const std::regex blanks(" +");
        EXPECT_EQ(std::regex_replace(" " + zones[k] + " ", blanks, " "), " " + zoneRow.str() + " ");
        EXPECT_EQ(std::regex_replace(" " + table[k] + " ", blanks, " "),
                  " " + tableRow.str() + " ");
    }

    const json& matrix = out["confusionMatrix"];
    const auto rows = sectionRows(report, "02. Confusion Matrix");
    ASSERT_EQ(rows.size(), matrix["classes"].size());
    const std::regex cell("([0-9]+)\\(");
    for (std::size_t r = 0; r < rows.size(); ++r) {
        std::vector<unsigned> counts;
        for (std::sregex_iterator m(rows[r].begin(), rows[r].end(), cell), end; m != end; ++m)
            counts.push_back(std::stoul((*m)[1]));
        EXPECT_EQ(json(counts), matrix["counts"][r]) << "matrix row " << r;
    }

    // With -detail, one "[OVERALL]" line per compared page, in file order.
    std::vector<std::string> overall;
    for (const json& file : out["files"])
        for (const json& page : file["pages"]) {
            const json& n = page["counts"];
            overall.push_back(zoneClass ? std::to_string(n["matched"].get<int>()) + "/" +
                                              std::to_string(n["resultRegions"].get<int>())
                                        : std::to_string(n["matched"].get<int>()) + "/" +
                                              std::to_string(n["detected"].get<int>()) + "/" +
                                              std::to_string(n["falseAlarms"].get<int>()) + "/" +
                                              std::to_string(n["resultRegions"].get<int>()));
        }
    std::vector<std::string> reported;
    const std::regex line("\\[OVERALL\\] ([0-9/]+),");
    for (std::sregex_iterator m(report.begin(), report.end(), line), end; m != end; ++m)
        reported.push_back((*m)[1]);
    EXPECT_FALSE(overall.empty());
    EXPECT_EQ(reported, overall);
}

json readJson(const std::string& path) {
    return json::parse(nqtest::readFile(path));
}

nqtest::JsonSchemaCheck schemaCheck() {
    return nqtest::JsonSchemaCheck(json::parse(
        nqtest::readFile(std::string(NQ_SOURCE_DIR) + "/docs/wexa-result.schema.json")));
}

// ---- the bundled examples --------------------------------------------------------------------

class Examples : public ::testing::TestWithParam<std::vector<std::string>> {
protected:
    void SetUp() override {
        ASSERT_EQ(
            std::system(
                (std::string(WEXA_EXAMPLE_BINARY) + " " + dir.path() + " >/dev/null").c_str()),
            0);
        nqtest::writeFile(dir.file("merge.txt"), "80 paragraph zone");
    }
    e2e::Run run(std::vector<std::string> extra) const {
        std::vector<std::string> words{"-g", "gt", "-r", "res", "-i", "images", "-detail"};
        words.insert(words.end(), extra.begin(), extra.end());
        return e2e::runWexa(dir.path(), words);
    }
    nqtest::TempDir dir;
};

TEST_P(Examples, JsonValidatesAndAgreesWithTheReport) {
    std::vector<std::string> words = GetParam();
    words.insert(words.end(), {"-o", "report.txt", "-json", "out.json"});
    ASSERT_EQ(run(words).status, 0);
    const json out = readJson(dir.file("out.json"));
    EXPECT_EQ(schemaCheck().check(out), "");
    EXPECT_EQ(out["summary"]["files"], 3);
    expectJsonAgreesWithReport(out, nqtest::readFile(dir.file("report.txt")));
}

std::string comparisonName(const ::testing::TestParamInfo<std::vector<std::string>>& info) {
    static const char* const kNames[] = {"Regions", "ZoneClass", "SegOnlyMergedLinesRle"};
    return kNames[info.index];
}

INSTANTIATE_TEST_SUITE_P(
    Comparisons, Examples,
    ::testing::Values(std::vector<std::string>{}, std::vector<std::string>{"-zoneclass"},
                      std::vector<std::string>{"-segonly", "-m", "merge.txt", "-lid", "-rle"}),
    comparisonName);

TEST_F(Examples, OutputOptionsLeaveStdoutReportAndVisualFilesAsTheyWere) {
    const e2e::Run plain = run({"-o", "plain.txt", "-v", "vis1"});
    const e2e::Run full =
        run({"-o", "full.txt", "-v", "vis2", "-json", "out.json", "-vimg", "pics"});
    EXPECT_EQ(full.out, plain.out);
    EXPECT_EQ(full.err, "");  // no progress line: standard error is not a terminal
    const std::regex command("Command Option : [^\n]*\n");
    EXPECT_EQ(
        std::regex_replace(e2e::maskTimes(nqtest::readFile(dir.file("full.txt"))), command, ""),
        std::regex_replace(e2e::maskTimes(nqtest::readFile(dir.file("plain.txt"))), command, ""));
    for (const char* name : {"p001.evl.xml", "p002.evl.xml", "p003.evl.xml"})
        EXPECT_EQ(nqtest::readFile(dir.file(std::string("vis2/") + name)),
                  nqtest::readFile(dir.file(std::string("vis1/") + name)))
            << name;
    for (const char* name : {"p001.page1.png", "p002.page1.png", "p003.page1.png"})
        EXPECT_TRUE(fs::is_regular_file(dir.file(std::string("pics/") + name))) << name;
}

TEST_F(Examples, SchemaRefusesNumbersAsTextMissingCountsAndUnknownKeys) {
    // Shows the schema is strict: the run's own document with one fault each fails.
    ASSERT_EQ(run({"-o", "report.txt", "-json", "out.json"}).status, 0);
    const json sound = readJson(dir.file("out.json"));
    const nqtest::JsonSchemaCheck check = schemaCheck();
    json faulty = sound;
    faulty["classes"][0]["precision"] = twoDecimals(sound["classes"][0]["precision"]);
    EXPECT_NE(check.check(faulty), "");
    faulty = sound;
    faulty["files"][0]["pages"][0]["counts"].erase("missed");
    EXPECT_EQ(check.check(faulty), "$.files[0].pages[0].counts: missed is missing");
    faulty = sound;
    faulty["summary"]["accuracy"] = 1;
    EXPECT_EQ(check.check(faulty), "$.summary: accuracy is not allowed");
}

TEST(JsonFile, OfARunStoppedEarlySaysSoAndOneThatCannotBeWrittenIsReported) {
    // Shows: at Load XML Error the JSON still holds the pair compared before,
    // marked incomplete; an unwritable JSON path is one line at the end.
    e2e::Workspace ws;
    e2e::writeTiff(ws.file("images/page.tif"), 100, 60, {{{20, 20, 10, 10}}});
    const std::string xml =
        e2e::documentXml("page.tif", 100, 60, {{zone("1", 15, 15, 21, 21, "text")}});
    for (const char* name : {"gt/a.xml", "gt/b.xml", "res/a.xml"})
        ws.write(name, xml);
    fs::create_symlink(ws.file("nowhere.xml"), ws.file("res/b.xml"));
    const std::vector<std::string> words{"-g", "gt", "-r", "res", "-i", "images", "-o", "r.txt"};
    std::vector<std::string> withJson = words;
    withJson.insert(withJson.end(), {"-json", "out.json"});
    EXPECT_EQ(e2e::runWexa(ws.path(), withJson).out, "res/a.xml\nLoad XML Error\n");
    const json out = readJson(ws.file("out.json"));
    EXPECT_EQ(schemaCheck().check(out), "");
    EXPECT_EQ(out["complete"], false);
    EXPECT_EQ(out["summary"]["files"], 1);
    ASSERT_EQ(out["files"].size(), 1u);
    EXPECT_EQ(out["files"][0]["pages"][0]["counts"]["matched"], 1);

    fs::remove(ws.file("res/b.xml"));
    std::vector<std::string> unwritable = words;
    unwritable.insert(unwritable.end(), {"-json", "no/out.json"});
    EXPECT_EQ(e2e::runWexa(ws.path(), unwritable).out,
              "res/a.xml\nJSON file no/out.json can not be written!!!\n");
}

// ---- real scans
// -----------------------------------------------------------------------------------

TEST(RealDataJson, AgreesWithTheReportNumberForNumber) {
    const std::string root = fs::path(nqtest::sharedPath("realdata")).lexically_normal().string();
    if (!fs::is_directory(root + "/gt"))
        GTEST_SKIP() << "no real data at " << root;
    nqtest::TempDir work;
    const e2e::Run run =
        e2e::runWexa(work.path(), {"-g", root + "/gt", "-r", root + "/res", "-i", root + "/images",
                                   "-o", "report.txt", "-detail", "-json", "out.json"});
    ASSERT_EQ(run.status, 0);
    const json out = readJson(work.file("out.json"));
    EXPECT_EQ(schemaCheck().check(out), "");
    EXPECT_EQ(out["summary"]["files"], 35);
    expectJsonAgreesWithReport(out, nqtest::readFile(work.file("report.txt")));
}

// ---- pictures
// -----------------------------------------------------------------------------------------

TEST(Pictures, OutlinesTakeTheColourOfTheirOutcomeOnTheLightenedPage) {
    // Shows: one region of each outcome, each outline in its colour at its
    // left edge; print becomes mid grey, paper stays white.
    e2e::Workspace ws;
    e2e::writeTiff(ws.file("images/p.tif"), 300, 100,
                   {{{20, 15, 40, 10}, {110, 15, 40, 10}, {210, 15, 40, 10}, {20, 65, 40, 10}}});
    ws.write("gt/doc.xml", e2e::documentXml("p.tif", 300, 100,
                                            {{zone("g1", 10, 10, 61, 21, "text"),
                                              zone("g2", 100, 10, 61, 21, "figure"),
                                              zone("g4", 10, 60, 61, 21, "text")}}));
    ws.write("res/doc.xml", e2e::documentXml("p.tif", 300, 100,
                                             {{zone("r1", 10, 10, 61, 21, "text"),
                                               zone("r2", 100, 10, 61, 21, "text"),
                                               zone("r3", 200, 10, 61, 21, "text")}}));
    ASSERT_EQ(e2e::runWexa(ws.path(), {"-g", "gt", "-r", "res", "-i", "images", "-o", "r.txt",
                                       "-vimg", "pics"})
                  .status,
              0);
    const NQImage picture(ws.file("pics/doc.page1.png").c_str());
    ASSERT_EQ(picture.nqGetBitsPerPixel(), 24);
    auto rgb = [&](int x, int y) {
        unsigned char r, g, b;
        picture.nqGetPixel(x, y, r, g, b);
        return std::vector<int>{r, g, b};
    };
    EXPECT_EQ(rgb(10, 20), (std::vector<int>{0, 160, 60}));     // matched
    EXPECT_EQ(rgb(100, 20), (std::vector<int>{240, 150, 0}));   // detected
    EXPECT_EQ(rgb(200, 20), (std::vector<int>{220, 0, 0}));     // false alarm
    EXPECT_EQ(rgb(10, 70), (std::vector<int>{0, 90, 230}));     // missed
    EXPECT_EQ(rgb(12, 20), (std::vector<int>{255, 255, 255}));  // just inside a 3-pixel pen
    EXPECT_EQ(rgb(30, 20), (std::vector<int>{153, 153, 153}));  // print, lightened
}

// ---- progress, help and version
// ---------------------------------------------------------------------

TEST(Progress, IsDrawnInPlaceOnATerminalAndErasedAtTheEnd) {
    // Shows: with standard error on a pseudo-terminal the line counts the
    // files and is erased at the end; standard output is as without it.
    e2e::Workspace ws;
    e2e::writeTiff(ws.file("images/p.tif"), 100, 60, {{{20, 20, 10, 10}}});
    const std::string xml = e2e::documentXml("p.tif", 100, 60, {{zone("1", 15, 15, 21, 21, "t")}});
    for (const char* name : {"gt/a.xml", "gt/b.xml", "res/a.xml", "res/b.xml"})
        ws.write(name, xml);
    int terminal = -1;
    const pid_t child = forkpty(&terminal, nullptr, nullptr, nullptr);
    ASSERT_GE(child, 0);
    if (child == 0) {
        const int out = open(ws.file("stdout.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(out, STDOUT_FILENO);
        if (chdir(ws.path().c_str()) == 0)
            execl(WEXA_BINARY, WEXA_BINARY, "-g", "gt", "-r", "res", "-i", "images", "-o", "r.txt",
                  static_cast<char*>(nullptr));
        _exit(127);
    }
    std::string seen;
    char buffer[256];
    for (ssize_t n; (n = read(terminal, buffer, sizeof buffer)) > 0;)
        seen.append(buffer, static_cast<std::size_t>(n));
    int status = 0;
    waitpid(child, &status, 0);
    close(terminal);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_TRUE(std::regex_search(
        seen,
        std::regex("\r\033\\[Kfile 1 of 2, [0-9]+:[0-9]{2} elapsed, estimating the time left")))
        << seen;
    EXPECT_NE(seen.find("\r\033[Kfile 2 of 2, "), std::string::npos) << seen;
    EXPECT_EQ(seen.substr(seen.size() - 4), "\r\033[K") << seen;
    EXPECT_EQ(ws.read("stdout.txt"), "res/a.xml\nres/b.xml\n");
}

TEST(HelpAndVersion, AnswerOnAnyCommandLineWithoutWritingAReport) {
    // Shows: -h and --help give the same usage, listing every option, also
    // after an option that would be refused; --version names the version.
    nqtest::TempDir dir;
    const e2e::Run shortHelp = e2e::runWexa(dir.path(), {"-g", "missing", "-h"});
    const e2e::Run longHelp = e2e::runWexa(dir.path(), {"--help"});
    EXPECT_EQ(shortHelp.status, 0);
    EXPECT_EQ(shortHelp.out, longHelp.out);
    for (const char* option :
         {"-g",       "-r",         "-detail",  "-o",        "-i",         "-v",       "-t",
          "-segonly", "-zoneclass", "-rle",     "-m",        "-lid",       "-az",      "-naz",
          "-json",    "-vimg",      "-pageimg", "-minscore", "-h, --help", "--version"})
        EXPECT_NE(shortHelp.out.find(std::string("\n  ") + option + " "), std::string::npos)
            << option;
    EXPECT_NE(shortHelp.out.find("\nExample:\n  wexa -g "), std::string::npos);
    const e2e::Run version = e2e::runWexa(dir.path(), {"--version", "-g", "missing"});
    EXPECT_TRUE(std::regex_match(version.out, std::regex("wexa [0-9]+\\.[0-9]+\\.[0-9]+\n")))
        << version.out;
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 0);
}

}  // namespace
