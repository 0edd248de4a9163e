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

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <string_view>

#include "docmodel/NQDocument.h"
#include "docmodel/NQPage.h"
#include "docmodel/NQZone.h"
#include "fuzz/FuzzDocuments.h"
#include "fuzz/FuzzImages.h"
#include "fuzz/FuzzSupport.h"
#include "xml/NQInputFormat.h"
#include "xml/NQPageXml.h"

namespace {

std::string folder;
std::string pageFile;

void makeFolder() {
    folder = nqfuzz::makeScratchFolder("page");
    pageFile = folder + "/doc.xml";
    nqfuzz::picture(64, 48, 8, 1).nqSaveImage((folder + "/page.tif").c_str());
    nqfuzz::picture(40, 30, 24, 3).nqSaveImage((folder + "/page.png").c_str());
    nqfuzz::picture(64, 48, 1, 2).nqSaveImage((folder + "/page_B.tif").c_str());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    nqfuzz::quietLibrary();
    makeFolder();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    nqfuzz::writeInput(pageFile, data, size);
    nqDetectInputFormatOfText(std::string_view(reinterpret_cast<const char*>(data), size));
    std::ostringstream messages;
    for (const bool lines : {false, true}) {
        NQForeignReadOptions options;
        options.lineIdMode = lines;
        options.pageImageSuffix = lines ? "_B" : "";
        nqfuzz::attempt([&] {
            nqfuzz::checkOnePageDocument(
                NQPageXml(options, messages).nqReadFromPageFile(pageFile, folder), 3);
        });
    }
    return 0;
}
