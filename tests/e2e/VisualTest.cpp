// Annotated result files (-v), read back with the library's XML reader.
#include <gtest/gtest.h>

#include <map>

#include "docmodel/NQDocument.h"
#include "tests/e2e/E2ESupport.h"
#include "tests/e2e/Fixtures.h"
#include "xml/NQxml.h"

namespace {

using e2e::zone;
using Tags = std::map<std::string, std::string>;

// Per page, per zone: id, geometry and the tags the annotation concerns.
struct Seen {
    std::string id;
    int col, row, width, height;
    Tags tags;
};

std::vector<std::vector<Seen>> readBack(const std::string& file, const std::string& images) {
    NQxml reader;
    const NQDocument document = reader.nqReadFromXmlFile(file, images);
    std::vector<std::vector<Seen>> pages;
    for (const NQPage* page : document.nqGetPageList()) {
        pages.emplace_back();
        for (const NQZone* z : page->nqGetZoneList()) {
            Tags tags;
            for (const auto& tag : z->nqGetTags().nqGetTags())
                tags.insert(tag);
            pages.back().push_back(Seen{z->nqGetZoneId(), z->nqGetZoneOrigin().x,
                                        z->nqGetZoneOrigin().y, z->nqGetZoneWidth(),
                                        z->nqGetZoneHeight(), tags});
        }
    }
    return pages;
}

class Visual : public ::testing::Test {
protected:
    void SetUp() override {
        // Page 1: two ground-truth zones and an empty result page. Page 2: a
        // match, a partial find below the threshold (66.67 %) and a find on
        // white paper.
        e2e::writeTiff(
            ws.file("images/two.tif"), 200, 100,
            {{{20, 20, 40, 10}, {120, 20, 40, 10}}, {{20, 20, 40, 10}, {110, 20, 40, 10}}});
        ws.write(
            "gt/doc.xml",
            e2e::documentXml(
                "two.tif", 200, 100,
                {{zone("g1", 10, 10, 61, 21, "text"), zone("g2", 110, 10, 61, 21, "figure")},
                 {zone("g3", 10, 10, 61, 21, "text"), zone("g4", 100, 10, 61, 21, "figure")}}));
        ws.write("res/doc.xml", e2e::documentXml("two.tif", 200, 100,
                                                 {{},
                                                  {zone("r1", 10, 10, 61, 21, "text"),
                                                   zone("r2", 130, 10, 41, 21, "figure"),
                                                   zone("r3", 150, 60, 41, 31, "figure")}}));
        // A second file: its missed zones are numbered from 1 again.
        ws.write("gt/other.xml",
                 e2e::documentXml("two.tif", 200, 100, {{zone("g1", 10, 10, 61, 21, "text")}}));
        ws.write("res/other.xml", e2e::documentXml("two.tif", 200, 100, {{}}));
    }

