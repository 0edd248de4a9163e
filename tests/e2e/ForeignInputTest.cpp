// Runs on PAGE XML and COCO JSON inputs: the real PAGE files score as their
// conversions into our own format; COCO files made here from the example
// data set, on either side and in every pairing, give the numbers of the
// same zones in our own format; bad files are named on standard output while
// the run goes on.
#include <gtest/gtest.h>

#include <regex>
#include <set>

#include <boost/filesystem.hpp>
#include <nlohmann/json.hpp>

#include "docmodel/NQDocument.h"
#include "docmodel/NQPage.h"
#include "docmodel/NQZone.h"
#include "tests/e2e/E2ESupport.h"
#include "tests/e2e/Fixtures.h"
#include "xml/NQxml.h"

namespace {

namespace fs = boost::filesystem;
using nlohmann::json;

// The report from the line after "Command Option : " on, with times masked.
std::string reportBody(const std::string& file) {
    const std::string report = e2e::maskTimes(nqtest::readFile(file));
    const std::size_t command = report.find("Command Option : ");
    return command == std::string::npos ? report : report.substr(report.find('\n', command));
}

json readJson(const std::string& file) {
    return json::parse(nqtest::readFile(file));
}

// The numbers of a JSON outcome, without options and file names.
json totals(const json& outcome) {
    return json{{"summary", outcome["summary"]},
                {"classes", outcome["classes"]},
                {"matrix", outcome["confusionMatrix"]}};
}

std::string srcOf(const std::string& nativeFile) {
    std::smatch src;
    const std::string text = nqtest::readFile(nativeFile);
    return std::regex_search(text, src, std::regex("src=\"([^\"]*)\"")) ? src[1].str() : "";
}

// ---- the real PAGE files ---------------------------------------------------------------------

struct PageRun {
    const char* gtDir;
    std::vector<std::string> extra;
};

class RealPageFiles : public ::testing::TestWithParam<PageRun> {
protected:
    void SetUp() override {
        root = fs::path(nqtest::sharedPath("realdata")).lexically_normal().string();
        if (!fs::is_directory(root + "/page"))
            GTEST_SKIP() << "no PAGE files at " << root;
    }
    std::vector<std::string> pageNames() const {
        std::vector<std::string> names;
        for (fs::directory_iterator entry(root + "/page"), end; entry != end; ++entry)
            names.push_back(entry->path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    std::string root;
    nqtest::TempDir work;
};

// The data set keeps its images under other names than the PAGE files give,
// so the copies name the image of the native conversion. The native files
// compared with themselves are the measure: the two separators that cover no
// ink cannot score in any comparison.
TEST_P(RealPageFiles, ScoreAsTheirNativeConversions) {
    const std::string gtDir = root + "/" + GetParam().gtDir;
    fs::create_directories(work.file("page"));
    fs::create_directories(work.file("native"));
    for (const std::string& name : pageNames()) {
        const std::string text = nqtest::readFile(root + "/page/" + name);
        nqtest::writeFile(
            work.file("page/" + name),
            std::regex_replace(text, std::regex("imageFilename=\"[^\"]*\""),
                               "imageFilename=\"" + srcOf(gtDir + "/" + name) + "\""));
        fs::create_symlink(gtDir + "/" + name, work.file("native/" + name));
    }
    std::vector<std::string> words{"-g", gtDir,      "-r",    "page",      "-i", root + "/images",
                                   "-o", "page.txt", "-json", "page.json", "-v", "vis"};
    words.insert(words.end(), GetParam().extra.begin(), GetParam().extra.end());
    const e2e::Run page = e2e::runWexa(work.path(), words);
    std::vector<std::string> native{"-g", "native",         "-r", "native",
                                    "-i", root + "/images", "-o", "native.txt"};
    native.insert(native.end(), GetParam().extra.begin(), GetParam().extra.end());
    ASSERT_EQ(e2e::runWexa(work.path(), native).status, 0);

    ASSERT_EQ(page.status, 0);
    EXPECT_EQ(page.out.find("Error"), std::string::npos) << page.out;
    EXPECT_EQ(reportBody(work.file("page.txt")), reportBody(work.file("native.txt")));
    const json outcome = readJson(work.file("page.json"));
    EXPECT_EQ(outcome["summary"]["files"], pageNames().size());
    for (const json& file : outcome["files"]) {
        EXPECT_EQ(file["resultFormat"], "page");
        for (const json& p : file["pages"])
            for (const char* side : {"resultRegions", "groundTruthRegions"})
                for (const json& region : p[side])
                    EXPECT_TRUE(region["score"] == 100.0 || region["bestScore"].is_null())
                        << file["result"] << " " << region["id"];
    }
    // The annotated copies are in our own format, named after the PAGE files.
    const std::string first = pageNames().front();
    EXPECT_NE(nqtest::readFile(work.file("vis/" + first.substr(0, first.size() - 3) + "evl.xml"))
                  .find("<NQ_PAGE src=\""),
              std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(RegionsAndLines, RealPageFiles,
                         ::testing::Values(PageRun{"gt", {}}, PageRun{"gt_lines", {"-lid"}}));

// ---- COCO files made from the example data set ----------------------------------------------

// The zones of a native directory's documents as COCO annotations: outlines
// as segmentation polygons, rectangles as boxes.
struct CocoPages {
    json images = json::array();
    json annotations = json::array();  // category ids are class names until numbered
};

CocoPages cocoPagesOf(const std::string& dir, const std::string& imageDir) {
    CocoPages pages;
    const std::regex point("\\((-?[0-9]+),(-?[0-9]+)\\)");
    for (const char* name : {"p001.xml", "p002.xml", "p003.xml"}) {
        const NQDocument document = NQxml().nqReadFromXmlFile(dir + "/" + name, imageDir);
        const NQPage& page = *document.nqGetPageList().front();
        const int imageId = static_cast<int>(pages.images.size()) + 1;
        pages.images.push_back(json{{"id", imageId},
                                    {"file_name", document.nqGetTag("src")},
                                    {"width", page.nqGetPageWidth()},
                                    {"height", page.nqGetPageHeight()}});
        for (const NQZone* zone : page.nqGetZoneList()) {
            json annotation{{"id", zone->nqGetZoneId()},
                            {"image_id", imageId},
                            {"category_id", zone->nqGetTag("qola_type")}};
            const std::string polygon = zone->nqGetTag("polygon");
            if (polygon.empty()) {
                annotation["bbox"] = {zone->nqGetZoneOrigin().x, zone->nqGetZoneOrigin().y,
                                      zone->nqGetZoneWidth(), zone->nqGetZoneHeight()};
            } else {
                json part = json::array();
                for (std::sregex_iterator p(polygon.begin(), polygon.end(), point), e; p != e; ++p)
                    part.insert(part.end(), {std::stoi((*p)[1]), std::stoi((*p)[2])});
                annotation["segmentation"] = json::array({part});
            }
            pages.annotations.push_back(annotation);
        }
    }
    return pages;
}

// Numbers the categories of the annotations from `firstId` on, in the order
// of `names`; the data set then lists them.
json numbered(CocoPages pages, const std::vector<std::string>& names, int firstId,
              int imageIdOffset) {
    json categories = json::array();
    for (std::size_t k = 0; k < names.size(); ++k)
        categories.push_back(json{{"id", firstId + static_cast<int>(k)}, {"name", names[k]}});
    for (json& a : pages.annotations) {
        const auto at = std::find(names.begin(), names.end(), a["category_id"].get<std::string>());
        a["category_id"] = firstId + static_cast<int>(at - names.begin());
        a["image_id"] = a["image_id"].get<int>() + imageIdOffset;
    }
    for (json& image : pages.images)
        image["id"] = image["id"].get<int>() + imageIdOffset;
    return json{
        {"images", pages.images}, {"annotations", pages.annotations}, {"categories", categories}};
}

// The example set, its ground truth as a COCO data set (gt.json), its
// results as a COCO data set of other image and category ids (res.json) and
// as a detection list on the ground truth's ids (dets.json) with one more
// detection, of score 0.1, than there are result zones.
class CocoExamples : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(std::system((e2e::quoted(WEXA_EXAMPLE_BINARY) + " " + e2e::quoted(work.path()) +
                               " > /dev/null")
                                  .c_str()),
                  0);
        const CocoPages gt = cocoPagesOf(work.file("gt"), work.file("images"));
        const CocoPages res = cocoPagesOf(work.file("res"), work.file("images"));
        std::vector<std::string> names;
        for (const CocoPages* side : {&gt, &res})
            for (const json& a : side->annotations)
                if (std::find(names.begin(), names.end(), a["category_id"]) == names.end())
                    names.push_back(a["category_id"]);
        const json gtSet = numbered(gt, names, 1, 0);
        nqtest::writeFile(work.file("gt.json"), gtSet.dump(1));
        nqtest::writeFile(work.file("res.json"), numbered(res, names, 50, 10).dump());
        json detections = numbered(res, names, 1, 0)["annotations"];
        for (json& d : detections)
            d["score"] = 0.9;
        detections.push_back(
            json{{"image_id", 1}, {"category_id", 1}, {"bbox", {10, 10, 50, 50}}, {"score", 0.1}});
        nqtest::writeFile(work.file("dets.json"), detections.dump());
    }
    e2e::Run run(std::vector<std::string> words, const std::string& output) const {
        words.insert(words.end(),
                     {"-i", "images", "-o", output + ".txt", "-json", output + ".json"});
        return e2e::runWexa(work.path(), words);
    }
    nqtest::TempDir work;
};

TEST_F(CocoExamples, GiveTheNumbersOfTheSameZonesInOurOwnFormat) {
    ASSERT_EQ(run({"-g", "gt", "-r", "res"}, "native").status, 0);
    const json native = readJson(work.file("native.json"));
    const std::vector<std::vector<std::string>> layouts{
        {"-g", "gt.json", "-r", "dets.json", "-minscore", "0.5", "-j", "3"},
        {"-g", "gt.json", "-r", "res.json", "-v", "vis"},
        {"-g", "gt.json", "-r", "res"},
        {"-g", "gt", "-r", "res.json"},
    };
    for (std::size_t k = 0; k < layouts.size(); ++k) {
        SCOPED_TRACE(k);
        const std::string name = "coco" + std::to_string(k);
        const e2e::Run coco = run(layouts[k], name);
        ASSERT_EQ(coco.status, 0);
        EXPECT_EQ(coco.out.find("Error"), std::string::npos) << coco.out;
        EXPECT_EQ(reportBody(work.file(name + ".txt")), reportBody(work.file("native.txt")));
        const json outcome = readJson(work.file(name + ".json"));
        EXPECT_EQ(totals(outcome), totals(native));
        EXPECT_EQ(outcome["files"].size(), 3u);
    }
    // A COCO page's annotated copy is named after the file and the page's image.
    for (const char* page : {"p001", "p002", "p003"})
        EXPECT_NE(nqtest::readFile(work.file(std::string("vis/res.") + page + ".evl.xml"))
                      .find("<NQ_PAGE src=\"" + std::string(page) + ".tif\""),
                  std::string::npos);
    // A run split into shards and merged keeps every file's formats.
    for (const char* shard : {"1/2", "2/2"})
        ASSERT_EQ(
            e2e::runWexa(work.path(), {"-g", "gt.json", "-r", "res.json", "-i", "images", "-shard",
                                       shard, "-part", std::string("part") + shard[0]})
                .status,
            0);
    ASSERT_EQ(e2e::runWexa(work.path(),
                           {"merge", "-o", "merged.txt", "-json", "merged.json", "part1", "part2"})
                  .status,
              0);
    EXPECT_EQ(readJson(work.file("merged.json"))["files"],
              readJson(work.file("coco1.json"))["files"]);
    // Without -minscore the weak detection counts as one more result zone.
    ASSERT_EQ(run({"-g", "gt.json", "-r", "dets.json"}, "all").status, 0);
    EXPECT_EQ(readJson(work.file("all.json"))["summary"]["resultZones"],
              native["summary"]["resultZones"].get<int>() + 1);
}

// ---- bad input ------------------------------------------------------------------------------

std::string pageXml(const std::string& image, const std::string& regions) {
    return "<?xml version=\"1.0\"?>\n<PcGts xmlns=\"http://schema.primaresearch.org/PAGE/gts/"
           "pagecontent/2013-07-15\">\n<Page imageFilename=\"" +
           image + "\">\n" + regions + "</Page>\n</PcGts>\n";
}

// A 100 x 60 page (page.tif, and page_B.tif as its binarised twin) with two
// blots, and a native ground truth of them for every result name.
class BadInput : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* image : {"images/page.tif", "images/page_B.tif"})
            e2e::writeTiff(ws.file(image), 100, 60, {{{20, 20, 10, 10}, {60, 30, 20, 20}}});
        const std::string gt = e2e::documentXml(
            "page.tif", 100, 60,
            {{e2e::zone("r1", 20, 20, 10, 10, "text"), e2e::zone("r2", 60, 30, 20, 20, "image")}});
        for (const char* name : {"a.xml", "b.xml", "c.xml", "d.xml", "e.xml"})
            ws.write(std::string("gt/") + name, gt);
    }
    e2e::Workspace ws;
};

