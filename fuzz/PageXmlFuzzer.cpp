// The PAGE XML reader on a hostile file whose page image is real: at
// start-up a private folder receives "page.tif" (64 x 48, grey) and
// "page.png" (40 x 30, colour), both made by our own code. Each input is
// written as the PAGE file and read twice, by regions and by text lines
// (-lid), with the binarised-image suffix off and on; its format is told by
// its content first, as a run does. A document that reads must hold one page
// whose every zone lies on it with an outline of at least three points, all
// on the page.
//
// The reader's sound outcomes are a document or an NQException (NQInputError
// for a file refused as a whole); lines about regions left out go to a
// stream that is thrown away.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <sstream>
#include <string>
#include <string_view>

#include "docmodel/NQDocument.h"
#include "docmodel/NQPage.h"
#include "docmodel/NQZone.h"
#include "fuzz/FuzzImages.h"
#include "fuzz/FuzzSupport.h"
#include "xml/NQInputFormat.h"
#include "xml/NQPageXml.h"

namespace {

std::string folder;
std::string pageFile;

void removeFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
}

void makeFolder() {
    const char* base = std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : "/tmp";
    std::string pattern = std::string(base) + "/nqfuzz-page-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr)
        nqfuzz::broken("cannot make the page image folder");
    folder = pattern;
    pageFile = folder + "/doc.xml";
    std::atexit(removeFolder);
    nqfuzz::picture(64, 48, 8, 1).nqSaveImage((folder + "/page.tif").c_str());
    nqfuzz::picture(40, 30, 24, 3).nqSaveImage((folder + "/page.png").c_str());
    nqfuzz::picture(64, 48, 1, 2).nqSaveImage((folder + "/page_B.tif").c_str());
}

// Every point of a "(x,y);(x,y);..." outline on a page of width x height.
void checkOutline(const std::string& polygon, int width, int height) {
    static const std::regex point("\\((-?[0-9]+),(-?[0-9]+)\\)");
    std::size_t points = 0;
    for (std::sregex_iterator p(polygon.begin(), polygon.end(), point), end; p != end; ++p) {
        const long x = std::stol((*p)[1]), y = std::stol((*p)[2]);
        if (x < 0 || y < 0 || x > width || y > height)
            nqfuzz::broken("an outline point off the page was kept");
        ++points;
    }
    if (points < 3)
        nqfuzz::broken("a zone was kept with an outline of fewer than three points");
}

void checkDocument(const NQDocument& document) {
    if (document.nqGetPageList().size() != 1)
        nqfuzz::broken("a PAGE document without exactly one page");
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
    std::FILE* file = std::fopen(pageFile.c_str(), "wb");
    if (file == nullptr || std::fwrite(data, 1, size, file) != size || std::fclose(file) != 0)
        nqfuzz::broken("cannot write the PAGE file");
    nqDetectInputFormatOfText(std::string_view(reinterpret_cast<const char*>(data), size));
    std::ostringstream messages;
    for (const bool lines : {false, true}) {
        NQForeignReadOptions options;
        options.lineIdMode = lines;
        options.pageImageSuffix = lines ? "_B" : "";
        nqfuzz::attempt([&] {
            checkDocument(NQPageXml(options, messages).nqReadFromPageFile(pageFile, folder));
        });
    }
    return 0;
}
