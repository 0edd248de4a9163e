// The page image's format does not change an evaluation: the same pages
// stored as TIFF, PNG, BMP, GIF and PPM give the same output and the same
// report.
#include <gtest/gtest.h>

#include <regex>

#include <boost/filesystem.hpp>

#include "analysis/NQBitsPerPixelConverter.h"
#include "imageio/NQPNGImage.h"
#include "tests/e2e/E2ESupport.h"
#include "tests/e2e/Fixtures.h"

namespace {

using e2e::zone;

TEST(ImageFormats, CopiesOfTheSamePagesInEveryLosslessFormatGiveIdenticalReports) {
    // Shows: binary, grey and colour pages decode to the same pixels from
    // either format, so every score, pair and count of the run is the same.
    NQImage binary = e2e::pageImage(120, 80, {{10, 10, 40, 20}, {60, 12, 50, 8}, {20, 50, 90, 20}});
    NQImage grey = NQBitsPerPixelConverter::nqBinary2Gray(binary);
    for (int x = 20; x < 110; ++x)
        grey.nqSetPixel(x, 49, static_cast<unsigned char>(2 * x));  // a soft edge
    NQImage colour = NQBitsPerPixelConverter::nqGray2Color(grey);
    for (int y = 0; y < 80; ++y)
        for (int x = 0; x < 120; ++x) {
            const unsigned char g = grey.nqGetPixelValue(x, y);
            if (g < 255)
                colour.nqSetPixel(x, y, g, static_cast<unsigned char>(g / 2), 30);  // red ink
        }
    const std::vector<std::vector<e2e::Zone>> truth{{zone("1", 8, 8, 44, 24, "text"),
                                                     zone("2", 58, 10, 54, 12, "text"),
                                                     zone("3", 18, 46, 94, 26, "figure")}};
    const std::vector<std::vector<e2e::Zone>> result{{zone("a", 8, 8, 104, 24, "text"),
                                                      zone("b", 18, 46, 60, 26, "text"),
                                                      zone("c", 2, 74, 20, 5, "figure")}};

    e2e::Workspace ws;
    const std::pair<const char*, const NQImage*> pages[] = {
        {"binary", &binary}, {"grey", &grey}, {"colour", &colour}};
    const char* formats[] = {"tif", "png", "bmp", "gif", "ppm"};
    constexpr int kFormats = sizeof formats / sizeof formats[0];
    std::string reports[kFormats], outputs[kFormats];
    for (int f = 0; f < kFormats; ++f) {
        const std::string dir = formats[f];
        for (const char* sub : {"", "/gt", "/res", "/images"})
            boost::filesystem::create_directory(ws.file(dir + sub));
        for (const auto& [name, image] : pages) {
            const std::string file = std::string(name) + "." + formats[f];
            if (f == 1)
                NQPNGImage::createImageReader()->nqSaveImage(
                    ws.file(dir + "/images/" + file).c_str(), *image);
            else
                image->nqSaveImage(ws.file(dir + "/images/" + file).c_str());
            ws.write(dir + "/gt/" + name + ".xml", e2e::documentXml(file, 120, 80, truth));
            ws.write(dir + "/res/" + name + ".xml", e2e::documentXml(file, 120, 80, result));
        }
        const e2e::Run run = e2e::runWexa(
            ws.file(dir), {"-g", "gt", "-r", "res", "-i", "images", "-o", "report.txt", "-detail"});
        EXPECT_EQ(run.status, 0);
        outputs[f] = run.out;
        // The page headings name the image files; the names are as long in either format.
        reports[f] = std::regex_replace(e2e::maskTimes(ws.read(dir + "/report.txt")),
                                        std::regex("\\.(png|bmp|gif|ppm)\n"), ".tif\n");
    }
    EXPECT_EQ(outputs[0], "res/binary.xml\nres/colour.xml\nres/grey.xml\n");
    for (int f = 1; f < kFormats; ++f) {
        SCOPED_TRACE(formats[f]);
        EXPECT_EQ(outputs[f], outputs[0]);
        EXPECT_EQ(reports[f], reports[0]);
    }
    EXPECT_NE(reports[0].find("- Number of Files : 3\n"), std::string::npos) << reports[0];
    EXPECT_NE(reports[0].find("grey.tif\n========\n"), std::string::npos) << reports[0];
}

}  // namespace
