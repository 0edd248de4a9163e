#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "docmodel/NQDocument.h"
#include "docmodel/NQPage.h"
#include "docmodel/NQZone.h"
#include "image/NQException.h"
#include "image/NQImage.h"
#include "imageio/NQImageFactory.h"
#include "support/TestSupport.h"
#include "support/TiffWriter.h"
#include "xml/NQxml.h"

namespace {

// A TIFF file with one page per entry of `bits` (1, 8 or 24), each
// width x height: binary pages white, grey pages 100, colour pages (30, 60, 90).
void writeTiff(const std::string& path, int width, int height, const std::vector<int>& bits) {
    std::vector<NQImage> pages;
    for (int depth : bits) {
        pages.emplace_back(width, height, static_cast<NQImageHead::NQBitDepths>(depth));
        for (int y = 0; depth != 1 && y < height; ++y)
            for (int x = 0; x < width; ++x) {
                if (depth == 8)
                    pages.back().nqSetPixel(x, y, 100);
                else
                    pages.back().nqSetPixel(x, y, 30, 60, 90);
            }
    }
    nqtest::writeTiffPages(path, pages, COMPRESSION_NONE, false);
}

std::string tags(const NQTagList& list) {
    std::string text = " [";
    for (const auto& tag : list.nqGetTags())
        text += (text.size() > 2 ? " " : "") + tag.first + "=" + tag.second;
    return text + "]";
}

void dumpZone(const NQZone* zone, std::size_t depth, std::string& out) {
    out += std::string(depth, ' ') + "zone " + zone->nqGetZoneId() + " " +
           std::to_string(zone->nqGetZoneOrigin().x) + "," +
           std::to_string(zone->nqGetZoneOrigin().y) + " " +
           std::to_string(zone->nqGetZoneWidth()) + "x" + std::to_string(zone->nqGetZoneHeight()) +
           tags(zone->nqGetTags()) + "\n";
    for (const NQZone* child : zone->nqGetChildZoneList())
        dumpZone(child, depth + 1, out);
}

// One line per document, page and zone (indented by depth): ids, geometry,
// page image size and depth, and tags.
std::string dump(const NQDocument& document) {
    std::string out = "doc " + document.nqGetDocumentId() + tags(document.nqGetTags()) + "\n";
    for (const NQPage* page : document.nqGetPageList()) {
        const NQImage& image = page->nqGetPageImageRef();
        out += " page " + page->nqGetPageId() + " " + std::to_string(image.nqGetWidth()) + "x" +
               std::to_string(image.nqGetHeight()) + "/" +
               std::to_string(image.nqGetBitsPerPixel()) + tags(page->nqGetTags()) + "\n";
        for (const NQZone* zone : page->nqGetZoneList())
            dumpZone(zone, 2, out);
    }
    return out;
}

NQZone* newZone(const std::string& id, int x, int y, int width, int height,
                const std::map<std::string, std::string>& zoneTags = {}) {
    auto* zone = new NQZone(id, x, y, width, height);
    for (const auto& tag : zoneTags)
        zone->nqSetTag(tag.first, tag.second);
    return zone;
}

// Three pages of 40 x 30: a zone with two children (the first with a child
// of its own) and a zone with an empty id; a page with an empty id, its own
// "src" and no zones; a page with one zone.
NQDocument sampleDocument() {
    NQDocument document;
    document.nqSetDocumentId("D7");
    document.nqSetTag("zeta", "z");
    document.nqSetTag("alpha", "a");
    const NQImage image(40, 30, NQImageHead::NQ_8BIT);
    auto* page1 = new NQPage(image, "P1");
    page1->nqSetTag("kind", "odd");
    NQZone* a = newZone("a", 1, 2, 10, 8, {{"qola_type", "text"}, {"lineID", "L1"}});
    NQZone* c1 = newZone("x", 2, 3, 4, 3, {{"qola_type", "word"}});
    c1->nqAppendChildZone(newZone("", 2, 3, 1, 1));
    a->nqAppendChildZone(c1);
    a->nqAppendChildZone(newZone("y", 6, 4, 3, 2));
    page1->nqAppendZone(a);
    page1->nqAppendZone(newZone("", 20, 10, 5, 5, {{"qola_type", "figure"}}));
    document.nqAppendPage(page1);
    auto* page2 = new NQPage(image, "");
    page2->nqSetTag("src", "other.tif");
    document.nqAppendPage(page2);
    auto* page3 = new NQPage(image, "P3");
    page3->nqAppendZone(newZone("c", 0, 0, 40, 30));
    document.nqAppendPage(page3);
    return document;
}

// Worked out by hand from the layout rules: first children on a new line with
// one tab (pages) or two (zones at any depth), later siblings directly behind
// the previous end tag, fixed attributes in front of descending tags.
const char* const kSampleText =
    "<NQ_DOCUMENT src=\"img.tif\" documentID=\"D7\" zeta=\"z\" alpha=\"a\">\n"
    "\t<NQ_PAGE src=\"img.tif\" pageID=\"P1\" width=\"40\" height=\"30\" kind=\"odd\">\n"
    "\t\t<NQ_ZONE id=\"a\" col=\"1\" row=\"2\" width=\"10\" height=\"8\" qola_type=\"text\" "
    "lineID=\"L1\">\n"
    "\t\t<NQ_ZONE height=\"3\" width=\"4\" row=\"3\" col=\"2\" qola_type=\"word\">\n"
    "\t\t<NQ_ZONE height=\"1\" width=\"1\" row=\"3\" col=\"2\">\n"
    "\t\t</NQ_ZONE>\n"
    "\t\t</NQ_ZONE><NQ_ZONE height=\"2\" width=\"3\" row=\"4\" col=\"6\">\n"
    "</NQ_ZONE>\n"
    "\t\t</NQ_ZONE><NQ_ZONE col=\"20\" row=\"10\" width=\"5\" height=\"5\" qola_type=\"figure\">\n"
    "</NQ_ZONE>\n"
    "\t</NQ_PAGE><NQ_PAGE width=\"40\" height=\"30\" src=\"other.tif\">\n"
    "</NQ_PAGE><NQ_PAGE src=\"img.tif\" pageID=\"P3\" width=\"40\" height=\"30\">\n"
    "\t\t<NQ_ZONE id=\"c\" col=\"0\" row=\"0\" width=\"40\" height=\"30\">\n"
    "\t\t</NQ_ZONE>\n"
    "</NQ_PAGE>\n"
    "</NQ_DOCUMENT>";

class NQxmlTest : public ::testing::Test {
protected:
    std::string file(const std::string& name, const std::string& content) const {
        nqtest::writeFile(dir_.file(name), content);
        return dir_.file(name);
    }
    NQDocument read(const std::string& xmlFile) const {
        NQxml reader;
        return reader.nqReadFromXmlFile(xmlFile, dir_.path());
    }
    // Reads a document element on the 10 x 10 binary image "page.tif".
    NQDocument readOnTenByTen(const std::string& documentText) const {
        writeTiff(dir_.file("page.tif"), 10, 10, {1});
        return read(file("t.xml", documentText));
    }
    nqtest::TempDir dir_;
};

}  // namespace

