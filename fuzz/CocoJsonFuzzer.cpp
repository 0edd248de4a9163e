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

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <sstream>
#include <string>

#include "docmodel/NQDocument.h"
#include "docmodel/NQPage.h"
#include "docmodel/NQZone.h"
#include "fuzz/FuzzDocuments.h"
#include "fuzz/FuzzImages.h"
#include "fuzz/FuzzSupport.h"
#include "xml/NQCocoJson.h"

namespace {

constexpr std::size_t kImagesRead = 8;

std::string folder;
std::string jsonFile;
std::unique_ptr<NQCocoFile> dataSet;  // what a detection list is evaluated against

void makeFolder() {
    folder = nqfuzz::makeScratchFolder("coco");
    jsonFile = folder + "/doc.json";
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

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    nqfuzz::quietLibrary();
    makeFolder();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    nqfuzz::writeInput(jsonFile, data, size);
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
                nqfuzz::checkOnePageDocument(
                    coco.nqReadDocument(images.nqGetImages()[k], images.nqGetCategories(), folder,
                                        options, messages),
                    0);
            });
    });
    return 0;
}
