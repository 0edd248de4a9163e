#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "docmodel/NQDocument.h"
#include "docmodel/NQPage.h"
#include "docmodel/NQZone.h"
#include "image/NQImage.h"
#include "support/TestSupport.h"
#include "xml/NQCocoJson.h"
#include "xml/NQInputFormat.h"
#include "xml/NQPageXml.h"

namespace {

constexpr const char* kPage2019 = "http://schema.primaresearch.org/PAGE/gts/pagecontent/2019-07-15";

// One line per zone: id, rectangle and tags.
std::string zones(const NQDocument& document) {
    std::string out;
    for (const NQPage* page : document.nqGetPageList())
        for (const NQZone* z : page->nqGetZoneList()) {
            out += z->nqGetZoneId() + " " + std::to_string(z->nqGetZoneOrigin().x) + "," +
                   std::to_string(z->nqGetZoneOrigin().y) + " " +
                   std::to_string(z->nqGetZoneWidth()) + "x" + std::to_string(z->nqGetZoneHeight());
            for (const auto& tag : z->nqGetTags().nqGetTags())
                out += " " + tag.first + "=" + tag.second;
            out += "\n";
        }
    return out;
}

std::string pageFile(const std::string& ns, const std::string& image, const std::string& body) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<PcGts xmlns=\"" + ns +
           "\" pcGtsId=\"doc1\">\n<Metadata><Creator>test</Creator></Metadata>\n"
           "<Page imageFilename=\"" +
           image + "\" imageWidth=\"40\" imageHeight=\"30\">\n" + body + "</Page></PcGts>\n";
}

// A 40 x 30 binary page image in images/, and files written next to it.
class ForeignFormatsTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(dir_.file("images"));
        NQImage image(40, 30, NQImageHead::NQ_1BIT);
        for (int y = 2; y < 28; ++y)
            for (int x = 2; x < 38; x += 2)
                image.nqSetPixel(x, y, 0);
        image.nqSaveImage(dir_.file("images/page.tif").c_str());
    }
    std::string write(const std::string& name, const std::string& text) {
        nqtest::writeFile(dir_.file(name), text);
        return dir_.file(name);
    }
    NQDocument readPage(const std::string& text, NQForeignReadOptions options = {}) {
        NQPageXml reader(options, messages_);
        return reader.nqReadFromPageFile(write("p.xml", text), dir_.file("images"));
    }
    NQCocoFile readCoco(const std::string& text) {
        return NQCocoFile::nqReadFromJsonFile(write("c.json", text), messages_);
    }

    nqtest::TempDir dir_;
    std::ostringstream messages_;
};

TEST(InputFormatTest, RecognisesFormatByContent) {
    using F = NQInputFormat;
    const std::vector<std::pair<std::string, F>> cases = {
        {"<?xml version=\"1.0\"?>\n<!-- c -->\n<QOLA><NQ_DOCUMENT/></QOLA>", F::NQ_NATIVE_XML},
        {"\xEF\xBB\xBF<?xml version=\"1.0\"?>\r\n<PcGts xmlns=\"x\">", F::NQ_PAGE_XML},
        {"<!-- PcGts --><!DOCTYPE x><?pi?><pc:PcGts xmlns:pc=\"x\">", F::NQ_PAGE_XML},
        {std::string("\xFF\xFE<\0P\0c\0G\0t\0s\0>\0", 16), F::NQ_PAGE_XML},
        {"<PcGtsX>", F::NQ_NATIVE_XML},
        {" \n {\"images\": []}", F::NQ_COCO_JSON},
        {"\xEF\xBB\xBF[]", F::NQ_DETECTION_LIST},
        {"", F::NQ_NATIVE_XML},
    };
    for (const auto& c : cases)
        EXPECT_EQ(nqDetectInputFormatOfText(c.first), c.second) << c.first;
    EXPECT_EQ(nqDetectInputFormat("/no/such/file"), F::NQ_NATIVE_XML);
}