TEST_F(NQxmlTest, WriterLayoutAndSavedFile) {
    NQxml writer(sampleDocument(), "img.tif");
    EXPECT_EQ(writer.getText(), kSampleText);
    EXPECT_EQ(writer.getCursor(), 0u);
    EXPECT_TRUE(writer.zoneReservedNames().empty());
    EXPECT_FALSE(writer.nqSaveToXmlFile(dir_.file("missing/out.xml")));
    ASSERT_TRUE(writer.nqSaveToXmlFile(dir_.file("out.xml")));
    EXPECT_EQ(nqtest::readFile(dir_.file("out.xml")),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
              "<!-- Page segmentation zones, written by wexa -->\n"
              "<QOLA xmlns=\"urn:wexa:qola\" version=\"1.0\">\n" +
                  std::string(kSampleText) + "\n</QOLA>");
    if (access("/dev/full", W_OK) == 0) {
        NQxml full(sampleDocument(), "img.tif");
        EXPECT_FALSE(full.nqSaveToXmlFile("/dev/full"));
    }
}

TEST_F(NQxmlTest, WriteThenReadReproducesGeometryAndTags) {
    writeTiff(dir_.file("img.tif"), 40, 30, {8, 8, 8});
    NQxml writer(sampleDocument(), "img.tif");
    ASSERT_TRUE(writer.nqSaveToXmlFile(dir_.file("doc.xml")));
    // Zones written without "id" (children, and the zone with an empty id)
    // read the "id" inside "width" instead.
    EXPECT_EQ(dump(read(dir_.file("doc.xml"))),
              "doc D7 [alpha=a src=img.tif zeta=z]\n"
              " page P1 40x30/8 [kind=odd src=img.tif]\n"
              "  zone a 1,2 10x8 [lineID=L1 qola_type=text]\n"
              "   zone 4 2,3 4x3 [qola_type=word]\n"
              "    zone 1 2,3 1x1 []\n"
              "   zone 3 6,4 3x2 []\n"
              "  zone 5 20,10 5x5 [qola_type=figure]\n"
              " page  40x30/8 [src=other.tif]\n"
              " page P3 40x30/8 [src=img.tif]\n"
              "  zone c 0,0 40x30 []\n");
}

