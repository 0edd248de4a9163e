// The walk over a result directory, and files that cannot be read or hold
// hostile values: each is reported and the run goes on to its end.
#include <gtest/gtest.h>

#include <boost/filesystem.hpp>

#include "tests/e2e/E2ESupport.h"
#include "tests/e2e/Fixtures.h"

namespace {

namespace fs = boost::filesystem;
using e2e::zone;

bool endsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

TEST(DirectoryRun, PairsXmlNamesInOrderAndSkipsConfigSubdirectoriesAndMissingPartners) {
    // Shows: candidates are the non-directory names containing ".xml" except
    // QOLAConfig*, in byte order; a missing partner is one line and no file.
    e2e::Workspace ws;
    e2e::writeTiff(ws.file("images/page.tif"), 100, 60, {{{20, 20, 10, 10}}});
    const std::string xml =
        e2e::documentXml("page.tif", 100, 60, {{zone("1", 15, 15, 21, 21, "text")}});
    for (const char* name : {"b.xml", "a.xml", "c.xml", "x.xml.bak", "Z.xml"})
        ws.write(std::string("res/") + name, xml);
    for (const char* name : {"a.xml", "b.xml", "x.xml.bak", "Z.xml"})
        ws.write(std::string("gt/") + name, xml);
    // Never read: a configuration file, a directory with an XML name and a
    // link to it, a text file.
    ws.write("res/QOLAConfig.xml", "not xml at all");
    fs::create_directory(ws.file("res/d.xml"));
    fs::create_directory_symlink(ws.file("res/d.xml"), ws.file("res/l.xml"));
    ws.write("res/notes.txt", "not a candidate");

    const std::vector<std::string> words{"-g",     "gt", "-r",         "res", "-i",
                                         "images", "-o", "report.txt", "-v",  "vis"};
    const e2e::Run run = e2e::runWexa(ws.path(), words);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out,
              "res/Z.xml\n"
              "res/a.xml\n"
              "res/b.xml\n"
              "gt/c.xml is not found!!!\n"
              "res/x.xml.bak\n");
    // Without -detail the summary follows the head directly.
    const std::string report = e2e::maskTimes(ws.read("report.txt"));
    EXPECT_EQ(report.substr(0, e2e::reportHead(words).size() + 42),
              e2e::reportHead(words) + "==================\nSummary of Results\n====");
    EXPECT_NE(report.find("- Number of Files : 4\n"), std::string::npos) << report;
    for (const char* visual :
         {"vis/Z.evl.xml", "vis/a.evl.xml", "vis/b.evl.xml", "vis/x.xml.evl.bak"})
        EXPECT_TRUE(fs::is_regular_file(ws.file(visual))) << visual;
    EXPECT_FALSE(fs::exists(ws.file("vis/c.evl.xml")));
    EXPECT_EQ(std::distance(fs::directory_iterator(ws.file("vis")), fs::directory_iterator()), 4);
}

TEST(UnreadableFiles, AreReportedAndTheRunGoesOn) {
    // Shows: a missing or broken page image makes its file unreadable; the
    // message names that file, the pair is not counted, the next pair is read.
    e2e::Workspace ws;
    e2e::writeTiff(ws.file("images/page.tif"), 100, 60, {{{20, 20, 10, 10}}});
    static const char kBroken[] = "II*\0\x08\0\0\0 this is no image";
    ws.write("images/broken.tif", std::string(kBroken, sizeof kBroken - 1));
    const std::string good =
        e2e::documentXml("page.tif", 100, 60, {{zone("1", 15, 15, 21, 21, "text")}});
    ws.write("res/a.xml", e2e::documentXml("missing.tif", 100, 60, {{}}));
    ws.write("gt/a.xml", good);
    ws.write("res/b.xml", good);
    ws.write("gt/b.xml", e2e::documentXml("broken.tif", 100, 60, {{}}));
    ws.write("res/c.xml", good);
    ws.write("gt/c.xml", good);
    const e2e::Run run = e2e::runWexa(
        ws.path(), {"-g", "gt", "-r", "res", "-i", "images", "-o", "report.txt", "-detail"});
    EXPECT_EQ(run.status, 0);
    // The image library logs its own "Can't open" line for the missing image first.
    EXPECT_TRUE(endsWith(run.out,
                         "Can't open images/missing.tif\n"
                         "File read Error at res/a.xml\n"
                         "res/b.xml\n"
                         "File read Error at gt/b.xml\n"
                         "res/c.xml\n"))
        << run.out;
    const std::string report = ws.read("report.txt");
    EXPECT_NE(report.find("- Number of Files : 1\n"), std::string::npos) << report;
    EXPECT_NE(report.find("[OVERALL] 1/0/0/1, 100.00%\n"), std::string::npos) << report;
}