// Files are read in steps until the bytes decide; the markup in front of the
// root element and its name may cross a step, and a root element that starts
// beyond the 64 KiB looked at is not PAGE.
TEST(InputFormatTest, FileIsRecognisedLikeItsWholeHead) {
    nqtest::TempDir dir;
    const std::string file = dir.file("head.xml");
    // `lead` bytes in front of "<PcGts>"
    for (const std::size_t lead : {4080, 4090, 4093, 4096, 8187, 65530, 65531}) {
        const std::string text = "<!--" + std::string(lead - 7, 'x') + "--><PcGts>\n";
        nqtest::writeFile(file, text);
        const NQInputFormat expected =
            lead + 6 <= 65536 ? NQInputFormat::NQ_PAGE_XML : NQInputFormat::NQ_NATIVE_XML;
        EXPECT_EQ(nqDetectInputFormat(file), expected) << lead;
        EXPECT_EQ(nqDetectInputFormatOfText(text.substr(0, 65536)), expected) << lead;
    }
}

// A file of our own format is kept whole for its reader when it is regular
// and small enough, however the head was read; any other file is not kept.
TEST(InputFormatTest, OwnFormatIsKeptWholeUpToTheLimit) {
    nqtest::TempDir dir;
    const std::string file = dir.file("own.xml");
    std::string text;
    for (const std::size_t size : {9, 4096, 4097, 65536, 70000}) {
        // Undecided until its end: a comment that runs to the last byte.
        for (const std::string& lead : {std::string("<QOLA>"), std::string("<!--")}) {
            const std::string content = lead + std::string(size - lead.size(), 'x');
            nqtest::writeFile(file, content);
            EXPECT_EQ(nqDetectInputFormat(file, size, text), NQInputFormat::NQ_NATIVE_XML);
            EXPECT_TRUE(text == content) << size << lead;
            nqDetectInputFormat(file, size - 1, text);
            EXPECT_TRUE(text.empty()) << size << lead;
        }
    }
    nqtest::writeFile(file, "<PcGts>\n");
    EXPECT_EQ(nqDetectInputFormat(file, 100, text), NQInputFormat::NQ_PAGE_XML);
    EXPECT_TRUE(text.empty());
    EXPECT_EQ(nqDetectInputFormat(dir.file(""), 100, text), NQInputFormat::NQ_NATIVE_XML);
    EXPECT_TRUE(text.empty());
}