TEST_F(NQxmlTest, ReadsFilesMadeElsewhere) {
    writeTiff(dir_.file("scan.tif"), 50, 40, {1, 24});
    // No prolog or root, CRLF line ends, self-closing pages and zones,
    // attributes in any order, white space inside tags, no documentID.
    const NQDocument document = read(file(
        "else.xml",
        "<NQ_DOCUMENT src=\"scan.tif\"\r\n  producer=\"other tool\" >\r\n"
        "<NQ_PAGE\twidth=\"50\" pageID=\"one\" height=\"40\">\r\n"
        "  <NQ_ZONE row=\"5\" col=\"4\"\r\n\tid=\"z1\" height=\"10\" width=\"20\" "
        "qola_type = \"text\" ZoneId=\"99\" />\r\n"
        "  <NQ_ZONE col=\"0\" row=\"0\" width=\"50\" height=\"40\" id=\"z2\"\r\n lineID=\"7\"/>\r\n"
        "  <NQ_ZONE id=\"n\" col=\" +3px\" row=\"\" width=\"x\" height=\"-2\"/>\r\n"
        "</NQ_PAGE>\r\n"
        "<NQ_PAGE pageID=\"two\"/>\r\n"
        "</NQ_DOCUMENT>\r\n"));
    // "ZoneId" is dropped; the second zone's id is its width (found first);
    // numbers read like strtol; page 2 is the colour page, averaged to grey.
    EXPECT_EQ(dump(document),
              "doc  [producer=other tool src=scan.tif]\n"
              " page one 50x40/1 []\n"
              "  zone z1 4,5 20x10 [qola_type=text]\n"
              "  zone 50 0,0 50x40 [lineID=7]\n"
              "  zone n 3,0 0x-2 []\n"
              " page two 50x40/8 []\n");
    EXPECT_EQ(document.nqGetPageList().back()->nqGetPageImageRef().nqGetPixelValue(3, 2), 60);

    NQxml writer(document, "unused.tif");
    EXPECT_EQ(writer.getText().substr(0, writer.getText().find('\n')),
              "<NQ_DOCUMENT src=\"scan.tif\" producer=\"other tool\">");
}

TEST_F(NQxmlTest, SizeCheckAndPolygonRuleOnATenByTenPage) {
    NQDocument document;
    const std::string output = nqtest::captureStdout([&] {
        document = readOnTenByTen(
            "<NQ_DOCUMENT src=\"page.tif\"><NQ_PAGE>"
            "<NQ_ZONE id=\"full\" col=\"0\" row=\"0\" width=\"10\" height=\"10\"/>"
            "<NQ_ZONE id=\"wide\" col=\"0\" row=\"0\" width=\"11\" height=\"10\"/>"
            "<NQ_ZONE id=\"far\" col=\"4294967296\" row=\"0\" width=\"1\" height=\"1\"/>"
            "<NQ_ZONE id=\"p3\" col=\"0\" row=\"0\" width=\"1\" height=\"1\" "
            "polygon=\"(0,0);(10,0);(10,10)\"/>"
            "<NQ_ZONE id=\"p11\" col=\"0\" row=\"0\" width=\"1\" height=\"1\" "
            "polygon=\"(0,0);(11,0);(10,10)\"/>"
            "<NQ_ZONE id=\"p2\" col=\"0\" row=\"0\" width=\"1\" height=\"1\" "
            "polygon=\"(0,0);(10,0)\"/>"
            "<NQ_ZONE id=\"last\" col=\"9\" row=\"9\" width=\"1\" height=\"1\">"
            "<NQ_ZONE col=\"9\" row=\"9\" width=\"1\" height=\"1\"/></NQ_ZONE>"
            "</NQ_PAGE></NQ_DOCUMENT>");
    });
    // An overlong column saturates instead of wrapping round into the page;
    // rejected polygons leave no message.
    EXPECT_EQ(output,
              "Appending Zone(ID : wide) to the page is canceled due to the size check routine\n"
              "Appending Zone(ID : far) to the page is canceled due to the size check routine\n");
    EXPECT_EQ(dump(document),
              "doc  [src=page.tif]\n page  10x10/1 []\n  zone full 0,0 10x10 []\n"
              "  zone p3 0,0 1x1 [polygon=(0,0);(10,0);(10,10)]\n  zone last 9,9 1x1 []\n"
              "   zone 1 9,9 1x1 []\n");

    const NQxml reader;
    NQZone zone;
    zone.nqSetTag("polygon", "-5,-5;;10,0,,,(10,10)");
    EXPECT_TRUE(reader.validatePolygon(zone, 10, 10));
    zone.nqSetTag("polygon", "0,0;1,1;2,11");
    EXPECT_FALSE(reader.validatePolygon(zone, 10, 10));
    EXPECT_EQ(reader.zoneReservedNames(),
              (std::vector<std::string>{"ZoneId", "id", "col", "row", "width", "height"}));
    EXPECT_EQ(reader.pageReservedNames(), (std::vector<std::string>{"pageID", "width", "height"}));
    EXPECT_EQ(reader.documentReservedNames(), std::vector<std::string>{"documentID"});
}