    e2e::Workspace ws;
};

TEST_F(Visual, AnnotatesOutcomesAndAddsMissedZonesNumberedAcrossPages) {
    // Shows: MATCHED and FALSEALRAM zones with partner and score, and MISS1..3
    // over the two pages of one file, MISS1 again in the next file.
    const e2e::Run run = e2e::runWexa(ws.path(), {"-g", "gt", "-r", "res", "-i", "images", "-o",
                                                  "report.txt", "-v", "vis", "-detail"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "res/doc.xml\nres/other.xml\n");
    EXPECT_NE(ws.read("report.txt")
                  .find("Page ID : 1\n-------------\n[OVERALL] 0/0/0/0, 0.00%\n\n"
                        "Page ID : 2\n-------------\n"),
              std::string::npos);

    const auto doc = readBack(ws.file("vis/doc.evl.xml"), ws.file("images"));
    ASSERT_EQ(doc.size(), 2u);
    ASSERT_EQ(doc[0].size(), 2u);
    const Seen& miss1 = doc[0][0];
    EXPECT_EQ(miss1.id, "MISS1");
    EXPECT_EQ(std::vector<int>({miss1.col, miss1.row, miss1.width, miss1.height}),
              std::vector<int>({10, 10, 60, 20}));
    EXPECT_EQ(miss1.tags,
              (Tags{{"GTClass", "text"}, {"GTID", "g1"}, {"qola_type", "MISSED"}, {"score", ""}}));
    EXPECT_EQ(doc[0][1].id, "MISS2");
    EXPECT_EQ(
        doc[0][1].tags,
        (Tags{{"GTClass", "figure"}, {"GTID", "g2"}, {"qola_type", "MISSED"}, {"score", ""}}));

    ASSERT_EQ(doc[1].size(), 4u);
    EXPECT_EQ(doc[1][0].id, "r1");
    EXPECT_EQ(doc[1][0].tags, (Tags{{"GTClass", "text"},
                                    {"GTID", "g3"},
                                    {"MZID", "0"},
                                    {"RESClass", "text"},
                                    {"RESID", "r1"},
                                    {"qola_type", "MATCHED"},
                                    {"score", "100.00"}}));
    EXPECT_EQ(doc[1][1].tags, (Tags{{"MZID", "1"},
                                    {"RESClass", "figure"},
                                    {"RESID", "r2"},
                                    {"qola_type", "FALSEALRAM"},
                                    {"score", "66.67"}}));
    EXPECT_EQ(doc[1][2].tags, (Tags{{"MZID", "2"},
                                    {"RESClass", "figure"},
                                    {"RESID", "r3"},
                                    {"qola_type", "FALSEALRAM"},
                                    {"score", ""}}));
    const Seen& miss3 = doc[1][3];
    EXPECT_EQ(miss3.id, "MISS3");
    EXPECT_EQ(std::vector<int>({miss3.col, miss3.row, miss3.width, miss3.height}),
              std::vector<int>({100, 10, 60, 20}));
    EXPECT_EQ(
        miss3.tags,
        (Tags{{"GTClass", "figure"}, {"GTID", "g4"}, {"qola_type", "MISSED"}, {"score", "66.67"}}));

    const auto other = readBack(ws.file("vis/other.evl.xml"), ws.file("images"));
    ASSERT_EQ(other.size(), 1u);
    ASSERT_EQ(other[0].size(), 1u);
    EXPECT_EQ(other[0][0].id, "MISS1");
}

TEST_F(Visual, RleWritesTheRunLengthTextOfEachRegion) {
    // Shows: with -rle, result zones without RLEIMAGE and missed zones get
    // the run-length text of their region's mask: ten rows of ink from
    // column 10 to 50 of a 60-pixel-wide mask.
    EXPECT_EQ(e2e::runWexa(ws.path(), {"-g", "gt", "-r", "res", "-i", "images", "-o", "report.txt",
                                       "-v", "vis", "-rle"})
                  .status,
              0);
    std::string rows;
    for (int row = 10; row < 20; ++row)
        rows += "(" + std::to_string(row) + ",10,50);";
    const auto doc = readBack(ws.file("vis/doc.evl.xml"), ws.file("images"));
    ASSERT_EQ(doc.size(), 2u);
    ASSERT_EQ(doc[1].size(), 4u);
    EXPECT_EQ(doc[1][0].tags.at("RLEIMAGE"), rows);
    EXPECT_EQ(doc[1][3].tags.at("RLEIMAGE"), rows);
    EXPECT_EQ(doc[0][0].tags.at("RLEIMAGE"), rows);
    // r3 lies on white paper: no run at all.
    EXPECT_EQ(doc[1][2].tags.count("RLEIMAGE"), 1u);
    EXPECT_EQ(doc[1][2].tags.at("RLEIMAGE"), "");
}

TEST_F(Visual, AFileToFileRunWithADirectoryInTheResultPathReportsTheUnwritableFile) {
    // Shows: the visual name keeps the result path's directory part; when that
    // directory is missing below -v, the failed write is reported, not hidden.
    const e2e::Run run = e2e::runWexa(ws.path(), {"-g", "gt/other.xml", "-r", "res/other.xml", "-i",
                                                  "images", "-o", "report.txt", "-v", "vis"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "res/other.xml\nVisual file vis/res/other.evl.xml can not be written!!!\n");

    boost::filesystem::create_directory(ws.file("vis/res"));
    const e2e::Run again =
        e2e::runWexa(ws.path(), {"-g", "gt/other.xml", "-r", "res/other.xml", "-i", "images", "-o",
                                 "report.txt", "-v", "vis"});
    EXPECT_EQ(again.out, "res/other.xml\n");
    EXPECT_TRUE(boost::filesystem::is_regular_file(ws.file("vis/res/other.evl.xml")));
}

TEST_F(Visual, AMissedRegionThePageRefusesIsReportedAndLeftOut) {
    // Shows: a missed ground-truth polygon reaching left of the page gives a
    // MISS zone the result page cannot take: one line, and the run goes on.
    ws.write(
        "gt/edge.xml",
        e2e::documentXml(
            "two.tif", 200, 100,
            {{zone("e1", 0, 10, 30, 30, "text", {{"polygon", "(-5,10)(30,10)(30,40)(-5,40)"}})}}));
    ws.write("res/edge.xml", e2e::documentXml("two.tif", 200, 100, {{}}));
    const e2e::Run run = e2e::runWexa(ws.path(), {"-g", "gt/edge.xml", "-r", "res/edge.xml", "-i",
                                                  "images", "-o", "report.txt", "-v", "."});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "res/edge.xml\nAppend zone is failed\n");
    const auto doc = readBack(ws.file("res/edge.evl.xml"), ws.file("images"));
    ASSERT_EQ(doc.size(), 1u);
    EXPECT_TRUE(doc[0].empty());
}

}  // namespace