TEST_F(ForeignFormatsTest, PageRegionsBecomeZonesAndBadRegionsAreLeftOut) {
    const NQDocument doc = readPage(pageFile(kPage2019, "page.tif", R"(
<ReadingOrder><OrderedGroup id="g"/></ReadingOrder>
<TextRegion id="t1" type="paragraph"><Coords points="2,3 20,3 20,10 2,10"/>
  <TextLine id="l1"><Coords points="2,3 20,3 20,5 2,5"/></TextLine></TextRegion>
<GraphicRegion id="g1" type="decoration"><Coords points="25,1 45,1 45,-4"/></GraphicRegion>
<TableRegion id="tb"><Coords points="1,12 30,12 30,28 1,28"/>
  <TextRegion id="cell"><Coords points="2,13 5,13 5,15"/></TextRegion></TableRegion>
<LineDrawingRegion id="ld"><Coords points="1,1 2.6,1 2,2"/></LineDrawingRegion>
<TextRegion id="nocoords"><TextEquiv/></TextRegion>
<SeparatorRegion id="away"><Coords points="50,40 60,40 60,50"/></SeparatorRegion>
<NoiseRegion id="bad"><Coords points="1,1 x,2 3,3"/></NoiseRegion>
<TextRegion><Coords points="1,1 2,2"/></TextRegion>
)"));
    EXPECT_EQ(zones(doc),
              "t1 2,3 18x7 polygon=(2,3);(20,3);(20,10);(2,10) qola_type=text:paragraph\n"
              "g1 25,0 15x1 polygon=(25,1);(40,1);(40,0) qola_type=graphic subtype=decoration\n"
              "tb 1,12 29x16 polygon=(1,12);(30,12);(30,28);(1,28) qola_type=table\n"
              "ld 1,1 2x1 polygon=(1,1);(3,1);(2,2) qola_type=linedrawing\n");
    EXPECT_EQ(doc.nqGetDocumentId(), "doc1");
    EXPECT_EQ(doc.nqGetTag("src"), "page.tif");
    const std::string p = dir_.file("p.xml");
    EXPECT_EQ(messages_.str(), p + ": region nocoords has no coordinates, left out\n" + p +
                                   ": region away lies outside the page, left out\n" + p +
                                   ": region bad has malformed coordinates, left out\n" + p +
                                   ": region without id has fewer than three points, left out\n");
}

TEST_F(ForeignFormatsTest, PageSchemaVersionsAndEncodingsReadAlike) {
    const std::string expected =
        "r 2,3 18x7 polygon=(2,3);(20,3);(20,10);(2,10) qola_type=text:heading\n";
    const std::string coords = "<Coords points=\"2,3 20,3 20,10 2,10\"/>";
    const std::string points =
        "<Coords><Point x=\"2\" y=\"3\"/><Point x=\"20\" y=\"3\"/><Point x=\"20\" y=\"10\"/>"
        "<Point x=\"2\" y=\"10\"/></Coords>";
    const std::string region = "<TextRegion id=\"r\" type=\"heading\">" + coords + "</TextRegion>";
    std::string crlf = "\xEF\xBB\xBF" + pageFile(kPage2019, "page.tif", region);
    for (std::size_t at = crlf.find('\n'); at != std::string::npos; at = crlf.find('\n', at + 2))
        crlf.replace(at, 1, "\r\n");
    const std::vector<std::string> variants = {
        pageFile("http://schema.primaresearch.org/PAGE/gts/pagecontent/2010-03-19", "page.tif",
                 "<TextRegion id=\"r\" type=\"heading\">" + points + "</TextRegion>"),
        "<pc:PcGts xmlns:pc=\"http://schema.primaresearch.org/PAGE/gts/pagecontent/2013-07-15\">"
        "<pc:Page imageFilename=\"page.tif\"><pc:TextRegion id=\"r\" type=\"heading\">"
        "<pc:Coords points=\"2,3 20,3 20,10 2,10\"/></pc:TextRegion></pc:Page></pc:PcGts>",
        crlf,
    };
    for (const std::string& text : variants)
        EXPECT_EQ(zones(readPage(text)), expected) << text;
    EXPECT_EQ(messages_.str(), "");
}

TEST_F(ForeignFormatsTest, PageLineIdModeGivesOneZonePerTextLine) {
    NQForeignReadOptions options;
    options.lineIdMode = true;
    const NQDocument doc = readPage(pageFile(kPage2019, "page.tif", R"(
<TextRegion id="t1" type="paragraph"><Coords points="2,3 20,3 20,10 2,10"/>
  <TextLine id="l1"><Coords points="2,3 20,3 20,5 2,5"/></TextLine>
  <TextLine id="l2"><Coords points="2,6 20,6 20,9 2,9"/></TextLine></TextRegion>
<TextRegion id="t2"><Coords points="2,12 9,12 9,20"/></TextRegion>
)"),
                                    options);
    EXPECT_EQ(zones(doc),
              "l1 2,3 18x2 lineID=t1 polygon=(2,3);(20,3);(20,5);(2,5) qola_type=text:paragraph\n"
              "l2 2,6 18x3 lineID=t1 polygon=(2,6);(20,6);(20,9);(2,9) qola_type=text:paragraph\n"
              "t2 2,12 7x8 polygon=(2,12);(9,12);(9,20) qola_type=text\n");
}

TEST_F(ForeignFormatsTest, PageImageIsLookedUpBesideTheFileThenInTheImageFolder) {
    NQImage small(20, 10, NQImageHead::NQ_1BIT);
    small.nqSaveImage(dir_.file("page_B.tif").c_str());
    std::filesystem::create_directories(dir_.file("images/sub"));
    NQImage(30, 10, NQImageHead::NQ_1BIT).nqSaveImage(dir_.file("images/sub/other.tif").c_str());
    auto widthFor = [&](const std::string& image, const std::string& suffix) {
        NQForeignReadOptions options;
        options.pageImageSuffix = suffix;
        const NQDocument doc = readPage(pageFile(kPage2019, image, ""), options);
        return std::to_string(doc.nqGetPageList().front()->nqGetPageWidth()) + " " +
               doc.nqGetTag("src");
    };
    EXPECT_EQ(widthFor("page.tif", "_B"), "20 page_B.tif");        // beside the PAGE file
    EXPECT_EQ(widthFor("page.tif", ""), "40 page.tif");            // in the image folder
    EXPECT_EQ(widthFor("GT/x/page.tif", ""), "40 page.tif");       // by base name
    EXPECT_EQ(widthFor("sub/other.tif", ""), "30 sub/other.tif");  // relative to the folder
    try {
        widthFor("missing.png", "_B");
        ADD_FAILURE() << "no exception";
    } catch (const NQInputError& e) {
        EXPECT_EQ(e.reason(), "page image missing_B.png not found (tried " + dir_.path() +
                                  "/missing_B.png, " + dir_.file("images") + "/missing_B.png)");
    }
}

TEST_F(ForeignFormatsTest, MalformedAndForeignFilesAreRefusedWithTheirReason) {
    const std::vector<std::pair<std::string, std::string>> page = {
        {pageFile(kPage2019, "page.tif", "<TextRegion id=\"a\">"),
         "malformed XML: Start-end tags mismatch at byte"},
        {"<PcGts><Metadata/></PcGts>", "not a PAGE file (no Page element)"},
        {"<?xml version=\"1.0\"?><NQ_DOCUMENT/>", "not a PAGE file (root element <NQ_DOCUMENT>)"},
        {"", "malformed XML: No document element found"},
        {"<PcGts><Page/></PcGts>", "the Page element names no imageFilename"},
    };
    const std::vector<std::pair<std::string, std::string>> json = {
        {"{\"images\": [{\"id\": 1,}]}", "malformed JSON at line 1, column "},
        {"{\"images\": [", "malformed JSON at line 1, column "},
        {"{\"info\": {}}", "not a COCO file (no \"images\", \"annotations\" or \"categories\")"},
        {"{\"images\": {}}", "not a COCO file (its \"images\" is not a list)"},
        {"[{\"image_id\": 1}, 7]", "not a detection list (entry 2 is not an object)"},
        {std::string(100000, '[') + std::string(100000, ']'),
         "not a detection list (entry 1 is not an object)"},
    };
    auto reason = [](const std::function<void()>& read) {
        try {
            read();
        } catch (const NQInputError& e) {
            return e.reason();
        }
        return std::string("accepted");
    };
    for (const auto& c : page)
        EXPECT_EQ(reason([&] { readPage(c.first); }).rfind(c.second, 0), 0u) << c.first;
    for (const auto& c : json)
        EXPECT_EQ(reason([&] { readCoco(c.first); }).rfind(c.second, 0), 0u) << c.first;
}

constexpr const char* kDataSet = R"({
  "info": {"description": "two pages", "nested": [[1, 2], {"a": null}]},
  "images": [{"id": 1, "file_name": "data/page.tif", "width": 40, "height": 30},
             {"id": "two", "file_name": "page.tif"}, {"file_name": "noid.tif"}],
  "categories": [{"id": 1, "name": "text"}, {"id": 2, "name": "figure"}, {"id": 3}],
  "annotations": [
    {"id": 10, "image_id": 1, "category_id": 1, "bbox": [2.4, 3, 10, 5.6], "area": 50},
    {"id": 11, "image_id": 1, "category_id": 2, "bbox": [0, 0, 1, 1],
     "segmentation": [[1, 1, 5, 1, 5, 5], [10, 10, 14, 10, 14, 14], [0, 0]]},
    {"id": 12, "image_id": 1, "category_id": 3, "segmentation": [30, 20, 45, 20, 45, 35]},
    {"id": 13, "image_id": 1, "category_id": 9, "bbox": [1, 1, 2, 2]},
    {"id": 14, "image_id": 5, "category_id": 1, "bbox": [1, 1, 2, 2]},
    {"id": 15, "image_id": 1, "category_id": 1, "bbox": [50, 1, 2, 2]},
    {"id": 16, "image_id": 1, "category_id": 1, "bbox": "wide"},
    {"image_id": "two", "category_id": 1, "bbox": [0, 0, 4, 4], "score": 0.25}
  ]
})";

