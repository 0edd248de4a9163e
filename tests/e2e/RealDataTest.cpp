// Runs over the real scans in ../shared/realdata (35 historical pages with
// region ground truth of up to 1,254 polygon points): they complete, read
// every page (TIFF and JPEG), and give plausible numbers.
#include <gtest/gtest.h>

#include <cstdlib>
#include <regex>

#include <boost/filesystem.hpp>

#include "docmodel/NQDocument.h"
#include "tests/e2e/E2ESupport.h"
#include "xml/NQxml.h"

namespace {

namespace fs = boost::filesystem;

class RealData : public ::testing::Test {
protected:
    void SetUp() override {
        root = fs::path(nqtest::sharedPath("realdata")).lexically_normal().string();
        if (!fs::is_directory(root + "/gt"))
            GTEST_SKIP() << "no real data at " << root;
    }

    // Pairs whose two files the library reads, as the run will count them.
    unsigned readablePairs(const std::string& gtDir) const {
        unsigned pairs = 0;
        for (fs::directory_iterator entry(root + "/res"), end; entry != end; ++entry) {
            const std::string name = entry->path().filename().string();
            if (name.find(".xml") == std::string::npos)
                continue;
            try {
                NQxml resultReader, gtReader;
                resultReader.nqReadFromXmlFile(root + "/res/" + name, root + "/images");
                gtReader.nqReadFromXmlFile(root + "/" + gtDir + "/" + name, root + "/images");
                ++pairs;
            } catch (...) {
            }
        }
        return pairs;
    }

    // Runs wexa and checks what every run over the real data must show; returns the report.
    std::string evaluate(const std::string& gtDir, std::vector<std::string> extra) {
        std::vector<std::string> words{"-g", root + "/" + gtDir, "-r", root + "/res",
                                       "-i", root + "/images",   "-o", "report.txt"};
        words.insert(words.end(), extra.begin(), extra.end());
        const e2e::Run run = e2e::runWexa(work.path(), words);
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.err, "");
        EXPECT_EQ(run.out.find("Evaluation Error"), std::string::npos) << run.out;
        const std::string report = nqtest::readFile(work.file("report.txt"));
        std::smatch files, accuracy;
        EXPECT_TRUE(std::regex_search(report, files, std::regex("- Number of Files : ([0-9]+)\n")));
        EXPECT_EQ(static_cast<unsigned>(std::stoul(files[1])), readablePairs(gtDir));
        // Every page: 32 TIFF and 3 JPEG scans.
        EXPECT_EQ(std::stoul(files[1]), 35u);
        EXPECT_TRUE(std::regex_search(
            report, accuracy,
            std::regex("- Accuracy of Zone Detecting\\(average\\) : ([0-9.]+)%\n")));
        const double average = std::stod(accuracy[1]);
        EXPECT_GT(average, 60.0);
        EXPECT_LT(average, 100.0);
        EXPECT_NE(e2e::maskTimes(report).find("\nEvaluation process is finished at <time>\n"),
                  std::string::npos);
        return report;
    }

    std::string root;
    nqtest::TempDir work;
};

TEST_F(RealData, RegionGroundTruthAgainstThePerturbedResult) {
    const std::string report = evaluate("gt", {"-detail", "-v", work.file("vis")});
    // Every listed class has its row; text paragraphs are the bulk.
    EXPECT_NE(report.find("text:paragraph"), std::string::npos);
    EXPECT_NE(report.find("[OVERALL] "), std::string::npos);
    EXPECT_EQ(std::distance(fs::directory_iterator(work.file("vis")), fs::directory_iterator()),
              35);
    for (const char* page : {"clauren_mimil_1815_0122.jpg\n", "herder_geschichte03_1787_0007.jpg\n",
                             "hilbert_zahlkoerper_1897_0370.jpg\n"})
        EXPECT_NE(report.find(page), std::string::npos) << page;
}

TEST_F(RealData, LineGroundTruthGroupedByLineId) {
    evaluate("gt_lines", {"-lid"});
}

TEST_F(RealData, SegmentationOnlyWithMergedTextZones) {
    nqtest::writeFile(work.file("merge.txt"), "80 zone");
    evaluate("gt", {"-segonly", "-m", work.file("merge.txt"), "-rle"});
}

}  // namespace