TEST_F(NQxmlTest, MalformedOrForeignTextIsRefusedWithAnException) {
    const std::string none = file("none.xml", "<?xml version=\"1.0\"?>\n<QOLA></QOLA>");
    EXPECT_TRUE(nqtest::throwsNQ([&] { read(none); }, NQ_INVALID_CONTENT,
                                 "<NQxml::nqReadFromXmlFile()> No NQ_DOCUMENT element in " + none));
    const std::string valid =
        "<NQ_DOCUMENT src=\"page.tif\"><NQ_PAGE><NQ_ZONE col=\"1\" row=\"1\" width=\"2\" "
        "height=\"2\"><NQ_ZONE col=\"1\" row=\"1\" width=\"1\" height=\"1\"/></NQ_ZONE>"
        "</NQ_PAGE></NQ_DOCUMENT>";
    EXPECT_NO_THROW(readOnTenByTen(valid));
    for (std::size_t length = 0; length < valid.size(); ++length)
        EXPECT_THROW(readOnTenByTen(valid.substr(0, length)), NQException) << length;

    std::string deep = "<NQ_DOCUMENT src=\"page.tif\"><NQ_PAGE>";
    for (int i = 0; i < 100000; ++i)
        deep += "<NQ_ZONE>";
    for (const std::string& text :
         {deep, std::string("<NQ_DOCUMENT src=\"page.tif\"><NQ_PAGE></NQ_ZONE></NQ_DOCUMENT>"),
          std::string("<NQ_DOCUMENT src=page.tif><NQ_PAGE/></NQ_DOCUMENT>"),
          std::string("<NQ_DOCUMENT src='page.tif'><NQ_PAGE/></NQ_DOCUMENT>"),
          std::string("<NQ_DOCUMENT src=\"page.tif\"><NQ_PAGE a=\"x>y\"/></NQ_DOCUMENT>"),
          std::string("<NQ_DOCUMENT src=\"page.tif\"><NQ_PAGE a=\"1\"b=\"2\"/></NQ_DOCUMENT>"),
          std::string("<NQ_DOCUMENT src=\"page.tif\"><!-- c --><NQ_PAGE/></NQ_DOCUMENT>"),
          std::string("<NQ_DOCUMENT src=\"page.tif\"><NQ_PAGE <NQ_ZONE/></NQ_DOCUMENT>")})
        EXPECT_THROW(readOnTenByTen(text), NQException) << text.substr(0, 80);

    // Failures of the model and of image loading reach the caller: a child
    // zone whose own child leaves the parent, a page beyond the image's pages.
    EXPECT_TRUE(nqtest::throwsNQ(
        [&] {
            readOnTenByTen(
                "<NQ_DOCUMENT src=\"page.tif\"><NQ_PAGE>"
                "<NQ_ZONE col=\"0\" row=\"0\" width=\"4\" height=\"4\">"
                "<NQ_ZONE col=\"3\" row=\"0\" width=\"2\" height=\"2\">"
                "<NQ_ZONE col=\"4\" row=\"0\" width=\"1\" height=\"1\"/></NQ_ZONE></NQ_ZONE>"
                "</NQ_PAGE></NQ_DOCUMENT>");
        },
        NQ_OUT_OF_BOUNDS,
        "<NQZone::nqAppendChildZone()> The child zone to be appended has conflicting dimensions "
        "with this zone!"));
    EXPECT_THROW(readOnTenByTen("<NQ_DOCUMENT src=\"page.tif\"><NQ_PAGE/><NQ_PAGE/></NQ_DOCUMENT>"),
                 NQException);
}