TEST_F(BadInput, PageFilesAreNamedWithWhatIsWrongAndTheRunGoesOn) {
    ws.write("res/a.xml",
             pageXml("page.tif",
                     "<TextRegion id=\"r1\"><Coords points=\"20,20 30,20 30,30 20,30\"/>"
                     "</TextRegion>\n<ImageRegion id=\"r2\"/>\n"
                     "<GraphicRegion id=\"r3\"><Coords points=\"200,100 220,100 220,120\"/>"
                     "</GraphicRegion>\n"));
    ws.write("res/b.xml", "<PcGts><Page imageFilename=\"page.tif\">");
    ws.write("res/c.xml", pageXml("scan.tif", ""));
    ws.write("res/d.xml", "[]");
    ws.write("res/e.xml", pageXml("garbage.tif", ""));
    ws.write("images/garbage.tif", "not an image");
    const e2e::Run run = e2e::runWexa(
        ws.path(), {"-g", "gt", "-r", "res", "-i", "images", "-o", "r.txt", "-json", "r.json"});
    EXPECT_EQ(run.out,
              "res/a.xml: region r2 has no coordinates, left out\n"
              "res/a.xml: region r3 lies outside the page, left out\n"
              "res/a.xml\n"
              "File read Error at res/b.xml: malformed XML: Start-end tags mismatch at byte 37\n"
              "File read Error at res/c.xml: page image scan.tif not found (tried res/scan.tif, "
              "images/scan.tif)\n"
              "File read Error at res/d.xml: is a COCO file of many pages, which is read when -g "
              "or -r names it\n"
              "File read Error at res/e.xml: Unsupported file format images/garbage.tif\n");
    EXPECT_NE(ws.read("r.txt").find("- Number of Files : 1\n"), std::string::npos);
    const json outcome = readJson(ws.file("r.json"));
    EXPECT_EQ(outcome["files"][2]["status"], "resultReadError");
    EXPECT_EQ(outcome["files"][2]["error"],
              "page image scan.tif not found (tried res/scan.tif, "
              "images/scan.tif)");

    // -pageimg: the binarised twin is read, and the missing image is looked for under its name.
    const e2e::Run twin = e2e::runWexa(ws.path(), {"-g", "gt", "-r", "res", "-i", "images", "-o",
                                                   "r.txt", "-json", "r.json", "-pageimg", "_B"});
    EXPECT_NE(twin.out.find("res/c.xml: page image scan_B.tif not found (tried res/scan_B.tif, "
                            "images/scan_B.tif)\n"),
              std::string::npos)
        << twin.out;
    EXPECT_EQ(readJson(ws.file("r.json"))["files"][0]["image"], "page_B.tif");
}