TEST(UnreadableFiles, HostileAttributeValuesCannotCrashTheRun) {
    // Shows: outlines far outside the page, angles that are no number, runs of
    // billions of pixels, odd ids and preset annotations all end in a report.
    e2e::Workspace ws;
    e2e::writeTiff(ws.file("images/page.tif"), 200, 100,
                   {{{20, 20, 40, 10}, {100, 20, 40, 10}, {20, 60, 60, 20}}});
    ws.write("gt/d.xml",
             e2e::documentXml("page.tif", 200, 100,
                              {{zone("1", 10, 10, 61, 21, "text", {{"lineID", "M0"}}),
                                zone("2", 90, 10, 61, 21, "text", {{"lineID", "M0"}}),
                                zone("3", 10, 50, 81, 41, "figure", {{"lineID", ""}})}}));
    ws.write("res/d.xml",
             e2e::documentXml(
                 "page.tif", 200, 100,
                 {{zone("p1", 0, 0, 10, 10, "text",
                        {{"polygon", "(-2000000000,5)(50,-99999999999)(100,90)"}}),
                   zone("o1", 10, 10, 61, 21, "text", {{"orientation", "inf"}}),
                   zone("o2", 90, 10, 61, 21, "text", {{"orientationD", "1e308"}}),
                   zone("r1", 10, 50, 81, 41, "figure",
                        {{"RLEIMAGE", "(0,-2147483648,2147483647);(99999999999,1,2);(1,2"}}),
                   zone("m1", 150, 50, 41, 41, "",
                        {{"MZID", "-5"}, {"RESID", "kept"}, {"score", "x"}, {"lineID", "M0"}}),
                   zone("M0", 0, 0, 200, 100, "text"), zone("big", 0, 0, 201, 100, "text")}}));
    ws.write("merge.txt", "0 text figure");
    const std::vector<std::vector<std::string>> runs{
        {"-rle", "-lid", "-v", "vis1", "-detail", "-t", "0"},
        {"-m", "merge.txt", "-rle", "-v", "vis2", "-detail", "-t", "0"},
        {"-segonly", "-lid", "-v", "vis3", "-detail"},
        {"-zoneclass", "-v", "vis4", "-detail"}};
    for (const auto& extra : runs) {
        std::vector<std::string> words{"-g", "gt", "-r", "res", "-i", "images", "-o", "r.txt"};
        words.insert(words.end(), extra.begin(), extra.end());
        const e2e::Run run = e2e::runWexa(ws.path(), words);
        SCOPED_TRACE(e2e::commandLine(words));
        EXPECT_EQ(run.status, 0) << run.err;
        // The reader leaves out the zone one pixel wider than the page.
        EXPECT_NE(run.out.find("res/d.xml\n"), std::string::npos) << run.out;
        EXPECT_EQ(run.out.find("File read Error"), std::string::npos) << run.out;
        EXPECT_EQ(run.err, "");
        const std::string report = ws.read("r.txt");
        EXPECT_NE(report.find("- Number of Files : 1\n"), std::string::npos) << report;
        EXPECT_TRUE(endsWith(e2e::maskTimes(report), e2e::reportEnd())) << report;
    }
}

TEST(UnreadableFiles, AnXmlFileThatCannotBeOpenedEndsTheRunWithLoadXmlError) {
    // Shows: a result name whose file cannot be opened (a dangling link) ends
    // the process inside the reader with status 0; the report stays unfinished.
    e2e::Workspace ws;
    e2e::writeTiff(ws.file("images/page.tif"), 100, 60, {{{20, 20, 10, 10}}});
    const std::string xml =
        e2e::documentXml("page.tif", 100, 60, {{zone("1", 15, 15, 21, 21, "text")}});
    ws.write("gt/a.xml", xml);
    ws.write("gt/b.xml", xml);
    ws.write("res/b.xml", xml);
    fs::create_symlink(ws.file("nowhere.xml"), ws.file("res/a.xml"));
    const e2e::Run run =
        e2e::runWexa(ws.path(), {"-g", "gt", "-r", "res", "-i", "images", "-o", "report.txt"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "Load XML Error\n");
    EXPECT_EQ(ws.read("report.txt").find("Summary of Results"), std::string::npos);
}

TEST(UnreadableFiles, LoadXmlErrorKeepsTheReportWrittenBeforeIt) {
    // Shows: the run stops at the unopenable file with status 0, and the
    // report holds its head and the lines of the pair compared before it.
    e2e::Workspace ws;
    e2e::writeTiff(ws.file("images/page.tif"), 100, 60, {{{20, 20, 10, 10}}});
    const std::string xml =
        e2e::documentXml("page.tif", 100, 60, {{zone("1", 15, 15, 21, 21, "text")}});
    for (const char* name : {"gt/a.xml", "gt/b.xml", "gt/c.xml", "res/a.xml", "res/c.xml"})
        ws.write(name, xml);
    fs::create_symlink(ws.file("nowhere.xml"), ws.file("res/b.xml"));
    const std::vector<std::string> words{"-g",     "gt", "-r",         "res",    "-i",
                                         "images", "-o", "report.txt", "-detail"};
    const e2e::Run run = e2e::runWexa(ws.path(), words);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "res/a.xml\nLoad XML Error\n");
    EXPECT_EQ(e2e::maskTimes(ws.read("report.txt")),
              e2e::reportHead(words) +
                  "==========================\nResult of Individual File\n"
                  "==========================\n\n"
                  "[O] : Matched, [-] : Detected, [X] : False Alarm\n\n"
                  "page.tif\n========\n\n"
                  "Page ID : 1\n-------------\n"
                  "[O]     1,     text,     1,     text, 100.00%\n"
                  "[OVERALL] 1/0/0/1, 100.00%\n\n");
}

TEST(ReportFile, ThatCannotBeWrittenIsReportedAndTheRunGoesOn) {
    // Shows: a report path in a missing directory is named on standard output;
    // the files are still read and the visual files still written.
    e2e::Workspace ws;
    e2e::writeTiff(ws.file("images/page.tif"), 100, 60, {{{20, 20, 10, 10}}});
    const std::string xml =
        e2e::documentXml("page.tif", 100, 60, {{zone("1", 15, 15, 21, 21, "text")}});
    ws.write("gt/a.xml", xml);
    ws.write("res/a.xml", xml);
    const e2e::Run run = e2e::runWexa(
        ws.path(), {"-g", "gt", "-r", "res", "-i", "images", "-o", "no/report.txt", "-v", "vis"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "Report file no/report.txt can not be written!!!\nres/a.xml\n");
    EXPECT_TRUE(fs::is_regular_file(ws.file("vis/a.evl.xml")));
}

}  // namespace