TEST_F(NQxmlTest, FileAboveTheSizeBoundIsRefusedUnread) {
    // A sparse file: its size is known without a byte being written.
    const std::string huge = file("huge.xml", "<NQ_DOCUMENT src=\"page.tif\"/>");
    std::filesystem::resize_file(huge, NQxml::kMaxFileBytes + 1);
    EXPECT_TRUE(
        nqtest::throwsNQ([&] { read(huge); }, NQ_INVALID_CONTENT,
                         "<NQxml::nqReadFromXmlFile()> " + huge + " is larger than 256 MiB"));
}

TEST(NQxmlLoadError, UnopenableFileRaisesItsOwnErrorAndPrintsNothing) {
    // The caller decides how the run ends; the reader neither prints nor exits.
    nqtest::TempDir dir;
    const std::string missing = dir.file("missing.xml");
    const std::string said = nqtest::captureStdout([&] {
        try {
            NQxml().nqReadFromXmlFile(missing, dir.path());
            ADD_FAILURE() << "no exception";
        } catch (const NQLoadXmlError& e) {
            EXPECT_EQ(e.fileName(), missing);
            EXPECT_EQ(e.nqGetErrorID(), NQ_FILE_OPEN_ERROR);
        }
    });
    EXPECT_EQ(said, "");
}

TEST_F(NQxmlTest, FiveThousandZonesSurviveAReadAndAWrite) {
    writeTiff(dir_.file("big.tif"), 1000, 1000, {1});
    NQDocument document;
    document.nqSetTag("src", "big.tif");
    auto* page = new NQPage(NQImage(1000, 1000, NQImageHead::NQ_1BIT), "1");
    page->nqSetTag("src", "big.tif");
    for (int i = 0; i < 5000; ++i) {
        const int x = (i % 50) * 20, y = (i / 50) * 10;
        const std::string p = "(" + std::to_string(x) + "," + std::to_string(y) + ")";
        NQZone* zone = newZone("z" + std::to_string(i), x, y, 18, 8,
                               {{"qola_type", "text"}, {"polygon", p + ";" + p + ";" + p}});
        if (i % 10 == 0)
            zone->nqAppendChildZone(newZone("", x + 1, y + 1, 4, 4));
        page->nqAppendZone(zone);
    }
    document.nqAppendPage(page);
    ASSERT_TRUE(NQxml(document, "big.tif").nqSaveToXmlFile(dir_.file("big.xml")));

    const NQDocument again = read(dir_.file("big.xml"));
    ASSERT_TRUE(NQxml(again, "big.tif").nqSaveToXmlFile(dir_.file("again.xml")));

    EXPECT_EQ(again.nqGetPageList().front()->nqGetZoneList().size(), 5000u);
    EXPECT_EQ(nqtest::readFile(dir_.file("again.xml")), nqtest::readFile(dir_.file("big.xml")));
}

TEST(NQxmlRealData, GroundTruthFilesSurviveAWriteAndRead) {
    const std::string root = nqtest::sharedPath("realdata");
    if (!std::filesystem::is_directory(root + "/gt"))
        GTEST_SKIP() << "no real data at " << root;
    nqtest::TempDir dir;
    std::size_t files = 0, zones = 0, withoutCodec = 0;
    for (const auto& entry : std::filesystem::directory_iterator(root + "/gt")) {
        NQxml probe;  // pages in a format whose codec is not built are left out
        ASSERT_TRUE(probe.LoadXml(entry.path().string()));
        probe.setXML(probe.RetrieveSpecifiedElem("NQ_DOCUMENT"));
        const std::string image = root + "/images/" + probe.GetAttrib("src");
        if (NQImageFactory::nqGetInstance()->nqIdentifyImageType(image.c_str()) == nullptr) {
            ++withoutCodec;
            continue;
        }
        NQDocument document = NQxml().nqReadFromXmlFile(entry.path().string(), root + "/images");
        ASSERT_TRUE(NQxml(document, document.nqGetTag("src")).nqSaveToXmlFile(dir.file("c.xml")));
        // The written page carries the image name as its "src".
        document.nqGetPageList().front()->nqSetTag("src", document.nqGetTag("src"));
        EXPECT_EQ(dump(NQxml().nqReadFromXmlFile(dir.file("c.xml"), root + "/images")),
                  dump(document));
        ++files;
        zones += document.nqGetPageList().front()->nqGetZoneList().size();
    }
    std::printf("real data: %zu files, %zu zones, %zu without codec\n", files, zones, withoutCodec);
    EXPECT_EQ(files + withoutCodec, 35u);
    if (withoutCodec == 0) {
        EXPECT_EQ(zones, 313u);
    }
}