TEST_F(ForeignFormatsTest, CocoDataSetGivesOneDocumentPerImage) {
    const NQCocoFile coco = readCoco(kDataSet);
    const std::string c = dir_.file("c.json");
    EXPECT_FALSE(coco.nqIsDetectionList());
    ASSERT_EQ(coco.nqGetImages().size(), 2u);
    ASSERT_NE(coco.nqFindImageByName("page.tif"), nullptr);
    EXPECT_EQ(coco.nqFindImageByName("x/page.tif")->id, "1");  // the first of that base name
    EXPECT_EQ(coco.nqFindImageById("two")->fileName, "page.tif");

    const NQDocument first = coco.nqReadDocument(*coco.nqFindImageById("1"), coco.nqGetCategories(),
                                                 dir_.file("images"), {}, messages_);
    EXPECT_EQ(zones(first),
              "10 2,3 10x6 qola_type=text\n"
              "11 1,1 13x13 polygon=(1,1);(5,1);(5,5);(1,1);(1,1);(10,10);(14,10);(14,14);"
              "(10,10);(1,1) qola_type=figure\n"
              "12 30,20 10x10 polygon=(30,20);(40,20);(40,30) qola_type=3\n");
    EXPECT_EQ(zones(coco.nqReadDocument(*coco.nqFindImageById("two"), coco.nqGetCategories(),
                                        dir_.file("images"), {}, messages_)),
              "8 0,0 4x4 confidence=0.25 qola_type=text\n");
    EXPECT_EQ(first.nqGetTag("src"), "page.tif");
    EXPECT_EQ(messages_.str(), c + ": image entry 3 has no id, left out\n" + c +
                                   ": annotation 16 has a malformed bbox, left out\n" + c +
                                   ": annotation 14 names unknown image 5, left out\n" + c +
                                   ": annotation 13 names unknown category 9, left out\n" + c +
                                   ": annotation 15 lies outside the page, left out\n");
}

