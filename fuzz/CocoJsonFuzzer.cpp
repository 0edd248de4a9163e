// The COCO JSON reader on a hostile file whose page images are real: at
// start-up a private folder receives "page.tif" (64 x 48, grey) and
// "page.png" (40 x 30, colour), both made by our own code, and a data set
// naming them as images 1 and 2 with two categories. Each input is written
// as the JSON file and parsed; the document of each of its images (the first
// eight) is made, or, for a detection list, the document of each image of
// that data set, with a least score. A document that reads must hold one
// page whose every zone lies on it with an outline on the page.
//
// The reader's sound outcomes are a parsed file, a document, or an
// NQException (NQInputError for a file refused as a whole or an image that
// is not found); lines about annotations left out go to a stream that is
// thrown away.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <regex>
#include <sstream>
#include <string>

#include "docmodel/NQDocument.h"
#include "docmodel/NQPage.h"
#include "docmodel/NQZone.h"
#include "fuzz/FuzzImages.h"
#include "fuzz/FuzzSupport.h"
#include "xml/NQCocoJson.h"

namespace {

constexpr std::size_t kImagesRead = 8;

std::string folder;
std::string jsonFile;
std::unique_ptr<NQCocoFile> dataSet;  // what a detection list is evaluated against

void removeFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
}

void makeFolder() {
    const char* base = std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : "/tmp";
    std::string pattern = std::string(base) + "/nqfuzz-coco-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr)
        nqfuzz::broken("cannot make the page image folder");
    folder = pattern;
    jsonFile = folder + "/doc.json";
    std::atexit(removeFolder);
    nqfuzz::picture(64, 48, 8, 1).nqSaveImage((folder + "/page.tif").c_str());
    nqfuzz::picture(40, 30, 24, 3).nqSaveImage((folder + "/page.png").c_str());

    const std::string setFile = folder + "/set.json";
    std::FILE* file = std::fopen(setFile.c_str(), "wb");
    const std::string set =
        R"({"images": [{"id": 1, "file_name": "page.tif", "width": 64, "height": 48},)"
        R"( {"id": 2, "file_name": "page.png"}], "annotations": [],)"
        R"( "categories": [{"id": 1, "name": "text"}, {"id": 2, "name": "figure"}]})";
    if (file == nullptr || std::fwrite(set.data(), 1, set.size(), file) != set.size() ||
        std::fclose(file) != 0)
        nqfuzz::broken("cannot write the data set");
    std::ostringstream messages;
    dataSet = std::make_unique<NQCocoFile>(NQCocoFile::nqReadFromJsonFile(setFile, messages));
}

void checkOutline(const std::string& polygon, int width, int height) {
    static const std::regex point("\\((-?[0-9]+),(-?[0-9]+)\\)");
    for (std::sregex_iterator p(polygon.begin(), polygon.end(), point), end; p != end; ++p) {
        const long x = std::stol((*p)[1]), y = std::stol((*p)[2]);
        if (x < 0 || y < 0 || x > width || y > height)
            nqfuzz::broken("an outline point off the page was kept");
    }
}

void checkDocument(const NQDocument& document) {
    if (document.nqGetPageList().size() != 1)
        nqfuzz::broken("a COCO document without exactly one page");
    const NQPage& page = *document.nqGetPageList().front();
    for (const NQZone* zone : page.nqGetZoneList()) {
        if (!zone->nqIsWithinPageBoundaries(page.nqGetPageWidth(), page.nqGetPageHeight()))
            nqfuzz::broken("a zone outside its page was read");
        checkOutline(zone->nqGetTag("polygon"), page.nqGetPageWidth(), page.nqGetPageHeight());
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    nqfuzz::quietLibrary();
    makeFolder();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::FILE* file = std::fopen(jsonFile.c_str(), "wb");
    if (file == nullptr || std::fwrite(data, 1, size, file) != size || std::fclose(file) != 0)
        nqfuzz::broken("cannot write the JSON file");
    std::ostringstream messages;
    nqfuzz::attempt([&] {
        const NQCocoFile coco = NQCocoFile::nqReadFromJsonFile(jsonFile, messages);
        const NQCocoFile& images = coco.nqIsDetectionList() ? *dataSet : coco;
        if (coco.nqIsDetectionList())
            coco.nqReportUnknownImages(images.nqGetImages(), messages);
        NQForeignReadOptions options;
        options.minScore = coco.nqIsDetectionList() ? 0.5 : options.minScore;
        for (std::size_t k = 0; k < images.nqGetImages().size() && k < kImagesRead; ++k)
            nqfuzz::attempt([&] {
                checkDocument(coco.nqReadDocument(images.nqGetImages()[k], images.nqGetCategories(),
                                                  folder, options, messages));
            });
    });
    return 0;
}
