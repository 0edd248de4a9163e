// Times the evaluation path on inputs made here:
//  - one page comparison at scan size: an A4 page at 300 dpi (2480 x 3508)
//    with 100 zones on each side, a third of them polygons of 400 points, the
//    result side shifted by 6 pixels;
//  - reading and writing a ground-truth document of 5000 zones;
//  - the page images of a multi-page TIFF document, loaded page by page by
//    number (every load opens the file and walks its directories from the
//    first) and through one NQPageImageLoader (one open, one step per page).
// Reports the median of several runs of each.
//
//   nq_eval_bench [runs]

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include <tiffio.h>
#include <boost/filesystem.hpp>

#include "bench/BenchSupport.h"
#include "bench/FullSizePage.h"
#include "docmodel/NQDocument.h"
#include "docmodel/NQPage.h"
#include "docmodel/NQZone.h"
#include "eval/NQWexa.h"
#include "image/NQImage.h"
#include "imageio/NQPageImageLoader.h"
#include "imageio/NQTIFFImage.h"
#include "xml/NQxml.h"

namespace {

namespace fs = boost::filesystem;
using Clock = std::chrono::steady_clock;

// ---- page comparison ------------------------------------------------------------

using fullsizepage::fillPage;
using fullsizepage::scan;

double pageComparison(const std::string& dir) {
    std::vector<std::string> words{"wexa", "-g", dir, "-r", dir, "-o", dir + "/out.txt", "-detail"};
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    NQWexa wexa(static_cast<int>(argv.size()), argv.data());
    wexa.addType("unmatch");
    const NQImage image = scan();
    NQPage gtPage(image, "p"), resultPage(image, "p");
    fillPage(gtPage, 0, false);
    fillPage(resultPage, 6, true);
    std::ostringstream report;
    const auto start = Clock::now();
    wexa.compareLPage(resultPage, gtPage, report);
    return millisecondsSince(start);
}

// ---- ground-truth documents -----------------------------------------------------

double readAndWrite(const std::string& dir) {
    NQDocument document;
    document.nqSetTag("src", "big.tif");
    auto* page = new NQPage(NQImage(1000, 1000, NQImageHead::NQ_1BIT), "1");
    for (int i = 0; i < 5000; ++i) {
        const int x = (i % 50) * 20, y = (i / 50) * 10;
        auto* zone = new NQZone("z" + std::to_string(i), x, y, 18, 8);
        zone->nqSetTag("qola_type", "text");
        if (i % 10 == 0)
            zone->nqAppendChildZone(new NQZone("", x + 1, y + 1, 4, 4));
        page->nqAppendZone(zone);
    }
    document.nqAppendPage(page);
    page->nqGetPageImageRef().nqSaveImage((dir + "/big.tif").c_str());
    NQxml(document, "big.tif").nqSaveToXmlFile(dir + "/big.xml");

    const auto start = Clock::now();
    const NQDocument again = NQxml().nqReadFromXmlFile(dir + "/big.xml", dir);
    NQxml(again, "big.tif").nqSaveToXmlFile(dir + "/again.xml");
    return millisecondsSince(start);
}

// ---- page images of a multi-page document -----------------------------------------

void writePages(const std::string& path, int pages) {
    TIFF* tif = TIFFOpen(path.c_str(), "w");
    if (tif == nullptr)
        std::exit(1);
    NQImage image(850, 1100, NQImageHead::NQ_1BIT);
    for (int p = 0; p < pages; ++p) {
        image.nqSetPixel(p % 850, p % 1100, 0);
        NQTIFFImage::createImageReader()->nqSaveImage(tif, image, COMPRESSION_CCITTFAX4, true);
        TIFFWriteDirectory(tif);
    }
    TIFFClose(tif);
}

double pagesByNumber(const std::string& path, int pages) {
    const auto start = Clock::now();
    for (int p = 1; p <= pages; ++p)
        NQImage::nqLoadImageAtPage(path.c_str(), p);
    return millisecondsSince(start);
}

double pagesThroughLoader(const std::string& path, int pages) {
    const auto start = Clock::now();
    NQPageImageLoader loader(path);
    for (int p = 1; p <= pages; ++p)
        loader.nqLoadNextPage();
    return millisecondsSince(start);
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const fs::path dir = fs::temp_directory_path() / fs::unique_path("nq_eval_bench_%%%%%%");
    fs::create_directories(dir);

    std::vector<double> compare, xml;
    for (int i = 0; i < runs; ++i) {
        compare.push_back(pageComparison(dir.string()));
        xml.push_back(readAndWrite(dir.string()));
    }
    std::printf("median of %d runs\n", runs);
    std::printf("  compareLPage, 2480 x 3508, 100 + 100 zones:      %8.2f ms\n", median(compare));
    std::printf("  read + write of a document of 5000 zones:        %8.2f ms\n", median(xml));

    for (int pages : {10, 50, 200}) {
        const std::string path = (dir / ("pages" + std::to_string(pages) + ".tif")).string();
        writePages(path, pages);
        std::vector<double> byNumber, loader;
        for (int i = 0; i < runs; ++i) {
            byNumber.push_back(pagesByNumber(path, pages));
            loader.push_back(pagesThroughLoader(path, pages));
        }
        std::printf(
            "  %3d pages of 850 x 1100 Group 4: by page number %8.2f ms, "
            "one loader %8.2f ms\n",
            pages, median(byNumber), median(loader));
    }
    fs::remove_all(dir);
    return 0;
}