TEST_F(ForeignFormatsTest, DetectionListTakesImagesAndCategoriesFromItsDataSet) {
    const NQCocoFile gt = readCoco(kDataSet);
    messages_.str("");
    const NQCocoFile detections = readCoco(R"([
        {"image_id": 1, "category_id": 1, "bbox": [2, 3, 10, 6], "score": 0.9},
        {"image_id": 1, "category_id": 2, "bbox": [20, 3, 10, 6], "score": 0.4},
        {"image_id": 1, "category_id": 2, "bbox": [20, 13, 10, 6]},
        {"image_id": 7, "category_id": 2, "bbox": [20, 3, 10, 6], "score": 0.9}])");
    EXPECT_TRUE(detections.nqIsDetectionList());
    detections.nqReportUnknownImages(gt.nqGetImages(), messages_);
    EXPECT_EQ(messages_.str(),
              dir_.file("c.json") + ": annotation 4 names unknown image 7, left out\n");
    NQForeignReadOptions options;
    options.minScore = 0.5;
    EXPECT_EQ(zones(detections.nqReadDocument(*gt.nqFindImageById("1"), gt.nqGetCategories(),
                                              dir_.file("images"), options, messages_)),
              "1 2,3 10x6 confidence=0.9 qola_type=text\n3 20,13 10x6 qola_type=figure\n");
}

// Pixels of columns 3 and 4, rows 5 to 8, and one pixel at column 6, row 0:
// as plain counts, with and without the closing background count, and as
// COCO's compressed text (which codes the last count as a negative delta).
TEST_F(ForeignFormatsTest, RleMasksBecomeRunLengthAttributes) {
    const std::string expected =
        "1 3,0 4x9 RLEIMAGE=(0,3,4);(5,0,2);(6,0,2);(7,0,2);(8,0,2); "
        "polygon=(3,0);(7,0);(7,9);(3,9) qola_type=text\n";
    for (const std::string counts :
         {"[95, 4, 26, 4, 51, 1]", "[95,4,26,4,51,1,1019]", "\"o24j00i0M\""}) {
        const NQCocoFile coco = readCoco(
            R"({"images": [{"id": 1, "file_name": "page.tif"}], "categories": [{"id": 1, "name": "text"}],
                "annotations": [{"id": 1, "image_id": 1, "category_id": 1, "bbox": [0, 0, 1, 1],
                "segmentation": {"size": [30, 40], "counts": )" +
            counts + "}}]}");
        EXPECT_EQ(zones(coco.nqReadDocument(coco.nqGetImages().front(), coco.nqGetCategories(),
                                            dir_.file("images"), {}, messages_)),
                  expected)
            << counts;
    }
    EXPECT_EQ(messages_.str(), "");
}

}  // namespace