TEST_F(BadInput, CocoFilesAreNamedWithWhatIsWrongAndTheRunGoesOn) {
    ws.write("gt.json",
             R"({"images": [{"id": 1, "file_name": "page.tif", "width": 100, "height": 60}],
"categories": [{"id": 1, "name": "text"}, {"id": 2, "name": "image"}],
"annotations": [{"id": 7, "image_id": 99, "category_id": 1, "bbox": [20, 20, 10, 10]},
  {"id": 8, "image_id": 1, "category_id": 1, "segmentation": [[200, 100, 220, 100, 220, 120]]},
  {"id": 9, "image_id": 1, "category_id": 1, "bbox": [20, 20, 10, 10]},
  {"id": 10, "image_id": 1, "category_id": 2, "bbox": [60, 30, 20, 20]}]})");
    ws.write("bad.json", "{\"images\": [");
    for (const char* name : {"gt/b.xml", "gt/e.xml"})
        fs::remove(ws.file(name));
    const e2e::Run folder = e2e::runWexa(
        ws.path(), {"-g", "gt.json", "-r", "gt", "-i", "images", "-o", "r.txt", "-j", "2"});
    EXPECT_EQ(folder.out,
              "gt.json: annotation 7 names unknown image 99, left out\n"
              "gt/a.xml\n"
              "gt.json: annotation 8 lies outside the page, left out\n"
              "gt/c.xml\n"
              "gt.json: annotation 8 lies outside the page, left out\n"
              "gt/d.xml\n"
              "gt.json: annotation 8 lies outside the page, left out\n");
    EXPECT_NE(ws.read("r.txt").find("- Accuracy of Zone Detecting(average) : 100.00%\n"),
              std::string::npos);

    const e2e::Run malformed =
        e2e::runWexa(ws.path(), {"-g", "gt.json", "-r", "bad.json", "-i", "images", "-o", "r.txt"});
    EXPECT_EQ(malformed.out,
              "gt.json: annotation 7 names unknown image 99, left out\n"
              "File read Error at bad.json: malformed JSON at line 1, column 13: syntax error "
              "while parsing value - unexpected end of input; expected '[', '{', or a literal\n");
    EXPECT_NE(ws.read("r.txt").find("- Number of Files : 0\n"), std::string::npos);
}

}  // namespace
